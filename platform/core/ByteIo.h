// Byte sources and sinks behind FFmpeg's I/O callbacks, so that files are
// opened by whoever knows the path's form (POSIX paths natively, Windows
// paths through the Win32 file API in the platform layer).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

extern "C" {
#include <libavformat/avio.h>
}

#include "platform/core/FfmpegPtr.h"

namespace media {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Bytes read (> 0), 0 at the end, or a negative AVERROR.
    virtual int Read(uint8_t* buf, int size) = 0;
    // whence is SEEK_SET, SEEK_CUR or SEEK_END; the new position or a negative AVERROR.
    virtual int64_t Seek(int64_t offset, int whence) = 0;
    // Total size, or a negative AVERROR when unknown.
    virtual int64_t Size() = 0;
};

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // 0 or a negative AVERROR; all bytes are written or none count.
    virtual int Write(const uint8_t* buf, int size) = 0;
    virtual int64_t Seek(int64_t offset, int whence) = 0;
};

// Opens a source anew each time; readers of different streams of one file
// each get their own.
using SourceOpener = std::function<std::unique_ptr<ByteSource>()>;

// POSIX files by UTF-8 path. Throw MediaError (NotFound, AccessDenied,
// NotMedia for a folder).
std::unique_ptr<ByteSource> OpenFileSource(const std::string& path);
std::unique_ptr<ByteSink> CreateFileSink(const std::string& path);
SourceOpener FileOpener(const std::string& path);

// FFmpeg I/O contexts over a source or sink; the object must outlive them.
IoContextPtr MakeReadContext(ByteSource& source);
IoContextPtr MakeWriteContext(ByteSink& sink);

}  // namespace media
