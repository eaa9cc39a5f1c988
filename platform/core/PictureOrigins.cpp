#include "platform/core/PictureOrigins.h"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace media {

namespace {

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;

inline uint64_t RotateLeft(uint64_t v, int bits) { return (v << bits) | (v >> (64 - bits)); }

inline uint64_t Load(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// One word into a lane. For a given word this is a bijection of the lane
// (an odd multiplier, then a rotation that carries the high bits down for
// the next word), so one changed word can never leave its lane as it was.
inline uint64_t Round(uint64_t lane, uint64_t word) { return RotateLeft((lane + word) * kPrime1, 29); }

inline uint64_t Finish(uint64_t h) {
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

// How many pictures the shared table keeps. Between the source's
// conversion and an encoder's lie the read-ahead (3), the picture being
// converted, the sample being delivered and, for MPEG, the encoder's own
// queue of copies (4) and the picture it encodes: 10 missed a third of
// the DVD pictures, 16 none.
constexpr size_t kSharedCapacity = 16;

}  // namespace

uint64_t HashRows(const uint8_t* top, ptrdiff_t step, size_t rowBytes, int rows) {
    // Four independent lanes keep the multiplier busy; the picture is read
    // once, at memory speed.
    uint64_t a = kPrime1, b = kPrime2, c = kPrime3, d = ~kPrime1;
    for (int y = 0; y < rows; ++y) {
        const uint8_t* p = top + step * y;
        size_t n = rowBytes;
        for (; n >= 32; n -= 32, p += 32) {
            a = Round(a, Load(p));
            b = Round(b, Load(p + 8));
            c = Round(c, Load(p + 16));
            d = Round(d, Load(p + 24));
        }
        for (; n >= 8; n -= 8, p += 8) a = Round(a, Load(p));
        if (n > 0) {
            uint64_t tail = 0;
            std::memcpy(&tail, p, n);
            b = Round(b, tail);
        }
    }
    return Finish(a ^ RotateLeft(b, 16) ^ RotateLeft(c, 32) ^ RotateLeft(d, 48) ^ (rowBytes * kPrime3) ^
                  static_cast<uint64_t>(rows));
}

PictureKey PackedPictureKey(const uint8_t* picture, AVPixelFormat format, int width, int height, int stride,
                            bool bottomUp) {
    const AVPixFmtDescriptor* desc = av_pix_fmt_desc_get(format);
    PictureKey key;
    key.width = width;
    key.height = height;
    key.format = format;
    if (!desc || width <= 0 || height <= 0) return key;
    const size_t rowBytes = static_cast<size_t>(width) * av_get_padded_bits_per_pixel(desc) / 8;
    const uint8_t* top = bottomUp ? picture + static_cast<ptrdiff_t>(height - 1) * stride : picture;
    key.hash = HashRows(top, bottomUp ? -static_cast<ptrdiff_t>(stride) : stride, rowBytes, height);
    return key;
}

FramePtr PixelsOf(const AVFrame& picture) {
    FramePtr kept = MakeFrame();
    kept->format = picture.format;
    kept->width = picture.width;
    kept->height = picture.height;
    for (int i = 0; i < AV_NUM_DATA_POINTERS; ++i) {
        if (picture.buf[i]) {
            kept->buf[i] = av_buffer_ref(picture.buf[i]);
            if (!kept->buf[i]) return nullptr;
        }
        kept->data[i] = picture.data[i];
        kept->linesize[i] = picture.linesize[i];
    }
    kept->extended_data = kept->data;
    return kept;
}

PictureOrigins& PictureOrigins::Shared() {
    static PictureOrigins shared(kSharedCapacity);
    return shared;
}

void PictureOrigins::Remember(const PictureKey& key, const AVFrame& planes, const void* owner) {
    if (!planes.buf[0] || m_capacity == 0) return;
    // Only the pixels: a decoder's picture type, key-frame mark or side
    // data would steer the encoder that takes them.
    FramePtr kept = PixelsOf(planes);
    if (!kept) return;  // out of memory: simply not remembered
    FramePtr dropped;  // freed outside the lock
    std::lock_guard<std::mutex> hold(m_lock);
    const auto same = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.key == key; });
    if (same != m_entries.end()) {
        dropped = std::move(same->planes);
        m_entries.erase(same);
    } else if (m_entries.size() >= m_capacity) {
        dropped = std::move(m_entries.front().planes);
        m_entries.pop_front();
    }
    m_entries.push_back(Entry{key, std::move(kept), owner});
}

void PictureOrigins::Forget(const void* owner) {
    std::deque<Entry> dropped;  // freed outside the lock
    std::lock_guard<std::mutex> hold(m_lock);
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->owner == owner) {
            dropped.push_back(std::move(*it));
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
}

bool PictureOrigins::Find(const PictureKey& key, AVFrame* planes) {
    std::lock_guard<std::mutex> hold(m_lock);
    const auto it = std::find_if(m_entries.rbegin(), m_entries.rend(), [&](const Entry& e) { return e.key == key; });
    if (it == m_entries.rend()) return false;
    if (av_frame_ref(planes, it->planes.get()) < 0) return false;
    if (it != m_entries.rbegin()) {
        Entry entry = std::move(*it);
        m_entries.erase(std::next(it).base());
        m_entries.push_back(std::move(entry));
    }
    return true;
}

bool PictureOrigins::Empty() const {
    std::lock_guard<std::mutex> hold(m_lock);
    return m_entries.empty();
}

}  // namespace media
