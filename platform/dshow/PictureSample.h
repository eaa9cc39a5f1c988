// Pictures passed between our own filters as the planes they were decoded
// into, while the media type between the filters stays 32-bit RGB.
//
// A source of ours whose peer takes planes attaches each picture's planes
// to a sample of our own allocator instead of converting them. The sample
// makes the RGB in its buffer the first time anyone asks for the buffer
// (GetPointer), so a filter that reads or changes the bytes sees exactly
// the RGB the source would have written. A consumer of ours takes the
// planes only while nobody has asked for the buffer; after that it reads
// the buffer as any other filter does.
#pragma once

#include <windows.h>
#include <dshow.h>

#include "platform/core/TrackReader.h"

namespace dshow {

// Answered by the input pins of our filters that take planes.
constexpr GUID kTakesPicturePlanes = {0x3c1f6a2e, 0x8d47, 0x4b95, {0xa1, 0x0e, 0x52, 0x7c, 0x94, 0xd3, 0x6b, 0x18}};
// Answered by the samples of our allocator.
constexpr GUID kPictureSampleIid = {0x9e2b47d1, 0x5a36, 0x4f0c, {0xb8, 0x73, 0x1d, 0xe6, 0x40, 0xa9, 0x2c, 0x57}};

class IPictureSample : public IUnknown {
public:
    // The sample's picture is these planes' RGB, made when the buffer is
    // first asked for. The actual data length is set to the picture's bytes.
    virtual HRESULT STDMETHODCALLTYPE SetPlanes(media::PlanarPicture picture) = 0;
    // A reference to the planes (pixels only) while the buffer was never
    // asked for; S_FALSE otherwise.
    virtual HRESULT STDMETHODCALLTYPE TakePlanes(AVFrame* planes) = 0;
};

}  // namespace dshow
