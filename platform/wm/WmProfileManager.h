// The profile manager of the Windows Media stand-in: empty and system
// profiles (the version 7.0 table of WmCatalog) and, on the same object as
// the format runtime has it, the codec information.
#pragma once

#include <windows.h>

#include "framework/com/ComObject.h"
#include "platform/include/WindowsMedia.h"

namespace wm {

class ProfileManager final : public com::ComObjectRoot, public IWMProfileManager2, public IWMCodecInfo3 {
public:
    static HRESULT Create(IWMProfileManager** out);

    COM_BEGIN_QI()
        COM_QI_AS(IUnknown, IWMProfileManager2)
        COM_QI_AS(IWMProfileManager, IWMProfileManager2)
        COM_QI(IWMProfileManager2)
        COM_QI_AS(IWMCodecInfo, IWMCodecInfo3)
        COM_QI_AS(IWMCodecInfo2, IWMCodecInfo3)
        COM_QI(IWMCodecInfo3)
    COM_END_QI()

    // IWMProfileManager
    STDMETHODIMP CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) override;
    STDMETHODIMP LoadProfileByID(REFGUID id, IWMProfile** profile) override;
    STDMETHODIMP LoadProfileByData(const WCHAR* data, IWMProfile** profile) override;
    STDMETHODIMP SaveProfile(IWMProfile* profile, WCHAR* data, DWORD* length) override;
    STDMETHODIMP GetSystemProfileCount(DWORD* count) override;
    STDMETHODIMP LoadSystemProfile(DWORD index, IWMProfile** profile) override;

    // IWMProfileManager2
    STDMETHODIMP GetSystemProfileVersion(WMT_VERSION* version) override;
    STDMETHODIMP SetSystemProfileVersion(WMT_VERSION version) override;

    // IWMCodecInfo
    STDMETHODIMP GetCodecInfoCount(REFGUID type, DWORD* count) override;
    STDMETHODIMP GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* count) override;
    STDMETHODIMP GetCodecFormat(REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** config) override;

    // IWMCodecInfo2
    STDMETHODIMP GetCodecName(REFGUID type, DWORD codec, WCHAR* name, DWORD* size) override;
    STDMETHODIMP GetCodecFormatDesc(REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** config,
                                    WCHAR* description, DWORD* size) override;

    // IWMCodecInfo3: the codecs encode at a constant rate in one pass; those
    // are the only enumeration settings, and "_ISVBRSUPPORTED" the only
    // codec property.
    STDMETHODIMP GetCodecFormatProp(REFGUID type, DWORD codec, DWORD format, const WCHAR* name,
                                    WMT_ATTR_DATATYPE* dataType, BYTE* value, DWORD* size) override;
    STDMETHODIMP GetCodecProp(REFGUID type, DWORD codec, const WCHAR* name, WMT_ATTR_DATATYPE* dataType, BYTE* value,
                              DWORD* size) override;
    STDMETHODIMP SetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name, WMT_ATTR_DATATYPE dataType,
                                            const BYTE* value, DWORD size) override;
    STDMETHODIMP GetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name,
                                            WMT_ATTR_DATATYPE* dataType, BYTE* value, DWORD* size) override;

private:
    ~ProfileManager() override = default;
    WMT_VERSION m_systemVersion = WMT_VER_7_0;
};

}  // namespace wm
