#include "platform/mpeg/MpegPlan.h"

#include <gtest/gtest.h>

#include <string>

using namespace mpegenc;

namespace {

Plan PlanFor(const Settings& s, const InputFacts& input = {640, 480, 25.0, 44100, 2}) {
    Plan plan;
    const char* reason = nullptr;
    EXPECT_TRUE(MakePlan(s, input, plan, &reason)) << (reason ? reason : "");
    return plan;
}

Settings Defaults(int preset) {
    Settings s;
    s.preset = preset;
    LoadPresetDefaults(s);
    ClearOverrides(s);
    return s;
}

}  // namespace

// The standards each disc preset writes, whatever the caller asked for.
TEST(MpegPlan, DiscPresetsFollowTheirStandards) {
    struct Case {
        int preset;
        const char* codec;
        int w, h, rateNum, rateDen, gop;
        int64_t bitRate, maxRate, minRate;
        int vbv;
        const char* audio;
        int sampleRate;
        int64_t audioBitRate;
        const char* muxer;
        int packetSize;
        int64_t muxRate;
        int aspectNum, aspectDen;
    };
    const Case cases[] = {
        {kPresetVcdPal, "mpeg1video", 352, 288, 25, 1, 15, 1150000, 1150000, 1150000, 327680, "mp2", 44100, 224000,
         "vcd", 2324, 1411200, 12, 11},
        {kPresetVcdNtsc, "mpeg1video", 352, 240, 30000, 1001, 18, 1150000, 1150000, 1150000, 327680, "mp2", 44100,
         224000, "vcd", 2324, 1411200, 10, 11},
        {kPresetSvcdPal, "mpeg2video", 480, 576, 25, 1, 15, 2040000, 2516000, 0, 1835008, "mp2", 44100, 224000, "svcd",
         2324, 0, 8, 5},
        {kPresetSvcdNtsc, "mpeg2video", 480, 480, 30000, 1001, 18, 2040000, 2516000, 0, 1835008, "mp2", 44100, 224000,
         "svcd", 2324, 0, 4, 3},
        {kPresetDvdPal, "mpeg2video", 720, 576, 25, 1, 15, 6000000, 9000000, 0, 1835008, "ac3", 48000, 448000, "dvd",
         2048, 10080000, 16, 15},
        {kPresetDvdNtsc, "mpeg2video", 720, 480, 30000, 1001, 18, 6000000, 9000000, 0, 1835008, "ac3", 48000, 448000,
         "dvd", 2048, 10080000, 8, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.preset);
        Settings s = Defaults(c.preset);
        // Requests that the standards do not allow are overruled.
        s.width = 640;
        s.height = 360;
        s.frameRate = 50.0f;
        const Plan p = PlanFor(s, {1280, 720, 50.0, 22050, 1});
        EXPECT_EQ(std::string(p.videoCodec), c.codec);
        EXPECT_EQ(p.width, c.w);
        EXPECT_EQ(p.height, c.h);
        EXPECT_EQ(p.frameRate.num, c.rateNum);
        EXPECT_EQ(p.frameRate.den, c.rateDen);
        EXPECT_EQ(p.gopSize, c.gop);
        EXPECT_EQ(p.qscale, 0);
        EXPECT_EQ(p.bitRate, c.bitRate);
        EXPECT_EQ(p.maxRate, c.maxRate);
        EXPECT_EQ(p.minRate, c.minRate);
        EXPECT_EQ(p.vbvBufferBits, c.vbv);
        EXPECT_EQ(std::string(p.audioCodec), c.audio);
        EXPECT_EQ(p.sampleRate, c.sampleRate);
        EXPECT_EQ(p.channels, 2);
        EXPECT_EQ(p.audioBitRate, c.audioBitRate);
        EXPECT_EQ(std::string(p.muxer), c.muxer);
        EXPECT_EQ(p.packetSize, c.packetSize);
        EXPECT_EQ(p.muxRate, c.muxRate);
        EXPECT_EQ(p.sampleAspect.num, c.aspectNum);
        EXPECT_EQ(p.sampleAspect.den, c.aspectDen);
        const bool mpeg2 = std::string(c.codec) == "mpeg2video";
        EXPECT_EQ(p.profile, mpeg2 ? kProfileMain : -99);
        EXPECT_EQ(p.level, mpeg2 ? kLevelMain : -99);
        EXPECT_EQ(p.scanOffset, c.preset == kPresetSvcdPal || c.preset == kPresetSvcdNtsc);
    }
    EXPECT_EQ(PlanFor(Defaults(kPresetVcdPal)).preloadMicroseconds, 440000);
}

