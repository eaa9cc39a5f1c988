// Picture conversions between the codecs' planar formats and the packed
// RGB the filters pass, with scaler flags that keep quality through the
// round trip, and large pictures split across threads.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/core/FfmpegPtr.h"

namespace media {

// The scaler flags for one conversion. At the same size nothing is
// resampled: planar to packed repeats each chroma sample over the pixels
// it covers, and packed to planar averages them back. Across sizes the
// filters are bicubic.
//
// 4:2:0 pictures bound for 32-bit BGRA at another size are resized in
// their own planes first, as a YUV tool scales them, and then converted
// at the new size with each chroma sample repeated over its pixels and
// every value rounded to nearest, so that the encoder's averaging gives
// the resized planes back (the library's converter rounds coarsely, and
// resizing on the way into RGB smeared chroma into luma).
int ScalerFlags(int srcWidth, int srcHeight, AVPixelFormat srcFormat, int dstWidth, int dstHeight,
                AVPixelFormat dstFormat);

// A new picture of the format and size, with FFmpeg's padding.
FramePtr MakePicture(AVPixelFormat format, int width, int height);
// A picture of the pool that nobody else holds a reference to, or a new
// one added to the pool; the pool's pictures are of one format and size.
AVFrame* FreePicture(std::vector<FramePtr>& pool, AVPixelFormat format, int width, int height);

class PictureScaler {
public:
    // src into dst, which has its format, size and buffer already.
    void Scale(const AVFrame& src, AVFrame& dst);
    // A packed picture in memory, stride bytes between stored rows;
    // bottomUp when the first stored row is the picture's last.
    void ScalePacked(const uint8_t* picture, AVPixelFormat format, int width, int height, int stride, bool bottomUp,
                     AVFrame& dst);
    // The planes at the output size that the last Scale into packed RGB
    // converted, when it resized in the planes first; else null. They stay
    // as they are while a reference to them is held.
    const AVFrame* ResizedPlanes() const { return m_lastResized; }

private:
    void Prepare(int srcWidth, int srcHeight, AVPixelFormat srcFormat, int dstWidth, int dstHeight,
                 AVPixelFormat dstFormat);
    SwsPtr m_sws;
    int m_key[6] = {};
    // The copy ScalePacked reads pictures of odd row lengths from, kept
    // from one picture to the next.
    std::vector<uint8_t> m_roomy;
    // The planes at the output size, before their conversion to BGRA: as
    // many as others hold references to, plus the one being written.
    std::vector<FramePtr> m_resized;
    const AVFrame* m_lastResized = nullptr;
};

}  // namespace media
