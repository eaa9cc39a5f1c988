#include "platform/wm/WmMediaType.h"

#include <cstring>

#include "framework/com/MediaType.h"

namespace wm {

namespace {

constexpr LONGLONG kUnitsPerSecond = 10000000;

}  // namespace

MediaType::MediaType(const WM_MEDIA_TYPE& type) : m_header(type) {
    m_header.pUnk = nullptr;
    if (type.pbFormat && type.cbFormat) m_format.assign(type.pbFormat, type.pbFormat + type.cbFormat);
    m_header.cbFormat = static_cast<ULONG>(m_format.size());
    m_header.pbFormat = nullptr;
}

WM_MEDIA_TYPE MediaType::View() const {
    WM_MEDIA_TYPE view = m_header;
    view.pbFormat = m_format.empty() ? nullptr : const_cast<BYTE*>(m_format.data());
    return view;
}

HRESULT MediaType::CopyOut(WM_MEDIA_TYPE* out, DWORD* size) const {
    if (!size) return E_POINTER;
    const DWORD needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + m_format.size());
    if (!out) {
        *size = needed;
        return S_OK;
    }
    if (*size < needed) {
        *size = needed;
        return ASF_E_BUFFERTOOSMALL;
    }
    *out = m_header;
    if (!m_format.empty()) {
        BYTE* format = reinterpret_cast<BYTE*>(out) + sizeof(WM_MEDIA_TYPE);
        std::memcpy(format, m_format.data(), m_format.size());
        out->pbFormat = format;
    }
    *size = needed;
    return S_OK;
}

const VIDEOINFOHEADER* MediaType::VideoInfo() const {
    if (!IsEqualGUID(m_header.formattype, FORMAT_VideoInfo) || m_format.size() < sizeof(VIDEOINFOHEADER))
        return nullptr;
    return reinterpret_cast<const VIDEOINFOHEADER*>(m_format.data());
}

const WAVEFORMATEX* MediaType::WaveFormat() const {
    if (!IsEqualGUID(m_header.formattype, FORMAT_WaveFormatEx) || m_format.size() < kWaveFormatBytes)
        return nullptr;
    return reinterpret_cast<const WAVEFORMATEX*>(m_format.data());
}

MediaType VideoMediaType(const VideoStreamSpec& desc) {
    VIDEOINFOHEADER vih{};
    vih.rcSource = RECT{0, 0, static_cast<LONG>(desc.width), static_cast<LONG>(desc.height)};
    vih.rcTarget = vih.rcSource;
    vih.dwBitRate = desc.bitRate;
    vih.AvgTimePerFrame = desc.fps ? kUnitsPerSecond / desc.fps : 0;
    vih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    vih.bmiHeader.biWidth = static_cast<LONG>(desc.width);
    vih.bmiHeader.biHeight = static_cast<LONG>(desc.height);
    vih.bmiHeader.biPlanes = 1;
    vih.bmiHeader.biBitCount = 24;
    vih.bmiHeader.biCompression = VideoCodecs()[desc.codec].fourcc;

    WM_MEDIA_TYPE mt{};
    mt.majortype = WMMEDIATYPE_Video;
    mt.subtype = com::SubtypeFromFourCC(VideoCodecs()[desc.codec].fourcc);
    mt.bFixedSizeSamples = FALSE;
    mt.bTemporalCompression = TRUE;
    mt.formattype = FORMAT_VideoInfo;
    mt.cbFormat = sizeof vih;
    mt.pbFormat = reinterpret_cast<BYTE*>(&vih);
    return MediaType(mt);
}

MediaType AudioMediaType(const AudioCodecInfo& codec, const AudioFormat& format) {
    const AudioFormatFacts facts = DescribeAudioFormat(codec, format);
    std::vector<BYTE> block(kWaveFormatBytes + facts.extra.size());
    WAVEFORMATEX wfx{};
    wfx.wFormatTag = codec.formatTag;
    wfx.nChannels = format.channels;
    wfx.nSamplesPerSec = format.sampleRate;
    wfx.nAvgBytesPerSec = facts.avgBytesPerSec;
    wfx.nBlockAlign = facts.blockAlign;
    wfx.wBitsPerSample = 16;
    wfx.cbSize = static_cast<WORD>(facts.extra.size());
    std::memcpy(block.data(), &wfx, kWaveFormatBytes);
    if (!facts.extra.empty()) std::memcpy(block.data() + kWaveFormatBytes, facts.extra.data(), facts.extra.size());

    WM_MEDIA_TYPE mt{};
    mt.majortype = WMMEDIATYPE_Audio;
    mt.subtype = com::SubtypeFromFourCC(codec.formatTag);
    mt.bFixedSizeSamples = TRUE;
    mt.bTemporalCompression = FALSE;
    mt.lSampleSize = facts.blockAlign;
    mt.formattype = FORMAT_WaveFormatEx;
    mt.cbFormat = static_cast<ULONG>(block.size());
    mt.pbFormat = block.data();
    return MediaType(mt);
}

bool IsUsableMediaType(REFGUID streamType, const WM_MEDIA_TYPE& type) {
    if (!IsEqualGUID(type.majortype, streamType)) return false;
    if (type.cbFormat && !type.pbFormat) return false;
    if (IsEqualGUID(streamType, WMMEDIATYPE_Video))
        return IsEqualGUID(type.formattype, FORMAT_VideoInfo) && type.cbFormat >= sizeof(VIDEOINFOHEADER);
    if (IsEqualGUID(streamType, WMMEDIATYPE_Audio)) {
        if (!IsEqualGUID(type.formattype, FORMAT_WaveFormatEx) || type.cbFormat < kWaveFormatBytes) return false;
        const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(type.pbFormat);
        return type.cbFormat >= kWaveFormatBytes + wfx->cbSize;
    }
    return false;
}

}  // namespace wm
