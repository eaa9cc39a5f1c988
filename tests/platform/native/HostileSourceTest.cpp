// The media core on hostile sources made by the FFmpeg command line:
// pictures a few pixels wide, headers that lie about the length, files
// that are mostly holes, damaged Windows Media files.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/core/MediaError.h"
#include "platform/core/MediaProbe.h"
#include "platform/core/TrackReader.h"
#include "tests/common/Damage.h"
#include "tests/common/FfmpegClip.h"
#include "tests/platform/native/TestClips.h"

using media::ClipRange;
using media::VideoTarget;
using media::VideoTrackReader;

namespace {

std::string Path(const std::string& name) { return testclips::Dir() + "/" + name; }

// Reads every picture into a buffer with a guard band behind it; the
// reader must write exactly one picture and nothing past it.
int64_t ReadGuarded(const std::string& path, VideoTarget target, ClipRange range = {}) {
    VideoTrackReader reader(media::FileOpener(path), target, range);
    constexpr size_t kGuard = 4096;
    std::vector<uint8_t> buf(reader.FrameBytes() + kGuard, 0xA5);
    int64_t frames = 0;
    while (reader.Next(buf.data())) {
        ++frames;
        for (size_t i = reader.FrameBytes(); i < buf.size(); ++i)
            if (buf[i] != 0xA5) {
                ADD_FAILURE() << path << " at " << target.width << "x" << target.height << ": byte " << i
                              << " past the picture written";
                return frames;
            }
    }
    return frames;
}

}  // namespace

// The scaler writes whole vector blocks: pictures of a few pixels used to
// overrun their buffers and corrupt the heap.
TEST(HostileSource, TinyPicturesAreReadAtEverySizeWithoutOverrun) {
    std::vector<ffclip::SizedPath> clips;
    for (int size = 1; size <= 17; ++size) clips.push_back({Path("tiny_" + std::to_string(size) + ".avi"), size, size});
    const std::vector<std::string> paths = ffclip::Patterns(clips, 0.2, false);
    for (int size = 1; size <= 17; ++size) {
        const std::string& src = paths[static_cast<size_t>(size - 1)];
        // At its own size, at the smallest and at an odd larger one.
        for (const VideoTarget& t : {VideoTarget{size, size, {25, 1}}, VideoTarget{1, 1, {25, 1}},
                                     VideoTarget{17, 3, {25, 1}}, VideoTarget{3, 17, {25, 1}}})
            EXPECT_EQ(ReadGuarded(src, t), 5) << size << " to " << t.width << "x" << t.height;
    }
}

namespace {

// An AVI whose headers claim 0x7FFFFFFF frames.
std::string LyingAvi() {
    const std::string src = ffclip::Pattern(Path("honest.avi"), 160, 120, 2.0);
    return testclips::FileWith("lying.avi", damage::ClaimFrames(damage::ReadFile(src), 0x7FFFFFFF));
}

double VideoLength(const media::SourceFacts& facts) {
    for (const auto& s : facts.streams)
        if (s.kind == media::StreamFacts::Kind::Video) return s.length;
    return -1;
}

int64_t CountVideo(const std::string& path, int64_t length) {
    VideoTrackReader reader(media::FileOpener(path), {32, 24, {25, 1}}, {0, length});
    std::vector<uint8_t> buf(reader.FrameBytes());
    int64_t n = 0;
    while (n < 100000 && reader.Next(buf.data())) ++n;
    return n;
}

int64_t CountAudio(const std::string& path, int64_t length) {
    media::AudioTrackReader reader(media::FileOpener(path), {44100, 2}, {0, length});
    std::vector<int16_t> buf(2 * 4096);
    int64_t n = 0;
    for (int got; n < 44100 * 100 && (got = reader.Read(buf.data(), 4096)) > 0;) n += got;
    return n;
}

}  // namespace

