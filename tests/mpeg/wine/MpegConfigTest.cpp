// What the MPEG back end's configuration calls leave in the encoder, and
// how their results combine.
#include <windows.h>

#include <cmath>
#include <cstring>

#include "convctl/EngineMpeg.h"
#include "convctl/FormatRules.h"
#include "framework/com/ComPtr.h"
#include "platform/mpeg/MpegPlan.h"
#include "tests/mpeg/wine/RecordingEncoderConfig.h"
#include "tests/mpeg/wine/TestEncoderSettings.h"
#include "tests/wine/harness/WineTest.h"

using com::ComPtr;
using mpegtest::RecordingEncoderConfig;
using mpegtest::TestSettings;

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

// The preset's defaults load first and the overrides are cleared before
// the values are set: what was sent is what the encoder keeps, whatever an
// earlier conversion left in it.
WT_TEST(MpegConfig, SentValuesOverruleThePresetAndWhatWasLeftBefore) {
    auto settings = com::MakeObject<TestSettings>();
    CHECK_HR(settings->SetPreset(mpegenc::kPresetDvdPal));
    CHECK_HR(settings->SetWidth(720));
    CHECK_HR(settings->SetHeight(576));
    CHECK_HR(settings->SetQuality(50));
    CHECK_HR(settings->SetVariableBitRate(TRUE));
    convctl::MpegEncoderValues v = SvcdNtscValues();
    v.quality = 70;
    CHECK_HR(convctl::SendMpegEncoderValues(settings.Get(), nullptr, v));
    const mpegenc::Settings s = settings->Current();
    CHECK_EQ(s.preset, static_cast<int>(mpegenc::kPresetSvcdNtsc));
    CHECK_EQ(s.width, 480);
    CHECK_EQ(s.height, 480);
    CHECK_EQ(s.videoKbps, 2000);
    CHECK_EQ(s.audioKbps, 128);
    CHECK_EQ(s.quality, 70);
    CHECK(!s.vbr);
    CHECK(std::fabs(s.frameRate - 30000.0f / 1001.0f) < 1e-3f);
    CHECK(std::fabs(s.inputFrameRate - 30000.0f / 1001.0f) < 1e-3f);
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

// Each MPEG output format picks the preset that plans that format's
// pictures, the ones the control fixes for it; another format number falls back to plain MPEG-1.
WT_TEST(MpegConfig, EachFormatPlansItsStandardPictures) {
    struct Case {
        LONG format;
        int width, height;
        double fps;
        const char* codec;
    };
    const Case cases[] = {
        {convctl::kFormatMpeg1, 640, 480, 25.0, "mpeg1video"},  {convctl::kFormatMpeg2, 640, 480, 25.0, "mpeg2video"},
        {convctl::kFormatVcdPal, 352, 288, 25.0, "mpeg1video"}, {convctl::kFormatVcdNtsc, 352, 240, 29.97, "mpeg1video"},
        {convctl::kFormatSvcdPal, 480, 576, 25.0, "mpeg2video"}, {convctl::kFormatSvcdNtsc, 480, 480, 29.97, "mpeg2video"},
        {convctl::kFormatDvdPal, 720, 576, 25.0, "mpeg2video"}, {convctl::kFormatDvdNtsc, 720, 480, 29.97, "mpeg2video"},
        {convctl::kFormatAvi, 640, 480, 25.0, "mpeg1video"},    {-1, 640, 480, 25.0, "mpeg1video"},
    };
    mpegenc::InputFacts input;
    input.width = 640;
    input.height = 480;
    input.frameRate = 25.0;
    input.sampleRate = 44100;
    input.channels = 2;
    for (const Case& c : cases) {
        mpegenc::Settings s;
        s.preset = convctl::MpegPresetFor(c.format);
        mpegenc::LoadPresetDefaults(s);
        mpegenc::Plan plan;
        const char* reason = nullptr;
        CHECK(mpegenc::MakePlan(s, input, plan, &reason));
        const double fps = plan.frameRate.den ? double(plan.frameRate.num) / plan.frameRate.den : 0.0;
        if (plan.width != c.width || plan.height != c.height || std::fabs(fps - c.fps) > 0.01 ||
            std::strcmp(plan.videoCodec, c.codec) != 0)
            wt::ReportFailure(__FILE__, __LINE__,
                              "format " + std::to_string(c.format) + ": " + std::to_string(plan.width) + "x" +
                                  std::to_string(plan.height) + " at " + std::to_string(fps) + " " + plan.videoCodec);
        // The size and rate the control fixes for a disc format are the ones
        // the encoder writes.
        convctl::FormatPreset fixed{};
        if (convctl::PresetFor(c.format, fixed)) {
            CHECK_EQ(fixed.width, plan.width);
            CHECK_EQ(fixed.height, plan.height);
            CHECK(std::fabs(fixed.frameRate - fps) < 0.01);
        }
    }
}
