// Encodes pictures and sound by a plan and multiplexes them into one MPEG
// file, on the media core's encoders and muxer. Plain C++; not thread-safe
// (the filter calls it from its one encoding thread).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/core/ByteIo.h"
#include "platform/core/Encoder.h"
#include "platform/core/Muxer.h"
#include "platform/mpeg/MpegPlan.h"

namespace mpegenc {

// What the writer is fed: packed BGRA pictures and interleaved 16-bit PCM.
struct WriterInput {
    int width = 0;
    int height = 0;
    int sampleRate = 0;
    int channels = 0;
};

class MpegWriter {
public:
    // Opens the encoders and writes the file header; throws media::MediaError.
    MpegWriter(const Plan& plan, const WriterInput& input, media::ByteSink& sink);
    ~MpegWriter();
    MpegWriter(const MpegWriter&) = delete;
    MpegWriter& operator=(const MpegWriter&) = delete;

    // One input picture (rows of stride bytes, the first stored row the
    // picture's last when bottomUp) for `slots` coded frames: 0 drops it.
    // An input a pixel larger than the plan (odd sizes) is cropped.
    void WriteVideo(const uint8_t* bgra, int stride, bool bottomUp, int slots);
    void WriteAudio(const int16_t* pcm, int frames);
    // Flushes the encoders and writes the trailer.
    void Finish();

    int64_t FramesEncoded() const { return m_frames; }

private:
    void WritePacket(int stream, const media::EncodedPacket& packet);

    Plan m_plan;
    media::Muxer m_mux;
    std::optional<media::VideoEncoder> m_video;
    media::FramePtr m_picture = media::MakeFrame();  // the latest input in the encoder's format
    std::unique_ptr<media::AudioEncoder> m_audio;
    int m_videoStream = -1;
    int m_audioStream = -1;
    int64_t m_frames = 0;
    bool m_finished = false;
};

}  // namespace mpegenc
