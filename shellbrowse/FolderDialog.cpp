#include "shellbrowse/FolderDialog.h"

#include <shellapi.h>

#include <vector>

#include "framework/com/ComPtr.h"
#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"

namespace shellbrowse {
namespace {

// The browser's status line.
constexpr int kStatusLineId = 14147;

class QuietErrors {
public:
    QuietErrors() : m_old(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~QuietErrors() { SetErrorMode(m_old); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    UINT m_old;
};

bool WindowsNT() {
    OSVERSIONINFOW info{sizeof info};
    return GetVersionExW(&info) && info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

String PathOfItem(LPCITEMIDLIST item) {
    WCHAR path[MAX_PATH + 1] = {};
    if (!item || !SHGetPathFromIDListW(item, path)) return String();
    return com::U16(path);
}

BOOL CALLBACK FindStatusLine(HWND child, LPARAM param) {
    if (GetDlgCtrlID(child) != kStatusLineId) return TRUE;
    *reinterpret_cast<HWND*>(param) = child;
    return FALSE;
}

// Wine's browser sometimes drops a selection asked for while it fills its
// tree; the selection is asked for again this often, this many times. On a
// busy machine filling the tree to a deep folder can take much longer: as
// long as the user has not touched the keyboard or mouse since (so the
// browser shows no folder of the user's choosing), it is asked for longer.
constexpr UINT_PTR kSelectionTimer = 0x5E1;
constexpr UINT kSelectionRetryMs = 50;
constexpr int kSelectionRetries = 60;
constexpr DWORD kUntouchedRetryMs = 30000;

// Whether keyboard or mouse input reached the system since the tick count.
bool InputSince(DWORD tick) {
    LASTINPUTINFO last{};
    last.cbSize = sizeof last;
    return GetLastInputInfo(&last) && static_cast<LONG>(last.dwTime - tick) > 0;
}

// The component whose browser is open on this thread (the browser is modal).
thread_local TBrowseFolderDialog* t_open = nullptr;

bool SamePath(const String& a, const String& b) {
    return !a.empty() && forms::SameText(forms::ExcludeTrailingBackslash(a), forms::ExcludeTrailingBackslash(b));
}

}  // namespace

bool IsDirectory(const String& path) {
    QuietErrors quiet;
    if (path.size() == 3 && path[1] == u':' && path[2] == u'\\') {
        const char16_t letter = forms::UpperCase(path.substr(0, 1))[0];
        if (letter < u'A' || letter > u'Z') return false;
        return (GetLogicalDrives() >> (letter - u'A')) & 1;
    }
    String p = path;
    if (!p.empty() && p.back() == u'\\') p.pop_back();
    if (p.empty()) return false;
    WIN32_FIND_DATAW data{};
    const HANDLE find = FindFirstFileW(com::W(p), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    FindClose(find);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

TBrowseFolderDialog::TBrowseFolderDialog(TComponent* owner) : TComponent(owner) {
    SHGetMalloc(&m_malloc);
    m_ownerControl = dynamic_cast<forms::TWinControl*>(owner);
    if (!m_ownerControl && forms::Application) m_ownerControl = forms::Application->MainForm();
}

TBrowseFolderDialog::~TBrowseFolderDialog() {
    if (t_open == this) t_open = nullptr;
    ForgetItem();
    if (m_malloc) m_malloc->Release();
}

void TBrowseFolderDialog::ForgetItem() {
    if (m_item && m_malloc) m_malloc->Free(m_item);
    m_item = nullptr;
}

HWND TBrowseFolderDialog::OwnerWindow() const {
    forms::TWinControl* owner = m_ownerControl;
    if (!owner) owner = dynamic_cast<forms::TWinControl*>(Owner());
    if (!owner && forms::Application) owner = forms::Application->MainForm();
    return owner ? owner->Handle() : nullptr;
}

void TBrowseFolderDialog::SetSelection(const String& path) {
    if (path == m_selection) return;
    m_selection = path;
    if (!m_selection.empty() && m_selection.back() != u'\\' && IsDirectory(m_selection)) m_selection += u'\\';
    if (m_selection.empty()) ForgetItem();
    if (m_showSelectionInStatus) SetStatusText(m_selection);
    if (m_dialog) ApplyInitialSelection();
}

void TBrowseFolderDialog::SetOptions(TBrowseFlags options) {
    if (options == m_options) return;
    m_options = CompleteOptions(options);
}

void TBrowseFolderDialog::SetStatusText(const String& text) {
    if (text == m_statusText) return;
    m_statusText = text;
    if (m_dialog) SendStatusText();
}

void TBrowseFolderDialog::SetFitStatusText(bool on) {
    if (on == m_fitStatusText) return;
    m_fitStatusText = on;
    if (m_dialog) SendStatusText();
}

void TBrowseFolderDialog::SetEnableOKButton(bool on) {
    m_enableOK = on;
    if (m_dialog) SendMessageW(m_dialog, BFFM_ENABLEOK, 0, on);
}

String TBrowseFolderDialog::Caption() const {
    if (!m_dialog) return m_caption;
    WCHAR text[256] = {};
    SendMessageW(m_dialog, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return com::U16(text);
}

void TBrowseFolderDialog::SetCaption(const String& caption) {
    m_caption = caption;
    if (m_dialog) SendMessageW(m_dialog, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(com::W(caption)));
}

String TBrowseFolderDialog::FittedStatusText() {
    HWND status = nullptr;
    if (m_dialog) EnumChildWindows(m_dialog, &FindStatusLine, reinterpret_cast<LPARAM>(&status));
    if (!m_fitStatusText || !status || m_statusText.empty()) return m_statusText;
    const com::WindowDc statusDc(status);
    const HDC dc = statusDc.Get();
    const com::SelectedObject font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(status, WM_GETFONT, 0, 0)));
    auto measure = [dc](const String& text) {
        SIZE size{};
        if (!GetTextExtentPoint32W(dc, com::W(text), static_cast<int>(text.size()), &size)) return 0;
        return static_cast<int>(size.cx);
    };
    RECT r{};
    GetWindowRect(status, &r);
    const int width = r.right - r.left;
    return IsDirectory(m_statusText) ? FitPathText(m_statusText, width, measure)
                                     : FitPlainText(m_statusText, width, measure);
}

void TBrowseFolderDialog::SendStatusText() {
    const String text = FittedStatusText();
    SendMessageW(m_dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(com::W(text)));
}

void TBrowseFolderDialog::ApplyInitialSelection() {
    if (!m_selection.empty() || !m_item) {
        com::ComPtr<IShellFolder> desktop;
        LPITEMIDLIST parsed = nullptr;
        if (SUCCEEDED(SHGetDesktopFolder(desktop.Put())) && desktop) {
            std::vector<WCHAR> name(MAX_PATH + 1, 0);
            lstrcpynW(name.data(), com::W(m_selection), MAX_PATH);
            ULONG eaten = 0;
            if (FAILED(desktop->ParseDisplayName(m_dialog, nullptr, name.data(), &eaten, &parsed, nullptr)))
                parsed = nullptr;
        }
        if (parsed) {
            ForgetItem();
            m_item = parsed;
        }
        if (m_selection.compare(0, 2, u"\\\\") == 0) {
            const String path = NormalisePath(m_selection);
            SendMessageW(m_dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(com::W(path)));
        } else if (parsed) {
            SelectInBrowser();
        }
        return;
    }
    m_selection = PathOfItem(m_item);
    SelectInBrowser();
}

void TBrowseFolderDialog::SelectInBrowser() {
    m_browserPath.clear();
    SendMessageW(m_dialog, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(m_item));
    if (m_selection.empty() || SamePath(m_browserPath, m_selection)) return;
    // Wine's browser may not find a folder by its item list; by its path it
    // may, or a little later when its tree is filled.
    SendMessageW(m_dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(com::W(m_selection)));
    if (SamePath(m_browserPath, m_selection)) return;
    m_selectionRetries = kSelectionRetries;
    m_selectionAsked = GetTickCount();
    SetTimer(m_dialog, kSelectionTimer, kSelectionRetryMs, &SelectionRetry);
}

void CALLBACK TBrowseFolderDialog::SelectionRetry(HWND wnd, UINT, UINT_PTR id, DWORD) {
    TBrowseFolderDialog* self = t_open;
    try {
        if (!self || self->m_dialog != wnd || !self->m_item || SamePath(self->m_browserPath, self->m_selection) ||
            (--self->m_selectionRetries <= 0 &&
             (InputSince(self->m_selectionAsked) || GetTickCount() - self->m_selectionAsked >= kUntouchedRetryMs))) {
            KillTimer(wnd, id);
            return;
        }
        SendMessageW(wnd, BFFM_SETSELECTIONW, FALSE, reinterpret_cast<LPARAM>(self->m_item));
        if (!SamePath(self->m_browserPath, self->m_selection))
            SendMessageW(wnd, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(com::W(self->m_selection)));
    } catch (...) {
        KillTimer(wnd, id);
        forms::HandleCallbackException();
    }
}

void TBrowseFolderDialog::DialogInitialized(HWND wnd) {
    m_dialog = wnd;
    t_open = this;
    if (m_center) {
        RECT r{};
        GetWindowRect(wnd, &r);
        const int x = (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2;
        const int y = (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2;
        SetWindowPos(wnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    SendMessageW(wnd, BFFM_ENABLEOK, 0, m_enableOK);
    if (!m_statusText.empty()) SendStatusText();
    if (!m_selection.empty() || m_item) ApplyInitialSelection();
    if (!m_caption.empty()) SendMessageW(wnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(com::W(m_caption)));
    if (OnCreate) OnCreate(this);
}

void TBrowseFolderDialog::SelectionChanged(HWND, LPCITEMIDLIST pidl) {
    if (!m_showSelectionInStatus && !OnSelChanged) return;
    const String path = PathOfItem(pidl);
    if (m_showSelectionInStatus) SetStatusText(path);
    if (OnSelChanged) OnSelChanged(this, path, pidl);
}

void TBrowseFolderDialog::ValidateFailed(const String& path, bool& cancel) {
    if (OnValidateFailed) OnValidateFailed(this, path, cancel);
}

int CALLBACK TBrowseFolderDialog::BrowseCallback(HWND wnd, UINT msg, LPARAM lParam, LPARAM data) {
    auto* self = reinterpret_cast<TBrowseFolderDialog*>(data);
    if (!self) return 0;
    try {
        switch (msg) {
        case BFFM_INITIALIZED:
            self->DialogInitialized(wnd);
            return 0;
        case BFFM_SELCHANGED:
            self->m_browserPath = PathOfItem(reinterpret_cast<LPCITEMIDLIST>(lParam));
            self->SelectionChanged(wnd, reinterpret_cast<LPCITEMIDLIST>(lParam));
            return 0;
        case BFFM_VALIDATEFAILEDW:
        case BFFM_VALIDATEFAILEDA: {
            const String typed = msg == BFFM_VALIDATEFAILEDW
                                     ? com::U16(reinterpret_cast<const WCHAR*>(lParam))
                                     : com::FromAnsi(lParam ? reinterpret_cast<const char*>(lParam) : "");
            bool cancel = false;
            self->ValidateFailed(typed, cancel);
            return cancel ? 0 : 1;
        }
        default:
            return 0;
        }
    } catch (...) {
        forms::HandleCallbackException();
        return 0;
    }
}

bool TBrowseFolderDialog::Execute() {
    const HWND owner = OwnerWindow();
    const bool statusWanted = !m_statusText.empty() || m_showSelectionInStatus;
    // The shell's allocator is COM's task allocator: the owners free with it
    // on every way out.
    com::TaskMem<WCHAR> displayName(m_malloc ? static_cast<WCHAR*>(m_malloc->Alloc(MAX_PATH * sizeof(WCHAR)))
                                             : nullptr);
    if (!displayName) {
        m_selection.clear();
        ForgetItem();
        return false;
    }
    displayName.Get()[0] = 0;
    const com::ComInit comScope;
    com::Pidl root;
    if (FAILED(SHGetSpecialFolderLocation(owner, RootCsidl(m_root, WindowsNT()), root.Put()))) root.Reset();

    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.pidlRoot = root.Get();
    info.pszDisplayName = displayName.Get();
    info.lpszTitle = com::W(m_title);
    info.ulFlags = BrowseInfoFlags(m_options, statusWanted);
    info.lpfn = &BrowseCallback;
    info.lParam = reinterpret_cast<LPARAM>(this);
    com::Pidl chosen;
    {
        QuietErrors quiet;
        chosen.Reset(SHBrowseForFolderW(&info));
    }

    String path;
    if (chosen) {
        bool success = false;
        if (m_options.Has(TBrowseFlag::bfComputers)) {
            path = u"\\\\" + com::U16(displayName.Get());
            const String fsPath = PathOfItem(chosen.Get());
            if (!fsPath.empty()) path = fsPath;
            success = true;
        } else {
            path = PathOfItem(chosen.Get());
            success = !path.empty();
        }
        m_imageIndex = info.iImage;
        if (m_imageIndex == -1 && success) {
            SHFILEINFOW fileInfo{};
            if (SHGetFileInfoW(com::W(path), 0, &fileInfo, sizeof fileInfo, SHGFI_SYSICONINDEX))
                m_imageIndex = fileInfo.iIcon;
        }
    }
    m_dialog = nullptr;
    if (t_open == this) t_open = nullptr;
    if (chosen) {
        m_selection = path;
        ForgetItem();
        m_item = chosen.Detach();
        return true;
    }
    m_selection.clear();
    ForgetItem();
    return false;
}

}  // namespace shellbrowse
