// One stream of a source, decoded and converted to the format of its
// group: video as bottom-up 32-bit BGRA at the output size and a constant
// frame rate, audio as interleaved signed 16-bit PCM. A source without the
// stream gives black frames or silence for the clip's length; a stream
// that ends before the clip's length ends the clip (its data is all there
// is, whatever its headers claim).
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/core/ByteIo.h"
#include "platform/core/CodecLoop.h"
#include "platform/core/Demuxer.h"
#include "platform/core/PictureOrigins.h"
#include "platform/core/PictureScaler.h"

namespace media {

// Part of the source to read, in AV_TIME_BASE units from the source's
// origin. A length below 1 means up to the end of the stream read; a
// missing stream then gives nothing. A stream read never gives more than
// its data, with or without a length.
struct ClipRange {
    int64_t start = 0;
    int64_t length = 0;
};

struct VideoTarget {
    int width = 0;
    int height = 0;
    AVRational rate{25, 1};
    int decoderThreads = 0;  // 0: by the source's picture size; 1 for a few pictures, which threads only delay
};

// Frame threads for decoding a source's pictures of this size, where the
// reader chooses. A frame-threaded decoder gives its first picture only
// once every thread has a packet, and each thread holds pictures of its
// own: a thread for every 640x360 of picture, and one more to overlap
// with, 2 to 4 in all, keeps up with the encoders without the wait and
// the memory of one thread per core.
int SourceDecoderThreads(int width, int height);

struct AudioTarget {
    int sampleRate = 44100;
    int channels = 2;
    int BytesPerFrame() const { return channels * 2; }
};

// What both readers keep of their source: the one stream read, its decoder, and how much
// of it the clip gives.
class TrackReaderBase {
public:
    bool HasSourceStream() const { return m_stream >= 0; }

protected:
    explicit TrackReaderBase(const ClipRange& range);
    // Opens the source, takes its best stream of the type, keeps only that stream, goes to
    // the range's start and opens the decoder. The count is the clip's length in the
    // reader's units (unitsIn turns a length into frames or samples). Without such a stream
    // the count goes no further than the other stream's data lasts, and nothing stays open.
    void OpenTrack(const SourceOpener& open, AVMediaType type, int decoderThreads,
                   const std::function<int64_t(int64_t)>& unitsIn);

    ClipRange m_range;
    std::optional<Demuxer> m_demux;
    std::optional<Codec> m_decoder;
    int m_stream = -1;
    int64_t m_origin = 0;
    int64_t m_count = -1;
    bool m_sourceDone = false;
    PacketPtr m_packet;
};

// Makes a picture's bottom-up 32-bit RGB from the decoded planes it shows,
// exactly as the reader converts them itself, and then remembers the planes
// under the key of that RGB (see PictureOrigins). A reader shares it with
// the pictures it handed out as planes, which may be converted on any
// thread, after the reader is gone too; one picture at a time.
class RgbFromPlanes {
public:
    explicit RgbFromPlanes(const void* owner) : m_owner(owner) {}
    // dst holds width * height * 4 bytes.
    void Write(const AVFrame& planes, uint8_t* dst);
    // The reader is gone: nothing more is remembered for it.
    void Orphan();

private:
    std::mutex m_lock;
    const void* m_owner;
    PictureScaler m_scaler;
    std::vector<FramePtr> m_pictures;
};

// A picture handed on as its planes, whose RGB is made only if asked for.
struct PlanarPicture {
    FramePtr planes;  // the pixels only
    std::shared_ptr<RgbFromPlanes> rgb;
    void WriteRgb(uint8_t* dst) const { rgb->Write(*planes, dst); }
};

class VideoTrackReader : public TrackReaderBase {
public:
    VideoTrackReader(const SourceOpener& open, const VideoTarget& target, const ClipRange& range);
    ~VideoTrackReader();
    VideoTrackReader(const VideoTrackReader&) = delete;
    VideoTrackReader& operator=(const VideoTrackReader&) = delete;

    // Frames this clip gives; -1 without a length (the reader then ends
    // with its stream).
    int64_t FrameCount() const { return m_count; }
    size_t FrameBytes() const { return static_cast<size_t>(m_target.width) * m_target.height * 4; }
    int64_t Delivered() const { return m_next; }

