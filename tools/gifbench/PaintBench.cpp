// Drawing and animation figures of GIF pictures under Wine, into memory
// bitmaps: drawing a rendered 640x480 frame (plain and through its mask),
// and how far each frame of a 100-frame 640x480 animation, played by a
// threaded painter, is shown from its due time (the frame before it plus
// its delay). No other program draws GIF frames onto a GDI canvas, so the
// figures stand alone; the limits are 5 ms a draw and 20 ms a frame.
//
//   gifpaintbench.exe
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "gif/GifExtensions.h"
#include "gif/GifPainter.h"
#include "gif/GifPicture.h"

using namespace gif;

namespace {

double NowMs() {
    LARGE_INTEGER f, now;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// Frames of noise over four colours; odd frames transparent on index 3
// when `transparent`.
std::unique_ptr<TGIFImage> Animation(int frames, int delay, bool transparent) {
    auto picture = std::make_unique<TGIFImage>();
    for (TColor c : {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF}) picture->GlobalColourTable().AppendColour(c);
    uint32_t seed = 1;
    for (int i = 0; i < frames; ++i) {
        auto frame = std::make_unique<TGIFSubImage>(picture.get());
        frame->PlaceFrame(0, 0, 640, 480);
        uint8_t* p = frame->Pixels();
        for (int64_t k = 0; k < frame->PixelCount(); ++k) {
            seed = seed * 1664525u + 1013904223u;
            p[k] = static_cast<uint8_t>(seed >> 30);
        }
        auto gce = std::make_unique<TGIFGraphicControlExtension>(*frame);
        gce->SetDelay(delay);
        gce->StoreTransparentIndex(3);
        gce->SetTransparent(transparent && i % 2 == 1);
        frame->Extensions().Append(std::move(gce));
        picture->AddFrame(std::move(frame));
    }
    return picture;
}

double Percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())))];
}

}  // namespace

int main() {
    bool ok = true;
    forms::TBitmap target(640, 480, forms::TPixelFormat::pf24bit);
    const RECT whole{0, 0, 640, 480};
    auto still = Animation(10, 3, true);
    std::vector<double> plain, masked;
    for (int i = 0; i < 10; ++i) {
        still->Frame(i).DrawFrame(target.Canvas(), whole, true, false);  // renders
        for (int k = 0; k < 20; ++k) {
            const double start = NowMs();
            still->Frame(i).DrawFrame(target.Canvas(), whole, true, false);
            (i % 2 ? masked : plain).push_back(NowMs() - start);
        }
    }
    std::printf("draw a rendered 640x480 frame:  median %6.2f ms, 95%% %6.2f ms, max %6.2f ms\n",
                Percentile(plain, 0.5), Percentile(plain, 0.95), Percentile(plain, 1));
    std::printf("draw it through its mask:       median %6.2f ms, 95%% %6.2f ms, max %6.2f ms\n",
                Percentile(masked, 0.5), Percentile(masked, 0.95), Percentile(masked, 1));
    ok = ok && Percentile(plain, 0.5) < 5 && Percentile(masked, 0.5) < 5;

    // The painter's own thread renders each frame before its wait.
    auto animation = Animation(100, 3, false);
    animation->PaintOptions = poThreaded | poTransparent | poAnimate | poPaintOnCanvas;
    std::vector<double> shown;
    bool ended = false;
    animation->OnPaintFrameDone = [&](forms::TObject*) { shown.push_back(NowMs()); };
    animation->OnPaintEnd = [&](forms::TObject*) { ended = true; };
    animation->Draw(target.Canvas(), whole);
    while (!ended) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    std::vector<double> off;
    for (size_t i = 1; i < shown.size(); ++i) off.push_back(std::fabs(shown[i] - shown[i - 1] - 36));
    std::printf("100 frames of 640x480, 36 ms apart: off the due time by median %6.2f ms, 95%% %6.2f ms, "
                "max %6.2f ms\n",
                Percentile(off, 0.5), Percentile(off, 0.95), Percentile(off, 1));
    std::printf("  the last frame came %.1f ms after 99 x 36 ms (half of each frame's overrun is made up)\n",
                shown.back() - shown.front() - 99 * 36);
    ok = ok && Percentile(off, 1) < 20;
    std::printf("%s\n", ok ? "within the limits" : "OVER THE LIMITS");
    return ok ? 0 : 1;
}
