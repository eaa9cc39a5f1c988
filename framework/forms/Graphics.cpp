#include "framework/forms/Graphics.h"

#include <algorithm>
#include <cstring>

#include "framework/com/WinText.h"
#include "framework/forms/WinStreams.h"

namespace forms {

COLORREF ColorToRGB(TColor color) {
    if (color & clSystemColor) return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0xFFFFFF;
}

TGraphicsObject::~TGraphicsObject() {
    if (m_handle && !m_stock) DeleteObject(m_handle);
    if (m_retired) DeleteObject(m_retired);
}

void TGraphicsObject::Changing() {
    if (OnChanging) OnChanging(this);
}

void TGraphicsObject::Changed() {
    if (OnChange) OnChange(this);
}

void TGraphicsObject::Retire() {
    if (m_retired) DeleteObject(m_retired);
    m_retired = m_stock ? nullptr : m_handle;
    m_handle = nullptr;
    m_stock = false;
}

// ---- TFont -----------------------------------------------------------------------

namespace {

int ScreenPixelsPerInch() {
    static const int ppi = [] {
        const com::WindowDc dc(nullptr);
        const int v = dc ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
        return v > 0 ? v : 96;
    }();
    return ppi;
}

}  // namespace

TFont::TFont() : m_name(u"Tahoma"), m_height(-MulDiv(8, ScreenPixelsPerInch(), 72)) {}

void TFont::SetName(const String& name) {
    Change(m_name, name);
}

int TFont::Size() const { return -MulDiv(m_height, 72, ScreenPixelsPerInch()); }

void TFont::SetSize(int points) { SetHeight(-MulDiv(points, ScreenPixelsPerInch(), 72)); }

void TFont::SetHeight(int pixels) {
    Change(m_height, pixels);
}

void TFont::SetStyle(unsigned styles) {
    Change(m_style, styles);
}

void TFont::SetColor(TColor color) {
    Change(m_color, color, false);
}

void TFont::Assign(const TFont& other) {
    if (&other == this) return;
    if (other.m_name == m_name && other.m_height == m_height && other.m_style == m_style &&
        other.m_color == m_color)
        return;
    Changing();
    m_name = other.m_name;
    m_height = other.m_height;
    m_style = other.m_style;
    m_color = other.m_color;
    Retire();
    Changed();
}

HFONT TFont::Handle() {
    if (!m_handle) {
        LOGFONTW lf{};
        lf.lfHeight = m_height;
        lf.lfWeight = (m_style & fsBold) ? FW_BOLD : FW_NORMAL;
        lf.lfItalic = (m_style & fsItalic) ? 1 : 0;
        lf.lfUnderline = (m_style & fsUnderline) ? 1 : 0;
        lf.lfStrikeOut = (m_style & fsStrikeOut) ? 1 : 0;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = DEFAULT_QUALITY;
        const size_t n = std::min<size_t>(m_name.size(), LF_FACESIZE - 1);
        std::memcpy(lf.lfFaceName, m_name.data(), n * sizeof(WCHAR));
        m_handle = CreateFontIndirectW(&lf);
        if (!m_handle) throw EOutOfResources("Out of system resources (font)");
    }
    return static_cast<HFONT>(m_handle);
}

// ---- TBrush, TPen -------------------------------------------------------------

void TBrush::SetColor(TColor color) {
    Change(m_color, color);
}

void TBrush::SetStyle(TBrushStyle style) {
    Change(m_style, style);
}

HBRUSH TBrush::Handle() {
    if (!m_handle) {
        m_stock = m_style == TBrushStyle::bsClear;
        m_handle = m_stock ? GetStockObject(NULL_BRUSH) : CreateSolidBrush(ColorToRGB(m_color));
        if (!m_handle) throw EOutOfResources("Out of system resources (brush)");
    }
    return static_cast<HBRUSH>(m_handle);
}

void TPen::SetColor(TColor color) {
    Change(m_color, color);
}

void TPen::SetWidth(int width) {
    Change(m_width, width);
}

void TPen::SetStyle(TPenStyle style) {
    Change(m_style, style);
}

HPEN TPen::Handle() {
    if (!m_handle) {
        int style = PS_SOLID;
        if (m_style == TPenStyle::psDash) style = PS_DASH;
        else if (m_style == TPenStyle::psDot) style = PS_DOT;
        else if (m_style == TPenStyle::psClear) style = PS_NULL;
        m_handle = CreatePen(style, m_width, ColorToRGB(m_color));
        if (!m_handle) throw EOutOfResources("Out of system resources (pen)");
    }
    return static_cast<HPEN>(m_handle);
}

// ---- TCanvas ----------------------------------------------------------------------

TCanvas::TCanvas() {
    m_font.OnChanging = [this](TObject*) { DeselectObjects(); };
    m_pen.OnChanging = [this](TObject*) { DeselectObjects(); };
    m_brush.OnChanging = [this](TObject*) { DeselectObjects(); };
}

TCanvas::~TCanvas() { DeselectObjects(); }

HDC TCanvas::Handle() {
    if (!m_dc) CreateHandle();
    if (!m_dc) throw EInvalidOperation("Canvas does not allow drawing");
    return m_dc;
}

void TCanvas::SetHandle(HDC dc) {
    if (dc == m_dc) return;
    DeselectObjects();
    m_dc = dc;
}

void TCanvas::DeselectObjects() {
    if (!m_dc) return;
    if (m_oldFont) SelectObject(m_dc, m_oldFont);
    if (m_oldPen) SelectObject(m_dc, m_oldPen);
    if (m_oldBrush) SelectObject(m_dc, m_oldBrush);
    m_oldFont = m_oldPen = m_oldBrush = nullptr;
}

void TCanvas::Select() {
    const HDC dc = Handle();
    HGDIOBJ old = SelectObject(dc, m_font.Handle());
    if (!m_oldFont) m_oldFont = old;
    old = SelectObject(dc, m_pen.Handle());
    if (!m_oldPen) m_oldPen = old;
    old = SelectObject(dc, m_brush.Handle());
    if (!m_oldBrush) m_oldBrush = old;
    SetTextColor(dc, ColorToRGB(m_font.Color()));
    if (m_brush.Style() == TBrushStyle::bsClear) {
        SetBkMode(dc, TRANSPARENT);
    } else {
        SetBkMode(dc, OPAQUE);
        SetBkColor(dc, ColorToRGB(m_brush.Color()));
    }
}

void TCanvas::Changed() {
    if (OnChange) OnChange(this);
}

void TCanvas::FillRect(const RECT& rect) {
    Select();
    ::FillRect(m_dc, &rect, m_brush.Handle());
    Changed();
}

void TCanvas::FrameRect(const RECT& rect) {
    Select();
    ::FrameRect(m_dc, &rect, m_brush.Handle());
    Changed();
}

void TCanvas::Rectangle(int x1, int y1, int x2, int y2) {
    Select();
    ::Rectangle(m_dc, x1, y1, x2, y2);
    Changed();
}

void TCanvas::MoveTo(int x, int y) {
    Select();
    MoveToEx(m_dc, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Select();
    ::LineTo(m_dc, x, y);
    Changed();
}

void TCanvas::TextOut(int x, int y, const String& text) {
    Select();
    TextOutW(m_dc, x, y, com::W(text), static_cast<int>(text.size()));
    Changed();
}

void TCanvas::TextRect(const RECT& rect, int x, int y, const String& text) {
    Select();
    ExtTextOutW(m_dc, x, y, ETO_CLIPPED | (m_brush.Style() == TBrushStyle::bsClear ? 0 : ETO_OPAQUE), &rect,
                com::W(text), static_cast<UINT>(text.size()), nullptr);
    Changed();
}

SIZE TCanvas::TextExtent(const String& text) {
    Select();
    SIZE size{};
    GetTextExtentPoint32W(m_dc, com::W(text), static_cast<int>(text.size()), &size);
    return size;
}

void TCanvas::Draw(int x, int y, TGraphic& graphic) {
    if (graphic.Empty()) return;
    const RECT r{x, y, x + graphic.Width(), y + graphic.Height()};
    StretchDraw(r, graphic);
}

void TCanvas::StretchDraw(const RECT& rect, TGraphic& graphic) {
    if (graphic.Empty()) return;
    Select();
    graphic.Draw(*this, rect);
    Changed();
}

void TCanvas::CopyRect(const RECT& dest, TCanvas& source, const RECT& sourceRect) {
    Select();
    const HDC src = source.Handle();
    SetStretchBltMode(m_dc, m_stretchMode);
    if (m_stretchMode == HALFTONE) SetBrushOrgEx(m_dc, 0, 0, nullptr);
    StretchBlt(m_dc, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, src, sourceRect.left,
               sourceRect.top, sourceRect.right - sourceRect.left, sourceRect.bottom - sourceRect.top, m_copyMode);
    Changed();
}

TColor TCanvas::Pixel(int x, int y) { return static_cast<TColor>(GetPixel(Handle(), x, y)); }

void TCanvas::SetPixel(int x, int y, TColor color) {
    ::SetPixel(Handle(), x, y, ColorToRGB(color));
    Changed();
}

RECT TCanvas::ClipRect() {
    RECT r{};
    GetClipBox(Handle(), &r);
    return r;
}

void TCanvas::Lock() { m_lock.lock(); }
void TCanvas::Unlock() { m_lock.unlock(); }
bool TCanvas::TryLock() { return m_lock.try_lock(); }

// ---- TGraphic ----------------------------------------------------------------------

void TGraphic::SetTransparent(bool on) {
    if (on == m_transparent) return;
    m_transparent = on;
    Changed();
}

void TGraphic::LoadFromClipboardFormat(UINT, HANDLE, HPALETTE) {
    throw EInvalidGraphic("Unsupported clipboard format");
}

void TGraphic::SaveToClipboardFormat(UINT&, HANDLE&, HPALETTE&) {
    throw EInvalidGraphic("Unsupported clipboard format");
}

void TGraphic::Assign(const TObject& source) {
    if (const auto* graphic = dynamic_cast<const TGraphic*>(&source)) {
        graphic->AssignTo(*this);
        return;
    }
    throw EConvertError(std::string("Cannot assign a ") + source.ClassName() + " to a " + ClassName());
}

void TGraphic::AssignTo(TObject& dest) const {
    throw EConvertError(std::string("Cannot assign a ") + ClassName() + " to a " + dest.ClassName());
}

bool TGraphic::Equals(const TGraphic& other) const { return &other == this; }

void TGraphic::LoadFromFile(const String& path) {
    TFileStream stream(path, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const String& path) {
    TFileStream stream(path, fmCreate);
    SaveToStream(stream);
}

void TGraphic::SetModified(bool modified) {
    if (modified) Changed();
    else m_modified = false;
}

void TGraphic::Changed() {
    m_modified = true;
    if (OnChange) OnChange(this);
}

void TGraphic::Progress(TObject* sender, TProgressStage stage, int percent, bool redraw, const RECT& rect,
                        const String& message) {
    if (OnProgress) OnProgress(sender, stage, percent, redraw, rect, message);
}

// ---- TBitmap ----------------------------------------------------------------------

class TBitmapCanvas final : public TCanvas {
public:
    explicit TBitmapCanvas(TBitmap& bitmap) : m_bitmap(bitmap) {
        OnChange = [this](TObject*) { m_bitmap.Modified(); };
    }
    ~TBitmapCanvas() override { FreeContext(); }

    void FreeContext() {
        if (!m_memDc) return;
        DeselectObjects();
        SelectObject(m_memDc, m_oldBitmap);
        SetHandle(nullptr);
        DeleteDC(m_memDc);
        m_memDc = nullptr;
    }

protected:
    void CreateHandle() override {
        const HBITMAP bmp = m_bitmap.Handle();
        if (!bmp) throw EInvalidOperation("Canvas does not allow drawing");
        m_memDc = CreateCompatibleDC(nullptr);
        if (!m_memDc) throw EOutOfResources("Out of system resources (device context)");
        m_oldBitmap = SelectObject(m_memDc, bmp);
        SetHandle(m_memDc);
    }

private:
    TBitmap& m_bitmap;
    HDC m_memDc = nullptr;
    HGDIOBJ m_oldBitmap = nullptr;
};

namespace {

constexpr int kMaxDimension = 32768;
constexpr long long kMaxPixels = 1LL << 27;

int BitsOf(TPixelFormat f) {
    switch (f) {
    case TPixelFormat::pf1bit: return 1;
    case TPixelFormat::pf4bit: return 4;
    case TPixelFormat::pf8bit: return 8;
    case TPixelFormat::pf15bit:
    case TPixelFormat::pf16bit: return 16;
    case TPixelFormat::pf32bit: return 32;
    default: return 24;
    }
}

TPixelFormat FormatOf(int bits) {
    switch (bits) {
    case 1: return TPixelFormat::pf1bit;
    case 4: return TPixelFormat::pf4bit;
    case 8: return TPixelFormat::pf8bit;
    case 16: return TPixelFormat::pf16bit;
    case 32: return TPixelFormat::pf32bit;
    default: return TPixelFormat::pf24bit;
    }
}

int StrideOf(int width, int bits) { return ((width * bits + 31) / 32) * 4; }

// A BITMAPINFO for the size, depth and compression, with room after the
// header for maskBytes of bit-field masks and colorCount table entries.
std::vector<uint8_t> DibInfo(int width, int height, int bits, DWORD compression, size_t colorCount,
                             size_t maskBytes = 0) {
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + maskBytes + colorCount * sizeof(RGBQUAD));
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = width;
    h->biHeight = height;
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(bits);
    h->biCompression = compression;
    h->biClrUsed = static_cast<DWORD>(colorCount);
    return info;
}

std::vector<RGBQUAD> DefaultColors(int bits) {
    std::vector<RGBQUAD> c;
    if (bits == 1) {
        c = {RGBQUAD{0, 0, 0, 0}, RGBQUAD{255, 255, 255, 0}};
    } else if (bits == 4) {
        static const COLORREF vga[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                         0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                         0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
        for (COLORREF v : vga) c.push_back(RGBQUAD{GetBValue(v), GetGValue(v), GetRValue(v), 0});
    } else if (bits == 8) {
        // A colour cube of 6 levels and a grey ramp.
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    c.push_back(RGBQUAD{static_cast<BYTE>(b * 51), static_cast<BYTE>(g * 51),
                                        static_cast<BYTE>(r * 51), 0});
        for (int i = 0; c.size() < 256; ++i) {
            const BYTE v = static_cast<BYTE>(i * 255 / 39);
            c.push_back(RGBQUAD{v, v, v, 0});
        }
    }
    return c;
}

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void Put32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct MemoryDc {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = nullptr;
    explicit MemoryDc(HBITMAP bmp) {
        if (dc) old = SelectObject(dc, bmp);
    }
    ~MemoryDc() {
        if (dc) {
            SelectObject(dc, old);
            DeleteDC(dc);
        }
    }
};

[[noreturn]] void InvalidBitmap() { throw EInvalidGraphic("Bitmap image is not valid"); }

}  // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int width, int height, TPixelFormat format) {
    m_format = format;
    SetSize(width, height);
}

TBitmap::~TBitmap() {
    m_canvas.reset();
    FreeImage();
}

void TBitmap::FreeImage() {
    if (m_canvas) m_canvas->FreeContext();
    m_dib.Reset();
    m_bits = nullptr;
    m_palette.Reset();
    m_mask.Reset();
}

int TBitmap::BitsPerPixel() const { return BitsOf(m_format); }

void TBitmap::Allocate(int width, int height, TPixelFormat format, const std::vector<RGBQUAD>& colors) {
    if (width < 0 || height < 0 || width > kMaxDimension || height > kMaxDimension ||
        static_cast<long long>(width) * height > kMaxPixels)
        throw EInvalidGraphic("Invalid image dimensions");
    const int bits = BitsOf(format);
    com::GdiBitmap dib;
    uint8_t* bitsPtr = nullptr;
    std::vector<RGBQUAD> table = bits <= 8 ? colors : std::vector<RGBQUAD>();
    if (bits <= 8 && table.empty()) table = DefaultColors(bits);
    if (table.size() > (1u << bits)) table.resize(1u << bits);
    if (width > 0 && height > 0) {
        std::vector<uint8_t> info = DibInfo(width, height, bits, BI_RGB, table.size());
        if (!table.empty()) std::memcpy(info.data() + sizeof(BITMAPINFOHEADER), table.data(), table.size() * 4);
        void* p = nullptr;
        dib.Reset(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &p,
                                   nullptr, 0));
        if (!dib || !p) throw EOutOfResources("Failed to allocate memory for the bitmap");
        bitsPtr = static_cast<uint8_t*>(p);
        std::memset(bitsPtr, 0, static_cast<size_t>(StrideOf(width, bits)) * height);
    }
    // Nothing below throws: the old image goes only once the new one stands.
    FreeImage();
    m_dib = std::move(dib);
    m_bits = bitsPtr;
    m_width = width;
    m_height = height;
    m_format = FormatOf(bits);
    m_stride = StrideOf(width, bits);
    m_colors = std::move(table);
    m_importantColors = 0;
}

void TBitmap::SetSize(int width, int height) {
    if (width == m_width && height == m_height && (m_dib || width == 0 || height == 0)) return;
    com::GdiBitmap old = std::move(m_dib);  // keep the old picture while the new one is made
    const int oldW = m_width, oldH = m_height;
    if (m_canvas) m_canvas->FreeContext();
    try {
        Allocate(width, height, m_format, m_colors);
    } catch (...) {
        m_dib = std::move(old);
        throw;
    }
    if (old && m_dib) {
        MemoryDc src(old.Get()), dst(m_dib.Get());
        BitBlt(dst.dc, 0, 0, std::min(oldW, width), std::min(oldH, height), src.dc, 0, 0, SRCCOPY);
    }
    old.Reset();
    Modified();
}

void TBitmap::SetPixelFormat(TPixelFormat format) {
    if (format == TPixelFormat::pfDevice || format == TPixelFormat::pfCustom) format = TPixelFormat::pf24bit;
    if (FormatOf(BitsOf(format)) == m_format) return;
    com::GdiBitmap old = std::move(m_dib);
    if (m_canvas) m_canvas->FreeContext();
    try {
        Allocate(m_width, m_height, format, {});
    } catch (...) {
        m_dib = std::move(old);
        throw;
    }
    if (old && m_dib) {
        MemoryDc src(old.Get()), dst(m_dib.Get());
        BitBlt(dst.dc, 0, 0, m_width, m_height, src.dc, 0, 0, SRCCOPY);
    }
    old.Reset();
    Modified();
}

void TBitmap::Modified() {
    m_mask.Reset();
    Changed();
}

TCanvas& TBitmap::Canvas() {
    if (!m_canvas) m_canvas = std::make_unique<TBitmapCanvas>(*this);
    return *m_canvas;
}

HBITMAP TBitmap::Handle() {
    if (!m_dib && m_width > 0 && m_height > 0) Allocate(m_width, m_height, m_format, m_colors);
    return m_dib.Get();
}

void* TBitmap::ScanLine(int row) {
    if (!Handle() || row < 0 || row >= m_height)
        throw EInvalidGraphicOperation("Scan line index out of range");
    GdiFlush();
    return m_bits + static_cast<size_t>(m_height - 1 - row) * m_stride;
}

void TBitmap::SetColorTable(const std::vector<RGBQUAD>& colors) {
    if (BitsOf(m_format) > 8) return;
    m_colors = colors;
    m_importantColors = 0;
    if (m_colors.size() > (1u << BitsOf(m_format))) m_colors.resize(1u << BitsOf(m_format));
    if (Handle()) {
        MemoryDc dc(m_dib.Get());
        SetDIBColorTable(dc.dc, 0, static_cast<UINT>(m_colors.size()), m_colors.data());
    }
    m_palette.Reset();
    SetPaletteModified(true);
    Modified();
}

HPALETTE TBitmap::Palette() {
    if (!m_palette && !m_colors.empty()) {
        const size_t count = m_importantColors > 0 ? static_cast<size_t>(m_importantColors) : m_colors.size();
        std::vector<uint8_t> buf(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
        auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
        lp->palVersion = 0x300;
        lp->palNumEntries = static_cast<WORD>(count);
        for (size_t i = 0; i < count; ++i)
            lp->palPalEntry[i] = PALETTEENTRY{m_colors[i].rgbRed, m_colors[i].rgbGreen, m_colors[i].rgbBlue, 0};
        m_palette.Reset(CreatePalette(lp));
    }
    return m_palette.Get();
}

void TBitmap::SetPalette(HPALETTE palette) {
    if (!palette) return;
    PALETTEENTRY entries[256];
    const UINT n = GetPaletteEntries(palette, 0, 256, entries);
    std::vector<RGBQUAD> colors;
    for (UINT i = 0; i < n; ++i) colors.push_back(RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0});
    if (BitsOf(m_format) > 8) SetPixelFormat(TPixelFormat::pf8bit);
    SetColorTable(colors);
}

TColor TBitmap::TransparentColor() {
    if (m_transparentMode == TTransparentMode::tmFixed && m_transparentColor != clDefault)
        return m_transparentColor;
    if (Empty()) return clDefault;
    return Canvas().Pixel(0, m_height - 1);
}

void TBitmap::SetTransparentColor(TColor color) {
    m_transparentColor = color;
    m_transparentMode = color == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
    Modified();
}

HBITMAP TBitmap::MaskHandle() {
    if (m_mask || Empty()) return m_mask.Get();
    const COLORREF key = ColorToRGB(TransparentColor());
    const HDC src = Canvas().Handle();
    com::GdiBitmap mask(CreateBitmap(m_width, m_height, 1, 1, nullptr));
    if (!mask) throw EOutOfResources("Out of system resources (mask)");
    {
        MemoryDc dst(mask.Get());
        // Colour-to-monochrome blits turn the source's background colour white.
        const COLORREF oldBk = SetBkColor(src, key);
        BitBlt(dst.dc, 0, 0, m_width, m_height, src, 0, 0, SRCCOPY);
        SetBkColor(src, oldBk);
    }
    m_mask = std::move(mask);
    return m_mask.Get();
}

void TBitmap::Mask(TColor transparentColor) {
    if (Empty()) return;
    SetTransparentColor(transparentColor);
    const HBITMAP mono = MaskHandle();
    TBitmap result(m_width, m_height, TPixelFormat::pf1bit);
    {
        MemoryDc src(mono);
        BitBlt(result.Canvas().Handle(), 0, 0, m_width, m_height, src.dc, 0, 0, SRCCOPY);
    }
    Assign(result);
}

void TBitmap::Draw(TCanvas& canvas, const RECT& rect) {
    if (Empty()) return;
    const HDC dst = canvas.Handle();
    const HDC src = Canvas().Handle();
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (Transparent()) {
        GdiTransparentBlt(dst, rect.left, rect.top, w, h, src, 0, 0, m_width, m_height,
                          ColorToRGB(TransparentColor()));
    } else {
        const int oldMode = SetStretchBltMode(dst, COLORONCOLOR);
        StretchBlt(dst, rect.left, rect.top, w, h, src, 0, 0, m_width, m_height, SRCCOPY);
        SetStretchBltMode(dst, oldMode);
    }
}

void TBitmap::Assign(const TObject& source) {
    if (&source == this) return;
    if (const auto* other = dynamic_cast<const TBitmap*>(&source)) {
        auto& src = const_cast<TBitmap&>(*other);
        Allocate(src.m_width, src.m_height, src.m_format, src.m_colors);
        m_importantColors = src.m_importantColors;
        if (m_bits && src.Handle()) {
            GdiFlush();
            std::memcpy(m_bits, src.m_bits, static_cast<size_t>(m_stride) * m_height);
        }
        SetTransparent(src.Transparent());
        m_transparentColor = src.m_transparentColor;
        m_transparentMode = src.m_transparentMode;
        Modified();
        return;
    }
    TGraphic::Assign(source);
}

void TBitmap::LoadDib(const uint8_t* data, size_t size, bool withFileHeader) {
    size_t bitsOffset = 0;
    if (withFileHeader) {
        if (size < 14 || data[0] != 'B' || data[1] != 'M') InvalidBitmap();
        bitsOffset = U32(data + 10);
        if (bitsOffset < 14) InvalidBitmap();
        bitsOffset -= 14;
        data += 14;
        size -= 14;
    }
    if (size < 12) InvalidBitmap();
    const uint32_t headerSize = U32(data);
    int width, height, bits;
    uint32_t compression = BI_RGB, clrUsed = 0, clrImportant = 0;
    size_t colorEntry = 4;
    if (headerSize == 12) {
        width = U16(data + 4);
        height = static_cast<int16_t>(U16(data + 6));
        bits = U16(data + 10);
        colorEntry = 3;
    } else {
        if (headerSize < 40 || headerSize > size) InvalidBitmap();
        width = static_cast<int32_t>(U32(data + 4));
        height = static_cast<int32_t>(U32(data + 8));
        if (U16(data + 12) != 1) InvalidBitmap();
        bits = U16(data + 14);
        compression = U32(data + 16);
        clrUsed = U32(data + 32);
        clrImportant = U32(data + 36);
    }
    const bool topDown = height < 0;
    const long long absHeight = topDown ? -static_cast<long long>(height) : height;
    if (width <= 0 || absHeight == 0 || width > kMaxDimension || absHeight > kMaxDimension ||
        static_cast<long long>(width) * absHeight > kMaxPixels)
        InvalidBitmap();
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) InvalidBitmap();
    const bool rle = compression == BI_RLE8 || compression == BI_RLE4;
    if ((compression == BI_RLE8 && bits != 8) || (compression == BI_RLE4 && bits != 4) ||
        (compression == BI_BITFIELDS && bits != 16 && bits != 32) ||
        (compression != BI_RGB && !rle && compression != BI_BITFIELDS) || (rle && topDown))
        InvalidBitmap();
    // Bit-field masks follow a 40-byte header and sit inside the longer ones.
    const size_t masksSize = (compression == BI_BITFIELDS && headerSize == 40) ? 12 : 0;
    if (compression == BI_BITFIELDS && 52 > size) InvalidBitmap();
    const size_t tableEntries = clrUsed ? clrUsed : (bits <= 8 ? (1u << bits) : 0);
    if ((bits <= 8 && tableEntries > (1u << bits)) || tableEntries > 65536) InvalidBitmap();
    const size_t colorCount = bits <= 8 ? tableEntries : 0;
    const size_t tableOffset = headerSize + masksSize;
    if (tableOffset + tableEntries * colorEntry > size) InvalidBitmap();
    if (!withFileHeader) bitsOffset = tableOffset + tableEntries * colorEntry;
    if (bitsOffset > size) InvalidBitmap();
    const size_t stride = static_cast<size_t>(StrideOf(width, bits));
    const size_t available = size - bitsOffset;
    if (!rle && available < stride * static_cast<size_t>(absHeight)) InvalidBitmap();

