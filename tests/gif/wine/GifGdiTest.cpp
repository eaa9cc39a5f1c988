// The graphics side of GIF pictures under Wine, without a display: the
// framework's bitmaps in each pixel format and its palettes, the GIF
// palettes and colour-table conversions, and colour reduction by every
// method and dithering kind.
#include <windows.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "framework/forms/Graphics.h"
#include "framework/forms/Palettes.h"
#include "gif/ColourReduction.h"
#include "gif/GifGdi.h"
#include "gif/GifImageCore.h"
#include "tests/wine/harness/WineTest.h"

using namespace forms;
using namespace gif;

namespace {

// A colourful 24-bit picture: gradients, a disc and stripes.
std::unique_ptr<TBitmap> Colourful(int w, int h) {
    auto bmp = std::make_unique<TBitmap>(w, h, TPixelFormat::pf24bit);
    for (int y = 0; y < h; ++y) {
        auto* row = static_cast<uint8_t*>(bmp->ScanLine(y));
        for (int x = 0; x < w; ++x) {
            const int dx = x - w / 2, dy = y - h / 2;
            const bool disc = dx * dx + dy * dy < w * h / 10;
            row[3 * x + 0] = static_cast<uint8_t>(disc ? 40 : x * 255 / (w - 1));        // blue
            row[3 * x + 1] = static_cast<uint8_t>(disc ? 200 : y * 255 / (h - 1));       // green
            row[3 * x + 2] = static_cast<uint8_t>((x / 8 + y / 8) % 2 ? 230 : 20 + x);   // red
        }
    }
    return bmp;
}

int PaletteSize(TBitmap& bmp) { return static_cast<int>(PaletteEntries(bmp.Palette()).size()); }

double Psnr(TBitmap& a, TBitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y) {
        const auto* p = static_cast<const uint8_t*>(a.ScanLine(y));
        const auto* q = static_cast<const uint8_t*>(b.ScanLine(y));
        for (int i = 0; i < 3 * a.Width(); ++i) sum += (p[i] - q[i]) * (p[i] - q[i]);
    }
    const double mse = sum / (3.0 * a.Width() * a.Height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

template <class E, class F>
std::string Raises(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e.what();
    }
    return "(nothing raised)";
}

}  // namespace

WT_TEST(FrameworkBitmaps, FormatsScanLinesAndPalettes) {
    const TPixelFormat formats[] = {TPixelFormat::pf1bit, TPixelFormat::pf4bit, TPixelFormat::pf8bit,
                                    TPixelFormat::pf24bit, TPixelFormat::pf32bit};
    const int bits[] = {1, 4, 8, 24, 32};
    for (int i = 0; i < 5; ++i) {
        TBitmap bmp(9, 3, formats[i]);
        CHECK_EQ(bmp.BitsPerPixel(), bits[i]);
        CHECK_EQ(bmp.RowBytes(), ((9 * bits[i] + 31) / 32) * 4);
        bmp.Canvas().Brush().SetColor(clBlack);
        bmp.Canvas().FillRect(RECT{0, 0, 9, 3});
        auto* top = static_cast<uint8_t*>(bmp.ScanLine(0));
        // Row 0 is the top row: the first pixel made white shows at (0, 0).
        if (bits[i] == 1) top[0] = 0x80;
        if (bits[i] == 4) top[0] = 0xF0;
        if (bits[i] == 8) top[0] = static_cast<uint8_t>(bmp.ColorTable().size() - 1);
        if (bits[i] >= 24) std::memset(top, 255, 3);
        CHECK_EQ(bmp.Canvas().Pixel(0, 0), clWhite);
        CHECK_EQ(bmp.Canvas().Pixel(0, 2), clBlack);
        // To 24 bits and back through the reader: the colours stay.
        TBitmap copy;
        copy.Assign(bmp);
        TDIBReader reader(copy, TPixelFormat::pf24bit);
        CHECK_EQ(copy.BitsPerPixel(), 24);
        CHECK(reader.ReaderRow(0)[0] == 255 && reader.ReaderRow(2)[0] == 0);
    }
}

