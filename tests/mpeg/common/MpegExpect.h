// What each preset's file must hold, and the comparison of a file read
// back against it, for the native and the winelib tests.
#pragma once

#include <string>
#include <vector>

#include "tests/mpeg/common/MpegProbe.h"

namespace mpegtest {

struct PresetFile {
    int outputFormat;  // the control's OutputFormat
    int preset;        // the encoder's preset number
    const char* name;
    const char* videoCodec;
    int width, height;  // the free presets: the size of the tests' clips
    int rateNum, rateDen;
    int systemVersion;
    const char* audioCodec;
    int sampleRate;
};

// All eight, from mediaMPG1 to mediaDVD_NTSC.
const std::vector<PresetFile>& PresetFiles();

// What differs from the expectation, one line each; empty when the file
// holds what the preset calls for, with `frames` pictures (give or take
// `slack`) and, when `audio`, the preset's sound.
std::vector<std::string> Mismatches(const ProbedMpeg& file, const PresetFile& expected, long long frames, int slack,
                                    bool audio);

}  // namespace mpegtest
