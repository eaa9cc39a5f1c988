// Byte streams: the abstract TStream and the in-memory TMemoryStream.
// Files are reached through TFileStream (WinStreams.h) or FileStore.h.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/forms/Component.h"

namespace forms {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
    FORMS_CLASS(TStream)
    // Reads or writes up to count bytes; returns how many moved.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t size);

    // Exactly count bytes, or EReadError / EWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source (all of it from the start when 0).
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    FORMS_CLASS(TMemoryStream)
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : m_data(std::move(bytes)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(m_data.size()); }
    void SetSize(int64_t size) override;

    void Clear();
    void LoadFromStream(TStream& source);
    void SaveToStream(TStream& target);
    const uint8_t* Memory() const { return m_data.data(); }
    uint8_t* Memory() { return m_data.data(); }
    const std::vector<uint8_t>& Bytes() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
    int64_t m_pos = 0;
};

}  // namespace forms
