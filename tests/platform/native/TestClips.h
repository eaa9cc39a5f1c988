// Clips for the media-core tests, generated once per test program into the
// build tree.
#pragma once

#include <string>

#include "tools/clipgen/ClipWriter.h"

namespace testclips {

// Path of a clip made from desc under the given name (written on first use).
std::string Clip(const std::string& name, const clipgen::ClipSpec& desc);
// A file of the given bytes.
std::string FileWith(const std::string& name, const std::string& bytes);
std::string Dir();

// Video packets and the codec of the first stream of a type in a file.
struct StreamFacts {
    bool present = false;
    int codec = 0;  // AVCodecID
    unsigned tag = 0;
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
    long long packets = 0;
};
StreamFacts ReadStream(const std::string& path, bool video);

}  // namespace testclips

#include <cstdint>
extern "C" {
#include <libavutil/pixfmt.h>
}

namespace testclips {

struct TranscodeSpec {
    std::string videoEncoder;
    uint32_t fourcc;
    AVPixelFormat pixelFormat;
    int width, height;
    AVRational rate;
    std::string audioEncoder;
    int64_t length;  // AV_TIME_BASE units
};

// Converts a clip the way the compressors and the AVI writer do: group
// formats in, one encoder per stream, the AVI muxer out.
void Transcode(const std::string& src, const std::string& dst, const TranscodeSpec& desc);

}  // namespace testclips
