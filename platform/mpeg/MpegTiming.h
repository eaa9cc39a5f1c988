// Timing helpers of the MPEG encoder: fitting the input's frames to the
// coded frame rate, and measuring the encoding speed. Plain C++.
#pragma once

#include <cstdint>

#include "platform/mpeg/MpegPlan.h"

namespace mpegenc {

// Media times are in 100 ns units, as on the filter's pins.
constexpr int64_t kUnitsPerSecond = 10000000;

// Gives each input frame the number of coded frame slots it fills: 1 when
// the rates agree, 0 (dropped) or more (repeated) when they do not. A
// frame fills the slots whose start times fall before its own end.
class FrameClock {
public:
    explicit FrameClock(Rational rate) : m_rate(rate) {}

    int SlotsFor(int64_t stopTime) {
        const int64_t end = SlotAt(stopTime);
        if (end <= m_next) return 0;
        const int64_t n = end - m_next;
        m_next = end;
        return static_cast<int>(n);
    }
    int64_t SlotsFilled() const { return m_next; }
    // The media time at which slot n starts.
    int64_t TimeOfSlot(int64_t n) const { return n * kUnitsPerSecond * m_rate.den / m_rate.num; }

private:
    // Rounded to the nearest slot, so that times a unit off still land.
    int64_t SlotAt(int64_t time) const {
        const int64_t scale = kUnitsPerSecond * m_rate.den;
        return (time * m_rate.num + scale / 2) / scale;
    }

    Rational m_rate;
    int64_t m_next = 0;
};

// Frames per second over the recent frames; 0 before two frames and once
// no frame came for a while. Times in milliseconds from any origin.
class RateMeter {
public:
    void Reset() { m_count = 0; }
    void FrameDone(uint64_t nowMs) {
        m_times[m_count % kWindow] = nowMs;
        ++m_count;
    }
    int FramesPerSecond(uint64_t nowMs) const {
        if (m_count < 2) return 0;
        const uint64_t last = m_times[(m_count - 1) % kWindow];
        if (nowMs - last > kIdleMs) return 0;
        const uint64_t n = m_count < kWindow ? m_count : kWindow;
        const uint64_t first = m_times[(m_count - n) % kWindow];
        const uint64_t span = last > first ? last - first : 1;
        const uint64_t fps = (n - 1) * 1000 / span;
        return fps > 0 ? static_cast<int>(fps) : 1;  // a running encoder never reads 0
    }

private:
    static constexpr uint64_t kWindow = 32;
    static constexpr uint64_t kIdleMs = 2000;
    uint64_t m_times[kWindow] = {};
    uint64_t m_count = 0;
};

}  // namespace mpegenc
