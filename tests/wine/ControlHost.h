// The registered control placed in place in a test container, as the
// program places it, with a sink that records its events; and the windows
// a test looks for around it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "convctl/Tromvex.h"
#include "framework/com/ComPtr.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/TestContainer.h"

namespace wt {

enum : DISPID {
    kEvAboutToRun = 2,
    kEvCodecListed = 3,
    kEvComplete = 4,
    kEvError = 5,
};

class ControlHost {
public:
    static constexpr DWORD kConversionTimeoutMs = 60000;

    // The control in a container of 400 x 300 at the given position.
    ControlHost(bool preview, const RECT& position = RECT{10, 10, 330, 250});
    ~ControlHost();
    ControlHost(const ControlHost&) = delete;
    ControlHost& operator=(const ControlHost&) = delete;

    IVantrexObj* Control() const { return m_control.Get(); }
    TestContainer& Container() const { return *m_container; }
    // The control's own window (in-place active).
    HWND ControlWindow() const;
    // Direct children of the container window other than the control's.
    std::vector<HWND> OtherChildren() const;

    void SetFiles(const std::u16string& in, const std::string& outUnix);
    int Count(DISPID id) const;
    bool Ended() const { return Count(kEvComplete) > 0; }
    // The event DISPIDs since the log was last cleared, without AboutToRun.
    std::vector<DISPID> EndEvents() const;
    const std::vector<EventCall>& Log() const { return m_log; }
    void ClearLog() { m_log.clear(); }

    // Starts and waits for the end; true when Complete came without Error.
    bool Convert();
    // A start that must fail: Complete once, then Error; returns the Error text.
    std::string ExpectFailedStart(const char* what);
    // The identifier of the first listed compressor whose name holds the text.
    std::u16string CodecId(LONG type, const char16_t* namePart);

private:
    com::ComPtr<IVantrexObj> m_control;
    std::vector<EventCall> m_log;
    com::ComPtr<EventSink> m_sink;
    TestContainer* m_container;
};

// The rectangle of a window in its parent's client coordinates.
RECT RectInParent(HWND hwnd);
bool SameRect(const RECT& a, const RECT& b);
std::string RectText(const RECT& r);

}  // namespace wt
