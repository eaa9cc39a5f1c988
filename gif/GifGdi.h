// The GIF code's use of the platform's graphics: handle checks, colour
// tables to and from palettes and bitmap colour tables, and the fixed and
// octree palettes as palette handles (each owned by the caller).
#pragma once

#include <windows.h>

#include "framework/forms/Graphics.h"
#include "gif/ColourLookup.h"
#include "gif/GifBlocks.h"

namespace gif {

[[noreturn]] void RaiseOutOfResources();
// A zero handle raises EOutOfResources with the system's text for the last
// error ("Out of system resources" when there is none); else the handle.
template <class H>
H EnsureGDIHandle(H handle) {
    if (!handle) RaiseOutOfResources();
    return handle;
}

// Up to 256 entries of the palette; NotifyChanged.
void ColourMapFromPalette(TGIFColorMap& map, HPALETTE palette);
// The table as a palette, every entry PC_NOCOLLAPSE; nullptr when empty.
HPALETTE ColourMapToPalette(const TGIFColorMap& map);
// The colour table of the bitmap selected into the context.
void ColourMapFromDIBColourTable(TGIFColorMap& map, HDC dc);

HPALETTE PaletteFromEntries(const std::vector<TPaletteEntry>& entries);
std::vector<TPaletteEntry> EntriesOfPalette(HPALETTE palette);
// The 20 colours of the stock palette.
std::vector<TPaletteEntry> StockPaletteEntries();

HPALETTE CreateWebSafePalette();
HPALETTE CreateGreyPalette256();
HPALETTE CreateGreyPalette4();
HPALETTE CreateBlackWhitePalette();
// The halftone palette of the screen.
HPALETTE CreateScreenHalftonePalette();
HPALETTE CreateOctreePalette(TRowSource& rows, int maxColours, int colourBits, bool withSystemColours);
// Converts the bitmap to 24 bits and builds the octree palette of it.
HPALETTE CreateOctreePaletteForBitmap(forms::TBitmap& bitmap, int maxColours, int colourBits,
                                      bool withSystemColours);

}  // namespace gif
