// Reads an MPEG file back with FFmpeg's libraries: container and system
// stream version, the video and audio streams with what their headers
// declare, and how many frames and how much time they really hold. Plain
// C++ on a Unix path, for native and winelib tests.
#pragma once

#include <cstdint>
#include <string>

namespace mpegtest {

struct ProbedMpeg {
    std::string error;   // empty when the file was read
    std::string format;  // FFmpeg demuxer name
    int systemVersion = 0;  // 1: MPEG-1 system stream, 2: MPEG-2 program stream

    bool hasVideo = false;
    std::string videoCodec;
    int width = 0, height = 0;
    int rateNum = 0, rateDen = 0;  // the declared frame rate
    int aspectNum = 0, aspectDen = 0;  // sample aspect ratio
    int profile = -99, level = -99;
    int64_t videoFrames = 0;

    bool hasAudio = false;
    std::string audioCodec;
    int sampleRate = 0, channels = 0;
    int64_t audioBitRate = 0;
    double audioSeconds = 0;
};

ProbedMpeg ProbeMpeg(const std::string& unixPath);

}  // namespace mpegtest
