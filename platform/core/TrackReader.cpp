#include "platform/core/TrackReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/pixdesc.h>
}

#include "platform/core/MediaError.h"

namespace media {

int64_t FramesIn(int64_t length, AVRational rate) {
    if (length <= 0 || rate.num <= 0 || rate.den <= 0) return 0;
    // A frame that starts within a thousandth of a frame of the end is not counted.
    const double frames = static_cast<double>(length) * rate.num / (static_cast<double>(rate.den) * AV_TIME_BASE);
    return static_cast<int64_t>(std::ceil(frames - 1e-3));
}

int64_t SamplesIn(int64_t length, int sampleRate) {
    if (length <= 0) return 0;
    return av_rescale_rnd(length, sampleRate, AV_TIME_BASE, AV_ROUND_NEAR_INF);
}

namespace {

// Time of a decoded frame relative to the clip's start, AV_TIME_BASE units.
bool ClipTime(const AVFrame& frame, const AVStream& stream, int64_t origin, int64_t start, int64_t& out) {
    const int64_t ts = frame.best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE) return false;
    out = av_rescale_q(ts, stream.time_base, AV_TIME_BASE_Q) - origin - start;
    return true;
}

// The latest start of sound, in seconds, believed without a clip length.
constexpr int kMaxLateStart = 60;

// How long the best stream of a type lasts after the clip's start, by its
// data: what a missing stream is stood in for (black or silence) covers no
// more than the other stream really holds, whatever the headers claim.
int64_t DataAfter(Demuxer& demux, AVMediaType type, int64_t start) {
    return std::max<int64_t>(0, demux.DataLength(demux.BestStream(type)) - start);
}

// Planes whose colours the encoders' RGB conversion would give back
// (the same matrix both ways; full-range formats are converted as such).
bool IsPlanarYuv(AVPixelFormat format) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    return d && d->nb_components >= 3 && (d->flags & AV_PIX_FMT_FLAG_PLANAR) &&
           !(d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_HWACCEL | AV_PIX_FMT_FLAG_BAYER));
}

// Without a length the reader follows its stream to the end: container
// durations are estimates (padding, preroll) and would pad or cut.
int64_t ClipLength(const ClipRange& range) { return range.length > 0 ? range.length : -1; }

}  // namespace

int SourceDecoderThreads(int width, int height) {
    constexpr int64_t kSlice = 640 * 360;
    const int64_t pixels = static_cast<int64_t>(std::max(width, 0)) * std::max(height, 0);
    return static_cast<int>(std::clamp<int64_t>((pixels + kSlice - 1) / kSlice + 1, 2, 4));
}

// ---- Both --------------------------------------------------------------------------

TrackReaderBase::TrackReaderBase(const ClipRange& range) : m_range(range), m_packet(MakePacket()) {
    QuietLibraryLogs();
}

void TrackReaderBase::OpenTrack(const SourceOpener& open, AVMediaType type, int decoderThreads,
                                const std::function<int64_t(int64_t)>& unitsIn) {
    m_demux.emplace(open());
    m_stream = m_demux->BestStream(type);
    m_origin = m_demux->Origin();
    const int64_t length = ClipLength(m_range);
    if (length >= 0) m_count = unitsIn(length);
    if (m_stream < 0) {
        // Black pictures or silence, no further than the other stream's data lasts.
        const AVMediaType other = type == AVMEDIA_TYPE_VIDEO ? AVMEDIA_TYPE_AUDIO : AVMEDIA_TYPE_VIDEO;
        m_count = m_count < 0 ? 0 : std::min(m_count, unitsIn(DataAfter(*m_demux, other, m_range.start)));
        m_demux.reset();
        return;
    }
    m_demux->KeepOnly(m_stream);
    if (m_range.start > 0) m_demux->Seek(m_range.start);
    const AVCodecParameters& par = *m_demux->Stream(m_stream)->codecpar;
    m_decoder.emplace(Codec::OpenDecoder(
        par, decoderThreads > 0 || type != AVMEDIA_TYPE_VIDEO ? decoderThreads
                                                              : SourceDecoderThreads(par.width, par.height)));
}

// ---- Video -------------------------------------------------------------------------

VideoTrackReader::VideoTrackReader(const SourceOpener& open, const VideoTarget& target, const ClipRange& range)
    : TrackReaderBase(range), m_target(target) {
    if (target.width <= 0 || target.height <= 0 || target.rate.num <= 0 || target.rate.den <= 0)
        Fail(ErrorKind::Unsupported, "The video output size or frame rate is not valid");
    OpenTrack(open, AVMEDIA_TYPE_VIDEO, target.decoderThreads,
              [&](int64_t length) { return FramesIn(length, target.rate); });
    if (m_stream >= 0) m_current = MakeFrame();
}

