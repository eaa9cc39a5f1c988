// Compressor listings and the compressors' About and Configure boxes.
#include "convctl/ConversionEngine.h"

#include <ocidl.h>
#include <olectl.h>

#include "convctl/FilterUtil.h"
#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::ComPtr;

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
        com::Variant name;
        V_VT(name.Ptr()) = VT_BSTR;
        if (FAILED(bag->Read(L"FriendlyName", name.Ptr(), nullptr)) || V_VT(name.Ptr()) != VT_BSTR) continue;
        const std::u16string friendly = com::U16FromBstr(V_BSTR(name.Ptr()));

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

namespace {

bool CodecHasBox(const std::u16string& codecGuid, bool about) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(BindFilterByDisplayName(codecGuid, filter)) || !filter) return false;
    ComPtr<ISpecifyPropertyPages> pages;
    if (SUCCEEDED(filter.As(IID_ISpecifyPropertyPages, pages))) return true;
    ComPtr<IAMVfwCompressDialogs> dialogs;
    if (SUCCEEDED(filter.As(IID_IAMVfwCompressDialogs, dialogs)))
        return dialogs->ShowDialog(about ? VfwCompressDialog_QueryAbout : VfwCompressDialog_QueryConfig, nullptr) ==
               S_OK;
    return false;
}

// The About box shows the first property page only; Configure shows all.
void ShowCodecBox(HWND parent, const std::u16string& codecGuid, bool about) {
    ComPtr<IBaseFilter> filter;
    if (FAILED(BindFilterByDisplayName(codecGuid, filter)) || !filter) return;
    ComPtr<ISpecifyPropertyPages> pages;
    if (SUCCEEDED(filter.As(IID_ISpecifyPropertyPages, pages))) {
        FILTER_INFO info{};
        filter->QueryFilterInfo(&info);
        CAUUID uuids{};
        if (SUCCEEDED(pages->GetPages(&uuids)) && uuids.cElems > 0 && uuids.pElems) {
            IUnknown* object = filter.Get();
            OleCreatePropertyFrame(parent, 0, 0, info.achName, 1, &object, about ? 1 : uuids.cElems, uuids.pElems,
                                   0, 0, nullptr);
        }
        CoTaskMemFree(uuids.pElems);
        if (info.pGraph) info.pGraph->Release();
        return;
    }
    ComPtr<IAMVfwCompressDialogs> dialogs;
    if (SUCCEEDED(filter.As(IID_IAMVfwCompressDialogs, dialogs)))
        dialogs->ShowDialog(about ? VfwCompressDialog_About : VfwCompressDialog_Config, parent);
}

}  // namespace

bool ConversionEngine::CodecHasAboutBox(const std::u16string& codecGuid) { return CodecHasBox(codecGuid, true); }

bool ConversionEngine::CodecHasConfigBox(const std::u16string& codecGuid) { return CodecHasBox(codecGuid, false); }

void ConversionEngine::ShowCodecAboutBox(HWND parent, const std::u16string& codecGuid) {
    ShowCodecBox(parent, codecGuid, true);
}

void ConversionEngine::ShowCodecConfigBox(HWND parent, const std::u16string& codecGuid) {
    ShowCodecBox(parent, codecGuid, false);
}

}  // namespace convctl
