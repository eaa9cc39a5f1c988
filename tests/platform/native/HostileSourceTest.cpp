// The media core on hostile sources made by the FFmpeg command line:
// pictures a few pixels wide, headers that lie about the length, files
// that are mostly holes, damaged Windows Media files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/core/MediaError.h"
#include "platform/core/MediaProbe.h"
#include "platform/core/TrackReader.h"
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
    for (int size = 1; size <= 17; ++size) {
        const std::string src =
            ffclip::Pattern(Path("tiny_" + std::to_string(size) + ".avi"), size, size, 0.2, 25, false);
        // At its own size, at the smallest and at an odd larger one.
        for (const VideoTarget& t : {VideoTarget{size, size, {25, 1}}, VideoTarget{1, 1, {25, 1}},
                                     VideoTarget{17, 3, {25, 1}}, VideoTarget{3, 17, {25, 1}}})
            EXPECT_EQ(ReadGuarded(src, t), 5) << size << " to " << t.width << "x" << t.height;
    }
}
