// The encoder's colour conversion reads a caller's picture and nothing past
// it: the picture ends right at an unmapped page, as a media sample's buffer
// may. Widths that are no multiple of 8 are where the scaler's row readers
// run past a row's end. What it gives is what one conversion of a copy with
// room after every row gives.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/core/Encoder.h"
#include "platform/core/PictureScaler.h"

extern "C" {
#include <libswscale/swscale.h>
}

namespace {

// A buffer of the given size whose last byte is followed by a page that
// cannot be read.
class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t size) : m_size(size) {
        const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        m_mapped = (size + page - 1) / page * page + page;
        m_base = static_cast<uint8_t*>(mmap(nullptr, m_mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        EXPECT_NE(m_base, MAP_FAILED);
        mprotect(m_base + m_mapped - page, page, PROT_NONE);
    }
    ~GuardedBuffer() { munmap(m_base, m_mapped); }
    uint8_t* Data() { return m_base + m_mapped - static_cast<size_t>(sysconf(_SC_PAGESIZE)) - m_size; }

private:
    size_t m_size, m_mapped;
    uint8_t* m_base;
};

std::vector<uint8_t> Planes(const AVFrame& f, int w, int h) {
    std::vector<uint8_t> out;
    for (int p = 0; p < 3; ++p) {
        const int pw = p ? (w + 1) / 2 : w, ph = p ? (h + 1) / 2 : h;
        for (int y = 0; y < ph; ++y) out.insert(out.end(), f.data[p] + y * f.linesize[p], f.data[p] + y * f.linesize[p] + pw);
    }
    return out;
}

// What one conversion of the whole picture gives, read from a copy with
// room to spare after every row.
std::vector<uint8_t> Reference(const std::vector<uint8_t>& topDown, int w, int h) {
    const int stride = w * 4 + 64;
    std::vector<uint8_t> roomy(static_cast<size_t>(stride) * h + 64);
    for (int y = 0; y < h; ++y) std::memcpy(&roomy[static_cast<size_t>(y) * stride], &topDown[static_cast<size_t>(y) * w * 4], w * 4);
    const int flags = media::ScalerFlags(w, h, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_YUV420P);
    SwsContext* sws = sws_getContext(w, h, AV_PIX_FMT_BGRA, w, h, AV_PIX_FMT_YUV420P, flags, nullptr, nullptr, nullptr);
    media::FramePtr frame = media::MakeFrame();
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = w;
    frame->height = h;
    av_frame_get_buffer(frame.get(), 0);
    const uint8_t* src[4] = {roomy.data(), nullptr, nullptr, nullptr};
    const int srcStride[4] = {stride, 0, 0, 0};
    sws_scale(sws, src, srcStride, 0, h, frame->data, frame->linesize);
    sws_freeContext(sws);
    return Planes(*frame, w, h);
}

}  // namespace

TEST(EncoderInput, ReadsNothingPastThePictureInEitherRowOrder) {
    for (int w : {1, 2, 3, 5, 7, 9, 15, 17, 31, 33, 63, 721, 853}) {
        for (int h = 1; h <= 6; ++h) {
            SCOPED_TRACE(testing::Message() << w << "x" << h);
            media::VideoEncodeSettings s;
            s.encoder = "mpeg4";
            s.width = w;
            s.height = h;
            media::VideoEncoder encoder(s);

            const size_t rowBytes = static_cast<size_t>(w) * 4, size = rowBytes * h;
            std::vector<uint8_t> topDown(size);
            for (size_t i = 0; i < size; ++i) topDown[i] = static_cast<uint8_t>(i * 37 + i / rowBytes * 11);
            const std::vector<uint8_t> expected = Reference(topDown, w, h);

            GuardedBuffer upright(size), flipped(size);
            std::memcpy(upright.Data(), topDown.data(), size);
            for (int y = 0; y < h; ++y)
                std::memcpy(flipped.Data() + (h - 1 - y) * rowBytes, &topDown[y * rowBytes], rowBytes);

            media::FramePtr a = media::MakeFrame(), b = media::MakeFrame();
            encoder.Convert(upright.Data(), AV_PIX_FMT_BGRA, static_cast<int>(rowBytes), false, a.get());
            encoder.Convert(flipped.Data(), AV_PIX_FMT_BGRA, static_cast<int>(rowBytes), true, b.get());
            EXPECT_EQ(Planes(*a, w, h), expected);
            EXPECT_EQ(Planes(*b, w, h), expected);
        }
    }
}
