#include "platform/core/CodecCatalog.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "platform/core/Encoder.h"
#include "platform/core/Muxer.h"

namespace media {

const std::vector<VideoCodecInfo>& VideoCodecs() {
    static const std::vector<VideoCodecInfo> list = {
        {"mpeg4", "MPEG-4 Part 2 Video Compressor", "mpeg4", Fourcc('X', 'V', 'I', 'D'), false, 1800, 4, false},
        {"mjpeg", "Motion JPEG Video Compressor", "mjpeg", Fourcc('M', 'J', 'P', 'G'), false, 0, 3, false},
        {"huffyuv", "Huffyuv Lossless Video Compressor", "huffyuv", Fourcc('H', 'F', 'Y', 'U'), true, 0, 0, false},
        {"ffv1", "FFV1 Lossless Video Compressor", "ffv1", Fourcc('F', 'F', 'V', '1'), true, 0, 0, false},
        {"msmpeg4v2", "MS-MPEG-4 Version 2 Video Compressor", "msmpeg4v2", Fourcc('M', 'P', '4', '2'), false, 1800, 4,
         false},
        {"msmpeg4v3", "MS-MPEG-4 Version 3 Video Compressor", "msmpeg4", Fourcc('M', 'P', '4', '3'), false, 1800, 4,
         false},
        {"dv", "DV Video Compressor (720x576 at 25 fps, 720x480 at 29.97 fps)", "dvvideo", Fourcc('d', 'v', 's', 'd'),
         false, 0, 0, true},
    };
    return list;
}

const std::vector<AudioCodecInfo>& AudioCodecs() {
    static const std::vector<AudioCodecInfo> list = {
        {"mp3", "MPEG Layer-3 (MP3) Audio Compressor", "libmp3lame", 0x0055,
         {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}, 128},
        {"mp2", "MPEG Layer-2 Audio Compressor", "mp2", 0x0050, {64, 96, 128, 160, 192, 224, 256, 320, 384}, 192},
        {"ac3", "AC-3 Audio Compressor", "ac3", 0x2000, {96, 128, 160, 192, 224, 256, 320, 384, 448, 640}, 192},
        {"pcm", "PCM Audio (uncompressed 16-bit)", "pcm_s16le", 0x0001, {}, 0},
        {"msadpcm", "MS ADPCM Audio Compressor", "adpcm_ms", 0x0002, {}, 0},
        {"imaadpcm", "IMA ADPCM Audio Compressor", "adpcm_ima_wav", 0x0011, {}, 0},
    };
    return list;
}

VideoSettings DefaultSettings(const VideoCodecInfo& c) {
    VideoSettings s;
    s.useQuality = c.defaultBitRateKbps == 0 && c.defaultQuality > 0;
    s.bitRateKbps = c.defaultBitRateKbps;
    s.quality = c.defaultQuality;
    s.keyInterval = c.lossless || c.dvSizes || c.defaultBitRateKbps == 0 ? 0 : 250;
    return s;
}

AudioSettings DefaultSettings(const AudioCodecInfo& c) { return AudioSettings{c.defaultBitRateKbps, 0}; }

VideoSettings Clamped(const VideoCodecInfo& c, VideoSettings s) {
    if (c.defaultBitRateKbps == 0) s.useQuality = c.defaultQuality > 0;
    if (c.defaultQuality == 0) s.useQuality = false;
    s.bitRateKbps = c.defaultBitRateKbps ? std::clamp(s.bitRateKbps, 100, 50000) : 0;
    s.quality = c.defaultQuality ? std::clamp(s.quality, 1, 31) : 0;
    s.keyInterval = std::clamp(s.keyInterval, 0, 1000);
    return s;
}

AudioSettings Clamped(const AudioCodecInfo& c, AudioSettings s) {
    if (c.bitRatesKbps.empty()) {
        s.bitRateKbps = 0;
    } else if (std::find(c.bitRatesKbps.begin(), c.bitRatesKbps.end(), s.bitRateKbps) == c.bitRatesKbps.end()) {
        s.bitRateKbps = c.defaultBitRateKbps;
    }
    const std::vector<int> rates = SampleRatesOf(c);
    if (s.sampleRate != 0 && !rates.empty() && std::find(rates.begin(), rates.end(), s.sampleRate) == rates.end())
        s.sampleRate = 0;
    if (s.sampleRate < 0 || s.sampleRate > 192000) s.sampleRate = 0;
    return s;
}

namespace {

constexpr uint32_t kVideoMagic = Fourcc('V', 'S', 'E', '1');
constexpr uint32_t kAudioMagic = Fourcc('A', 'S', 'E', '1');

void Put(std::vector<uint8_t>& out, int32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint32_t>(v) >> (8 * i)));
}

