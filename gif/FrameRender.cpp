#include "gif/FrameRender.h"

#include <array>
#include <cstring>

#include "gif/ColourLookup.h"
#include "gif/Dither.h"

namespace gif {

void RenderFrameRows(TGIFSubImageCore& frame, bool dithered, const std::function<uint8_t*(int y)>& rowAt,
                     TGIFMaskBits* mask, const std::function<void(int y)>& progress) {
    const int width = frame.Width(), height = frame.Height();
    const int t = mask ? frame.TransparentIndex() : -1;
    if (mask) {
        mask->RowBytes = ((width + 15) >> 4) * 2;
        mask->Bits.assign(static_cast<size_t>(mask->RowBytes) * height, 0);
        mask->AnyTransparent = false;
    }
    auto markTransparent = [mask](int x, int y) {
        mask->Bits[static_cast<size_t>(y) * mask->RowBytes + (x >> 3)] |= static_cast<uint8_t>(0x80 >> (x & 7));
        mask->AnyTransparent = true;
    };

    if (!dithered) {
        for (int y = 0; y < height; ++y) {
            if ((y & 31) == 0 && progress) progress(y);
            const uint8_t* src = frame.RowAt(y);
            std::memcpy(rowAt(y), src, static_cast<size_t>(width));
            if (t < 0) continue;
            for (int x = 0; x < width; ++x)
                if (src[x] == t) markTransparent(x, y);
        }
        return;
    }

    TGIFColorMap& table = frame.ActiveColourTable();
    // The table's colours once; an index beyond it warns (once) and takes
    // entry 0, as ColourAt does.
    std::array<TRGBTriple, 256> colours{};
    std::array<bool, 256> known{};
    for (int i = 0; i < table.EntryCount() && i < 256; ++i) {
        colours[static_cast<size_t>(i)] = TRGBTriple{table.Entries()[3 * i], table.Entries()[3 * i + 1],
                                                     table.Entries()[3 * i + 2]};
        known[static_cast<size_t>(i)] = true;
    }
    auto colourOf = [&](uint8_t index) -> const TRGBTriple& {
        if (!known[index]) {
            colours[index] = ColourToTriple(table.ColourAt(index));
            known[index] = true;
        }
        return colours[index];
    };

    TNetscapeColorLookup lookup;
    TFloydSteinbergDitherer ditherer(width, lookup);
    uint8_t fill = 0;
    if (t >= 0) {
        // The transparent colour's own web-safe index: what shows where
        // the mask is not used.
        const TRGBTriple& c = colourOf(static_cast<uint8_t>(t));
        uint8_t r, g, b;
        fill = lookup.MatchColour(c.Red, c.Green, c.Blue, r, g, b);
    }
    for (int y = 0; y < height; ++y) {
        if ((y & 31) == 0 && progress) progress(y);
        const uint8_t* src = frame.RowAt(y);
        uint8_t* dst = rowAt(y);
        if (t >= 0) std::memset(dst, fill, static_cast<size_t>(width));
        uint8_t r, g, b;
        while (ditherer.InRow()) {
            const int x = ditherer.CurrentColumn();
            if (src[x] == t) {
                markTransparent(x, y);
                ditherer.SkipPixel();
                continue;
            }
            const TRGBTriple& c = colourOf(src[x]);
            dst[x] = ditherer.DitherPixel(c.Red, c.Green, c.Blue, r, g, b);
        }
        ditherer.AdvanceRow();
    }
}

}  // namespace gif
