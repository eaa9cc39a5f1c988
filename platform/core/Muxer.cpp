#include "platform/core/Muxer.h"

#include <cstring>

#include "platform/core/MediaError.h"

namespace media {

AVCodecID CodecOfFourcc(uint32_t fourcc) {
    const AVCodecTag* const tables[] = {avformat_get_riff_video_tags(), nullptr};
    return av_codec_get_id(tables, fourcc);
}

AVCodecID CodecOfWaveTag(uint32_t tag) {
    const AVCodecTag* const tables[] = {avformat_get_riff_audio_tags(), nullptr};
    return av_codec_get_id(tables, tag);
}

Muxer::Muxer(const std::string& format, ByteSink& sink, bool interleave)
    : m_sink(sink), m_packet(MakePacket()), m_interleave(interleave) {
    QuietLibraryLogs();
    AVFormatContext* fmt = nullptr;
    Check(avformat_alloc_output_context2(&fmt, nullptr, format.c_str(), nullptr), "Preparing the output format");
    m_fmt.reset(fmt);
    m_io = MakeWriteContext(m_sink);
    fmt->pb = m_io.get();
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
}

Muxer::~Muxer() = default;

int Muxer::AddStream(const MuxStreamDesc& d) {
    if (m_begun) Fail(ErrorKind::Internal, "Streams are added before the output begins");
    AVStream* st = avformat_new_stream(m_fmt.get(), nullptr);
    if (!st) Fail(ErrorKind::NoMemory, "Out of memory");
    AVCodecParameters* par = st->codecpar;
    par->codec_type = d.type;
    par->codec_id = d.codec;
    par->codec_tag = d.tag;
    par->bit_rate = d.bitRate;
    if (d.type == AVMEDIA_TYPE_VIDEO) {
        par->width = d.width;
        par->height = d.height;
        par->bits_per_coded_sample = d.bitsPerSample;
        st->avg_frame_rate = d.frameRate;
        st->time_base = av_inv_q(d.frameRate);
        m_units.push_back(st->time_base);
    m_lastDts.push_back(AV_NOPTS_VALUE);
    } else {
        par->sample_rate = d.sampleRate;
        av_channel_layout_default(&par->ch_layout, d.channels);
        par->block_align = d.blockAlign;
        par->frame_size = d.frameSize;
        par->bits_per_coded_sample = d.bitsPerSample;
        st->time_base = AVRational{1, d.sampleRate};
        m_units.push_back(st->time_base);
    m_lastDts.push_back(AV_NOPTS_VALUE);
    }
    if (!d.extradata.empty()) {
        par->extradata = static_cast<uint8_t*>(av_mallocz(d.extradata.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) Fail(ErrorKind::NoMemory, "Out of memory");
        std::memcpy(par->extradata, d.extradata.data(), d.extradata.size());
        par->extradata_size = static_cast<int>(d.extradata.size());
    }
    return st->index;
}

int Muxer::AddStream(const AVCodecContext& enc) {
    if (m_begun) Fail(ErrorKind::Internal, "Streams are added before the output begins");
    AVStream* st = avformat_new_stream(m_fmt.get(), nullptr);
    if (!st) Fail(ErrorKind::NoMemory, "Out of memory");
    Check(avcodec_parameters_from_context(st->codecpar, &enc), "Describing the stream");
    // The buffer size the encoder keeps to, which MPEG system headers declare.
    for (int i = 0; i < enc.nb_coded_side_data; ++i) {
        const AVPacketSideData& sd = enc.coded_side_data[i];
        uint8_t* copy = av_stream_new_side_data(st, sd.type, sd.size);
        if (!copy) Fail(ErrorKind::NoMemory, "Out of memory");
        std::memcpy(copy, sd.data, sd.size);
    }
    if (enc.codec_type == AVMEDIA_TYPE_VIDEO) {
        st->avg_frame_rate = enc.framerate;
        st->time_base = av_inv_q(enc.framerate);
    } else {
        st->time_base = AVRational{1, enc.sample_rate};
    }
    m_units.push_back(st->time_base);
    m_lastDts.push_back(AV_NOPTS_VALUE);
    return st->index;
}

void Muxer::Begin(const MuxOptions& options) {
    if (m_begun) return;
    AVDictionary* dict = nullptr;
    for (const auto& [key, value] : options) av_dict_set(&dict, key.c_str(), value.c_str(), 0);
    const int r = avformat_write_header(m_fmt.get(), &dict);
    const bool unused = av_dict_count(dict) > 0;
    av_dict_free(&dict);
    Check(r, "Writing the file header");
    if (unused) Fail(ErrorKind::Unsupported, "The output format does not take all of its options");
    m_begun = true;
}

void Muxer::Write(int stream, const uint8_t* data, int size, int64_t pts, int64_t dts, int64_t duration, bool key) {
    if (!m_begun || m_finished || stream < 0 || stream >= static_cast<int>(m_units.size())) return;
    AVPacket* p = m_packet.get();
    Check(av_new_packet(p, size), "Allocating a packet");
    if (size > 0) std::memcpy(p->data, data, static_cast<size_t>(size));
    const AVRational tb = m_fmt->streams[stream]->time_base;
    p->stream_index = stream;
    p->pts = av_rescale_q(pts, m_units[stream], tb);
    p->dts = av_rescale_q(dts, m_units[stream], tb);
    p->duration = av_rescale_q(duration, m_units[stream], tb);
    // Times that rounding into the muxer's time base made equal to the
    // last packet's would be refused: move them one unit on.
    int64_t& last = m_lastDts[static_cast<size_t>(stream)];
    if (last != AV_NOPTS_VALUE && p->dts <= last) {
        p->dts = last + 1;
        if (p->pts < p->dts) p->pts = p->dts;
    }
    last = p->dts;
    if (key) p->flags |= AV_PKT_FLAG_KEY;
    const int r = m_interleave ? av_interleaved_write_frame(m_fmt.get(), p) : av_write_frame(m_fmt.get(), p);
    av_packet_unref(p);
    Check(r, "Writing to the output file");
}

void Muxer::Finish() {
    if (!m_begun || m_finished) return;
    m_finished = true;
    Check(av_write_trailer(m_fmt.get()), "Finishing the output file");
    avio_flush(m_io.get());
}

}  // namespace media
