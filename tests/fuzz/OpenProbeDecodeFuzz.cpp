// Fuzz target: a damaged container through the road every source takes,
// open, probe, the poster frame and both stream readers over the length
// the probe gave, as the conversion's front end reads it. Media errors are
// expected answers; crashes, hangs and sanitizer reports are not.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/core/MediaError.h"
#include "platform/core/MediaProbe.h"
#include "platform/core/TrackReader.h"
#include "tests/fuzz/MemorySource.h"

namespace {

// Enough to reach damage deep in a clip, few enough to stay fast.
constexpr int kMaxPictures = 150;
constexpr int kMaxAudioReads = 100;

int64_t ClipLength(const media::SourceFacts& facts) {
    double seconds = 0;
    for (const auto& s : facts.streams) seconds = std::max(seconds, s.length);
    return seconds > 0 && seconds < 1e6 ? static_cast<int64_t>(seconds * AV_TIME_BASE) : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const media::SourceOpener open = fuzz::MemoryOpener(data, size);
    media::SourceFacts facts;
    try {
        facts = media::ProbeSource(open);
    } catch (const media::MediaError&) {
        return 0;
    }
    const media::ClipRange range{0, ClipLength(facts)};
    try {
        media::PosterFrame(open, 1.0, 23, 16);
    } catch (const media::MediaError&) {
    }
    try {
        media::VideoTrackReader video(open, {35, 17, {25, 1}}, range);
        std::vector<uint8_t> picture(video.FrameBytes());
        for (int i = 0; i < kMaxPictures && video.Next(picture.data()); ++i) {}
    } catch (const media::MediaError&) {
    }
    try {
        media::AudioTrackReader audio(open, {22050, 2}, range);
        std::vector<int16_t> samples(2 * 1024);
        for (int i = 0; i < kMaxAudioReads && audio.Read(samples.data(), 1024) > 0; ++i) {}
    } catch (const media::MediaError&) {
    }
    return 0;
}
