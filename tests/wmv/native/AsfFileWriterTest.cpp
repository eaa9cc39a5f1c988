// The ASF file writer on generated pictures and sound, read back with
// FFmpeg's libraries: the codecs and rates of the profile, the input's
// frame size, the duration fed in.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/asf/AsfFileWriter.h"
#include "platform/core/ByteIo.h"
#include "platform/core/MediaError.h"
#include "platform/wm/WmCatalog.h"
#include "tests/wmv/common/MediaProbe.h"
#include "tools/clipgen/ClipWriter.h"

namespace {

constexpr int64_t kUnits = 10000000;
// Rate control settles over seconds; in a clip of two the first key frame
// of the moving test pattern alone costs this much.
constexpr double kKeyFrameAllowance = 60000;

std::vector<asfw::StreamPlan> PlansOf(const wm::SystemProfileSpec& p) {
    asfw::StreamPlan video;
    video.video = true;
    video.encoder = wm::VideoCodecs()[p.video.codec].encoderName;
    video.tag = wm::VideoCodecs()[p.video.codec].fourcc;
    video.bitRate = p.video.bitRate;
    video.keyFrameSpacing = p.video.keyFrameSeconds * kUnits;
    video.bufferMs = p.video.bufferMs;
    asfw::StreamPlan audio;
    audio.encoder = wm::AudioCodecs()[p.audio.codec].encoderName;
    audio.tag = wm::AudioCodecs()[p.audio.codec].formatTag;
    audio.bitRate = p.audio.format.bitRate;
    audio.sampleRate = static_cast<int>(p.audio.format.sampleRate);
    audio.channels = p.audio.format.channels;
    audio.bufferMs = p.audio.bufferMs;
    return {video, audio};
}

// The process id keeps two runs of the suite on one machine (each test is a
// process of its own) from writing and removing each other's files.
std::string TempPath(const char* name) {
    return std::string(::testing::TempDir()) + "asfwriter_" + name + "_" + std::to_string(getpid()) + ".wmv";
}

// Writes seconds of pattern and tone: 160 x 120 at 25 fps, 44.1 kHz stereo,
// video and audio handed over in turns as two streaming threads would.
void WriteClip(const std::string& path, const std::vector<asfw::StreamPlan>& plans, double seconds,
               int width = 160, int height = 120) {
    auto sink = media::CreateFileSink(path);
    asfw::StreamInput vin;
    vin.width = width;
    vin.height = height;
    vin.frameDuration = kUnits / 25;
    asfw::StreamInput ain;
    ain.sampleRate = 44100;
    ain.channels = 2;
    asfw::AsfFileWriter writer(*sink, plans, {vin, ain});
    std::vector<uint8_t> picture(static_cast<size_t>(width) * height * 4);
    std::vector<int16_t> pcm(44100 / 25 * 2);
    const int frames = static_cast<int>(seconds * 25);
    for (int n = 0; n < frames; ++n) {
        clipgen::DrawPattern(picture.data(), width, height, n);
        writer.Video(0, picture.data(), width * 4, false, n * vin.frameDuration);
        for (size_t i = 0; i < pcm.size(); i += 2)
            pcm[i] = pcm[i + 1] = static_cast<int16_t>(8000 * std::sin((n * 1764 + i / 2) * 0.0627));
        writer.Audio(1, pcm.data(), 44100 / 25);
        EXPECT_NEAR(writer.Position(), (n + 1) * vin.frameDuration, 1);
    }
    EXPECT_FALSE(writer.EndOfStream(0));
    EXPECT_TRUE(writer.EndOfStream(1));
    writer.Finish();
}

void ExpectProfileFile(const std::string& path, const wm::SystemProfileSpec& p, double seconds) {
    const wmvtest::ProbedFile file = wmvtest::ProbeMedia(path);
    ASSERT_EQ(file.error, "");
    EXPECT_EQ(file.format, "asf");
    ASSERT_EQ(file.streams.size(), 2u);
    const wmvtest::ProbedStream* v = file.Video();
    const wmvtest::ProbedStream* a = file.Audio();
    ASSERT_TRUE(v && a);
    EXPECT_EQ(v->codec, wm::VideoCodecs()[p.video.codec].encoderName);
    EXPECT_EQ(a->codec, wm::AudioCodecs()[p.audio.codec].encoderName);
    EXPECT_EQ(v->width, 160);
    EXPECT_EQ(v->height, 120);
    EXPECT_EQ(v->packets, static_cast<int64_t>(seconds * 25));
    EXPECT_EQ(a->sampleRate, static_cast<int>(p.audio.format.sampleRate));
    EXPECT_EQ(a->channels, p.audio.format.channels);
    EXPECT_NEAR(file.seconds, seconds, 0.15);
    EXPECT_EQ(file.declaredBitRate, p.video.bitRate + p.audio.format.bitRate);
    // The audio coder keeps its rate; the video one stays near its target
    // or below it (a small picture cannot use a high rate).
    const double audioRate = a->bytes * 8 / a->seconds;
    EXPECT_NEAR(audioRate, p.audio.format.bitRate, p.audio.format.bitRate * 0.15);
    const double videoRate = v->bytes * 8 / seconds;
    EXPECT_LT(videoRate, p.video.bitRate * 1.5 + kKeyFrameAllowance);
}

struct DecodedPicture {
    int64_t frame;  // presentation time in frames at 25 fps
    double luma;    // mean of the luma plane
};

// Every picture of the file's video stream as FFmpeg decodes it, in output order.
std::vector<DecodedPicture> DecodePictures(const std::string& path) {
    std::vector<DecodedPicture> out;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0) return out;
    avformat_find_stream_info(fmt, nullptr);
    const int v = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const AVCodec* codec = v >= 0 ? avcodec_find_decoder(fmt->streams[v]->codecpar->codec_id) : nullptr;
    AVCodecContext* dec = codec ? avcodec_alloc_context3(codec) : nullptr;
    if (dec && avcodec_parameters_to_context(dec, fmt->streams[v]->codecpar) >= 0 &&
        avcodec_open2(dec, codec, nullptr) >= 0) {
        AVPacket* pkt = av_packet_alloc();
        AVFrame* f = av_frame_alloc();
        const AVRational tb = fmt->streams[v]->time_base;
        auto drain = [&] {
            while (avcodec_receive_frame(dec, f) >= 0) {
                double sum = 0;
                for (int y = 0; y < f->height; ++y)
                    for (int x = 0; x < f->width; ++x) sum += f->data[0][y * f->linesize[0] + x];
                // The stream's times start at its preroll; frames count from the first.
                out.push_back({av_rescale_q(f->best_effort_timestamp, tb, AVRational{1, 25}),
                               sum / (f->width * f->height)});
            }
        };
        while (av_read_frame(fmt, pkt) >= 0) {
            if (pkt->stream_index == v && avcodec_send_packet(dec, pkt) >= 0) drain();
            av_packet_unref(pkt);
        }
        avcodec_send_packet(dec, nullptr);
        drain();
        av_frame_free(&f);
        av_packet_free(&pkt);
    }
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    if (!out.empty())
        for (auto it = out.rbegin(); it != out.rend(); ++it) it->frame -= out.front().frame;
    return out;
}

