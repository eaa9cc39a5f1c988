#include "shellbrowse/ShellRoutines.h"

#include <shlobj.h>
#include <winnetwk.h>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"

namespace shellbrowse {

TShellHooks SystemShellHooks() {
    TShellHooks h;
    h.MessageBox = [](const String& text, const String& caption, UINT flags) {
        return forms::Application ? forms::Application->MessageBox(text, caption, flags)
                                  : MessageBoxW(nullptr, com::W(text), com::W(caption), flags);
    };
    h.Beep = [](UINT type) { MessageBeep(type); };
    h.FileOperation = [](SHFILEOPSTRUCTW& op) { return SHFileOperationW(&op); };
    h.Execute = [](const String& verb, const String& file, const String& parameters, const String& directory,
                   int showCmd) {
        const HWND parent = forms::Application ? forms::Application->Handle() : nullptr;
        return reinterpret_cast<INT_PTR>(ShellExecuteW(parent, com::W(verb), com::W(file),
                                                       parameters.empty() ? nullptr : com::W(parameters),
                                                       directory.empty() ? nullptr : com::W(directory), showCmd));
    };
    h.NetConnectDialog = [](HWND owner, DWORD type) { return WNetConnectionDialog(owner, type); };
    h.NetDisconnectDialog = [](HWND owner, DWORD type) { return WNetDisconnectDialog(owner, type); };
    return h;
}

TShellHooks& ShellHooks() {
    static TShellHooks hooks = SystemShellHooks();
    return hooks;
}

int ShowShellMessage(TMsgKind kind, const String& text) {
    switch (kind) {
    case TMsgKind::mkError: return ShellHooks().MessageBox(text, u"Error", MB_OK | MB_ICONERROR);
    case TMsgKind::mkWarning: return ShellHooks().MessageBox(text, u"Warning", MB_OK | MB_ICONWARNING);
    case TMsgKind::mkInformation: return ShellHooks().MessageBox(text, u"Information", MB_OK | MB_ICONINFORMATION);
    case TMsgKind::mkConfirmation: break;
    }
    return ShellHooks().MessageBox(text, u"Confirm", MB_YESNO | MB_ICONQUESTION);
}

void ErrorBeep() { ShellHooks().Beep(MB_ICONHAND); }

INT_PTR ShellOpen(const String& verb, const String& fileName, const String& parameters, const String& directory,
                  int showCmd) {
    const INT_PTR result = ShellHooks().Execute(verb, fileName, parameters, directory, showCmd);
    if (result <= 32) ShowShellMessage(TMsgKind::mkError, u"ERROR - Can't " + verb + u" file  " + fileName);
    return result;
}

bool ShellFileOperation(HWND, UINT operation, const String& from, const String& to, bool* aborted) {
    // Each name a double-NUL-terminated list of one.
    const String source = AddTrailingNul(from) + u'\0';
    const String target = AddTrailingNul(to) + u'\0';
    SHFILEOPSTRUCTW op{};
    op.hwnd = GetActiveWindow();
    op.wFunc = operation;
    op.pFrom = com::W(source);
    op.pTo = to.empty() ? nullptr : com::W(target);
    op.fFlags = FOF_ALLOWUNDO;
    op.lpszProgressTitle = L"";
    const int result = ShellHooks().FileOperation(op);
    if (aborted) *aborted = op.fAnyOperationsAborted != FALSE;
    return result == 0 && !op.fAnyOperationsAborted;
}

namespace {

class CriticalErrorsOff {
public:
    CriticalErrorsOff() : m_old(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsOff() { SetErrorMode(m_old); }

private:
    UINT m_old;
};

String DriveRoot(char16_t letter) { return String(1, letter) + u":\\"; }

char16_t UpperLetter(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c; }

// DiskSize and DiskFree of a drive: bytes, or -1 when it cannot be asked.
bool DiskSpace(char16_t letter, std::int64_t& size, std::int64_t& free) {
    ULARGE_INTEGER available{}, total{}, totalFree{};
    CriticalErrorsOff quiet;
    if (!GetDiskFreeSpaceExW(com::W(DriveRoot(UpperLetter(letter))), &available, &total, &totalFree)) return false;
    size = static_cast<std::int64_t>(total.QuadPart);
    free = static_cast<std::int64_t>(available.QuadPart);
    return true;
}

}  // namespace

bool BrowseFolder(HWND owner, String& path) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = L"Please specify a directory";
    const com::Pidl item(SHBrowseForFolderW(&info));
    if (!item) return false;
    WCHAR buffer[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(item.Get(), buffer)) return false;
    path = IncludeTrailingSlash(com::U16(buffer));
    return true;
}

std::int64_t DriveSizeKB(const String& path) {
    std::int64_t size = 0, free = 0;
    if (path.empty() || !DiskSpace(path[0], size, free)) return -1;
    return size / 1024;
}

std::int64_t DriveFreeKB(const String& path) {
    std::int64_t size = 0, free = 0;
    if (path.empty() || !DiskSpace(path[0], size, free)) return -1;
    return free / 1024;
}

bool DriveReady(char16_t letter, bool showMessage) {
    letter = UpperLetter(letter);
    if (letter < u'A' || letter > u'Z') ShowShellMessage(TMsgKind::mkError, u"Not a valid Drive ID");
    std::int64_t size = 0, free = 0;
    if (DiskSpace(letter, size, free)) return true;
    if (showMessage) {
        ErrorBeep();
        ShowShellMessage(TMsgKind::mkWarning, String(u"There is no disk in Drive ") + letter + u"\r" + u"or Drive " +
                                                  letter + u": is not ready");
    }
    return false;
}

UINT DriveTypeOf(char16_t letter) { return GetDriveTypeW(com::W(DriveRoot(UpperLetter(letter)))); }

String FileTimeText(const FILETIME& fileTime, const String& datePattern, const String& timePattern) {
    FILETIME local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&fileTime, &local) || !FileTimeToSystemTime(&local, &st)) return String();
    forms::TDateTimeParts parts;
    parts.Year = st.wYear;
    parts.Month = st.wMonth;
    parts.Day = st.wDay;
    parts.Hour = st.wHour;
    parts.Minute = st.wMinute;
    parts.Second = st.wSecond;
    return forms::FormatDateTime(datePattern + u" " + timePattern, parts);
}

