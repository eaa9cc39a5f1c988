#include "skin/SkinImage.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "framework/forms/ComCtrls.h"
#include "framework/forms/StdCtrls.h"
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

// ---- Drawing from skin strips ---------------------------------------------------------

namespace skin {

namespace {

RECT ToRect(const SkinRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

SkinRect FrameIn(forms::TBitmap& strip, int frameCount, int frameIndex, bool vertical) {
    return FrameOf(strip.Width(), strip.Height(), frameCount, frameIndex, vertical);
}

std::unique_ptr<forms::TBitmap> NewPicture(int width, int height) {
    auto b = std::make_unique<forms::TBitmap>(width > 0 ? width : 0, height > 0 ? height : 0);
    b->Canvas().SetStretchMode(HALFTONE);
    return b;
}

// A DC's stretch mode for the time of a scope.
class StretchModeScope {
public:
    StretchModeScope(HDC dc, int mode) : m_dc(dc), m_old(SetStretchBltMode(dc, mode)) {
        if (mode == HALFTONE) SetBrushOrgEx(dc, 0, 0, &m_org);
    }
    ~StretchModeScope() {
        SetStretchBltMode(m_dc, m_old);
        SetBrushOrgEx(m_dc, m_org.x, m_org.y, nullptr);
    }

private:
    HDC m_dc;
    int m_old;
    POINT m_org{};
};

// Copies source's (sx, sy, w, h) to (x, y), leaving the target where the
// source has the key colour. The source keeps its mask for the next time.
void MaskedBlit(HDC dc, int x, int y, int w, int h, forms::TBitmap& source, int sx, int sy, COLORREF key) {
    if (source.TransparentMode() != forms::TTransparentMode::tmFixed ||
        forms::ColorToRGB(source.TransparentColor()) != key)
        source.SetTransparentColor(static_cast<forms::TColor>(key));
    const HBITMAP mask = source.MaskHandle();
    if (!mask) return;
    // Where the mask is white the target stays, where it is black the
    // source is copied.
    MaskBlt(dc, x, y, w, h, source.Canvas().Handle(), sx, sy, mask, sx, sy, MAKEROP4(0x00AA0029, SRCCOPY));
}

void Put(HDC dc, const RECT& rect, forms::TBitmap& picture, bool transparent) {
    if (transparent) TransparentBlit(dc, rect, picture, kSkinKeyColour);
    else BitBlt(dc, rect.left, rect.top, picture.Width(), picture.Height(), picture.Canvas().Handle(), 0, 0, SRCCOPY);
}

bool Inverted(const RECT& r) { return r.right < r.left || r.bottom < r.top; }

// Draws pieces of a strip onto a DC, moved by (x, y). A piece that is
// enlarged (or copied) takes each pixel from one source pixel; one that is
// shrunk is averaged (HALFTONE), so that no line of the skin disappears.
void DrawPieces(HDC dc, int x, int y, forms::TBitmap& strip, const std::vector<SkinPiece>& pieces) {
    const HDC src = strip.Canvas().Handle();
    const int oldMode = GetStretchBltMode(dc);
    POINT oldOrigin{};
    GetBrushOrgEx(dc, &oldOrigin);
    for (const SkinPiece& p : pieces) {
        const int w = p.dest.Width(), h = p.dest.Height();
        if (w <= 0 || h <= 0) continue;
        const RECT dest{p.dest.left + x, p.dest.top + y, p.dest.right + x, p.dest.bottom + y};
        if (p.tile) {
            forms::TCanvas canvas;
            canvas.SetHandle(dc);
            TileBitmap(canvas, dest, strip, ToRect(p.source));
            canvas.SetHandle(nullptr);
            continue;
        }
        const int sw = p.source.Width(), sh = p.source.Height();
        if (w == sw && h == sh) {
            BitBlt(dc, dest.left, dest.top, w, h, src, p.source.left, p.source.top, SRCCOPY);
            continue;
        }
        const bool shrinks = w < sw || h < sh;
        SetStretchBltMode(dc, shrinks ? HALFTONE : COLORONCOLOR);
        if (shrinks) SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, dest.left, dest.top, w, h, src, p.source.left, p.source.top, sw, sh, SRCCOPY);
    }
    SetStretchBltMode(dc, oldMode);
    SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
}

}  // namespace

std::unique_ptr<forms::TBitmap> MakeSkinFrameBitmap(const RECT& rect, forms::TBitmap& strip, SkinMargins margins,
                                                    bool vertical, bool tile, int frameCount, int frameIndex) {
    const int W = rect.right - rect.left, H = rect.bottom - rect.top;
    auto result = NewPicture(W, H);
    if (result->Empty() || strip.Empty()) return result;
    const SkinRect frame = FrameIn(strip, frameCount, frameIndex, vertical);
    DrawPieces(result->Canvas().Handle(), 0, 0, strip, NinePieces(frame, margins, W, H, tile));
    return result;
}

void DrawSkinFrame(HDC dc, const RECT& rect, forms::TBitmap& strip, SkinMargins margins, bool vertical, bool tile,
                   bool transparent, int frameCount, int frameIndex) {
    if (Inverted(rect) || strip.Empty()) return;
    const int W = rect.right - rect.left, H = rect.bottom - rect.top;
    if (W <= 0 || H <= 0) return;
    if (!transparent) {
        // Opaque pieces side by side: straight onto the target, the same
        // pixels as through a picture of the whole frame.
        const SkinRect frame = FrameIn(strip, frameCount, frameIndex, vertical);
        DrawPieces(dc, rect.left, rect.top, strip, NinePieces(frame, margins, W, H, tile));
        return;
    }
    auto picture = MakeSkinFrameBitmap(rect, strip, margins, vertical, tile, frameCount, frameIndex);
    Put(dc, rect, *picture, true);
}

void DrawSkinBarTiled(forms::TCanvas& canvas, const RECT& rect, forms::TBitmap& strip, SkinMargins margins,
                      bool vertical, bool transparent, int frameCount, int frameIndex) {
    if (Inverted(rect) || strip.Empty()) return;
    const int W = rect.right - rect.left, H = rect.bottom - rect.top;
    auto picture = NewPicture(W, H);
    if (picture->Empty()) return;
    const SkinRect frame = FrameIn(strip, frameCount, frameIndex, vertical);
    DrawPieces(picture->Canvas().Handle(), 0, 0, strip, TiledBarPieces(frame, margins.left, margins.right, W, H));
    Put(canvas.Handle(), rect, *picture, transparent);
}

void DrawSkinBorderOnly(HDC dc, const RECT& rect, forms::TBitmap& strip, SkinMargins margins, bool vertical,
                        int frameCount, int frameIndex) {
    if (Inverted(rect) || strip.Empty()) return;
    const SkinRect frame = FrameIn(strip, frameCount, frameIndex, vertical);
    const SkinRect target{rect.left, rect.top, rect.right, rect.bottom};
    StretchModeScope mode(dc, HALFTONE);
    const HDC src = strip.Canvas().Handle();
    for (const SkinPiece& p : BorderPieces(frame, margins, target))
        if (p.dest.Width() > 0 && p.dest.Height() > 0)
            StretchBlt(dc, p.dest.left, p.dest.top, p.dest.Width(), p.dest.Height(), src, p.source.left,
                       p.source.top, p.source.Width(), p.source.Height(), SRCCOPY);
}

void DrawStripFrame(HDC dc, const RECT& rect, forms::TBitmap& strip, bool transparent, int frameCount,
                    int frameIndex) {
    if (Inverted(rect) || strip.Empty()) return;
    const int W = rect.right - rect.left, H = rect.bottom - rect.top;
    if (W <= 0 || H <= 0) return;
    const SkinRect frame = FrameIn(strip, frameCount, frameIndex, false);
    if (frame.Width() == W && frame.Height() == H) {
        // A frame at its own size (a title-bar button) comes straight from
        // the strip.
        if (transparent) MaskedBlit(dc, rect.left, rect.top, W, H, strip, frame.left, frame.top, kSkinKeyColour);
        else BitBlt(dc, rect.left, rect.top, W, H, strip.Canvas().Handle(), frame.left, frame.top, SRCCOPY);
        return;
    }
    auto picture = NewPicture(W, H);
    DrawPieces(picture->Canvas().Handle(), 0, 0, strip, {SkinPiece{{0, 0, W, H}, frame, false}});
    Put(dc, rect, *picture, transparent);
}

void TransparentBlit(HDC dc, const RECT& rect, forms::TBitmap& source, COLORREF key) {
    if (Inverted(rect) || source.Empty()) return;
    const int w = std::min<int>(rect.right - rect.left, source.Width()), h = std::min<int>(rect.bottom - rect.top, source.Height());
    if (w <= 0 || h <= 0) return;
    MaskedBlit(dc, rect.left, rect.top, w, h, source, 0, 0, key);
}

void TileBitmap(forms::TCanvas& canvas, const RECT& target, forms::TBitmap& source, const RECT& sourceRect) {
    const int sw = sourceRect.right - sourceRect.left, sh = sourceRect.bottom - sourceRect.top;
    if (sw < 0 || sh < 0 || static_cast<int64_t>(sw) * sh == 0) return;
    if (target.right <= target.left || target.bottom <= target.top) return;
    forms::TBitmap tile(sw, sh);
    BitBlt(tile.Canvas().Handle(), 0, 0, sw, sh, source.Canvas().Handle(), sourceRect.left, sourceRect.top, SRCCOPY);
    const HDC dc = canvas.Handle();
    // Tiles from the top-left corner; the whole rows and columns they make
    // are copied in doubling steps rather than tile by tile, which gives the
    // same pixels.
    const int across = (target.right - target.left + sw - 1) / sw * sw;
    const int down = (target.bottom - target.top + sh - 1) / sh * sh;
    BitBlt(dc, target.left, target.top, sw, sh, tile.Canvas().Handle(), 0, 0, SRCCOPY);
    for (int done = sw; done < across;) {
        const int n = std::min(done, across - done);
        BitBlt(dc, target.left + done, target.top, n, sh, dc, target.left, target.top, SRCCOPY);
        done += n;
    }
    for (int done = sh; done < down;) {
        const int n = std::min(done, down - done);
        BitBlt(dc, target.left, target.top + done, across, n, dc, target.left, target.top, SRCCOPY);
        done += n;
    }
}

namespace {

// Rectangles of a region, handed to the system a batch at a time.
class RegionBuilder {
public:
    RegionBuilder() { Reset(); }
    ~RegionBuilder() {
        if (m_region) DeleteObject(m_region);
    }
    void Add(int left, int top, int right, int bottom) {
        if (m_count == m_capacity) {
            m_capacity += kGrowth;
            m_buffer.resize(sizeof(RGNDATAHEADER) + sizeof(RECT) * m_capacity);
        }
        RECT* rects = reinterpret_cast<RECT*>(m_buffer.data() + sizeof(RGNDATAHEADER));
        rects[m_count++] = RECT{left, top, right, bottom};
        m_bounds.left = std::min(m_bounds.left, static_cast<LONG>(left));
        m_bounds.top = std::min(m_bounds.top, static_cast<LONG>(top));
        m_bounds.right = std::max(m_bounds.right, static_cast<LONG>(right));
        m_bounds.bottom = std::max(m_bounds.bottom, static_cast<LONG>(bottom));
        if (m_count == kBatch) Flush();
    }
    void Flush() {
        auto* header = reinterpret_cast<RGNDATAHEADER*>(m_buffer.data());
        header->dwSize = sizeof(RGNDATAHEADER);
        header->iType = RDH_RECTANGLES;
        header->nCount = static_cast<DWORD>(m_count);
        header->nRgnSize = 0;
        header->rcBound = m_bounds;
        const HRGN part = ExtCreateRegion(nullptr, static_cast<DWORD>(sizeof(RGNDATAHEADER) + sizeof(RECT) * m_capacity),
                                          reinterpret_cast<const RGNDATA*>(m_buffer.data()));
        if (!m_region) {
            m_region = part;
        } else if (part) {
            CombineRgn(m_region, m_region, part, RGN_OR);
            DeleteObject(part);
        }
        m_count = 0;
        m_bounds = RECT{0x7FFFFFFF, 0x7FFFFFFF, 0, 0};
    }
    HRGN Take() {
        const HRGN r = m_region;
        m_region = nullptr;
        return r;
    }

private:
    static constexpr size_t kGrowth = 500, kBatch = 2000;
    void Reset() {
        m_capacity = kGrowth;
        m_buffer.assign(sizeof(RGNDATAHEADER) + sizeof(RECT) * m_capacity, 0);
        m_bounds = RECT{0x7FFFFFFF, 0x7FFFFFFF, 0, 0};
    }
    std::vector<uint8_t> m_buffer;
    size_t m_capacity = 0, m_count = 0;
    RECT m_bounds{};
    HRGN m_region = nullptr;
};

}  // namespace

HRGN RegionFromBitmap(forms::TBitmap& bitmap, int xOffset, int yOffset, int blueTolerance, int greenTolerance,
                      int redTolerance, COLORREF key) {
    bitmap.SetPixelFormat(forms::TPixelFormat::pf32bit);
    auto range = [](int value, int tolerance) { return std::min(255, value + tolerance); };
    const int r0 = GetRValue(key), g0 = GetGValue(key), b0 = GetBValue(key);
    const int r1 = range(r0, redTolerance), g1 = range(g0, greenTolerance), b1 = range(b0, blueTolerance);
    RegionBuilder builder;
    const int w = bitmap.Width(), h = bitmap.Height();
    for (int y = 0; y < h; ++y) {
        const auto* row = static_cast<const uint8_t*>(bitmap.ScanLine(y));
        int x = 0;
        while (x < w) {
            auto keyed = [&](int at) {
                const uint8_t* p = row + at * 4;
                return p[2] >= r0 && p[2] <= r1 && p[1] >= g0 && p[1] <= g1 && p[0] >= b0 && p[0] <= b1;
            };
            while (x < w && keyed(x)) ++x;
            const int start = x;
            while (x < w && !keyed(x)) ++x;
            if (x > start) builder.Add(start + xOffset, y + yOffset, x + xOffset, y + yOffset + 1);
        }
    }
    builder.Flush();
    return builder.Take();
}

bool SetEnumPropByName(forms::TComponent* component, const forms::String& property, const forms::String& value) {
    if (!component) return false;
    const forms::String v = forms::LowerCase(value);
    if (v != u"true" && v != u"false") return false;
    const bool on = v == u"true";
    if (forms::SameText(property, u"Flat")) {
        if (auto* bar = dynamic_cast<forms::TToolBar*>(component)) {
            bar->SetFlat(on);
            return true;
        }
    } else if (forms::SameText(property, u"Transparent")) {
        if (auto* label = dynamic_cast<forms::TLabel*>(component)) {
            label->SetTransparent(on);
            return true;
        }
    }
    return false;
}

forms::TBitmap& SkinScratchBitmap() {
    static forms::TBitmap bitmap;
    bitmap.Canvas().SetStretchMode(HALFTONE);
    return bitmap;
}

forms::TStringList& SkinScratchList() {
    static forms::TStringList list;
    return list;
}

}  // namespace skin
