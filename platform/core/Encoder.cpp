#include "platform/core/Encoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <tuple>

#include "platform/core/MediaError.h"
#include "platform/core/PictureOrigins.h"

namespace media {

namespace {

const AVCodec* FindEncoder(const std::string& name) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name.c_str());
    if (!codec) Fail(ErrorKind::Unsupported, "The " + name + " encoder is not available");
    return codec;
}

std::vector<uint8_t> CopyExtradata(const AVCodecContext& ctx) {
    if (!ctx.extradata || ctx.extradata_size <= 0) return {};
    return std::vector<uint8_t>(ctx.extradata, ctx.extradata + ctx.extradata_size);
}

}  // namespace

int NearestSampleRate(const AVCodec* codec, int wanted) {
    if (!codec->supported_samplerates) return wanted;
    int best = codec->supported_samplerates[0];
    for (const int* r = codec->supported_samplerates; *r; ++r)
        if (std::abs(*r - wanted) < std::abs(best - wanted)) best = *r;
    return best;
}

bool VideoEncoderTakes(const std::string& encoder, AVPixelFormat format, int width, int height, AVRational rate) {
    if (width <= 0 || height <= 0 || rate.num <= 0 || rate.den <= 0) return false;
    using Key = std::tuple<std::string, int, int, int, int, int>;
    static std::mutex lock;
    static std::map<Key, bool> answers;
    const Key key{encoder, format, width, height, rate.num, rate.den};
    {
        std::lock_guard<std::mutex> hold(lock);
        const auto it = answers.find(key);
        if (it != answers.end()) return it->second;
    }
    bool takes = false;
    try {
        VideoEncodeSettings s;
        s.encoder = encoder;
        s.pixelFormat = format;
        s.width = width;
        s.height = height;
        s.rate = rate;
        s.threads = 1;
        VideoEncoder probe(s);
        takes = true;
    } catch (const MediaError&) {
        takes = false;
    }
    std::lock_guard<std::mutex> hold(lock);
    answers[key] = takes;
    return takes;
}

// ---- Video -------------------------------------------------------------------------

VideoEncoder::VideoEncoder(const VideoEncodeSettings& s)
    : m_settings(s),
      m_codec(Codec::OpenEncoder(FindEncoder(s.encoder),
                                 [&](AVCodecContext& c) {
                                     c.width = s.width;
                                     c.height = s.height;
                                     c.pix_fmt = s.pixelFormat;
                                     c.time_base = av_inv_q(s.rate);
                                     c.framerate = s.rate;
                                     c.codec_tag = s.fourcc;
                                     c.thread_count = s.threads;
                                     c.max_b_frames = 0;  // AVI keeps no reordering
                                     if (s.keyInterval > 0) c.gop_size = s.keyInterval;
                                     if (s.quality > 0) {
                                         c.flags |= AV_CODEC_FLAG_QSCALE;
                                         c.global_quality = FF_QP2LAMBDA * s.quality;
                                     } else if (s.bitRate > 0) {
                                         c.bit_rate = s.bitRate;
                                     }
                                     if (s.configure) s.configure(c);
                                 })),
      m_frame(MakeFrame()) {
    QuietLibraryLogs();
    m_extradata = CopyExtradata(*m_codec.Get());
}

void VideoEncoder::Emit(const AVPacket& p, const EncodedSink& sink) {
    sink(EncodedPacket{p.data, p.size, p.pts, p.dts == AV_NOPTS_VALUE ? p.pts : p.dts, p.duration > 0 ? p.duration : 1,
                       (p.flags & AV_PKT_FLAG_KEY) != 0});
}

namespace {

// A buffer of the encoder's own that nobody else reads.
void MakeWritable(AVFrame* frame, const VideoEncodeSettings& settings) {
    // The encoder may still hold the last picture (it keeps its input for
    // reordering and look-ahead), or the frame may be a source's planes: a
    // fresh buffer then, not a copy that would be overwritten at once.
    if (frame->buf[0] && !av_frame_is_writable(frame)) av_frame_unref(frame);
    if (!frame->buf[0]) {
        frame->format = settings.pixelFormat;
        frame->width = settings.width;
        frame->height = settings.height;
        Check(av_frame_get_buffer(frame, 0), "Allocating a picture");
    }
}

}  // namespace

bool VideoEncoder::TakeOrigin(const uint8_t* picture, AVPixelFormat format, int stride, bool bottomUp,
                              AVFrame* frame) {
    PictureOrigins& origins = PictureOrigins::Shared();
    if (origins.Empty()) return false;
    if (!m_origin) m_origin = MakeFrame();
    const PictureKey key =
        PackedPictureKey(picture, format, m_settings.width, m_settings.height, stride, bottomUp);
    if (!origins.Find(key, m_origin.get())) return false;
    ConvertPlanes(*m_origin, frame);
    av_frame_unref(m_origin.get());
    return true;
}

void VideoEncoder::ConvertPlanes(const AVFrame& planes, AVFrame* frame) {
    if (planes.format == m_settings.pixelFormat && planes.width == m_settings.width &&
        planes.height == m_settings.height) {
        // Encoders only read their input: the planes themselves, no copy.
        av_frame_unref(frame);
        Check(av_frame_ref(frame, &planes), "Allocating a picture");
        return;
    }
    // Another planar format (or range): converted plane to plane, which
    // keeps the colours the RGB would have given.
    MakeWritable(frame, m_settings);
    m_scaler.Scale(planes, *frame);
}

void VideoEncoder::Convert(const uint8_t* picture, AVPixelFormat format, int stride, bool bottomUp, AVFrame* frame) {
    if (TakeOrigin(picture, format, stride, bottomUp, frame)) return;
    MakeWritable(frame, m_settings);
    m_scaler.ScalePacked(picture, format, m_settings.width, m_settings.height, stride, bottomUp, *frame);
}

