// The compressors the platform offers, their FFmpeg encoders, the tags
// they write into AVI files and their user settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/rational.h>
}

namespace media {

struct VideoCodecInfo {
    const char* key;           // stable name for settings storage
    const char* friendlyName;  // shown in compressor lists
    const char* encoder;       // FFmpeg encoder
    uint32_t fourcc;
    bool lossless;
    int defaultBitRateKbps;  // 0: the codec is driven by quality only
    int defaultQuality;      // quantiser 1 (best) .. 31; 0: no quality setting
    bool dvSizes;            // only the DV picture sizes and rates
};

struct AudioCodecInfo {
    const char* key;
    const char* friendlyName;
    const char* encoder;
    uint16_t formatTag;
    std::vector<int> bitRatesKbps;  // empty: fixed by the format
    int defaultBitRateKbps;
};

const std::vector<VideoCodecInfo>& VideoCodecs();
const std::vector<AudioCodecInfo>& AudioCodecs();

// Settings a user changes on a compressor's property page.
struct VideoSettings {
    bool useQuality = false;  // fixed quantiser instead of a bit rate
    int bitRateKbps = 0;
    int quality = 0;
    int keyInterval = 0;  // 0: the encoder's default
};

struct AudioSettings {
    int bitRateKbps = 0;
    int sampleRate = 0;  // 0: keep the input's
};

VideoSettings DefaultSettings(const VideoCodecInfo& codec);
AudioSettings DefaultSettings(const AudioCodecInfo& codec);
// Brings values into the ranges the codec accepts.
VideoSettings Clamped(const VideoCodecInfo& codec, VideoSettings s);
AudioSettings Clamped(const AudioCodecInfo& codec, AudioSettings s);

// A versioned byte form for the compress-dialogs state and the registry.
std::vector<uint8_t> Serialize(const VideoSettings& s);
std::vector<uint8_t> Serialize(const AudioSettings& s);
bool Deserialize(const uint8_t* data, size_t size, VideoSettings& out);
bool Deserialize(const uint8_t* data, size_t size, AudioSettings& out);

// The encoder's picture format for a codec at a size, and whether the
// codec takes that size and rate at all (DV: 720x576 at 25, 720x480 at 29.97).
AVPixelFormat EncoderPixelFormat(const VideoCodecInfo& codec, int width, int height);
bool AcceptsPicture(const VideoCodecInfo& codec, int width, int height, AVRational rate);

// The sample rates the encoder of a codec takes (empty: any).
std::vector<int> SampleRatesOf(const AudioCodecInfo& codec);

}  // namespace media
