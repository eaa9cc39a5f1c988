#include "convctl/ConversionEngine.h"

#include <dshow.h>
#include <ocidl.h>

#include "convctl/Trace.h"
#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::ComPtr;

ConversionEngine::ConversionEngine(EngineHost& host) : m_host(host) {}

ConversionEngine::~ConversionEngine() = default;

HRESULT ConversionEngine::Start(HWND) {
    // No graph can be built yet: say so the way every failed start does.
    Teardown();
    ReportError(E_NOTIMPL, "The conversion could not be started. Please check that the compression "
                           "filters are working properly");
    return E_NOTIMPL;
}

void ConversionEngine::Teardown() { m_host.Fire_Complete(); }

void ConversionEngine::PlacePreview(const RECT&) {}

double ConversionEngine::GetProgress() const { return 0.0; }

double ConversionEngine::GetDuration() const { return 0.0; }

HRESULT ConversionEngine::PauseGraph() { return E_POINTER; }

HRESULT ConversionEngine::RunGraph() { return E_POINTER; }

LONG ConversionEngine::EncodeFps() const { return 0; }

void ConversionEngine::ReportError(HRESULT hr, const char* text) {
    Trace("Error Thrown, hr=%u", static_cast<unsigned>(hr));
    m_host.Fire_Error(static_cast<LONG>(hr), com::FromAnsi(text ? text : ""));
}

void ConversionEngine::ListAviCodecs(LONG type) {
    m_host.Fire_AVICodecListed(u"<<< No compression >>>", u"", type);

    ComPtr<ICreateDevEnum> devEnum;
    if (FAILED(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                                devEnum.PutVoid())))
        return;
    const CLSID& category = type == 0 ? CLSID_VideoCompressorCategory : CLSID_AudioCompressorCategory;
    ComPtr<IEnumMoniker> monikers;
    // S_FALSE: the category is empty.
    if (devEnum->CreateClassEnumerator(category, monikers.Put(), 0) != S_OK || !monikers) return;

    ComPtr<IMoniker> moniker;
    while (monikers->Next(1, moniker.Put(), nullptr) == S_OK) {
        ComPtr<IPropertyBag> bag;
        if (FAILED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid()))) continue;
        VARIANT name;
        VariantInit(&name);
        V_VT(&name) = VT_BSTR;
        if (FAILED(bag->Read(L"FriendlyName", &name, nullptr)) || V_VT(&name) != VT_BSTR) {
            VariantClear(&name);
            continue;
        }
        const std::u16string friendly = com::U16FromBstr(V_BSTR(&name));
        VariantClear(&name);

        ComPtr<IBindCtx> bindCtx;
        LPOLESTR displayName = nullptr;
        if (FAILED(CreateBindCtx(0, bindCtx.Put())) ||
            FAILED(moniker->GetDisplayName(bindCtx.Get(), nullptr, &displayName)) || !displayName)
            continue;
        const std::u16string identifier = com::U16(displayName);
        CoTaskMemFree(displayName);
        m_host.Fire_AVICodecListed(friendly, identifier, type);
    }
}

void ConversionEngine::ListWmvProfiles() {}

void ConversionEngine::ListWmvCodecs(LONG) {}

std::u16string ConversionEngine::ProfileDescription(LONG index) const {
    if (index == 0) return u"Custom Settings";
    if (index >= 1 && static_cast<size_t>(index) <= m_profileList.size())
        return m_profileList[static_cast<size_t>(index - 1)].second;
    return {};
}

bool ConversionEngine::CodecHasAboutBox(const std::u16string&) { return false; }

bool ConversionEngine::CodecHasConfigBox(const std::u16string&) { return false; }

void ConversionEngine::ShowCodecAboutBox(HWND, const std::u16string&) {}

void ConversionEngine::ShowCodecConfigBox(HWND, const std::u16string&) {}

void ConversionEngine::GetFileInfo(const std::u16string&, const FileInfoRequest& request) {
    if (request.frameRate) *request.frameRate = 0.0;
    if (request.duration) *request.duration = 0.0;
    if (request.hasVideo) *request.hasVideo = VARIANT_FALSE;
    if (request.hasAudio) *request.hasAudio = VARIANT_FALSE;
    if (request.width) *request.width = 0;
    if (request.height) *request.height = 0;
    // Cleared as well, so a caller never reads an old value.
    if (request.bitRate) *request.bitRate = 0;
}

}  // namespace convctl
