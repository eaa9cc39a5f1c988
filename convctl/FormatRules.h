// Output-format presets and the frame-rate rules of a conversion. Plain
// functions, no platform headers.
#pragma once

namespace convctl {

// Values of EnumMediaOutputFormat.
enum OutputFormatValue : int {
    kFormatAvi = 0,
    kFormatWmv = 1,
    kFormatMpeg1 = 2,
    kFormatMpeg2 = 3,
    kFormatVcdPal = 4,
    kFormatVcdNtsc = 5,
    kFormatSvcdPal = 6,
    kFormatSvcdNtsc = 7,
    kFormatDvdPal = 8,
    kFormatDvdNtsc = 9,
};

// "29.97" as the 32-bit float the engine keeps: 30000/1001 rounded to a
// float, 29.9700298 (0x41EFC29F), not the float nearest to 29.97.
constexpr float kNtscFrameRate = 30000.0f / 1001.0f;
constexpr float kFallbackFrameRate = 25.0f;

struct FormatPreset {
    int width;
    int height;
    float frameRate;
};

// The size and rate a disc format imposes; false for the free formats.
bool PresetFor(int outputFormat, FormatPreset& preset);

// A rate is accepted when it lies strictly inside one of the windows
// around 24, 25, 30, 50, 60, 23.976, 29.97 and 59.94.
bool IsAcceptedFrameRate(double rate);

struct RateChoice {
    double rate;       // the rate the video group is built with
    float engineRate;  // the engine's OutputFramerate afterwards
};

// engineRate 0 means "the source's rate"; sourceRate 0 means unknown.
RateChoice ChooseOutputRate(float engineRate, double sourceRate, int outputFormat);

}  // namespace convctl
