#include "tests/mpeg/common/MpegExpect.h"

#include <cstdlib>

namespace mpegtest {

const std::vector<PresetFile>& PresetFiles() {
    static const std::vector<PresetFile> files = {
        {2, 0, "mpg1", "mpeg1video", 160, 120, 25, 1, 1, "mp2", 44100},
        {3, 2, "mpg2", "mpeg2video", 160, 120, 25, 1, 2, "mp2", 44100},
        {4, 1, "vcd_pal", "mpeg1video", 352, 288, 25, 1, 1, "mp2", 44100},
        {5, 5, "vcd_ntsc", "mpeg1video", 352, 240, 30000, 1001, 1, "mp2", 44100},
        {6, 3, "svcd_pal", "mpeg2video", 480, 576, 25, 1, 2, "mp2", 44100},
        {7, 6, "svcd_ntsc", "mpeg2video", 480, 480, 30000, 1001, 2, "mp2", 44100},
        {8, 4, "dvd_pal", "mpeg2video", 720, 576, 25, 1, 2, "ac3", 48000},
        {9, 7, "dvd_ntsc", "mpeg2video", 720, 480, 30000, 1001, 2, "ac3", 48000},
    };
    return files;
}

std::vector<std::string> Mismatches(const ProbedMpeg& f, const PresetFile& e, long long frames, int slack,
                                    bool audio) {
    std::vector<std::string> out;
    auto text = [&](const char* what, const std::string& got, const std::string& want) {
        if (got != want) out.push_back(std::string(what) + ": " + got + " instead of " + want);
    };
    auto number = [&](const char* what, long long got, long long want) {
        if (got != want) out.push_back(std::string(what) + ": " + std::to_string(got) + " instead of " + std::to_string(want));
    };
    if (!f.error.empty()) return {f.error};
    text("container", f.format, "mpeg");
    number("system stream version", f.systemVersion, e.systemVersion);
    text("video codec", f.videoCodec, e.videoCodec);
    number("width", f.width, e.width);
    number("height", f.height, e.height);
    number("frame rate numerator", f.rateNum, e.rateNum);
    number("frame rate denominator", f.rateDen, e.rateDen);
    if (std::llabs(f.videoFrames - frames) > slack)
        out.push_back("frames: " + std::to_string(f.videoFrames) + " instead of " + std::to_string(frames));
    if (f.hasAudio != audio) out.push_back(audio ? "no audio stream" : "an audio stream");
    if (audio && f.hasAudio) {
        text("audio codec", f.audioCodec, e.audioCodec);
        number("sample rate", f.sampleRate, e.sampleRate);
        number("channels", f.channels, 2);
    }
    return out;
}

}  // namespace mpegtest
