#include "platform/asf/AsfProfilePlan.h"

#include <cstdio>

#include "framework/com/ComPtr.h"
#include "framework/com/MediaType.h"
#include "framework/com/WinText.h"
#include "platform/wm/WmStreamConfig.h"

namespace asfw {

namespace {

std::u16string PinName(const char* kind, int ordinal) {
    char text[32];
    std::snprintf(text, sizeof text, "%s Input %02d", kind, ordinal);
    return com::U16(text);
}

HRESULT PlanStream(const wm::StreamSettings& s, StreamPlan& plan) {
    DWORD tag = 0;
    if (!com::FourCCFromSubtype(s.mediaType.Header().subtype, &tag))
        return s.IsVideo() ? NS_E_VIDEO_CODEC_NOT_INSTALLED : NS_E_AUDIO_CODEC_NOT_INSTALLED;
    plan.video = s.IsVideo();
    plan.tag = tag;
    plan.bitRate = s.bitRate;
    plan.bufferMs = s.bufferWindowMs;
    if (plan.video) {
        const wm::VideoCodecInfo* codec = wm::FindVideoCodec(tag);
        if (!codec) return NS_E_VIDEO_CODEC_NOT_INSTALLED;
        plan.encoder = codec->encoderName;
        plan.keyFrameSpacing = s.maxKeyFrameSpacing;
        if (const VIDEOINFOHEADER* vih = s.mediaType.VideoInfo(); !plan.bitRate && vih) plan.bitRate = vih->dwBitRate;
    } else {
        const wm::AudioCodecInfo* codec = tag <= 0xFFFF ? wm::FindAudioCodec(static_cast<uint16_t>(tag)) : nullptr;
        if (!codec) return NS_E_AUDIO_CODEC_NOT_INSTALLED;
        plan.encoder = codec->encoderName;
        if (const WAVEFORMATEX* wfx = s.mediaType.WaveFormat()) {
            plan.sampleRate = static_cast<int>(wfx->nSamplesPerSec);
            plan.channels = wfx->nChannels;
            if (!plan.bitRate) plan.bitRate = static_cast<int64_t>(wfx->nAvgBytesPerSec) * 8;
        }
    }
    return plan.bitRate > 0 ? S_OK : NS_E_INVALIDPROFILE;
}

}  // namespace

HRESULT PlanProfile(IWMProfile* profile, std::vector<ProfileStream>& out) {
    if (!profile) return E_POINTER;
    return com::ComGuard([&]() -> HRESULT {
        DWORD count = 0;
        HRESULT hr = profile->GetStreamCount(&count);
        if (FAILED(hr)) return hr;
        if (count == 0) return NS_E_INVALIDPROFILE;
        std::vector<ProfileStream> streams;
        int videos = 0, audios = 0;
        for (DWORD i = 0; i < count; ++i) {
            com::ComPtr<IWMStreamConfig> config;
            hr = profile->GetStream(i, config.Put());
            if (FAILED(hr)) return hr;
            wm::StreamSettings settings;
            hr = wm::ReadStreamSettings(config.Get(), settings);
            if (FAILED(hr)) return hr;
            if (!settings.IsVideo() && !IsEqualGUID(settings.type, WMMEDIATYPE_Audio)) return NS_E_INVALIDPROFILE;
            ProfileStream stream;
            hr = PlanStream(settings, stream.plan);
            if (FAILED(hr)) return hr;
            stream.pinName = stream.plan.video ? PinName("Video", ++videos) : PinName("Audio", ++audios);
            streams.push_back(std::move(stream));
        }
        out = std::move(streams);
        return S_OK;
    });
}

}  // namespace asfw
