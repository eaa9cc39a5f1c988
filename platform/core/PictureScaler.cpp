#include "platform/core/PictureScaler.h"

#include <algorithm>
#include <cstring>
#include <thread>

extern "C" {
#include <libavutil/opt.h>
#include <libavutil/pixdesc.h>
}

#include "platform/core/MediaError.h"

namespace media {

namespace {

bool IsPacked(AVPixelFormat format) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(format);
    return d && (d->flags & AV_PIX_FMT_FLAG_RGB) && !(d->flags & AV_PIX_FMT_FLAG_PLANAR);
}

// Pictures of this many pixels or more are split into slices across
// threads; below it the threads' hand-over costs more than they save.
constexpr int kThreadedPixels = 640 * 480;
constexpr unsigned kMaxThreads = 4;

int ThreadsFor(int width, int height) {
    if (static_cast<int64_t>(width) * height < kThreadedPixels) return 1;
    return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads));
}

void NoFree(void*, uint8_t*) {}

}  // namespace

int ScalerFlags(int srcWidth, int srcHeight, AVPixelFormat srcFormat, int dstWidth, int dstHeight,
                AVPixelFormat dstFormat) {
    // Planar to packed at one size takes the library's direct converter,
    // which no filter flag changes. Accurate rounding gained 4 dB on the
    // round trip alone but a tenth of one after an MPEG-4 encoder at its
    // usual rate, for four times the CPU.
    if (srcWidth != dstWidth || srcHeight != dstHeight || !IsPacked(srcFormat) || IsPacked(dstFormat))
        return SWS_BICUBIC;
    // Packed to planar: each chroma sample the mean of the pixels it
    // covers, which gives back what the direct converter repeated.
    return SWS_AREA | SWS_FULL_CHR_H_INP;
}

void PictureScaler::Prepare(int srcWidth, int srcHeight, AVPixelFormat srcFormat, const AVFrame& dst) {
    const int key[6] = {srcWidth, srcHeight, srcFormat, dst.width, dst.height, dst.format};
    if (m_sws && std::equal(key, key + 6, m_key)) return;
    m_sws.reset(sws_alloc_context());
    if (!m_sws) Fail(ErrorKind::NoMemory, "Out of memory");
    SwsContext* c = m_sws.get();
    const auto dstFormat = static_cast<AVPixelFormat>(dst.format);
    av_opt_set_int(c, "srcw", srcWidth, 0);
    av_opt_set_int(c, "srch", srcHeight, 0);
    av_opt_set_pixel_fmt(c, "src_format", srcFormat, 0);
    av_opt_set_int(c, "dstw", dst.width, 0);
    av_opt_set_int(c, "dsth", dst.height, 0);
    av_opt_set_pixel_fmt(c, "dst_format", dstFormat, 0);
    av_opt_set_int(c, "sws_flags", ScalerFlags(srcWidth, srcHeight, srcFormat, dst.width, dst.height, dstFormat), 0);
    av_opt_set_int(c, "threads", ThreadsFor(std::max(srcWidth, dst.width), std::max(srcHeight, dst.height)), 0);
    if (sws_init_context(c, nullptr, nullptr) < 0) {
        m_sws.reset();
        Fail(ErrorKind::Unsupported, "The picture format cannot be converted");
    }
    std::copy(key, key + 6, m_key);
}

void PictureScaler::Scale(const AVFrame& src, AVFrame& dst) {
    Prepare(src.width, src.height, static_cast<AVPixelFormat>(src.format), dst);
    Check(sws_scale_frame(m_sws.get(), &dst, &src), "Converting a picture");
}

void PictureScaler::ScalePacked(const uint8_t* picture, AVPixelFormat format, int width, int height, int stride,
                                bool bottomUp, AVFrame& dst) {
    // The scaler's row readers work in whole chunks and may read up to a
    // chunk past a row's end: inside the picture that is the next row, but
    // past the row stored last it would leave the caller's buffer, which is
    // exactly the picture. Rows that are no whole number of chunks are read
    // from a copy with room after each.
    constexpr size_t kReadChunk = 64;
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    if (!desc) Fail(ErrorKind::Unsupported, "The picture format cannot be converted");
    const size_t rowBytes = static_cast<size_t>(width) * av_get_padded_bits_per_pixel(desc) / 8;
    if (rowBytes % kReadChunk != 0) {
        const size_t roomyStride = (rowBytes / kReadChunk + 2) * kReadChunk;
        m_roomy.resize(roomyStride * static_cast<size_t>(height));
        for (int y = 0; y < height; ++y)
            std::memcpy(&m_roomy[roomyStride * y], picture + static_cast<size_t>(stride) * y, rowBytes);
        picture = m_roomy.data();
        stride = static_cast<int>(roomyStride);
    }
    // The scaler takes frames; this one borrows the caller's memory.
    FramePtr src = MakeFrame();
    src->format = format;
    src->width = width;
    src->height = height;
    const size_t bytes = static_cast<size_t>(stride) * height;
    src->buf[0] = av_buffer_create(const_cast<uint8_t*>(picture), static_cast<int>(bytes), NoFree, nullptr,
                                   AV_BUFFER_FLAG_READONLY);
    if (!src->buf[0]) Fail(ErrorKind::NoMemory, "Out of memory");
    src->data[0] = const_cast<uint8_t*>(picture);
    src->linesize[0] = stride;
    if (bottomUp) {
        src->data[0] += static_cast<size_t>(height - 1) * stride;
        src->linesize[0] = -stride;
    }
    Scale(*src, dst);
}

}  // namespace media
