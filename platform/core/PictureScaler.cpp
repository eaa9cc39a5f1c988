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

// BT.601 from limited range to full-range RGB, in units of 2^-14.
constexpr int kShift = 14;
constexpr int kHalf = 1 << (kShift - 1);
constexpr int kLuma = 19077;          // 1.164383
constexpr int kRedFromV = 26149;      // 1.596027
constexpr int kGreenFromU = -6419;    // -0.391762
constexpr int kGreenFromV = -13320;   // -0.812968
constexpr int kBlueFromU = 33050;     // 2.017232

inline uint8_t Clip8(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// One pixel: luma term plus the chroma terms (which carry the rounding).
inline void PutBgra(uint8_t* out, uint8_t y, int red, int green, int blue) {
    const int luma = kLuma * (y - 16);
    out[0] = Clip8((luma + blue) >> kShift);
    out[1] = Clip8((luma + green) >> kShift);
    out[2] = Clip8((luma + red) >> kShift);
    out[3] = 255;
}

bool ResizesIntoBgra(int srcWidth, int srcHeight, AVPixelFormat srcFormat, const AVFrame& dst) {
    return srcFormat == AV_PIX_FMT_YUV420P && dst.format == AV_PIX_FMT_BGRA &&
           (srcWidth != dst.width || srcHeight != dst.height);
}

// A 4:2:0 picture (limited range, BT.601) into 32-bit BGRA of the same
// size: each chroma sample repeated over the pixels it covers, values
// rounded to nearest, alpha opaque.
void Yuv420ToBgra(const AVFrame& src, AVFrame& dst) {
    const int width = dst.width, height = dst.height;
    for (int y = 0; y < height; y += 2) {
        const bool twoRows = y + 1 < height;
        const uint8_t* luma0 = src.data[0] + static_cast<ptrdiff_t>(y) * src.linesize[0];
        const uint8_t* luma1 = twoRows ? luma0 + src.linesize[0] : luma0;
        const uint8_t* u = src.data[1] + static_cast<ptrdiff_t>(y / 2) * src.linesize[1];
        const uint8_t* v = src.data[2] + static_cast<ptrdiff_t>(y / 2) * src.linesize[2];
        uint8_t* out0 = dst.data[0] + static_cast<ptrdiff_t>(y) * dst.linesize[0];
        uint8_t* out1 = twoRows ? out0 + dst.linesize[0] : out0;
        for (int x = 0; x < width; x += 2) {
            const int cb = u[x / 2] - 128, cr = v[x / 2] - 128;
            const int red = kRedFromV * cr + kHalf;
            const int green = kGreenFromU * cb + kGreenFromV * cr + kHalf;
            const int blue = kBlueFromU * cb + kHalf;
            const bool twoColumns = x + 1 < width;
            PutBgra(out0 + 4 * x, luma0[x], red, green, blue);
            if (twoColumns) PutBgra(out0 + 4 * x + 4, luma0[x + 1], red, green, blue);
            if (!twoRows) continue;
            PutBgra(out1 + 4 * x, luma1[x], red, green, blue);
            if (twoColumns) PutBgra(out1 + 4 * x + 4, luma1[x + 1], red, green, blue);
        }
    }
}

}  // namespace

FramePtr MakePicture(AVPixelFormat format, int width, int height) {
    FramePtr p = MakeFrame();
    p->format = format;
    p->width = width;
    p->height = height;
    Check(av_frame_get_buffer(p.get(), 0), "Allocating a picture");
    return p;
}

AVFrame* FreePicture(std::vector<FramePtr>& pool, AVPixelFormat format, int width, int height) {
    for (const FramePtr& p : pool)
        if (av_frame_is_writable(p.get())) return p.get();
    pool.push_back(MakePicture(format, width, height));
    return pool.back().get();
}

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

void PictureScaler::Prepare(int srcWidth, int srcHeight, AVPixelFormat srcFormat, int dstWidth, int dstHeight,
                            AVPixelFormat dstFormat) {
    const int key[6] = {srcWidth, srcHeight, srcFormat, dstWidth, dstHeight, dstFormat};
    if (m_sws && std::equal(key, key + 6, m_key)) return;
    m_sws.reset(sws_alloc_context());
    if (!m_sws) Fail(ErrorKind::NoMemory, "Out of memory");
    SwsContext* c = m_sws.get();
    av_opt_set_int(c, "srcw", srcWidth, 0);
    av_opt_set_int(c, "srch", srcHeight, 0);
    av_opt_set_pixel_fmt(c, "src_format", srcFormat, 0);
    av_opt_set_int(c, "dstw", dstWidth, 0);
    av_opt_set_int(c, "dsth", dstHeight, 0);
    av_opt_set_pixel_fmt(c, "dst_format", dstFormat, 0);
    av_opt_set_int(c, "sws_flags", ScalerFlags(srcWidth, srcHeight, srcFormat, dstWidth, dstHeight, dstFormat), 0);
    av_opt_set_int(c, "threads", ThreadsFor(std::max(srcWidth, dstWidth), std::max(srcHeight, dstHeight)), 0);
    if (sws_init_context(c, nullptr, nullptr) < 0) {
        m_sws.reset();
        Fail(ErrorKind::Unsupported, "The picture format cannot be converted");
    }
    std::copy(key, key + 6, m_key);
}

void PictureScaler::Scale(const AVFrame& src, AVFrame& dst) {
    const auto srcFormat = static_cast<AVPixelFormat>(src.format);
    m_lastResized = nullptr;
    if (!ResizesIntoBgra(src.width, src.height, srcFormat, dst)) {
        Prepare(src.width, src.height, srcFormat, dst.width, dst.height, static_cast<AVPixelFormat>(dst.format));
        Check(sws_scale_frame(m_sws.get(), &dst, &src), "Converting a picture");
        return;
    }
    // Planes of another size are of no more use; planes someone holds are
    // left alone.
    m_resized.erase(std::remove_if(m_resized.begin(), m_resized.end(),
                                   [&](const FramePtr& p) { return p->width != dst.width || p->height != dst.height; }),
                    m_resized.end());
    AVFrame* resized = FreePicture(m_resized, AV_PIX_FMT_YUV420P, dst.width, dst.height);
    Prepare(src.width, src.height, srcFormat, dst.width, dst.height, AV_PIX_FMT_YUV420P);
    Check(sws_scale_frame(m_sws.get(), resized, &src), "Converting a picture");
    Yuv420ToBgra(*resized, dst);
    m_lastResized = resized;
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
