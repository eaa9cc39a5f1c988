#include "tools/clipgen/ClipWriter.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/core/ByteIo.h"
#include "platform/core/Encoder.h"
#include "platform/core/MediaError.h"
#include "platform/core/Muxer.h"

namespace clipgen {

namespace {

struct ContainerDefaults {
    const char* name;
    const char* muxer;
    const char* video;
    const char* audio;
    int64_t videoBitRate;
};

const ContainerDefaults kContainers[] = {
    {"avi", "avi", "mpeg4", "pcm_s16le", 800000},
    {"mpg", "mpeg", "mpeg1video", "mp2", 1000000},
    {"mpeg2", "vob", "mpeg2video", "mp2", 2000000},
    {"wmv", "asf", "wmv2", "wmav2", 800000},
};

}  // namespace

void DrawPattern(unsigned char* bgra, int width, int height, long long n) {
    for (int y = 0; y < height; ++y) {
        unsigned char* row = bgra + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x) {
            // Diagonal bands that move four pixels a frame, over a gradient.
            const bool band = ((x + y + 4 * n) / 16) % 2 == 0;
            row[4 * x + 0] = static_cast<unsigned char>(band ? 220 : (x * 255) / std::max(1, width));
            row[4 * x + 1] = static_cast<unsigned char>(band ? 40 : (y * 255) / std::max(1, height));
            row[4 * x + 2] = static_cast<unsigned char>(band ? 60 : 128);
            row[4 * x + 3] = 255;
        }
    }
}

void WriteClip(const std::string& path, const ClipSpec& desc) {
    const ContainerDefaults* c = nullptr;
    for (const auto& d : kContainers)
        if (desc.container == d.name) c = &d;
    if (!c) media::Fail(media::ErrorKind::Unsupported, "Unknown clip container " + desc.container);

    auto sink = media::CreateFileSink(path);
    media::Muxer mux(c->muxer, *sink);

    std::optional<media::VideoEncoder> venc;
    std::optional<media::AudioEncoder> aenc;
    int vstream = -1, astream = -1;
    if (desc.video) {
        media::VideoEncodeSettings v;
        v.encoder = desc.videoEncoder.empty() ? c->video : desc.videoEncoder;
        v.width = desc.width;
        v.height = desc.height;
        v.rate = desc.rate;
        v.bitRate = c->videoBitRate;
        v.keyInterval = 12;
        v.threads = 1;
        venc.emplace(v);
        vstream = mux.AddStream(*venc->Context());
    }
    if (desc.audio) {
        media::AudioEncodeSettings a;
        a.encoder = desc.audioEncoder.empty() ? c->audio : desc.audioEncoder;
        a.inputRate = desc.sampleRate;
        a.inputChannels = desc.channels;
        a.bitRate = 128000;
        aenc.emplace(a);
        astream = mux.AddStream(*aenc->Context());
    }
    mux.Begin();

    auto writeVideo = [&](const media::EncodedPacket& p) {
        mux.Write(vstream, p.data, p.size, p.pts, p.duration, p.key);
    };
    auto writeAudio = [&](const media::EncodedPacket& p) {
        mux.Write(astream, p.data, p.size, p.pts, p.duration, p.key);
    };

    const long long frames = std::llround(desc.seconds * av_q2d(desc.rate));
    const long long samples = std::llround(desc.seconds * desc.sampleRate);
    std::vector<unsigned char> picture(static_cast<size_t>(desc.width) * desc.height * 4);
    std::vector<int16_t> pcm;
    long long sampleDone = 0;
    // Video and audio advance together, so the file is interleaved.
    for (long long n = 0; n < frames || sampleDone < samples; ++n) {
        if (venc && n < frames) {
            DrawPattern(picture.data(), desc.width, desc.height, n);
            venc->Encode(picture.data(), AV_PIX_FMT_BGRA, desc.width * 4, false, n, writeVideo);
        }
        const long long until = desc.video ? std::min(samples, std::llround((n + 1) / av_q2d(desc.rate) * desc.sampleRate))
                                           : std::min(samples, sampleDone + 4096);
        if (aenc && until > sampleDone) {
            const int count = static_cast<int>(until - sampleDone);
            pcm.resize(static_cast<size_t>(count) * desc.channels);
            for (int i = 0; i < count; ++i) {
                const double t = static_cast<double>(sampleDone + i) / desc.sampleRate;
                const auto v = static_cast<int16_t>(std::lround(9000.0 * std::sin(2 * M_PI * 440.0 * t)));
                for (int ch = 0; ch < desc.channels; ++ch) pcm[static_cast<size_t>(i) * desc.channels + ch] = v;
            }
            aenc->Encode(pcm.data(), count, writeAudio);
        }
        sampleDone = std::max(sampleDone, until);
        if (!aenc) sampleDone = samples;
    }
    if (venc) venc->Finish(writeVideo);
    if (aenc) aenc->Finish(writeAudio);
    mux.Finish();
}

}  // namespace clipgen
