#include "skin/SkinPixels.h"

#include <algorithm>
#include <cstring>

namespace skin {

void SkinPixels::Clear() {
    width = height = 0;
    bytes.clear();
}

void SkinPixels::Resize(int w, int h) {
    width = w;
    height = h;
    bytes.assign(static_cast<size_t>(w) * h * 3, 0);
}

uint32_t SkinPixels::Pixel(int x, int y) const {
    const uint8_t* p = Row(y) + x * 3;
    return p[2] | p[1] << 8 | static_cast<uint32_t>(p[0]) << 16;
}

void SkinPixels::SetPixel(int x, int y, uint32_t colour) {
    uint8_t* p = Row(y) + x * 3;
    p[0] = static_cast<uint8_t>(colour >> 16);
    p[1] = static_cast<uint8_t>(colour >> 8);
    p[2] = static_cast<uint8_t>(colour);
}

// ---- BMP ------------------------------------------------------------------------------

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

enum : uint32_t { kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3 };

// One colour channel of a bit-field pixel, scaled to 8 bits.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(uint32_t m) : mask(m) {
        if (!m) return;
        while (!(m & 1)) {
            m >>= 1;
            ++shift;
        }
        while (m & 1) {
            m >>= 1;
            ++bits;
        }
    }
    uint8_t Of(uint32_t v) const {
        if (!bits) return 0;
        const uint32_t c = (v & mask) >> shift;
        if (bits >= 8) return static_cast<uint8_t>(c >> (bits - 8));
        const uint32_t max = (1u << bits) - 1;
        return static_cast<uint8_t>((c * 255 + max / 2) / max);
    }
};

// Expands RLE-coded indexes into a bottom-up index buffer. Runs past the
// right edge or the top are dropped; the data may end without its end mark.
void DecodeRle(const uint8_t* p, const uint8_t* end, bool four, int w, int h, std::vector<uint8_t>& idx) {
    int x = 0, y = 0;
    auto put = [&](uint8_t v) {
        if (x < w && y < h) idx[static_cast<size_t>(y) * w + x] = v;
        ++x;
    };
    while (end - p >= 2 && y < h) {
        const int count = p[0], value = p[1];
        p += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) put(four ? static_cast<uint8_t>(i & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++y;
        } else if (value == 1) {
            return;
        } else if (value == 2) {
            if (end - p < 2) return;
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            const int bytes = four ? (value + 1) / 2 : value;
            if (end - p < bytes) return;
            for (int i = 0; i < value; ++i) put(four ? static_cast<uint8_t>(i & 1 ? p[i / 2] & 15 : p[i / 2] >> 4) : p[i]);
            p += (bytes + 1) & ~1;
        }
    }
}

}  // namespace

