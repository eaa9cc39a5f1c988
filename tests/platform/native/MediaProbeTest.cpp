// Media facts and poster frames of generated clips, and of inputs that are
// no clips at all.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/core/Demuxer.h"
#include "platform/core/MediaError.h"
#include "platform/core/MediaProbe.h"
#include "tests/common/FfmpegClip.h"
#include "tests/platform/native/TestClips.h"

using media::ErrorKind;
using media::MediaError;
using media::StreamFacts;

namespace {

clipgen::ClipSpec ClipOf(const std::string& container, int w, int h, AVRational rate, double seconds, bool audio = true,
                       bool video = true) {
    clipgen::ClipSpec s = clipgen::SpecOf(container, w, h, rate, seconds);
    s.audio = audio;
    s.video = video;
    return s;
}

const StreamFacts* First(const media::SourceFacts& f, StreamFacts::Kind kind) {
    for (const auto& s : f.streams)
        if (s.kind == kind) return &s;
    return nullptr;
}

ErrorKind KindOf(const std::string& path) {
    try {
        media::ProbeSource(media::FileOpener(path));
    } catch (const MediaError& e) {
        return e.Kind();
    }
    return ErrorKind::Internal;
}

}  // namespace

TEST(MediaProbe, StreamsOfEachContainer) {
    struct Case {
        const char* container;
        AVRational rate;
        double expectedRate;
    };
    const Case cases[] = {{"avi", {25, 1}, 25.0},
                          {"mpg", {25, 1}, 25.0},
                          {"mpeg2", {30000, 1001}, 29.97},
                          {"wmv", {15, 1}, 15.0}};
    for (const auto& c : cases) {
        const std::string path =
            testclips::Clip(std::string("probe.") + c.container, ClipOf(c.container, 176, 144, c.rate, 2.0));
        const media::SourceFacts facts = media::ProbeSource(media::FileOpener(path));
        const StreamFacts* video = First(facts, StreamFacts::Kind::Video);
        const StreamFacts* audio = First(facts, StreamFacts::Kind::Audio);
        ASSERT_NE(video, nullptr) << c.container;
        ASSERT_NE(audio, nullptr) << c.container;
        EXPECT_NEAR(video->frameRate, c.expectedRate, 0.01) << c.container;
        EXPECT_NEAR(video->length, 2.0, 0.15) << c.container;
        EXPECT_EQ(video->width, 176) << c.container;
        EXPECT_EQ(video->height, 144) << c.container;
        EXPECT_NEAR(audio->length, 2.0, 0.15) << c.container;
        EXPECT_EQ(audio->sampleRate, 44100) << c.container;
    }
}

namespace {

// Bits per second the video packets of a file take over its length.
double MeasuredVideoRate(const std::string& path, double seconds) {
    media::Demuxer demux(media::OpenFileSource(path));
    const int v = demux.BestStream(AVMEDIA_TYPE_VIDEO);
    demux.KeepOnly(v);
    media::PacketPtr pkt = media::MakePacket();
    double bytes = 0;
    while (demux.Read(pkt.get())) {
        bytes += pkt->size;
        av_packet_unref(pkt.get());
    }
    return bytes * 8 / seconds;
}

}  // namespace

TEST(MediaProbe, VideoBitRateNearWhatThePicturesTake) {
    // MPEG headers of variable-rate video and ASF give no video rate: it
    // is then estimated from the source's, never the headers' marker.
    for (const char* container : {"avi", "mpg", "mpeg2", "wmv"}) {
        const std::string path =
            testclips::Clip(std::string("rate.") + container, ClipOf(container, 320, 240, {25, 1}, 3.0));
        const media::SourceFacts facts = media::ProbeSource(media::FileOpener(path));
        const StreamFacts* video = First(facts, StreamFacts::Kind::Video);
        ASSERT_NE(video, nullptr) << container;
        const double measured = MeasuredVideoRate(path, 3.0);
        EXPECT_NEAR(static_cast<double>(video->bitRate), measured, measured * 0.15) << container;
    }
}

TEST(MediaProbe, AudioOnlyAndVideoOnly) {
    const auto audioOnly = media::ProbeSource(
        media::FileOpener(testclips::Clip("probe_audio.avi", ClipOf("avi", 160, 120, {25, 1}, 1.5, true, false))));
    EXPECT_EQ(First(audioOnly, StreamFacts::Kind::Video), nullptr);
    ASSERT_NE(First(audioOnly, StreamFacts::Kind::Audio), nullptr);
    EXPECT_NEAR(First(audioOnly, StreamFacts::Kind::Audio)->length, 1.5, 0.1);

    const auto videoOnly = media::ProbeSource(
        media::FileOpener(testclips::Clip("probe_video.avi", ClipOf("avi", 160, 120, {25, 1}, 1.5, false, true))));
    EXPECT_NE(First(videoOnly, StreamFacts::Kind::Video), nullptr);
    EXPECT_EQ(First(videoOnly, StreamFacts::Kind::Audio), nullptr);
}

