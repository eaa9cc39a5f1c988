// What every part of the GIF code shares: its exception and messages, the
// colour type, the small arithmetic helpers and the byte and sub-block
// access to streams. No platform headers: this builds natively as well.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/forms/Streams.h"
#include "framework/forms/SysUtils.h"

namespace gif {

// Every error of the GIF code is of this class (a kind of invalid picture).
class GIFException : public forms::EInvalidGraphic {
public:
    using forms::EInvalidGraphic::EInvalidGraphic;
};

using EOutOfMemory = forms::EOutOfMemory;

// The fixed texts of errors and warnings.
namespace msg {
inline constexpr const char* PrematureEnd = "Premature end of data";
inline constexpr const char* InvalidSignature = "Invalid GIF signature";
inline constexpr const char* UnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* TableOverflow = "Color table overflow";
inline constexpr const char* InvalidColourIndex = "Invalid color index";
inline constexpr const char* TableEmpty = "Color table is empty";
inline constexpr const char* BitBufferUnderrun = "Decoder bit buffer under-run";
inline constexpr const char* CircularEntry = "Circular decoder table entry";
inline constexpr const char* ColourNotInTable = "Color not in color table";
inline constexpr const char* InvalidStreamOperation = "Invalid stream operation";
inline constexpr const char* InvalidIntroducer = "Invalid extension introducer";
inline constexpr const char* UnknownExtension = "Unknown extension type";
inline constexpr const char* LabelMismatch = "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* AppBlockSize = "Unsupported Application Extension block size";
inline constexpr const char* InvalidData = "Invalid GIF data";
inline constexpr const char* InvalidTrailer = "Invalid Image trailer";
inline constexpr const char* UnknownBlock = "Unknown GIF block type";
inline constexpr const char* ExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* ImageEmpty = "Image is empty";
inline constexpr const char* InvalidPixel = "Invalid pixel coordinates";
inline constexpr const char* WidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* HeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* NoColourTable = "No global or local color table defined";
inline constexpr const char* UnsupportedObject = "Object type not supported for operation";
inline constexpr const char* ClipboardFailed = "Failed to store GIF on clipboard";
inline constexpr const char* InvalidReduction = "Invalid reduction method";
}  // namespace msg

[[noreturn]] void RaiseGIFError(const char* message);

// 0x00BBGGRR, as the framework's colours.
using TColor = int32_t;

struct TRGBTriple {
    uint8_t Red, Green, Blue;
};
TRGBTriple ColourToTriple(TColor colour);
TColor TripleToColour(uint8_t red, uint8_t green, uint8_t blue);

// One palette entry, laid out as the platform's (red, green, blue, flags).
struct TPaletteEntry {
    uint8_t Red, Green, Blue, Flags;
};
// One colour-table entry of a device-independent bitmap (blue first).
struct TRGBQuad {
    uint8_t Blue, Green, Red, Reserved;
};

// A rectangle in screen pixels, right and bottom outside it.
struct TGIFRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TGIFRect& o) const {
        return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
    }
};
// The common part of two rectangles (empty when they do not meet).
TGIFRect IntersectRects(const TGIFRect& a, const TGIFRect& b);

// a * b / c rounded to the nearest, halves away from zero, as the
// platform's MulDiv; -1 when c is 0.
int MulDivRound(int a, int b, int c);

// Bytes of a row of `pixels` at `bits` per pixel, padded to `alignment` bits.
int64_t AlignedRowBytes(int64_t pixels, int bits, int alignment);
// 0 for 0; else the smallest n >= 1 with 2^n >= count.
int BitsForColourCount(int count);

// A frame may take this many pixels whatever data follows it (a damaged
// file keeps what was decoded); beyond it, pixels need data that could
// fill them.
constexpr int64_t kPlausibleFramePixels = int64_t{1} << 20;

// Severity of every warning the GIF code gives.
constexpr uint8_t kWarningSeverity = 1;

// Stream access. ReadByteFrom answers false at the end of the stream.
void WriteByteTo(forms::TStream& stream, uint8_t value);
bool ReadByteFrom(forms::TStream& stream, uint8_t& value);
// Exactly count bytes, or "Premature end of data".
void ReadExactly(forms::TStream& stream, void* buffer, int64_t count);
// Moves forward by up to count bytes, never past the end.
void SkipBytes(forms::TStream& stream, int64_t count);
// Bytes left between the position and the end.
int64_t BytesLeft(forms::TStream& stream);

// Sub-block texts (comments, plain text) are bytes, kept exactly.
using TGIFStrings = std::vector<std::string>;
// Each string as data sub-blocks of at most 255 bytes (an empty string
// writes nothing), then the zero-length terminator.
void WriteStringsAsSubBlocks(forms::TStream& stream, const TGIFStrings& strings);
// One string per sub-block, up to a zero-length block or the end of the
// stream; a sub-block cut short by the end keeps what is there.
void ReadSubBlocksAsStrings(forms::TStream& stream, TGIFStrings& strings);
// Skips sub-blocks through the zero-length terminator or to the end.
void SkipSubBlocks(forms::TStream& stream);

}  // namespace gif
