// One stream of a Windows Media profile: its settings as a value, and the
// stream configuration object (IWMStreamConfig with its media properties)
// that hands them to callers.
#pragma once

#include <windows.h>

#include <string>

#include "framework/com/ComObject.h"
#include "platform/include/WindowsMedia.h"
#include "platform/wm/WmMediaType.h"

namespace wm {

constexpr WORD kMaxStreamNumber = 63;

struct StreamSettings {
    GUID type = GUID_NULL;  // WMMEDIATYPE_Video or WMMEDIATYPE_Audio
    WORD number = 0;        // 0: not numbered yet
    std::u16string name;
    std::u16string connection;
    DWORD bitRate = 0;
    DWORD bufferWindowMs = 0;
    MediaType mediaType;
    // Video only.
    LONGLONG maxKeyFrameSpacing = 0;  // 100 ns units
    DWORD quality = 0;

    bool IsVideo() const { return IsEqualGUID(type, WMMEDIATYPE_Video); }
};

StreamSettings VideoStreamSettings(const VideoStreamSpec& desc);
StreamSettings AudioStreamSettings(const AudioStreamSpec& desc);

// Reads a stream configuration through its public interfaces, so that a
// configuration of any origin can be copied.
HRESULT ReadStreamSettings(IWMStreamConfig* config, StreamSettings& out);

class StreamConfig final : public com::ComObjectRoot, public IWMStreamConfig, public IWMVideoMediaProps {
public:
    explicit StreamConfig(StreamSettings settings) : m_settings(std::move(settings)) {}
    static HRESULT Create(StreamSettings settings, IWMStreamConfig** out);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return InternalAddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return InternalRelease(); }

    // IWMStreamConfig
    STDMETHODIMP GetStreamType(GUID* type) override;
    STDMETHODIMP GetStreamNumber(WORD* number) override;
    STDMETHODIMP SetStreamNumber(WORD number) override;
    STDMETHODIMP GetStreamName(WCHAR* name, WORD* size) override;
    STDMETHODIMP SetStreamName(LPCWSTR_WMSDK_TYPE_SAFE name) override;
    STDMETHODIMP GetConnectionName(WCHAR* name, WORD* size) override;
    STDMETHODIMP SetConnectionName(LPCWSTR_WMSDK_TYPE_SAFE name) override;
    STDMETHODIMP GetBitrate(DWORD* bitRate) override;
    STDMETHODIMP SetBitrate(DWORD bitRate) override;
    STDMETHODIMP GetBufferWindow(DWORD* ms) override;
    STDMETHODIMP SetBufferWindow(DWORD ms) override;

    // IWMMediaProps
    STDMETHODIMP GetType(GUID* type) override;
    STDMETHODIMP GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
    STDMETHODIMP SetMediaType(WM_MEDIA_TYPE* type) override;

    // IWMVideoMediaProps (video streams only)
    STDMETHODIMP GetMaxKeyFrameSpacing(LONGLONG* time) override;
    STDMETHODIMP SetMaxKeyFrameSpacing(LONGLONG time) override;
    STDMETHODIMP GetQuality(DWORD* quality) override;
    STDMETHODIMP SetQuality(DWORD quality) override;

private:
    ~StreamConfig() override = default;
    StreamSettings m_settings;
};

}  // namespace wm
