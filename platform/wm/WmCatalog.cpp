#include "platform/wm/WmCatalog.h"

#include <cstdio>

namespace wm {

namespace {

constexpr uint16_t kTagWma1 = 0x0160;
constexpr uint16_t kTagWma2 = 0x0161;

// Indexes into the codec lists below.
constexpr size_t kWmv2 = 0, kWmv1 = 1;
constexpr size_t kWma2 = 0, kWma1 = 1;

// The encoders' packet length in samples, which fixes the block size of a
// format; the first-generation codec keeps the shorter packets up to 32 kHz.
uint32_t PacketSamples(const AudioCodecInfo& codec, uint32_t sampleRate) {
    if (sampleRate <= 16000) return 512;
    if (sampleRate <= 22050 || (codec.formatTag == kTagWma1 && sampleRate <= 32000)) return 1024;
    return 2048;
}

std::string Printf(const char* format, double a) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, a);
    return buf;
}

std::string RateText(uint32_t bitsPerSecond) {
    if (bitsPerSecond >= 1000000 && bitsPerSecond % 100000 == 0) return Printf("%g Mbps", bitsPerSecond / 1e6);
    return std::to_string(bitsPerSecond / 1000) + " Kbps";
}

std::string SampleRateText(uint32_t sampleRate) { return Printf("%g kHz", sampleRate / 1000.0); }

}  // namespace

const std::vector<VideoCodecInfo>& VideoCodecs() {
    static const std::vector<VideoCodecInfo> codecs = {
        {"WMV2 video (better pictures at the same rate)", "WMV2", FourCC('W', 'M', 'V', '2'), "wmv2"},
        {"WMV1 video (for the oldest players)", "WMV1", FourCC('W', 'M', 'V', '1'), "wmv1"},
    };
    return codecs;
}

const std::vector<AudioCodecInfo>& AudioCodecs() {
    static const std::vector<AudioCodecInfo> codecs = {
        {"WMA2 audio (better sound at the same rate)", "WMA2", kTagWma2, "wmav2"},
        {"WMA1 audio (for the oldest players)", "WMA1", kTagWma1, "wmav1"},
    };
    return codecs;
}

uint32_t VideoFormatBitRate() { return 1000000; }

const char* VideoFormatText() { return "Frame size and frame rate of the input"; }

const std::vector<AudioFormat>& AudioFormats() {
    // The encoders take 24 Kbps at the least.
    static const std::vector<AudioFormat> formats = {
        {44100, 2, 128000}, {48000, 2, 192000}, {44100, 2, 160000}, {44100, 2, 96000}, {44100, 2, 64000},
        {32000, 2, 48000},  {22050, 2, 32000},  {22050, 1, 32000},  {16000, 1, 24000},
    };
    return formats;
}

AudioFormatFacts DescribeAudioFormat(const AudioCodecInfo& codec, const AudioFormat& format) {
    AudioFormatFacts facts;
    const uint64_t packetBits = static_cast<uint64_t>(format.bitRate) * PacketSamples(codec, format.sampleRate);
    facts.blockAlign = static_cast<uint16_t>(packetBits / (8u * format.sampleRate));
    facts.avgBytesPerSec = format.bitRate / 8;
    // Codec flags: exponents coded with a variable-length code, no bit
    // reservoir, fixed block length.
    if (codec.formatTag == kTagWma1) facts.extra = {0x00, 0x00, 0x01, 0x00};
    else facts.extra = {0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00};
    return facts;
}

std::string AudioFormatText(const AudioFormat& format) {
    return RateText(format.bitRate) + ", " + SampleRateText(format.sampleRate) + ", " +
           (format.channels == 1 ? "mono" : "stereo");
}

