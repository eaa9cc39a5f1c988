// The planar pictures that recent packed RGB pictures were made from.
//
// The video group's samples are 32-bit RGB, so a picture goes from its
// decoder's planes into RGB in the source and back into planes in the
// encoder; both are ours and run in one process. The source remembers the
// planes of each picture it converts, under a hash of the RGB it wrote; an
// encoder that receives exactly those bytes takes the planes instead of
// converting the RGB back, which is faster and loses nothing. Any filter
// between them that changes a single byte makes the lookup miss, and the
// encoder converts what it was given, as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/core/FfmpegPtr.h"

namespace media {

// A packed picture by its content: the hash of its rows in display order
// (whatever the stride or row order it is stored in), its size and format.
struct PictureKey {
    uint64_t hash = 0;
    int width = 0;
    int height = 0;
    int format = AV_PIX_FMT_NONE;
    bool operator==(const PictureKey& o) const {
        return hash == o.hash && width == o.width && height == o.height && format == o.format;
    }
};

// A 64-bit hash of rows bytes each, the first at top and the next step
// bytes on (negative for bottom-up storage; 0 repeats one row). Any change
// confined to one 8-byte word always changes it.
uint64_t HashRows(const uint8_t* top, ptrdiff_t step, size_t rowBytes, int rows);

// The key of a packed picture stored as the encoders receive it.
PictureKey PackedPictureKey(const uint8_t* picture, AVPixelFormat format, int width, int height, int stride,
                            bool bottomUp);

// A reference to a picture's pixels only (buffers, planes, size and
// format), none of its decoder's properties; null when out of memory.
FramePtr PixelsOf(const AVFrame& picture);

class PictureOrigins {
public:
    explicit PictureOrigins(size_t capacity) : m_capacity(capacity) {}

    // The one table the sources and encoders of this process share.
    static PictureOrigins& Shared();

    // Keeps a reference to the planes (their buffers only, none of the
    // decoder's properties) as the newest entry; the oldest entries are
    // dropped beyond the capacity. Planes without reference-counted
    // buffers are not kept.
    void Remember(const PictureKey& key, const AVFrame& planes, const void* owner = nullptr);
    // Drops what the owner remembered, so that no picture outlives the
    // reader that made it (a later encoder just converts the RGB).
    void Forget(const void* owner);
    // A reference to the planes remembered under the key, which becomes
    // the newest entry; false when there are none.
    bool Find(const PictureKey& key, AVFrame* planes);
    // Nothing remembered: an encoder need not hash at all.
    bool Empty() const;

private:
    struct Entry {
        PictureKey key;
        FramePtr planes;
        const void* owner;
    };
    const size_t m_capacity;
    mutable std::mutex m_lock;
    std::deque<Entry> m_entries;  // oldest first
};

}  // namespace media
