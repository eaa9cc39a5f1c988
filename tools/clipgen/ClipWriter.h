// Short synthetic clips for tests and benchmarks: a moving colour pattern
// and a tone, in the containers the converter reads.
#pragma once

#include <string>

extern "C" {
#include <libavutil/rational.h>
}

namespace clipgen {

struct ClipSpec {
    std::string container = "avi";  // avi, mpg (MPEG-1 system), mpeg2 (MPEG-2 program stream), wmv
    int width = 160;
    int height = 120;
    AVRational rate{25, 1};
    double seconds = 2.0;
    bool video = true;
    bool audio = true;
    int sampleRate = 44100;
    int channels = 2;
    std::string videoEncoder;  // empty: the container's usual one
    std::string audioEncoder;
};

// A clip of this container, size, frame rate and length; the rest as above.
inline ClipSpec SpecOf(const std::string& container, int width, int height, AVRational rate, double seconds) {
    ClipSpec s;
    s.container = container;
    s.width = width;
    s.height = height;
    s.rate = rate;
    s.seconds = seconds;
    return s;
}

// Writes the clip to a file (UTF-8 path); throws media::MediaError.
void WriteClip(const std::string& path, const ClipSpec& desc);

// The pattern's picture of frame n as top-down BGRA (width * 4 per row).
void DrawPattern(unsigned char* bgra, int width, int height, long long n);

}  // namespace clipgen
