// The table of planes behind recent RGB pictures: a picture is found by its
// content whatever its layout, never after any change to it, the table
// stays within its bound, and two threads may share it.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/core/PictureOrigins.h"

using media::PictureKey;
using media::PictureOrigins;

namespace {

// Planes whose first luma byte tells which picture they belong to.
media::FramePtr MarkedPlanes(int mark) {
    media::FramePtr f = media::MakeFrame();
    f->format = AV_PIX_FMT_YUV420P;
    f->width = 16;
    f->height = 16;
    if (av_frame_get_buffer(f.get(), 0) < 0) return nullptr;
    f->data[0][0] = static_cast<uint8_t>(mark);
    return f;
}

PictureKey KeyOf(int n) { return PictureKey{static_cast<uint64_t>(n) * 0x9E3779B97F4A7C15ull + 1, 16, 16, AV_PIX_FMT_BGRA}; }

int MarkFound(PictureOrigins& table, int n) {
    media::FramePtr found = media::MakeFrame();
    return table.Find(KeyOf(n), found.get()) ? found->data[0][0] : -1;
}

}  // namespace

// The source hashes its top-down, padded picture; the encoder gets the
// sample's bottom-up exact-size copy. The same pixels must give the same
// key, and any changed byte another (odd widths end rows in half a word,
// and the top bits of a word are the ones a plain multiply never carries).
TEST(PictureOrigins, KeyFollowsTheContentNotTheLayout) {
    for (const int width : {1280, 37}) {
        const int height = 9;
        const size_t rowBytes = static_cast<size_t>(width) * 4;
        const size_t padded = rowBytes + 64;
        std::vector<uint8_t> topDown(padded * height, 0xEE);
        for (int y = 0; y < height; ++y)
            for (size_t x = 0; x < rowBytes; ++x) topDown[y * padded + x] = static_cast<uint8_t>(x * 7 + y * 13);
        std::vector<uint8_t> bottomUp(rowBytes * height);
        for (int y = 0; y < height; ++y)
            std::copy_n(&topDown[y * padded], rowBytes, &bottomUp[(height - 1 - y) * rowBytes]);

        const PictureKey source{media::HashRows(topDown.data(), static_cast<ptrdiff_t>(padded), rowBytes, height),
                                width, height, AV_PIX_FMT_BGRA};
        auto keyOf = [&](const std::vector<uint8_t>& p) {
            return media::PackedPictureKey(p.data(), AV_PIX_FMT_BGRA, width, height, static_cast<int>(rowBytes), true);
        };
        EXPECT_EQ(keyOf(bottomUp), source) << width;
        // Read top-down, the same bytes are another picture.
        EXPECT_FALSE(media::PackedPictureKey(bottomUp.data(), AV_PIX_FMT_BGRA, width, height,
                                             static_cast<int>(rowBytes), false) == source);

        for (const size_t at : {size_t{0}, rowBytes - 1, rowBytes * 4 + 7, bottomUp.size() - 1}) {
            for (const uint8_t flip : {uint8_t{0x01}, uint8_t{0x80}}) {
                std::vector<uint8_t> changed = bottomUp;
                changed[at] ^= flip;
                EXPECT_FALSE(keyOf(changed) == source) << width << " byte " << at;
            }
        }
        // Two top bits in the same lane: they cancel in a hash without rotation.
        std::vector<uint8_t> twice = bottomUp;
        twice[7] ^= 0x80;
        twice[39] ^= 0x80;
        EXPECT_FALSE(keyOf(twice) == source) << width;
        // Swapped rows.
        std::vector<uint8_t> swapped = bottomUp;
        std::swap_ranges(swapped.begin(), swapped.begin() + rowBytes, swapped.begin() + rowBytes);
        EXPECT_FALSE(keyOf(swapped) == source) << width;
    }
}

// The newest pictures stay, the oldest go; a picture found again counts
// as new, and one remembered again is not kept twice. Planes given out
// stay valid after the table dropped them.
TEST(PictureOrigins, KeepsTheNewestWithinItsBound) {
    PictureOrigins table(3);
    EXPECT_TRUE(table.Empty());
    for (int n = 1; n <= 3; ++n) table.Remember(KeyOf(n), *MarkedPlanes(n));
    media::FramePtr held = media::MakeFrame();
    ASSERT_TRUE(table.Find(KeyOf(1), held.get()));  // 1 is now the newest
    table.Remember(KeyOf(4), *MarkedPlanes(4));     // 2 goes
    EXPECT_EQ(MarkFound(table, 2), -1);
    EXPECT_EQ(MarkFound(table, 1), 1);
    EXPECT_EQ(MarkFound(table, 3), 3);
    EXPECT_EQ(MarkFound(table, 4), 4);

    table.Remember(KeyOf(4), *MarkedPlanes(40));  // replaced, not added
    EXPECT_EQ(MarkFound(table, 1), 1);
    EXPECT_EQ(MarkFound(table, 3), 3);
    EXPECT_EQ(MarkFound(table, 4), 40);

    for (int n = 5; n <= 7; ++n) table.Remember(KeyOf(n), *MarkedPlanes(n));
    EXPECT_EQ(MarkFound(table, 1), -1);
    EXPECT_EQ(held->data[0][0], 1);

    // Planes without counted buffers cannot be kept.
    media::FramePtr borrowed = MarkedPlanes(8);
    AVFrame bare = *borrowed;
    for (AVBufferRef*& b : bare.buf) b = nullptr;
    table.Remember(KeyOf(8), bare);
    EXPECT_EQ(MarkFound(table, 8), -1);

    // A reader that goes takes its pictures with it, and only its own.
    int readerA = 0, readerB = 0;
    table.Remember(KeyOf(9), *MarkedPlanes(9), &readerA);
    table.Remember(KeyOf(10), *MarkedPlanes(10), &readerB);
    table.Forget(&readerA);
    EXPECT_EQ(MarkFound(table, 9), -1);
    EXPECT_EQ(MarkFound(table, 10), 10);
}

// A source remembering while an encoder looks up: every lookup finds the
// planes of its own key or nothing, never another picture's.
TEST(PictureOrigins, TwoThreadsShareTheTable) {
    PictureOrigins table(4);
    constexpr int kPictures = 20000;
    std::atomic<int> latest{0};
    std::thread source([&] {
        for (int n = 1; n <= kPictures; ++n) {
            table.Remember(KeyOf(n), *MarkedPlanes(n & 0xFF));
            latest = n;
        }
    });
    int found = 0, wrong = 0;
    while (latest < kPictures) {
        const int n = latest;
        if (n == 0) continue;
        const int mark = MarkFound(table, n);
        if (mark >= 0) ++found;
        if (mark >= 0 && mark != (n & 0xFF)) ++wrong;
    }
    source.join();
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(found, 0);
}