    // Writes the next output frame (FrameBytes() bytes, rows bottom-up) and
    // returns true; false after the last one.
    bool Next(uint8_t* dst);
    // The next output frame as a reference to the converted picture (rows
    // top-down, with FFmpeg's padding), or empty for a black one; the
    // picture stays as it is while the reference is held, so another
    // thread may copy it out (CopyBottomUp) while this one reads on. A
    // picture that repeats is the same reference again. Each picture's
    // planes (black ones too) are remembered in PictureOrigins::Shared()
    // under the key of its bottom-up copy, for the encoder that gets it.
    bool Next(AVFrame* picture);
    // The same for a consumer that may never need the RGB: where it would
    // be made straight from the decoded planes (planar YUV at the output
    // size), *planar gets the planes and *picture stays empty; nothing is
    // converted, hashed or remembered unless the RGB is asked for. Other
    // pictures come as from Next(AVFrame*), with *planar empty.
    bool Next(AVFrame* picture, PlanarPicture* planar);
    // Goes past the next output frame without converting it.
    bool Skip() { return Next(static_cast<uint8_t*>(nullptr)); }

private:
    // Output frame index of a decoded frame (nearest by time stamp), and
    // the last index it covers by its duration.
    int64_t IndexOf(const AVFrame& frame, int64_t* lastIndex) const;
    // Decodes until a frame lies beyond the wanted index or the source ends.
    void FillUpTo(int64_t index);
    // A queued picture more than kSuspectGap seconds after the one before it.
    bool Jumped(size_t k) const;
    // Moves jumped pictures that the next picture shows to be damage.
    void SettleJumps();
    static constexpr int kSuspectGap = 2;
    // Steps to the next output frame; *picture is the converted picture
    // (null for black) when convert, else untouched. Given planes, a
    // picture whose RGB would come straight from the decoded planes is not
    // converted: *planes is that frame and *picture null.
    bool Advance(bool convert, const AVFrame** picture, const AVFrame** planes = nullptr);
    bool ConvertsStraight(const AVFrame& frame) const;
    // The frame into a picture no reference still holds; m_scaled points to it.
    void Convert(const AVFrame& frame);
    // Remembers the planes of the picture handed out (null: black).
    void RememberPlanes(const AVFrame* picture);

    VideoTarget m_target;
    int64_t m_next = 0;

    struct Queued {
        FramePtr frame;
        int64_t index;
        int64_t lastIndex;
    };
    std::deque<Queued> m_queue;  // decoded, not yet due
    FramePtr m_current;          // latest decoded frame at or before the next index
    int64_t m_lastIndex = -1;
    int64_t m_coveredUpTo = -1;
    bool m_haveCurrent = false;
    bool m_currentConverted = false;
    // The scaler's outputs, padded as FFmpeg pads: as many as callers hold
    // references to, plus the one being written.
    std::vector<FramePtr> m_pictures;
    AVFrame* m_scaled = nullptr;  // the latest converted picture, one of m_pictures
    PictureScaler m_scaler;
    // The planes m_scaled was made from, when they are planar YUV at the
    // output size, and their key once computed (a repeat is not hashed
    // again).
    FramePtr m_planes;
    std::optional<PictureKey> m_planesKey;
    FramePtr m_black;  // made on first use, with its key
    PictureKey m_blackKey;
    std::shared_ptr<RgbFromPlanes> m_rgb;  // made on first use
};

class AudioTrackReader : public TrackReaderBase {
public:
    AudioTrackReader(const SourceOpener& open, const AudioTarget& target, const ClipRange& range);
    ~AudioTrackReader();
    AudioTrackReader(const AudioTrackReader&) = delete;
    AudioTrackReader& operator=(const AudioTrackReader&) = delete;

    // Sample frames this clip gives; -1 when unknown (see VideoTrackReader).
    int64_t SampleCount() const { return m_count; }
    int64_t Delivered() const { return m_delivered; }

    // Writes up to maxFrames sample frames; returns how many, 0 at the end.
    int Read(int16_t* dst, int maxFrames);

private:
    // Decodes one more packet's worth into the FIFO; false at the source's end.
    bool Refill();
    // Converts a decoded frame (null: what the resampler holds) into the FIFO.
    void Push(const AVFrame* frame);
    void PushSilence(int64_t frames);
    void Write(const int16_t* samples, int frames);

    AudioTarget m_target;
    int64_t m_delivered = 0;
    bool m_started = false;
    int64_t m_toDrop = 0;  // samples before the clip's start still to discard
    SwrPtr m_swr;
    AVChannelLayout m_swrInLayout{};
    int m_swrInRate = 0;
    int m_swrInFormat = -1;
    AudioFifoPtr m_fifo;
    std::vector<int16_t> m_convert;
};

// A converted picture (top-down rows, any padding) into an exact-size
// buffer of bottom-up rows, as the video group's samples hold them.
void CopyBottomUp(const AVFrame& picture, uint8_t* dst);

// Output frame count for a length in AV_TIME_BASE units at a rate: every
// frame that starts inside the clip.
int64_t FramesIn(int64_t length, AVRational rate);
int64_t SamplesIn(int64_t length, int sampleRate);

}  // namespace media

namespace media {
// A frame rate given as a number of frames per second, as an exact
// fraction where it is one of the NTSC-style rates (29.97 is 30000/1001).
AVRational RateOfFps(double fps);
}  // namespace media

namespace media {
// The frame rate of a frame duration in 100 ns units, exact for whole and
// NTSC-style rates (333667 gives 30000/1001); 25 when the duration is 0.
AVRational RateOfFrameDuration(int64_t units);
}  // namespace media