    std::vector<RGBQUAD> colors;
    for (size_t i = 0; i < colorCount && bits <= 8; ++i) {
        const uint8_t* c = data + tableOffset + i * colorEntry;
        colors.push_back(RGBQUAD{c[0], c[1], c[2], 0});
    }
    const TPixelFormat format = bits == 16 ? TPixelFormat::pf24bit : FormatOf(bits);
    Allocate(width, static_cast<int>(absHeight), format, colors);
    if (clrImportant < m_colors.size()) m_importantColors = static_cast<int>(clrImportant);
    const uint8_t* src = data + bitsOffset;
    if (!rle && compression == BI_RGB && bits != 16) {
        for (long long row = 0; row < absHeight; ++row) {
            // Our rows are stored bottom-up.
            const long long from = topDown ? absHeight - 1 - row : row;
            std::memcpy(m_bits + row * m_stride, src + from * stride, stride);
        }
    } else {
        std::vector<uint8_t> info = DibInfo(width, height, bits, compression, colorCount, 12);
        reinterpret_cast<BITMAPINFOHEADER*>(info.data())->biSizeImage = rle ? static_cast<DWORD>(available) : 0;
        size_t at = sizeof(BITMAPINFOHEADER);
        if (compression == BI_BITFIELDS) {
            std::memcpy(info.data() + at, data + 40, 12);
            at += 12;
        }
        for (const RGBQUAD& c : colors) {
            std::memcpy(info.data() + at, &c, 4);
            at += 4;
        }
        const com::WindowDc screen(nullptr);
        const int rows = SetDIBits(screen.Get(), m_dib.Get(), 0, static_cast<UINT>(absHeight), src,
                                   reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS);
        if (rows <= 0) InvalidBitmap();
    }
    Modified();
}

