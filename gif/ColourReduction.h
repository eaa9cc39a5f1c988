// Colour reduction: an 8-bit copy of any bitmap by one of ten methods and
// seven dithering kinds, and the row access to bitmaps that reduction and
// frame rendering share.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "framework/forms/Graphics.h"
#include "gif/ColourLookup.h"
#include "gif/Dither.h"

namespace gif {

enum TColourReduction : uint8_t {
    KeepColours = 0,         // a 24-bit copy
    StockPalette20 = 1,      // the stock palette
    HalftonePalette256 = 2,  // the screen's halftone palette
    GreyPalette4 = 3,
    BlackWhite = 4,
    GreyPalette256 = 5,
    WebSafe216 = 6,
    OctreeBits = 7,          // an octree palette of 2^bits colours
    OctreeWithSystem = 8,    // 236 octree colours between the stock palette's
    CallerPalette = 9,       // a copy of the caller's palette
};

// A bitmap (not owned) seen in one pixel format.
class TDIB {
public:
    TDIB(forms::TBitmap& bitmap, forms::TPixelFormat format) : m_bitmap(bitmap), m_format(format) {}
    virtual ~TDIB() = default;

protected:
    forms::TBitmap& m_bitmap;
    forms::TPixelFormat m_format;
};

// Converts the bitmap to the format in place, then gives its rows (0 the top).
class TDIBReader : public TDIB, public TRowSource {
public:
    TDIBReader(forms::TBitmap& bitmap, forms::TPixelFormat format);
    const uint8_t* ReaderRow(int i) { return static_cast<const uint8_t*>(m_bitmap.ScanLine(i)); }
    int Width() const override { return m_bitmap.Width(); }
    int Height() const override { return m_bitmap.Height(); }
    const uint8_t* Row(int y) override { return ReaderRow(y); }
};

// Rows of a new picture for the bitmap, 8 bits with the palette's colours
// or 24 bits, kept in one moveable memory block and loaded into the bitmap
// at once (as BMP data) by Commit, or when the writer goes.
class TDIBWriter : public TDIB {
public:
    // "Unsupported PixelFormat" for other formats than 8 and 24 bits,
    // "Invalid image dimensions" for a zero size. The palette is not owned.
    TDIBWriter(forms::TBitmap& bitmap, HPALETTE palette, int height, int width, forms::TPixelFormat format);
    ~TDIBWriter() override;
    TDIBWriter(const TDIBWriter&) = delete;
    TDIBWriter& operator=(const TDIBWriter&) = delete;

    // Row i, 0 the top ("Scan line index out of range" outside the picture).
    uint8_t* WriterRow(int i);
    // Loads the rows into the bitmap and frees them.
    void Commit();

private:
    void BuildDIB();
    void DropDIB();

    int m_width, m_height;
    HPALETTE m_palette;
    std::vector<uint8_t> m_header;  // BITMAPINFOHEADER and, for 8 bits, 256 RGBQUADs
    HGLOBAL m_memory = nullptr;
    uint8_t* m_bits = nullptr;
    size_t m_bitsSize = 0;
    int64_t m_rowBytes = 0;
    bool m_built = false;
};

// A new bitmap owned by the caller: an 8-bit copy of `bitmap` by `method`
// (a 24-bit copy for KeepColours), dithered by `ditherKind`. The source is
// left in 24 bits. A method above 9, a dither kind above 6 or a palette
// without colours gives an empty bitmap.
std::unique_ptr<forms::TBitmap> ReduceBitmapColours(forms::TBitmap& bitmap, uint8_t method, uint8_t ditherKind,
                                                    HPALETTE callerPalette, int reductionBits);

}  // namespace gif
