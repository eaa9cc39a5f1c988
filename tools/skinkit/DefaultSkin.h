// The skins the build draws from source: the program's built-in default
// skin and the skins shipped in its Skins folder, which differ only in
// their colours. Every bitmap is drawn here; nothing binary is kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "skin/SkinPixels.h"
#include "tools/skinkit/SkinWriter.h"

namespace skinkit {

struct SkinPalette {
    std::string skinName;
    uint32_t titleTop, titleBottom;          // active title bar gradient (0xBBGGRR)
    uint32_t inactiveTop, inactiveBottom;
    uint32_t frame, frameInactive;           // side and bottom borders
    uint32_t face, faceHot, facePressed;     // buttons, tabs, scroll parts
    uint32_t light, shadow, dkShadow;
    uint32_t accent;                         // selection, progress fill, checks
    uint32_t text, menu, trough;
};

// The built-in skin, and the shipped ones by name ("slate", "meadow").
SkinPalette DefaultPalette();
std::vector<std::string> ShippedSkinNames();
SkinPalette ShippedPalette(const std::string& name);

// The entries of a skin: "default.ini" first, then the bitmaps.
std::vector<SkinEntry> BuildSkinEntries(const SkinPalette& palette);

// Where each bitmap of a skin comes from: its entry name, its frames and
// how they lie (horizontal strips side by side, vertical ones stacked).
struct StripInfo {
    const char* name;
    int frames;
    bool vertical;
    int frameWidth, frameHeight;
};
const std::vector<StripInfo>& SkinStrips();

// A 24-bit bottom-up BMP file of the pixels.
std::vector<uint8_t> EncodeBmp(const skin::SkinPixels& pixels);

// The glyphs of the skinned system menu: restore, maximise, minimise and
// close, 16 x 16 each on white.
skin::SkinPixels MenuGlyphs();

}  // namespace skinkit
