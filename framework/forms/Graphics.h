// Colours, fonts, pens and brushes, the canvas that draws with them, and
// the pictures: TGraphic, the device-independent TBitmap, and TPicture with
// its registry of picture classes by file extension and clipboard format.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "framework/com/Owners.h"
#include "framework/forms/Component.h"
#include "framework/forms/Streams.h"

namespace forms {

// 0x00BBGGRR, or a system colour: 0x80000000 plus the COLOR_ index.
using TColor = int32_t;
constexpr TColor clSystemColor = static_cast<TColor>(0x80000000u);
constexpr TColor SystemColor(int index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }
constexpr TColor clScrollBar = SystemColor(COLOR_SCROLLBAR);
constexpr TColor clMenu = SystemColor(COLOR_MENU);
constexpr TColor clWindow = SystemColor(COLOR_WINDOW);
constexpr TColor clMenuText = SystemColor(COLOR_MENUTEXT);
constexpr TColor clWindowText = SystemColor(COLOR_WINDOWTEXT);
constexpr TColor clCaptionText = SystemColor(COLOR_CAPTIONTEXT);
constexpr TColor clHighlight = SystemColor(COLOR_HIGHLIGHT);
constexpr TColor clHighlightText = SystemColor(COLOR_HIGHLIGHTTEXT);
constexpr TColor clBtnFace = SystemColor(COLOR_BTNFACE);
constexpr TColor clBtnShadow = SystemColor(COLOR_BTNSHADOW);
constexpr TColor clGrayText = SystemColor(COLOR_GRAYTEXT);
constexpr TColor clBtnText = SystemColor(COLOR_BTNTEXT);
constexpr TColor clInactiveCaptionText = SystemColor(COLOR_INACTIVECAPTIONTEXT);
constexpr TColor clBtnHighlight = SystemColor(COLOR_BTNHIGHLIGHT);
constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clNavy = 0x800000,
                 clGray = 0x808080, clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

COLORREF ColorToRGB(TColor color);

// Base of fonts, pens and brushes: a cached GDI handle, rebuilt after a
// change. OnChanging comes before a change (a canvas lets go of the handle),
// OnChange after it (a window takes the new one). The replaced handle lives
// until the next change, so a window never holds a deleted one.
class TGraphicsObject : public TObject {
public:
    ~TGraphicsObject() override;
    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

protected:
    void Changing();
    void Changed();
    // Drops the cached handle, keeping it alive until the next change.
    void Retire();
    // Sets one attribute; a new handle is made unless only the colour of
    // the text changed.
    template <class T>
    void Change(T& field, const T& value, bool newHandle = true) {
        if (field == value) return;
        Changing();
        field = value;
        if (newHandle) Retire();
        Changed();
    }
    HGDIOBJ m_handle = nullptr;
    bool m_stock = false;

private:
    HGDIOBJ m_retired = nullptr;
};

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont : public TGraphicsObject {
public:
    FORMS_CLASS(TFont)
    TFont();

    const String& Name() const { return m_name; }
    void SetName(const String& name);
    int Size() const;  // points at the screen resolution
    void SetSize(int points);
    int Height() const { return m_height; }  // pixels; negative is the character height
    void SetHeight(int pixels);
    unsigned Style() const { return m_style; }
    void SetStyle(unsigned styles);
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    void Assign(const TFont& other);
    HFONT Handle();

private:
    String m_name;
    int m_height;
    unsigned m_style = 0;
    TColor m_color = clWindowText;
};

enum class TBrushStyle { bsSolid, bsClear };

class TBrush : public TGraphicsObject {
public:
    FORMS_CLASS(TBrush)
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    TBrushStyle Style() const { return m_style; }
    void SetStyle(TBrushStyle style);
    HBRUSH Handle();

private:
    TColor m_color = clWhite;
    TBrushStyle m_style = TBrushStyle::bsSolid;
};

enum class TPenStyle { psSolid, psDash, psDot, psClear };

class TPen : public TGraphicsObject {
public:
    FORMS_CLASS(TPen)
    TColor Color() const { return m_color; }
    void SetColor(TColor color);
    int Width() const { return m_width; }
    void SetWidth(int width);
    TPenStyle Style() const { return m_style; }
    void SetStyle(TPenStyle style);
    HPEN Handle();

private:
    TColor m_color = clBlack;
    int m_width = 1;
    TPenStyle m_style = TPenStyle::psSolid;
};

class TGraphic;

// Draws on a device context it does not own (a paint DC, a bitmap's DC).
// Lock serialises drawing threads, as animated pictures paint from theirs.
class TCanvas : public TObject {
public:
    FORMS_CLASS(TCanvas)
    TCanvas();
    ~TCanvas() override;

