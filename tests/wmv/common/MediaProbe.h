// Reads a written media file back with FFmpeg's libraries: container,
// streams with their codecs and declared rates, and what every stream
// really holds (packets, bytes, time span). Plain C++ on a Unix path.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace wmvtest {

struct ProbedStream {
    bool video = false;
    std::string codec;        // FFmpeg codec name
    int64_t declaredBitRate = 0;
    int width = 0, height = 0;
    int sampleRate = 0, channels = 0;
    int64_t packets = 0;
    int64_t bytes = 0;
    double seconds = 0;       // from the first packet's start to the last one's end
};

struct ProbedFile {
    std::string error;        // empty when the file was read
    std::string format;       // FFmpeg demuxer name
    double seconds = 0;       // the container's duration
    int64_t declaredBitRate = 0;  // ASF files: the file properties' maximum bit rate
    std::vector<ProbedStream> streams;

    const ProbedStream* Video() const;
    const ProbedStream* Audio() const;
};

ProbedFile ProbeMedia(const std::string& unixPath);

}  // namespace wmvtest
