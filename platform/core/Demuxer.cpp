#include "platform/core/Demuxer.h"

#include "platform/core/MediaError.h"

namespace media {

namespace {

// Ends the data at a long run of zero bytes: a file preallocated or sparse
// beyond its real content (a download cut short, a damaged copy) would
// otherwise be scanned to its end, byte by byte, for a start code that is
// not there. No media format writes this many zeros in a row: even an
// uncompressed black picture sits between chunk headers.
class ZeroRunGuard final : public ByteSource {
public:
    static constexpr int64_t kMaxZeroRun = 32ll << 20;

    explicit ZeroRunGuard(ByteSource& inner) : m_inner(inner) {}

    int Read(uint8_t* buf, int size) override {
        if (m_run >= kMaxZeroRun) return 0;
        const int n = m_inner.Read(buf, size);
        // Only the zeros at the end of what was read continue the run.
        int last = n - 1;
        while (last >= 0 && buf[last] == 0) --last;
        m_run = last < 0 ? m_run + n : n - 1 - last;
        return n;
    }
    int64_t Seek(int64_t offset, int whence) override {
        m_run = 0;
        return m_inner.Seek(offset, whence);
    }
    int64_t Size() override { return m_inner.Size(); }

private:
    ByteSource& m_inner;
    int64_t m_run = 0;
};

}  // namespace

Demuxer::Demuxer(std::unique_ptr<ByteSource> source)
    : m_source(std::move(source)), m_guard(std::make_unique<ZeroRunGuard>(*m_source)) {
    if (m_source->Size() == 0) throw MediaError(ErrorKind::NotMedia, "The file is empty");
    m_io = MakeReadContext(*m_guard);
    AVFormatContext* fmt = avformat_alloc_context();
    if (!fmt) throw MediaError(ErrorKind::NoMemory, "Out of memory");
    fmt->pb = m_io.get();
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    // avformat_open_input frees the context itself when it fails.
    const int r = avformat_open_input(&fmt, nullptr, nullptr, nullptr);
    if (r < 0) {
        if (r == AVERROR_INVALIDDATA || r == AVERROR_EOF)
            throw MediaError(ErrorKind::NotMedia, "The file is not a media file this system can read", r);
        Check(r, "Opening the media file");
    }
    m_fmt.reset(fmt);
    Check(avformat_find_stream_info(fmt, nullptr), "Reading the media file's streams");
    if (BestStream(AVMEDIA_TYPE_VIDEO) < 0 && BestStream(AVMEDIA_TYPE_AUDIO) < 0)
        throw MediaError(ErrorKind::NotMedia, "The file holds neither video nor audio");
}

int Demuxer::BestStream(AVMediaType type) const {
    // Only a stream that can be decoded: damage can make up streams of no
    // known format, which would otherwise win over the real one.
    const AVCodec* decoder = nullptr;
    const int r = av_find_best_stream(m_fmt.get(), type, -1, -1, &decoder, 0);
    if (r < 0) return -1;
    // Cover art is a picture, not a video stream.
    if (m_fmt->streams[r]->disposition & AV_DISPOSITION_ATTACHED_PIC) return -1;
    return r;
}

int64_t Demuxer::Origin() const { return m_fmt->start_time == AV_NOPTS_VALUE ? 0 : m_fmt->start_time; }

int64_t Demuxer::Duration() const { return m_fmt->duration == AV_NOPTS_VALUE ? -1 : m_fmt->duration; }

int64_t Demuxer::BitRate() const { return m_fmt->bit_rate > 0 ? m_fmt->bit_rate : 0; }

int64_t Demuxer::DataLength(int stream) {
    if (stream < 0 || stream >= StreamCount()) return 0;
    KeepOnly(stream);
    const AVRational base = m_fmt->streams[stream]->time_base;
    PacketPtr packet = MakePacket();
    int64_t sum = 0, first = AV_NOPTS_VALUE, last = AV_NOPTS_VALUE;
    while (Read(packet.get())) {
        if (packet->duration > 0) sum += packet->duration;
        if (packet->pts != AV_NOPTS_VALUE) {
            if (first == AV_NOPTS_VALUE || packet->pts < first) first = packet->pts;
            if (last == AV_NOPTS_VALUE || packet->pts > last) last = packet->pts;
        }
        av_packet_unref(packet.get());
    }
    // Packets without durations: the span of their time stamps instead.
    if (sum == 0 && first != AV_NOPTS_VALUE) sum = last - first;
    return av_rescale_q(sum, base, AV_TIME_BASE_Q);
}

void Demuxer::KeepOnly(int stream) {
    m_kept = stream;
    for (unsigned i = 0; i < m_fmt->nb_streams; ++i)
        m_fmt->streams[i]->discard = static_cast<int>(i) == stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
}

bool Demuxer::Read(AVPacket* packet) {
    for (;;) {
        const int r = av_read_frame(m_fmt.get(), packet);
        if (r == AVERROR(EIO) || r == AVERROR(ENOMEM)) Check(r, "Reading the media file");
        // Anything else past the header (damage, truncation) ends the data.
        if (r < 0) return false;
        if (m_kept < 0 || packet->stream_index == m_kept) return true;
        av_packet_unref(packet);
    }
}

void Demuxer::Seek(int64_t time) {
    // A source that cannot seek is read from its start; the readers drop
    // what comes before the wanted time either way.
    avformat_seek_file(m_fmt.get(), -1, INT64_MIN, Origin() + time, Origin() + time, 0);
}

const char* Demuxer::FormatName() const { return m_fmt->iformat && m_fmt->iformat->name ? m_fmt->iformat->name : ""; }

}  // namespace media
