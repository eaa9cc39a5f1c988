// The WMV back end: the ASF writer configured with a Windows Media profile,
// a system profile chosen by number or the custom profile built from the
// control's properties.
#include "convctl/ConversionEngine.h"

#include <cstdarg>
#include <cstdio>
#include <new>
#include <vector>

#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"

namespace convctl {

using com::ComPtr;

namespace {

constexpr DWORD kCustomVideoBitRate = 819200;
constexpr WORD kVideoStreamNumber = 1;
constexpr WORD kAudioStreamNumber = 2;
constexpr LONGLONG kUnitsPerSecond = 10000000;
constexpr DWORD kWaveFormatBytes = 18;  // WAVEFORMATEX without its codec data

// The frame size the video group really delivers: the output size, or the
// source's when the output size is kept at 0.
bool VideoGroupSize(IAMTimelineObj* videoGroup, LONG* width, LONG* height) {
    ComPtr<IAMTimelineGroup> group;
    if (!videoGroup || FAILED(videoGroup->QueryInterface(IID_IAMTimelineGroup, group.PutVoid()))) return false;
    com::MediaType mt;
    if (FAILED(group->GetMediaType(mt.Put()))) return false;
    const auto* vih = mt.Format<VIDEOINFOHEADER>();
    if (!IsEqualGUID(mt.Get().formattype, FORMAT_VideoInfo) || !vih) return false;
    *width = vih->bmiHeader.biWidth;
    *height = vih->bmiHeader.biHeight < 0 ? -vih->bmiHeader.biHeight : vih->bmiHeader.biHeight;
    return true;
}

}  // namespace

HRESULT ReadMediaType(IUnknown* stream, std::vector<WM_MEDIA_TYPE>& buffer) {
    if (!stream) return E_POINTER;
    ComPtr<IWMMediaProps> props;
    HRESULT hr = stream->QueryInterface(IID_IWMMediaProps, props.PutVoid());
    if (FAILED(hr)) return hr;
    DWORD size = 0;
    hr = props->GetMediaType(nullptr, &size);
    if (FAILED(hr)) return hr;
    if (size < sizeof(WM_MEDIA_TYPE)) return E_UNEXPECTED;
    try {
        buffer.assign((size + sizeof(WM_MEDIA_TYPE) - 1) / sizeof(WM_MEDIA_TYPE), WM_MEDIA_TYPE{});
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return props->GetMediaType(buffer.data(), &size);
}

void ProfileOut(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fflush(stdout);
}

bool ParseCodecIndex(const std::u16string& identifier, DWORD* index, HRESULT* hr) {
    *hr = S_OK;
    if (identifier.empty()) return false;
    const size_t end = identifier.find(u',');
    const std::u16string number = identifier.substr(0, end);
    unsigned long long value = 0;
    bool digits = !number.empty();
    for (char16_t c : number) {
        digits = digits && c >= u'0' && c <= u'9';
        if (digits) value = value * 10 + static_cast<unsigned>(c - u'0');
        if (value > MAXDWORD) digits = false;
    }
    if (!digits) *hr = E_INVALIDARG;
    *index = static_cast<DWORD>(value);
    return true;
}

// ---- Profile mapping ----------------------------------------------------------------

HRESULT MapProfile(MediaObjectFactory& factory, LONG index, ComPtr<IWMProfile>& profile) {
    ComPtr<IWMProfileManager> manager;
    HRESULT hr = factory.CreateProfileManager(manager.Put());
    if (FAILED(hr) || !manager) {
        ProfileOut("MapProfile: Failed to create profile manager!  hr=0x%x\n", static_cast<unsigned>(hr));
        return FAILED(hr) ? hr : E_POINTER;
    }
    ComPtr<IWMProfileManager2> manager2;
    if (FAILED(manager.As(IID_IWMProfileManager2, manager2))) {
        ProfileOut("MapProfile: Failed to QI IWMProfileManager2!\n");
        return E_UNEXPECTED;
    }
    hr = manager2->SetSystemProfileVersion(WMT_VER_7_0);
    if (FAILED(hr)) {
        ProfileOut("MapProfile: Failed to set system profile version!  hr=0x%x\n", static_cast<unsigned>(hr));
        return hr;
    }
    DWORD count = 0;
    hr = manager2->GetSystemProfileCount(&count);
    if (FAILED(hr)) {
        ProfileOut("MapProfile: Failed to get system profile count!  hr=0x%x\n", static_cast<unsigned>(hr));
        return hr;
    }
    // Compared unsigned, so 0 and negative numbers are out of range too.
    const DWORD number = static_cast<DWORD>(index) - 1;
    if (number >= count) {
        ProfileOut("Invalid profile: %d\n", static_cast<int>(index));
        return E_INVALIDARG;
    }
    return manager2->LoadSystemProfile(number, profile.Put());
}

// ---- Custom profile -------------------------------------------------------------------

HRESULT WmvCustomProfile::Build(MediaObjectFactory& factory, ComPtr<IWMProfile>& profile) {
    HRESULT hr = S_OK;
    if (!m_manager) {
        hr = factory.CreateProfileManager(m_manager.Put());
        if (FAILED(hr)) return hr;
        if (!m_manager) return E_POINTER;
    }
    hr = m_manager->CreateEmptyProfile(WMT_VER_7_0, profile.Put());
    if (FAILED(hr)) return hr;
    profile->SetName(L"Custom Profile");
    profile->SetDescription(L"Custom Profile Description");
    if (!m_codecInfo) {
        hr = m_manager.As(IID_IWMCodecInfo2, m_codecInfo);
        if (FAILED(hr)) return hr;
    }
    hr = AddVideoStream(profile.Get());
    if (SUCCEEDED(hr)) hr = AddAudioStream(profile.Get());
    return hr;
}

HRESULT WmvCustomProfile::AddVideoStream(IWMProfile* profile) {
    DWORD bitRate = kCustomVideoBitRate;
    DWORD codec = 0;
    HRESULT hr = S_OK;
    const bool haveCodec = ParseCodecIndex(videoCodec, &codec, &hr);
    if (FAILED(hr)) return hr;

    ComPtr<IWMStreamConfig> stream;
    if (!haveCodec) {
        hr = profile->CreateNewStream(WMMEDIATYPE_Video, stream.Put());
        bitRate = 0;  // the new stream keeps its own rate
    } else {
        hr = m_codecInfo->GetCodecFormat(WMMEDIATYPE_Video, codec, 0, stream.Put());
    }
    if (FAILED(hr)) return hr;
    std::vector<WM_MEDIA_TYPE> type;
    hr = ReadMediaType(stream.Get(), type);
    if (FAILED(hr)) return hr;
    WM_MEDIA_TYPE* mt = type.data();
    if (!IsEqualGUID(mt->formattype, FORMAT_VideoInfo) || !mt->pbFormat || mt->cbFormat < sizeof(VIDEOINFOHEADER))
        return E_FAIL;

    auto* vih = reinterpret_cast<VIDEOINFOHEADER*>(mt->pbFormat);
    if (bitRate != 0) {
        vih->dwBitRate = bitRate;
        vih->rcSource.right = vih->rcTarget.right = vih->bmiHeader.biWidth = width;
        vih->rcSource.bottom = vih->rcTarget.bottom = vih->bmiHeader.biHeight = height;
    }
    vih->AvgTimePerFrame = kUnitsPerSecond / frameRate;

    ComPtr<IWMVideoMediaProps> videoProps;
    if (SUCCEEDED(stream->QueryInterface(IID_IWMVideoMediaProps, videoProps.PutVoid()))) {
        videoProps->SetQuality(static_cast<DWORD>(quality));
        videoProps->SetMaxKeyFrameSpacing(static_cast<LONGLONG>(keyFrameSpacing) * kUnitsPerSecond);
    }

    hr = stream->SetStreamNumber(kVideoStreamNumber);
    if (SUCCEEDED(hr)) hr = stream->SetStreamName(L"Video Stream");
    if (SUCCEEDED(hr)) hr = stream->SetConnectionName(L"Video");
    if (SUCCEEDED(hr) && vih->dwBitRate != 0) hr = stream->SetBitrate(vih->dwBitRate);
    ComPtr<IWMMediaProps> props;
    if (SUCCEEDED(hr)) hr = stream->QueryInterface(IID_IWMMediaProps, props.PutVoid());
    if (SUCCEEDED(hr)) hr = props->SetMediaType(mt);
    if (FAILED(hr)) return hr;
    return profile->AddStream(stream.Get());
}

HRESULT WmvCustomProfile::AddAudioStream(IWMProfile* profile) {
    DWORD codec = 0;
    HRESULT hr = S_OK;
    const bool haveCodec = ParseCodecIndex(audioCodec, &codec, &hr);
    if (FAILED(hr)) return hr;

    ComPtr<IWMStreamConfig> stream;
    if (!haveCodec) {
        hr = profile->CreateNewStream(WMMEDIATYPE_Audio, stream.Put());
        if (FAILED(hr)) return hr;
        return profile->AddStream(stream.Get());
    }

    hr = m_codecInfo->GetCodecFormat(WMMEDIATYPE_Audio, codec, static_cast<DWORD>(audioFormatIndex), stream.Put());
    if (FAILED(hr)) return hr;
    std::vector<WM_MEDIA_TYPE> codecType;
    hr = ReadMediaType(stream.Get(), codecType);
    if (FAILED(hr)) return hr;
    const WM_MEDIA_TYPE* codecMt = codecType.data();
    if (!IsEqualGUID(codecMt->formattype, FORMAT_WaveFormatEx) || !codecMt->pbFormat ||
        codecMt->cbFormat < kWaveFormatBytes)
        return E_FAIL;
    auto* wfx = reinterpret_cast<WAVEFORMATEX*>(codecMt->pbFormat);

    // A media type of its own over the codec's format.
    WM_MEDIA_TYPE mt{};
    mt.majortype = MEDIATYPE_Audio;
    mt.subtype = com::SubtypeFromFourCC(wfx->wFormatTag);
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = wfx->nBlockAlign;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.cbFormat = wfx->cbSize + kWaveFormatBytes;
    mt.pbFormat = reinterpret_cast<BYTE*>(wfx);
    if (mt.cbFormat > codecMt->cbFormat) return E_FAIL;

    ComPtr<IWMStreamConfig> fresh;
    hr = profile->CreateNewStream(WMMEDIATYPE_Audio, fresh.Put());
    if (FAILED(hr)) return hr;
    stream = nullptr;
    hr = fresh->SetStreamNumber(kAudioStreamNumber);
    if (SUCCEEDED(hr)) hr = fresh->SetStreamName(L"Audio Stream");
    if (SUCCEEDED(hr)) hr = fresh->SetConnectionName(L"Audio");
    if (SUCCEEDED(hr)) hr = fresh->SetBitrate(wfx->nAvgBytesPerSec * 8);
    ComPtr<IWMMediaProps> props;
    if (SUCCEEDED(hr)) hr = fresh->QueryInterface(IID_IWMMediaProps, props.PutVoid());
    if (SUCCEEDED(hr)) hr = props->SetMediaType(&mt);
    if (FAILED(hr)) return hr;
    return profile->AddStream(fresh.Get());
}

// ---- Back end ---------------------------------------------------------------------------

HRESULT ConversionEngine::AttachWmvBackEnd() {
    HRESULT hr = m_builder->SetOutputFileName(&MEDIASUBTYPE_Asf, com::W(m_outputFile), m_mux.Put(), nullptr);
    // Not silent: the host would wait for an end that never comes.
    if (FAILED(hr) || !m_mux) return FailStart(FAILED(hr) ? hr : E_FAIL, "The output file could not be created");

    ComPtr<IConfigAsfWriter> config;
    hr = m_mux.As(IID_IConfigAsfWriter, config);
    if (FAILED(hr)) return FailStart(hr, "Failed to QI for IConfigAsfWriter!");

    ComPtr<IWMProfile> profile;
    if (m_wmvProfile < 1) {
        WmvCustomProfile& custom = m_customProfile;
        const LONG rate = static_cast<LONG>(m_outputFrameRate);
        if (rate > 0) custom.frameRate = rate;
        custom.quality = m_quality;
        custom.audioCodec = m_audioCodec;
        custom.videoCodec = m_videoCodec;
        // The size the video group delivers, so that a kept source size is
        // not described as 0 x 0.
        if (!VideoGroupSize(m_videoGroup.Get(), &custom.width, &custom.height)) {
            custom.width = m_outputWidth;
            custom.height = m_outputHeight;
        }
        hr = custom.Build(*m_factory, profile);
        if (FAILED(hr)) return FailStart(hr, "Could not create custom profile object!");
    } else {
        hr = MapProfile(*m_factory, m_wmvProfile, profile);
        if (FAILED(hr)) return FailStart(hr, "Failed to map profile ID!");
    }
    hr = config->ConfigureFilterUsingProfile(profile.Get());
    if (FAILED(hr)) return FailStart(hr, "Failed to configure filter to use profile!");
    profile = nullptr;
    config = nullptr;

    ComPtr<IPin> videoPin, audioPin;
    m_renderEngine->GetGroupOutputPin(0, videoPin.Put());
    m_renderEngine->GetGroupOutputPin(1, audioPin.Put());
    if (!videoPin || !audioPin) return FailStart(E_FAIL, "The source file could not be rendered");

    // The video must reach the file: a start never goes on with audio alone.
    // With the preview on, the branch's result is the video's.
    if (m_preview) hr = ConnectPreviewBranch(videoPin.Get(), audioPin.Get(), m_mux.Get());
    else hr = m_builder->RenderStream(nullptr, &MEDIATYPE_Video, videoPin.Get(), nullptr, m_mux.Get());
    if (FAILED(hr)) {
        if (m_sourceHasAudio == VARIANT_FALSE)
            return FailStart(E_FAIL, "The selected source file does not have any audio content, and the video "
                                     "stream does not render");
        return FailStart(hr, "The video stream does not render");
    }
    hr = m_builder->RenderStream(nullptr, &MEDIATYPE_Audio, audioPin.Get(), nullptr, m_mux.Get());
    if (FAILED(hr)) return FailStart(hr, "The audio stream does not render");
    return S_OK;
}

}  // namespace convctl
