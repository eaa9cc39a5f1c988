// Colour reduction benchmark: a 1920x1080 24-bit picture reduced to 8 bits
// by every method, with no dithering and with Floyd-Steinberg (the octree
// methods with every kind), best of a few runs each. Runs under Wine,
// without a display.
//
//   gifreducebench.exe [repeats]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "gif/ColourReduction.h"
#include "gif/GifGdi.h"

namespace {

// Gradients under soft noise and a few hard-edged shapes: many colours, as
// in a photograph.
std::unique_ptr<forms::TBitmap> Photo(int w, int h) {
    auto bmp = std::make_unique<forms::TBitmap>(w, h, forms::TPixelFormat::pf24bit);
    uint32_t s = 12345;
    for (int y = 0; y < h; ++y) {
        auto* row = static_cast<uint8_t*>(bmp->ScanLine(y));
        for (int x = 0; x < w; ++x) {
            s = s * 1664525u + 1013904223u;
            const int noise = static_cast<int>(s >> 28) - 8;
            const bool shape = ((x / 160) + (y / 120)) % 5 == 0;
            row[3 * x + 0] = static_cast<uint8_t>(std::clamp(x * 255 / w + noise, 0, 255));
            row[3 * x + 1] = static_cast<uint8_t>(std::clamp((shape ? 255 - y * 255 / h : y * 255 / h) + noise, 0, 255));
            row[3 * x + 2] = static_cast<uint8_t>(std::clamp(((x + y) * 255 / (w + h)) ^ (shape ? 0x80 : 0), 0, 255));
        }
    }
    return bmp;
}

const char* const kMethods[] = {"KeepColours", "StockPalette20", "HalftonePalette256", "GreyPalette4",
                                "BlackWhite",  "GreyPalette256", "WebSafe216",         "OctreeBits (8)",
                                "OctreeWithSystem", "CallerPalette (web-safe)"};
const char* const kKinds[] = {"none", "Floyd-Steinberg", "Stucki", "Sierra", "Jarvis-Judice-Ninke",
                              "Stevenson-Arce", "Burkes"};

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const auto source = Photo(1920, 1080);
    const HPALETTE caller = gif::CreateWebSafePalette();
    std::printf("1920x1080 24-bit picture, best of %d runs\n", repeats);
    std::printf("%-26s %-20s %10s\n", "method", "dithering", "ms");
    for (uint8_t method = 0; method <= gif::CallerPalette; ++method) {
        const bool octree = method == gif::OctreeBits || method == gif::OctreeWithSystem;
        for (uint8_t kind = 0; kind <= gif::DitherBurkes; ++kind) {
            if (!octree && kind > gif::DitherFloydSteinberg) break;
            double best = 1e30;
            for (int i = 0; i < repeats; ++i) {
                forms::TBitmap copy;
                copy.Assign(*source);
                const auto t0 = std::chrono::steady_clock::now();
                const auto result = gif::ReduceBitmapColours(copy, method, kind, caller, 8);
                best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
                if (result->Empty()) std::printf("  (empty result)\n");
            }
            std::printf("%-26s %-20s %10.1f%s\n", kMethods[method], kKinds[kind], best,
                        octree && kind == gif::DitherFloydSteinberg ? (best < 150 ? "   (limit 150: ok)" : "   (limit 150: OVER)")
                                                                    : "");
        }
    }
    DeleteObject(caller);
    return 0;
}