bool DirectoryExists(const String& path) {
    const DWORD a = GetFileAttributesW(com::W(path));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool ConfirmNotExists(const String& path) {
    String bare = path;
    while (!bare.empty() && bare.back() == u'\0') bare.pop_back();
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(com::W(bare), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    ShowShellMessage(TMsgKind::mkError, u"\"" + forms::ExtractFileName(ExcludeTrailingSlash(bare)) + u"\" already exists !");
    return true;
}

int SmallIconIndex(const String& path) {
    SHFILEINFOW info{};
    SHGetFileInfoW(com::W(path), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON);
    return info.iIcon;
}

int OpenIconIndex(const String& path) {
    SHFILEINFOW info{};
    SHGetFileInfoW(com::W(path), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_OPENICON | SHGFI_SMALLICON);
    return info.iIcon;
}

int FolderIconIndex(bool open) {
    SHFILEINFOW info{};
    SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                   SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON | (open ? SHGFI_OPENICON : 0));
    return info.iIcon;
}

HIMAGELIST SystemSmallImages() {
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
}

HIMAGELIST SystemLargeImages() {
    SHFILEINFOW info{};
    return reinterpret_cast<HIMAGELIST>(
        SHGetFileInfoW(L"", 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_SHELLICONSIZE));
}

String LocaleUpperCase(const String& text) {
    String upper = text;
    if (!upper.empty()) CharUpperBuffW(com::W(&upper[0]), static_cast<DWORD>(upper.size()));
    return upper;
}

void ShowProperties(const String& path) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // Wine answers a properties request with its own "Invalid parameter"
    // box and no error code: keep its box away and speak for ourselves.
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"properties";
    info.lpFile = com::W(path);
    if (ShellExecuteExW(&info)) return;
    const char16_t* text = nullptr;
    switch (GetLastError()) {
    case 2: text = u"The specified file was not found."; break;
    case 3: text = u"The specified path was not found."; break;
    case 5: text = u"Access denied"; break;
    case 8: text = u"Not enough memory for this operation"; break;
    case 32: text = u"Sharing violation"; break;
    case 1155: text = u"There is no application associated with the given filename extension."; break;
    case 1156: text = u"The DDE transaction failed."; break;
    case 1157: text = u"DLL not found"; break;
    case 1223:
        text = u"The function prompted the user for the location of the application, but the user cancelled the request.";
        break;
    default: break;
    }
    if (text) {
        ShowShellMessage(TMsgKind::mkError, text);
        return;
    }
    const String facts = PropertiesText(path);
    if (!facts.empty()) ShellHooks().MessageBox(facts, u"Properties", MB_OK | MB_ICONINFORMATION);
}

