#include "gif/GifCommon.h"

#include <algorithm>
#include <cstdlib>

namespace gif {

void RaiseGIFError(const char* message) { throw GIFException(std::string(message)); }

TRGBTriple ColourToTriple(TColor colour) {
    const auto c = static_cast<uint32_t>(colour);
    return TRGBTriple{static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16)};
}

TColor TripleToColour(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<TColor>(red | (green << 8) | (blue << 16));
}

TGIFRect IntersectRects(const TGIFRect& a, const TGIFRect& b) {
    TGIFRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
               std::min(a.Bottom, b.Bottom)};
    if (r.IsEmpty()) r = TGIFRect{};
    return r;
}

int MulDivRound(int a, int b, int c) {
    if (c == 0) return -1;
    const int64_t product = static_cast<int64_t>(a) * b;
    const bool negative = (product < 0) != (c < 0);
    const int64_t divisor = std::abs(static_cast<int64_t>(c));
    const int64_t magnitude = (std::abs(product) + divisor / 2) / divisor;
    return static_cast<int>(negative ? -magnitude : magnitude);
}

int64_t AlignedRowBytes(int64_t pixels, int bits, int alignment) {
    return (pixels * bits + alignment - 1) / alignment * alignment / 8;
}

int BitsForColourCount(int count) {
    if (count <= 0) return 0;
    int n = 1;
    while ((1 << n) < count) ++n;
    return n;
}

void WriteByteTo(forms::TStream& stream, uint8_t value) { stream.WriteBuffer(&value, 1); }

bool ReadByteFrom(forms::TStream& stream, uint8_t& value) { return stream.Read(&value, 1) == 1; }

void ReadExactly(forms::TStream& stream, void* buffer, int64_t count) {
    if (count > 0 && stream.Read(buffer, count) != count) RaiseGIFError(msg::PrematureEnd);
}

int64_t BytesLeft(forms::TStream& stream) { return std::max<int64_t>(0, stream.Size() - stream.Position()); }

void SkipBytes(forms::TStream& stream, int64_t count) {
    count = std::min(count, BytesLeft(stream));
    if (count > 0) stream.Seek(count, forms::TSeekOrigin::soCurrent);
}

void WriteStringsAsSubBlocks(forms::TStream& stream, const TGIFStrings& strings) {
    for (const std::string& s : strings) {
        for (size_t at = 0; at < s.size(); at += 255) {
            const size_t n = std::min<size_t>(255, s.size() - at);
            WriteByteTo(stream, static_cast<uint8_t>(n));
            stream.WriteBuffer(s.data() + at, static_cast<int64_t>(n));
        }
    }
    WriteByteTo(stream, 0);
}

void ReadSubBlocksAsStrings(forms::TStream& stream, TGIFStrings& strings) {
    strings.clear();
    uint8_t count;
    while (ReadByteFrom(stream, count) && count != 0) {
        std::string s(count, '\0');
        const int64_t got = stream.Read(s.data(), count);
        s.resize(static_cast<size_t>(std::max<int64_t>(0, got)));
        strings.push_back(std::move(s));
        if (got < count) break;
    }
}

void SkipSubBlocks(forms::TStream& stream) {
    uint8_t count;
    while (ReadByteFrom(stream, count) && count != 0) SkipBytes(stream, count);
}

}  // namespace gif
