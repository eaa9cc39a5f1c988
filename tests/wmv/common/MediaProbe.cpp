#include "tests/wmv/common/MediaProbe.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

namespace wmvtest {

const ProbedStream* ProbedFile::Video() const {
    for (const auto& s : streams)
        if (s.video) return &s;
    return nullptr;
}

const ProbedStream* ProbedFile::Audio() const {
    for (const auto& s : streams)
        if (!s.video) return &s;
    return nullptr;
}

namespace {

// The maximum bit rate of an ASF header's file properties object, which
// FFmpeg's demuxer does not report: the object's GUID, size (8), file
// identifier (16), then five 8-byte fields, preroll (8), flags (4) and the
// two packet sizes (4 each) come before it.
int64_t AsfDeclaredBitRate(const std::string& path) {
    static const unsigned char kFileProperties[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                                      0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
    constexpr size_t kOffset = 16 + 8 + 16 + 5 * 8 + 8 + 4 + 4 + 4;
    std::vector<unsigned char> head(64 * 1024);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    head.resize(std::fread(head.data(), 1, head.size(), f));
    std::fclose(f);
    for (size_t i = 0; i + kOffset + 4 <= head.size(); ++i) {
        if (std::memcmp(&head[i], kFileProperties, 16) != 0) continue;
        const unsigned char* p = &head[i + kOffset];
        return static_cast<int64_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    }
    return 0;
}

}  // namespace

ProbedFile ProbeMedia(const std::string& unixPath) {
    ProbedFile file;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, unixPath.c_str(), nullptr, nullptr) < 0) {
        file.error = "cannot open " + unixPath;
        return file;
    }
    if (avformat_find_stream_info(fmt, nullptr) < 0) {
        file.error = "no stream information in " + unixPath;
        avformat_close_input(&fmt);
        return file;
    }
    file.format = fmt->iformat->name;
    if (file.format == "asf") file.declaredBitRate = AsfDeclaredBitRate(unixPath);
    file.seconds = fmt->duration > 0 ? fmt->duration / static_cast<double>(AV_TIME_BASE) : 0;

    std::vector<int64_t> first(fmt->nb_streams, std::numeric_limits<int64_t>::max());
    std::vector<int64_t> last(fmt->nb_streams, std::numeric_limits<int64_t>::min());
    for (unsigned i = 0; i < fmt->nb_streams; ++i) {
        const AVCodecParameters* par = fmt->streams[i]->codecpar;
        ProbedStream s;
        s.video = par->codec_type == AVMEDIA_TYPE_VIDEO;
        s.codec = avcodec_get_name(par->codec_id);
        s.declaredBitRate = par->bit_rate;
        s.width = par->width;
        s.height = par->height;
        s.sampleRate = par->sample_rate;
        s.channels = par->ch_layout.nb_channels;
        file.streams.push_back(s);
    }
    AVPacket* pkt = av_packet_alloc();
    while (av_read_frame(fmt, pkt) >= 0) {
        const unsigned i = static_cast<unsigned>(pkt->stream_index);
        if (i < file.streams.size()) {
            file.streams[i].packets++;
            file.streams[i].bytes += pkt->size;
            if (pkt->pts != AV_NOPTS_VALUE) {
                first[i] = std::min(first[i], pkt->pts);
                last[i] = std::max(last[i], pkt->pts + std::max<int64_t>(pkt->duration, 0));
            }
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
    for (unsigned i = 0; i < fmt->nb_streams; ++i)
        if (last[i] > first[i]) file.streams[i].seconds = (last[i] - first[i]) * av_q2d(fmt->streams[i]->time_base);
    avformat_close_input(&fmt);
    return file;
}

}  // namespace wmvtest
