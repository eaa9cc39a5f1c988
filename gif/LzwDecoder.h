// The LZW decoder of GIF frame data: the minimum code size byte and the
// data sub-blocks that follow an image descriptor, turned into index
// pixels. Damaged data decodes as far as it goes: short data and codes
// asked for after the end give warnings, a table that loops raises
// "Circular decoder table entry", a code size above 11 "Invalid GIF data".
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "gif/GifCommon.h"

namespace gif {

class TGIFSubImageCore;

using TDecodeWarning = std::function<void(const std::string& message)>;

// Decodes into `pixels` (width x height bytes, already filled with what
// undecoded pixels keep), in GIF row order when interlaced. The stream
// stands at the code size byte; afterwards it stands behind the block
// terminator (or at the end of the stream).
void DecodeLzwData(forms::TStream& stream, uint8_t* pixels, int width, int height, bool interlaced,
                   const TDecodeWarning& warn);

// Gives the frame pixels of its size, filled with its transparent index
// (0 when it is not transparent), and decodes its data into them. A frame
// of more than a million pixels (2^20) that the rest of the stream could never
// fill, or one beyond what its picture's load allows (ClaimFramePixels),
// raises "Premature end of data" before anything is allocated.
void DecodeFrameData(TGIFSubImageCore& frame, forms::TStream& stream);

}  // namespace gif
