// What the Windows Media stand-in offers: its codecs with their formats and
// its table of system profiles. Plain data without Win32 types, so that the
// native tests can hold it against the encoders that do the work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace wm {

struct VideoCodecInfo {
    const char* name;
    const char* label;        // short name in descriptions
    uint32_t fourcc;          // media subtype and biCompression
    const char* encoderName;  // FFmpeg encoder
};

struct AudioCodecInfo {
    const char* name;
    const char* label;
    uint16_t formatTag;  // WAVEFORMATEX wFormatTag and media subtype
    const char* encoderName;
};

struct AudioFormat {
    uint32_t sampleRate;
    uint16_t channels;
    uint32_t bitRate;  // bits per second
};

// The WAVEFORMATEX fields of an audio format as its encoder writes them.
struct AudioFormatFacts {
    uint16_t blockAlign = 0;       // bytes of one coded packet
    uint32_t avgBytesPerSec = 0;
    std::vector<uint8_t> extra;  // codec data after the WAVEFORMATEX
};

struct VideoStreamSpec {
    size_t codec;     // index into VideoCodecs()
    uint32_t width;   // 0: the frame size of the input
    uint32_t height;
    uint32_t fps;     // 0: the frame rate of the input
    uint32_t bitRate;
    uint32_t quality;  // 0 smooth motion .. 100 sharp pictures
    uint32_t keyFrameSeconds;
    uint32_t bufferMs;
};

struct AudioStreamSpec {
    size_t codec;  // index into AudioCodecs()
    AudioFormat format;
    uint32_t bufferMs;
};

struct SystemProfileSpec {
    const char* name;
    const char* purpose;
    VideoStreamSpec video;
    AudioStreamSpec audio;
};

// Codec lists, in the order the codec information numbers them.
const std::vector<VideoCodecInfo>& VideoCodecs();
const std::vector<AudioCodecInfo>& AudioCodecs();

// Video codecs have one format: the frame size and rate of the input.
constexpr size_t kVideoFormatCount = 1;
uint32_t VideoFormatBitRate();
const char* VideoFormatText();

// Formats every audio codec offers, the first being its default.
const std::vector<AudioFormat>& AudioFormats();
AudioFormatFacts DescribeAudioFormat(const AudioCodecInfo& codec, const AudioFormat& format);
std::string AudioFormatText(const AudioFormat& format);  // "128 Kbps, 44.1 kHz, stereo"

// The version 7.0 system profiles, from low-rate streaming to high quality.
const std::vector<SystemProfileSpec>& SystemProfiles();
std::string ProfileDescription(const SystemProfileSpec& profile);

// What a stream created empty in a profile holds.
VideoStreamSpec DefaultVideoStream();
AudioStreamSpec DefaultAudioStream();

// Codec lookups by the identifiers media types carry; nullptr when unknown.
const VideoCodecInfo* FindVideoCodec(uint32_t fourcc);
const AudioCodecInfo* FindAudioCodec(uint16_t formatTag);

constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) | static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

}  // namespace wm