VideoTrackReader::~VideoTrackReader() {
    if (m_rgb) m_rgb->Orphan();
    PictureOrigins::Shared().Forget(this);
}

int64_t VideoTrackReader::IndexOf(const AVFrame& frame, int64_t* lastIndex) const {
    const AVStream& st = *m_demux->Stream(m_stream);
    int64_t t = 0;
    if (!ClipTime(frame, st, m_origin, m_range.start, t)) {
        const int64_t i = m_queue.empty() ? m_lastIndex + 1 : m_queue.back().index + 1;
        *lastIndex = i;
        return i;
    }
    const AVRational unit = av_inv_q(m_target.rate);
    const int64_t index = av_rescale_q_rnd(t, AV_TIME_BASE_Q, unit, AV_ROUND_NEAR_INF);
    if (m_count >= 0 && index > m_count) {
        // A time past the end of the stream is damage, not a gap to fill
        // with the last picture: the picture follows the one before it.
        const int64_t i = m_queue.empty() ? m_lastIndex + 1 : m_queue.back().index + 1;
        *lastIndex = i;
        return i;
    }
    // The last output frame this picture covers, for a source followed to its end.
    int64_t span = frame.pkt_duration > 0 ? av_rescale_q(frame.pkt_duration, st.time_base, AV_TIME_BASE_Q) : 0;
    if (span <= 0 && st.avg_frame_rate.num > 0) span = av_rescale_q(1, av_inv_q(st.avg_frame_rate), AV_TIME_BASE_Q);
    *lastIndex = std::max(index, av_rescale_q_rnd(t + span, AV_TIME_BASE_Q, unit, AV_ROUND_NEAR_INF) - 1);
    return index;
}

bool VideoTrackReader::Jumped(size_t k) const {
    const int64_t before = k == 0 ? m_lastIndex : m_queue[k - 1].index;
    return m_queue[k].index - before > kSuspectGap * m_target.rate.num / m_target.rate.den;
}

void VideoTrackReader::SettleJumps() {
    for (size_t k = 0; k < m_queue.size(); ++k) {
        if (!Jumped(k)) continue;
        const bool last = k + 1 == m_queue.size();
        if (last && !m_sourceDone) return;  // the next picture decides
        // A picture far ahead of the one before it, followed by one that
        // goes back (or by nothing): a damaged time stamp, not a gap to
        // fill with the last picture. A real gap goes on from where it lands.
        if (last || m_queue[k + 1].index < m_queue[k].index) {
            m_queue[k].index = (k == 0 ? m_lastIndex : m_queue[k - 1].index) + 1;
            m_queue[k].lastIndex = m_queue[k].index;
        }
    }
}

void VideoTrackReader::FillUpTo(int64_t index) {
    while (!m_sourceDone && (m_queue.empty() || m_queue.back().index <= index || Jumped(m_queue.size() - 1))) {
        const bool got = m_demux->Read(m_packet.get());
        auto sink = [&](AVFrame* f) {
            Queued q{MakeFrame(), 0, 0};
            q.index = IndexOf(*f, &q.lastIndex);
            av_frame_move_ref(q.frame.get(), f);
            m_queue.push_back(std::move(q));
        };
        if (got) {
            m_decoder->Decode(m_packet.get(), sink);
            av_packet_unref(m_packet.get());
        } else {
            m_decoder->Decode(nullptr, sink);
            m_sourceDone = true;
        }
        SettleJumps();
    }
}

void VideoTrackReader::Convert(const AVFrame& frame) {
    // The scaler writes whole vector blocks per row, past the end of a row
    // a few pixels wide: it gets a picture with FFmpeg's own padding, and
    // only the pixels are copied into the caller's exact-size buffer.
    // A picture still referenced by a caller is left alone.
    m_scaled = FreePicture(m_pictures, AV_PIX_FMT_BGRA, m_target.width, m_target.height);
    m_scaler.Scale(frame, *m_scaled);
    m_planesKey.reset();
    if (!m_planes) m_planes = MakeFrame();
    av_frame_unref(m_planes.get());
    const AVFrame* planes = m_scaler.ResizedPlanes();
    if (!planes && frame.width == m_target.width && frame.height == m_target.height) planes = &frame;
    if (planes && IsPlanarYuv(static_cast<AVPixelFormat>(planes->format)) && planes->buf[0])
        Check(av_frame_ref(m_planes.get(), planes), "Allocating a picture");
}

