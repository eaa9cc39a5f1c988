#include "platform/wm/WmProfileManager.h"

#include <cstring>

#include "framework/com/WinText.h"
#include "platform/wm/WmProfile.h"

namespace wm {

namespace {

const WCHAR kIsVbrSupported[] = {'_', 'I', 'S', 'V', 'B', 'R', 'S', 'U', 'P', 'P', 'O', 'R', 'T', 'E', 'D', 0};

bool IsVideo(REFGUID type) { return IsEqualGUID(type, WMMEDIATYPE_Video); }
bool IsAudio(REFGUID type) { return IsEqualGUID(type, WMMEDIATYPE_Audio); }

DWORD CodecCount(REFGUID type) {
    if (IsVideo(type)) return static_cast<DWORD>(VideoCodecs().size());
    if (IsAudio(type)) return static_cast<DWORD>(AudioCodecs().size());
    return 0;
}

DWORD FormatCount(REFGUID type) {
    return IsVideo(type) ? static_cast<DWORD>(kVideoFormatCount) : static_cast<DWORD>(AudioFormats().size());
}

HRESULT CheckCodec(REFGUID type, DWORD codec) {
    if (!IsVideo(type) && !IsAudio(type)) return E_INVALIDARG;
    return codec < CodecCount(type) ? S_OK : E_INVALIDARG;
}

HRESULT CheckFormat(REFGUID type, DWORD codec, DWORD format) {
    const HRESULT hr = CheckCodec(type, codec);
    if (FAILED(hr)) return hr;
    return format < FormatCount(type) ? S_OK : E_INVALIDARG;
}

StreamSettings FormatSettings(REFGUID type, DWORD codec, DWORD format) {
    if (IsVideo(type)) {
        VideoStreamSpec desc = DefaultVideoStream();
        desc.codec = codec;
        return VideoStreamSettings(desc);
    }
    AudioStreamSpec desc = DefaultAudioStream();
    desc.codec = codec;
    desc.format = AudioFormats()[format];
    return AudioStreamSettings(desc);
}

// Attribute values: with no buffer the size in *size; a short buffer gets
// ASF_E_BUFFERTOOSMALL.
HRESULT CopyValueOut(WMT_ATTR_DATATYPE dataType, DWORD value, WMT_ATTR_DATATYPE* typeOut, BYTE* out, DWORD* size) {
    if (!typeOut || !size) return E_POINTER;
    *typeOut = dataType;
    if (!out) {
        *size = sizeof value;
        return S_OK;
    }
    if (*size < sizeof value) {
        *size = sizeof value;
        return ASF_E_BUFFERTOOSMALL;
    }
    std::memcpy(out, &value, sizeof value);
    *size = sizeof value;
    return S_OK;
}

}  // namespace

HRESULT ProfileManager::Create(IWMProfileManager** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    // The catalogue tables are built on first use: build them here, inside
    // the guard, so that the methods below only ever read them.
    const HRESULT hr = com::ComGuard([] {
        VideoCodecs();
        AudioCodecs();
        AudioFormats();
        SystemProfiles();
        return S_OK;
    });
    if (FAILED(hr)) return hr;
    return com::CreateAndQuery<ProfileManager>(IID_IWMProfileManager, reinterpret_cast<void**>(out));
}

// ---- Profiles ---------------------------------------------------------------------

STDMETHODIMP ProfileManager::CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    switch (version) {
    case WMT_VER_4_0:
    case WMT_VER_7_0:
    case WMT_VER_8_0:
    case WMT_VER_9_0: return Profile::CreateEmpty(version, profile);
    default: return E_INVALIDARG;
    }
}

