// Win32 files for the program: paths are Windows paths.
#include <windows.h>

#include <algorithm>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/FileStore.h"

namespace forms {
namespace {

class Win32FileStore final : public FileStore {
public:
    FileReadResult Read(const String& path, std::string& bytes, size_t limit) const override {
        bytes.clear();
        const com::KernelHandle file(CreateFileW(com::W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            const DWORD err = GetLastError();
            return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? FileReadResult::Missing
                                                                               : FileReadResult::Failed;
        }
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file.Get(), &size)) return FileReadResult::Failed;
        if (static_cast<unsigned long long>(size.QuadPart) > limit) return FileReadResult::TooLarge;
        bytes.resize(static_cast<size_t>(size.QuadPart));
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            if (!ReadFile(file.Get(), &bytes[done], want, &n, nullptr) || n == 0) {
                bytes.clear();
                return FileReadResult::Failed;
            }
            done += n;
        }
        return FileReadResult::Ok;
    }

    // The new contents go to a file beside the old one, which they replace
    // only once they are complete: a failed write (a full disk) leaves the
    // old file as it was.
    bool Write(const String& path, const std::string& bytes) const override {
        const DWORD attributes = GetFileAttributesW(com::W(path));
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
            return false;
        const String folder = ExtractFilePath(path);
        WCHAR temp[MAX_PATH] = {};
        if (!GetTempFileNameW(folder.empty() ? L"." : com::W(folder), L"ini", 0, temp)) {
            // A folder we may not add files to: the file itself may still be writable.
            return WriteWhole(path, bytes, CREATE_ALWAYS);
        }
        bool ok = WriteWhole(com::U16(temp), bytes, TRUNCATE_EXISTING);
        const DWORD kept =
            attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        if (ok && kept) SetFileAttributesW(temp, kept);
        ok = ok && MoveFileExW(temp, com::W(path), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!ok) {
            SetFileAttributesW(temp, FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(temp);
        }
        return ok;
    }

private:
    static bool WriteWhole(const String& path, const std::string& bytes, DWORD disposition) {
        const com::KernelHandle file(
            CreateFileW(com::W(path), GENERIC_WRITE, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) return false;
        size_t done = 0;
        while (done < bytes.size()) {
            DWORD n = 0;
            const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
            if (!::WriteFile(file.Get(), bytes.data() + done, want, &n, nullptr) || n != want) return false;
            done += n;
        }
        return FlushFileBuffers(file.Get()) != 0;
    }
};

}  // namespace

const FileStore& DefaultFileStore() {
    static const Win32FileStore store;
    return store;
}

}  // namespace forms