TEST(MpegPlan, DiscBitRatesStayInsideTheStandard) {
    // VCD is constant 1150 kbit/s video and 224 kbit/s audio, VBR or not.
    Settings vcd = Defaults(kPresetVcdNtsc);
    EXPECT_FALSE(vcd.vbr);
    vcd.vbr = true;
    vcd.videoKbps = 3000;
    vcd.audioKbps = 128;
    Plan p = PlanFor(vcd);
    EXPECT_EQ(p.bitRate, 1150000);
    EXPECT_EQ(p.minRate, 1150000);
    EXPECT_EQ(p.audioBitRate, 224000);

    // DVD: the average is capped by the ceiling; CBR pins all three; AC-3
    // rates snap to the codec's table and stop at 448.
    Settings dvd = Defaults(kPresetDvdPal);
    dvd.videoKbps = 12000;
    dvd.audioKbps = 700;
    p = PlanFor(dvd);
    EXPECT_EQ(p.bitRate, 9000000);
    EXPECT_EQ(p.maxRate, 9000000);
    EXPECT_EQ(p.audioBitRate, 448000);
    dvd.vbr = false;
    dvd.videoKbps = 5000;
    dvd.audioKbps = 200;
    p = PlanFor(dvd);
    EXPECT_EQ(p.bitRate, 5000000);
    EXPECT_EQ(p.maxRate, 5000000);
    EXPECT_EQ(p.minRate, 5000000);
    EXPECT_EQ(p.audioBitRate, 192000);

    Settings svcd = Defaults(kPresetSvcdPal);
    svcd.audioKbps = 100;
    EXPECT_EQ(PlanFor(svcd).audioBitRate, 96000);
}

TEST(MpegPlan, FreePresetsTakeTheInputOrTheOverrides) {
    Settings m1 = Defaults(kPresetMpeg1);
    Plan p = PlanFor(m1, {321, 241, 29.97, 22050, 1});
    EXPECT_EQ(std::string(p.videoCodec), "mpeg1video");
    EXPECT_EQ(std::string(p.muxer), "mpeg");
    EXPECT_EQ(p.width, 320);  // even sizes for 4:2:0
    EXPECT_EQ(p.height, 240);
    EXPECT_EQ(p.frameRate.num, 30000);
    EXPECT_EQ(p.frameRate.den, 1001);
    EXPECT_EQ(p.sampleAspect.num, 1);
    EXPECT_EQ(p.sampleAspect.den, 1);
    EXPECT_EQ(std::string(p.audioCodec), "mp2");
    EXPECT_EQ(p.sampleRate, 44100);  // 22050 is not an MPEG-1 rate
    EXPECT_EQ(p.channels, 1);
    EXPECT_EQ(p.audioBitRate, 192000);
    // Default VBR without a bit rate: constant quality 90.
    EXPECT_EQ(p.bitRate, 0);
    EXPECT_EQ(p.qscale, 4);

    m1.width = 400;
    m1.height = 300;
    m1.frameRate = 23.976f;
    m1.videoKbps = 1500;
    m1.vbr = false;
    p = PlanFor(m1, {640, 480, 25.0, 48000, 2});
    EXPECT_EQ(p.width, 400);
    EXPECT_EQ(p.height, 300);
    EXPECT_EQ(p.frameRate.num, 24000);
    EXPECT_EQ(p.frameRate.den, 1001);
    EXPECT_EQ(p.bitRate, 1500000);
    EXPECT_EQ(p.maxRate, 1500000);
    EXPECT_EQ(p.minRate, 1500000);
    EXPECT_GT(p.vbvBufferBits, 0);
    EXPECT_EQ(p.sampleRate, 48000);
    EXPECT_EQ(p.channels, 2);

    Settings m2 = Defaults(kPresetMpeg2);
    m2.vbr = true;
    m2.videoKbps = 3000;  // average without a ceiling
    p = PlanFor(m2, {1920, 1080, 25.0, 32000, 6});
    EXPECT_EQ(std::string(p.videoCodec), "mpeg2video");
    EXPECT_EQ(std::string(p.muxer), "vob");
    EXPECT_EQ(p.bitRate, 3000000);
    EXPECT_EQ(p.maxRate, 0);
    EXPECT_EQ(p.qscale, 0);
    EXPECT_EQ(p.level, kLevelHigh);  // 1920x1080 does not fit main level
    EXPECT_EQ(p.sampleRate, 32000);
    EXPECT_EQ(p.channels, 2);
}

TEST(MpegPlan, QualityMapsToTheQuantizer) {
    Settings s = Defaults(kPresetMpeg2);
    const std::pair<int, int> cases[] = {{100, 2}, {90, 4}, {50, 16}, {0, 31}, {-5, 31}, {150, 2}};
    for (const auto& [quality, q] : cases) {
        s.quality = quality;
        EXPECT_EQ(PlanFor(s).qscale, q) << quality;
    }
}