    HDC Handle();
    void SetHandle(HDC dc);
    bool HandleAllocated() const { return m_dc != nullptr; }
    TFont& Font() { return m_font; }
    TPen& Pen() { return m_pen; }
    TBrush& Brush() { return m_brush; }

    void FillRect(const RECT& rect);
    void FrameRect(const RECT& rect);
    void Rectangle(int x1, int y1, int x2, int y2);
    void MoveTo(int x, int y);
    void LineTo(int x, int y);
    void TextOut(int x, int y, const String& text);
    void TextRect(const RECT& rect, int x, int y, const String& text);
    SIZE TextExtent(const String& text);
    int TextWidth(const String& text) { return TextExtent(text).cx; }
    int TextHeight(const String& text) { return TextExtent(text).cy; }
    void Draw(int x, int y, TGraphic& graphic);
    void StretchDraw(const RECT& rect, TGraphic& graphic);
    // Stretches source's rectangle into dest with CopyMode, in the canvas's
    // stretch mode.
    void CopyRect(const RECT& dest, TCanvas& source, const RECT& sourceRect);
    int StretchMode() const { return m_stretchMode; }
    void SetStretchMode(int mode) { m_stretchMode = mode; }
    DWORD CopyMode() const { return m_copyMode; }
    void SetCopyMode(DWORD rop) { m_copyMode = rop; }
    TColor Pixel(int x, int y);
    void SetPixel(int x, int y, TColor color);
    RECT ClipRect();

    void Lock();
    void Unlock();
    bool TryLock();
    // Puts the canvas's font, pen, brush and colours into its DC, for
    // drawing with GDI calls directly.
    void Select();
    // Tells OnChange; for code that drew on Handle() directly.
    void Changed();

    TNotifyEvent OnChange;

protected:
    // Gives the canvas a DC when it has none (bitmap canvases make one).
    virtual void CreateHandle() {}
    void DeselectObjects();

private:
    HDC m_dc = nullptr;
    TFont m_font;
    TPen m_pen;
    TBrush m_brush;
    HGDIOBJ m_oldFont = nullptr, m_oldPen = nullptr, m_oldBrush = nullptr;
    int m_stretchMode = COLORONCOLOR;
    DWORD m_copyMode = SRCCOPY;
    std::recursive_mutex m_lock;
};

enum class TProgressStage { psStarting, psRunning, psEnding };
using TProgressEvent = std::function<void(TObject* sender, TProgressStage stage, int percent, bool redraw,
                                          const RECT& rect, const String& message)>;

// A picture of some kind. Classes register themselves with TPicture.
class TGraphic : public TObject {
public:
    FORMS_CLASS(TGraphic)
    virtual void Draw(TCanvas& canvas, const RECT& rect) = 0;
    virtual bool Empty() const = 0;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetWidth(int width) = 0;
    virtual void SetHeight(int height) = 0;
    virtual HPALETTE Palette() { return nullptr; }
    virtual void SetPalette(HPALETTE palette) {}
    virtual bool Transparent() const { return m_transparent; }
    virtual void SetTransparent(bool on);
    virtual void LoadFromStream(TStream& stream) = 0;
    virtual void SaveToStream(TStream& stream) = 0;
    virtual void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
    virtual void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette);
    // Takes the picture of source; what it cannot take, source may give
    // (AssignTo); anything else raises EConvertError.
    virtual void Assign(const TObject& source);
    virtual void AssignTo(TObject& dest) const;
    virtual bool Equals(const TGraphic& other) const;
    // Stored form descriptions hold a picture as its class name and this data.
    virtual void ReadData(TStream& stream) { LoadFromStream(stream); }
    virtual void WriteData(TStream& stream) { SaveToStream(stream); }

    void LoadFromFile(const String& path);
    void SaveToFile(const String& path);
    bool Modified() const { return m_modified; }
    void SetModified(bool modified);
    bool PaletteModified() const { return m_paletteModified; }
    void SetPaletteModified(bool on) { m_paletteModified = on; }

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

protected:
    virtual void Changed();
    void Progress(TObject* sender, TProgressStage stage, int percent, bool redraw, const RECT& rect,
                  const String& message);

private:
    bool m_transparent = false;
    bool m_modified = false;
    bool m_paletteModified = false;
};

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum class TTransparentMode { tmAuto, tmFixed };

class TBitmapCanvas;

// A device-independent bitmap (a DIB section) in 1, 4, 8, 16, 24 or 32 bits
// per pixel, loadable from and savable to BMP data. Rows are reached by
// ScanLine, 0 being the top row.
class TBitmap : public TGraphic {
public:
    FORMS_CLASS(TBitmap)
    TBitmap();
    TBitmap(int width, int height, TPixelFormat format = TPixelFormat::pf24bit);
    ~TBitmap() override;

