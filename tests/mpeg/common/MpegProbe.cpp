#include "tests/mpeg/common/MpegProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <cstdio>

namespace mpegtest {

namespace {

// The pack header's marker bits tell the two system layers apart.
int SystemVersion(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    unsigned char b[5] = {};
    const size_t n = std::fread(b, 1, sizeof b, f);
    std::fclose(f);
    if (n < 5 || b[0] != 0 || b[1] != 0 || b[2] != 1 || b[3] != 0xBA) return 0;
    if ((b[4] & 0xC0) == 0x40) return 2;
    if ((b[4] & 0xF0) == 0x20) return 1;
    return 0;
}

}  // namespace

ProbedMpeg ProbeMpeg(const std::string& path) {
    ProbedMpeg r;
    av_log_set_level(AV_LOG_ERROR);
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) {
        r.error = "cannot open " + path;
        return r;
    }
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        r.error = "no stream information in " + path;
        avformat_close_input(&fmt);
        return r;
    }
    r.format = fmt->iformat->name;
    r.systemVersion = SystemVersion(path);
    int video = -1, audio = -1;
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVStream* st = fmt->streams[i];
        const AVCodecParameters* par = st->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_VIDEO && video < 0) {
            video = static_cast<int>(i);
            r.hasVideo = true;
            r.videoCodec = avcodec_get_name(par->codec_id);
            r.width = par->width;
            r.height = par->height;
            r.rateNum = st->r_frame_rate.num;
            r.rateDen = st->r_frame_rate.den;
            r.aspectNum = par->sample_aspect_ratio.num;
            r.aspectDen = par->sample_aspect_ratio.den;
            r.profile = par->profile;
            r.level = par->level;
        } else if (par->codec_type == AVMEDIA_TYPE_AUDIO && audio < 0) {
            audio = static_cast<int>(i);
            r.hasAudio = true;
            r.audioCodec = avcodec_get_name(par->codec_id);
            r.sampleRate = par->sample_rate;
            r.channels = par->ch_layout.nb_channels;
            r.audioBitRate = par->bit_rate;
        }
    }
    // Frames are counted after decoding, so that reordered or broken
    // pictures do not count.
    const AVCodec* decoder = video >= 0 ? avcodec_find_decoder(fmt->streams[video]->codecpar->codec_id) : nullptr;
    AVCodecContext* dec = decoder ? avcodec_alloc_context3(decoder) : nullptr;
    if (dec && (avcodec_parameters_to_context(dec, fmt->streams[video]->codecpar) < 0 ||
                avcodec_open2(dec, decoder, nullptr) < 0)) {
        avcodec_free_context(&dec);
    }
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int64_t audioSamples = 0;
    auto drain = [&] {
        while (avcodec_receive_frame(dec, frame) >= 0) {
            ++r.videoFrames;
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index == video && dec) {
            if (avcodec_send_packet(dec, pkt) >= 0) drain();
        } else if (pkt->stream_index == audio) {
            const int samples = av_get_audio_frame_duration2(fmt->streams[audio]->codecpar, pkt->size);
            audioSamples += samples > 0 ? samples : 0;
        }
        av_packet_unref(pkt);
    }
    if (dec) {
        avcodec_send_packet(dec, nullptr);
        drain();
        avcodec_free_context(&dec);
    }
    if (r.sampleRate > 0) r.audioSeconds = static_cast<double>(audioSamples) / r.sampleRate;
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avformat_close_input(&fmt);
    return r;
}

}  // namespace mpegtest
