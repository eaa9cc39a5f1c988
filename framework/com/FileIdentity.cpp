#include "framework/com/FileIdentity.h"

#include <windows.h>

#include <cstdio>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"

namespace com {

std::string FileIdentity(const std::u16string& path) {
    if (path.empty()) return std::string();
    // No error boxes for drives without a disk.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
    // No access asked for: a file another program holds open still answers.
    const KernelHandle h(CreateFileW(W(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    SetErrorMode(oldMode);
    BY_HANDLE_FILE_INFORMATION info{};
    if (!h || !GetFileInformationByHandle(h.Get(), &info)) return std::string();
    char id[64];
    std::snprintf(id, sizeof id, "%08x:%08x%08x", static_cast<unsigned>(info.dwVolumeSerialNumber),
                  static_cast<unsigned>(info.nFileIndexHigh), static_cast<unsigned>(info.nFileIndexLow));
    return id;
}

bool SameExistingFile(const std::u16string& a, const std::u16string& b) {
    const std::string first = FileIdentity(a);
    return !first.empty() && first == FileIdentity(b);
}

}  // namespace com
