#include "tests/realclips/FfProbe.h"

#include <cmath>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswscale/swscale.h>
}

namespace ffprobe {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* f) const { avformat_close_input(&f); }
};
struct CodecCloser {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

Input Open(const std::string& path, std::string* error) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        *error = "cannot open " + path;
        return nullptr;
    }
    Input in(fmt);
    if (avformat_find_stream_info(fmt, nullptr) < 0) *error = "no stream information in " + path;
    return in;
}

}  // namespace

const Stream* File::Video() const {
    for (const Stream& s : streams)
        if (s.video) return &s;
    return nullptr;
}

const Stream* File::Audio() const {
    for (const Stream& s : streams)
        if (s.audio) return &s;
    return nullptr;
}

File Probe(const std::string& path) {
    File f;
    av_log_set_level(AV_LOG_QUIET);
    Input in = Open(path, &f.error);
    if (!in) return f;
    f.format = in->iformat->name;
    f.seconds = in->duration > 0 ? in->duration / static_cast<double>(AV_TIME_BASE) : 0;
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVStream* st = in->streams[i];
        Stream s;
        s.video = st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
        s.audio = st->codecpar->codec_type == AVMEDIA_TYPE_AUDIO;
        s.codec = avcodec_get_name(st->codecpar->codec_id);
        s.width = st->codecpar->width;
        s.height = st->codecpar->height;
        s.headerFrames = st->nb_frames;
        if (st->duration > 0) s.headerSeconds = st->duration * av_q2d(st->time_base);
        f.streams.push_back(s);
    }
    std::unique_ptr<AVPacket, PacketFree> p(av_packet_alloc());
    while (av_read_frame(in.get(), p.get()) >= 0) {
        if (p->stream_index >= 0 && p->stream_index < static_cast<int>(f.streams.size())) {
            Stream& s = f.streams[static_cast<size_t>(p->stream_index)];
            ++s.packets;
            const AVRational tb = in->streams[p->stream_index]->time_base;
            const int64_t at = p->pts != AV_NOPTS_VALUE ? p->pts : p->dts;
            if (at != AV_NOPTS_VALUE) s.endSeconds = std::max(s.endSeconds, (at + p->duration) * av_q2d(tb));
        }
        av_packet_unref(p.get());
    }
    return f;
}

std::vector<uint8_t> VideoFrameRgb(const std::string& path, int n, int* width, int* height) {
    std::string error;
    Input in = Open(path, &error);
    if (!in) return {};
    const int index = av_find_best_stream(in.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) return {};
    const AVCodecParameters* par = in->streams[index]->codecpar;
    const AVCodec* codec = avcodec_find_decoder(par->codec_id);
    if (!codec) return {};
    std::unique_ptr<AVCodecContext, CodecCloser> dec(avcodec_alloc_context3(codec));
    if (avcodec_parameters_to_context(dec.get(), par) < 0 || avcodec_open2(dec.get(), codec, nullptr) < 0) return {};
    std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFree> p(av_packet_alloc());
    int seen = 0;
    bool got = false;
    auto drain = [&] {
        while (!got && avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            if (seen++ == n) got = true;
            else av_frame_unref(frame.get());
        }
    };
    while (!got && av_read_frame(in.get(), p.get()) >= 0) {
        if (p->stream_index == index) avcodec_send_packet(dec.get(), p.get());
        av_packet_unref(p.get());
        drain();
    }
    if (!got) {
        avcodec_send_packet(dec.get(), nullptr);
        drain();
    }
    if (!got) return {};
    *width = frame->width;
    *height = frame->height;
    std::vector<uint8_t> rgb(static_cast<size_t>(frame->width) * frame->height * 3);
    SwsContext* sws = sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
                                     frame->width, frame->height, AV_PIX_FMT_RGB24, SWS_POINT, nullptr, nullptr,
                                     nullptr);
    if (!sws) return {};
    uint8_t* dst[4] = {rgb.data(), nullptr, nullptr, nullptr};
    int dstStride[4] = {frame->width * 3, 0, 0, 0};
    sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, dstStride);
    sws_freeContext(sws);
    return rgb;
}

double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    if (a.empty() || a.size() != b.size()) return 0;
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const double d = static_cast<double>(a[i]) - b[i];
        sum += d * d;
    }
    const double mse = sum / static_cast<double>(a.size());
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace ffprobe
