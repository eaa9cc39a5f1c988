// The order and values of the MPEG back end's configuration calls.
#include <windows.h>

#include "convctl/EngineMpeg.h"
#include "framework/com/ComPtr.h"
#include "tests/mpeg/wine/RecordingEncoderConfig.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;
using mpegtest::RecordingEncoderConfig;

namespace {

ComPtr<RecordingEncoderConfig> MakeConfig() {
    return ComPtr<RecordingEncoderConfig>::Adopt(new RecordingEncoderConfig());
}

convctl::MpegEncoderValues SvcdNtscValues() {
    convctl::MpegEncoderValues v;
    v.preset = convctl::MpegPresetFor(7);
    v.frameRate = 30000.0f / 1001.0f;
    v.width = 480;
    v.height = 480;
    v.videoBitRate = 2000;
    v.audioBitRate = 128;
    v.quality = 90;
    v.vbr = false;
    return v;
}

}  // namespace

WT_TEST(MpegConfig, CallsComeInTheEncodersOrder) {
    auto config = MakeConfig();
    const HWND window = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));
    CHECK_HR(convctl::SendMpegEncoderValues(config.Get(), window, SvcdNtscValues()));
    const std::vector<std::string> expected = {
        "SetNotifyWindow(window)",   "SetPreset(6)",         "LoadPresetDefaults()",     "ClearOverrides()",
        "SetAudioBitRate(128)",      "SetVideoBitRate(2000)", "SetInputFrameRate(41EFC29F)", "SetHeight(480)",
        "SetWidth(480)",             "SetVideoEnabled(1)",   "SetAudioEnabled(1)",       "SetQuality(90)",
        "SetMpeg2Level(8)",          "SetVariableBitRate(0)", "SetFrameRate(41EFC29F)",  "SetMpeg2Profile(4)",
    };
    CHECK(config->calls == expected);
    if (config->calls != expected)
        for (const auto& c : config->calls) printf("  %s\n", c.c_str());
}

WT_TEST(MpegConfig, AnyFailingCallMakesTheResultNegativeAndTheRestStillRun) {
    for (const char* failing : {"SetNotifyWindow", "SetPreset", "SetWidth", "SetMpeg2Profile"}) {
        auto config = MakeConfig();
        config->failingCall = failing;
        config->failure = E_INVALIDARG;
        const HRESULT hr = convctl::SendMpegEncoderValues(config.Get(), nullptr, SvcdNtscValues());
        CHECK(FAILED(hr));
        CHECK_EQ(hr & E_INVALIDARG, E_INVALIDARG);  // an OR of the results
        CHECK_EQ(config->calls.size(), 16u);
    }
    // Success codes OR together as well.
    auto config = MakeConfig();
    config->failingCall = "SetQuality";
    config->failure = S_FALSE;
    CHECK_HR_EQ(convctl::SendMpegEncoderValues(config.Get(), nullptr, SvcdNtscValues()), S_FALSE);
}

WT_TEST(MpegConfig, PresetNumbersByOutputFormat) {
    const LONG expected[][2] = {{2, 0}, {3, 2}, {4, 1}, {5, 5}, {6, 3}, {7, 6}, {8, 4}, {9, 7},
                                {0, 0}, {1, 0}, {10, 0}, {-1, 0}};
    for (const auto& e : expected) CHECK_EQ(convctl::MpegPresetFor(e[0]), e[1]);
}