WT_TEST(FrameworkBitmaps, ImportantColoursAndCopiedPalettes) {
    // 8-bit BMP data with a table of 256 of which 4 are important.
    TBitmap padded(3, 2, TPixelFormat::pf8bit);
    const HPALETTE grey4 = CreateGreyPalette4();
    {
        TDIBWriter writer(padded, grey4, 2, 3, TPixelFormat::pf8bit);
        writer.WriterRow(0)[2] = 3;
    }
    CHECK_EQ(padded.ColorTable().size(), 256u);
    CHECK_EQ(padded.ImportantColors(), 4);
    CHECK_EQ(PaletteSize(padded), 4);
    CHECK_EQ(padded.Canvas().Pixel(2, 0), clWhite);
    TMemoryStream stream;
    padded.SaveToStream(stream);
    stream.SetPosition(0);
    TBitmap back;
    back.LoadFromStream(stream);
    CHECK_EQ(PaletteSize(back), 4);
    TBitmap assigned;
    assigned.Assign(back);
    CHECK_EQ(PaletteSize(assigned), 4);

    const HPALETTE copy = CopyPalette(grey4);
    CHECK(copy != nullptr && copy != grey4);
    DeleteObject(grey4);
    const std::vector<PALETTEENTRY> entries = PaletteEntries(copy);
    CHECK_EQ(entries.size(), 4u);
    CHECK(entries.size() == 4 && entries[1].peRed == 128 && entries[2].peGreen == 192);
    DeleteObject(copy);
    CHECK(CopyPalette(nullptr) == nullptr);
}

WT_TEST(GifPalettes, HandlesTablesAndFixedPalettes) {
    SetLastError(0);
    CHECK_EQ(Raises<EOutOfResources>([] { EnsureGDIHandle(HPALETTE{}); }), std::string("Out of system resources"));
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    const std::string text = Raises<EOutOfResources>([] { EnsureGDIHandle(HBITMAP{}); });
    CHECK(!text.empty() && text != "Out of system resources" && text != "(nothing raised)");

    TGIFImageCore image;
    TGIFColorMap& map = image.GlobalColourTable();
    CHECK(ColourMapToPalette(map) == nullptr);
    for (TColor c : {0x010203, 0x0A0B0C, 0xFFFFFF}) map.AppendColour(c);
    const HPALETTE palette = ColourMapToPalette(map);
    const std::vector<PALETTEENTRY> entries = PaletteEntries(palette);
    CHECK_EQ(entries.size(), 3u);
    CHECK(entries.size() == 3 && entries[0].peRed == 3 && entries[0].peBlue == 1 && entries[1].peFlags == PC_NOCOLLAPSE);
    TGIFImageCore other;
    ColourMapFromPalette(other.GlobalColourTable(), palette);
    CHECK_EQ(other.GlobalColourTable().EntryCount(), 3);
    CHECK_EQ(other.GlobalColourTable().ColourAt(1), 0x0A0B0C);
    DeleteObject(palette);

    TBitmap indexed(2, 2, TPixelFormat::pf8bit);
    indexed.SetColorTable({RGBQUAD{1, 2, 3, 0}, RGBQUAD{4, 5, 6, 0}, RGBQUAD{7, 8, 9, 0}, RGBQUAD{10, 11, 12, 0},
                           RGBQUAD{13, 14, 15, 0}});
    // Wine answers the whole table of 256 where Windows gives the 5 in use.
    ColourMapFromDIBColourTable(other.GlobalColourTable(), indexed.Canvas().Handle());
    CHECK(other.GlobalColourTable().EntryCount() >= 5);
    CHECK_EQ(other.GlobalColourTable().ColourAt(0), TripleToColour(3, 2, 1));
    CHECK_EQ(other.GlobalColourTable().ColourAt(4), TripleToColour(15, 14, 13));

    struct Fixed {
        const char* name;
        HPALETTE (*make)();
        size_t size;
    };
    const Fixed fixed[] = {{"web-safe", CreateWebSafePalette, 216}, {"grey 256", CreateGreyPalette256, 256},
                           {"grey 4", CreateGreyPalette4, 4}, {"black and white", CreateBlackWhitePalette, 2},
                           {"halftone", CreateScreenHalftonePalette, 256}};
    for (const Fixed& f : fixed) {
        const HPALETTE p = f.make();
        CHECK_EQ(PaletteEntries(p).size(), f.size);
        DeleteObject(p);
    }
    const HPALETTE web = CreateWebSafePalette();
    const PALETTEENTRY e = PaletteEntries(web)[1 * 36 + 2 * 6 + 3];
    CHECK(e.peRed == 51 && e.peGreen == 102 && e.peBlue == 153);
    DeleteObject(web);

    auto source = Colourful(64, 48);
    const HPALETTE octree = CreateOctreePaletteForBitmap(*source, 256, 8, true);
    const std::vector<PALETTEENTRY> octreeEntries = PaletteEntries(octree);
    const std::vector<TPaletteEntry> stock = StockPaletteEntries();
    CHECK_EQ(octreeEntries.size(), 256u);
    CHECK_EQ(stock.size(), 20u);
    for (int i = 0; i < 10 && octreeEntries.size() == 256 && stock.size() == 20; ++i) {
        CHECK_EQ(octreeEntries[i].peRed, stock[i].Red);
        CHECK_EQ(octreeEntries[246 + i].peBlue, stock[10 + i].Blue);
        CHECK_EQ(octreeEntries[246 + i].peGreen, stock[10 + i].Green);
    }
    DeleteObject(octree);
}

