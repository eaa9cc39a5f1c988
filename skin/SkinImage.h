// Drawing from skin bitmaps: every skinned surface is put together from
// frames cut out of skin strips, copied, stretched or split into nine
// pieces, with magenta (0xFF00FF) as the transparent key; windows get
// regions from the opaque pixels of a bitmap. And in-place transforms of
// 24-bit framework bitmaps: the skin engine derives mirrored, flipped and
// turned images from a skin's own (combo buttons, tabs at the bottom, left
// or right); callers convert to 24 bits first.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/forms/Graphics.h"
#include "framework/forms/Strings.h"
#include "skin/SkinRules.h"

namespace forms {
class TComponent;
}

namespace skin {

struct SkinPixels;

constexpr COLORREF kSkinKeyColour = 0xFF00FF;

// A new bitmap of the rectangle's size holding frame frameIndex (from 1) of
// the strip drawn nine-piece with the margins; the centre is tiled when
// tile is set, else stretched.
std::unique_ptr<forms::TBitmap> MakeSkinFrameBitmap(const RECT& rect, forms::TBitmap& strip, SkinMargins margins,
                                                    bool vertical, bool tile, int frameCount, int frameIndex);
// The same frame put at the rectangle, key-coloured pixels left out when
// transparent is set. Inverted rectangles draw nothing.
void DrawSkinFrame(HDC dc, const RECT& rect, forms::TBitmap& strip, SkinMargins margins, bool vertical, bool tile,
                   bool transparent, int frameCount, int frameIndex);
// A horizontal bar: the frame's Left columns, its middle repeated, its
// Right columns (only Left and Right of margins count).
void DrawSkinBarTiled(forms::TCanvas& canvas, const RECT& rect, forms::TBitmap& strip, SkinMargins margins,
                      bool vertical, bool transparent, int frameCount, int frameIndex);
// Only the eight margin pieces of the frame, stretched straight onto the
// DC; the centre of the rectangle is left as it is.
void DrawSkinBorderOnly(HDC dc, const RECT& rect, forms::TBitmap& strip, SkinMargins margins, bool vertical,
                        int frameCount, int frameIndex);
// A frame of a horizontal strip stretched to the rectangle.
void DrawStripFrame(HDC dc, const RECT& rect, forms::TBitmap& strip, bool transparent, int frameCount,
                    int frameIndex);
// The top-left of source copied to the rectangle except where source has
// the key colour.
void TransparentBlit(HDC dc, const RECT& rect, forms::TBitmap& source, COLORREF key);
// The source rectangle repeated from the target's top-left corner; the
// last row and column run over the target's right and bottom edges.
void TileBitmap(forms::TCanvas& canvas, const RECT& target, forms::TBitmap& source, const RECT& sourceRect);
// A region of the pixels that are not key-coloured (each channel within
// its tolerance above the key's value counts as the key), moved by the
// offsets. The bitmap is turned into 32 bits per pixel. The caller owns
// the region.
HRGN RegionFromBitmap(forms::TBitmap& bitmap, int xOffset, int yOffset, int blueTolerance, int greenTolerance,
                      int redTolerance, COLORREF key);
// Sets a published switch of a component by its name ("Flat", "True"):
// the framework's switches that skinning turns are known here by name;
// anything else is left alone. True when one was set.
bool SetEnumPropByName(forms::TComponent* component, const forms::String& property, const forms::String& value);
// Diagnostic texts of the skin engine go nowhere.
inline void SkinDebugLog(const forms::String&) {}

// The engine's shared scratch picture (stretch mode HALFTONE) and list.
forms::TBitmap& SkinScratchBitmap();
forms::TStringList& SkinScratchList();

void MirrorBitmap(forms::TBitmap& bitmap);
void FlipBitmap(forms::TBitmap& bitmap);
// 90 degrees counter-clockwise: old pixel (x, y) moves to (y, old width - 1 - x).
void RotateBitmapLeft(forms::TBitmap& bitmap);
// 90 degrees clockwise: old pixel (x, y) moves to (old height - 1 - y, x).
void RotateBitmapRight(forms::TBitmap& bitmap);

// A skin bitmap as a 24-bit framework bitmap, and back.
void AssignPixels(forms::TBitmap& bitmap, const SkinPixels& pixels);
void ReadPixels(forms::TBitmap& bitmap, SkinPixels& pixels);

}  // namespace skin
