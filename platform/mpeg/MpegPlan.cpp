#include "platform/mpeg/MpegPlan.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace mpegenc {

namespace {

constexpr Rational kPal = {25, 1};
constexpr Rational kNtsc = {30000, 1001};

// One preset's fixed values. Video bit rates in kbit/s; maxKbps 0 means no
// ceiling. For the disc standards the picture size, rate, codecs, sample
// rate and multiplexer are fixed; VCD also fixes both bit rates (CBR).
struct PresetSpec {
    bool disc;
    bool mpeg2;
    int width, height;  // 0: the input's
    Rational rate;      // 0/1: the input's
    int gopSize;
    int videoKbps;      // default average (VBR) or rate (CBR)
    int videoMaxKbps;
    bool cbrOnly;
    int vbvBits;        // 0: from the bit rate
    const char* audioCodec;
    int sampleRate;     // 0: the input's when MPEG audio allows it
    int fallbackSampleRate;
    int audioKbps;
    bool audioFixed;
    int audioMaxKbps;
    const char* muxer;
    int packetSize;
    int64_t muxRate;
    int64_t preloadMicroseconds;
    bool scanOffset;
};

constexpr int kVcdVbv = 40 * 1024 * 8;
constexpr int kMainLevelVbv = 224 * 1024 * 8;
constexpr int64_t kVcdMuxRate = 2352 * 75 * 8;  // one CD sector rate
constexpr int64_t kDvdMuxRate = 10080000;
// The VCD system clock starts at 36000 and its first packs carry padding.
constexpr int64_t kVcdPreload = (36000 + 3 * 1200) * 1000000LL / 90000;

const PresetSpec kSpecs[kPresetCount] = {
    // MPEG-1
    {false, false, 0, 0, {0, 1}, 12, 1150, 0, false, 0, "mp2", 0, 44100, 192, false, 384, "mpeg", 2048, 0, 500000,
     false},
    // VCD PAL
    {true, false, 352, 288, kPal, 15, 1150, 1150, true, kVcdVbv, "mp2", 44100, 44100, 224, true, 224, "vcd", 2324,
     kVcdMuxRate, kVcdPreload, false},
    // MPEG-2 (a plain MPEG-2 program stream)
    {false, true, 0, 0, {0, 1}, 12, 4000, 0, false, 0, "mp2", 0, 48000, 224, false, 384, "vob", 2048, 0, 500000,
     false},
    // SVCD PAL
    {true, true, 480, 576, kPal, 15, 2040, 2516, false, kMainLevelVbv, "mp2", 44100, 44100, 224, false, 384, "svcd",
     2324, 0, 500000, true},
    // DVD PAL
    {true, true, 720, 576, kPal, 15, 6000, 9000, false, kMainLevelVbv, "ac3", 48000, 48000, 448, false, 448, "dvd",
     2048, kDvdMuxRate, 500000, false},
    // VCD NTSC
    {true, false, 352, 240, kNtsc, 18, 1150, 1150, true, kVcdVbv, "mp2", 44100, 44100, 224, true, 224, "vcd", 2324,
     kVcdMuxRate, kVcdPreload, false},
    // SVCD NTSC
    {true, true, 480, 480, kNtsc, 18, 2040, 2516, false, kMainLevelVbv, "mp2", 44100, 44100, 224, false, 384, "svcd",
     2324, 0, 500000, true},
    // DVD NTSC
    {true, true, 720, 480, kNtsc, 18, 6000, 9000, false, kMainLevelVbv, "ac3", 48000, 48000, 448, false, 448, "dvd",
     2048, kDvdMuxRate, 500000, false},
};

const Rational kRateTable[] = {{24000, 1001}, {24, 1}, {25, 1}, {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001}, {60, 1}};

int Gcd(int a, int b) {
    while (b) {
        const int t = a % b;
        a = b;
        b = t;
    }
    return a;
}

Rational Reduced(int num, int den) {
    const int g = Gcd(num, den);
    return g ? Rational{num / g, den / g} : Rational{num, den};
}

bool MpegAudioRate(int rate) { return rate == 32000 || rate == 44100 || rate == 48000; }

int EvenDown(int v) { return v & ~1; }

struct LevelLimit {
    int level;
    int width, height;
    double fps;
    int64_t bitRate;
};
const LevelLimit kLevels[] = {
    {kLevelLow, 352, 288, 30.0, 4000000},
    {kLevelMain, 720, 576, 30.0, 15000000},
    {kLevelHigh1440, 1440, 1152, 60.0, 60000000},
    {kLevelHigh, 1920, 1152, 60.0, 80000000},
};

}  // namespace

Rational SnapFrameRate(double fps) {
    if (!(fps > 0.0)) return kPal;
    Rational best = kRateTable[0];
    double bestDistance = 1e300;
    for (const Rational& r : kRateTable) {
        const double d = std::fabs(fps - static_cast<double>(r.num) / r.den);
        if (d < bestDistance) {
            bestDistance = d;
            best = r;
        }
    }
    return best;
}

void ClearOverrides(Settings& s) {
    s.width = s.height = 0;
    s.inputFrameRate = s.frameRate = 0.0f;
    s.videoKbps = s.audioKbps = 0;
}

void LoadPresetDefaults(Settings& s) {
    const int preset = s.preset >= 0 && s.preset < kPresetCount ? s.preset : kPresetMpeg1;
    s.quality = 90;
    s.vbr = !kSpecs[preset].cbrOnly;
    s.videoEnabled = s.audioEnabled = true;
    s.mpeg2Level = kLevelMain;
    s.mpeg2Profile = kProfileMain;
}