WT_TEST(Reduction, EveryMethodAndDitherKind) {
    const HPALETTE caller = CreateGreyPalette4();
    const HPALETTE halftone = CreateScreenHalftonePalette();
    const int halftoneSize = static_cast<int>(PaletteEntries(halftone).size());
    DeleteObject(halftone);
    const int sizes[10] = {0, 20, halftoneSize, 4, 2, 256, 216, 8, 256, 4};
    for (uint8_t method = StockPalette20; method <= CallerPalette; ++method) {
        for (uint8_t kind = DitherNone; kind <= DitherBurkes; ++kind) {
            auto source = Colourful(97, 61);
            auto result = ReduceBitmapColours(*source, method, kind, caller, 3);
            REQUIRE(result != nullptr);
            CHECK_EQ(result->BitsPerPixel(), 8);
            CHECK_EQ(result->Width(), 97);
            CHECK_EQ(result->Height(), 61);
            CHECK_EQ(PaletteSize(*result), sizes[method]);
            CHECK_EQ(source->BitsPerPixel(), 24);
        }
    }
    DeleteObject(caller);
}

WT_TEST(Reduction, EdgesOfTheSettings) {
    auto source = Colourful(40, 30);
    for (uint8_t kind : {DitherNone, DitherStucki}) {
        auto copy = ReduceBitmapColours(*source, KeepColours, kind, nullptr, 8);
        CHECK_EQ(copy->BitsPerPixel(), 24);
        CHECK_EQ(Psnr(*copy, *source), 99.0);
    }
    CHECK(ReduceBitmapColours(*source, 10, DitherNone, nullptr, 8)->Empty());
    CHECK(ReduceBitmapColours(*source, WebSafe216, 7, nullptr, 8)->Empty());
    CHECK(ReduceBitmapColours(*source, CallerPalette, DitherNone, nullptr, 8)->Empty());
    // Reduction bits beyond 1..8 keep within a palette's 256 colours.
    const std::pair<int, int> depths[] = {{3, 8}, {1, 2}, {8, 256}, {0, 2}, {9, 256}, {32, 256}, {40, 256}};
    for (auto [bits, colours] : depths) {
        auto result = ReduceBitmapColours(*source, OctreeBits, DitherFloydSteinberg, nullptr, bits);
        CHECK_EQ(PaletteSize(*result), colours);
    }
    // Pictures over 500000 pixels start from a 1-bit result.
    auto large = Colourful(800, 700);
    auto reduced = ReduceBitmapColours(*large, WebSafe216, DitherNone, nullptr, 8);
    CHECK_EQ(reduced->BitsPerPixel(), 8);
    CHECK_EQ(reduced->Height(), 700);

    TBitmap target;
    CHECK_EQ(Raises<GIFException>([&] { TDIBWriter(target, nullptr, 2, 2, TPixelFormat::pf4bit); }),
             std::string("Unsupported PixelFormat"));
    CHECK_EQ(Raises<GIFException>([&] { TDIBWriter(target, nullptr, 2, 0, TPixelFormat::pf8bit); }),
             std::string("Invalid image dimensions"));
    CHECK_EQ(Raises<EInvalidGraphicOperation>([&] {
                 TDIBWriter w(target, nullptr, 2, 2, TPixelFormat::pf24bit);
                 w.WriterRow(2);
             }),
             std::string("Scan line index out of range"));
}