const std::vector<SystemProfileSpec>& SystemProfiles() {
    // Video: codec, width, height, fps, bit rate, quality, key-frame seconds, buffer ms.
    // Audio: codec, {sample rate, channels, bit rate}, buffer ms.
    static const std::vector<SystemProfileSpec> profiles = {
        {"Modem streaming (56 Kbps)", "For dial-up modems and very small files; suits talking heads and slides.",
         {kWmv2, 160, 120, 15, 32000, 60, 8, 5000}, {kWma2, {16000, 1, 24000}, 5000}},
        {"Low-rate streaming (100 Kbps)", "For slow connections and small files.",
         {kWmv2, 176, 144, 15, 68000, 70, 8, 5000}, {kWma2, {22050, 1, 32000}, 5000}},
        {"Broadband streaming (256 Kbps)", "For broadband streaming of small pictures.",
         {kWmv2, 320, 240, 15, 208000, 70, 8, 5000}, {kWma2, {32000, 2, 48000}, 5000}},
        {"Broadband streaming (512 Kbps)", "For broadband streaming and web pages.",
         {kWmv2, 320, 240, 25, 448000, 75, 8, 5000}, {kWma2, {44100, 2, 64000}, 5000}},
        {"Compatible video for older players (768 Kbps)",
         "Uses the first-generation codecs, so that the oldest players can open the file.",
         {kWmv1, 320, 240, 25, 704000, 75, 10, 3000}, {kWma1, {44100, 2, 64000}, 3000}},
        {"Video CD quality (1 Mbps)", "About the quality of a video CD.",
         {kWmv2, 352, 288, 25, 872000, 80, 10, 3000}, {kWma2, {44100, 2, 128000}, 3000}},
        {"Local playback (1.5 Mbps)", "For playback from disk at a moderate file size.",
         {kWmv2, 480, 360, 25, 1372000, 85, 10, 3000}, {kWma2, {44100, 2, 128000}, 3000}},
        {"High quality (2 Mbps)", "For playback from disk of standard-definition video.",
         {kWmv2, 640, 480, 30, 1872000, 85, 10, 3000}, {kWma2, {44100, 2, 128000}, 3000}},
        {"Near DVD quality (4 Mbps)", "Close to DVD quality.",
         {kWmv2, 720, 576, 25, 3808000, 90, 10, 3000}, {kWma2, {48000, 2, 192000}, 3000}},
        {"High definition (8 Mbps)", "For high-definition sources; makes large files.",
         {kWmv2, 1280, 720, 30, 7808000, 95, 10, 3000}, {kWma2, {48000, 2, 192000}, 3000}},
    };
    return profiles;
}

std::string ProfileDescription(const SystemProfileSpec& profile) {
    const VideoStreamSpec& v = profile.video;
    const AudioStreamSpec& a = profile.audio;
    // The writer encodes the pictures at the frame size and rate of the
    // conversion, so the profile's own size and rate are advice, and say so.
    return std::string(profile.purpose) + " Video: " + VideoCodecs()[v.codec].label + " at " + RateText(v.bitRate) +
           ", made for pictures up to " + std::to_string(v.width) + " x " + std::to_string(v.height) + " at " +
           std::to_string(v.fps) + " frames per second; the file keeps the frame size and rate chosen for the "
           "conversion. Audio: " + AudioCodecs()[a.codec].label + " at " + AudioFormatText(a.format) + ".";
}

VideoStreamSpec DefaultVideoStream() { return {kWmv2, 0, 0, 0, VideoFormatBitRate(), 80, 10, 3000}; }

AudioStreamSpec DefaultAudioStream() { return {kWma2, AudioFormats().front(), 3000}; }

const VideoCodecInfo* FindVideoCodec(uint32_t fourcc) {
    for (const auto& codec : VideoCodecs())
        if (codec.fourcc == fourcc) return &codec;
    return nullptr;
}

const AudioCodecInfo* FindAudioCodec(uint16_t formatTag) {
    for (const auto& codec : AudioCodecs())
        if (codec.formatTag == formatTag) return &codec;
    return nullptr;
}

}  // namespace wm
