// GIF codec benchmark: our decoder and LZW encoder against giflib on the
// same data, in one run, alternating, with the ratio printed.
//
//   gifbench [repeats]
//
// Decoding: a 1000-frame 320x240 animation and a 4000x4000 still, both
// written by giflib's encoder, loaded whole from memory (our picture's
// LoadFromStream against DGifSlurp). Encoding: the same pixels written as
// LZW data (our encoder against EGifPutLine), and our run-length encoder
// for reference.
#include <gif_lib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "gif/GifImageCore.h"
#include "gif/LzwEncoder.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Clock = std::chrono::steady_clock;

struct Frame {
    int Width, Height;
    Bytes Pixels;
};

// Areas, gradients and speckles over 256 colours: LZW compresses it the way
// it does photographs reduced to a palette (about 2 to 3 to 1).
Bytes Picture(int w, int h, uint32_t seed) {
    Bytes p(static_cast<size_t>(w) * h);
    uint32_t s = seed * 2654435761u + 1;
    auto next = [&s] {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int v = ((x + seed * 3) / 12 + (y / 9) * 5) % 64 * 4;
            if (next() % 5 == 0) v += next() % 4;
            p[static_cast<size_t>(y) * w + x] = static_cast<uint8_t>(v);
        }
    return p;
}

struct MemoryOut {
    Bytes Data;
};

int WriteMemory(GifFileType* gif, const GifByteType* buf, int n) {
    auto* out = static_cast<MemoryOut*>(gif->UserData);
    out->Data.insert(out->Data.end(), buf, buf + n);
    return n;
}

struct MemoryIn {
    const Bytes* Data;
    size_t At;
};

int ReadMemory(GifFileType* gif, GifByteType* buf, int n) {
    auto* in = static_cast<MemoryIn*>(gif->UserData);
    const size_t k = std::min(static_cast<size_t>(n), in->Data->size() - in->At);
    std::memcpy(buf, in->Data->data() + in->At, k);
    in->At += k;
    return static_cast<int>(k);
}

// A whole GIF written by giflib through EGifPutLine.
Bytes GiflibEncode(const std::vector<Frame>& frames, int sw, int sh) {
    MemoryOut out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, WriteMemory, &error);
    if (!gif) throw std::runtime_error("EGifOpen failed");
    GifColorType colours[256];
    for (int i = 0; i < 256; ++i)
        colours[i] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i),
                                  static_cast<GifByteType>(i * 7)};
    ColorMapObject* map = GifMakeMapObject(256, colours);
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, sw, sh, 8, 0, map) == GIF_ERROR) throw std::runtime_error("screen");
    for (const Frame& f : frames) {
        if (EGifPutImageDesc(gif, 0, 0, f.Width, f.Height, false, nullptr) == GIF_ERROR)
            throw std::runtime_error("image");
        for (int y = 0; y < f.Height; ++y)
            if (EGifPutLine(gif, const_cast<GifPixelType*>(f.Pixels.data()) + static_cast<size_t>(y) * f.Width,
                            f.Width) == GIF_ERROR)
                throw std::runtime_error("line");
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out.Data;
}

size_t GiflibDecode(const Bytes& data) {
    MemoryIn in{&data, 0};
    int error = 0;
    GifFileType* gif = DGifOpen(&in, ReadMemory, &error);
    if (!gif || DGifSlurp(gif) != GIF_OK) throw std::runtime_error("DGifSlurp failed");
    const size_t frames = static_cast<size_t>(gif->ImageCount);
    DGifCloseFile(gif, &error);
    return frames;
}

size_t OurDecode(const Bytes& data) {
    gif::TGIFImageCore image;
    forms::TMemoryStream in(data);
    image.LoadFromStream(in);
    return static_cast<size_t>(image.Frames().ItemCount());
}

size_t OurEncode(const std::vector<Frame>& frames, bool rle) {
    forms::TMemoryStream out;
    for (const Frame& f : frames) {
        if (rle)
            gif::TRLEEncoder(nullptr).Encode(out, 8, 256, f.Pixels.data(), false, f.Height, f.Width);
        else
            gif::TLZWEncoder(nullptr).Encode(out, 8, 256, f.Pixels.data(), false, f.Height, f.Width);
    }
    return static_cast<size_t>(out.Size());
}

double Seconds(const std::function<void()>& job) {
    const auto t0 = Clock::now();
    job();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Runs the two jobs in turn `repeats` times; the best time of each.
void Compare(const char* what, int repeats, const std::function<void()>& ours, const std::function<void()>& theirs,
             double limit) {
    double best[2] = {1e30, 1e30};
    for (int i = 0; i < repeats; ++i) {
        best[0] = std::min(best[0], Seconds(ours));
        best[1] = std::min(best[1], Seconds(theirs));
    }
    const double ratio = best[0] / best[1];
    std::printf("%-34s ours %8.1f ms   giflib %8.1f ms   ratio %.2f (limit %.1f) %s\n", what, best[0] * 1e3,
                best[1] * 1e3, ratio, limit, ratio <= limit ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    std::vector<Frame> animation;
    for (int i = 0; i < 1000; ++i) animation.push_back({320, 240, Picture(320, 240, static_cast<uint32_t>(i))});
    const std::vector<Frame> still{{4000, 4000, Picture(4000, 4000, 99)}};
    const Bytes animationGif = GiflibEncode(animation, 320, 240);
    const Bytes stillGif = GiflibEncode(still, 4000, 4000);
    std::printf("animation: 1000 frames 320x240, %zu bytes; still: 4000x4000, %zu bytes (%.2f:1)\n",
                animationGif.size(), stillGif.size(), 16e6 / static_cast<double>(stillGif.size()));

    // The pictures must come out the same before their times mean anything.
    {
        gif::TGIFImageCore image;
        forms::TMemoryStream in(stillGif);
        image.LoadFromStream(in);
        if (std::memcmp(image.Frames().FrameAt(0).Pixels(), still[0].Pixels.data(), still[0].Pixels.size()) != 0) {
            std::fprintf(stderr, "decoded still differs\n");
            return 1;
        }
    }

    Compare("decode 1000 x 320x240", repeats, [&] { OurDecode(animationGif); }, [&] { GiflibDecode(animationGif); },
            1.5);
    Compare("decode 4000x4000", repeats, [&] { OurDecode(stillGif); }, [&] { GiflibDecode(stillGif); }, 1.5);
    Compare("LZW encode 1000 x 320x240", repeats, [&] { OurEncode(animation, false); },
            [&] { GiflibEncode(animation, 320, 240); }, 2.0);
    Compare("LZW encode 4000x4000", repeats, [&] { OurEncode(still, false); }, [&] { GiflibEncode(still, 4000, 4000); },
            2.0);
    Compare("run-length encode 4000x4000", repeats, [&] { OurEncode(still, true); },
            [&] { GiflibEncode(still, 4000, 4000); }, 1e9);
    std::printf("sizes of the still: giflib %zu, our LZW %zu, our run-length %zu bytes\n", stillGif.size(),
                OurEncode(still, false), OurEncode(still, true));
    return 0;
}