TEST(MediaProbe, BadInputsGiveAClearError) {
    EXPECT_EQ(KindOf(testclips::Dir() + "/no such file.avi"), ErrorKind::NotFound);
    EXPECT_EQ(KindOf(testclips::FileWith("empty.avi", "")), ErrorKind::NotMedia);
    EXPECT_EQ(KindOf(testclips::FileWith("text.avi", "this is plain text, not a clip\n")), ErrorKind::NotMedia);
    EXPECT_EQ(KindOf(testclips::Dir()), ErrorKind::NotMedia);
}

TEST(MediaProbe, PosterFrameIsADibOfTheAskedSize) {
    const std::string path = testclips::Clip("poster.avi", ClipOf("avi", 320, 240, {25, 1}, 2.0));
    const auto rows = media::PosterFrame(media::FileOpener(path), 1.0, 163, 112);
    const size_t stride = (163 * 3 + 3) & ~3u;
    ASSERT_EQ(rows.size(), stride * 112);
    // The pattern is not a flat picture.
    bool varied = false;
    for (size_t i = 3; i < rows.size() && !varied; ++i) varied = rows[i] != rows[0];
    EXPECT_TRUE(varied);
    // Past the end: the last picture, not a failure.
    EXPECT_EQ(media::PosterFrame(media::FileOpener(path), 50.0, 163, 112).size(), rows.size());

    const auto bmp = media::BmpFile24(rows, 163, 112);
    ASSERT_EQ(bmp.size(), 54 + rows.size());
    EXPECT_EQ(bmp[0], 'B');
    EXPECT_EQ(bmp[1], 'M');
    int32_t w = 0, h = 0;
    uint16_t bits = 0;
    std::memcpy(&w, &bmp[18], 4);
    std::memcpy(&h, &bmp[22], 4);
    std::memcpy(&bits, &bmp[28], 2);
    EXPECT_EQ(w, 163);
    EXPECT_EQ(h, 112);
    EXPECT_EQ(bits, 24);

    const std::string audioOnly = testclips::Clip("poster_audio.avi", ClipOf("avi", 160, 120, {25, 1}, 1.0, true, false));
    try {
        media::PosterFrame(media::FileOpener(audioOnly), 0.0, 163, 112);
        ADD_FAILURE() << "a poster from a clip without video";
    } catch (const MediaError& e) {
        EXPECT_EQ(e.Kind(), ErrorKind::NotMedia);
    }
}

namespace {

// Picture n of a file as the command line decodes it, as top-down BGR rows.
std::vector<uint8_t> CommandLinePicture(const std::string& src, int n) {
    const std::string out = src + ".frame" + std::to_string(n) + ".bgr";
    ffclip::Make(out, {"-i", src, "-vf", "select=eq(n\\," + std::to_string(n) + ")", "-frames:v", "1", "-f", "rawvideo",
                       "-pix_fmt", "bgr24"});
    std::ifstream in(out, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Mean difference of a poster (bottom-up rows padded to four bytes) from top-down BGR rows.
double PosterDifference(const std::vector<uint8_t>& poster, const std::vector<uint8_t>& picture, int w, int h) {
    const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~size_t{3};
    if (poster.size() != stride * h || picture.size() != static_cast<size_t>(w) * h * 3) return 255;
    double sum = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w * 3; ++x)
            sum += std::abs(poster[(h - 1 - y) * stride + x] - picture[static_cast<size_t>(y) * w * 3 + x]);
    return sum / (double(w) * h * 3);
}

}  // namespace

// The poster is the picture due at its time, whether the container's index
// takes the seek to a key frame (AVI) or reading starts well before the
// time (MPEG program stream); key frames every 12 pictures, so that the
// picture at 1 s lies past one.
TEST(MediaProbe, PosterIsThePictureDueAtItsTime) {
    for (const char* ext : {"avi", "mpg"}) {
        const std::string src = ffclip::Make(testclips::Dir() + "/poster-time." + ext,
                                             {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-t", "3", "-g", "12",
                                              "-bf", "0", "-q:v", "2", "-c:v", std::string(ext) == "avi" ? "mpeg4" : "mpeg1video"});
        const auto poster = media::PosterFrame(media::FileOpener(src), 1.0, 160, 120);
        const double due = PosterDifference(poster, CommandLinePicture(src, 25), 160, 120);
        EXPECT_LT(due, 0.5) << ext;
        EXPECT_GT(PosterDifference(poster, CommandLinePicture(src, 24), 160, 120), due) << ext;
        EXPECT_GT(PosterDifference(poster, CommandLinePicture(src, 26), 160, 120), due) << ext;
    }
}