std::vector<uint8_t> TBitmap::DibBytes() {
    std::vector<uint8_t> b;
    const int bits = BitsOf(m_format);
    Put32(b, 40);
    Put32(b, static_cast<uint32_t>(m_width));
    Put32(b, static_cast<uint32_t>(m_height));
    b.push_back(1);
    b.push_back(0);
    b.push_back(static_cast<uint8_t>(bits));
    b.push_back(0);
    Put32(b, BI_RGB);
    Put32(b, static_cast<uint32_t>(m_stride * m_height));
    Put32(b, 3780);  // 96 pixels per inch
    Put32(b, 3780);
    Put32(b, static_cast<uint32_t>(m_colors.size()));
    Put32(b, static_cast<uint32_t>(m_importantColors));
    for (const RGBQUAD& c : m_colors) {
        b.push_back(c.rgbBlue);
        b.push_back(c.rgbGreen);
        b.push_back(c.rgbRed);
        b.push_back(0);
    }
    if (Handle()) {
        GdiFlush();
        b.insert(b.end(), m_bits, m_bits + static_cast<size_t>(m_stride) * m_height);
    }
    return b;
}

void TBitmap::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size() - stream.Position();
    if (size <= 0 || size > (1LL << 30)) InvalidBitmap();
    std::vector<uint8_t> data(static_cast<size_t>(size));
    stream.ReadBuffer(data.data(), size);
    LoadDib(data.data(), data.size(), true);
}

