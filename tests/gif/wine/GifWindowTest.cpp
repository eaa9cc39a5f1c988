// An animated GIF picture in a window, as the program shows pictures: a
// picture loaded through the registry, drawn by the window's paint handler
// four times enlarged, repainted whenever the picture changes. After each
// frame the window shows what ImageMagick composites, and a screenshot of
// it goes to the build tree's screenshots folder (gif_window_N.png).
#include <windows.h>

#include <string>
#include <vector>

#include "framework/forms/Graphics.h"
#include "gif/GifPainter.h"
#include "gif/GifPicture.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/gif/wine/GifWineUtil.h"
#include "tests/wine/harness/WineTest.h"

using namespace forms;
using namespace gif;
using gifwine::Bytes;
using gifwine::Rgb;

namespace {

constexpr int kScale = 4;
const Rgb kWindowColour{0x80, 0x80, 0x80};

TGraphic* g_picture = nullptr;

LRESULT CALLBACK PictureWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        try {
            TCanvas canvas;
            canvas.SetHandle(ps.hdc);
            if (g_picture) g_picture->Draw(canvas, client);
            canvas.SetHandle(nullptr);
        } catch (const std::exception& e) {
            wt::ReportFailure(__FILE__, __LINE__, std::string("painting: ") + e.what());
        }
        EndPaint(hwnd, &ps);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// A sky over grass; a ball rolls across, each position restored to the
// scene before the next (disposal 3); a star restored to the background
// (disposal 2) leaves a hole of whatever lies under the picture.
std::string Scene() {
    std::string text =
        "screen width 48\nscreen height 32\nscreen background 0\nscreen map\n"
        "\trgb 120 180 255 is s\n\trgb 040 160 040 is g\n\trgb 220 030 030 is r\n"
        "\trgb 255 255 255 is w\n\trgb 255 220 000 is y\n\trgb 255 000 255 is t\nend\n\n"
        "netscape loop 1\n\n";
    auto frame = [&](int left, int top, const std::vector<std::string>& rows, int disposal, int transparent) {
        text += "graphics control\n\tdisposal mode " + std::to_string(disposal) +
                "\n\tuser input flag off\n\tdelay 20\n\ttransparent index " + std::to_string(transparent) +
                "\nend\n\nimage\nimage left " + std::to_string(left) + "\nimage top " + std::to_string(top) +
                "\nimage bits " + std::to_string(rows[0].size()) + " by " + std::to_string(rows.size()) + "\n";
        for (const auto& row : rows) text += row + "\n";
        text += "\n";
    };
    std::vector<std::string> scene(32, std::string(48, 's'));
    for (int y = 22; y < 32; ++y) scene[static_cast<size_t>(y)] = std::string(48, 'g');
    frame(0, 0, scene, 1, -1);
    const std::vector<std::string> ball = {"ttrrrrtt", "trrwrrrt", "rrwwrrrr", "rrrrrrrr",
                                           "rrrrrrrr", "rrrrrrrr", "trrrrrrt", "ttrrrrtt"};
    for (int step = 0; step < 4; ++step) frame(2 + step * 10, 14, ball, 3, 5);
    frame(20, 2, {"ttyytt", "tyyyyt", "yyyyyy", "yyyyyy", "tyyyyt", "ttyytt"}, 2, 5);
    frame(40, 24, {"ww", "ww"}, 1, -1);
    return text;
}

// The window's pixels, one sample from the middle of each enlarged pixel.
Bytes WindowPixels(HWND hwnd, int width, int height) {
    TBitmap shot(width * kScale, height * kScale, TPixelFormat::pf24bit);
    const HDC dc = GetDC(hwnd);
    BitBlt(shot.Canvas().Handle(), 0, 0, width * kScale, height * kScale, dc, 0, 0, SRCCOPY);
    ReleaseDC(hwnd, dc);
    Bytes out;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const Rgb c = gifwine::PixelOf(shot, x * kScale + kScale / 2, y * kScale + kScale / 2);
            out.insert(out.end(), {c.R, c.G, c.B});
        }
    return out;
}

}  // namespace

WT_TEST(GifWindow, AnimatedPictureFrameByFrame) {
    TGIFImageRegistration registration;
    giftest::TempDir dir;
    const std::string source = dir.File("scene.txt"), path = dir.File("scene.gif");
    const std::string text = Scene();
    giftest::WriteFileBytes(source, Bytes(text.begin(), text.end()));
    int status = 0;
    giftest::Run("gifbuild '" + source + "' > '" + path + "'", &status);
    REQUIRE(status == 0);
    int w = 0, h = 0;
    const std::vector<Bytes> expected = gifwine::CoalescedFrames(path, kWindowColour, &w, &h);
    REQUIRE(expected.size() == 7 && w == 48 && h == 32);

    TPicture picture;
    picture.LoadFromFile(gifwine::WinePath(path));
    auto* gif = dynamic_cast<TGIFImage*>(picture.Graphic());
    REQUIRE(gif != nullptr);
    REQUIRE((gif->PaintOptions & (poThreaded | poAnimate)) == (poThreaded | poAnimate));
    g_picture = gif;

    WNDCLASSW wc{};
    wc.lpfnWndProc = &PictureWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(RGB(kWindowColour.R, kWindowColour.G, kWindowColour.B));
    wc.lpszClassName = L"GifPictureWindow";
    RegisterClassW(&wc);
    const RECT placed{120, 120, 120 + 48 * kScale, 120 + 32 * kScale};
    const HWND hwnd = CreateWindowExW(WS_EX_TOPMOST, L"GifPictureWindow", L"", WS_POPUP | WS_VISIBLE, placed.left,
                                      placed.top, 48 * kScale, 32 * kScale, nullptr, nullptr,
                                      GetModuleHandleW(nullptr), nullptr);
    REQUIRE(hwnd != nullptr);
    picture.OnChange = [hwnd](TObject*) { InvalidateRect(hwnd, nullptr, FALSE); };

    std::vector<Bytes> shown;
    auto capture = [&] {
        UpdateWindow(hwnd);
        GdiFlush();
        shown.push_back(WindowPixels(hwnd, w, h));
        const std::string file = ft::ScreenshotPath("gif_window_" + std::to_string(shown.size() - 1) + ".png");
        CHECK(ft::TakeScreenshot(file, placed));
    };
    bool ended = false;
    gif->OnPaintFrameDone = [&](TObject* sender) {
        // The first frame shows when the first paint ends.
        if (static_cast<TGIFPainter*>(sender)->ActiveFrame > 0) capture();
    };
    gif->OnPaintEnd = [&](TObject*) { ended = true; };
    gifwine::PumpMessages(50);
    UpdateWindow(hwnd);  // starts the painter; returns once the first frame is in
    capture();
    CHECK(gifwine::PumpUntil([&] { return ended; }, 60000));
    CHECK_EQ(shown.size(), expected.size());
    for (size_t i = 0; i < shown.size() && i < expected.size(); ++i)
        if (shown[i] != expected[i]) wt::ReportFailure(__FILE__, __LINE__, "frame " + std::to_string(i) + " differs");

    gif->StopPainting();
    g_picture = nullptr;
    DestroyWindow(hwnd);
    DeleteObject(wc.hbrBackground);
}
