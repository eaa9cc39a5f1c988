// The Windows Media catalog held against the FFmpeg encoders that do the
// work: every format it offers must open, and describe the stream the
// encoder really writes.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
}

#include <memory>
#include <set>
#include <string>

#include "platform/wm/WmCatalog.h"

namespace {

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;

CodecContextPtr OpenAudio(const wm::AudioCodecInfo& codec, const wm::AudioFormat& format) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(codec.encoderName);
    if (!encoder) return nullptr;
    CodecContextPtr ctx(avcodec_alloc_context3(encoder));
    ctx->sample_rate = static_cast<int>(format.sampleRate);
    av_channel_layout_default(&ctx->ch_layout, format.channels);
    ctx->sample_fmt = encoder->sample_fmts[0];
    ctx->bit_rate = format.bitRate;
    if (avcodec_open2(ctx.get(), encoder, nullptr) < 0) return nullptr;
    return ctx;
}

bool VideoOpens(const wm::VideoCodecInfo& codec, uint32_t width, uint32_t height, uint32_t fps, uint32_t bitRate) {
    const AVCodec* encoder = avcodec_find_encoder_by_name(codec.encoderName);
    if (!encoder) return false;
    CodecContextPtr ctx(avcodec_alloc_context3(encoder));
    ctx->width = static_cast<int>(width);
    ctx->height = static_cast<int>(height);
    ctx->pix_fmt = AV_PIX_FMT_YUV420P;
    ctx->time_base = AVRational{1, static_cast<int>(fps)};
    ctx->bit_rate = bitRate;
    return avcodec_open2(ctx.get(), encoder, nullptr) >= 0;
}

uint32_t TotalRate(const wm::SystemProfileSpec& p) { return p.video.bitRate + p.audio.format.bitRate; }

uint64_t PixelRate(const wm::SystemProfileSpec& p) {
    return static_cast<uint64_t>(p.video.width) * p.video.height * p.video.fps;
}

}  // namespace

TEST(WmCatalog, EveryAudioFormatOpensAndMatchesItsEncoder) {
    av_log_set_level(AV_LOG_QUIET);
    for (const auto& codec : wm::AudioCodecs()) {
        for (const auto& format : wm::AudioFormats()) {
            SCOPED_TRACE(std::string(codec.encoderName) + " " + wm::AudioFormatText(format));
            const CodecContextPtr ctx = OpenAudio(codec, format);
            ASSERT_TRUE(ctx);
            const wm::AudioFormatFacts facts = wm::DescribeAudioFormat(codec, format);
            EXPECT_EQ(facts.blockAlign, ctx->block_align);
            EXPECT_EQ(facts.avgBytesPerSec * 8, ctx->bit_rate);
            ASSERT_EQ(facts.extra.size(), static_cast<size_t>(ctx->extradata_size));
            EXPECT_TRUE(std::equal(facts.extra.begin(), facts.extra.end(), ctx->extradata));
        }
    }
}

TEST(WmCatalog, SystemProfilesRiseInRateAndEveryStreamEncodes) {
    av_log_set_level(AV_LOG_QUIET);
    const auto& profiles = wm::SystemProfiles();
    ASSERT_GE(profiles.size(), 2u);
    EXPECT_LE(TotalRate(profiles.front()), 64000u);  // dial-up streaming at the low end
    EXPECT_GE(profiles.back().video.width, 1280u);   // high definition at the top
    std::set<std::string> names;
    for (size_t i = 0; i < profiles.size(); ++i) {
        const auto& p = profiles[i];
        SCOPED_TRACE(p.name);
        EXPECT_TRUE(names.insert(p.name).second);
        if (i > 0) {
            EXPECT_GT(TotalRate(p), TotalRate(profiles[i - 1]));
            // More bits are meant for more pictures, never for fewer.
            EXPECT_GE(PixelRate(p), PixelRate(profiles[i - 1]));
        }
        ASSERT_LT(p.video.codec, wm::VideoCodecs().size());
        ASSERT_LT(p.audio.codec, wm::AudioCodecs().size());
        EXPECT_TRUE(VideoOpens(wm::VideoCodecs()[p.video.codec], p.video.width, p.video.height, p.video.fps,
                               p.video.bitRate));
        // The audio is one of the formats its codec lists.
        bool listed = false;
        for (const auto& f : wm::AudioFormats())
            listed = listed || (f.sampleRate == p.audio.format.sampleRate && f.channels == p.audio.format.channels &&
                                f.bitRate == p.audio.format.bitRate);
        EXPECT_TRUE(listed);
        EXPECT_LE(p.video.quality, 100u);
        EXPECT_GT(p.video.keyFrameSeconds, 0u);
    }
}

TEST(WmCatalog, DescriptionsSayWhatTheProfileHolds) {
    EXPECT_EQ(wm::AudioFormatText({44100, 2, 128000}), "128 Kbps, 44.1 kHz, stereo");
    EXPECT_EQ(wm::AudioFormatText({16000, 1, 24000}), "24 Kbps, 16 kHz, mono");
    EXPECT_EQ(wm::ProfileDescription(wm::SystemProfiles().front()),
              "For dial-up modems and very small files; suits talking heads and slides. Video: WMV2 at 32 Kbps, "
              "made for pictures up to 160 x 120 at 15 frames per second; the file keeps the frame size and rate "
              "chosen for the conversion. Audio: WMA2 at 24 Kbps, 16 kHz, mono.");
}

