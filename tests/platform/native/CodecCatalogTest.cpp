// Every compressor of the catalogue writes an AVI stream that FFmpeg reads
// back as the right codec with the right tag; settings survive their byte
// form and are brought into range.
#include <gtest/gtest.h>

#include "platform/core/CodecCatalog.h"
#include "platform/core/Muxer.h"
#include "tests/platform/native/TestClips.h"

namespace {

std::string Source() {
    clipgen::ClipSpec s;
    s.seconds = 0.4;
    return testclips::Clip("short.avi", s);
}

}  // namespace

TEST(Catalog, EveryVideoCompressorWritesItsTag) {
    for (const auto& c : media::VideoCodecs()) {
        SCOPED_TRACE(c.key);
        const int w = c.dvSizes ? 720 : 176, h = c.dvSizes ? 576 : 144;
        EXPECT_TRUE(media::AcceptsPicture(c, w, h, {25, 1}));
        const std::string out = testclips::Dir() + "/catalog-" + c.key + ".avi";
        testclips::Transcode(Source(), out,
                             {c.encoder, c.fourcc, media::EncoderPixelFormat(c, w, h), w, h, {25, 1}, "pcm_s16le",
                              AV_TIME_BASE * 2 / 5});
        const auto v = testclips::ReadStream(out, true);
        ASSERT_TRUE(v.present);
        EXPECT_EQ(v.codec, media::CodecOfFourcc(c.fourcc));
        EXPECT_NE(v.codec, AV_CODEC_ID_NONE);
        EXPECT_EQ(v.tag, c.fourcc);
        EXPECT_EQ(v.width, w);
        EXPECT_EQ(v.packets, 10);
    }
}

TEST(Catalog, EveryAudioCompressorWritesItsTag) {
    for (const auto& c : media::AudioCodecs()) {
        SCOPED_TRACE(c.key);
        const std::string out = testclips::Dir() + "/catalog-" + c.key + ".avi";
        testclips::Transcode(Source(), out,
                             {"mpeg4", 0, AV_PIX_FMT_YUV420P, 64, 48, {25, 1}, c.encoder, AV_TIME_BASE * 2 / 5});
        const auto a = testclips::ReadStream(out, false);
        ASSERT_TRUE(a.present);
        EXPECT_EQ(a.tag, c.formatTag);
        EXPECT_EQ(a.codec, media::CodecOfWaveTag(c.formatTag));
        EXPECT_EQ(a.channels, 2);
    }
}

TEST(Catalog, CompressorsTakeTheOddSizesTheirEncodersTake) {
    // Scaled 16:9 pictures come out odd; FFmpeg's encoders of all these
    // take them, so the compressors must not refuse them.
    for (const auto& c : media::VideoCodecs()) {
        if (c.dvSizes) continue;
        SCOPED_TRACE(c.key);
        for (const auto& [w, h] : {std::pair{720, 405}, std::pair{721, 405}, std::pair{853, 480}})
            EXPECT_TRUE(media::AcceptsPicture(c, w, h, {25, 1})) << w << "x" << h;
        EXPECT_FALSE(media::AcceptsPicture(c, 0, 480, {25, 1}));
    }
}

TEST(Catalog, DvTakesOnlyItsSizes) {
    const auto& dv = media::VideoCodecs().back();
    ASSERT_TRUE(dv.dvSizes);
    EXPECT_TRUE(media::AcceptsPicture(dv, 720, 480, {30000, 1001}));
    EXPECT_FALSE(media::AcceptsPicture(dv, 720, 480, {25, 1}));
    EXPECT_FALSE(media::AcceptsPicture(dv, 640, 480, {30000, 1001}));
    EXPECT_EQ(media::EncoderPixelFormat(dv, 720, 480), AV_PIX_FMT_YUV411P);
}

TEST(Settings, RoundTripAndRanges) {
    const auto& mpeg4 = media::VideoCodecs().front();
    media::VideoSettings v{true, 2500, 7, 100};
    media::VideoSettings back;
    const auto bytes = media::Serialize(v);
    ASSERT_TRUE(media::Deserialize(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.useQuality, true);
    EXPECT_EQ(back.bitRateKbps, 2500);
    EXPECT_EQ(back.quality, 7);
    EXPECT_EQ(back.keyInterval, 100);
    EXPECT_FALSE(media::Deserialize(bytes.data(), bytes.size() - 1, back));
    media::AudioSettings a;
    EXPECT_FALSE(media::Deserialize(bytes.data(), bytes.size(), a)) << "a video blob is no audio state";

    const media::VideoSettings wild = media::Clamped(mpeg4, {false, 1, 99, -5});
    EXPECT_EQ(wild.bitRateKbps, 100);
    EXPECT_EQ(wild.quality, 31);
    EXPECT_EQ(wild.keyInterval, 0);

    const auto& mp3 = media::AudioCodecs().front();
    EXPECT_EQ(media::Clamped(mp3, {129, 0}).bitRateKbps, mp3.defaultBitRateKbps);
    EXPECT_EQ(media::Clamped(mp3, {192, 12345}).sampleRate, 0) << "not a rate the encoder takes";
    EXPECT_EQ(media::Clamped(mp3, {192, 32000}).sampleRate, 32000);
}
