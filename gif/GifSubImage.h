// TGIFSubImage: a frame of a TGIFImage that renders and draws itself. On
// top of the stored frame (GifFrame.h) it keeps its rendering (an 8-bit
// framework bitmap of its indices, or of web-safe colours when the picture
// renders dithered), its transparency mask and palette, places itself on
// the logical screen, imports other pictures (bitmaps, icons, frames) and
// draws onto a canvas, stretched or tiled, through its mask.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/forms/Graphics.h"
#include "gif/GifImageCore.h"

namespace gif {

class TGIFImage;

class TGIFSubImage : public TGIFSubImageCore {
public:
    FORMS_CLASS(TGIFSubImage)
    explicit TGIFSubImage(TGIFImage* picture);
    ~TGIFSubImage() override;

    TGIFImage* Picture() const;
    void Reset() override;
    void DiscardRendering() override;

    // 1 left, 2 top, 3 width, 4 height; another index reads 0 and sets nothing.
    int BoundAt(int index) const;
    void SetBoundAt(int index, int value);
    // New size: new (zero) pixels. A frame past the picture's edge widens
    // or heightens the picture, with warnings unless it was empty.
    void PlaceFrame(int left, int top, int width, int height);

    // ---- Rendering ----
    bool HasRendering() const { return m_rendering != nullptr; }
    void StartRendering();
    void ReleaseRendering();
    void ReleaseMask();
    // Renders a transparent frame whose mask is stale; true when a mask
    // exists (a frame whose transparent index no pixel uses has none).
    bool MaskAvailable();
    HBITMAP Mask() const { return m_mask; }
    bool MaskStale() const { return m_maskStale; }
    // The rendering's palette, the cached one, or one made now (web-safe
    // when the picture renders dithered, else of the local table); a frame
    // without local colours answers the picture's palette.
    HPALETTE FramePalette();
    // Takes ownership; a rendering of another palette goes.
    void ReplacePalette(HPALETTE palette);
    // Rendered on first use; nullptr for an empty frame.
    forms::TBitmap* Rendering();

    // ---- Import and export ----
    // Another frame, a bitmap, an icon, any picture, or a TPicture's
    // picture; nullptr empties the frame. EConvertError for anything else.
    void Assign(const forms::TObject* source);
    // A framework bitmap takes the rendering; EConvertError for others.
    void AssignTo(forms::TObject& dest);

    // ---- Drawing ----
    // The frame's rectangle scaled from the logical screen into dest.
    RECT FrameRect(const RECT& dest) const;
    void DrawFrame(forms::TCanvas& canvas, const RECT& rect, bool transparent, bool tile);
    void StretchDrawFrame(forms::TCanvas& canvas, const RECT& rect, bool transparent, bool tile);

private:
    std::unique_ptr<forms::TBitmap> Render(bool dithered);
    // The rendering with its transparent pixels black (there is a mask).
    forms::TBitmap& CutOut();
    void AssignBitmap(forms::TBitmap& bitmap);
    void ImportRows(forms::TBitmap& rendering, int bits);
    void ImportMask(HBITMAP mask);
    void Progress(TGIFProgressStage stage, int percent, bool redraw, const char* message);

    std::unique_ptr<forms::TBitmap> m_rendering;
    HBITMAP m_mask = nullptr;
    std::unique_ptr<forms::TBitmap> m_cutOut;
    bool m_maskStale = true;
    HPALETTE m_cachedPalette = nullptr;
};

// Puts a picture into the destination rectangle through its mask (set
// bits transparent): opaque pixels replace the destination, transparent
// ones leave it. cutOutDc holds the picture with its transparent pixels
// black (a frame keeps one beside its mask): two blits, where Wine's
// MaskBlt takes ten times as long.
void MaskedStretchBlt(HDC dest, int x, int y, int width, int height, HDC maskDc, HDC cutOutDc, int sourceWidth,
                      int sourceHeight);

}  // namespace gif
