#include "tests/app/wine/AppTestUtil.h"

#include <commctrl.h>
#include <winioctl.h>
#define WINE_MOUNTMGR_EXTENSIONS
#include <ddk/mountmgr.h>
#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include "app/AppLinks.h"
#include "app/Convert.h"
#include "app/EverydayTips.h"
#include "app/Main.h"
#include "app/Progress.h"
#include "app/QueryDialog.h"
#include "app/Startup.h"
#include "app/about.h"
#include "app/option.h"
#include "framework/com/WinText.h"
#include "platform/core/MediaError.h"
#include "skin/SkinManager.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

namespace at {

// ---- Files --------------------------------------------------------------------------

namespace {

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
    chmod(path, 0755);  // a test may have locked a file
    return remove(path);
}

}  // namespace

DriveLink::DriveLink(char16_t letter, const std::string& unixFolder, UINT type) : m_letter(letter) {
    REQUIRE(Define(unixFolder, type));
}

DriveLink::~DriveLink() { Define(std::string(), DRIVE_NO_ROOT_DIR); }

bool DriveLink::Define(const std::string& unixFolder, UINT type) {
    std::vector<char> buffer(sizeof(mountmgr_unix_drive) + unixFolder.size() + 1, 0);
    auto* drive = reinterpret_cast<mountmgr_unix_drive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = type;
    drive->letter = static_cast<WCHAR>(m_letter - u'A' + u'a');
    if (!unixFolder.empty()) {
        drive->mount_point_offset = sizeof(mountmgr_unix_drive);
        std::memcpy(buffer.data() + sizeof(mountmgr_unix_drive), unixFolder.c_str(), unixFolder.size());
    }
    const HANDLE manager = CreateFileW(MOUNTMGR_DOS_DEVICE_NAME, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD got = 0;
    const BOOL ok = DeviceIoControl(manager, IOCTL_MOUNTMGR_DEFINE_UNIX_DRIVE, buffer.data(),
                                    static_cast<DWORD>(buffer.size()), nullptr, 0, &got, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

String WindowsPathOf(const std::string& unixPath) {
    std::string p = "Z:" + unixPath;
    for (char& c : p)
        if (c == '/') c = '\\';
    return com::U16(p);
}

ScratchFolder::ScratchFolder(const std::string& tag) {
    // The test environment gives each run a quiet folder of its own
    // (wineenv.sh); a program started by hand uses /tmp.
    const char* root = getenv("CORVANE_SCRATCH");
    std::string pattern = std::string(root && *root ? root : "/tmp") + "/corvane-" + tag + "-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back(0);
    if (mkdtemp(buffer.data())) m_unix = buffer.data();
    else wt::ReportFailure(__FILE__, __LINE__, "cannot make a scratch folder for " + tag);
}

ScratchFolder::~ScratchFolder() {
    if (!m_unix.empty()) nftw(m_unix.c_str(), &RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

String ScratchFolder::Windows() const { return WindowsPathOf(m_unix); }

String ScratchFolder::WindowsPath(const std::string& relative) const { return WindowsPathOf(UnixPath(relative)); }

void ScratchFolder::MakeFolder(const std::string& relative) const { mkdir(UnixPath(relative).c_str(), 0755); }

void ScratchFolder::WriteFile(const std::string& relative, const std::string& bytes) const {
    std::ofstream out(UnixPath(relative), std::ios::binary | std::ios::trunc);
    out << bytes;
}

void ScratchFolder::Link(const std::string& relative, const std::string& target) const {
    if (symlink(target.c_str(), UnixPath(relative).c_str()) != 0)
        wt::ReportFailure(__FILE__, __LINE__, "cannot make the link " + relative);
}

void ScratchFolder::Copy(const std::string& from, const std::string& to) const {
    WriteFile(to, ReadUnixFile(UnixPath(from)));
}

std::string ReadUnixFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool MakeClip(const std::string& unixPath, const clipgen::ClipSpec& desc) {
    try {
        clipgen::WriteClip(unixPath, desc);
        return true;
    } catch (const std::exception& e) {
        wt::ReportFailure(__FILE__, __LINE__, "cannot write " + unixPath + ": " + e.what());
        return false;
    }
}

bool StandInMediaDetector() {
    const std::u16string server = wt::RegReadString(
        HKEY_CLASSES_ROOT, u"CLSID\\{65BD0711-24D2-4FF7-9324-ED2E5D3ABAFA}\\InprocServer32", u"");
    return forms::LowerCase(server).find(u"mediaplat") != std::u16string::npos;
}

// ---- The program's windows ----------------------------------------------------------

ProgramWindows::ProgramWindows(const std::string& tag, const std::string& skin) : m_folder(tag), m_skin(skin) {
    app::CreateProgramWindows(m_app.App());
    // The main window found the test program's folder; the settings of
    // each test live in its own, read again as the options window reads
    // them at the start.
    app::ProgramFolder = m_folder.Windows() + u"\\";
    WriteOptions("");
    app::OptionForm->LoadOptions();
    app::MainForm->Show();
    ft::Pump(30);
}

ProgramWindows::~ProgramWindows() {
    app::MainForm = nullptr;
    app::ProgressForm = nullptr;
    app::ConvertForm = nullptr;
    app::DialogForm = nullptr;
    app::OptionForm = nullptr;
    app::AboutForm = nullptr;
    app::TipForm = nullptr;
    app::OptionLinks = app::OptionWindowLinks{};
    // The windows go with the application; the skin manager before them,
    // as at the program's end.
    skin::DestroySkinManager();
}

void ProgramWindows::WriteOptions(const std::string& text) const {
    std::string all = text;
    if (!m_skin.empty() && all.find("[Skin]") == std::string::npos) all += "\r\n[Skin]\r\nSkin=" + m_skin + "\r\n";
    m_folder.WriteFile("Option.ini", all);
}

std::string ProgramWindows::ReadOptions() const { return ReadUnixFile(m_folder.UnixPath("Option.ini")); }

// ---- The task list ------------------------------------------------------------------

namespace {

HWND TaskList() { return app::MainForm->ltvList->Handle(); }

}  // namespace

int RowCount() { return static_cast<int>(SendMessageW(TaskList(), LVM_GETITEMCOUNT, 0, 0)); }

String RowText(int row, int column) {
    WCHAR text[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(TaskList(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return com::U16(text);
}

std::vector<String> Row(int row) {
    std::vector<String> texts;
    for (int c = 0; c < 8; ++c) texts.push_back(RowText(row, c));
    // The whole seconds have no column: only the item holds them.
    forms::TStrings& sub = app::MainForm->ltvList->Items()[row]->SubItems();
    texts.push_back(sub.Count() > 7 ? sub[7] : String());
    return texts;
}

std::vector<String> FileNames() {
    std::vector<String> names;
    for (int r = 0; r < RowCount(); ++r) names.push_back(RowText(r, 0));
    return names;
}

void SelectRow(int row, bool only) {
    LVITEMW state{};
    if (only) {
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(TaskList(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&state));
    }
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(TaskList(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
}

void ClickToolButton(forms::TControl* control) {
    auto* button = dynamic_cast<forms::TToolButton*>(control);
    REQUIRE(button && button->Parent());
    const HWND bar = button->Parent()->Handle();
    RECT r{};
    SendMessageW(bar, TB_GETRECT, static_cast<WPARAM>(button->Command()), reinterpret_cast<LPARAM>(&r));
    ft::ClickAt(bar, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

namespace {

struct ClassSearch {
    const WCHAR* cls;
    HWND found;
};

BOOL CALLBACK MatchClass(HWND h, LPARAM p) {
    auto* s = reinterpret_cast<ClassSearch*>(p);
    WCHAR cls[64] = {};
    GetClassNameW(h, cls, 64);
    if (lstrcmpiW(cls, s->cls) != 0) return TRUE;
    s->found = h;
    return FALSE;
}

}  // namespace

HWND FindChildByClass(HWND parent, const WCHAR* className) {
    ClassSearch s{className, nullptr};
    EnumChildWindows(parent, &MatchClass, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

String TreeItemText(HWND tree, HTREEITEM at) {
    WCHAR text[260] = {};
    TVITEMW item{};
    item.mask = TVIF_TEXT;
    item.hItem = at;
    item.pszText = text;
    item.cchTextMax = 260;
    if (!at || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return String();
    return com::U16(text);
}

// ---- Timed hands --------------------------------------------------------------------

namespace {

struct BrowserHandState {
    bool ok = true;
    std::function<void(HWND)> inspect;
    // The preset folder's name and its parent's name, as the tree shows
    // them; empty when nothing is preset.
    std::vector<String> names;
    bool seen = false;
    UINT_PTR timer = 0;
    DWORD start = 0;
};
BrowserHandState* g_browser = nullptr;

// The browser's tree may move to a preset folder well after it shows (on
// a busy machine seconds later), passing other items on the way.
constexpr DWORD kPresetWaitMs = 60000;

BOOL CALLBACK FindBrowser(HWND hwnd, LPARAM param) {
    WCHAR cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
    if (!FindChildByClass(hwnd, L"SysTreeView32")) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

// True when the caret and the items above it carry the preset's names.
bool OnPreset(HWND tree, const std::vector<String>& names) {
    auto at = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    for (const String& name : names) {
        if (!forms::SameText(TreeItemText(tree, at), name)) return false;
        at = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(at)));
    }
    return true;
}

void CALLBACK BrowserTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_browser || g_browser->seen) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindBrowser, reinterpret_cast<LPARAM>(&dialog));
    if (!dialog) return;
    bool ok = g_browser->ok;
    const HWND tree = FindChildByClass(dialog, L"SysTreeView32");
    if (!OnPreset(tree, g_browser->names)) {
        if (GetTickCount() - g_browser->start < kPresetWaitMs) return;
        const auto caret = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
        const auto root = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        // What the tree holds tells an empty tree from one that lost its caret.
        wt::ReportFailure(__FILE__, __LINE__, "the folder browser never showed the preset folder " +
                                                  forms::TextToUtf8(g_browser->names[0]) + "; it rests on \"" +
                                                  forms::TextToUtf8(TreeItemText(tree, caret)) + "\" (" +
                                                  std::to_string(SendMessageW(tree, TVM_GETCOUNT, 0, 0)) +
                                                  " items under \"" + forms::TextToUtf8(TreeItemText(tree, root)) +
                                                  "\")");
        ok = false;
    }
    g_browser->seen = true;
    if (g_browser->inspect) g_browser->inspect(dialog);
    const int id = ok ? IDOK : IDCANCEL;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

std::map<UINT_PTR, std::function<bool()>>& Repeats() {
    static std::map<UINT_PTR, std::function<bool()>> repeats;
    return repeats;
}

void CALLBACK RepeatTimer(HWND, UINT, UINT_PTR id, DWORD) {
    auto it = Repeats().find(id);
    if (it == Repeats().end()) return;
    if (it->second()) {
        KillTimer(nullptr, id);
        Repeats().erase(id);
    }
}

}  // namespace

FolderBrowserHand::FolderBrowserHand(bool ok, const String& preset, std::function<void(HWND)> inspect) {
    g_browser = new BrowserHandState;
    g_browser->ok = ok;
    g_browser->inspect = std::move(inspect);
    // "Z:\a\b\" is shown as b under a; a drive's own name is not its path.
    String rest = forms::ExcludeTrailingBackslash(preset);
    for (int level = 0; level < 2 && !rest.empty() && rest.back() != u':'; ++level) {
        const size_t cut = rest.rfind(u'\\');
        g_browser->names.push_back(cut == String::npos ? rest : rest.substr(cut + 1));
        rest = cut == String::npos ? String() : rest.substr(0, cut);
    }
    g_browser->start = GetTickCount();
    g_browser->timer = SetTimer(nullptr, 0, 50, &BrowserTimer);
}

FolderBrowserHand::~FolderBrowserHand() {
    KillTimer(nullptr, g_browser->timer);
    delete g_browser;
    g_browser = nullptr;
}

bool FolderBrowserHand::Seen() const { return g_browser->seen; }

Repeater::Repeater(std::function<bool()> action, UINT intervalMs) {
    m_timer = SetTimer(nullptr, 0, intervalMs, &RepeatTimer);
    Repeats()[m_timer] = std::move(action);
}

Repeater::~Repeater() {
    KillTimer(nullptr, m_timer);
    Repeats().erase(m_timer);
}

}  // namespace at
