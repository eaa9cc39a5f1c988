// What the MPEG encoder writes for a preset and its settings: codecs,
// picture size, frame rate, bit rates, audio format and multiplexer. The
// disc presets follow their standards (VCD, SVCD, DVD for PAL and NTSC);
// MPEG-1 and MPEG-2 are free. Plain C++, no platform headers.
#pragma once

#include <cstdint>

namespace mpegenc {

// Preset numbers of the configuration interface.
enum Preset : int {
    kPresetMpeg1 = 0,
    kPresetVcdPal = 1,
    kPresetMpeg2 = 2,
    kPresetSvcdPal = 3,
    kPresetDvdPal = 4,
    kPresetVcdNtsc = 5,
    kPresetSvcdNtsc = 6,
    kPresetDvdNtsc = 7,
    kPresetCount = 8,
};

// MPEG-2 profile and level codes of the sequence header extension.
constexpr int kProfileMain = 4;
constexpr int kLevelHigh = 4;
constexpr int kLevelHigh1440 = 6;
constexpr int kLevelMain = 8;
constexpr int kLevelLow = 10;

struct Rational {
    int num = 0;
    int den = 1;
};

// The entry of the MPEG frame-rate table nearest to fps (23.976 gives
// 24000/1001, 29.97 gives 30000/1001); rates of 0 or less give 25.
Rational SnapFrameRate(double fps);

// What a caller set through the configuration interface. Zero sizes,
// rates and bit rates mean "the input's" or "the preset's".
struct Settings {
    int preset = kPresetMpeg1;
    int width = 0;
    int height = 0;
    float inputFrameRate = 0.0f;
    float frameRate = 0.0f;
    int videoKbps = 0;
    int audioKbps = 0;
    int quality = 90;
    bool vbr = true;
    bool videoEnabled = true;
    bool audioEnabled = true;
    int mpeg2Level = kLevelMain;
    int mpeg2Profile = kProfileMain;
};

// Sizes, rates and bit rates back to 0.
void ClearOverrides(Settings& settings);
// Everything but the preset and the overrides back to the preset's default.
void LoadPresetDefaults(Settings& settings);

// What the input pins carry.
struct InputFacts {
    int width = 0;
    int height = 0;
    double frameRate = 0.0;  // 0: unknown
    int sampleRate = 0;      // 0: no audio format known
    int channels = 0;
};

// Everything the encoders and the multiplexer are opened with.
struct Plan {
    bool video = true;
    bool audio = true;

    const char* videoCodec = "";  // FFmpeg encoder name
    int width = 0;
    int height = 0;
    Rational frameRate;
    Rational sampleAspect;
    int gopSize = 0;
    int maxBFrames = 0;
    int64_t bitRate = 0;  // bits/s; 0 with qscale for constant quality
    int64_t maxRate = 0;
    int64_t minRate = 0;
    int vbvBufferBits = 0;
    int qscale = 0;  // 2..31: constant quantizer
    int profile = -99;  // -99: not written (MPEG-1)
    int level = -99;
    bool scanOffset = false;  // SVCD's user data for trick play

    const char* audioCodec = "";
    int sampleRate = 0;
    int channels = 0;
    int64_t audioBitRate = 0;

    const char* muxer = "";  // FFmpeg muxer name
    int packetSize = 0;
    int64_t muxRate = 0;  // bits/s; 0: computed by the multiplexer
    int64_t preloadMicroseconds = 500000;
};

// Works out the plan; on failure returns false and sets reason.
bool MakePlan(const Settings& settings, const InputFacts& input, Plan& plan, const char** reason);

// Nearest allowed bit rates (kbit/s) of the two audio codecs.
int SnapMp2BitRate(int kbps, int channels);
int SnapAc3BitRate(int kbps, int maxKbps);

// The lowest MPEG-2 level from `lowest` upwards whose limits hold the
// picture, rate and bit rate; High when none does.
int ChooseMpeg2Level(int lowest, int width, int height, double fps, int64_t bitRate);

}  // namespace mpegenc