void VideoTrackReader::RememberPlanes(const AVFrame* picture) {
    PictureOrigins& origins = PictureOrigins::Shared();
    if (picture) {
        if (!m_planes || !m_planes->buf[0]) return;
        if (!m_planesKey) {
            // The rows as CopyBottomUp stores them: the same content, so the same key.
            const PictureKey key{HashRows(picture->data[0], picture->linesize[0],
                                          static_cast<size_t>(picture->width) * 4, picture->height),
                                 picture->width, picture->height, AV_PIX_FMT_BGRA};
            m_planesKey = key;
        }
        origins.Remember(*m_planesKey, *m_planes, this);
        return;
    }
    // Black, as the source fills it (all bytes zero): the planes the
    // encoders' conversion makes of it.
    if (!m_black) {
        FramePtr black = MakePicture(AV_PIX_FMT_YUV420P, m_target.width, m_target.height);
        const uint8_t fill[3] = {16, 128, 128};
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane ? (black->height + 1) / 2 : black->height;
            std::memset(black->data[plane], fill[plane], static_cast<size_t>(black->linesize[plane]) * rows);
        }
        const std::vector<uint8_t> row(static_cast<size_t>(m_target.width) * 4, 0);
        m_blackKey = PictureKey{HashRows(row.data(), 0, row.size(), m_target.height), m_target.width,
                                m_target.height, AV_PIX_FMT_BGRA};
        m_black = std::move(black);
    }
    origins.Remember(m_blackKey, *m_black, this);
}

void CopyBottomUp(const AVFrame& picture, uint8_t* dst) {
    // Bottom-up rows: the top row goes last.
    const size_t stride = static_cast<size_t>(picture.width) * 4;
    for (int y = 0; y < picture.height; ++y)
        std::memcpy(dst + static_cast<size_t>(picture.height - 1 - y) * stride,
                    picture.data[0] + static_cast<size_t>(y) * picture.linesize[0], stride);
}

void RgbFromPlanes::Write(const AVFrame& planes, uint8_t* dst) {
    std::lock_guard<std::mutex> lock(m_lock);
    // As the reader converts: into a padded picture, then its pixels out.
    AVFrame* picture = FreePicture(m_pictures, AV_PIX_FMT_BGRA, planes.width, planes.height);
    m_scaler.Scale(planes, *picture);
    CopyBottomUp(*picture, dst);
    if (!m_owner) return;
    const PictureKey key{HashRows(picture->data[0], picture->linesize[0], static_cast<size_t>(picture->width) * 4,
                                  picture->height),
                         picture->width, picture->height, AV_PIX_FMT_BGRA};
    PictureOrigins::Shared().Remember(key, planes, m_owner);
}

void RgbFromPlanes::Orphan() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_owner = nullptr;
}

bool VideoTrackReader::ConvertsStraight(const AVFrame& frame) const {
    return frame.width == m_target.width && frame.height == m_target.height &&
           IsPlanarYuv(static_cast<AVPixelFormat>(frame.format)) && frame.buf[0];
}

bool VideoTrackReader::Advance(bool convert, const AVFrame** picture, const AVFrame** planes) {
    if (m_count >= 0 && m_next >= m_count) return false;
    if (m_stream < 0) {
        if (convert) *picture = nullptr;
        ++m_next;
        return true;
    }
    FillUpTo(m_next);
    // The latest frame at or before this index wins; earlier ones are dropped.
    while (!m_queue.empty() && m_queue.front().index <= m_next) {
        av_frame_unref(m_current.get());
        av_frame_move_ref(m_current.get(), m_queue.front().frame.get());
        m_lastIndex = m_queue.front().index;
        m_coveredUpTo = m_queue.front().lastIndex;
        m_queue.pop_front();
        m_haveCurrent = true;
        m_currentConverted = false;
    }
    // The clip ends where the stream's data ends, whatever length the range
    // (taken from the headers) claims: a lying header must not make the
    // last picture repeat for ever.
    if (m_sourceDone && m_queue.empty() && (!m_haveCurrent || m_next > m_coveredUpTo)) return false;
    const AVFrame* shown = m_haveCurrent ? m_current.get() : m_queue.empty() ? nullptr : m_queue.front().frame.get();
    if (!convert) {
        // Skipped: converted only when a later frame shows it.
    } else if (planes && shown && ConvertsStraight(*shown)) {
        *planes = shown;
        *picture = nullptr;
    } else if (m_haveCurrent) {
        if (!m_currentConverted) {
            Convert(*m_current);
            m_currentConverted = true;
        }
        *picture = m_scaled;
    } else if (!m_queue.empty()) {
        // Video that starts late: its first picture stands in until then.
        Convert(*m_queue.front().frame);
        *picture = m_scaled;
    } else {
        *picture = nullptr;
    }
    ++m_next;
    return true;
}