// A sink that takes the first bytes and refuses the rest, as a full disk does.
class FailingSink final : public media::ByteSink {
public:
    explicit FailingSink(int64_t room) : m_room(room) {}
    int Write(const uint8_t*, int size) override {
        if (m_position + size > m_room) return AVERROR(ENOSPC);
        m_position += size;
        return size;
    }
    int64_t Seek(int64_t offset, int whence) override {
        if (whence == SEEK_SET) m_position = offset;
        else if (whence == SEEK_CUR) m_position += offset;
        else return AVERROR(EINVAL);
        return m_position;
    }

private:
    int64_t m_room;
    int64_t m_position = 0;
};

asfw::StreamInput VideoInput() {
    asfw::StreamInput vin;
    vin.width = 160;
    vin.height = 120;
    vin.frameDuration = kUnits / 25;
    return vin;
}

asfw::StreamInput AudioInput() {
    asfw::StreamInput ain;
    ain.sampleRate = 44100;
    ain.channels = 2;
    return ain;
}

}  // namespace

TEST(AsfFileWriter, FirstAndLastSystemProfilesWriteReadableFiles) {
    for (const auto* p : {&wm::SystemProfiles().front(), &wm::SystemProfiles().back()}) {
        SCOPED_TRACE(p->name);
        const std::string path = TempPath(p == &wm::SystemProfiles().front() ? "first" : "last");
        WriteClip(path, PlansOf(*p), 2.0);
        ExpectProfileFile(path, *p, 2.0);
        std::remove(path.c_str());
    }
}

