#include "framework/forms/Streams.h"

#include <algorithm>
#include <cstring>

namespace forms {

int64_t TStream::Size() {
    const int64_t pos = Position();
    const int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return size;
}

void TStream::SetSize(int64_t) { throw EStreamError("Stream size cannot be changed"); }

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(count, 64 * 1024)));
    int64_t done = 0;
    while (done < count) {
        const int64_t n = std::min<int64_t>(count - done, static_cast<int64_t>(buffer.size()));
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        done += n;
    }
    return done;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || m_pos >= Size()) return 0;
    const int64_t n = std::min(count, Size() - m_pos);
    std::memcpy(buffer, m_data.data() + m_pos, static_cast<size_t>(n));
    m_pos += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    if (m_pos + count > Size()) m_data.resize(static_cast<size_t>(m_pos + count));
    std::memcpy(m_data.data() + m_pos, buffer, static_cast<size_t>(count));
    m_pos += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = 0;
    if (origin == TSeekOrigin::soCurrent) base = m_pos;
    else if (origin == TSeekOrigin::soEnd) base = Size();
    m_pos = std::max<int64_t>(0, base + offset);
    return m_pos;
}

void TMemoryStream::SetSize(int64_t size) {
    m_data.resize(static_cast<size_t>(std::max<int64_t>(0, size)));
    if (m_pos > size) m_pos = size;
}

void TMemoryStream::Clear() {
    m_data.clear();
    m_pos = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
    source.SetPosition(0);
    const int64_t size = source.Size();
    m_data.resize(static_cast<size_t>(size));
    m_pos = 0;
    source.ReadBuffer(m_data.data(), size);
}

void TMemoryStream::SaveToStream(TStream& target) { target.WriteBuffer(m_data.data(), Size()); }

}  // namespace forms