bool VideoTrackReader::Next(uint8_t* dst) {
    const AVFrame* picture = nullptr;
    if (!Advance(dst != nullptr, &picture)) return false;
    if (dst && picture) CopyBottomUp(*picture, dst);
    else if (dst) std::memset(dst, 0, FrameBytes());
    return true;
}

bool VideoTrackReader::Next(AVFrame* picture) {
    av_frame_unref(picture);
    const AVFrame* converted = nullptr;
    if (!Advance(true, &converted)) return false;
    if (converted) Check(av_frame_ref(picture, converted), "Allocating a picture");
    RememberPlanes(converted);
    return true;
}

bool VideoTrackReader::Next(AVFrame* picture, PlanarPicture* planar) {
    av_frame_unref(picture);
    planar->planes.reset();
    const AVFrame* converted = nullptr;
    const AVFrame* planes = nullptr;
    if (!Advance(true, &converted, &planes)) return false;
    if (planes) {
        planar->planes = PixelsOf(*planes);
        if (!planar->planes) Fail(ErrorKind::NoMemory, "Out of memory");
        if (!m_rgb) m_rgb = std::make_shared<RgbFromPlanes>(this);
        planar->rgb = m_rgb;
        return true;
    }
    if (converted) Check(av_frame_ref(picture, converted), "Allocating a picture");
    RememberPlanes(converted);
    return true;
}

// ---- Audio -------------------------------------------------------------------------

AudioTrackReader::AudioTrackReader(const SourceOpener& open, const AudioTarget& target, const ClipRange& range)
    : TrackReaderBase(range), m_target(target) {
    if (target.sampleRate <= 0 || target.channels <= 0 || target.channels > 8)
        Fail(ErrorKind::Unsupported, "The audio output format is not valid");
    OpenTrack(open, AVMEDIA_TYPE_AUDIO, 1, [&](int64_t length) { return SamplesIn(length, target.sampleRate); });
    if (m_stream < 0) return;
    m_fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_S16, target.channels, 4096));
    if (!m_fifo) Fail(ErrorKind::NoMemory, "Out of memory");
}

AudioTrackReader::~AudioTrackReader() { av_channel_layout_uninit(&m_swrInLayout); }

void AudioTrackReader::PushSilence(int64_t frames) {
    std::vector<int16_t> zeros(static_cast<size_t>(std::min<int64_t>(frames, 4096)) * m_target.channels);
    while (frames > 0) {
        const int n = static_cast<int>(std::min<int64_t>(frames, 4096));
        void* data = zeros.data();
        av_audio_fifo_write(m_fifo.get(), &data, n);
        frames -= n;
    }
}

void AudioTrackReader::Write(const int16_t* samples, int frames) {
    if (m_toDrop > 0) {
        const int skip = static_cast<int>(std::min<int64_t>(m_toDrop, frames));
        m_toDrop -= skip;
        samples += static_cast<size_t>(skip) * m_target.channels;
        frames -= skip;
    }
    if (frames <= 0) return;
    void* data = const_cast<int16_t*>(samples);
    if (av_audio_fifo_write(m_fifo.get(), &data, frames) < frames) Fail(ErrorKind::NoMemory, "Out of memory");
}

