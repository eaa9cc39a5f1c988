// Compressor listings and the compressors' About and Configure boxes.
#include "convctl/ConversionEngine.h"

#include <ocidl.h>
#include <olectl.h>

#include <vector>

#include "convctl/FilterUtil.h"
#include "framework/com/Bstr.h"
#include "framework/com/MediaType.h"
#include "framework/com/Owners.h"
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
        com::TaskMem<OLECHAR> displayName;
        if (FAILED(CreateBindCtx(0, bindCtx.Put())) ||
            FAILED(moniker->GetDisplayName(bindCtx.Get(), nullptr, displayName.Put())) || !displayName)
            continue;
        const std::u16string identifier = com::U16(displayName.Get());
        m_host.Fire_AVICodecListed(friendly, identifier, type);
    }
}

namespace {

// Profile and codec texts through the runtime's size-first calls.
template <class Getter>
HRESULT ReadText(Getter get, std::u16string& out, HRESULT* sizeResult) {
    DWORD size = 0;
    *sizeResult = get(nullptr, &size);
    if (FAILED(*sizeResult)) return *sizeResult;
    std::vector<WCHAR> buffer(size ? size : 1);
    const HRESULT hr = get(buffer.data(), &size);
    if (SUCCEEDED(hr)) out = com::U16(buffer.data());
    return hr;
}

unsigned Hex(HRESULT hr) { return static_cast<unsigned>(hr); }

}  // namespace

void ConversionEngine::ListWmvProfiles() {
    ProfileOut("Standard system profiles:\n");
    ComPtr<IWMProfileManager> manager;
    HRESULT hr = m_factory->CreateProfileManager(manager.Put());
    if (FAILED(hr) || !manager) {
        ProfileOut("ListProfiles: Failed to create profile manager!  hr=0x%x\n", Hex(hr));
        return;
    }
    ComPtr<IWMProfileManager2> manager2;
    hr = manager.As(IID_IWMProfileManager2, manager2);
    if (FAILED(hr)) {
        ProfileOut("ListProfiles: Failed to QI IWMProfileManager2!  hr=0x%x\n", Hex(hr));
        return;
    }
    hr = manager2->SetSystemProfileVersion(WMT_VER_7_0);
    if (FAILED(hr)) {
        ProfileOut("ListProfiles: Failed to set system profile version!  hr=0x%x\n", Hex(hr));
        return;
    }
    DWORD count = 0;
    hr = manager2->GetSystemProfileCount(&count);
    if (FAILED(hr)) {
        ProfileOut("ListProfiles: Failed to get system profile count!  hr=0x%x\n", Hex(hr));
        return;
    }

    m_host.Fire_WMVProfileListed(0, u"Custom Profile", u"Custom Settings");
    for (DWORD i = 0; i < count; ++i) {
        ComPtr<IWMProfile> profile;
        hr = manager2->LoadSystemProfile(i, profile.Put());
        if (FAILED(hr) || !profile) {
            ProfileOut("ListProfiles: Failed to load system profile!  hr=0x%x\n", Hex(hr));
            return;
        }
        std::u16string name, description;
        HRESULT sizeHr = S_OK;
        hr = ReadText([&](WCHAR* b, DWORD* n) { return profile->GetName(b, n); }, name, &sizeHr);
        if (FAILED(hr)) {
            ProfileOut(FAILED(sizeHr) ? "ListProfiles: Failed to read profile name size!  hr=0x%x\n"
                                      : "ListProfiles: Failed to read profile name!  hr=0x%x\n",
                       Hex(hr));
            return;
        }
        hr = ReadText([&](WCHAR* b, DWORD* n) { return profile->GetDescription(b, n); }, description, &sizeHr);
        if (FAILED(hr)) {
            ProfileOut(FAILED(sizeHr) ? "ListProfiles: Failed to read profile description size!  hr=0x%x\n"
                                      : "ListProfiles: Failed to read profile description!  hr=0x%x\n",
                       Hex(hr));
            return;
        }
        m_profileList.emplace_back(name, description);
        m_host.Fire_WMVProfileListed(static_cast<LONG>(i + 1), name, description);
        const std::string nameText = core::Utf16ToUtf8(name);
        ProfileOut("  %3d:  %s \n[%s]\n\n", static_cast<int>(i), nameText.c_str(),
                   core::Utf16ToUtf8(description).c_str());
        ProfileOut("  %3d:  %s\n", static_cast<int>(i), nameText.c_str());
    }
}

