#include "framework/forms/WinStreams.h"

#include <algorithm>

#include "framework/com/WinText.h"

namespace forms {

int64_t THandleStream::Read(void* buffer, int64_t count) {
    int64_t done = 0;
    auto* p = static_cast<uint8_t*>(buffer);
    while (done < count) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
        if (!ReadFile(m_handle, p + done, want, &n, nullptr) || n == 0) break;
        done += n;
    }
    return done;
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
    int64_t done = 0;
    const auto* p = static_cast<const uint8_t*>(buffer);
    while (done < count) {
        DWORD n = 0;
        const DWORD want = static_cast<DWORD>(std::min<int64_t>(count - done, 1 << 30));
        if (!WriteFile(m_handle, p + done, want, &n, nullptr) || n == 0) break;
        done += n;
    }
    return done;
}

int64_t THandleStream::Seek(int64_t offset, TSeekOrigin origin) {
    LARGE_INTEGER distance, position{};
    distance.QuadPart = offset;
    const DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN
                         : origin == TSeekOrigin::soCurrent ? FILE_CURRENT
                                                            : FILE_END;
    if (!SetFilePointerEx(m_handle, distance, &position, method)) return -1;
    return position.QuadPart;
}

void THandleStream::SetSize(int64_t size) {
    const int64_t pos = Position();
    SetPosition(size);
    if (!SetEndOfFile(m_handle)) throw EWriteError("Stream write error");
    if (pos < size) SetPosition(pos);
}

namespace {

HANDLE OpenFile(const String& name, unsigned mode) {
    if (mode == fmCreate)
        return CreateFileW(com::W(name), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    static const DWORD access[3] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if ((mode & 0xF0) == fmShareExclusive) share = 0;
    else if ((mode & 0xF0) == fmShareDenyWrite) share = FILE_SHARE_READ;
    return CreateFileW(com::W(name), access[std::min(mode & 3u, 2u)], share, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

TFileStream::TFileStream(const String& fileName, unsigned mode)
    : THandleStream(OpenFile(fileName, mode)), m_fileName(fileName) {
    if (m_handle == INVALID_HANDLE_VALUE) {
        const std::string name = TextToUtf8(fileName);
        if (mode == fmCreate) throw EFCreateError("Cannot create file \"" + name + "\"");
        throw EFOpenError("Cannot open file \"" + name + "\"");
    }
}

TFileStream::~TFileStream() {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
}

}  // namespace forms