void AudioTrackReader::Push(const AVFrame* frame) {
    if (frame && !m_started) {
        m_started = true;
        int64_t t = 0;
        if (ClipTime(*frame, *m_demux->Stream(m_stream), m_origin, m_range.start, t)) {
            int64_t offset = av_rescale_rnd(t, m_target.sampleRate, AV_TIME_BASE, AV_ROUND_NEAR_INF);
            // A start past the end of the clip, or far out when the length
            // is open, is a damaged time stamp: no silence for it.
            const int64_t most = m_count >= 0 ? m_count : int64_t{kMaxLateStart} * m_target.sampleRate;
            if (offset > most) offset = 0;
            if (offset > 0) PushSilence(offset);
            else m_toDrop = -offset;
        }
    }
    if (frame) {
        AVChannelLayout in{};
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC || frame->ch_layout.nb_channels == 0)
            av_channel_layout_default(&in, std::max(1, frame->ch_layout.nb_channels));
        else
            av_channel_layout_copy(&in, &frame->ch_layout);
        if (!m_swr || m_swrInRate != frame->sample_rate || m_swrInFormat != frame->format ||
            av_channel_layout_compare(&in, &m_swrInLayout) != 0) {
            // A format change mid-stream starts a new resampler; what the old one held is dropped.
            AVChannelLayout out{};
            av_channel_layout_default(&out, m_target.channels);
            SwrContext* swr = nullptr;
            Check(swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_S16, m_target.sampleRate, &in,
                                      static_cast<AVSampleFormat>(frame->format), frame->sample_rate, 0, nullptr),
                  "Preparing the audio conversion");
            m_swr.reset(swr);
            av_channel_layout_uninit(&out);
            Check(swr_init(m_swr.get()), "Preparing the audio conversion");
            av_channel_layout_uninit(&m_swrInLayout);
            av_channel_layout_copy(&m_swrInLayout, &in);
            m_swrInRate = frame->sample_rate;
            m_swrInFormat = frame->format;
        }
        av_channel_layout_uninit(&in);
    }
    if (!m_swr) return;
    const int room = swr_get_out_samples(m_swr.get(), frame ? frame->nb_samples : 0);
    if (room <= 0) return;
    m_convert.resize(static_cast<size_t>(room) * m_target.channels);
    uint8_t* out = reinterpret_cast<uint8_t*>(m_convert.data());
    const int got = Check(swr_convert(m_swr.get(), &out, room, frame ? const_cast<const uint8_t**>(frame->extended_data) : nullptr,
                                      frame ? frame->nb_samples : 0),
                          "Converting the audio");
    Write(m_convert.data(), got);
}

bool AudioTrackReader::Refill() {
    if (m_sourceDone) return false;
    auto sink = [&](AVFrame* f) { Push(f); };
    if (m_demux->Read(m_packet.get())) {
        m_decoder->Decode(m_packet.get(), sink);
        av_packet_unref(m_packet.get());
    } else {
        m_decoder->Decode(nullptr, sink);
        Push(nullptr);  // what the resampler still holds
        m_sourceDone = true;
    }
    return true;
}

int AudioTrackReader::Read(int16_t* dst, int maxFrames) {
    int64_t want = maxFrames;
    if (m_count >= 0) want = std::min<int64_t>(want, m_count - m_delivered);
    if (want <= 0) return 0;
    int n = 0;
    if (m_stream >= 0) {
        while (av_audio_fifo_size(m_fifo.get()) < want && Refill()) {}
        n = std::min<int>(static_cast<int>(want), av_audio_fifo_size(m_fifo.get()));
        void* data = dst;
        if (n > 0) av_audio_fifo_read(m_fifo.get(), &data, n);
    }
    if (n < want && m_count >= 0 && m_stream < 0) {
        // Silence where the source has no sound; a stream that ends early
        // ends the clip (see VideoTrackReader::Next).
        std::memset(dst + static_cast<size_t>(n) * m_target.channels, 0,
                    static_cast<size_t>(want - n) * m_target.BytesPerFrame());
        n = static_cast<int>(want);
    }
    m_delivered += n;
    return n;
}

}  // namespace media

namespace media {

AVRational RateOfFps(double fps) {
    if (!(fps > 0)) return AVRational{0, 1};
    const double whole = std::round(fps);
    if (std::abs(fps - whole) < 1e-4) return AVRational{static_cast<int>(whole), 1};
    const double ntsc = std::round(fps * 1001.0 / 1000.0);
    if (std::abs(fps - ntsc * 1000.0 / 1001.0) < 5e-3) return AVRational{static_cast<int>(ntsc) * 1000, 1001};
    return av_d2q(fps, 1001000);
}

}  // namespace media

namespace media {

AVRational RateOfFrameDuration(int64_t units) {
    if (units <= 0) return AVRational{25, 1};
    constexpr int64_t kSecond = 10000000;
    for (int n = 1; n <= 240; ++n)
        if (std::llabs(av_rescale_rnd(kSecond, 1, n, AV_ROUND_NEAR_INF) - units) <= 1) return AVRational{n, 1};
    for (int k : {24, 30, 48, 60, 120})
        if (std::llabs(av_rescale_rnd(kSecond, 1001, k * 1000, AV_ROUND_NEAR_INF) - units) <= 1)
            return AVRational{k * 1000, 1001};
    AVRational r{0, 1};
    av_reduce(&r.num, &r.den, kSecond, units, INT32_MAX);
    return r;
}

}  // namespace media
