// Writing a container with libavformat through a byte sink.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/ByteIo.h"
#include "platform/core/FfmpegPtr.h"

namespace media {

struct MuxStreamDesc {
    AVMediaType type = AVMEDIA_TYPE_UNKNOWN;
    AVCodecID codec = AV_CODEC_ID_NONE;
    uint32_t tag = 0;  // FourCC or format tag; 0 lets the muxer choose
    // Video
    int width = 0, height = 0, bitsPerSample = 0;
    AVRational frameRate{0, 1};
    // Audio
    int sampleRate = 0, channels = 0, blockAlign = 0, frameSize = 0;
    int64_t bitRate = 0;
    std::vector<uint8_t> extradata;
};

// Options of the muxer (libavformat's names, e.g. "packetsize", "muxrate").
using MuxOptions = std::vector<std::pair<std::string, std::string>>;

class Muxer {
public:
    // format is a libavformat muxer name ("avi", "asf", "vob", ...). With
    // interleave, packets wait in FFmpeg's queue until every stream has
    // caught up; without, they are written as they come (the caller keeps
    // the streams close in time).
    Muxer(const std::string& format, ByteSink& sink, bool interleave = true);
    ~Muxer();
    Muxer(const Muxer&) = delete;
    Muxer& operator=(const Muxer&) = delete;

    int AddStream(const MuxStreamDesc& desc);
    // A stream described by an open encoder; Write times count frames
    // (video) or samples (audio) all the same.
    int AddStream(const AVCodecContext& encoder);
    void Begin(const MuxOptions& options = {});
    bool Begun() const { return m_begun; }
    // Times count video frames or audio sample frames.
    void Write(int stream, const uint8_t* data, int size, int64_t pts, int64_t duration, bool key) {
        Write(stream, data, size, pts, pts, duration, key);
    }
    // With a decoding time that differs from pts (reordered pictures).
    void Write(int stream, const uint8_t* data, int size, int64_t pts, int64_t dts, int64_t duration, bool key);
    // Writes the index and trailer; the file is complete afterwards.
    void Finish();

private:
    ByteSink& m_sink;
    IoContextPtr m_io;
    OutputFormatPtr m_fmt;
    std::vector<AVRational> m_units;  // time base of each stream's Write times
    std::vector<int64_t> m_lastDts;   // in the stream's own time base
    PacketPtr m_packet;
    bool m_begun = false;
    bool m_finished = false;
    bool m_interleave;
};

// Codec of a FourCC or WAVE format tag as AVI files use them.
AVCodecID CodecOfFourcc(uint32_t fourcc);
AVCodecID CodecOfWaveTag(uint32_t tag);
constexpr uint32_t Fourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

}  // namespace media