namespace {

String LocalTimeText(const FILETIME& time) {
    FILETIME local{};
    SYSTEMTIME st{};
    if (!FileTimeToLocalFileTime(&time, &local) || !FileTimeToSystemTime(&local, &st)) return String();
    WCHAR date[80] = {}, clock[80] = {};
    GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, 80);
    GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, clock, 80);
    return com::U16(date) + u" " + com::U16(clock);
}

String ByteCountText(std::uint64_t bytes) {
    String digits = forms::IntToStr(static_cast<long long>(bytes));
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), 1, u',');
    return digits + u" bytes";
}

}  // namespace

String PropertiesText(const String& path) {
    String bare = path;
    while (bare.size() > 3 && bare.back() == u'\\') bare.pop_back();
    SHFILEINFOW info{};
    SHGetFileInfoW(com::W(bare), 0, &info, sizeof info, SHGFI_TYPENAME | SHGFI_DISPLAYNAME);
    const String type = com::U16(info.szTypeName);
    if (bare.size() <= 3 && bare.size() >= 2 && bare[1] == u':') {
        // A drive: its kind, size and free space.
        const String root = String(1, UpperLetter(bare[0])) + u":\\";
        if (GetDriveTypeW(com::W(root)) == DRIVE_NO_ROOT_DIR) return String();
        String text = u"Name:  " + com::U16(info.szDisplayName) + u"\r" + u"Type:  " + DriveTypeText(DriveTypeOf(root[0]));
        std::int64_t size = 0, free = 0;
        if (DiskSpace(root[0], size, free)) {
            text += u"\rCapacity:  " + ByteCountText(static_cast<std::uint64_t>(size));
            text += u"\rFree space:  " + ByteCountText(static_cast<std::uint64_t>(free));
        }
        return text;
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(com::W(bare), GetFileExInfoStandard, &data)) return String();
    const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const std::uint64_t bytes = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    const String attributes = AttrText(data.dwFileAttributes);
    String text = u"Name:  " + forms::ExtractFileName(bare) + u"\r";
    text += u"Type:  " + (type.empty() ? String(folder ? u"Folder" : u"File") : type) + u"\r";
    String location = forms::ExtractFilePath(bare);
    if (location.size() > 3) location = ExcludeTrailingSlash(location);
    text += u"Location:  " + location + u"\r";
    if (!folder) text += u"Size:  " + SizeText(bytes) + u" (" + ByteCountText(bytes) + u")\r";
    text += u"Created:  " + LocalTimeText(data.ftCreationTime) + u"\r";
    text += u"Modified:  " + LocalTimeText(data.ftLastWriteTime) + u"\r";
    text += u"Accessed:  " + LocalTimeText(data.ftLastAccessTime) + u"\r";
    text += u"Attributes:  " + (attributes.empty() ? String(u"none") : attributes);
    return text;
}

THourGlass::THourGlass() : m_saved(SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)))) {}

THourGlass::~THourGlass() { SetCursor(m_saved); }

}  // namespace shellbrowse