void TBitmap::SaveToStream(TStream& stream) {
    if (Empty()) return;
    const std::vector<uint8_t> dib = DibBytes();
    std::vector<uint8_t> file{'B', 'M'};
    Put32(file, static_cast<uint32_t>(14 + dib.size()));
    Put32(file, 0);
    Put32(file, static_cast<uint32_t>(14 + 40 + m_colors.size() * 4));
    stream.WriteBuffer(file.data(), static_cast<int64_t>(file.size()));
    stream.WriteBuffer(dib.data(), static_cast<int64_t>(dib.size()));
}

void TBitmap::LoadFromResourceName(HINSTANCE instance, const String& name) {
    const HRSRC res = FindResourceW(instance, com::W(name), reinterpret_cast<LPCWSTR>(RT_BITMAP));
    const HGLOBAL mem = res ? LoadResource(instance, res) : nullptr;
    const void* p = mem ? LockResource(mem) : nullptr;
    if (!p) throw EInvalidGraphic("Bitmap resource " + TextToUtf8(name) + " not found");
    LoadDib(static_cast<const uint8_t*>(p), SizeofResource(instance, res), false);
}

void TBitmap::LoadFromResourceID(HINSTANCE instance, int id) {
    const HRSRC res = FindResourceW(instance, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_BITMAP));
    const HGLOBAL mem = res ? LoadResource(instance, res) : nullptr;
    const void* p = mem ? LockResource(mem) : nullptr;
    if (!p) throw EInvalidGraphic("Bitmap resource " + std::to_string(id) + " not found");
    LoadDib(static_cast<const uint8_t*>(p), SizeofResource(instance, res), false);
}

