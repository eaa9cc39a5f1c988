#include "skin/SkinImage.h"

#include <cstring>

#include "skin/SkinPixels.h"

namespace skin {

void ReadPixels(forms::TBitmap& bitmap, SkinPixels& pixels) {
    pixels.Resize(bitmap.Width(), bitmap.Height());
    for (int y = 0; y < pixels.height; ++y)
        std::memcpy(pixels.Row(y), bitmap.ScanLine(y), static_cast<size_t>(pixels.width) * 3);
}

void AssignPixels(forms::TBitmap& bitmap, const SkinPixels& pixels) {
    bitmap.SetPixelFormat(forms::TPixelFormat::pf24bit);
    bitmap.SetSize(pixels.width, pixels.height);
    for (int y = 0; y < pixels.height; ++y)
        std::memcpy(bitmap.ScanLine(y), pixels.Row(y), static_cast<size_t>(pixels.width) * 3);
}

namespace {

template <class F>
void Transform(forms::TBitmap& bitmap, F transform) {
    if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return;
    SkinPixels pixels;
    ReadPixels(bitmap, pixels);
    transform(pixels);
    AssignPixels(bitmap, pixels);
}

}  // namespace

void MirrorBitmap(forms::TBitmap& bitmap) { Transform(bitmap, MirrorPixels); }
void FlipBitmap(forms::TBitmap& bitmap) { Transform(bitmap, FlipPixels); }
void RotateBitmapLeft(forms::TBitmap& bitmap) { Transform(bitmap, RotatePixelsLeft); }
void RotateBitmapRight(forms::TBitmap& bitmap) { Transform(bitmap, RotatePixelsRight); }

}  // namespace skin