void VideoEncoder::EncodeFrame(AVFrame* frame, int64_t index, const EncodedSink& sink) {
    frame->pts = index;
    m_codec.Encode(frame, [&](AVPacket* p) { Emit(*p, sink); });
}

void VideoEncoder::Encode(const uint8_t* picture, AVPixelFormat format, int stride, bool bottomUp, int64_t index,
                          const EncodedSink& sink) {
    Convert(picture, format, stride, bottomUp, m_frame.get());
    EncodeFrame(m_frame.get(), index, sink);
}

void VideoEncoder::Finish(const EncodedSink& sink) {
    m_codec.Encode(nullptr, [&](AVPacket* p) { Emit(*p, sink); });
}

// ---- Audio -------------------------------------------------------------------------

AudioEncoder::AudioEncoder(const AudioEncodeSettings& s)
    : m_settings(s),
      m_codec(Codec::OpenEncoder(FindEncoder(s.encoder),
                                 [&](AVCodecContext& c) {
                                     const AVCodec* codec = c.codec;
                                     c.sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
                                     c.sample_rate = NearestSampleRate(codec, s.outputRate > 0 ? s.outputRate : s.inputRate);
                                     const int channels = s.outputChannels > 0 ? s.outputChannels : s.inputChannels;
                                     av_channel_layout_default(&c.ch_layout, std::clamp(channels, 1, 2));
                                     c.time_base = AVRational{1, c.sample_rate};
                                     if (s.bitRate > 0) c.bit_rate = s.bitRate;
                                 })),
      m_frame(MakeFrame()) {
    QuietLibraryLogs();
    AVCodecContext* c = m_codec.Get();
    const bool anySize = (c->codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || c->frame_size == 0;
    m_frameSize = anySize ? 0 : c->frame_size;
    m_chunk = m_frameSize ? m_frameSize : 1024;
    AVChannelLayout in{};
    av_channel_layout_default(&in, s.inputChannels);
    SwrContext* swr = nullptr;
    Check(swr_alloc_set_opts2(&swr, &c->ch_layout, c->sample_fmt, c->sample_rate, &in, AV_SAMPLE_FMT_S16,
                              s.inputRate, 0, nullptr),
          "Preparing the audio conversion");
    m_swr.reset(swr);
    av_channel_layout_uninit(&in);
    Check(swr_init(m_swr.get()), "Preparing the audio conversion");
    m_fifo.reset(av_audio_fifo_alloc(c->sample_fmt, c->ch_layout.nb_channels, m_chunk * 2));
    if (!m_fifo) Fail(ErrorKind::NoMemory, "Out of memory");
    m_extradata = CopyExtradata(*c);
}

AudioEncoder::~AudioEncoder() = default;

void AudioEncoder::Emit(const AVPacket& p, int samples, const EncodedSink& sink) {
    // Times come from the samples consumed, so priming delays never give
    // negative or overlapping times.
    const int64_t duration = p.duration > 0 ? p.duration : samples;
    sink(EncodedPacket{p.data, p.size, m_outPts, m_outPts, duration, true});
    m_outPts += duration;
}

void AudioEncoder::Drain(bool final, const EncodedSink& sink) {
    AVCodecContext* c = m_codec.Get();
    auto onPacket = [&](AVPacket* p) { Emit(*p, m_chunk, sink); };
    for (;;) {
        int n = av_audio_fifo_size(m_fifo.get());
        if (n == 0 || (n < m_chunk && !final)) return;
        const bool small = (c->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) || m_frameSize == 0;
        const int frameSamples = n >= m_chunk ? m_chunk : (small ? n : m_chunk);
        av_frame_unref(m_frame.get());
        m_frame->nb_samples = frameSamples;
        m_frame->format = c->sample_fmt;
        m_frame->sample_rate = c->sample_rate;
        Check(av_channel_layout_copy(&m_frame->ch_layout, &c->ch_layout), "Preparing audio");
        Check(av_frame_get_buffer(m_frame.get(), 0), "Allocating audio");
        const int got = av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(m_frame->extended_data),
                                           std::min(n, frameSamples));
        if (got < frameSamples)  // the last, padded with silence
            av_samples_set_silence(m_frame->extended_data, got, frameSamples - got, c->ch_layout.nb_channels,
                                   c->sample_fmt);
        m_frame->pts = m_inPts;
        m_inPts += frameSamples;
        m_codec.Encode(m_frame.get(), onPacket);
    }
}

void AudioEncoder::Encode(const int16_t* pcm, int frames, const EncodedSink& sink) {
    AVCodecContext* c = m_codec.Get();
    const int room = swr_get_out_samples(m_swr.get(), frames);
    if (room > 0) {
        uint8_t** buf = nullptr;
        Check(av_samples_alloc_array_and_samples(&buf, nullptr, c->ch_layout.nb_channels, room, c->sample_fmt, 0),
              "Allocating audio");
        const uint8_t* in[1] = {reinterpret_cast<const uint8_t*>(pcm)};
        const int got = swr_convert(m_swr.get(), buf, room, pcm ? in : nullptr, frames);
        const int w = got > 0 ? av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(buf), got) : got;
        av_freep(&buf[0]);
        av_freep(&buf);
        Check(got, "Converting the audio");
        if (w < got) Fail(ErrorKind::NoMemory, "Out of memory");
    }
    Drain(false, sink);
}

void AudioEncoder::Finish(const EncodedSink& sink) {
    Encode(nullptr, 0, sink);  // what the resampler holds
    Drain(true, sink);
    m_codec.Encode(nullptr, [&](AVPacket* p) { Emit(*p, m_chunk, sink); });
}

}  // namespace media