// Headers that claim 0x7FFFFFFF frames used to make the last picture repeat
// for ever: the length is where the data ends, and a clip asked for longer
// still ends there.
TEST(HostileSource, LyingAviHeadersGiveTheRealLength) {
    const std::string path = LyingAvi();
    const media::SourceFacts facts = media::ProbeSource(media::FileOpener(path));
    for (const auto& s : facts.streams) EXPECT_NEAR(s.length, 2.0, 0.1);
    const int64_t hour = int64_t{3600} * AV_TIME_BASE;
    EXPECT_NEAR(CountVideo(path, hour), 50, 1);
    EXPECT_NEAR(CountAudio(path, hour), 88200, 2048);
    // Without a length the readers follow the data just the same.
    EXPECT_NEAR(CountVideo(path, 0), 50, 1);
}

// Windows Media files too short for FFmpeg to average a rate read as 1000
// frames per second, the tick of their time base.
TEST(HostileSource, ShortWindowsMediaRatesComeFromTheirTimeStamps) {
    struct Case {
        int frames;
        double rate;  // 0: unknown, the caller's fallback applies
    };
    for (const Case c : {Case{1, 0.0}, Case{2, 25.0}, Case{3, 25.0}, Case{30, 25.0}}) {
        const std::string path = ffclip::Make(
            Path("short" + std::to_string(c.frames) + ".wmv"),
            {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-frames:v", std::to_string(c.frames), "-c:v",
             "wmv2", "-an"});
        const media::SourceFacts facts = media::ProbeSource(media::FileOpener(path));
        ASSERT_EQ(facts.streams.size(), 1u);
        EXPECT_NEAR(facts.streams[0].frameRate, c.rate, 0.01) << c.frames << " frames";
    }
}

// 4 s of MPEG, then holes up to 5 GB (made sparse, never written): probing
// took half a minute and reading went through every zero.
TEST(HostileSource, SparseTailIsNotScanned) {
    const std::string path = Path("sparse.mpg");
    ffclip::Make(path, {"-f", "lavfi", "-i", "testsrc=size=320x240:rate=25", "-t", "4", "-c:v", "mpeg1video",
                        "-an", "-f", "mpeg"});
    std::filesystem::resize_file(path, 5ull << 30);
    const auto start = std::chrono::steady_clock::now();
    const media::SourceFacts facts = media::ProbeSource(media::FileOpener(path));
    ASSERT_EQ(facts.streams.size(), 1u);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
    EXPECT_NEAR(CountVideo(path, static_cast<int64_t>(VideoLength(facts) * AV_TIME_BASE)), 100, 2);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
}

// One bit in a hundred flipped: damage makes up streams and time stamps far
// out. Only streams that can be read are reported, the rate is one a
// picture can have, and the clip of the video's length stays within the
// file's few seconds (a damaged WMV gave 538 MB of raw AVI).
TEST(HostileSource, BitFlippedFilesStayBounded) {
    for (const char* name : {"flip_src.mpeg", "flip_src.wmv"}) {
        const std::string src = ffclip::Pattern(Path(name), 352, 288, 6.0);
        const std::string clean = damage::ReadFile(src);
        for (unsigned seed = 1; seed <= 5; ++seed) {
            const std::string path =
                testclips::FileWith("flip" + std::to_string(seed) + "_" + name, damage::FlipBits(clean, seed));
            media::SourceFacts facts;
            try {
                facts = media::ProbeSource(media::FileOpener(path));
            } catch (const media::MediaError&) {
                continue;  // an honest refusal
            }
            for (const auto& s : facts.streams) {
                if (s.kind == media::StreamFacts::Kind::Video) {
                    EXPECT_GT(s.width, 0) << name << " seed " << seed;
                    EXPECT_LE(s.frameRate, 120.0) << name << " seed " << seed;
                }
            }
            const double length = VideoLength(facts);
            if (length < 0) continue;
            EXPECT_LT(length, 60.0) << name << " seed " << seed;
            EXPECT_LE(CountVideo(path, static_cast<int64_t>(length * AV_TIME_BASE)), length * 25 + 2)
                << name << " seed " << seed;
        }
    }
}

