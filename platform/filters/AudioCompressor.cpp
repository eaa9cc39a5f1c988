#include "platform/filters/AudioCompressor.h"

#include <mmreg.h>

#include <cstdio>
#include <cstring>

#include "framework/com/WinText.h"
#include "platform/ClassIds.h"

namespace plat {

using dshow::MediaType;

namespace {

constexpr LONGLONG kUnits = 10000000;

const WAVEFORMATEX* PcmInput(const AM_MEDIA_TYPE& mt) {
    if (!IsEqualGUID(mt.majortype, MEDIATYPE_Audio) || !IsEqualGUID(mt.subtype, MEDIASUBTYPE_PCM) ||
        !IsEqualGUID(mt.formattype, FORMAT_WaveFormatEx) || !mt.pbFormat ||
        mt.cbFormat < sizeof(WAVEFORMATEX) - sizeof(WORD))
        return nullptr;
    const auto* w = reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat);
    if (w->wFormatTag != WAVE_FORMAT_PCM || w->wBitsPerSample != 16 || w->nChannels < 1 || w->nChannels > 2 ||
        w->nSamplesPerSec < 8000 || w->nSamplesPerSec > 192000)
        return nullptr;
    return w;
}

// Layer-3 and Layer-2 descriptions as the format defines them.
#pragma pack(push, 1)
struct Layer3Extension {
    WORD id;
    DWORD flags;
    WORD blockSize;
    WORD framesPerBlock;
    WORD codecDelay;
};
struct Layer2Extension {
    WORD headLayer;
    DWORD headBitrate;
    WORD headMode;
    WORD headModeExt;
    WORD headEmphasis;
    WORD headFlags;
    DWORD ptsLow;
    DWORD ptsHigh;
};
#pragma pack(pop)

}  // namespace

AudioCompressor::AudioCompressor(size_t index)
    : CatalogueCompressor(kAudioCompressorClsids[index], index, CLSID_AudioCompressorPage) {
    LoadSettings();
}

HRESULT AudioCompressor::AcceptInput(const AM_MEDIA_TYPE& mt) { return PcmInput(mt) ? S_OK : S_FALSE; }

namespace {

bool SameSettings(const media::AudioEncodeSettings& a, const media::AudioEncodeSettings& b) {
    return a.encoder == b.encoder && a.inputRate == b.inputRate && a.inputChannels == b.inputChannels &&
           a.outputRate == b.outputRate && a.outputChannels == b.outputChannels && a.bitRate == b.bitRate;
}

}  // namespace

media::AudioEncodeSettings AudioCompressor::EncoderSettings(const WAVEFORMATEX& in) const {
    media::AudioEncodeSettings s;
    s.encoder = m_codec.encoder;
    s.inputRate = static_cast<int>(in.nSamplesPerSec);
    s.inputChannels = in.nChannels;
    s.outputRate = m_settings.sampleRate;
    s.bitRate = static_cast<int64_t>(m_settings.bitRateKbps) * 1000;
    return s;
}

void AudioCompressor::OpenEncoder() {
    const WAVEFORMATEX* in = PcmInput(InputType().Get());
    m_encoder.reset();
    if (!in) return;
    m_blockAlign = in->nBlockAlign;
    const media::AudioEncodeSettings settings = EncoderSettings(*in);
    {
        std::lock_guard<std::mutex> hold(m_probeLock);
        if (m_probe && SameSettings(m_probeSettings, settings)) m_encoder = std::move(m_probe);
        m_probe.reset();
    }
    if (!m_encoder) m_encoder = std::make_unique<media::AudioEncoder>(settings);
}

