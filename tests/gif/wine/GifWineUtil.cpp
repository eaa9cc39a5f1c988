#include "tests/gif/wine/GifWineUtil.h"

#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace gifwine {

std::unique_ptr<gif::TGIFImage> LoadPicture(const Bytes& bytes) {
    auto picture = std::make_unique<gif::TGIFImage>();
    forms::TMemoryStream stream(bytes);
    picture->LoadFromStream(stream);
    return picture;
}

Bytes SavePicture(gif::TGIFImage& picture) {
    forms::TMemoryStream stream;
    picture.SaveToStream(stream);
    return stream.Bytes();
}

forms::String WinePath(const std::string& unixPath) {
    std::string path = "Z:" + unixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return forms::Utf8ToText(path);
}

std::string ToText(const Rgb& c) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.R, c.G, c.B);
    return text;
}

Rgb PixelOf(forms::TBitmap& bitmap, int x, int y) {
    if (bitmap.BitsPerPixel() <= 8) {
        const COLORREF c = static_cast<COLORREF>(bitmap.Canvas().Pixel(x, y));
        return Rgb{GetRValue(c), GetGValue(c), GetBValue(c)};
    }
    const auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(y));
    const int step = bitmap.BitsPerPixel() / 8;
    const uint8_t* p = row + x * step;
    return Rgb{p[2], p[1], p[0]};
}

Bytes PixelsOf(forms::TBitmap& bitmap) {
    Bytes out;
    out.reserve(static_cast<size_t>(bitmap.Width()) * bitmap.Height() * 3);
    for (int y = 0; y < bitmap.Height(); ++y)
        for (int x = 0; x < bitmap.Width(); ++x) {
            const Rgb c = PixelOf(bitmap, x, y);
            out.insert(out.end(), {c.R, c.G, c.B});
        }
    return out;
}

std::unique_ptr<forms::TBitmap> SolidBitmap(int width, int height, Rgb colour) {
    auto bitmap = std::make_unique<forms::TBitmap>(width, height, forms::TPixelFormat::pf24bit);
    for (int y = 0; y < height; ++y) {
        auto* row = static_cast<uint8_t*>(bitmap->ScanLine(y));
        for (int x = 0; x < width; ++x) {
            row[3 * x] = colour.B;
            row[3 * x + 1] = colour.G;
            row[3 * x + 2] = colour.R;
        }
    }
    return bitmap;
}

std::vector<Bytes> CoalescedFrames(const std::string& gifPath, Rgb backdrop, int* width, int* height) {
    giftest::TempDir dir;
    int status = 0;
    const std::string said =
        giftest::Run("convert-im6.q16 '" + gifPath + "' -coalesce -background '" + ToText(backdrop) +
                         "' -alpha remove -alpha off '" + dir.File("frame-%03d.ppm") + "' 2>&1",
                     &status);
    if (status != 0) throw std::runtime_error("ImageMagick: " + said);
    std::vector<Bytes> frames;
    for (int i = 0;; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%03d.ppm", i);
        Bytes ppm;
        try {
            ppm = giftest::ReadFileBytes(dir.File(name));
        } catch (const std::exception&) {
            break;
        }
        // "P6\nW H\n255\n" then the pixels.
        std::istringstream header(std::string(ppm.begin(), ppm.begin() + std::min<size_t>(ppm.size(), 64)));
        std::string magic;
        int w = 0, h = 0, max = 0;
        header >> magic >> w >> h >> max;
        const size_t start = ppm.size() - static_cast<size_t>(w) * h * 3;
        frames.emplace_back(ppm.begin() + static_cast<std::ptrdiff_t>(start), ppm.end());
        *width = w;
        *height = h;
    }
    return frames;
}

void PumpMessages(DWORD waitMs) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (waitMs) MsgWaitForMultipleObjects(0, nullptr, FALSE, waitMs, QS_ALLINPUT);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return false;
        PumpMessages(1);
    }
    return true;
}

Watchdog::Watchdog(DWORD timeoutMs, std::string what)
    : m_disarm(CreateEventW(nullptr, TRUE, FALSE, nullptr)), m_timeout(timeoutMs), m_what(std::move(what)) {
    m_thread = CreateThread(nullptr, 0, &Watch, this, 0, nullptr);
}

Watchdog::~Watchdog() {
    SetEvent(m_disarm);
    WaitForSingleObject(m_thread, INFINITE);
    CloseHandle(m_thread);
    CloseHandle(m_disarm);
}

DWORD WINAPI Watchdog::Watch(LPVOID param) {
    auto* self = static_cast<Watchdog*>(param);
    if (WaitForSingleObject(self->m_disarm, self->m_timeout) == WAIT_TIMEOUT) {
        std::fprintf(stderr, "watchdog: %s did not finish within %u ms (deadlock?)\n", self->m_what.c_str(),
                     static_cast<unsigned>(self->m_timeout));
        std::fflush(stderr);
        ExitProcess(3);
    }
    return 0;
}

double NowMs() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1000.0 / frequency;
}

}  // namespace gifwine
