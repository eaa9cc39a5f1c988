#include "platform/mpeg/MpegWriter.h"

#include <string>
#include <utility>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

#include "platform/core/MediaError.h"

namespace mpegenc {

namespace {

media::VideoEncodeSettings VideoSettings(const Plan& plan) {
    media::VideoEncodeSettings s;
    s.encoder = plan.videoCodec;
    s.width = plan.width;
    s.height = plan.height;
    s.rate = AVRational{plan.frameRate.num, plan.frameRate.den};
    s.quality = plan.qscale;
    s.bitRate = plan.bitRate;
    s.keyInterval = plan.gopSize;
    s.configure = [plan](AVCodecContext& c) {
        c.max_b_frames = plan.maxBFrames;
        c.sample_aspect_ratio = AVRational{plan.sampleAspect.num, plan.sampleAspect.den};
        if (plan.qscale == 0) {
            c.rc_max_rate = plan.maxRate;
            c.rc_min_rate = plan.minRate;
            c.rc_buffer_size = plan.vbvBufferBits;
            // Start the decoder's buffer three quarters full, as disc players expect.
            c.rc_initial_buffer_occupancy = plan.vbvBufferBits * 3 / 4;
        }
        if (plan.profile != -99) {
            c.profile = plan.profile;
            c.level = plan.level;
        }
        if (plan.scanOffset) av_opt_set_int(c.priv_data, "scan_offset", 1, 0);
    };
    return s;
}

media::AudioEncodeSettings AudioSettings(const Plan& plan, const WriterInput& input) {
    media::AudioEncodeSettings s;
    s.encoder = plan.audioCodec;
    s.inputRate = input.sampleRate;
    s.inputChannels = input.channels;
    s.outputRate = plan.sampleRate;
    s.outputChannels = plan.channels;
    s.bitRate = plan.audioBitRate;
    return s;
}

media::MuxOptions MuxOptionsOf(const Plan& plan) {
    media::MuxOptions options;
    if (plan.packetSize > 0) options.emplace_back("packetsize", std::to_string(plan.packetSize));
    if (plan.muxRate > 0) options.emplace_back("muxrate", std::to_string(plan.muxRate));
    options.emplace_back("preload", std::to_string(plan.preloadMicroseconds));
    return options;
}

}  // namespace

MpegWriter::MpegWriter(const Plan& plan, const WriterInput& input, media::ByteSink& sink)
    : m_plan(plan), m_mux(plan.muxer, sink) {
    if (plan.video) {
        m_video.emplace(VideoSettings(plan));
        m_videoStream = m_mux.AddStream(*m_video->Context());
    }
    if (plan.audio) {
        if (input.sampleRate <= 0 || input.channels <= 0)
            media::Fail(media::ErrorKind::Unsupported, "The audio input has no format");
        m_audio = std::make_unique<media::AudioEncoder>(AudioSettings(plan, input));
        m_audioStream = m_mux.AddStream(*m_audio->Context());
    }
    m_mux.Begin(MuxOptionsOf(plan));
}

MpegWriter::~MpegWriter() = default;

void MpegWriter::WritePacket(int stream, const media::EncodedPacket& p) {
    m_mux.Write(stream, p.data, p.size, p.pts, p.dts, p.duration, p.key);
}

void MpegWriter::WriteVideo(const uint8_t* bgra, int stride, bool bottomUp, int slots) {
    if (!m_video || m_finished || slots <= 0) return;
    // Converted once, however many slots the picture fills.
    m_video->Convert(bgra, AV_PIX_FMT_BGRA, stride, bottomUp, m_picture.get());
    for (int i = 0; i < slots; ++i) {
        m_video->EncodeFrame(m_picture.get(), m_frames,
                             [&](const media::EncodedPacket& p) { WritePacket(m_videoStream, p); });
        ++m_frames;
    }
}

void MpegWriter::WriteAudio(const int16_t* pcm, int frames) {
    if (!m_audio || m_finished || frames <= 0) return;
    m_audio->Encode(pcm, frames, [&](const media::EncodedPacket& p) { WritePacket(m_audioStream, p); });
}

void MpegWriter::Finish() {
    if (m_finished) return;
    m_finished = true;
    if (m_video) m_video->Finish([&](const media::EncodedPacket& p) { WritePacket(m_videoStream, p); });
    if (m_audio) m_audio->Finish([&](const media::EncodedPacket& p) { WritePacket(m_audioStream, p); });
    m_mux.Finish();
}

}  // namespace mpegenc
