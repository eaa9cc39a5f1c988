#include "framework/forms/Palettes.h"

#include <algorithm>
#include <cstdint>

namespace forms {

std::vector<PALETTEENTRY> PaletteEntries(HPALETTE palette) {
    std::vector<PALETTEENTRY> entries;
    WORD count = 0;
    if (!palette || GetObjectW(palette, sizeof count, &count) == 0 || count == 0) return entries;
    entries.resize(count);
    entries.resize(GetPaletteEntries(palette, 0, count, entries.data()));
    return entries;
}

HPALETTE PaletteOf(const PALETTEENTRY* entries, int count) {
    count = std::min(count, 256);
    if (count <= 0) return nullptr;
    std::vector<uint8_t> buffer(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * static_cast<size_t>(count));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buffer.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = static_cast<WORD>(count);
    std::copy(entries, entries + count, lp->palPalEntry);
    return CreatePalette(lp);
}

HPALETTE CopyPalette(HPALETTE palette) {
    const std::vector<PALETTEENTRY> entries = PaletteEntries(palette);
    return PaletteOf(entries.data(), static_cast<int>(entries.size()));
}

}  // namespace forms
