#include "platform/dshow/Win32Files.h"

#include "framework/com/WinText.h"
#include "platform/core/MediaError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace dshow {

namespace {

int AvErrorOfWin32(DWORD err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_NETPATH: return AVERROR(ENOENT);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return AVERROR(EACCES);
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return AVERROR(ENOMEM);
    default: return AVERROR(EIO);
    }
}

class Win32Source final : public media::ByteSource {
public:
    explicit Win32Source(HANDLE h) : m_h(h) {}
    ~Win32Source() override { CloseHandle(m_h); }

    int Read(uint8_t* buf, int size) override {
        DWORD got = 0;
        if (!ReadFile(m_h, buf, static_cast<DWORD>(size), &got, nullptr)) return AvErrorOfWin32(GetLastError());
        return static_cast<int>(got);
    }
    int64_t Seek(int64_t offset, int whence) override {
        const DWORD method = whence == SEEK_CUR ? FILE_CURRENT : whence == SEEK_END ? FILE_END : FILE_BEGIN;
        LARGE_INTEGER to, now;
        to.QuadPart = offset;
        if (!SetFilePointerEx(m_h, to, &now, method)) return AvErrorOfWin32(GetLastError());
        return now.QuadPart;
    }
    int64_t Size() override {
        LARGE_INTEGER size;
        return GetFileSizeEx(m_h, &size) ? size.QuadPart : AvErrorOfWin32(GetLastError());
    }

private:
    HANDLE m_h;
};

class Win32Sink final : public media::ByteSink {
public:
    explicit Win32Sink(HANDLE h) : m_h(h) {}
    ~Win32Sink() override { CloseHandle(m_h); }

    int Write(const uint8_t* buf, int size) override {
        DWORD done = 0;
        if (!WriteFile(m_h, buf, static_cast<DWORD>(size), &done, nullptr) || done != static_cast<DWORD>(size))
            return AvErrorOfWin32(GetLastError());
        return 0;
    }
    int64_t Seek(int64_t offset, int whence) override {
        const DWORD method = whence == SEEK_CUR ? FILE_CURRENT : whence == SEEK_END ? FILE_END : FILE_BEGIN;
        LARGE_INTEGER to, now;
        to.QuadPart = offset;
        if (!SetFilePointerEx(m_h, to, &now, method)) return AvErrorOfWin32(GetLastError());
        return now.QuadPart;
    }

private:
    HANDLE m_h;
};

[[noreturn]] void FailOpen(const std::u16string& path) {
    const int av = AvErrorOfWin32(GetLastError());
    const media::ErrorKind kind = media::KindOfAvError(av);
    const char* text = kind == media::ErrorKind::NotFound       ? "The file does not exist: "
                       : kind == media::ErrorKind::AccessDenied ? "The file cannot be opened (access denied): "
                                                                 : "The file cannot be opened: ";
    throw media::MediaError(kind == media::ErrorKind::Internal ? media::ErrorKind::Io : kind,
                            text + core::Utf16ToUtf8(path), av);
}

}  // namespace

HANDLE OpenFileForWriting(const std::u16string& path, DWORD disposition) {
    // Windows refuses to write a read-only file to anyone; Wine run as root
    // would write it, so the attribute is checked here.
    const DWORD attrs = GetFileAttributesW(com::W(path));
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    return CreateFileW(com::W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

std::unique_ptr<media::ByteSink> CreateWin32Sink(const std::u16string& path) {
    const HANDLE h = OpenFileForWriting(path, CREATE_ALWAYS);
    if (h == INVALID_HANDLE_VALUE) FailOpen(path);
    return std::make_unique<Win32Sink>(h);
}

std::unique_ptr<media::ByteSource> OpenWin32Source(const std::u16string& path) {
    const std::string shown = core::Utf16ToUtf8(path);
    const DWORD attrs = GetFileAttributesW(com::W(path));
    if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY))
        throw media::MediaError(media::ErrorKind::NotMedia, "The path names a folder, not a file: " + shown);
    const HANDLE h = CreateFileW(com::W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) FailOpen(path);
    return std::make_unique<Win32Source>(h);
}

media::SourceOpener Win32Opener(const std::u16string& path) {
    return [path] { return OpenWin32Source(path); };
}

}  // namespace dshow
