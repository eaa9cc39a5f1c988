#include "tests/platform/native/TestClips.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/core/Demuxer.h"

namespace testclips {

std::string Dir() {
    static const std::string dir = [] {
        std::filesystem::create_directories(CLIP_DIR);
        return std::string(CLIP_DIR);
    }();
    return dir;
}

std::string Clip(const std::string& name, const clipgen::ClipSpec& desc) {
    const std::string path = Dir() + "/" + name;
    // Always written anew: a clip from an older build may differ.
    static std::vector<std::string> written;
    for (const auto& w : written)
        if (w == path) return path;
    // Test programs run side by side: write aside, then rename into place
    // so no reader sees a half-written clip.
    const std::string temp = path + ".part" + std::to_string(getpid());
    clipgen::WriteClip(temp, desc);
    std::filesystem::rename(temp, path);
    written.push_back(path);
    return path;
}

std::string FileWith(const std::string& name, const std::string& bytes) {
    const std::string path = Dir() + "/" + name;
    const std::string temp = path + ".part" + std::to_string(getpid());
    std::ofstream(temp, std::ios::binary | std::ios::trunc) << bytes;
    std::filesystem::rename(temp, path);
    return path;
}

StreamFacts ReadStream(const std::string& path, bool video) {
    StreamFacts f;
    media::Demuxer demux(media::OpenFileSource(path));
    const int s = demux.BestStream(video ? AVMEDIA_TYPE_VIDEO : AVMEDIA_TYPE_AUDIO);
    if (s < 0) return f;
    const AVCodecParameters* par = demux.Stream(s)->codecpar;
    f.present = true;
    f.codec = par->codec_id;
    f.tag = par->codec_tag;
    f.width = par->width;
    f.height = par->height;
    f.sampleRate = par->sample_rate;
    f.channels = par->ch_layout.nb_channels;
    demux.KeepOnly(s);
    media::PacketPtr p = media::MakePacket();
    while (demux.Read(p.get())) {
        // AVI keeps empty chunks for dropped frames; they are frames too.
        ++f.packets;
        av_packet_unref(p.get());
    }
    return f;
}

}  // namespace testclips

#include <algorithm>
#include <vector>

#include "platform/core/Encoder.h"
#include "platform/core/Muxer.h"
#include "platform/core/TrackReader.h"

namespace testclips {

void Transcode(const std::string& src, const std::string& dst, const TranscodeSpec& t) {
    media::VideoTrackReader video(media::FileOpener(src), {t.width, t.height, t.rate}, {0, t.length});
    media::AudioTrackReader audio(media::FileOpener(src), {44100, 2}, {0, t.length});
    auto sink = media::CreateFileSink(dst);
    media::Muxer mux("avi", *sink);
    media::VideoEncodeSettings vs;
    vs.encoder = t.videoEncoder;
    vs.fourcc = t.fourcc;
    vs.pixelFormat = t.pixelFormat;
    vs.width = t.width;
    vs.height = t.height;
    vs.rate = t.rate;
    vs.bitRate = 500000;
    media::VideoEncoder ve(vs);
    media::AudioEncodeSettings as;
    as.encoder = t.audioEncoder;
    media::AudioEncoder ae(as);
    const int vi = mux.AddStream(*ve.Context());
    const int ai = mux.AddStream(*ae.Context());
    mux.Begin();
    auto wv = [&](const media::EncodedPacket& p) { mux.Write(vi, p.data, p.size, p.pts, p.duration, p.key); };
    auto wa = [&](const media::EncodedPacket& p) { mux.Write(ai, p.data, p.size, p.pts, p.duration, p.key); };
    std::vector<uint8_t> pic(video.FrameBytes());
    std::vector<int16_t> pcm(2048 * 2);
    int64_t n = 0;
    while (video.Next(pic.data())) {
        ve.Encode(pic.data(), AV_PIX_FMT_BGRA, t.width * 4, true, n++, wv);
        const int64_t due = av_rescale_q(n, av_inv_q(t.rate), AVRational{1, 44100});
        while (audio.Delivered() < due) {
            const int got = audio.Read(pcm.data(), int(std::min<int64_t>(2048, due - audio.Delivered())));
            if (!got) break;
            ae.Encode(pcm.data(), got, wa);
        }
    }
    for (int got; (got = audio.Read(pcm.data(), 2048)) > 0;) ae.Encode(pcm.data(), got, wa);
    ve.Finish(wv);
    ae.Finish(wa);
    mux.Finish();
}

}  // namespace testclips