TEST(AsfFileWriter, OddFrameSizesAreWrittenAndMissingInputsRefused) {
    const auto plans = PlansOf(wm::SystemProfiles().front());
    // Odd heights are taken as they are; an odd width loses its last column,
    // as the Windows Media video encoders take only even widths.
    struct Case {
        int width, height, writtenWidth;
    };
    for (const Case& c : {Case{720, 405, 720}, Case{721, 405, 720}, Case{853, 480, 852}}) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(asfw::EncodedWidth(plans[0], c.width, c.height, kUnits / 25), c.writtenWidth);
        const std::string path = TempPath("odd");
        WriteClip(path, plans, 0.4, c.width, c.height);
        const wmvtest::ProbedFile file = wmvtest::ProbeMedia(path);
        ASSERT_EQ(file.error, "");
        ASSERT_TRUE(file.Video());
        EXPECT_EQ(file.Video()->width, c.writtenWidth);
        EXPECT_EQ(file.Video()->height, c.height);
        EXPECT_EQ(file.Video()->packets, 10);
        std::remove(path.c_str());
    }
    EXPECT_EQ(asfw::EncodedWidth(plans[0], 160, 0, kUnits / 25), 0);

    const std::string path = TempPath("missing");
    auto sink = media::CreateFileSink(path);
    asfw::StreamInput ain;
    ain.sampleRate = 44100;
    ain.channels = 2;
    EXPECT_THROW(asfw::AsfFileWriter(*sink, plans, {ain}), media::MediaError);
    std::remove(path.c_str());
}

TEST(AsfFileWriter, FinishingEarlyLeavesAReadableFile) {
    const auto& p = wm::SystemProfiles()[3];
    const std::string path = TempPath("early");
    {
        auto sink = media::CreateFileSink(path);
        asfw::StreamInput vin;
        vin.width = 160;
        vin.height = 120;
        vin.frameDuration = kUnits / 25;
        asfw::StreamInput ain;
        ain.sampleRate = 44100;
        ain.channels = 2;
        asfw::AsfFileWriter writer(*sink, PlansOf(p), {vin, ain});
        std::vector<uint8_t> picture(160 * 120 * 4);
        std::vector<int16_t> silence(44100 / 25 * 2);
        for (int n = 0; n < 10; ++n) {
            clipgen::DrawPattern(picture.data(), 160, 120, n);
            writer.Video(0, picture.data(), 160 * 4, true, n * vin.frameDuration);
            writer.Audio(1, silence.data(), 44100 / 25);
        }
        writer.Finish();  // as a stop does, without the streams' ends
    }
    const wmvtest::ProbedFile file = wmvtest::ProbeMedia(path);
    EXPECT_EQ(file.error, "");
    ASSERT_TRUE(file.Video());
    EXPECT_EQ(file.Video()->packets, 10);
    std::remove(path.c_str());
}

TEST(AsfFileWriter, FrameRatesFromFrameDurations) {
    EXPECT_EQ(av_cmp_q(asfw::RateOfFrameDuration(400000), AVRational{25, 1}), 0);
    const AVRational ntsc = asfw::RateOfFrameDuration(333667);
    EXPECT_NEAR(av_q2d(ntsc), 29.97, 1e-4);
    EXPECT_LE(ntsc.num, 65535);
    EXPECT_EQ(av_cmp_q(asfw::RateOfFrameDuration(0), AVRational{25, 1}), 0);
}