bool DecodeBmp(const uint8_t* data, size_t size, SkinPixels& pixels) {
    pixels.Clear();
    if (size < 14 + 12 || data[0] != 'B' || data[1] != 'M') return false;
    const uint32_t offBits = U32(data + 10);
    const uint8_t* h = data + 14;
    const uint32_t headerSize = U32(h);
    if (headerSize < 12 || headerSize > size - 14) return false;

    int64_t width, height;
    int bpp;
    uint32_t compression = kRgb, used = 0;
    int paletteEntrySize = 4;
    uint32_t masks[3] = {0, 0, 0};
    size_t paletteAt = 14 + headerSize;
    if (headerSize == 12) {
        width = U16(h + 4);
        height = U16(h + 6);
        bpp = U16(h + 10);
        paletteEntrySize = 3;
    } else {
        if (headerSize < 40) return false;
        width = static_cast<int32_t>(U32(h + 4));
        height = static_cast<int32_t>(U32(h + 8));
        bpp = U16(h + 14);
        compression = U32(h + 16);
        used = U32(h + 32);
        if (compression == kBitFields) {
            if (headerSize >= 52) {
                for (int i = 0; i < 3; ++i) masks[i] = U32(h + 40 + 4 * i);
            } else {
                if (size - paletteAt < 12) return false;
                for (int i = 0; i < 3; ++i) masks[i] = U32(data + paletteAt + 4 * i);
                paletteAt += 12;
            }
        }
    }
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (width <= 0 || height <= 0 || width > SkinPixels::kMaxSide || height > SkinPixels::kMaxSide ||
        width * height > SkinPixels::kMaxPixels)
        return false;
    const int w = static_cast<int>(width), hgt = static_cast<int>(height);

    const bool rle = compression == kRle8 || compression == kRle4;
    if (compression > kBitFields || (rle && (topDown || bpp != (compression == kRle8 ? 8 : 4))) ||
        (compression == kBitFields && bpp != 16 && bpp != 32))
        return false;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;

    // The colour table of an indexed bitmap; missing entries are black.
    uint8_t palette[256][3] = {};
    if (bpp <= 8) {
        uint32_t entries = used ? used : 1u << bpp;
        entries = std::min<uint32_t>(entries, 256);
        const size_t room = (size - std::min(size, paletteAt)) / paletteEntrySize;
        entries = static_cast<uint32_t>(std::min<size_t>(entries, room));
        for (uint32_t i = 0; i < entries; ++i)
            std::memcpy(palette[i], data + paletteAt + i * paletteEntrySize, 3);
    }
    if (offBits >= size) return false;
    const uint8_t* bits = data + offBits;
    const uint8_t* end = data + size;

    if (compression == kRgb && bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
    }
    const Channel red(masks[0]), green(masks[1]), blue(masks[2]);

    pixels.Resize(w, hgt);
    if (rle) {
        std::vector<uint8_t> idx(static_cast<size_t>(w) * hgt, 0);
        DecodeRle(bits, end, compression == kRle4, w, hgt, idx);
        for (int y = 0; y < hgt; ++y) {
            uint8_t* out = pixels.Row(hgt - 1 - y);
            for (int x = 0; x < w; ++x) std::memcpy(out + x * 3, palette[idx[static_cast<size_t>(y) * w + x]], 3);
        }
        return true;
    }

    const size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
    if (static_cast<size_t>(end - bits) / stride < static_cast<size_t>(hgt)) {
        pixels.Clear();
        return false;
    }
    for (int y = 0; y < hgt; ++y) {
        const uint8_t* in = bits + stride * y;
        uint8_t* out = pixels.Row(topDown ? y : hgt - 1 - y);
        for (int x = 0; x < w; ++x, out += 3) {
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / bpp;
                const int shift = 8 - bpp * (x % perByte + 1);
                const int index = (in[x / perByte] >> shift) & ((1 << bpp) - 1);
                std::memcpy(out, palette[index], 3);
                break;
            }
            case 16:
            case 32: {
                const uint32_t v = bpp == 16 ? U16(in + x * 2) : U32(in + x * 4);
                if (bpp == 32 && compression == kRgb) {
                    std::memcpy(out, in + x * 4, 3);
                } else {
                    out[0] = blue.Of(v);
                    out[1] = green.Of(v);
                    out[2] = red.Of(v);
                }
                break;
            }
            default:
                std::memcpy(out, in + x * 3, 3);
            }
        }
    }
    return true;
}

// ---- Transforms -----------------------------------------------------------------------

SkinPixels CopyColumns(const SkinPixels& source, int left, int width) {
    SkinPixels out;
    left = std::max(0, left);
    width = std::min(width, source.width - left);
    if (width <= 0 || source.height <= 0) return out;
    out.Resize(width, source.height);
    for (int y = 0; y < source.height; ++y) std::memcpy(out.Row(y), source.Row(y) + left * 3, width * 3);
    return out;
}

void MirrorPixels(SkinPixels& pixels) {
    for (int y = 0; y < pixels.height; ++y) {
        uint8_t* row = pixels.Row(y);
        for (int a = 0, b = pixels.width - 1; a < b; ++a, --b) std::swap_ranges(row + a * 3, row + a * 3 + 3, row + b * 3);
    }
}

void MirrorFramesPixels(SkinPixels& pixels, int frameCount) {
    const int frameWidth = pixels.width / (frameCount < 1 ? 1 : frameCount);
    if (frameWidth <= 0) return;
    for (int y = 0; y < pixels.height; ++y) {
        uint8_t* row = pixels.Row(y);
        for (int f = 0; f + frameWidth <= pixels.width; f += frameWidth)
            for (int a = f, b = f + frameWidth - 1; a < b; ++a, --b)
                std::swap_ranges(row + a * 3, row + a * 3 + 3, row + b * 3);
    }
}

void FlipPixels(SkinPixels& pixels) {
    const size_t stride = static_cast<size_t>(pixels.width) * 3;
    for (int a = 0, b = pixels.height - 1; a < b; ++a, --b) std::swap_ranges(pixels.Row(a), pixels.Row(a) + stride, pixels.Row(b));
}

namespace {

void Rotate(SkinPixels& pixels, bool left) {
    const SkinPixels old = pixels;
    pixels.Resize(old.height, old.width);
    for (int y = 0; y < pixels.height; ++y) {
        uint8_t* out = pixels.Row(y);
        for (int x = 0; x < pixels.width; ++x) {
            // Where new pixel (x, y) was.
            const int ox = left ? old.width - 1 - y : y;
            const int oy = left ? x : old.height - 1 - x;
            std::memcpy(out + x * 3, old.Row(oy) + ox * 3, 3);
        }
    }
}

}  // namespace

void RotatePixelsLeft(SkinPixels& pixels) { Rotate(pixels, true); }
void RotatePixelsRight(SkinPixels& pixels) { Rotate(pixels, false); }

}  // namespace skin