void TBitmap::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    if (format == CF_DIB && data) {
        const void* p = GlobalLock(data);
        if (!p) InvalidBitmap();
        try {
            LoadDib(static_cast<const uint8_t*>(p), GlobalSize(data), false);
        } catch (...) {
            GlobalUnlock(data);
            throw;
        }
        GlobalUnlock(data);
        return;
    }
    if (format == CF_BITMAP && data) {
        BITMAP info{};
        if (!GetObjectW(data, sizeof info, &info)) InvalidBitmap();
        Allocate(info.bmWidth, info.bmHeight, TPixelFormat::pf24bit, {});
        MemoryDc src(static_cast<HBITMAP>(data));
        BitBlt(Canvas().Handle(), 0, 0, m_width, m_height, src.dc, 0, 0, SRCCOPY);
        Modified();
        return;
    }
    TGraphic::LoadFromClipboardFormat(format, data, palette);
}

void TBitmap::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    const std::vector<uint8_t> dib = DibBytes();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, dib.size());
    void* p = mem ? GlobalLock(mem) : nullptr;
    if (!p) {
        if (mem) GlobalFree(mem);
        throw EOutOfResources("Out of memory for the clipboard");
    }
    std::memcpy(p, dib.data(), dib.size());
    GlobalUnlock(mem);
    format = CF_DIB;
    data = mem;
    palette = nullptr;
}