int SnapMp2BitRate(int kbps, int channels) {
    static const int kTable[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    // Single-channel layer 2 stops at 192.
    const int top = channels == 1 ? 192 : 384;
    int best = kTable[0];
    for (int r : kTable)
        if (r <= top && std::abs(r - kbps) < std::abs(best - kbps)) best = r;
    return best;
}

int SnapAc3BitRate(int kbps, int maxKbps) {
    static const int kTable[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 448, 512, 576, 640};
    int best = kTable[0];
    for (int r : kTable)
        if (r <= maxKbps && std::abs(r - kbps) < std::abs(best - kbps)) best = r;
    return best;
}

int ChooseMpeg2Level(int lowest, int width, int height, double fps, int64_t bitRate) {
    // Levels in order from the smallest; lower codes are higher levels.
    bool started = false;
    for (const LevelLimit& l : kLevels) {
        if (l.level == lowest) started = true;
        if (!started) continue;
        if (width <= l.width && height <= l.height && fps <= l.fps + 1e-6 && bitRate <= l.bitRate) return l.level;
    }
    return kLevelHigh;
}

bool MakePlan(const Settings& s, const InputFacts& input, Plan& plan, const char** reason) {
    const char* dummy = nullptr;
    if (!reason) reason = &dummy;
    if (s.preset < 0 || s.preset >= kPresetCount) {
        *reason = "unknown preset";
        return false;
    }
    if (!s.videoEnabled && !s.audioEnabled) {
        *reason = "neither video nor audio is enabled";
        return false;
    }
    const PresetSpec& desc = kSpecs[s.preset];
    plan = Plan{};
    plan.video = s.videoEnabled;
    plan.audio = s.audioEnabled;

    // Video.
    plan.videoCodec = desc.mpeg2 ? "mpeg2video" : "mpeg1video";
    if (desc.disc) {
        plan.width = desc.width;
        plan.height = desc.height;
        plan.frameRate = desc.rate;
        // Disc pictures are shown at 4:3.
        plan.sampleAspect = Reduced(4 * desc.height, 3 * desc.width);
    } else {
        plan.width = EvenDown(s.width > 0 ? s.width : input.width);
        plan.height = EvenDown(s.height > 0 ? s.height : input.height);
        const double fps = s.frameRate > 0.0f ? s.frameRate : input.frameRate > 0.0 ? input.frameRate : s.inputFrameRate;
        plan.frameRate = SnapFrameRate(fps);
        plan.sampleAspect = {1, 1};
    }
    const int maxSide = desc.mpeg2 ? 16383 : 4095;
    if (plan.video && (plan.width < 16 || plan.height < 16 || plan.width > maxSide || plan.height > maxSide)) {
        *reason = "the picture size is out of range";
        return false;
    }
    plan.gopSize = desc.gopSize;
    plan.maxBFrames = 2;

    const bool vbr = s.vbr && !desc.cbrOnly;
    int videoKbps = desc.cbrOnly || s.videoKbps <= 0 ? desc.videoKbps : s.videoKbps;
    if (desc.videoMaxKbps > 0) videoKbps = std::min(videoKbps, desc.videoMaxKbps);
    if (vbr && !desc.disc && s.videoKbps <= 0) {
        // Constant quality: 100 gives the finest quantizer, 0 the coarsest.
        const int quality = std::clamp(s.quality, 0, 100);
        plan.qscale = 2 + (100 - quality) * 29 / 100;
    } else {
        plan.bitRate = static_cast<int64_t>(videoKbps) * 1000;
        if (vbr) {
            plan.maxRate = static_cast<int64_t>(desc.videoMaxKbps) * 1000;
        } else {
            plan.maxRate = plan.minRate = plan.bitRate;
        }
        if (plan.maxRate > 0)
            plan.vbvBufferBits =
                desc.vbvBits ? desc.vbvBits : static_cast<int>(std::clamp<int64_t>(plan.bitRate / 2, kVcdVbv, kMainLevelVbv));
    }
    if (desc.mpeg2) {
        plan.profile = kProfileMain;
        const double fps = static_cast<double>(plan.frameRate.num) / plan.frameRate.den;
        plan.level = ChooseMpeg2Level(s.mpeg2Level, plan.width, plan.height, fps, std::max(plan.bitRate, plan.maxRate));
    }
    plan.scanOffset = desc.scanOffset;

    // Audio.
    plan.audioCodec = desc.audioCodec;
    if (desc.sampleRate) plan.sampleRate = desc.sampleRate;
    else plan.sampleRate = MpegAudioRate(input.sampleRate) ? input.sampleRate : desc.fallbackSampleRate;
    plan.channels = desc.disc || input.channels >= 2 || input.channels <= 0 ? 2 : 1;
    int audioKbps = desc.audioFixed || s.audioKbps <= 0 ? desc.audioKbps : s.audioKbps;
    audioKbps = std::string_view(desc.audioCodec) == "ac3" ? SnapAc3BitRate(audioKbps, desc.audioMaxKbps)
                                                           : SnapMp2BitRate(std::min(audioKbps, desc.audioMaxKbps),
                                                                            plan.channels);
    plan.audioBitRate = static_cast<int64_t>(audioKbps) * 1000;

    // Multiplexer.
    plan.muxer = desc.muxer;
    plan.packetSize = desc.packetSize;
    plan.muxRate = desc.muxRate;
    plan.preloadMicroseconds = desc.preloadMicroseconds;
    return true;
}

}  // namespace mpegenc
