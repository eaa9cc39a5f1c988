// One ASF file being written from uncompressed streams: one media-core
// encoder per profile stream and the asf multiplexer. Plain C++, so that
// the native tests write and read back real files. Errors are thrown as
// media::MediaError.
//
// Each video stream's encoder runs on a thread of its own, while the
// feeding thread converts the next picture. That thread only encodes: its
// packets are written by the feeding thread, on its next call, so that
// every write to the sink comes from the callers' threads.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/ByteIo.h"
#include "platform/core/Encoder.h"
#include "platform/core/Muxer.h"

namespace asfw {

// What a profile stream asks for.
struct StreamPlan {
    bool video = false;
    std::string encoder;  // FFmpeg encoder name
    uint32_t tag = 0;     // FourCC (video) or format tag (audio)
    int64_t bitRate = 0;  // bits per second
    uint32_t bufferMs = 0;  // the stream's buffer window; 0: none
    // Video
    int64_t keyFrameSpacing = 0;  // 100 ns units; 0: the encoder's default
    // Audio
    int sampleRate = 0;  // 0: the input's
    int channels = 0;    // 0: the input's
};

// What the stream's input pin was connected with.
struct StreamInput {
    // Video: 32-bit pictures.
    int width = 0, height = 0;
    int64_t frameDuration = 0;  // 100 ns units
    // Audio: interleaved 16-bit PCM.
    int sampleRate = 0, channels = 0;
};

// The frame rate a frame duration stands for, as the encoders take it.
AVRational RateOfFrameDuration(int64_t frameDuration);

// The width a video stream is encoded at for pictures of this size: the
// picture's own when the stream's encoder takes it, one column less when
// the encoder takes only even widths (the Windows Media video encoders
// do), 0 when it takes neither.
int EncodedWidth(const StreamPlan& plan, int width, int height, int64_t frameDuration);

class AsfFileWriter {
public:
    // Called on a video stream's encoding thread before each picture is
    // encoded, with the stream and the picture's frame; what it throws is
    // taken as the encoder's failure. Tests make the encoder fail with it.
    using EncodeHook = std::function<void(size_t stream, int64_t frame)>;

    // Opens the encoders and writes the file header; plans and inputs are
    // in stream order.
    AsfFileWriter(media::ByteSink& sink, const std::vector<StreamPlan>& plans, const std::vector<StreamInput>& inputs,
                  EncodeHook hook = {});
    ~AsfFileWriter();
    AsfFileWriter(const AsfFileWriter&) = delete;
    AsfFileWriter& operator=(const AsfFileWriter&) = delete;

    // Safe from several streaming threads at once.
    // One picture (BGRA) starting at startTime (100 ns units). It is
    // encoded meanwhile: an encoder's failure is thrown by the stream's
    // next call (Video or EndOfStream).
    void Video(size_t stream, const uint8_t* picture, int stride, bool bottomUp, int64_t startTime);
    void Audio(size_t stream, const int16_t* pcm, int frames);
    // Encodes what the stream was given and flushes its encoder; true
    // when every stream has ended.
    bool EndOfStream(size_t stream);
    // Ends what has not ended (every picture given is still written) and
    // writes the index and trailer. A failure met on the way (an encoder's
    // not yet thrown) is thrown after the trailer is written.
    void Finish();
    // Media time written, 100 ns units: the slowest stream still running.
    int64_t Position() const;
    // Whether the stream has written more than lead (100 ns units) beyond
    // the slowest other stream still running.
    bool Ahead(size_t stream, int64_t lead) const;

private:
    struct Stream;
    void WritePacket(Stream& s, const media::EncodedPacket& p);
    // The video encoding thread's loop, and what the feeding side does
    // with it: its packets written (then its failure thrown; end: the
    // stream ended with them), its last pictures encoded and the encoder
    // flushed, the threads stopped.
    void EncodeLoop(Stream& s);
    void WriteEncoded(Stream& s, bool end = false);
    void FlushVideo(Stream& s);
    void StopEncoders();

    mutable std::mutex m_lock;
    std::vector<std::unique_ptr<Stream>> m_streams;
    std::unique_ptr<media::Muxer> m_muxer;
    EncodeHook m_encodeHook;
    bool m_finished = false;
};

}  // namespace asfw