// ---- TPicture ----------------------------------------------------------------------

namespace {

struct GraphicEntry {
    String extension;  // lower case, no dot; empty for a clipboard entry
    UINT clipboardFormat = 0;
    String description;
    std::string className;
    TPicture::GraphicFactory factory;
};

std::vector<GraphicEntry>& Registry() {
    static std::vector<GraphicEntry> entries = [] {
        std::vector<GraphicEntry> e;
        auto bitmap = [] { return std::unique_ptr<TGraphic>(new TBitmap()); };
        e.push_back(GraphicEntry{u"bmp", 0, u"Bitmaps", "TBitmap", bitmap});
        e.push_back(GraphicEntry{String(), CF_BITMAP, String(), "TBitmap", bitmap});
        e.push_back(GraphicEntry{String(), CF_DIB, String(), "TBitmap", bitmap});
        return e;
    }();
    return entries;
}

const GraphicEntry* FindByExtension(const String& ext) {
    const auto& reg = Registry();
    for (auto it = reg.rbegin(); it != reg.rend(); ++it)
        if (!it->extension.empty() && SameText(it->extension, ext)) return &*it;
    return nullptr;
}

const GraphicEntry* FindByFormat(UINT format) {
    const auto& reg = Registry();
    for (auto it = reg.rbegin(); it != reg.rend(); ++it)
        if (it->extension.empty() && it->clipboardFormat == format) return &*it;
    return nullptr;
}

const GraphicEntry* FindByClass(const std::string& name) {
    const auto& reg = Registry();
    for (auto it = reg.rbegin(); it != reg.rend(); ++it)
        if (it->className == name) return &*it;
    return nullptr;
}

}  // namespace

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::RegisterFileFormat(const String& extension, const String& description, const char* className,
                                  GraphicFactory factory) {
    String ext = LowerCase(extension);
    if (!ext.empty() && ext[0] == u'.') ext.erase(0, 1);
    Registry().push_back(GraphicEntry{ext, 0, description, className, std::move(factory)});
}

