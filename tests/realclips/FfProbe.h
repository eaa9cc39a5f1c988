// What FFmpeg's own libraries read from a written file, used directly (not
// through the project's media core), so that the project's reader never
// vouches for the project's writer. Plain C++ on Unix paths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ffprobe {

struct Stream {
    bool video = false;
    bool audio = false;
    std::string codec;      // FFmpeg's codec name: "mpeg4", "pcm_s16le"...
    int width = 0, height = 0;
    int64_t headerFrames = 0;  // what the container's header declares (0: nothing)
    double headerSeconds = 0;  // the stream's declared duration (0: none)
    int64_t packets = 0;       // what the file really holds
    double endSeconds = 0;     // the end of its last packet
};

struct File {
    std::string error;  // empty when the file was read
    std::string format;
    double seconds = 0;  // the container's declared duration
    std::vector<Stream> streams;
    const Stream* Video() const;
    const Stream* Audio() const;
};

File Probe(const std::string& unixPath);

// Frame number n of the file's video as packed RGB24, width x height; empty
// when there is no such frame.
std::vector<uint8_t> VideoFrameRgb(const std::string& unixPath, int n, int* width, int* height);

// Peak signal-to-noise ratio of two RGB24 pictures of one size, in dB.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace ffprobe
