#include "tests/wine/ControlHost.h"

#include <ole2.h>

#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/wine/harness/WineTest.h"

namespace wt {

ControlHost::ControlHost(bool preview, const RECT& position)
    : m_sink(com::ComPtr<EventSink>::Adopt(new EventSink(DIID__IVantrexObjEvents, "S", &m_log))),
      m_container(new TestContainer(400, 300)) {
    REQUIRE_HR(CoCreateInstance(CLSID_Vantrex, nullptr, CLSCTX_INPROC_SERVER, IID_IVantrexObj,
                                m_control.PutVoid()));
    REQUIRE(Connect(m_control.Get(), DIID__IVantrexObjEvents, m_sink.Get()) != 0);
    REQUIRE_HR(m_container->Host(m_control.Get(), position));
    m_control->put_ConvertPreview(preview ? VARIANT_TRUE : VARIANT_FALSE);
}

ControlHost::~ControlHost() {
    m_container->Close();
    m_container->Release();
    m_control = nullptr;
}

HWND ControlHost::ControlWindow() const {
    com::ComPtr<IOleWindow> window;
    HWND hwnd = nullptr;
    if (SUCCEEDED(m_control->QueryInterface(IID_IOleWindow, window.PutVoid()))) window->GetWindow(&hwnd);
    return hwnd;
}

std::vector<HWND> ControlHost::OtherChildren() const {
    std::vector<HWND> out;
    const HWND own = ControlWindow();
    for (HWND w = GetWindow(m_container->Window(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT))
        if (w != own) out.push_back(w);
    return out;
}

void ControlHost::SetFiles(const std::u16string& in, const std::string& outUnix) {
    m_control->put_InputFile(com::Bstr(in).Get());
    m_control->put_OutputFile(com::Bstr(pt::WindowsPath(outUnix)).Get());
}

int ControlHost::Count(DISPID id) const {
    int n = 0;
    for (const auto& c : m_log) n += c.id == id;
    return n;
}

std::vector<DISPID> ControlHost::EndEvents() const {
    std::vector<DISPID> ids;
    for (const auto& c : m_log)
        if (c.id != kEvAboutToRun) ids.push_back(c.id);
    return ids;
}

bool ControlHost::Convert() {
    m_log.clear();
    CHECK_HR(m_control->StartConversion());
    CHECK(PumpUntil([&] { return Ended(); }, kConversionTimeoutMs));
    PumpPosted();  // an Error follows its Complete directly
    for (const auto& c : m_log)
        if (c.id == kEvError) ReportFailure(__FILE__, __LINE__, "conversion failed: " + c.args.at(1));
    return Ended() && Count(kEvError) == 0;
}

std::string ControlHost::ExpectFailedStart(const char* what) {
    m_log.clear();
    CHECK_HR(m_control->StartConversion());
    PumpUntil([&] { return Count(kEvError) > 0; }, kConversionTimeoutMs);
    if (EndEvents() != std::vector<DISPID>{kEvComplete, kEvError})
        ReportFailure(__FILE__, __LINE__, std::string(what) + ": expected Complete then Error");
    for (const auto& c : m_log)
        if (c.id == kEvError && c.args.size() == 2) return c.args[1];
    return {};
}

std::u16string ControlHost::CodecId(LONG type, const char16_t* namePart) {
    const size_t before = m_log.size();
    m_control->ListAVICodecs(static_cast<EnumMediaType>(type));
    for (size_t i = before; i < m_log.size(); ++i)
        if (m_log[i].id == kEvCodecListed && m_log[i].args.size() == 3 &&
            com::U16(m_log[i].args[0]).find(namePart) != std::u16string::npos)
            return com::U16(m_log[i].args[1]);
    return {};
}

RECT RectInParent(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool SameRect(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

std::string RectText(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

}  // namespace wt
