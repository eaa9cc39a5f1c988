#include "gif/GifSubImage.h"

#include <algorithm>
#include <cstring>

#include "framework/forms/Icons.h"
#include "framework/forms/Palettes.h"
#include "gif/ColourReduction.h"
#include "gif/FrameRender.h"
#include "gif/GifExtensions.h"
#include "gif/GifGdi.h"
#include "gif/GifPicture.h"

namespace gif {

namespace {

constexpr const char* kRendering = "Rendering...";
constexpr const char* kConverting = "Converting...";
// A rendering this large starts as a 1-bit bitmap until its rows arrive.
constexpr int64_t kLargeRendering = 500000;

// A memory device context; the bitmap selected into it goes back, and it
// is deleted, on the way out.
class TMemoryDC {
public:
    explicit TMemoryDC(HDC like = nullptr) : m_dc(EnsureGDIHandle(CreateCompatibleDC(like))) {}
    ~TMemoryDC() {
        if (m_oldBitmap) SelectObject(m_dc, m_oldBitmap);
        DeleteDC(m_dc);
    }
    TMemoryDC(const TMemoryDC&) = delete;
    TMemoryDC& operator=(const TMemoryDC&) = delete;
    HDC Handle() const { return m_dc; }
    void SelectBitmap(HBITMAP bitmap) {
        const HGDIOBJ old = SelectObject(m_dc, bitmap);
        if (!m_oldBitmap) m_oldBitmap = old;
    }

private:
    HDC m_dc;
    HGDIOBJ m_oldBitmap = nullptr;
};

// A GDI object deleted on the way out.
template <class H>
class TOwnedObject {
public:
    explicit TOwnedObject(H handle) : m_handle(handle) {}
    ~TOwnedObject() {
        if (m_handle) DeleteObject(m_handle);
    }
    TOwnedObject(const TOwnedObject&) = delete;
    TOwnedObject& operator=(const TOwnedObject&) = delete;
    H Get() const { return m_handle; }

private:
    H m_handle;
};

// The picture's render lock, when the frame has a picture.
std::unique_lock<std::recursive_mutex> LockRendering(TGIFImage* picture) {
    return picture ? std::unique_lock<std::recursive_mutex>(picture->RenderLock())
                   : std::unique_lock<std::recursive_mutex>();
}

forms::TPixelFormat FormatOfBits(int bits) {
    switch (bits) {
    case 1: return forms::TPixelFormat::pf1bit;
    case 4: return forms::TPixelFormat::pf4bit;
    case 8: return forms::TPixelFormat::pf8bit;
    default: return forms::TPixelFormat::pf24bit;
    }
}

}  // namespace

TGIFSubImage::TGIFSubImage(TGIFImage* picture) : TGIFSubImageCore(picture) {}

TGIFSubImage::~TGIFSubImage() {
    ReleaseRendering();
    ReleaseMask();
    if (m_cachedPalette) DeleteObject(m_cachedPalette);
}

TGIFImage* TGIFSubImage::Picture() const { return static_cast<TGIFImage*>(m_image); }

void TGIFSubImage::Reset() {
    auto lock = LockRendering(Picture());
    ReleaseRendering();
    ReleaseMask();
    // A palette of the colours that go would render the next ones wrongly.
    if (m_cachedPalette) DeleteObject(m_cachedPalette);
    m_cachedPalette = nullptr;
    TGIFSubImageCore::Reset();
}

void TGIFSubImage::DiscardRendering() {
    auto lock = LockRendering(Picture());
    ReleaseRendering();
    ReleaseMask();
}

void TGIFSubImage::Progress(TGIFProgressStage stage, int percent, bool redraw, const char* message) {
    if (TGIFImage* picture = Picture()) picture->ReportProgress(this, stage, percent, redraw, message);
}

// ---- Bounds -----------------------------------------------------------------------

int TGIFSubImage::BoundAt(int index) const {
    switch (index) {
    case 1: return Left();
    case 2: return Top();
    case 3: return Width();
    case 4: return Height();
    default: return 0;
    }
}

void TGIFSubImage::SetBoundAt(int index, int value) {
    int bounds[4] = {Left(), Top(), Width(), Height()};
    if (index < 1 || index > 4) return;
    bounds[index - 1] = value;
    PlaceFrame(bounds[0], bounds[1], bounds[2], bounds[3]);
}

void TGIFSubImage::PlaceFrame(int left, int top, int width, int height) {
    const bool resized = width != Width() || height != Height();
    SetLeft(left);
    SetTop(top);
    SetWidth(width);
    SetHeight(height);
    if (resized) {
        ReleaseRendering();
        ReleaseMask();
        AllocatePixels();
    }
    TGIFImage* picture = Picture();
    if (!picture) return;
    bool warned = false;
    if (picture->Width() < left + width) {
        if (picture->Width() > 0) {
            Warn(kWarningSeverity, msg::WidthTooSmall);
            warned = true;
        }
        picture->SetWidth(left + width);
    }
    if (picture->Height() < top + height) {
        if (picture->Height() > 0) {
            Warn(kWarningSeverity, msg::HeightTooSmall);
            warned = true;
        }
        picture->SetHeight(top + height);
    }
    if (warned) Warn(kWarningSeverity, msg::ExceedsScreen);
}

// ---- Rendering --------------------------------------------------------------------

void TGIFSubImage::StartRendering() { m_rendering = std::make_unique<forms::TBitmap>(); }

void TGIFSubImage::ReleaseRendering() {
    m_rendering.reset();
    m_cutOut.reset();
}

void TGIFSubImage::ReleaseMask() {
    m_cutOut.reset();
    if (m_mask) DeleteObject(m_mask);
    m_mask = nullptr;
    m_maskStale = true;
}

bool TGIFSubImage::MaskAvailable() {
    auto lock = LockRendering(Picture());
    if (m_maskStale && Transparent()) {
        ReleaseRendering();
        Rendering();
    }
    return m_mask != nullptr;
}

HPALETTE TGIFSubImage::FramePalette() {
    TGIFImage* picture = Picture();
    auto lock = LockRendering(picture);
    if (m_rendering)
        if (HPALETTE palette = m_rendering->Palette()) return palette;
    if (m_cachedPalette) return m_cachedPalette;
    if (picture && picture->RendersDithered())
        m_cachedPalette = CreateWebSafePalette();
    else if (ColourMap().EntryCount() > 0)
        m_cachedPalette = ColourMapToPalette(ColourMap());
    else
        return picture ? picture->Palette() : nullptr;
    return m_cachedPalette;
}

void TGIFSubImage::ReplacePalette(HPALETTE palette) {
    TGIFImage* picture = Picture();
    auto lock = LockRendering(picture);
    if (palette == m_cachedPalette) return;
    if (m_cachedPalette) DeleteObject(m_cachedPalette);
    m_cachedPalette = palette;
    if (m_rendering && m_rendering->Palette() != palette) {
        ReleaseRendering();
        if (picture) {
            picture->SetPaletteModified(true);
            picture->NotifyChanged();
        }
    }
}

forms::TBitmap* TGIFSubImage::Rendering() {
    TGIFImage* picture = Picture();
    auto lock = LockRendering(picture);
    if (m_rendering || IsEmpty()) return m_rendering.get();
    Progress(TGIFProgressStage::Starting, 0, false, kRendering);
    try {
        m_rendering = Render(picture && picture->RendersDithered());
    } catch (const forms::EAbort&) {
        // Stopped on purpose: no rendering, and no error.
    } catch (...) {
        Progress(TGIFProgressStage::Ending, 0, false, kRendering);
        throw;
    }
    const bool paletteModified = picture && picture->PaletteModified();
    Progress(TGIFProgressStage::Ending, 100, paletteModified, kRendering);
    if (paletteModified) picture->NotifyChanged();
    return m_rendering.get();
}

std::unique_ptr<forms::TBitmap> TGIFSubImage::Render(bool dithered) {
    const int width = Width(), height = Height();
    auto bitmap = std::make_unique<forms::TBitmap>();
    if (static_cast<int64_t>(width) * height > kLargeRendering) bitmap->SetPixelFormat(forms::TPixelFormat::pf1bit);
    if (IsEmpty()) {
        bitmap->SetSize(width, height);
        if (HPALETTE palette = FramePalette()) bitmap->SetPalette(palette);
        return bitmap;
    }
    HPALETTE palette = FramePalette();
    TDIBWriter writer(*bitmap, palette, height, width, forms::TPixelFormat::pf8bit);
    const bool wantMask = m_maskStale && Transparent();
    if (wantMask) m_maskStale = false;
    TGIFMaskBits mask;
    RenderFrameRows(
        *this, dithered, [&writer](int y) { return writer.WriterRow(y); }, wantMask ? &mask : nullptr,
        [this, height](int y) {
            Progress(TGIFProgressStage::Running, MulDivRound(y, 100, height), false, kRendering);
        });
    if (wantMask && mask.AnyTransparent) {
        if (m_mask) DeleteObject(m_mask);
        m_mask = EnsureGDIHandle(CreateBitmap(width, height, 1, 1, mask.Bits.data()));
    }
    writer.Commit();
    return bitmap;
}

forms::TBitmap& TGIFSubImage::CutOut() {
    if (m_cutOut) return *m_cutOut;
    forms::TBitmap* rendering = Rendering();
    const int w = Width(), h = Height();
    auto cut = std::make_unique<forms::TBitmap>(w, h, forms::TPixelFormat::pf32bit);
    const HDC dc = cut->Canvas().Handle();
    BitBlt(dc, 0, 0, w, h, rendering->Canvas().Handle(), 0, 0, SRCCOPY);
    TMemoryDC maskDc;
    maskDc.SelectBitmap(m_mask);
    // Set mask bits arrive as the background colour, white: the pixel
    // AND NOT white is black.
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0)), oldBack = SetBkColor(dc, RGB(255, 255, 255));
    BitBlt(dc, 0, 0, w, h, maskDc.Handle(), 0, 0, 0x00220326);  // DSna
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
    m_cutOut = std::move(cut);
    return *m_cutOut;
}

