// Streams over Win32 file handles.
#pragma once

#include <windows.h>

#include "framework/forms/Streams.h"

namespace forms {

// Open modes: one access mode, optionally one sharing mode.
enum : unsigned {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmShareExclusive = 0x0010,
    fmShareDenyWrite = 0x0020,
    fmShareDenyNone = 0x0040,
    fmCreate = 0xFFFF,
};

class THandleStream : public TStream {
public:
    FORMS_CLASS(THandleStream)
    explicit THandleStream(HANDLE handle) : m_handle(handle) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    void SetSize(int64_t size) override;
    HANDLE Handle() const { return m_handle; }

protected:
    HANDLE m_handle;
};

// Raises EFOpenError or EFCreateError when the file cannot be opened.
class TFileStream : public THandleStream {
public:
    FORMS_CLASS(TFileStream)
    TFileStream(const String& fileName, unsigned mode);
    ~TFileStream() override;
    const String& FileName() const { return m_fileName; }

private:
    String m_fileName;
};

}  // namespace forms