TEST(AsfFileWriter, EveryPictureIsWrittenInOrderAtItsTimeUpToAStop) {
    // The pictures are encoded on a thread of the stream's own: each one,
    // its frame's gap kept, in order, including those still waiting when
    // the writer is stopped without the streams' ends.
    const std::string path = TempPath("order");
    constexpr int kPictures = 24;
    constexpr int kGapAfter = 12;  // one frame's time without a picture
    {
        auto sink = media::CreateFileSink(path);
        const asfw::StreamInput vin = VideoInput();
        asfw::AsfFileWriter writer(*sink, PlansOf(wm::SystemProfiles().back()), {vin, AudioInput()});
        std::vector<uint8_t> picture(160 * 120 * 4);
        std::vector<int16_t> silence(44100 / 25 * 2);
        for (int n = 0; n < kPictures; ++n) {
            std::memset(picture.data(), 30 + 8 * n, picture.size());
            const int64_t frame = n < kGapAfter ? n : n + 1;
            writer.Video(0, picture.data(), 160 * 4, true, frame * vin.frameDuration);
            writer.Audio(1, silence.data(), 44100 / 25);
        }
        writer.Finish();
    }
    const std::vector<DecodedPicture> pictures = DecodePictures(path);
    ASSERT_EQ(pictures.size(), static_cast<size_t>(kPictures));
    for (int n = 0; n < kPictures; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(pictures[n].frame, n < kGapAfter ? n : n + 1);
        if (n > 0) {
            EXPECT_GT(pictures[n].luma, pictures[n - 1].luma + 3);
        }
    }
    std::remove(path.c_str());
}

TEST(AsfFileWriter, AFailingWriteReachesTheCallerAndTheWriterStillCloses) {
    // Packets of the encoding thread are written on the callers' threads:
    // a write that fails is thrown to one of them, not lost.
    FailingSink sink(64 * 1024);
    std::vector<uint8_t> picture(160 * 120 * 4);
    std::vector<int16_t> silence(44100 / 25 * 2);
    int written = -1;
    try {
        asfw::AsfFileWriter writer(sink, PlansOf(wm::SystemProfiles().back()), {VideoInput(), AudioInput()});
        for (written = 0; written < 250; ++written) {
            for (auto& b : picture) b = static_cast<uint8_t>(std::rand());  // noise: large packets
            writer.Video(0, picture.data(), 160 * 4, false, -1);
            writer.Audio(1, silence.data(), 44100 / 25);
        }
        writer.EndOfStream(0);
        writer.EndOfStream(1);
        writer.Finish();
        ADD_FAILURE() << "no write failed";
    } catch (const media::MediaError&) {
        // Thrown while streaming, and the writer (with its thread) is gone.
        EXPECT_GE(written, 0);
        EXPECT_LT(written, 250);
    }
}

TEST(AsfFileWriter, AnEncoderFailureAtTheLastPictureBeforeAStopStillLeavesAWholeFile) {
    // The encoder fails on the last picture and no stream is called again
    // before the stop: the stop throws the failure, but only after the
    // pictures before it, the index and the trailer are written.
    const std::string path = TempPath("lastfails");
    constexpr int kPictures = 20;
    {
        auto sink = media::CreateFileSink(path);
        const auto failLast = [](size_t stream, int64_t frame) {
            if (stream == 0 && frame == kPictures - 1) media::Fail(media::ErrorKind::Internal, "encoder failed");
        };
        asfw::AsfFileWriter writer(*sink, PlansOf(wm::SystemProfiles().back()), {VideoInput(), AudioInput()},
                                   failLast);
        std::vector<uint8_t> picture(160 * 120 * 4);
        std::vector<int16_t> silence(44100 / 25 * 2);
        for (int n = 0; n < kPictures; ++n) {
            clipgen::DrawPattern(picture.data(), 160, 120, n);
            writer.Video(0, picture.data(), 160 * 4, true, n * (kUnits / 25));
            writer.Audio(1, silence.data(), 44100 / 25);
        }
        EXPECT_THROW(writer.Finish(), media::MediaError);
    }
    const wmvtest::ProbedFile file = wmvtest::ProbeMedia(path);
    ASSERT_EQ(file.error, "");
    ASSERT_TRUE(file.Video());
    EXPECT_EQ(file.Video()->packets, kPictures - 1);
    // The trailer rewrites the header's play time, which reads 0 until then.
    EXPECT_NEAR(file.seconds, kPictures / 25.0, 0.15);
    // The simple index object ends the file.
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    std::vector<uint8_t> bytes;
    for (int c; (c = std::fgetc(f)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(f);
    const uint8_t kSimpleIndex[16] = {0x90, 0x08, 0x00, 0x33, 0xB1, 0xE5, 0xCF, 0x11,
                                      0x89, 0xF4, 0x00, 0xA0, 0xC9, 0x03, 0x49, 0xCB};
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), std::begin(kSimpleIndex), std::end(kSimpleIndex)), bytes.end());
    std::remove(path.c_str());
}