// ---- Import and export ------------------------------------------------------------

void TGIFSubImage::Assign(const forms::TObject* source) {
    if (source == this) return;
    if (!source) {
        Reset();
        return;
    }
    if (const auto* frame = dynamic_cast<const TGIFSubImageCore*>(source)) {
        auto& from = const_cast<TGIFSubImageCore&>(*frame);
        Reset();
        if (from.IsEmpty()) return;
        SetLeft(from.Left());
        SetTop(from.Top());
        SetWidth(from.Width());
        SetHeight(from.Height());
        SetPackedFields(from.PackedFields());
        SetTransparentFlag(from.Transparent());
        AllocatePixels();
        std::memcpy(Pixels(), from.Pixels(), static_cast<size_t>(from.PixelCount()));
        ColourMap().Assign(from.ColourMap());
        // Each extension copies itself through its stored form.
        forms::TMemoryStream stream;
        from.Extensions().SaveToStream(stream);
        stream.SetPosition(0);
        ReadExtensions(stream);
        const auto* drawn = dynamic_cast<const TGIFSubImage*>(frame);
        if (drawn && drawn->m_rendering) {
            auto copy = std::make_unique<forms::TBitmap>();
            copy->Assign(*drawn->m_rendering);
            m_rendering = std::move(copy);
        }
        return;
    }
    if (const auto* bitmap = dynamic_cast<const forms::TBitmap*>(source); bitmap && !bitmap->Empty()) {
        AssignBitmap(const_cast<forms::TBitmap&>(*bitmap));
        return;
    }
    if (const auto* graphic = dynamic_cast<const forms::TGraphic*>(source); graphic && !graphic->Empty()) {
        auto& from = const_cast<forms::TGraphic&>(*graphic);
        Reset();
        forms::TBitmap bitmap;
        auto drawInto = [&] {
            bitmap.SetPixelFormat(forms::TPixelFormat::pf24bit);
            bitmap.SetSize(from.Width(), from.Height());
            bitmap.Canvas().Draw(0, 0, from);
        };
        const auto* icon = dynamic_cast<const forms::TIcon*>(graphic);
        if (icon) {
            try {
                drawInto();
            } catch (const forms::Exception&) {
                bitmap.Assign(from);
            }
        } else {
            try {
                bitmap.Assign(from);
            } catch (const forms::Exception&) {
                drawInto();
            }
        }
        AssignBitmap(bitmap);
        ICONINFO info{};
        if (icon && icon->Handle() && GetIconInfo(icon->Handle(), &info)) {
            TOwnedObject<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
            ImportMask(mask.Get());
        }
        return;
    }
    if (const auto* picture = dynamic_cast<const forms::TPicture*>(source)) {
        Assign(picture->Graphic());
        return;
    }
    throw forms::EConvertError(std::string("Cannot assign a ") + source->ClassName() + " to a TGIFSubImage");
}