void TPicture::RegisterClipboardFormat(UINT format, const char* className, GraphicFactory factory) {
    Registry().push_back(GraphicEntry{String(), format, String(), className, std::move(factory)});
}

void TPicture::UnregisterGraphicClass(const char* className) {
    auto& reg = Registry();
    reg.erase(std::remove_if(reg.begin(), reg.end(), [&](const GraphicEntry& e) { return e.className == className; }),
              reg.end());
}

String TPicture::GraphicFilter() {
    String filter;
    for (const auto& e : Registry()) {
        if (e.extension.empty()) continue;
        if (!filter.empty()) filter += u"|";
        filter += e.description + u" (*." + e.extension + u")|*." + e.extension;
    }
    return filter;
}

bool TPicture::SupportsClipboardFormat(UINT format) { return FindByFormat(format) != nullptr; }

void TPicture::Changed() {
    if (OnChange) OnChange(this);
}

void TPicture::Take(std::unique_ptr<TGraphic> graphic) {
    m_graphic = std::move(graphic);
    if (m_graphic) {
        m_graphic->OnChange = [this](TObject*) { Changed(); };
        m_graphic->OnProgress = [this](TObject* sender, TProgressStage stage, int percent, bool redraw,
                                       const RECT& rect, const String& message) {
            if (OnProgress) OnProgress(sender, stage, percent, redraw, rect, message);
        };
    }
    Changed();
}

