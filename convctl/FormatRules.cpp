#include "convctl/FormatRules.h"

namespace convctl {

bool PresetFor(int outputFormat, FormatPreset& preset) {
    switch (outputFormat) {
    case kFormatVcdPal: preset = {352, 288, 25.0f}; return true;
    case kFormatVcdNtsc: preset = {352, 240, kNtscFrameRate}; return true;
    case kFormatSvcdPal: preset = {480, 576, 25.0f}; return true;
    case kFormatSvcdNtsc: preset = {480, 480, kNtscFrameRate}; return true;
    case kFormatDvdPal: preset = {720, 576, 25.0f}; return true;
    case kFormatDvdNtsc: preset = {720, 480, kNtscFrameRate}; return true;
    default: return false;
    }
}

bool IsAcceptedFrameRate(double rate) {
    static constexpr double kWindows[][2] = {
        {23.999, 24.001}, {24.999, 25.001}, {29.999, 30.001}, {49.999, 50.001},
        {59.999, 60.001}, {23.975, 23.977}, {29.969, 29.971}, {59.939, 59.941},
    };
    for (const auto& w : kWindows)
        if (rate > w[0] && rate < w[1]) return true;
    return false;
}

RateChoice ChooseOutputRate(float engineRate, double sourceRate, int outputFormat) {
    if (engineRate != 0.0f) {
        if (!IsAcceptedFrameRate(engineRate)) engineRate = kFallbackFrameRate;
        return {engineRate, engineRate};
    }
    if (sourceRate == 0.0) return {kFallbackFrameRate, kFallbackFrameRate};
    // Only the MPEG family needs one of the standard rates.
    if (outputFormat > kFormatWmv && !IsAcceptedFrameRate(sourceRate))
        return {kFallbackFrameRate, kFallbackFrameRate};
    return {sourceRate, 0.0f};
}

}  // namespace convctl