void TGIFSubImage::AssignBitmap(forms::TBitmap& bitmap) {
    Reset();
    SetBoundAt(3, bitmap.Width());
    SetBoundAt(4, bitmap.Height());
    TGIFImage* picture = Picture();
    const int sourceBits = bitmap.BitsPerPixel();
    std::unique_ptr<forms::TBitmap> rendering;
    if (sourceBits == 1 || sourceBits == 4 || sourceBits == 8) {
        rendering = std::make_unique<forms::TBitmap>();
        rendering->Assign(bitmap);
    } else {
        // Reduction turns its source into 24 bits: the caller's bitmap stays as it is.
        forms::TBitmap source;
        source.Assign(bitmap);
        rendering = ReduceBitmapColours(source, picture ? picture->ColourReduction : DefaultColourReduction,
                                        picture ? picture->DitherKind : DefaultDitherKind, nullptr,
                                        picture ? picture->ReductionDepth : DefaultReductionDepth);
    }
    AllocatePixels();
    Progress(TGIFProgressStage::Starting, 0, false, kConverting);
    try {
        const int bits = rendering->BitsPerPixel();
        ImportRows(*rendering, bits == 1 || bits == 4 || bits == 8 ? bits : 24);
        if (bitmap.Transparent()) ImportMask(bitmap.MaskHandle());
    } catch (...) {
        m_rendering = std::move(rendering);
        Progress(TGIFProgressStage::Ending, 0, picture && picture->PaletteModified(), kConverting);
        throw;
    }
    // Kept aside until now: a colour table change on the way would free it.
    m_rendering = std::move(rendering);
    Progress(TGIFProgressStage::Ending, 100, picture && picture->PaletteModified(), kConverting);
}

