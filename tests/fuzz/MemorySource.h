// A byte source over a block of memory, for the fuzz targets.
#pragma once

#include <algorithm>
#include <cstring>

#include "platform/core/ByteIo.h"

namespace fuzz {

class MemorySource final : public media::ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(static_cast<int64_t>(size)) {}
    int Read(uint8_t* buf, int size) override {
        const int64_t n = std::min<int64_t>(size, m_size - m_pos);
        if (n <= 0) return 0;
        std::memcpy(buf, m_data + m_pos, static_cast<size_t>(n));
        m_pos += n;
        return static_cast<int>(n);
    }
    int64_t Seek(int64_t offset, int whence) override {
        const int64_t base = whence == SEEK_CUR ? m_pos : whence == SEEK_END ? m_size : 0;
        if (base + offset < 0) return AVERROR(EINVAL);
        m_pos = base + offset;
        return m_pos;
    }
    int64_t Size() override { return m_size; }

private:
    const uint8_t* m_data;
    int64_t m_size;
    int64_t m_pos = 0;
};

inline media::SourceOpener MemoryOpener(const uint8_t* data, size_t size) {
    return [data, size] { return std::make_unique<MemorySource>(data, size); };
}

}  // namespace fuzz
