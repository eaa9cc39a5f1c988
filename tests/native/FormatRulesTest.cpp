#include "convctl/FormatRules.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace convctl;

TEST(FormatRules, DiscPresetsFixSizeAndRate) {
    struct Case {
        int format;
        int w, h;
        float rate;
    };
    const Case cases[] = {{4, 352, 288, 25.0f}, {5, 352, 240, kNtscFrameRate}, {6, 480, 576, 25.0f},
                          {7, 480, 480, kNtscFrameRate}, {8, 720, 576, 25.0f}, {9, 720, 480, kNtscFrameRate}};
    for (const auto& c : cases) {
        FormatPreset p{};
        ASSERT_TRUE(PresetFor(c.format, p)) << c.format;
        EXPECT_EQ(p.width, c.w);
        EXPECT_EQ(p.height, c.h);
        EXPECT_EQ(p.frameRate, c.rate);
    }
    for (int free : {0, 1, 2, 3, 10, -1}) {
        FormatPreset p{};
        EXPECT_FALSE(PresetFor(free, p)) << free;
    }
    uint32_t bits = 0;
    std::memcpy(&bits, &kNtscFrameRate, sizeof bits);
    EXPECT_EQ(bits, 0x41EFC29Fu);
}

TEST(FormatRules, AcceptedRatesAreOpenWindows) {
    for (double ok : {24.0, 25.0, 30.0, 50.0, 60.0, 23.976, 29.97, 59.94, 24.0009, 29.9700298})
        EXPECT_TRUE(IsAcceptedFrameRate(ok)) << ok;
    for (double bad : {0.0, 15.0, 23.999, 24.001, 26.0, 29.969, 29.971, 12.5, 100.0, -25.0})
        EXPECT_FALSE(IsAcceptedFrameRate(bad)) << bad;
}

TEST(FormatRules, OutputRateChoice) {
    // A chosen rate is kept when accepted, else becomes 25.
    RateChoice c = ChooseOutputRate(23.976f, 15.0, kFormatAvi);
    EXPECT_FLOAT_EQ(static_cast<float>(c.rate), 23.976f);
    EXPECT_FLOAT_EQ(c.engineRate, 23.976f);
    c = ChooseOutputRate(26.0f, 15.0, kFormatAvi);
    EXPECT_EQ(c.rate, 25.0);
    EXPECT_EQ(c.engineRate, 25.0f);

    // The source's rate: kept for AVI and WMV even when unusual...
    c = ChooseOutputRate(0.0f, 15.0, kFormatAvi);
    EXPECT_EQ(c.rate, 15.0);
    EXPECT_EQ(c.engineRate, 0.0f);
    c = ChooseOutputRate(0.0f, 15.0, kFormatWmv);
    EXPECT_EQ(c.rate, 15.0);
    // ... but the MPEG family falls back to 25 and says so.
    c = ChooseOutputRate(0.0f, 15.0, kFormatMpeg1);
    EXPECT_EQ(c.rate, 25.0);
    EXPECT_EQ(c.engineRate, 25.0f);
    c = ChooseOutputRate(0.0f, 29.97, kFormatMpeg2);
    EXPECT_EQ(c.rate, 29.97);
    EXPECT_EQ(c.engineRate, 0.0f);

    // An unknown source rate gives 25 everywhere.
    c = ChooseOutputRate(0.0f, 0.0, kFormatAvi);
    EXPECT_EQ(c.rate, 25.0);
    EXPECT_EQ(c.engineRate, 25.0f);
}
