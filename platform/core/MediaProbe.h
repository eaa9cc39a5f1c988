// Media facts of a source without converting it: its streams with their
// rates, lengths, sizes and bit rates, and a poster frame as a bitmap.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/ByteIo.h"

namespace media {

struct StreamFacts {
    enum class Kind { Video, Audio, Other };
    Kind kind = Kind::Other;
    double frameRate = 0.0;  // video: frames per second, 0 when unknown
    double length = 0.0;     // seconds; the container's length when the stream gives none
    int width = 0;           // video
    int height = 0;
    int64_t bitRate = 0;     // bits per second, 0 when unknown; video: estimated when headers do not say
    uint32_t fourcc = 0;     // video: the codec's four-character code, 0 when it has none
    int sampleRate = 0;      // audio
    int channels = 0;
};

struct SourceFacts {
    std::string container;  // FFmpeg's short name, e.g. "avi", "asf", "mpeg"
    std::vector<StreamFacts> streams;
};

// Throws MediaError (NotFound, AccessDenied, NotMedia, Corrupt).
SourceFacts ProbeSource(const SourceOpener& open);

// The picture shown at a time (seconds from the start), scaled to the size,
// as bottom-up 24-bit rows padded to four bytes (a DIB). A time past the end
// gives the last picture. Throws MediaError; NotMedia without a video stream.
std::vector<uint8_t> PosterFrame(const SourceOpener& open, double seconds, int width, int height);

// A complete .bmp file around DIB rows as PosterFrame returns them.
std::vector<uint8_t> BmpFile24(const std::vector<uint8_t>& rows, int width, int height);

}  // namespace media