bool Get(const uint8_t*& p, const uint8_t* end, int32_t& v) {
    if (end - p < 4) return false;
    uint32_t u = 0;
    for (int i = 0; i < 4; ++i) u |= static_cast<uint32_t>(p[i]) << (8 * i);
    v = static_cast<int32_t>(u);
    p += 4;
    return true;
}

}  // namespace

std::vector<uint8_t> Serialize(const VideoSettings& s) {
    std::vector<uint8_t> out;
    Put(out, static_cast<int32_t>(kVideoMagic));
    Put(out, s.useQuality ? 1 : 0);
    Put(out, s.bitRateKbps);
    Put(out, s.quality);
    Put(out, s.keyInterval);
    return out;
}

std::vector<uint8_t> Serialize(const AudioSettings& s) {
    std::vector<uint8_t> out;
    Put(out, static_cast<int32_t>(kAudioMagic));
    Put(out, s.bitRateKbps);
    Put(out, s.sampleRate);
    return out;
}

bool Deserialize(const uint8_t* data, size_t size, VideoSettings& out) {
    if (!data) return false;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    int32_t magic = 0, q = 0;
    VideoSettings s;
    if (!Get(p, end, magic) || static_cast<uint32_t>(magic) != kVideoMagic || !Get(p, end, q) ||
        !Get(p, end, s.bitRateKbps) || !Get(p, end, s.quality) || !Get(p, end, s.keyInterval))
        return false;
    s.useQuality = q != 0;
    out = s;
    return true;
}

bool Deserialize(const uint8_t* data, size_t size, AudioSettings& out) {
    if (!data) return false;
    const uint8_t* p = data;
    const uint8_t* end = data + size;
    int32_t magic = 0;
    AudioSettings s;
    if (!Get(p, end, magic) || static_cast<uint32_t>(magic) != kAudioMagic || !Get(p, end, s.bitRateKbps) ||
        !Get(p, end, s.sampleRate))
        return false;
    out = s;
    return true;
}

AVPixelFormat EncoderPixelFormat(const VideoCodecInfo& c, int width, int height) {
    const std::string key = c.key;
    if (key == "mjpeg") return AV_PIX_FMT_YUVJ420P;
    if (key == "huffyuv") return AV_PIX_FMT_RGB24;   // the original RGB mode, lossless for 24-bit pictures
    if (key == "ffv1") return AV_PIX_FMT_0RGB32;     // lossless for 32-bit pictures
    if (key == "dv") return height == 480 ? AV_PIX_FMT_YUV411P : AV_PIX_FMT_YUV420P;
    return AV_PIX_FMT_YUV420P;
}

bool AcceptsPicture(const VideoCodecInfo& c, int width, int height, AVRational rate) {
    if (width <= 0 || height <= 0) return false;
    if (c.dvSizes) {
        if (width != 720) return false;
        if (height == 576) return av_cmp_q(rate, AVRational{25, 1}) == 0;
        if (height == 480) return std::abs(av_q2d(rate) - 30000.0 / 1001.0) < 0.01;
        return false;
    }
    return VideoEncoderTakes(c.encoder, EncoderPixelFormat(c, width, height), width, height, rate);
}

std::vector<int> SampleRatesOf(const AudioCodecInfo& c) {
    std::vector<int> rates;
    const AVCodec* codec = avcodec_find_encoder_by_name(c.encoder);
    if (codec && codec->supported_samplerates)
        for (const int* r = codec->supported_samplerates; *r; ++r) rates.push_back(*r);
    return rates;
}

}  // namespace media