namespace {

// Adds shift (90 kHz units) to the time stamps of the video packets of an
// MPEG-2 program stream, from the first-th packet that has one, for count
// packets (-1: all the rest).
std::string ShiftVideoStamps(std::string ps, int first, int count, int64_t shift) {
    auto read = [&](size_t at) {
        const auto b = [&](size_t i) { return static_cast<int64_t>(static_cast<uint8_t>(ps[at + i])); };
        return (b(0) >> 1 & 7) << 30 | b(1) << 22 | (b(2) >> 1) << 15 | b(3) << 7 | b(4) >> 1;
    };
    auto write = [&](size_t at, int64_t v) {
        const uint8_t lead = static_cast<uint8_t>(ps[at]) & 0xF0;
        ps[at] = static_cast<char>(lead | (v >> 29 & 0x0E) | 1);
        ps[at + 1] = static_cast<char>(v >> 22);
        ps[at + 2] = static_cast<char>((v >> 14 & 0xFE) | 1);
        ps[at + 3] = static_cast<char>(v >> 7);
        ps[at + 4] = static_cast<char>((v << 1 & 0xFE) | 1);
    };
    int seen = 0;
    for (size_t at = ps.find(std::string("\0\0\1\xE0", 4)); at != std::string::npos && at + 19 < ps.size();
         at = ps.find(std::string("\0\0\1\xE0", 4), at + 4)) {
        const int flags = static_cast<uint8_t>(ps[at + 7]) >> 6;
        if ((static_cast<uint8_t>(ps[at + 6]) & 0xC0) != 0x80 || flags < 2) continue;
        if (seen++ < first || (count >= 0 && seen > first + count)) continue;
        write(at + 9, (read(at + 9) + shift) & ((int64_t{1} << 33) - 1));
        if (flags == 3) write(at + 14, (read(at + 14) + shift) & ((int64_t{1} << 33) - 1));
    }
    return ps;
}

}  // namespace

// One damaged time stamp far ahead made the reader repeat the last picture
// up to it; a real gap in the pictures is still held for its length.
TEST(HostileSource, ADamagedTimeStampIsNoGapButARealGapIs) {
    const std::string clean = damage::ReadFile(ffclip::Make(
        Path("stamps.mpeg"), {"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25", "-t", "4", "-c:v", "mpeg2video",
                              "-bf", "0", "-an", "-f", "vob"}));
    const std::string damaged = testclips::FileWith("stamp_damaged.mpeg", ShiftVideoStamps(clean, 20, 1, 90000ll * 1000));
    EXPECT_NEAR(CountVideo(damaged, 0), 100, 2);
    const std::string gap = testclips::FileWith("stamp_gap.mpeg", ShiftVideoStamps(clean, 20, -1, 90000ll * 5));
    EXPECT_NEAR(CountVideo(gap, 0), 225, 3);
}

// A source with one stream and a length that lies: what stands in for the
// other stream (black pictures, silence) lasts as long as the real one.
TEST(HostileSource, AMissingStreamIsStoodInForNoLongerThanTheOther) {
    const std::string sound = ffclip::Make(Path("sound_only.avi"), {"-t", "2", "-f", "lavfi", "-i",
                                                                    "sine=sample_rate=44100", "-c:a", "mp2"});
    const std::string pictures = ffclip::Pattern(Path("pictures_only.avi"), 64, 48, 2.0, 25, false);
    const int64_t hour = int64_t{3600} * AV_TIME_BASE;
    EXPECT_NEAR(CountVideo(sound, hour), 50, 2);
    EXPECT_NEAR(CountAudio(pictures, hour), 88200, 2048);
    // A shorter clip is still cut where it ends.
    EXPECT_EQ(CountVideo(sound, AV_TIME_BASE), 25);
}
