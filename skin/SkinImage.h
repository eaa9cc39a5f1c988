// In-place transforms of 24-bit framework bitmaps: the skin engine derives
// mirrored, flipped and turned images from a skin's own (combo buttons,
// tabs at the bottom, left or right). Callers convert to 24 bits first.
#pragma once

#include "framework/forms/Graphics.h"

namespace skin {

struct SkinPixels;

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
