#include "platform/mpeg/MpegTiming.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mpegenc;

namespace {

// Feeds `frames` input frames at `inRate` and returns the slots filled.
int64_t Fill(FrameClock& clock, Rational inRate, int frames, std::vector<int>* perFrame = nullptr) {
    for (int i = 0; i < frames; ++i) {
        const int64_t stop = (i + 1) * kUnitsPerSecond * inRate.den / inRate.num;
        const int n = clock.SlotsFor(stop);
        if (perFrame) perFrame->push_back(n);
    }
    return clock.SlotsFilled();
}

}  // namespace

TEST(FrameClock, EqualRatesGiveOneSlotPerFrame) {
    for (Rational r : {Rational{25, 1}, Rational{30000, 1001}, Rational{24000, 1001}}) {
        FrameClock clock(r);
        std::vector<int> per;
        EXPECT_EQ(Fill(clock, r, 300, &per), 300);
        for (int n : per) ASSERT_EQ(n, 1);
    }
}

TEST(FrameClock, OtherRatesRepeatOrDropByTime) {
    // 10 s of 15 fps input coded at 30000/1001: 300 (299.7) slots.
    FrameClock up({30000, 1001});
    EXPECT_EQ(Fill(up, {15, 1}, 150), 300);
    // 10 s of 50 fps input coded at 25: every other frame dropped.
    FrameClock down({25, 1});
    std::vector<int> per;
    EXPECT_EQ(Fill(down, {50, 1}, 500, &per), 250);
    EXPECT_EQ(per[0], 1);  // the frame that starts the slot is kept
    EXPECT_EQ(per[1], 0);
}

TEST(FrameClock, TimesOffByAUnitStillLand) {
    FrameClock clock({25, 1});
    EXPECT_EQ(clock.SlotsFor(400000 - 1), 1);
    EXPECT_EQ(clock.SlotsFor(800000 + 1), 1);
    EXPECT_EQ(clock.SlotsFor(800000 + 2), 0);  // a late duplicate adds nothing
    EXPECT_EQ(clock.TimeOfSlot(2), 800000);
}

TEST(RateMeter, ReadsTheRecentSpeedAndZeroWhenIdle) {
    RateMeter m;
    EXPECT_EQ(m.FramesPerSecond(0), 0);
    m.FrameDone(1000);
    EXPECT_EQ(m.FramesPerSecond(1000), 0);  // one frame is no speed yet
    for (int i = 1; i <= 100; ++i) m.FrameDone(1000 + i * 20);  // 50 fps
    EXPECT_EQ(m.FramesPerSecond(3000), 50);
    EXPECT_EQ(m.FramesPerSecond(3000 + 2001), 0);  // stalled
    // A slow encoder still reads above 0 while it works.
    RateMeter slow;
    slow.FrameDone(0);
    slow.FrameDone(1500);
    EXPECT_EQ(slow.FramesPerSecond(1600), 1);
    slow.Reset();
    EXPECT_EQ(slow.FramesPerSecond(1600), 0);
}