// Web-safe reduction gives the lookup's indices without dithering and the
// serpentine Floyd-Steinberg walk with it, pixel for pixel.
WT_TEST(Reduction, WebSafeIndicesAreTheLookups) {
    auto source = Colourful(53, 17);
    auto plain = ReduceBitmapColours(*source, WebSafe216, DitherNone, nullptr, 8);
    auto dithered = ReduceBitmapColours(*source, WebSafe216, DitherFloydSteinberg, nullptr, 8);
    TNetscapeColorLookup web;
    TFloydSteinbergDitherer fs(53, web);
    TDIBReader rows(*source, TPixelFormat::pf24bit);
    std::vector<uint8_t> expected(53 * 17);
    DitherRows(fs, rows, expected.data(), 53);
    int plainWrong = 0, ditherWrong = 0, rowsDiffer = 0;
    for (int y = 0; y < 17; ++y) {
        const uint8_t* src = rows.ReaderRow(y);
        const auto* p = static_cast<const uint8_t*>(plain->ScanLine(y));
        const auto* d = static_cast<const uint8_t*>(dithered->ScanLine(y));
        for (int x = 0; x < 53; ++x) {
            uint8_t r, g, b;
            plainWrong += p[x] != web.MatchColour(src[3 * x + 2], src[3 * x + 1], src[3 * x], r, g, b);
            ditherWrong += d[x] != expected[static_cast<size_t>(y * 53 + x)];
            rowsDiffer += p[x] != d[x];
        }
    }
    CHECK_EQ(plainWrong, 0);
    CHECK_EQ(ditherWrong, 0);
    CHECK(rowsDiffer > 0);
}

// Reduced and expanded to 24 bits again, each method keeps the picture
// within a bound on its peak signal-to-noise ratio (colour methods against
// the colour picture; grey and black-and-white lose the colour itself).
WT_TEST(Reduction, ExpandedAgainWithinPsnrBounds) {
    struct Bound {
        uint8_t method;
        double none, floyd;  // dB
    };
    const HPALETTE caller = CreateWebSafePalette();
    // About a decibel below what each method gives today. Dithering trades
    // pixel error for a truer look, so its bound is the lower one.
    const Bound bounds[] = {{StockPalette20, 13.5, 11},   {HalftonePalette256, 22, 20}, {GreyPalette4, 9, 8},
                            {BlackWhite, 5, 4.5},          {GreyPalette256, 9.5, 9},     {WebSafe216, 17, 20.5},
                            {OctreeBits, 26, 24},          {OctreeWithSystem, 33, 31},   {CallerPalette, 22.5, 20.5}};
    for (const Bound& b : bounds) {
        for (uint8_t kind : {DitherNone, DitherFloydSteinberg}) {
            auto source = Colourful(120, 90);
            auto reduced = ReduceBitmapColours(*source, b.method, kind, caller, 6);
            reduced->SetPixelFormat(TPixelFormat::pf24bit);
            const double psnr = Psnr(*reduced, *source);
            const double bound = kind == DitherNone ? b.none : b.floyd;
            if (psnr < bound) std::printf("method %d dither %d: %.1f dB, below %.1f\n", b.method, kind, psnr, bound);
            CHECK(psnr >= bound);
        }
    }
    DeleteObject(caller);
}