TEST(MpegPlan, FrameRatesSnapToTheMpegTable) {
    const struct {
        double fps;
        int num, den;
    } cases[] = {{23.976, 24000, 1001}, {29.97, 30000, 1001}, {29.9700298, 30000, 1001}, {59.94, 60000, 1001},
                 {24.0, 24, 1},         {25.0, 25, 1},        {30.0, 30, 1},              {50.0, 50, 1},
                 {60.0, 60, 1},         {15.0, 24000, 1001},  {26.0, 25, 1},              {120.0, 60, 1},
                 {0.0, 25, 1},          {-3.0, 25, 1}};
    for (const auto& c : cases) {
        const Rational r = SnapFrameRate(c.fps);
        EXPECT_EQ(r.num, c.num) << c.fps;
        EXPECT_EQ(r.den, c.den) << c.fps;
    }
}

TEST(MpegPlan, AudioBitRatesSnapToTheCodecTables) {
    EXPECT_EQ(SnapMp2BitRate(128, 2), 128);
    EXPECT_EQ(SnapMp2BitRate(200, 2), 192);
    EXPECT_EQ(SnapMp2BitRate(1000, 2), 384);
    EXPECT_EQ(SnapMp2BitRate(384, 1), 192);
    EXPECT_EQ(SnapMp2BitRate(1, 2), 32);
    EXPECT_EQ(SnapAc3BitRate(450, 448), 448);
    EXPECT_EQ(SnapAc3BitRate(640, 640), 640);
    EXPECT_EQ(SnapAc3BitRate(100, 448), 96);
}

TEST(MpegPlan, Mpeg2LevelIsRaisedToFitThePicture) {
    EXPECT_EQ(ChooseMpeg2Level(kLevelLow, 352, 288, 25.0, 3000000), kLevelLow);
    EXPECT_EQ(ChooseMpeg2Level(kLevelLow, 720, 576, 25.0, 3000000), kLevelMain);
    EXPECT_EQ(ChooseMpeg2Level(kLevelLow, 352, 288, 25.0, 6000000), kLevelMain);
    EXPECT_EQ(ChooseMpeg2Level(kLevelMain, 352, 288, 25.0, 1000000), kLevelMain);
    EXPECT_EQ(ChooseMpeg2Level(kLevelMain, 1440, 1080, 25.0, 1000000), kLevelHigh1440);
    EXPECT_EQ(ChooseMpeg2Level(kLevelMain, 720, 576, 50.0, 1000000), kLevelHigh1440);
    EXPECT_EQ(ChooseMpeg2Level(kLevelMain, 4000, 3000, 25.0, 1000000), kLevelHigh);
}

TEST(MpegPlan, SettingsThatCannotMakeAFileAreRefused) {
    Plan p;
    const char* reason = nullptr;
    Settings s = Defaults(kPresetMpeg1);
    s.preset = 8;
    EXPECT_FALSE(MakePlan(s, {320, 240, 25.0, 44100, 2}, p, &reason));
    EXPECT_NE(reason, nullptr);
    s = Defaults(kPresetMpeg1);
    s.videoEnabled = s.audioEnabled = false;
    EXPECT_FALSE(MakePlan(s, {320, 240, 25.0, 44100, 2}, p, &reason));
    s = Defaults(kPresetMpeg1);
    EXPECT_FALSE(MakePlan(s, {0, 0, 25.0, 44100, 2}, p, &reason));  // no size at all
    EXPECT_FALSE(MakePlan(s, {5000, 240, 25.0, 44100, 2}, p, &reason));
    s.preset = kPresetMpeg2;
    EXPECT_TRUE(MakePlan(s, {5000, 240, 25.0, 44100, 2}, p, &reason));
    // Audio alone needs no picture.
    s = Defaults(kPresetMpeg1);
    s.videoEnabled = false;
    EXPECT_TRUE(MakePlan(s, {0, 0, 0.0, 44100, 2}, p, &reason));
    EXPECT_FALSE(p.video);
}

TEST(MpegPlan, PresetDefaultsAndOverridesReset) {
    Settings s;
    s.preset = kPresetDvdNtsc;
    s.width = 10;
    s.frameRate = 12.0f;
    s.inputFrameRate = 12.0f;
    s.videoKbps = 5;
    s.audioKbps = 6;
    s.quality = 3;
    s.vbr = false;
    s.videoEnabled = false;
    s.mpeg2Level = kLevelLow;
    LoadPresetDefaults(s);
    EXPECT_EQ(s.preset, kPresetDvdNtsc);
    EXPECT_EQ(s.width, 10);  // overrides stay
    EXPECT_EQ(s.quality, 90);
    EXPECT_TRUE(s.vbr);
    EXPECT_TRUE(s.videoEnabled);
    EXPECT_EQ(s.mpeg2Level, kLevelMain);
    ClearOverrides(s);
    EXPECT_EQ(s.width, 0);
    EXPECT_EQ(s.frameRate, 0.0f);
    EXPECT_EQ(s.inputFrameRate, 0.0f);
    EXPECT_EQ(s.videoKbps, 0);
    EXPECT_EQ(s.audioKbps, 0);
}