void TPicture::SetGraphic(const TGraphic* graphic) {
    if (!graphic) {
        Take(nullptr);
        return;
    }
    if (graphic == m_graphic.get()) return;
    const GraphicEntry* entry = FindByClass(graphic->ClassName());
    if (!entry) throw EInvalidGraphic(std::string("Unknown picture class ") + graphic->ClassName());
    std::unique_ptr<TGraphic> copy = entry->factory();
    copy->Assign(*graphic);
    Take(std::move(copy));
}

TBitmap& TPicture::Bitmap() {
    auto* bmp = dynamic_cast<TBitmap*>(m_graphic.get());
    if (!bmp) {
        auto fresh = std::make_unique<TBitmap>();
        if (m_graphic && !m_graphic->Empty()) {
            fresh->SetSize(m_graphic->Width(), m_graphic->Height());
            fresh->Canvas().Draw(0, 0, *m_graphic);
        }
        bmp = fresh.get();
        Take(std::move(fresh));
    }
    return *bmp;
}

void TPicture::LoadFromFile(const String& path) {
    String ext = ExtractFileExt(path);
    if (!ext.empty()) ext.erase(0, 1);
    const GraphicEntry* entry = FindByExtension(ext);
    if (!entry) throw EInvalidGraphic("Unknown picture file extension (." + TextToUtf8(ext) + ")");
    std::unique_ptr<TGraphic> graphic = entry->factory();
    graphic->OnProgress = OnProgress;
    graphic->LoadFromFile(path);
    Take(std::move(graphic));
}

void TPicture::SaveToFile(const String& path) {
    if (m_graphic) m_graphic->SaveToFile(path);
}

void TPicture::LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) {
    const GraphicEntry* entry = FindByFormat(format);
    if (!entry) throw EInvalidGraphic("Unsupported clipboard format");
    std::unique_ptr<TGraphic> graphic = entry->factory();
    graphic->LoadFromClipboardFormat(format, data, palette);
    Take(std::move(graphic));
}

void TPicture::SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) {
    if (m_graphic) m_graphic->SaveToClipboardFormat(format, data, palette);
}

void TPicture::ReadData(TStream& stream) {
    uint8_t length = 0;
    stream.ReadBuffer(&length, 1);
    std::string name(length, '\0');
    if (length) stream.ReadBuffer(&name[0], length);
    if (name.empty()) {
        Take(nullptr);
        return;
    }
    const GraphicEntry* entry = FindByClass(name);
    if (!entry) throw EInvalidGraphic("Unknown picture class " + name);
    std::unique_ptr<TGraphic> graphic = entry->factory();
    graphic->ReadData(stream);
    Take(std::move(graphic));
}

void TPicture::WriteData(TStream& stream) {
    const std::string name = m_graphic ? m_graphic->ClassName() : "";
    const uint8_t length = static_cast<uint8_t>(std::min<size_t>(name.size(), 255));
    stream.WriteBuffer(&length, 1);
    stream.WriteBuffer(name.data(), length);
    if (m_graphic) m_graphic->WriteData(stream);
}

void TPicture::Assign(const TPicture& source) { SetGraphic(source.Graphic()); }

}  // namespace forms
