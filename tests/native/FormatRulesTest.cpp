#include "convctl/FormatRules.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace convctl;

// The disc formats alone fix size and rate (the sizes themselves are checked
// against the encoder's plan under Wine).
TEST(FormatRules, OnlyDiscFormatsFixSizeAndRate) {
    for (int disc : {kFormatVcdPal, kFormatVcdNtsc, kFormatSvcdPal, kFormatSvcdNtsc, kFormatDvdPal, kFormatDvdNtsc}) {
        FormatPreset p{};
        EXPECT_TRUE(PresetFor(disc, p)) << disc;
    }
    for (int free : {int(kFormatAvi), int(kFormatWmv), int(kFormatMpeg1), int(kFormatMpeg2), 10, -1}) {
        FormatPreset p{};
        EXPECT_FALSE(PresetFor(free, p)) << free;
    }
    // NTSC's rate reaches the encoder as exactly these float bits.
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
