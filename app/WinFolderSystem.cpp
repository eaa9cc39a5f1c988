#include "app/WinFolderSystem.h"

#include <windows.h>

#include "framework/com/FileIdentity.h"
#include "framework/com/WinText.h"

namespace app {
namespace {

class FindListing final : public IFolderListing {
public:
    FindListing(HANDLE find, const WIN32_FIND_DATAW& first) : m_find(find), m_data(first), m_pending(true) {}
    FindListing() = default;  // a folder without entries
    ~FindListing() override {
        if (m_find != INVALID_HANDLE_VALUE) FindClose(m_find);
    }
    bool Next(FolderEntry& entry) override {
        if (m_find == INVALID_HANDLE_VALUE) return false;
        if (!m_pending && !FindNextFileW(m_find, &m_data)) return false;
        m_pending = false;
        entry.name = com::U16(m_data.cFileName);
        entry.directory = (m_data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.link = (m_data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        return true;
    }

private:
    HANDLE m_find = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW m_data{};
    bool m_pending = false;
};

// No error boxes for drives without a disk while a search looks at them.
class QuietErrors {
public:
    QuietErrors() : m_old(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietErrors() { SetErrorMode(m_old); }

private:
    UINT m_old;
};

}  // namespace

std::unique_ptr<IFolderListing> WinFolderSystem::List(const String& folder) {
    QuietErrors quiet;
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW(com::W(folder + u"*.*"), &data);
    if (find != INVALID_HANDLE_VALUE) return std::make_unique<FindListing>(find, data);
    // A readable folder with nothing in it (an empty drive root) is no error.
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return std::make_unique<FindListing>();
    return nullptr;
}

std::string WinFolderSystem::Identity(const String& folder) { return com::FileIdentity(folder); }

}  // namespace app
