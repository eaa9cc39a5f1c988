#include "tools/benchhost/BenchControl.h"

#include <algorithm>
#include <cstdio>

#include "framework/com/Bstr.h"
#include "framework/com/ComObject.h"
#include "framework/com/WinText.h"

namespace bench {

BenchControl::~BenchControl() {
    if (m_obj && m_cookie) wt::Disconnect(m_obj.Get(), DIID__IVantrexObjEvents, m_cookie);
}

bool BenchControl::Create() {
    if (FAILED(CoCreateInstance(CLSID_Vantrex, nullptr, CLSCTX_INPROC_SERVER, IID_IVantrexObj, m_obj.PutVoid())))
        return false;
    m_sink = com::MakeObject<wt::EventSink>(DIID__IVantrexObjEvents, "control", &m_events);
    m_cookie = wt::Connect(m_obj.Get(), DIID__IVantrexObjEvents, m_sink.Get());
    return m_cookie != 0;
}

bool BenchControl::Completed() const {
    return std::any_of(m_events.begin(), m_events.end(), [](const wt::EventCall& c) { return c.id == kComplete; });
}

std::string BenchControl::Error() const {
    for (const auto& c : m_events)
        if (c.id == kError && c.args.size() == 2) return c.args[0] + " " + c.args[1];
    return {};
}

std::u16string BenchControl::Codec(EnumMediaType type, const char* friendlyName) {
    m_events.clear();
    m_obj->ListAVICodecs(type);
    for (const auto& c : m_events)
        if (c.id == kCodecListed && c.args.size() == 3 && c.args[0] == friendlyName) return com::U16(c.args[1]);
    return {};
}

void BenchControl::Start(const std::u16string& in, const std::u16string& out) {
    m_obj->put_InputFile(com::Bstr(in).Get());
    m_obj->put_OutputFile(com::Bstr(out).Get());
    m_events.clear();
    m_obj->StartConversion();
}

// The control's events come as messages to this thread, so the thread
// sleeps until one arrives instead of polling: a poll every few
// milliseconds is a wineserver round trip each time, counted as the
// control's CPU. The long tick is only a safeguard.
bool BenchControl::PumpUntilCompleted(DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        wt::PumpMessages(0);  // what has come, dispatched
        if (Completed()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeoutMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(timeoutMs - elapsed, 250), QS_ALLINPUT);
    }
}

bool BenchControl::Wait(DWORD timeoutMs) { return Finish(PumpUntilCompleted(timeoutMs)); }

double BenchControl::Convert(const std::u16string& in, const std::u16string& out, DWORD timeoutMs) {
    const Clock::time_point start = Clock::now();
    Start(in, out);
    const bool ended = PumpUntilCompleted(timeoutMs);
    const double elapsed = Seconds(start);
    return Finish(ended) ? elapsed : -1;
}

bool BenchControl::Finish(bool ended) {
    wt::PumpPosted();  // an Error comes right after its Complete
    if (!ended) m_obj->StopConversion();
    const std::string error = Error();
    if (ended && error.empty()) return true;
    std::printf("  control failed: %s\n", ended ? error.c_str() : "timed out");
    return false;
}

}  // namespace bench