MediaType AudioCompressor::MakeOutputType() {
    const WAVEFORMATEX* in = PcmInput(InputType().Get());
    if (!in) return MediaType();
    const media::AudioEncodeSettings settings = EncoderSettings(*in);
    std::lock_guard<std::mutex> hold(m_probeLock);
    if (!m_probe || !SameSettings(m_probeSettings, settings)) {
        m_probe.reset();
        m_probe = std::make_unique<media::AudioEncoder>(settings);
        m_probeSettings = settings;
    }
    const media::AudioEncoder& probe = *m_probe;
    const AVCodecContext& c = *probe.Context();

    WAVEFORMATEX w{};
    w.wFormatTag = m_codec.formatTag;
    w.nChannels = static_cast<WORD>(c.ch_layout.nb_channels);
    w.nSamplesPerSec = static_cast<DWORD>(c.sample_rate);
    w.nBlockAlign = static_cast<WORD>(c.block_align > 0 ? c.block_align : 1);
    w.wBitsPerSample = static_cast<WORD>(c.bits_per_coded_sample);
    w.nAvgBytesPerSec = static_cast<DWORD>(c.bit_rate / 8);
    std::vector<BYTE> extra;
    if (m_codec.formatTag == WAVE_FORMAT_PCM) {
        w.wBitsPerSample = 16;
        w.nBlockAlign = static_cast<WORD>(2 * w.nChannels);
        w.nAvgBytesPerSec = w.nSamplesPerSec * w.nBlockAlign;
    } else if (m_codec.formatTag == WAVE_FORMAT_MPEGLAYER3) {
        Layer3Extension x{};
        x.id = 1;         // MPEGLAYER3_ID_MPEG
        x.flags = 2;      // MPEGLAYER3_FLAG_PADDING_OFF
        x.blockSize = static_cast<WORD>((c.sample_rate >= 32000 ? 144 : 72) * c.bit_rate / c.sample_rate);
        x.framesPerBlock = 1;
        x.codecDelay = 1393;
        w.nBlockAlign = 1;
        w.wBitsPerSample = 0;
        extra.assign(reinterpret_cast<BYTE*>(&x), reinterpret_cast<BYTE*>(&x) + sizeof x);
    } else if (m_codec.formatTag == WAVE_FORMAT_MPEG) {
        Layer2Extension x{};
        x.headLayer = 2;  // ACM_MPEG_LAYER2
        x.headBitrate = static_cast<DWORD>(c.bit_rate);
        x.headMode = w.nChannels == 1 ? 8 : 1;  // single channel, stereo
        x.headEmphasis = 1;
        x.headFlags = c.sample_rate >= 32000 ? 0x10 : 0;  // ACM_MPEG_ID_MPEG1 for MPEG-1 rates
        w.nBlockAlign = 1;
        w.wBitsPerSample = 0;
        extra.assign(reinterpret_cast<BYTE*>(&x), reinterpret_cast<BYTE*>(&x) + sizeof x);
    } else {
        // ADPCM and the others: the extension is the encoder's extradata.
        extra = probe.Extradata();
        if (w.nAvgBytesPerSec == 0 && probe.FrameSize() > 0)
            w.nAvgBytesPerSec = static_cast<DWORD>(static_cast<int64_t>(w.nBlockAlign) * c.sample_rate / probe.FrameSize());
    }
    w.cbSize = static_cast<WORD>(extra.size());
    std::vector<BYTE> format(sizeof(WAVEFORMATEX) + extra.size());
    std::memcpy(format.data(), &w, sizeof w);
    if (!extra.empty()) std::memcpy(format.data() + sizeof w, extra.data(), extra.size());

    MediaType mt;
    mt.Edit().majortype = MEDIATYPE_Audio;
    mt.Edit().subtype = com::SubtypeFromFourCC(m_codec.formatTag);
    mt.Edit().bFixedSizeSamples = m_codec.formatTag == WAVE_FORMAT_PCM ? TRUE : FALSE;
    mt.Edit().lSampleSize = m_codec.formatTag == WAVE_FORMAT_PCM ? w.nBlockAlign : 0;
    mt.SetFormat(FORMAT_WaveFormatEx, format.data(), format.size());
    return mt;
}

void AudioCompressor::OutputBuffers(ALLOCATOR_PROPERTIES& p) {
    p.cBuffers = std::max<LONG>(p.cBuffers, 16);
    p.cbBuffer = std::max<LONG>(p.cbBuffer, 64 * 1024);
}

void AudioCompressor::Send(const media::EncodedPacket& p) {
    const int rate = m_encoder->SampleRate();
    Deliver(p, av_rescale(p.pts, kUnits, rate), av_rescale(p.pts + p.duration, kUnits, rate));
}

void AudioCompressor::Encode(const BYTE* data, LONG size, bool, REFERENCE_TIME) {
    if (!m_encoder || size <= 0) return;
    m_encoder->Encode(reinterpret_cast<const int16_t*>(data), size / m_blockAlign,
                      [&](const media::EncodedPacket& p) { Send(p); });
}

void AudioCompressor::FinishEncoding() {
    if (m_encoder) m_encoder->Finish([&](const media::EncodedPacket& p) { Send(p); });
}

}  // namespace plat