void TGIFSubImage::ImportRows(forms::TBitmap& rendering, int bits) {
    TDIBReader reader(rendering, FormatOfBits(bits));
    if (bits == 1 || bits == 4) {
        ColourMapFromPalette(ColourMap(), rendering.Palette());
    } else if (bits == 8) {
        // Our bitmaps are all device-independent: their own colour table,
        // as far as its colours count (Wine answers 256 entries for any
        // 8-bit table).
        std::vector<RGBQUAD> table = rendering.ColorTable();
        if (rendering.ImportantColors() > 0 && static_cast<size_t>(rendering.ImportantColors()) < table.size())
            table.resize(static_cast<size_t>(rendering.ImportantColors()));
        ColourMap().FromRGBQuads(reinterpret_cast<const TRGBQuad*>(table.data()), static_cast<int>(table.size()));
    }
    const int width = Width(), height = Height();
    // The last colours seen, searched backward from the last hit.
    struct CacheEntry {
        TColor Colour = 0;
        int Index = -1;
    };
    std::array<CacheEntry, 8> cache{};
    int lastHit = 0;
    for (int y = 0; y < height; ++y) {
        if ((y & 31) == 0)
            Progress(TGIFProgressStage::Running, MulDivRound(y, 100, height), false, kConverting);
        const uint8_t* src = reader.ReaderRow(y);
        uint8_t* dst = RowAt(y);
        switch (bits) {
        case 1:
            for (int x = 0; x < width; ++x) dst[x] = (src[x >> 3] >> (7 - (x & 7))) & 1;
            break;
        case 4:
            for (int x = 0; x < width; ++x) dst[x] = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
            break;
        case 8:
            std::memcpy(dst, src, static_cast<size_t>(width));
            break;
        default:
            for (int x = 0; x < width; ++x) {
                const uint8_t* p = src + 3 * x;
                const TColor colour = TripleToColour(p[2], p[1], p[0]);
                int at = lastHit, found = -1;
                for (int k = 0; k < 8; ++k) {
                    if (cache[static_cast<size_t>(at)].Index < 0) break;
                    if (cache[static_cast<size_t>(at)].Colour == colour) {
                        found = at;
                        break;
                    }
                    at = (at + 7) & 7;
                }
                if (found < 0) {
                    // "Color table overflow" at the 257th colour ends the import.
                    const int index = ColourMap().AppendIfMissing(colour);
                    found = (lastHit + 1) & 7;
                    cache[static_cast<size_t>(found)] = CacheEntry{colour, index};
                }
                lastHit = found;
                dst[x] = static_cast<uint8_t>(cache[static_cast<size_t>(found)].Index);
            }
            break;
        }
    }
}

