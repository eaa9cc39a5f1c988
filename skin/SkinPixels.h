// The pixels of a skin bitmap: 24 bits per pixel (blue, green, red), rows
// packed top down. Skin archives hold their bitmaps as BMP files; this is
// what they decode to, whatever their own pixel format, and what the
// transforms of the skin engine work on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace skin {

struct SkinPixels {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;  // width * 3 per row, height rows

    // The largest bitmap that is decoded at all (a skin's largest strips
    // are a few thousand pixels long).
    static constexpr int kMaxSide = 16384;
    static constexpr int64_t kMaxPixels = 16 << 20;

    bool Empty() const { return width <= 0 || height <= 0; }
    void Clear();
    void Resize(int w, int h);
    uint8_t* Row(int y) { return bytes.data() + static_cast<size_t>(y) * width * 3; }
    const uint8_t* Row(int y) const { return bytes.data() + static_cast<size_t>(y) * width * 3; }
    // 0x00BBGGRR, as colours are held everywhere else.
    uint32_t Pixel(int x, int y) const;
    void SetPixel(int x, int y, uint32_t colour);
};

// Decodes a BMP file (core or info header; 1, 4, 8, 16, 24 or 32 bits;
// uncompressed, RLE or bit fields). False, with pixels empty, for anything
// that is not a whole bitmap of those kinds.
bool DecodeBmp(const uint8_t* data, size_t size, SkinPixels& pixels);

// The columns [left, left + width) of source.
SkinPixels CopyColumns(const SkinPixels& source, int left, int width);

// In place: left-right mirror, top-bottom flip, and quarter turns. A
// left turn moves old pixel (x, y) to (y, old width - 1 - x), a right turn
// to (old height - 1 - y, x); both swap width and height.
void MirrorPixels(SkinPixels& pixels);
// Each of frameCount side-by-side frames mirrored where it stands, so that
// the frames keep their order (counts below 1 count as 1).
void MirrorFramesPixels(SkinPixels& pixels, int frameCount);
void FlipPixels(SkinPixels& pixels);
void RotatePixelsLeft(SkinPixels& pixels);
void RotatePixelsRight(SkinPixels& pixels);

}  // namespace skin
