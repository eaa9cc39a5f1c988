// Logical palettes: copies, sizes and entries, for the code that hands
// palettes between bitmaps and pictures.
#pragma once

#include <windows.h>

#include <vector>

namespace forms {

// Entries of a palette (none for no palette).
std::vector<PALETTEENTRY> PaletteEntries(HPALETTE palette);
// A new palette with the entries given (at most 256); nullptr for none.
HPALETTE PaletteOf(const PALETTEENTRY* entries, int count);
// A new palette with the entries of `palette`, owned by the caller;
// nullptr for no palette or an empty one.
HPALETTE CopyPalette(HPALETTE palette);

}  // namespace forms
