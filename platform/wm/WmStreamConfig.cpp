#include "platform/wm/WmStreamConfig.h"

#include <vector>

#include "framework/com/ComPtr.h"
#include "framework/com/WinText.h"

namespace wm {

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr DWORD kMaxQuality = 100;

template <class Size, class Getter>
HRESULT ReadText(Getter get, std::u16string& out) {
    Size size = 0;
    HRESULT hr = get(nullptr, &size);
    if (FAILED(hr)) return hr;
    std::vector<WCHAR> buffer(size ? size : 1);
    hr = get(buffer.data(), &size);
    if (FAILED(hr)) return hr;
    out = com::U16(buffer.data());
    return S_OK;
}

}  // namespace

StreamSettings VideoStreamSettings(const VideoStreamSpec& desc) {
    StreamSettings s;
    s.type = WMMEDIATYPE_Video;
    s.bitRate = desc.bitRate;
    s.bufferWindowMs = desc.bufferMs;
    s.mediaType = VideoMediaType(desc);
    s.maxKeyFrameSpacing = static_cast<LONGLONG>(desc.keyFrameSeconds) * kUnitsPerSecond;
    s.quality = desc.quality;
    return s;
}

StreamSettings AudioStreamSettings(const AudioStreamSpec& desc) {
    StreamSettings s;
    s.type = WMMEDIATYPE_Audio;
    s.bitRate = desc.format.bitRate;
    s.bufferWindowMs = desc.bufferMs;
    s.mediaType = AudioMediaType(AudioCodecs()[desc.codec], desc.format);
    return s;
}

HRESULT ReadStreamSettings(IWMStreamConfig* config, StreamSettings& out) {
    if (!config) return E_POINTER;
    StreamSettings s;
    HRESULT hr = config->GetStreamType(&s.type);
    if (SUCCEEDED(hr)) hr = config->GetStreamNumber(&s.number);
    if (SUCCEEDED(hr))
        hr = ReadText<WORD>([&](WCHAR* b, WORD* n) { return config->GetStreamName(b, n); }, s.name);
    if (SUCCEEDED(hr))
        hr = ReadText<WORD>([&](WCHAR* b, WORD* n) { return config->GetConnectionName(b, n); }, s.connection);
    if (SUCCEEDED(hr)) hr = config->GetBitrate(&s.bitRate);
    if (SUCCEEDED(hr)) hr = config->GetBufferWindow(&s.bufferWindowMs);
    if (FAILED(hr)) return hr;

    com::ComPtr<IWMMediaProps> props;
    hr = config->QueryInterface(IID_IWMMediaProps, props.PutVoid());
    if (FAILED(hr)) return hr;
    DWORD size = 0;
    hr = props->GetMediaType(nullptr, &size);
    if (FAILED(hr)) return hr;
    if (size < sizeof(WM_MEDIA_TYPE)) return E_UNEXPECTED;
    // Whole WM_MEDIA_TYPE units keep the header aligned.
    std::vector<WM_MEDIA_TYPE> buffer((size + sizeof(WM_MEDIA_TYPE) - 1) / sizeof(WM_MEDIA_TYPE));
    hr = props->GetMediaType(buffer.data(), &size);
    if (FAILED(hr)) return hr;
    s.mediaType = MediaType(buffer[0]);

    com::ComPtr<IWMVideoMediaProps> video;
    if (s.IsVideo() && SUCCEEDED(config->QueryInterface(IID_IWMVideoMediaProps, video.PutVoid()))) {
        hr = video->GetMaxKeyFrameSpacing(&s.maxKeyFrameSpacing);
        if (SUCCEEDED(hr)) hr = video->GetQuality(&s.quality);
        if (FAILED(hr)) return hr;
    }
    out = std::move(s);
    return S_OK;
}

HRESULT StreamConfig::Create(StreamSettings settings, IWMStreamConfig** out) {
    return com::CreateAndQuery<StreamConfig>(IID_IWMStreamConfig, reinterpret_cast<void**>(out), std::move(settings));
}

STDMETHODIMP StreamConfig::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IWMStreamConfig))
        *ppv = static_cast<IWMStreamConfig*>(this);
    else if (IsEqualIID(riid, IID_IWMMediaProps))
        *ppv = static_cast<IWMMediaProps*>(this);
    else if (IsEqualIID(riid, IID_IWMVideoMediaProps) && m_settings.IsVideo())
        *ppv = static_cast<IWMVideoMediaProps*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP StreamConfig::GetStreamType(GUID* type) {
    return com::GetValue(type, m_settings.type);
}

STDMETHODIMP StreamConfig::GetStreamNumber(WORD* number) {
    return com::GetValue(number, m_settings.number);
}

STDMETHODIMP StreamConfig::SetStreamNumber(WORD number) {
    if (number < 1 || number > kMaxStreamNumber) return NS_E_INVALID_STREAM;
    m_settings.number = number;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetStreamName(WCHAR* name, WORD* size) { return CopyTextOut(m_settings.name, name, size); }

STDMETHODIMP StreamConfig::SetStreamName(LPCWSTR_WMSDK_TYPE_SAFE name) {
    if (!name) return E_POINTER;
    return com::ComGuard([&] {
        m_settings.name = com::U16(name);
        return S_OK;
    });
}

STDMETHODIMP StreamConfig::GetConnectionName(WCHAR* name, WORD* size) {
    return CopyTextOut(m_settings.connection, name, size);
}

STDMETHODIMP StreamConfig::SetConnectionName(LPCWSTR_WMSDK_TYPE_SAFE name) {
    if (!name) return E_POINTER;
    return com::ComGuard([&] {
        m_settings.connection = com::U16(name);
        return S_OK;
    });
}

STDMETHODIMP StreamConfig::GetBitrate(DWORD* bitRate) {
    return com::GetValue(bitRate, m_settings.bitRate);
}

STDMETHODIMP StreamConfig::SetBitrate(DWORD bitRate) {
    if (bitRate == 0) return E_INVALIDARG;
    m_settings.bitRate = bitRate;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetBufferWindow(DWORD* ms) {
    return com::GetValue(ms, m_settings.bufferWindowMs);
}

STDMETHODIMP StreamConfig::SetBufferWindow(DWORD ms) {
    m_settings.bufferWindowMs = ms;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetType(GUID* type) { return GetStreamType(type); }

STDMETHODIMP StreamConfig::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) {
    return m_settings.mediaType.CopyOut(type, size);
}

STDMETHODIMP StreamConfig::SetMediaType(WM_MEDIA_TYPE* type) {
    if (!type) return E_POINTER;
    if (!IsUsableMediaType(m_settings.type, *type)) return E_INVALIDARG;
    return com::ComGuard([&] {
        m_settings.mediaType = MediaType(*type);
        return S_OK;
    });
}

STDMETHODIMP StreamConfig::GetMaxKeyFrameSpacing(LONGLONG* time) {
    return com::GetValue(time, m_settings.maxKeyFrameSpacing);
}

STDMETHODIMP StreamConfig::SetMaxKeyFrameSpacing(LONGLONG time) {
    if (time < 0) return E_INVALIDARG;
    m_settings.maxKeyFrameSpacing = time;
    return S_OK;
}

STDMETHODIMP StreamConfig::GetQuality(DWORD* quality) {
    return com::GetValue(quality, m_settings.quality);
}

STDMETHODIMP StreamConfig::SetQuality(DWORD quality) {
    if (quality > kMaxQuality) return E_INVALIDARG;
    m_settings.quality = quality;
    return S_OK;
}

}  // namespace wm