void ConversionEngine::ListWmvCodecs(LONG codecType) {
    ComPtr<IWMProfileManager> manager;
    if (FAILED(m_factory->CreateProfileManager(manager.Put())) || !manager) return;
    ComPtr<IWMCodecInfo2> info;
    if (FAILED(manager.As(IID_IWMCodecInfo2, info))) return;
    const GUID& type = codecType == 0 ? WMMEDIATYPE_Audio : WMMEDIATYPE_Video;

    m_host.Fire_WMVCodecListed(codecType, codecType == 1 ? u"Full Frames (uncompressed)" : u"None (PCM)", u"");
    DWORD count = 0;
    if (FAILED(info->GetCodecInfoCount(type, &count))) return;
    for (DWORD i = 0; i < count; ++i) {
        std::u16string name;
        HRESULT sizeHr = S_OK;
        if (FAILED(ReadText([&](WCHAR* b, DWORD* n) { return info->GetCodecName(type, i, b, n); }, name, &sizeHr)))
            continue;
        // The identifier carries the subtype of the codec's first format; a
        // codec whose format cannot be read is left out.
        ComPtr<IWMStreamConfig> config;
        std::vector<WM_MEDIA_TYPE> mt;
        if (FAILED(info->GetCodecFormat(type, i, 0, config.Put())) || FAILED(ReadMediaType(config.Get(), mt)))
            continue;
        const std::u16string identifier =
            com::U16(std::to_string(static_cast<unsigned long>(i)) + ",") + com::GuidToString(mt[0].subtype);
        m_host.Fire_WMVCodecListed(codecType, name, identifier);
    }
}

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

// Keeps the owner disabled while a box runs its own message loop: Wine's
// property frame takes no owner, so without this the host's windows
// would stay usable under a box that is meant to be modal.
class ModalOwner {
public:
    // A dialog's owner is its parent's top-level window, as on Windows.
    explicit ModalOwner(HWND parent) {
        const HWND root = parent && IsWindow(parent) ? GetAncestor(parent, GA_ROOT) : nullptr;
        if (root && IsWindowEnabled(root)) {
            m_owner = root;
            EnableWindow(m_owner, FALSE);
        }
    }
    ~ModalOwner() {
        if (m_owner && IsWindow(m_owner)) EnableWindow(m_owner, TRUE);
    }
    ModalOwner(const ModalOwner&) = delete;
    ModalOwner& operator=(const ModalOwner&) = delete;

private:
    HWND m_owner = nullptr;
};

// The About box shows the first property page only; Configure shows all.
void ShowCodecBox(HWND parent, const std::u16string& codecGuid, bool about) {
    ComPtr<IBaseFilter> filter;
    std::u16string listedName;
    if (FAILED(BindFilterByDisplayName(codecGuid, filter, &listedName)) || !filter) return;
    ComPtr<ISpecifyPropertyPages> pages;
    if (SUCCEEDED(filter.As(IID_ISpecifyPropertyPages, pages))) {
        com::FilterInfo info;
        filter->QueryFilterInfo(info.Put());
        // A filter outside a graph has no name of its own yet: the caption
        // is then the name the compressor is listed under.
        std::u16string caption = com::U16(info.Get().achName);
        if (caption.empty()) caption = listedName;
        com::CaUuid uuids;
        if (SUCCEEDED(pages->GetPages(uuids.Put())) && uuids.Get().cElems > 0 && uuids.Get().pElems) {
            IUnknown* object = filter.Get();
            const ModalOwner modal(parent);
            OleCreatePropertyFrame(parent, 0, 0, com::W(caption), 1, &object, about ? 1 : uuids.Get().cElems,
                                   uuids.Get().pElems, 0, 0, nullptr);
        }
        return;
    }
    ComPtr<IAMVfwCompressDialogs> dialogs;
    if (SUCCEEDED(filter.As(IID_IAMVfwCompressDialogs, dialogs))) {
        const ModalOwner modal(parent);
        dialogs->ShowDialog(about ? VfwCompressDialog_About : VfwCompressDialog_Config, parent);
    }
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
