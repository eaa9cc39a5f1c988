// Every preset's plan written to a file and read back with FFmpeg.
#include "platform/mpeg/MpegWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/MediaError.h"
#include "tests/mpeg/common/MpegExpect.h"
#include "tests/mpeg/common/MpegProbe.h"
#include "tools/clipgen/ClipWriter.h"

using namespace mpegenc;

namespace {

std::string OutPath(const std::string& name) {
    std::filesystem::create_directories(OUT_DIR);
    return std::string(OUT_DIR) + "/" + name;
}

struct Feed {
    int width, height;
    int frames;
    int slotsPerFrame = 1;
    int sampleRate = 44100;
    int channels = 2;
    double audioSeconds = 0.0;
};

// Writes `feed` through a writer for `plan`; returns the probe of the file.
mpegtest::ProbedMpeg WriteAndProbe(const Plan& plan, const Feed& feed, const std::string& name) {
    const std::string path = OutPath(name);
    {
        auto sink = media::CreateFileSink(path);
        MpegWriter writer(plan, {feed.width, feed.height, feed.sampleRate, feed.channels}, *sink);
        std::vector<unsigned char> picture(static_cast<size_t>(feed.width) * feed.height * 4);
        const int audioFrames = static_cast<int>(feed.audioSeconds * feed.sampleRate);
        std::vector<int16_t> pcm(static_cast<size_t>(audioFrames) * feed.channels);
        for (int i = 0; i < audioFrames; ++i)
            for (int c = 0; c < feed.channels; ++c)
                pcm[static_cast<size_t>(i) * feed.channels + c] =
                    static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440.0 * i / feed.sampleRate));
        // Interleave the two streams roughly by time, as the filter does.
        int audioDone = 0;
        for (int f = 0; f < feed.frames; ++f) {
            clipgen::DrawPattern(picture.data(), feed.width, feed.height, f);
            writer.WriteVideo(picture.data(), feed.width * 4, false, feed.slotsPerFrame);
            const int until = std::min(audioFrames, audioFrames * (f + 1) / std::max(feed.frames, 1));
            writer.WriteAudio(pcm.data() + static_cast<size_t>(audioDone) * feed.channels, until - audioDone);
            audioDone = until;
        }
        writer.WriteAudio(pcm.data() + static_cast<size_t>(audioDone) * feed.channels, audioFrames - audioDone);
        writer.Finish();
    }
    return mpegtest::ProbeMpeg(path);
}

Plan PlanOf(int preset, const InputFacts& input, bool audio) {
    Settings s;
    s.preset = preset;
    LoadPresetDefaults(s);
    s.audioEnabled = audio;
    Plan plan;
    const char* reason = nullptr;
    EXPECT_TRUE(MakePlan(s, input, plan, &reason)) << (reason ? reason : "");
    return plan;
}

}  // namespace

TEST(MpegWriter, EveryPresetWritesItsStandardWithAndWithoutAudio) {
    for (const mpegtest::PresetFile& e : mpegtest::PresetFiles()) {
        for (bool audio : {true, false}) {
            SCOPED_TRACE(std::string(e.name) + (audio ? " with audio" : " without audio"));
            const double fps = static_cast<double>(e.rateNum) / e.rateDen;
            const Plan plan = PlanOf(e.preset, {e.width, e.height, fps, 44100, 2}, audio);
            Feed feed{e.width, e.height, 12};
            feed.audioSeconds = audio ? 12 / fps : 0.0;
            const auto p = WriteAndProbe(plan, feed, std::string(e.name) + (audio ? "_av.mpg" : "_v.mpg"));
            for (const std::string& m : mpegtest::Mismatches(p, e, 12, 0, audio)) ADD_FAILURE() << m;
            // MPEG-1 stores the nearest entry of its pixel-aspect table.
            ASSERT_GT(p.aspectDen, 0);
            EXPECT_NEAR(static_cast<double>(p.aspectNum) / p.aspectDen,
                        static_cast<double>(plan.sampleAspect.num) / plan.sampleAspect.den, 0.01);
            if (std::string(e.videoCodec) == "mpeg2video") {
                EXPECT_EQ(p.profile, kProfileMain);
                EXPECT_EQ(p.level, kLevelMain);
            }
            if (audio) {
                EXPECT_EQ(p.audioBitRate, plan.audioBitRate);
                EXPECT_NEAR(p.audioSeconds, 12 / fps, 0.1);
            }
        }
    }
}

TEST(MpegWriter, SlotsRepeatAndDropPictures) {
    const Plan plan = PlanOf(kPresetMpeg1, {160, 120, 25.0, 44100, 2}, false);
    Feed twice{160, 120, 10, 2};
    EXPECT_EQ(WriteAndProbe(plan, twice, "slots2.mpg").videoFrames, 20);
    Feed none{160, 120, 10, 0};
    const auto p = WriteAndProbe(plan, none, "slots0.mpg");
    EXPECT_EQ(p.videoFrames, 0);
}

TEST(MpegWriter, OddInputSizesAreCroppedToEvenOnes) {
    const Plan plan = PlanOf(kPresetMpeg2, {161, 121, 25.0, 44100, 2}, true);
    EXPECT_EQ(plan.width, 160);
    Feed feed{161, 121, 5};
    feed.audioSeconds = 0.2;
    // Rows are 161 pixels apart in the input.
    const auto p = WriteAndProbe(plan, feed, "odd.mpg");
    EXPECT_EQ(p.width, 160);
    EXPECT_EQ(p.height, 120);
    EXPECT_EQ(p.videoFrames, 5);
}

TEST(MpegWriter, MonoAudioBecomesStereoOnDiscs) {
    const Plan plan = PlanOf(kPresetVcdPal, {352, 288, 25.0, 22050, 1}, true);
    Feed feed{352, 288, 5};
    feed.sampleRate = 22050;
    feed.channels = 1;
    feed.audioSeconds = 0.2;
    const auto p = WriteAndProbe(plan, feed, "mono.mpg");
    EXPECT_EQ(p.sampleRate, 44100);
    EXPECT_EQ(p.channels, 2);
}

TEST(MpegWriter, AudioWithoutAFormatIsRefused) {
    const Plan plan = PlanOf(kPresetMpeg1, {160, 120, 25.0, 0, 0}, true);
    auto sink = media::CreateFileSink(OutPath("noformat.mpg"));
    EXPECT_THROW(MpegWriter(plan, {160, 120, 0, 0}, *sink), media::MediaError);
}
