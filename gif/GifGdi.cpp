#include "gif/GifGdi.h"

#include <cstring>

#include "framework/forms/Palettes.h"
#include "gif/ColourReduction.h"

namespace gif {

static_assert(sizeof(TPaletteEntry) == sizeof(PALETTEENTRY) && offsetof(PALETTEENTRY, peRed) == 0 &&
                  offsetof(PALETTEENTRY, peFlags) == 3,
              "palette entries are laid out alike");
static_assert(sizeof(TRGBQuad) == sizeof(RGBQUAD) && offsetof(RGBQUAD, rgbBlue) == 0, "colour quads alike");

void RaiseOutOfResources() {
    const DWORD error = GetLastError();
    char text[256] = {};
    if (error != 0 && FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                     text, sizeof text, nullptr) > 0) {
        std::string message(text);
        while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
        throw forms::EOutOfResources(message);
    }
    throw forms::EOutOfResources(std::string("Out of system resources"));
}

std::vector<TPaletteEntry> EntriesOfPalette(HPALETTE palette) {
    const std::vector<PALETTEENTRY> entries = forms::PaletteEntries(palette);
    std::vector<TPaletteEntry> out(entries.size());
    if (!entries.empty()) std::memcpy(out.data(), entries.data(), entries.size() * sizeof(PALETTEENTRY));
    return out;
}

HPALETTE PaletteFromEntries(const std::vector<TPaletteEntry>& entries) {
    return EnsureGDIHandle(
        forms::PaletteOf(reinterpret_cast<const PALETTEENTRY*>(entries.data()), static_cast<int>(entries.size())));
}

void ColourMapFromPalette(TGIFColorMap& map, HPALETTE palette) {
    std::vector<TPaletteEntry> entries = EntriesOfPalette(palette);
    if (entries.size() > 256) entries.resize(256);
    map.FromPaletteEntries(entries.data(), static_cast<int>(entries.size()));
}

HPALETTE ColourMapToPalette(const TGIFColorMap& map) {
    if (map.EntryCount() == 0) return nullptr;
    return PaletteFromEntries(map.ToPaletteEntries(PC_NOCOLLAPSE));
}

void ColourMapFromDIBColourTable(TGIFColorMap& map, HDC dc) {
    RGBQUAD quads[256];
    const UINT n = GetDIBColorTable(dc, 0, 256, quads);
    map.FromRGBQuads(reinterpret_cast<const TRGBQuad*>(quads), static_cast<int>(n));
    map.NotifyChanged();
}

std::vector<TPaletteEntry> StockPaletteEntries() {
    return EntriesOfPalette(static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE)));
}

HPALETTE CreateWebSafePalette() { return PaletteFromEntries(WebSafeEntries()); }
HPALETTE CreateGreyPalette256() { return PaletteFromEntries(GreyEntries256()); }
HPALETTE CreateGreyPalette4() { return PaletteFromEntries(GreyEntries4()); }
HPALETTE CreateBlackWhitePalette() { return PaletteFromEntries(BlackWhiteEntries()); }

HPALETTE CreateScreenHalftonePalette() {
    const HDC screen = EnsureGDIHandle(GetDC(nullptr));
    const HPALETTE palette = CreateHalftonePalette(screen);
    ReleaseDC(nullptr, screen);
    return EnsureGDIHandle(palette);
}

HPALETTE CreateOctreePalette(TRowSource& rows, int maxColours, int colourBits, bool withSystemColours) {
    std::vector<TPaletteEntry> system;
    if (withSystemColours) system = StockPaletteEntries();
    if (withSystemColours && system.size() < 20) system.resize(20, TPaletteEntry{0, 0, 0, 0});
    return PaletteFromEntries(
        OctreePaletteEntries(rows, maxColours, colourBits, withSystemColours ? system.data() : nullptr));
}

HPALETTE CreateOctreePaletteForBitmap(forms::TBitmap& bitmap, int maxColours, int colourBits,
                                      bool withSystemColours) {
    TDIBReader reader(bitmap, forms::TPixelFormat::pf24bit);
    return CreateOctreePalette(reader, maxColours, colourBits, withSystemColours);
}

}  // namespace gif
