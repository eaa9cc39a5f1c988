#include "gif/ColourReduction.h"

#include <cstring>

#include "framework/forms/Palettes.h"
#include "gif/GifGdi.h"

namespace gif {

namespace {

constexpr int64_t kLargePicture = 500000;

// A palette handle, deleted unless it is a stock object.
struct OwnedPalette {
    HPALETTE Handle = nullptr;
    bool Stock = false;
    OwnedPalette() = default;
    OwnedPalette(const OwnedPalette&) = delete;
    OwnedPalette& operator=(const OwnedPalette&) = delete;
    ~OwnedPalette() {
        if (Handle && !Stock) DeleteObject(Handle);
    }
};

}  // namespace

TDIBReader::TDIBReader(forms::TBitmap& bitmap, forms::TPixelFormat format) : TDIB(bitmap, format) {
    m_bitmap.SetPixelFormat(format);
}

TDIBWriter::TDIBWriter(forms::TBitmap& bitmap, HPALETTE palette, int height, int width, forms::TPixelFormat format)
    : TDIB(bitmap, format), m_width(width), m_height(height), m_palette(palette) {
    if (format != forms::TPixelFormat::pf8bit && format != forms::TPixelFormat::pf24bit)
        RaiseGIFError("Unsupported PixelFormat");
    if (width == 0 || height == 0) RaiseGIFError("Invalid image dimensions");
}

TDIBWriter::~TDIBWriter() {
    try {
        Commit();
    } catch (...) {
        // Leaving with an error already, or the bitmap refused the rows:
        // either way nothing is left to free but the rows.
        DropDIB();
    }
}

void TDIBWriter::BuildDIB() {
    m_built = true;
    const bool eight = m_format == forms::TPixelFormat::pf8bit;
    const int bits = eight ? 8 : 24;
    m_header.assign(sizeof(BITMAPINFOHEADER) + (eight ? 256 * sizeof(RGBQUAD) : 0), 0);
    auto* h = reinterpret_cast<BITMAPINFOHEADER*>(m_header.data());
    h->biSize = sizeof(BITMAPINFOHEADER);
    h->biWidth = m_width;
    h->biHeight = m_height;  // positive: rows stored from the bottom
    h->biPlanes = 1;
    h->biBitCount = static_cast<WORD>(bits);
    h->biCompression = BI_RGB;
    if (eight) {
        const std::vector<PALETTEENTRY> entries = forms::PaletteEntries(m_palette);
        auto* quads = reinterpret_cast<RGBQUAD*>(m_header.data() + sizeof(BITMAPINFOHEADER));
        for (size_t i = 0; i < entries.size() && i < 256; ++i)
            quads[i] = RGBQUAD{entries[i].peBlue, entries[i].peGreen, entries[i].peRed, 0};
        h->biClrUsed = 256;
        h->biClrImportant = static_cast<DWORD>(std::min<size_t>(entries.size(), 256));
    }
    m_rowBytes = AlignedRowBytes(m_width, bits, 32);
    m_bitsSize = static_cast<size_t>(m_rowBytes * (m_height < 0 ? -int64_t{m_height} : m_height));
    m_memory = GlobalAlloc(GMEM_MOVEABLE, m_bitsSize);
    m_bits = m_memory ? static_cast<uint8_t*>(GlobalLock(m_memory)) : nullptr;
    if (!m_bits) {
        DropDIB();
        throw EOutOfMemory(std::string("Failed to allocate memory for GIF DIB"));
    }
}

void TDIBWriter::DropDIB() {
    if (m_memory) {
        if (m_bits) GlobalUnlock(m_memory);
        GlobalFree(m_memory);
    }
    m_memory = nullptr;
    m_bits = nullptr;
    m_bitsSize = 0;
    m_header.clear();
}

uint8_t* TDIBWriter::WriterRow(int i) {
    if (!m_built) BuildDIB();
    if (!m_bits) RaiseGIFError("Image has no DIB");
    const int rows = m_height < 0 ? -m_height : m_height;
    if (i < 0 || i >= rows) throw forms::EInvalidGraphicOperation(std::string("Scan line index out of range"));
    GdiFlush();
    const int64_t row = m_height > 0 ? m_height - 1 - i : i;
    return m_bits + row * m_rowBytes;
}

void TDIBWriter::Commit() {
    if (!m_bits) return;
    const uint32_t offset = static_cast<uint32_t>(sizeof(BITMAPFILEHEADER) + m_header.size());
    std::vector<uint8_t> file(offset + m_bitsSize);
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;  // "BM"
    fh.bfSize = static_cast<DWORD>(file.size());
    fh.bfOffBits = offset;
    std::memcpy(file.data(), &fh, sizeof fh);
    std::memcpy(file.data() + sizeof fh, m_header.data(), m_header.size());
    std::memcpy(file.data() + offset, m_bits, m_bitsSize);
    DropDIB();
    forms::TMemoryStream stream(std::move(file));
    m_bitmap.LoadFromStream(stream);
}

std::unique_ptr<forms::TBitmap> ReduceBitmapColours(forms::TBitmap& bitmap, uint8_t method, uint8_t ditherKind,
                                                    HPALETTE callerPalette, int reductionBits) {
    auto result = std::make_unique<forms::TBitmap>();
    if (method == KeepColours) {
        result->Assign(bitmap);
        result->SetPixelFormat(forms::TPixelFormat::pf24bit);
        return result;
    }
    if (static_cast<int64_t>(bitmap.Width()) * bitmap.Height() > kLargePicture)
        result->SetPixelFormat(forms::TPixelFormat::pf1bit);
    TDIBReader reader(bitmap, forms::TPixelFormat::pf24bit);
    if (method > CallerPalette) return result;

    OwnedPalette palette;
    std::unique_ptr<TColorLookup> lookup;
    auto fastLookup = [&palette] {
        const std::vector<TPaletteEntry> entries = EntriesOfPalette(palette.Handle);
        return std::make_unique<TFastColorLookup>(entries.data(), static_cast<int>(entries.size()));
    };
    switch (method) {
    case StockPalette20:
        palette.Handle = static_cast<HPALETTE>(GetStockObject(DEFAULT_PALETTE));
        palette.Stock = true;
        lookup = fastLookup();
        break;
    case HalftonePalette256:
        palette.Handle = CreateScreenHalftonePalette();
        lookup = fastLookup();
        break;
    case GreyPalette4:
        palette.Handle = CreateGreyPalette4();
        lookup = fastLookup();
        break;
    case BlackWhite:
        palette.Handle = CreateBlackWhitePalette();
        lookup = std::make_unique<TMonochromeLookup>();
        break;
    case GreyPalette256:
        palette.Handle = CreateGreyPalette256();
        lookup = std::make_unique<TGrayScaleLookup>();
        break;
    case WebSafe216:
        palette.Handle = CreateWebSafePalette();
        lookup = std::make_unique<TNetscapeColorLookup>();
        break;
    case OctreeBits:
        palette.Handle = CreateOctreePalette(reader, OctreeColoursForBits(reductionBits), 8, false);
        lookup = fastLookup();
        break;
    case OctreeWithSystem:
        palette.Handle = CreateOctreePaletteForBitmap(bitmap, 256, 8, true);
        lookup = fastLookup();
        break;
    case CallerPalette:
        palette.Handle = forms::CopyPalette(callerPalette);
        lookup = fastLookup();
        break;
    }
    if (!lookup || lookup->ColourCount() == 0) return result;
    std::unique_ptr<TDitherEngine> ditherer = CreateDitherer(ditherKind, bitmap.Width(), *lookup);
    if (!ditherer) return result;

    TDIBWriter writer(*result, palette.Handle, bitmap.Height(), bitmap.Width(), forms::TPixelFormat::pf8bit);
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* src = reader.ReaderRow(y);
        uint8_t* dst = writer.WriterRow(y);
        uint8_t r, g, b;
        while (ditherer->InRow()) {
            const int x = ditherer->CurrentColumn();
            const uint8_t* p = src + 3 * x;
            dst[x] = ditherer->DitherPixel(p[2], p[1], p[0], r, g, b);
        }
        ditherer->AdvanceRow();
    }
    writer.Commit();
    return result;
}

}  // namespace gif
