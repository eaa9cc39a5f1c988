// The registered control as the benchmarks drive it: created through COM as
// the program creates it, its events heard by the test harness's sink, a
// conversion started and waited for.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/ComPtr.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tools/benchhost/BenchUtil.h"

namespace bench {

enum : DISPID { kCodecListed = 3, kComplete = 4, kError = 5 };

class BenchControl {
public:
    BenchControl() = default;
    ~BenchControl();
    BenchControl(const BenchControl&) = delete;
    BenchControl& operator=(const BenchControl&) = delete;

    // Creates the control and connects the sink; false when either fails.
    bool Create();
    IVantrexObj* operator->() const { return m_obj.Get(); }
    IVantrexObj* Get() const { return m_obj.Get(); }

    bool Completed() const;
    // Error(code, text) as "code text", or empty.
    std::string Error() const;
    // The identifier of the compressor listed under a friendly name; empty when none is.
    std::u16string Codec(EnumMediaType type, const char* friendlyName);

    // Sets the files, forgets earlier events and starts a conversion.
    void Start(const std::u16string& in, const std::u16string& out);
    // Waits for Complete, stopping the conversion when the time is up; false,
    // with the reason printed, when it timed out or an Error came.
    bool Wait(DWORD timeoutMs);
    // Start and Wait: the seconds to Complete, or -1 on failure.
    double Convert(const std::u16string& in, const std::u16string& out, DWORD timeoutMs);

private:
    bool PumpUntilCompleted(DWORD timeoutMs);
    // After the wait: the trailing Error pumped in, a late conversion stopped.
    bool Finish(bool ended);

    com::ComPtr<IVantrexObj> m_obj;
    std::vector<wt::EventCall> m_events;
    com::ComPtr<wt::EventSink> m_sink;
    DWORD m_cookie = 0;
};

}  // namespace bench