// Stored profiles (by identifier or as XML) are not kept by this runtime.
STDMETHODIMP ProfileManager::LoadProfileByID(REFGUID, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ProfileManager::LoadProfileByData(const WCHAR*, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP ProfileManager::SaveProfile(IWMProfile*, WCHAR*, DWORD*) { return E_NOTIMPL; }

STDMETHODIMP ProfileManager::GetSystemProfileCount(DWORD* count) {
    return com::GetValue(count, static_cast<DWORD>(SystemProfiles().size()));
}

STDMETHODIMP ProfileManager::LoadSystemProfile(DWORD index, IWMProfile** profile) {
    if (!profile) return E_POINTER;
    *profile = nullptr;
    if (index >= SystemProfiles().size()) return E_INVALIDARG;
    return Profile::CreateSystem(SystemProfiles()[index], profile);
}

STDMETHODIMP ProfileManager::GetSystemProfileVersion(WMT_VERSION* version) {
    return com::GetValue(version, m_systemVersion);
}

// The one table of system profiles is numbered as version 7.0 numbers them.
STDMETHODIMP ProfileManager::SetSystemProfileVersion(WMT_VERSION version) {
    if (version != WMT_VER_7_0) return E_INVALIDARG;
    m_systemVersion = version;
    return S_OK;
}

// ---- Codec information -------------------------------------------------------------

STDMETHODIMP ProfileManager::GetCodecInfoCount(REFGUID type, DWORD* count) {
    if (!count) return E_POINTER;
    *count = 0;
    if (!IsVideo(type) && !IsAudio(type)) return E_INVALIDARG;
    *count = CodecCount(type);
    return S_OK;
}

STDMETHODIMP ProfileManager::GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* count) {
    if (!count) return E_POINTER;
    *count = 0;
    const HRESULT hr = CheckCodec(type, codec);
    if (FAILED(hr)) return hr;
    *count = FormatCount(type);
    return S_OK;
}

STDMETHODIMP ProfileManager::GetCodecFormat(REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** config) {
    if (!config) return E_POINTER;
    *config = nullptr;
    const HRESULT hr = CheckFormat(type, codec, format);
    if (FAILED(hr)) return hr;
    return com::ComGuard([&] { return StreamConfig::Create(FormatSettings(type, codec, format), config); });
}

STDMETHODIMP ProfileManager::GetCodecName(REFGUID type, DWORD codec, WCHAR* name, DWORD* size) {
    const HRESULT hr = CheckCodec(type, codec);
    if (FAILED(hr)) return hr;
    return com::ComGuard([&] {
        const char* text = IsVideo(type) ? VideoCodecs()[codec].name : AudioCodecs()[codec].name;
        return CopyTextOut(com::U16(text), name, size);
    });
}

STDMETHODIMP ProfileManager::GetCodecFormatDesc(REFGUID type, DWORD codec, DWORD format, IWMStreamConfig** config,
                                                WCHAR* description, DWORD* size) {
    if (config) *config = nullptr;
    HRESULT hr = CheckFormat(type, codec, format);
    if (FAILED(hr)) return hr;
    return com::ComGuard([&]() -> HRESULT {
        const std::string text = IsVideo(type) ? VideoFormatText() : AudioFormatText(AudioFormats()[format]);
        HRESULT result = CopyTextOut(com::U16(text), description, size);
        if (SUCCEEDED(result) && config) result = StreamConfig::Create(FormatSettings(type, codec, format), config);
        return result;
    });
}

STDMETHODIMP ProfileManager::GetCodecFormatProp(REFGUID type, DWORD codec, DWORD format, const WCHAR* name,
                                                WMT_ATTR_DATATYPE*, BYTE*, DWORD*) {
    if (!name) return E_POINTER;
    const HRESULT hr = CheckFormat(type, codec, format);
    if (FAILED(hr)) return hr;
    return NS_E_UNSUPPORTED_PROPERTY;
}

STDMETHODIMP ProfileManager::GetCodecProp(REFGUID type, DWORD codec, const WCHAR* name, WMT_ATTR_DATATYPE* dataType,
                                          BYTE* value, DWORD* size) {
    if (!name) return E_POINTER;
    const HRESULT hr = CheckCodec(type, codec);
    if (FAILED(hr)) return hr;
    if (lstrcmpW(name, kIsVbrSupported) == 0) return CopyValueOut(WMT_TYPE_BOOL, FALSE, dataType, value, size);
    return NS_E_UNSUPPORTED_PROPERTY;
}

STDMETHODIMP ProfileManager::SetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name,
                                                        WMT_ATTR_DATATYPE dataType, const BYTE* value, DWORD size) {
    if (!name || !value) return E_POINTER;
    const HRESULT hr = CheckCodec(type, codec);
    if (FAILED(hr)) return hr;
    DWORD v = 0;
    if (size != sizeof v) return E_INVALIDARG;
    std::memcpy(&v, value, sizeof v);
    if (lstrcmpW(name, g_wszVBREnabled) == 0)
        return dataType == WMT_TYPE_BOOL && v == FALSE ? S_OK : E_INVALIDARG;
    if (lstrcmpW(name, g_wszNumPasses) == 0) return dataType == WMT_TYPE_DWORD && v == 1 ? S_OK : E_INVALIDARG;
    return NS_E_UNSUPPORTED_PROPERTY;
}

STDMETHODIMP ProfileManager::GetCodecEnumerationSetting(REFGUID type, DWORD codec, const WCHAR* name,
                                                        WMT_ATTR_DATATYPE* dataType, BYTE* value, DWORD* size) {
    if (!name) return E_POINTER;
    const HRESULT hr = CheckCodec(type, codec);
    if (FAILED(hr)) return hr;
    if (lstrcmpW(name, g_wszVBREnabled) == 0) return CopyValueOut(WMT_TYPE_BOOL, FALSE, dataType, value, size);
    if (lstrcmpW(name, g_wszNumPasses) == 0) return CopyValueOut(WMT_TYPE_DWORD, 1, dataType, value, size);
    return NS_E_UNSUPPORTED_PROPERTY;
}

}  // namespace wm
