// Reading one source with libavformat through a byte source.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/core/ByteIo.h"
#include "platform/core/FfmpegPtr.h"

namespace media {

class Demuxer {
public:
    // Opens and probes the source; throws MediaError (NotMedia for data no
    // format recognises).
    explicit Demuxer(std::unique_ptr<ByteSource> source);

    // The stream FFmpeg ranks best of a type among those it can decode, or -1.
    int BestStream(AVMediaType type) const;
    AVStream* Stream(int index) const { return m_fmt->streams[index]; }
    int StreamCount() const { return static_cast<int>(m_fmt->nb_streams); }
    // FFmpeg's short name of the container format ("avi", "asf", "mpeg", ...).
    const char* FormatName() const;
    // Origin of the source's timeline in AV_TIME_BASE units: its first
    // time stamp, so clips that start late still begin at 0.
    int64_t Origin() const;
    // Length in AV_TIME_BASE units, or -1 when the container does not say.
    int64_t Duration() const;
    // The whole source's bits per second (as the container says, or its
    // size over its length), 0 when unknown.
    int64_t BitRate() const;

    // How long a stream's data really lasts, in AV_TIME_BASE units: the sum
    // of its packets' durations, which damaged or lying time stamps and
    // headers do not change. Reads the stream to its end (no decoding), so
    // it is for a demuxer of its own; 0 for no stream.
    int64_t DataLength(int stream);

    // Packets of other streams are dropped inside the demuxer.
    void KeepOnly(int stream);
    // The next packet of the kept stream; false at the end of the data.
    bool Read(AVPacket* packet);
    // Seeks to a key frame at or before time (AV_TIME_BASE, from Origin).
    void Seek(int64_t time);

private:
    std::unique_ptr<ByteSource> m_source;
    std::unique_ptr<ByteSource> m_guard;  // reads m_source; FFmpeg reads it
    IoContextPtr m_io;
    InputFormatPtr m_fmt;
    int m_kept = -1;
};

}  // namespace media