    void Draw(TCanvas& canvas, const RECT& rect) override;
    bool Empty() const override { return m_width == 0 || m_height == 0; }
    int Width() const override { return m_width; }
    int Height() const override { return m_height; }
    void SetWidth(int width) override { SetSize(width, m_height); }
    void SetHeight(int height) override { SetSize(m_width, height); }
    void SetSize(int width, int height);
    HPALETTE Palette() override;
    void SetPalette(HPALETTE palette) override;
    void LoadFromStream(TStream& stream) override;
    void SaveToStream(TStream& stream) override;
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette) override;
    void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette) override;
    void Assign(const TObject& source) override;

    // Loads a BITMAP resource (RT_BITMAP) of a module.
    void LoadFromResourceName(HINSTANCE instance, const String& name);
    void LoadFromResourceID(HINSTANCE instance, int id);

    TCanvas& Canvas();
    HBITMAP Handle();
    TPixelFormat PixelFormat() const { return m_format; }
    void SetPixelFormat(TPixelFormat format);
    int BitsPerPixel() const;
    // Raises EInvalidGraphicOperation "Scan line index out of range".
    void* ScanLine(int row);
    int RowBytes() const { return m_stride; }
    // Colour table of a bitmap of 8 bits or fewer.
    std::vector<RGBQUAD> ColorTable() const { return m_colors; }
    // BMP data may name fewer important colours than its table holds (a
    // palette padded to 256 entries): the palette has only those.
    int ImportantColors() const { return m_importantColors; }
    void SetColorTable(const std::vector<RGBQUAD>& colors);

    TColor TransparentColor();
    void SetTransparentColor(TColor color);
    TTransparentMode TransparentMode() const { return m_transparentMode; }
    void SetTransparentMode(TTransparentMode mode) { m_transparentMode = mode; }
    // A monochrome bitmap with the transparent colour white, kept by this bitmap.
    HBITMAP MaskHandle();
    // Turns this bitmap into a monochrome mask: transparentColor white, the rest black.
    void Mask(TColor transparentColor);

private:
    friend class TBitmapCanvas;
    void Allocate(int width, int height, TPixelFormat format, const std::vector<RGBQUAD>& colors);
    void FreeImage();
    void LoadDib(const uint8_t* data, size_t size, bool withFileHeader);
    std::vector<uint8_t> DibBytes();  // header, colours, bits
    void Modified();

    int m_width = 0;
    int m_height = 0;
    TPixelFormat m_format = TPixelFormat::pf24bit;
    com::GdiBitmap m_dib;
    uint8_t* m_bits = nullptr;
    int m_stride = 0;
    std::vector<RGBQUAD> m_colors;
    int m_importantColors = 0;  // 0: all of m_colors
    com::GdiPalette m_palette;
    com::GdiBitmap m_mask;
    TColor m_transparentColor = clDefault;
    TTransparentMode m_transparentMode = TTransparentMode::tmAuto;
    std::unique_ptr<TBitmapCanvas> m_canvas;
};

// A picture of any registered class, found by file extension, clipboard
// format or (in stored form descriptions) class name.
class TPicture : public TObject {
public:
    FORMS_CLASS(TPicture)
    using GraphicFactory = std::function<std::unique_ptr<TGraphic>()>;

    TPicture();
    ~TPicture() override;

    TGraphic* Graphic() const { return m_graphic.get(); }
    // Takes a copy of graphic (nullptr empties the picture).
    void SetGraphic(const TGraphic* graphic);
    // The picture as a bitmap; a picture of another class is replaced.
    TBitmap& Bitmap();
    int Width() const { return m_graphic ? m_graphic->Width() : 0; }
    int Height() const { return m_graphic ? m_graphic->Height() : 0; }

    void LoadFromFile(const String& path);
    void SaveToFile(const String& path);
    void LoadFromClipboardFormat(UINT format, HANDLE data, HPALETTE palette);
    void SaveToClipboardFormat(UINT& format, HANDLE& data, HPALETTE& palette);
    static bool SupportsClipboardFormat(UINT format);
    // Stored form: one byte of name length, the class name, the class's data.
    void ReadData(TStream& stream);
    void WriteData(TStream& stream);
    void Assign(const TPicture& source);

    // Registration; a later registration of the same extension or format wins.
    static void RegisterFileFormat(const String& extension, const String& description, const char* className,
                                   GraphicFactory factory);
    static void RegisterClipboardFormat(UINT format, const char* className, GraphicFactory factory);
    static void UnregisterGraphicClass(const char* className);
    // "description (*.ext)|*.ext|..." of every registered extension.
    static String GraphicFilter();

    TNotifyEvent OnChange;
    TProgressEvent OnProgress;

private:
    void Take(std::unique_ptr<TGraphic> graphic);
    void Changed();
    std::unique_ptr<TGraphic> m_graphic;
};

}  // namespace forms
