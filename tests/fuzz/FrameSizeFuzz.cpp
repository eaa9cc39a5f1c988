// Fuzz target: pictures of every size from 1x1 to 64x64 in the planar
// formats decoders give, read and scaled to another such size as the
// front end does, then encoded as the compressors encode them. The source
// is a YUV4MPEG stream built from the input: its first bytes choose the
// sizes, the chroma format and the encoder, the rest are the pixels.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/core/Encoder.h"
#include "platform/core/MediaError.h"
#include "platform/core/TrackReader.h"
#include "tests/fuzz/MemorySource.h"

namespace {

struct Chroma {
    const char* tag;
    int shiftX, shiftY;  // subsampling; -1 for no chroma planes
};
const Chroma kChroma[] = {{"420jpeg", 1, 1}, {"422", 1, 0}, {"444", 0, 0}, {"411", 2, 0}, {"mono", -1, -1}};

// The encoders behind the video compressors, with the formats they take.
struct Target {
    const char* encoder;
    AVPixelFormat format;
};
const Target kEncoders[] = {{"mpeg4", AV_PIX_FMT_YUV420P},     {"msmpeg4", AV_PIX_FMT_YUV420P},
                            {"wmv2", AV_PIX_FMT_YUV420P},      {"mpeg1video", AV_PIX_FMT_YUV420P},
                            {"mpeg2video", AV_PIX_FMT_YUV420P}, {"mjpeg", AV_PIX_FMT_YUVJ420P},
                            {"huffyuv", AV_PIX_FMT_YUV422P},   {"ffv1", AV_PIX_FMT_YUV420P}};

int Side(uint8_t b) { return 1 + b % 64; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6) return 0;
    const int srcW = Side(data[0]), srcH = Side(data[1]);
    const int dstW = Side(data[2]), dstH = Side(data[3]);
    const Chroma& chroma = kChroma[data[4] % (sizeof kChroma / sizeof kChroma[0])];
    const Target& enc = kEncoders[data[5] % (sizeof kEncoders / sizeof kEncoders[0])];
    data += 6;
    size -= 6;

    size_t frameBytes = static_cast<size_t>(srcW) * srcH;
    if (chroma.shiftX >= 0) {
        const size_t cw = (srcW + (1 << chroma.shiftX) - 1) >> chroma.shiftX;
        const size_t ch = (srcH + (1 << chroma.shiftY) - 1) >> chroma.shiftY;
        frameBytes += 2 * cw * ch;
    }
    std::string y4m = "YUV4MPEG2 W" + std::to_string(srcW) + " H" + std::to_string(srcH) + " F25:1 Ip A1:1 C" +
                      chroma.tag + "\n";
    // Two pictures, the second the first's bytes turned around, so the
    // reader and the encoder see a change.
    for (int f = 0; f < 2; ++f) {
        y4m += "FRAME\n";
        for (size_t i = 0; i < frameBytes; ++i) {
            const size_t k = f == 0 ? i : frameBytes - 1 - i;
            y4m += static_cast<char>(size ? data[k % size] : 0x80);
        }
    }
    const auto* bytes = reinterpret_cast<const uint8_t*>(y4m.data());
    try {
        media::VideoTrackReader reader(fuzz::MemoryOpener(bytes, y4m.size()), {dstW, dstH, {25, 1}}, {});
        // The picture buffer is exactly the picture, as the graph's samples are.
        std::vector<uint8_t> picture(reader.FrameBytes());
        media::VideoEncodeSettings s;
        s.encoder = enc.encoder;
        s.pixelFormat = enc.format;
        s.width = dstW;
        s.height = dstH;
        s.threads = 1;
        std::optional<media::VideoEncoder> encoder;
        try {
            encoder.emplace(s);
        } catch (const media::MediaError&) {
            // Encoders refuse some sizes; the reader is still exercised.
        }
        int64_t n = 0;
        while (reader.Next(picture.data())) {
            if (encoder) encoder->Encode(picture.data(), AV_PIX_FMT_BGRA, dstW * 4, true, n, [](const media::EncodedPacket&) {});
            ++n;
        }
        if (encoder) encoder->Finish([](const media::EncodedPacket&) {});
    } catch (const media::MediaError&) {
    }
    return 0;
}
