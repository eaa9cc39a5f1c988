// Encoders fed with the group formats (packed RGB pictures, interleaved
// 16-bit PCM), as the compressor filters receive them.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/core/CodecLoop.h"
#include "platform/core/FfmpegPtr.h"
#include "platform/core/PictureScaler.h"

namespace media {

// One compressed unit. Times count video frames or audio sample frames.
struct EncodedPacket {
    const uint8_t* data;
    int size;
    int64_t pts;
    int64_t dts;  // differs from pts when the encoder reorders pictures
    int64_t duration;
    bool key;
};
using EncodedSink = std::function<void(const EncodedPacket&)>;

struct VideoEncodeSettings {
    std::string encoder;  // FFmpeg encoder name
    uint32_t fourcc = 0;  // codec tag written into the stream
    AVPixelFormat pixelFormat = AV_PIX_FMT_YUV420P;
    int width = 0, height = 0;
    AVRational rate{25, 1};
    int64_t bitRate = 0;  // bits per second; used when quality is 0
    int quality = 0;      // fixed quantiser 1 (best) .. 31; 0 for bit-rate control
    int keyInterval = 0;  // frames between key frames; 0 for the encoder's default
    int threads = 0;      // 0: FFmpeg chooses
    // Further encoder fields, set last (B-frames, rate control limits, ...).
    std::function<void(AVCodecContext&)> configure;
};

class VideoEncoder {
public:
    explicit VideoEncoder(const VideoEncodeSettings& settings);

    const std::vector<uint8_t>& Extradata() const { return m_extradata; }
    AVCodecContext* Context() const { return m_codec.Get(); }

    // One picture in a packed RGB format (BGRA, BGR24, ...); stride is the
    // distance between rows as stored, bottomUp when the first stored row is
    // the picture's last. index is the picture's frame number.
    void Encode(const uint8_t* picture, AVPixelFormat format, int stride, bool bottomUp, int64_t index,
                const EncodedSink& sink);
    void Finish(const EncodedSink& sink);

    // The two halves of Encode, for a caller that converts the next picture
    // on one thread while this one is encoded on another (they share no
    // state): the picture into frame, which gets a buffer of the encoder's
    // format and size the first time; then the frame into packets. A
    // picture a source of ours made from planes it still remembers (see
    // PictureOrigins) is taken from those planes instead.
    void Convert(const uint8_t* picture, AVPixelFormat format, int stride, bool bottomUp, AVFrame* frame);
    void EncodeFrame(AVFrame* frame, int64_t index, const EncodedSink& sink);
    // Convert for a picture a source of ours handed on as the planar YUV it
    // was decoded into (see PlanarPicture), whose RGB nobody asked for.
    void ConvertPlanes(const AVFrame& planes, AVFrame* frame);

private:
    void Emit(const AVPacket& packet, const EncodedSink& sink);
    // The remembered planes of the picture into frame; false when there are none.
    bool TakeOrigin(const uint8_t* picture, AVPixelFormat format, int stride, bool bottomUp, AVFrame* frame);
    VideoEncodeSettings m_settings;
    Codec m_codec;
    FramePtr m_frame;
    PictureScaler m_scaler;
    FramePtr m_origin;  // Convert's, not EncodeFrame's: they may run on two threads
    std::vector<uint8_t> m_extradata;
};

struct AudioEncodeSettings {
    std::string encoder;
    int inputRate = 44100;
    int inputChannels = 2;
    int outputRate = 0;  // 0: the input's, or the nearest the encoder takes
    int outputChannels = 0;  // 0: the input's, at most 2
    int64_t bitRate = 0;
};

class AudioEncoder {
public:
    explicit AudioEncoder(const AudioEncodeSettings& settings);
    ~AudioEncoder();
    AudioEncoder(const AudioEncoder&) = delete;
    AudioEncoder& operator=(const AudioEncoder&) = delete;

    AVCodecContext* Context() const { return m_codec.Get(); }
    int SampleRate() const { return m_codec->sample_rate; }
    int Channels() const { return m_codec->ch_layout.nb_channels; }
    // Samples per packet (0 when packets take any length).
    int FrameSize() const { return m_frameSize; }
    const std::vector<uint8_t>& Extradata() const { return m_extradata; }

    // Interleaved 16-bit input at the input rate.
    void Encode(const int16_t* pcm, int frames, const EncodedSink& sink);
    void Finish(const EncodedSink& sink);

private:
    void Drain(bool final, const EncodedSink& sink);
    void Emit(const AVPacket& packet, int samples, const EncodedSink& sink);
    AudioEncodeSettings m_settings;
    Codec m_codec;
    SwrPtr m_swr;
    AudioFifoPtr m_fifo;
    FramePtr m_frame;
    int m_frameSize = 0;
    int m_chunk = 0;
    int64_t m_inPts = 0;   // samples handed to the encoder
    int64_t m_outPts = 0;  // samples the packets so far cover
    std::vector<uint8_t> m_extradata;
};

// The rate among the encoder's supported ones closest to the wanted one.
int NearestSampleRate(const AVCodec* codec, int wanted);

// Whether the FFmpeg encoder opens for pictures of this format, size and
// rate: what it refuses (odd widths of some codecs, sizes beyond its
// limits) is known only to the encoder itself. Answers are kept, so asking
// again for the same picture costs nothing.
bool VideoEncoderTakes(const std::string& encoder, AVPixelFormat format, int width, int height, AVRational rate);

}  // namespace media
