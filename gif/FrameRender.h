// The index rows of a frame's rendering and its transparency mask, as the
// frame's bitmap holds them: the frame's own indices, or web-safe palette
// indices dithered from its colours. No platform headers; the picture
// class puts the rows into a bitmap.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "gif/GifFrame.h"

namespace gif {

// A monochrome mask, rows from the top, each ((width + 15) >> 4) * 2 bytes;
// the bit of pixel x is 0x80 >> (x & 7) of byte x >> 3, set when the
// pixel is transparent.
struct TGIFMaskBits {
    int RowBytes = 0;
    std::vector<uint8_t> Bits;
    bool AnyTransparent = false;
    bool IsSet(int x, int y) const {
        return (Bits[static_cast<size_t>(y) * RowBytes + (x >> 3)] & (0x80 >> (x & 7))) != 0;
    }
};

// Fills rowAt(y) (width bytes each) for every row of the frame. Direct:
// the indices as they are. Dithered: Floyd-Steinberg to the 216 web-safe
// colours from the frame's active table. With a mask (for a transparent
// frame) the transparent pixels set their bits; dithered, they hold the
// web-safe index of the transparent colour and spread no error.
// progress(y) is told rows 0, 32, 64, ...
void RenderFrameRows(TGIFSubImageCore& frame, bool dithered, const std::function<uint8_t*(int y)>& rowAt,
                     TGIFMaskBits* mask, const std::function<void(int y)>& progress);

}  // namespace gif