void TGIFSubImage::ImportMask(HBITMAP mask) {
    if (!mask) return;
    ColourMap().TrySortByUsage();
    const int count = ColourMap().EntryCount();
    if (count == 0 || count == 256) return;
    BITMAP info{};
    if (!GetObjectW(mask, sizeof info, &info)) return;
    const int index = ColourMap().AppendColour(0);
    // The mask as 24-bit rows from the top: any non-black pixel is transparent.
    const int w = std::min(Width(), static_cast<int>(info.bmWidth));
    const int h = std::min(Height(), static_cast<int>(info.bmHeight));
    const int stride = ((info.bmWidth * 24 + 31) / 32) * 4;
    std::vector<uint8_t> rows(static_cast<size_t>(stride) * info.bmHeight);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    bi.bmiHeader.biCompression = BI_RGB;
    const HDC screen = EnsureGDIHandle(GetDC(nullptr));
    const int got = GetDIBits(screen, mask, 0, static_cast<UINT>(info.bmHeight), rows.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    bool changed = false;
    if (got > 0) {
        for (int y = 0; y < h; ++y) {
            const uint8_t* m = rows.data() + static_cast<size_t>(y) * stride;
            uint8_t* dst = RowAt(y);
            for (int x = 0; x < w; ++x) {
                if (m[3 * x] | m[3 * x + 1] | m[3 * x + 2]) {
                    dst[x] = static_cast<uint8_t>(index);
                    changed = true;
                }
            }
        }
    }
    if (!changed) {
        ColourMap().RemoveAt(index);
        return;
    }
    auto gce = std::make_unique<TGIFGraphicControlExtension>(*this);
    gce->StoreTransparentIndex(static_cast<uint8_t>(index));
    gce->SetTransparent(true);
    Extensions().Append(std::move(gce));
    ReleaseMask();
}

void TGIFSubImage::AssignTo(forms::TObject& dest) {
    if (auto* bitmap = dynamic_cast<forms::TBitmap*>(&dest)) {
        if (forms::TBitmap* rendering = Rendering())
            bitmap->Assign(*rendering);
        else
            bitmap->Assign(forms::TBitmap());
        return;
    }
    throw forms::EConvertError(std::string("Cannot assign a TGIFSubImage to a ") + dest.ClassName());
}

// ---- Drawing ----------------------------------------------------------------------

RECT TGIFSubImage::FrameRect(const RECT& dest) const {
    const TGIFImage* picture = Picture();
    const int screenW = picture ? picture->Width() : Width(), screenH = picture ? picture->Height() : Height();
    const int w = dest.right - dest.left, h = dest.bottom - dest.top;
    return RECT{dest.left + MulDiv(Left(), w, screenW), dest.top + MulDiv(Top(), h, screenH),
                dest.left + MulDiv(Left() + Width(), w, screenW), dest.top + MulDiv(Top() + Height(), h, screenH)};
}

void TGIFSubImage::DrawFrame(forms::TCanvas& canvas, const RECT& rect, bool transparent, bool tile) {
    StretchDrawFrame(canvas, tile ? rect : FrameRect(rect), transparent, tile);
}

void TGIFSubImage::StretchDrawFrame(forms::TCanvas& canvas, const RECT& rect, bool transparent, bool tile) {
    TGIFImage* picture = Picture();
    // Held while drawing: a painter thread may be rendering frames.
    auto lock = LockRendering(picture);
    const int stepX = picture ? picture->Width() : 0, stepY = picture ? picture->Height() : 0;
    // The cells of a tiling, at the frame's offset in each copy of the
    // screen; a screen of no width or height gives one cell.
    auto forEachCell = [&](auto&& paint) {
        for (int y = rect.top + Top(); y < rect.bottom; y += stepY) {
            for (int x = rect.left + Left(); x < rect.right; x += stepX) {
                paint(RECT{x, y, x + Width(), y + Height()});
                if (stepX <= 0) break;
            }
            if (stepY <= 0) break;
        }
    };
    if (transparent && Transparent() && MaskAvailable()) {
        if (!Rendering()) return;
        const HDC source = CutOut().Canvas().Handle();
        TMemoryDC maskDc;
        maskDc.SelectBitmap(m_mask);
        const HDC dest = canvas.Handle();
        if (!tile) {
            MaskedStretchBlt(dest, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                             maskDc.Handle(), source, Width(), Height());
        } else {
            forEachCell([&](const RECT& cell) {
                MaskedStretchBlt(dest, cell.left, cell.top, Width(), Height(), maskDc.Handle(), source, Width(),
                                 Height());
            });
        }
        canvas.Changed();
        return;
    }
    forms::TBitmap* rendering = Rendering();
    if (!rendering) return;
    if (tile)
        forEachCell([&](const RECT& cell) { canvas.StretchDraw(cell, *rendering); });
    else
        canvas.StretchDraw(rect, *rendering);
}

void MaskedStretchBlt(HDC dest, int x, int y, int width, int height, HDC maskDc, HDC cutOutDc, int sourceWidth,
                      int sourceHeight) {
    // Monochrome into colour: set bits take the background colour, white,
    // which AND keeps the destination; clear bits black, which clears it
    // for the picture ORed in.
    const COLORREF oldText = SetTextColor(dest, RGB(0, 0, 0));
    const COLORREF oldBack = SetBkColor(dest, RGB(255, 255, 255));
    const int oldMode = SetStretchBltMode(dest, COLORONCOLOR);
    StretchBlt(dest, x, y, width, height, maskDc, 0, 0, sourceWidth, sourceHeight, SRCAND);
    StretchBlt(dest, x, y, width, height, cutOutDc, 0, 0, sourceWidth, sourceHeight, SRCPAINT);
    SetStretchBltMode(dest, oldMode);
    SetBkColor(dest, oldBack);
    SetTextColor(dest, oldText);
}

}  // namespace gif
