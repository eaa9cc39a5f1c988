// Helpers of the GIF picture tests under Wine: pictures to and from bytes,
// pixels of framework bitmaps, frames composited by ImageMagick, message
// pumping while painters call the GUI thread, and a watchdog that ends a
// test program that hangs.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/forms/Graphics.h"
#include "gif/GifPicture.h"
#include "tests/gif/native/GifTestUtil.h"

namespace gifwine {

using giftest::Bytes;

std::unique_ptr<gif::TGIFImage> LoadPicture(const Bytes& bytes);
Bytes SavePicture(gif::TGIFImage& picture);
// A Unix path as Wine's drive Z: names it.
forms::String WinePath(const std::string& unixPath);

// Red, green, blue of a pixel of a bitmap.
struct Rgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const Rgb& o) const { return R == o.R && G == o.G && B == o.B; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};
std::string ToText(const Rgb& c);
Rgb PixelOf(forms::TBitmap& bitmap, int x, int y);
// Every pixel, rows from the top, 3 bytes (red, green, blue) each.
Bytes PixelsOf(forms::TBitmap& bitmap);
// A 24-bit bitmap filled with one colour.
std::unique_ptr<forms::TBitmap> SolidBitmap(int width, int height, Rgb colour);

// The frames ImageMagick composites of the file (-coalesce), flattened on
// the backdrop colour: one RGB image (3 bytes a pixel) per frame.
std::vector<Bytes> CoalescedFrames(const std::string& gifPath, Rgb backdrop, int* width, int* height);

// Handles every waiting message; then waits up to waitMs for more.
void PumpMessages(DWORD waitMs = 1);
// Pumps until done() or timeoutMs; true when done.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// Ends the process with a message when not disarmed within the time.
class Watchdog {
public:
    Watchdog(DWORD timeoutMs, std::string what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    static DWORD WINAPI Watch(LPVOID self);
    HANDLE m_disarm;
    HANDLE m_thread;
    DWORD m_timeout;
    std::string m_what;
};

// Milliseconds of a high-resolution clock.
double NowMs();

}  // namespace gifwine
