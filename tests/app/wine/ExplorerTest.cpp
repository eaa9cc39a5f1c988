// The explorer pane's components on a drive of their own: the test maps a
// drive letter of the prefix to a scratch folder tree. The folder tree's
// labels, paths, OpenPath and its events, renames in place; the file
// list's items, filters, sorts, keys and links; the folder combo with its
// drop-down; and the shell routines' own words. Everything is driven by
// the messages a user's clicks and keys send, through the application's
// message loop.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/FormBuild.h"
#include "framework/com/WinText.h"
#include "shellbrowse/DirNodes.h"
#include "shellbrowse/FileListRules.h"
#include "shellbrowse/ShellExplorer.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using forms::String;
using forms::TListItem;
using namespace shellbrowse;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

// 2021-03-04 05:06:07 UTC.
constexpr time_t kStamp = 1614834367;

// Messages through the application's loop, as a user's input reaches the
// controls (dialog keys included).
void Run(DWORD ms) {
    const DWORD start = GetTickCount();
    do {
        forms::Application->ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < ms);
    forms::Application->ProcessMessages();
}

void Click(HWND window, POINT p) {
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    PostMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    Run(30);
}

void Key(HWND window, WORD key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    Run(30);
}

// A key pressed with Ctrl held: the thread's key state says so.
void CtrlKey(HWND window, WORD key) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = 0x80;
    SetKeyboardState(state);
    PostMessageW(window, WM_KEYDOWN, key, 1);
    Run(30);
    state[VK_CONTROL] = 0;
    SetKeyboardState(state);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
    Run(10);
}

// A scratch folder tree as a drive of the prefix.
class TestDrive {
public:
    TestDrive(char16_t letter, const std::string& tag) : m_letter(letter), m_folder(tag), m_link(letter, m_folder.Unix()) {}
    const at::ScratchFolder& Folder() const { return m_folder; }
    // "R:\" + relative, with backslashes.
    String Path(const std::string& relative = "") const {
        String p = String(1, m_letter) + u":\\" + com::U16(relative);
        std::replace(p.begin(), p.end(), u'/', u'\\');
        return p;
    }

private:
    char16_t m_letter;
    at::ScratchFolder m_folder;
    at::DriveLink m_link;
};

void SetTime(const std::string& unixPath, time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    CHECK(utimensat(AT_FDCWD, unixPath.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0);
}

void Sparse(const std::string& unixPath, long long size) {
    const int fd = open(unixPath.c_str(), O_CREAT | O_WRONLY, 0644);
    CHECK(fd >= 0 && ftruncate(fd, size) == 0);
    if (fd >= 0) close(fd);
}

// What the user is told, and how the shell's file operations run, while
// it exists: message boxes and beeps recorded (answered from a list),
// file operations without the shell's confirmations.
class ShellHand {
public:
    ShellHand() : m_saved(ShellHooks()) {
        ShellHooks().MessageBox = [this](const String& text, const String& caption, UINT flags) {
            texts.push_back(text);
            captions.push_back(caption);
            this->flags.push_back(flags);
            if (!answers.empty()) {
                const int a = answers.front();
                answers.erase(answers.begin());
                return a;
            }
            return (flags & MB_YESNO) ? IDNO : IDOK;
        };
        ShellHooks().Beep = [this](UINT type) { beeps.push_back(type); };
        ShellHooks().FileOperation = [this](SHFILEOPSTRUCTW& op) {
            ++operations;
            op.fFlags |= FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
            return SHFileOperationW(&op);
        };
    }
    ~ShellHand() { ShellHooks() = m_saved; }
    void Clear() {
        texts.clear();
        captions.clear();
        flags.clear();
        beeps.clear();
    }

    std::vector<String> texts, captions;
    std::vector<UINT> flags;
    std::vector<UINT> beeps;
    std::vector<int> answers;
    int operations = 0;

private:
    TShellHooks m_saved;
};

// A window with the pane's parts: a tree linked to a list, and a combo
// linked to a list of its own.
class TPaneForm : public forms::TForm {
public:
    explicit TPaneForm(TComponent* owner) : TForm(owner) {
        SetCaption(u"Explorer pane");
        SetPosition(forms::TPosition::poDesigned);
        SetBounds(10, 10, 960, 640);
        tree = app::Place<TDirTree>(this, this, u"tree", 8, 8, 300, 290);
        list = app::Place<TFileListView>(this, this, u"list", 8, 306, 560, 300);
        list->SetDirTree(tree);
        combo = app::Place<TDirTreeCombo>(this, this, u"combo", 600, 8, 300, 21);
        comboList = app::Place<TFileListView>(this, this, u"comboList", 600, 40, 340, 260);
        comboList->SetDirTreeCombo(combo);
        tree->OnDirChange = [this](TObject*, const String& path) { dirChanges.push_back(path); };
        combo->OnPathChange = [this](TObject* sender, const String& path) {
            pathChanges.push_back(path);
            pathSenders.push_back(sender);
        };
        list->OnItemChange = [this](TObject*, const String& item) { itemChanges.push_back(item); };
    }
    TDirTree* tree;
    TFileListView* list;
    TDirTreeCombo* combo;
    TFileListView* comboList;
    std::vector<String> dirChanges;
    std::vector<String> pathChanges;
    std::vector<TObject*> pathSenders;
    std::vector<String> itemChanges;
};

// The form shown on its own display place, with a mapped drive R: that
// holds the folders Data/Archive/Music, Data/Music, Data/Empty, Films/sub1
// and Films/Sub2, and in Films: .secret.avi (hidden), zero.avi, big.avi
// (3 GiB, sparse), a.b.avi (5000 bytes) and notes.txt.
struct Pane {
    TestDrive drive{u'R', "pane"};
    ft::TestApp app;
    TPaneForm* form = nullptr;
    ShellHand shell;

    Pane() {
        const at::ScratchFolder& f = drive.Folder();
        for (const char* d : {"Data", "Data/Archive", "Data/Archive/Music", "Data/Music", "Data/Empty", "Films",
                              "Films/sub1", "Films/Sub2"})
            f.MakeFolder(d);
        f.WriteFile("Films/.secret.avi", "0123456789");
        f.WriteFile("Films/zero.avi", "");
        Sparse(f.UnixPath("Films/big.avi"), 3LL << 30);
        f.WriteFile("Films/a.b.avi", std::string(5000, 'x'));
        f.WriteFile("Films/notes.txt", "notes");
        for (const char* e : {"Films/.secret.avi", "Films/zero.avi", "Films/big.avi", "Films/a.b.avi",
                              "Films/notes.txt", "Films/sub1", "Films/Sub2"})
            SetTime(f.UnixPath(e), kStamp);
        // Opposite orders of name, size and time.
        SetTime(f.UnixPath("Films/notes.txt"), kStamp - 3600);
        SetTime(f.UnixPath("Films/zero.avi"), kStamp + 60);
        app.App().CreateForm(form);
        form->Show();
        SetWindowPos(form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        Run(50);
    }
    ~Pane() {
        if (form) SetWindowPos(form->Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        delete form;
    }
};

TTreeNode* FindNode(TDirTree& tree, const String& path) {
    for (TTreeNode* n = tree.Items().GetFirstNode(); n; n = n->GetNext())
        if (forms::SameText(tree.GetNodePath(n), path)) return n;
    return nullptr;
}

POINT NodePoint(forms::TCustomTreeView& tree, TTreeNode* node) {
    RECT r{};
    const HTREEITEM item = node->ItemId();
    std::memcpy(&r, &item, sizeof item);  // TVM_GETITEMRECT takes the item in the rectangle
    SendMessageW(tree.Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::vector<std::string> Captions(TFileListView& list) {
    std::vector<std::string> c;
    for (int i = 0; i < list.Items().Count(); ++i) c.push_back(U8(list.Items()[i]->Caption()));
    return c;
}

TListItem* ItemNamed(TFileListView& list, const String& caption) {
    for (int i = 0; i < list.Items().Count(); ++i)
        if (list.Items()[i]->Caption() == caption) return list.Items()[i];
    return nullptr;
}

std::vector<std::string> SubItems(TListItem* item) {
    std::vector<std::string> s;
    for (int i = 0; i < item->SubItems().Count(); ++i) s.push_back(U8(item->SubItems()[i]));
    return s;
}

// The list's own texts, read back from the control.
String ShownText(TFileListView& list, int row, int column) {
    WCHAR text[512] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 512;
    SendMessageW(list.Handle(), LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return com::U16(text);
}

POINT ItemPoint(TFileListView& list, TListItem* item) {
    RECT r{};
    r.left = LVIR_LABEL;
    SendMessageW(list.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(item->Index()), reinterpret_cast<LPARAM>(&r));
    return POINT{r.left + 8, (r.top + r.bottom) / 2};
}

void ClickItem(TFileListView& list, const String& caption) {
    TListItem* item = ItemNamed(list, caption);
    REQUIRE(item);
    item->MakeVisible(false);
    Click(list.Handle(), ItemPoint(list, item));
}

void ClickHeader(TFileListView& list, int column) {
    RECT r{};
    SendMessageW(list.HeaderHandle(), HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&r));
    Click(list.HeaderHandle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

// The shell's display name of a path and its type name, icon.
SHFILEINFOW ShellInfo(const String& path, UINT flags) {
    SHFILEINFOW info{};
    SHGetFileInfoW(com::W(path), 0, &info, sizeof info, flags);
    return info;
}

// The modified text as the default locale writes it: "M/d/yyyy h:mm AM".
std::string LocalStampText(time_t when) {
    const ULONGLONG t = (static_cast<ULONGLONG>(when) + 11644473600ull) * 10000000ull;
    FILETIME utc{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)}, local{};
    SYSTEMTIME st{};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &st);
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d %s", st.wMonth, st.wDay, st.wYear,
                  st.wHour % 12 == 0 ? 12 : st.wHour % 12, st.wMinute, st.wHour < 12 ? "AM" : "PM");
    return text;
}

}  // namespace

// ---- Folder tree -------------------------------------------------------------------

WT_TEST(DirTree, LabelsAndPathsOfTheRootDrivesAndFolders) {
    Pane p;
    TDirTree& tree = *p.form->tree;
    TTreeNode* root = tree.Items().GetFirstNode();
    REQUIRE(root);
    CHECK_EQ(tree.Items().RootCount(), 1);
    CHECK(root->Text() == u"My Computer");
    CHECK(root->Expanded());
    CHECK(tree.GetNodePath(root).empty());
    // One node per drive in letter order, R: among them.
    std::vector<char16_t> letters;
    for (int i = 0; i < root->Count(); ++i) letters.push_back(tree.GetNodePath(root->Item(i))[0]);
    CHECK(std::is_sorted(letters.begin(), letters.end()));
    TTreeNode* r = FindNode(tree, u"R:\\");
    REQUIRE(r);
    const String display = com::U16(ShellInfo(u"R:\\", SHGFI_DISPLAYNAME).szDisplayName);
    const size_t open = display.find(u'(');
    CHECK(r->Text() == u" (R:)  " + (open == String::npos ? String() : display.substr(0, open)));
    CHECK(r->HasChildren());
    CHECK_EQ(r->ImageIndex(), ShellInfo(u"R:\\", SHGFI_SYSICONINDEX | SHGFI_SMALLICON).iIcon);
    CHECK_EQ(r->Count(), 0);  // filled when first expanded

    r->Expand(false);
    CHECK_EQ(r->Count(), 2);
    TTreeNode* data = FindNode(tree, u"R:\\Data");
    REQUIRE(data);
    CHECK(data->Text() == u"Data");
    CHECK(data->HasChildren());
    data->Expand(false);
    // Sorted by name; a folder without sub-folders has no expand mark.
    CHECK(data->Item(0)->Text() == u"Archive" && data->Item(1)->Text() == u"Empty" &&
          data->Item(2)->Text() == u"Music");
    CHECK(!FindNode(tree, u"R:\\Data\\Empty")->HasChildren());
    CHECK(tree.GetNodePath(data->Item(2)) == u"R:\\Data\\Music");
    CHECK(p.app.Errors.empty());
}

WT_TEST(DirTree, OpenPathWalksFromTheRootAndFiresEveryTime) {
    Pane p;
    TPaneForm& f = *p.form;
    TDirTree& tree = *f.tree;
    tree.OpenPath(p.drive.Path("Data\\Archive\\Music"));
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data\\Archive\\Music");
    CHECK(tree.SelectedPath() == u"R:\\Data\\Archive\\Music\\");
    CHECK_EQ(f.dirChanges.size(), 1u);
    // The tree does not tell the list.
    CHECK(f.list->Directory() == u"Drives");

    // With Archive\Music loaded, the other Music is still the one opened:
    // the selection and SelectedPath name the same folder.
    tree.OpenPath(p.drive.Path("Data\\Music"));
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data\\Music");
    CHECK(tree.SelectedPath() == u"R:\\Data\\Music\\");
    CHECK_EQ(f.dirChanges.size(), 2u);
    // The same path again fires again; the drive without its backslash
    // opens the drive.
    tree.OpenPath(p.drive.Path("Data\\Music\\"));
    CHECK_EQ(f.dirChanges.size(), 3u);
    tree.OpenPath(u"R:");
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\");
    CHECK(tree.SelectedPath() == u"R:\\");
    CHECK_EQ(f.dirChanges.size(), 4u);

    // Nothing for one character, a path that does not exist, or a folder
    // made after its parent was read (the tree is not read again).
    tree.OpenPath(u"R");
    tree.OpenPath(p.drive.Path("Data\\Nowhere"));
    p.drive.Folder().MakeFolder("Data/Later");
    tree.OpenPath(p.drive.Path("Data\\Later"));
    CHECK_EQ(f.dirChanges.size(), 4u);
    CHECK(tree.SelectedPath() == u"R:\\");
    // Rebuilt, the tree reads it.
    tree.Rebuild();
    tree.OpenPath(p.drive.Path("Data\\Later"));
    CHECK(tree.SelectedPath() == u"R:\\Data\\Later\\");

    // A folder that links back up: each level is read once when it is
    // opened, never the loop as a whole; so is the Unix root, drive Z:.
    p.drive.Folder().Link("Data/loop", "..");
    tree.Rebuild();
    const DWORD start = GetTickCount();
    tree.OpenPath(p.drive.Path("Data\\loop\\Data\\loop\\Data\\loop\\Films"));
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data\\loop\\Data\\loop\\Data\\loop\\Films");
    CHECK(tree.Items().Count() < 60);
    TTreeNode* z = FindNode(tree, u"Z:\\");
    REQUIRE(z);
    z->Expand(false);
    CHECK(FindNode(tree, u"Z:\\tmp"));
    CHECK(GetTickCount() - start < 10000);
    CHECK(p.app.Errors.empty());
}

WT_TEST(DirTree, ClicksAndArrowKeysChooseFoldersForTheList) {
    Pane p;
    TPaneForm& f = *p.form;
    TDirTree& tree = *f.tree;
    tree.OpenPath(p.drive.Path("Films"));
    f.dirChanges.clear();
    TTreeNode* sub1 = FindNode(tree, u"R:\\Films\\sub1");
    REQUIRE(sub1);
    Click(tree.Handle(), NodePoint(tree, sub1));
    CHECK(tree.Selected() == sub1);
    CHECK(tree.SelectedPath() == u"R:\\Films\\sub1");
    CHECK(f.dirChanges == std::vector<String>{u"R:\\Films\\sub1"});
    CHECK(f.list->Directory() == u"R:\\Films\\sub1\\");
    // Arrow keys notify; Home and End move without notifying.
    SetFocus(tree.Handle());
    Key(tree.Handle(), VK_DOWN);
    CHECK(tree.SelectedPath() == u"R:\\Films\\Sub2");
    CHECK(f.list->Directory() == u"R:\\Films\\Sub2\\");
    CHECK_EQ(f.dirChanges.size(), 2u);
    Key(tree.Handle(), VK_HOME);
    CHECK(tree.Selected() == tree.Items().GetFirstNode());
    CHECK_EQ(f.dirChanges.size(), 2u);
    CHECK(tree.SelectedPath() == u"R:\\Films\\Sub2");
    // The root is "Drives" exactly, and the list shows the drive list.
    Click(tree.Handle(), NodePoint(tree, tree.Items().GetFirstNode()));
    CHECK(tree.SelectedPath() == u"Drives");
    CHECK(f.list->Directory() == u"Drives");
    CHECK(f.dirChanges.back() == u"Drives");

    // A removable drive without its medium says so and keeps the list.
    const String was = f.list->Directory();
    {
        at::DriveLink missing(u'Q', "/nonexistent-corvane-drive", DRIVE_REMOVABLE);
        tree.Rebuild();
        tree.Items().GetFirstNode()->Expand(false);
        TTreeNode* q = FindNode(tree, u"Q:\\");
        REQUIRE(q);
        const size_t events = f.dirChanges.size();
        Click(tree.Handle(), NodePoint(tree, q));
        CHECK(tree.SelectedPath() == u"Q:\\");
        CHECK_EQ(f.dirChanges.size(), events);
        CHECK(f.list->Directory() == was);
        REQUIRE(p.shell.texts.size() == 1u);
        CHECK(p.shell.texts[0] == u"There is no disk in Drive Q\ror Drive Q: is not ready");
        CHECK(p.shell.beeps == std::vector<UINT>{MB_ICONHAND});
    }
    CHECK(p.app.Errors.empty());
}

WT_TEST(DirTree, RenamesInPlaceRefuseBadNamesAndAskFirst) {
    Pane p;
    TPaneForm& f = *p.form;
    TDirTree& tree = *f.tree;
    tree.OpenPath(p.drive.Path("Data\\Music"));
    TTreeNode* music = tree.Selected();
    REQUIRE(music);
    auto rename = [&](TTreeNode* node, const String& text) {
        const HWND edit = reinterpret_cast<HWND>(
            SendMessageW(tree.Handle(), TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(node->ItemId())));
        if (!edit) return false;
        // Typed over the whole label, then Enter.
        SendMessageW(edit, EM_SETSEL, 0, -1);
        if (text.empty()) SendMessageW(edit, WM_CHAR, VK_BACK, 1);
        for (char16_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
        SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 1);
        Run(20);
        return true;
    };
    // Roots and drives are not renamed.
    CHECK(!rename(tree.Items().GetFirstNode(), u"x"));
    CHECK(!rename(FindNode(tree, u"R:\\"), u"x"));

    CHECK(rename(music, u"a:b"));
    CHECK(p.shell.beeps == std::vector<UINT>{MB_ICONHAND});
    REQUIRE(p.shell.texts.size() == 1u);
    CHECK(p.shell.texts[0] == u"Error - Invalid Directory Name\ra:b");
    CHECK(p.shell.captions[0] == u"Error");
    CHECK(music->Text() == u"Music");
    p.shell.Clear();
    CHECK(rename(music, u""));
    CHECK_EQ(p.shell.beeps.size(), 1u);
    CHECK(p.shell.texts.empty());
    CHECK(music->Text() == u"Music");

    // Asked first; No keeps everything.
    p.shell.Clear();
    CHECK(rename(music, u"Songs"));
    REQUIRE(p.shell.texts.size() == 1u);
    CHECK(p.shell.texts[0] ==
          u"Do you want to rename the selected folder\r\r    From  : Music\r    To     : Songs");
    CHECK(p.shell.flags[0] & MB_YESNO);
    CHECK(music->Text() == u"Music");
    CHECK_EQ(p.shell.operations, 0);
    // Yes renames the folder on disk; the parent is selected and shown.
    p.shell.answers = {IDYES};
    CHECK(rename(music, u"Songs"));
    CHECK(music->Text() == u"Songs");
    CHECK(DirectoryExists(p.drive.Path("Data\\Songs")));
    CHECK(!DirectoryExists(p.drive.Path("Data\\Music")));
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data");
    CHECK(f.list->Directory() == u"R:\\Data\\");
    CHECK(ItemNamed(*f.list, u"Songs"));
    CHECK(p.app.Errors.empty());
}

// ---- File list ---------------------------------------------------------------------

WT_TEST(FileList, ItemsOfAFolderWithEverySubItem) {
    Pane p;
    TFileListView& list = *p.form->list;
    // Without a trailing backslash: stored with one, the current folder.
    list.SetDirectory(p.drive.Path("Films"));
    CHECK(list.Directory() == u"R:\\Films\\");
    WCHAR current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    CHECK(com::U16(current) == u"R:\\Films");
    // Names ascending, folders first; the hidden file is listed.
    CHECK(Captions(list) == (std::vector<std::string>{" Parent", "sub1", "Sub2", ".secret.avi", "a.b.avi", "big.avi",
                                                      "notes.txt", "zero.avi"}));
    CHECK(list.Items()[0]->Selected());
    const std::string when = LocalStampText(kStamp);
    const String aviType = com::U16(ShellInfo(p.drive.Path("Films\\big.avi"), SHGFI_TYPENAME).szTypeName);
    CHECK(!aviType.empty());

    TListItem* big = ItemNamed(list, u"big.avi");
    REQUIRE(big);
    const std::vector<std::string> bigSubs = SubItems(big);
    REQUIRE(bigSubs.size() == 7u);
    CHECK_EQ(bigSubs[0], std::string("3145728 KB"));
    CHECK_EQ(bigSubs[1], U8(aviType));
    CHECK_EQ(bigSubs[2], when);
    CHECK_EQ(bigSubs[3], std::string("A"));
    CHECK_EQ(bigSubs[4], std::string("R:\\Films\\big.avi"));
    CHECK_EQ(bigSubs[5], std::string("file"));
    // The date number is the UTC file time.
    const double stamp = (static_cast<double>(kStamp) + 11644473600.0) * 1e7;
    CHECK(std::abs(forms::StrToFloatDef(big->SubItems()[6], 0) - stamp) < 1e4);
    CHECK_EQ(big->ImageIndex(), ShellInfo(p.drive.Path("Films\\big.avi"), SHGFI_SYSICONINDEX).iIcon);

    CHECK_EQ(SubItems(ItemNamed(list, u"zero.avi"))[0], std::string("0 KB"));
    CHECK_EQ(SubItems(ItemNamed(list, u"a.b.avi"))[0], std::string("4 KB"));
    CHECK_EQ(SubItems(ItemNamed(list, u".secret.avi"))[3], std::string("AH"));
    const std::vector<std::string> sub = SubItems(ItemNamed(list, u"sub1"));
    CHECK(sub[0] == " " && sub[3].empty() && sub[4] == "R:\\Films\\sub1" && sub[5] == "dir" && sub[2] == when);
    CHECK_EQ(sub[1], U8(com::U16(ShellInfo(p.drive.Path("Films\\sub1"), SHGFI_TYPENAME).szTypeName)));
    // The parent: its own caption, R:\Films\.., and the parent folder's
    // icon, asked of the shell, not a fixed place in the image list.
    TListItem* parent = list.Items()[0];
    CHECK(SubItems(parent)[0] == " " && SubItems(parent)[1] == " " && SubItems(parent)[4] == "R:\\Films\\.." &&
          SubItems(parent)[5] == "dir");
    CHECK_EQ(parent->ImageIndex(), ShellInfo(u"R:\\", SHGFI_SYSICONINDEX | SHGFI_SMALLICON).iIcon);
    // The control shows the same texts in its columns.
    CHECK(ShownText(list, big->Index(), 0) == u"big.avi");
    CHECK(ShownText(list, big->Index(), 1) == u"3145728 KB");
    CHECK(ShownText(list, big->Index(), 4) == u"A");
    CHECK_EQ(list.ColumnCount(), 5);
    CHECK(list.Column(1)->Caption() == u"Size" && list.Column(1)->Alignment() == forms::TAlignment::taRightJustify);
    CHECK_EQ(list.Column(3)->Width(), 125);
    CHECK_EQ(list.TotalSize(), (3ull << 30) + 10 + 5000 + 5);
    CHECK(p.app.Errors.empty());
}

WT_TEST(FileList, FiltersMasksAndTheDriveList) {
    Pane p;
    TFileListView& list = *p.form->list;
    list.SetDirectory(p.drive.Path("Films"));
    // Hidden entries go with ftHidden.
    list.SetFileType(FileTypeOf(TFileAttr::ftReadOnly) | FileTypeOf(TFileAttr::ftArchive));
    CHECK(!ItemNamed(list, u".secret.avi"));
    list.SetFileType(list.FileType() | FileTypeOf(TFileAttr::ftHidden));
    CHECK(ItemNamed(list, u".secret.avi"));
    // Two patterns with blanks around; folders keep coming with ShowFolders.
    list.SetMask(u" *.txt;zero.*  ");
    CHECK(Captions(list) == (std::vector<std::string>{" Parent", "sub1", "Sub2", "notes.txt", "zero.avi"}));
    list.SetMask(u"   ");
    CHECK_EQ(list.Items().Count(), 8);
    list.SetShowFolders(false);
    CHECK_EQ(list.Items().Count(), 5);
    list.SetShowFolders(true);
    // Hidden extensions from the next refresh on; the path keeps the name.
    list.SetParentDirEnabled(false);
    list.SetHideFileExt(true);
    list.Refresh();
    CHECK(Captions(list) ==
          (std::vector<std::string>{"sub1", "Sub2", ".secret", "a.b", "big", "notes", "zero"}));
    CHECK_EQ(SubItems(ItemNamed(list, u"a.b"))[4], std::string("R:\\Films\\a.b.avi"));
    list.SetHideFileExt(false);
    list.SetParentDirEnabled(true);

    // A drive root has no parent entry.
    list.SetDirectory(p.drive.Path());
    CHECK(Captions(list) == (std::vector<std::string>{"Data", "Films"}));

    // The drive list: "drives" as written, no header sorting.
    list.SetDirectory(u"drives");
    CHECK(list.Directory() == u"drives");
    CHECK_EQ(list.ColumnCount(), 5);
    CHECK(list.Column(2)->Caption() == u"Disk Size");
    TListItem* r = nullptr;
    for (int i = 0; i < list.Items().Count(); ++i)
        if (SubItems(list.Items()[i])[4] == "R:\\") r = list.Items()[i];
    REQUIRE(r);
    CHECK(r->Caption().find(u" (R:)  ") == 0);
    std::vector<std::string> rs = SubItems(r);
    REQUIRE(rs.size() == 6u);
    CHECK_EQ(rs[0], std::string("Fixed Disk"));
    ULARGE_INTEGER available{}, total{}, free{};
    REQUIRE(GetDiskFreeSpaceExW(L"R:\\", &available, &total, &free));
    CHECK_EQ(rs[1], U8(DiskSizeText(static_cast<std::int64_t>(total.QuadPart / 1024))));
    CHECK(rs[1].find(" Mb") != std::string::npos && rs[1].find(',') != std::string::npos);
    CHECK(rs[3].empty() && rs[5] == "drv");
    CHECK(!list.ColumnSortEnabled());
    const std::vector<std::string> before = Captions(list);
    ClickHeader(list, 0);
    CHECK(Captions(list) == before);
    // Removable drives are never asked for their sizes.
    at::DriveLink removable(u'P', p.drive.Folder().Unix(), DRIVE_REMOVABLE);
    list.Refresh();
    for (int i = 0; i < list.Items().Count(); ++i)
        if (SubItems(list.Items()[i])[4] == "P:\\") rs = SubItems(list.Items()[i]);
    CHECK(rs[0] == "Removable Disk" && rs[1] == "0 Mb" && rs[2] == "0 Mb");
    CHECK(p.app.Errors.empty());
}

WT_TEST(FileList, HeaderClicksSortEveryColumnBothWays) {
    Pane p;
    TFileListView& list = *p.form->list;
    list.SetDirectory(p.drive.Path("Films"));
    CHECK_EQ(list.SortColumn(), 0);
    CHECK(!list.SortReverse());
    CHECK(list.HeaderArrow(0) != nullptr);
    const HBITMAP down = list.HeaderArrow(0);
    using V = std::vector<std::string>;
    struct Expect {
        int column;
        V first, second;
    };
    // Each column twice: reversed first (files before folders, the parent
    // entry first), then ascending (folders first, the parent among them
    // by its own key: its folder, the drive's root, is the newest). Equal
    // keys keep the order they had.
    const Expect expected[] = {
        {1, V{" Parent", "big.avi", "a.b.avi", ".secret.avi", "notes.txt", "zero.avi", "sub1", "Sub2"},
         V{" Parent", "sub1", "Sub2", "zero.avi", ".secret.avi", "notes.txt", "a.b.avi", "big.avi"}},
        {3, V{" Parent", "zero.avi", ".secret.avi", "a.b.avi", "big.avi", "notes.txt", "sub1", "Sub2"},
         V{"sub1", "Sub2", " Parent", "notes.txt", ".secret.avi", "a.b.avi", "big.avi", "zero.avi"}},
        {0, V{" Parent", "zero.avi", "notes.txt", "big.avi", "a.b.avi", ".secret.avi", "Sub2", "sub1"},
         V{" Parent", "sub1", "Sub2", ".secret.avi", "a.b.avi", "big.avi", "notes.txt", "zero.avi"}},
    };
    for (const Expect& e : expected) {
        ClickHeader(list, e.column);
        CHECK_EQ(list.SortColumn(), e.column);
        CHECK(list.SortReverse());
        CHECK(Captions(list) == e.first);
        CHECK(list.HeaderArrow(e.column) != nullptr && list.HeaderArrow(e.column) != down);
        for (int c = 0; c < 5; ++c)
            if (c != e.column) CHECK(list.HeaderArrow(c) == nullptr);
        ClickHeader(list, e.column);
        CHECK(!list.SortReverse());
        CHECK(Captions(list) == e.second);
        CHECK(list.HeaderArrow(e.column) == down);
    }
    // By type and by attributes, both ways: folders and files apart, each
    // group in the order of the column's texts.
    for (int column : {2, 4}) {
        for (int round = 0; round < 2; ++round) {
            ClickHeader(list, column);
            const bool reverse = list.SortReverse();
            CHECK_EQ(round == 0, reverse);
            for (int i = 2; i < list.Items().Count(); ++i) {
                TListItem* a = list.Items()[i - 1];
                TListItem* b = list.Items()[i];
                const bool aDir = a->SubItems()[5] == u"dir", bDir = b->SubItems()[5] == u"dir";
                const int order = forms::CompareText(a->SubItems()[column - 1], b->SubItems()[column - 1]);
                const bool ok = aDir != bDir ? aDir != reverse : (reverse ? order >= 0 : order <= 0);
                if (!ok) wt::ReportFailure(__FILE__, __LINE__, "column " + std::to_string(column) + " out of order at " +
                                                                   U8(b->Caption()));
            }
            if (reverse) CHECK(list.Items()[0]->Caption() == u" Parent");
        }
    }
    // Another folder after sorting by Modified: names descending.
    ClickHeader(list, 3);
    list.SetDirectory(p.drive.Path("Data"));
    CHECK_EQ(list.SortColumn(), 0);
    CHECK(list.SortReverse());
    CHECK(Captions(list) == (V{" Parent", "Music", "Empty", "Archive"}));
    CHECK(p.app.Errors.empty());
}

WT_TEST(FileList, KeysAndDoubleClicksMoveBetweenFoldersWithTheTreeFollowing) {
    Pane p;
    TPaneForm& f = *p.form;
    TFileListView& list = *f.list;
    TDirTree& tree = *f.tree;
    tree.OpenPath(p.drive.Path("Data"));
    list.SetDirectory(p.drive.Path("Data"));
    SetFocus(list.Handle());
    // Enter on a folder opens it in the list and in the tree.
    ClickItem(list, u"Archive");
    CHECK(f.itemChanges.back() == u"R:\\Data\\Archive");
    CHECK(list.SelectedItem() == u"R:\\Data\\Archive");
    Key(list.Handle(), VK_RETURN);
    CHECK(list.Directory() == u"R:\\Data\\Archive\\");
    CHECK(tree.SelectedPath() == u"R:\\Data\\Archive\\");
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data\\Archive");
    // Ctrl+O opens too.
    ClickItem(list, u"Music");
    CtrlKey(list.Handle(), 'O');
    CHECK(list.Directory() == u"R:\\Data\\Archive\\Music\\");
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data\\Archive\\Music");
    // Backspace goes up, the tree along.
    Key(list.Handle(), VK_BACK);
    CHECK(list.Directory() == u"R:\\Data\\Archive\\");
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data\\Archive");
    Key(list.Handle(), VK_BACK);
    Key(list.Handle(), VK_BACK);
    CHECK(list.Directory() == u"R:\\");
    CHECK(tree.SelectedPath() == u"R:\\");
    // From a drive root: the drive list, and the tree on its root.
    Key(list.Handle(), VK_BACK);
    CHECK(list.Directory() == u"Drives");
    CHECK(tree.Selected() == tree.Items().GetFirstNode());
    CHECK(tree.SelectedPath() == u"Drives");
    CHECK(f.dirChanges.back() == u"Drives");
    Key(list.Handle(), VK_BACK);  // nothing above the drives
    CHECK(list.Directory() == u"Drives");
    // Enter on a drive opens it.
    TListItem* r = nullptr;
    for (int i = 0; i < list.Items().Count(); ++i)
        if (SubItems(list.Items()[i])[4] == "R:\\") r = list.Items()[i];
    REQUIRE(r);
    ClickItem(list, r->Caption());
    Key(list.Handle(), VK_RETURN);
    CHECK(list.Directory() == u"R:\\");
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\");

    // Double clicks: folders open; with DblClickToOpen off only the parent
    // entry goes up, a file fires OnDblClick.
    TListItem* films = ItemNamed(list, u"Films");
    REQUIRE(films);
    POINT at = ItemPoint(list, films);
    PostMessageW(list.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    PostMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    PostMessageW(list.Handle(), WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    Run(50);
    CHECK(list.Directory() == u"R:\\Films\\");
    list.SetDblClickToOpen(false);
    int doubleClicks = 0;
    list.OnDblClick = [&](TObject*) { ++doubleClicks; };
    ClickItem(list, u"notes.txt");
    SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(ItemPoint(list, ItemNamed(list, u"notes.txt")).x,
                                                                          ItemPoint(list, ItemNamed(list, u"notes.txt")).y));
    Run(20);
    CHECK_EQ(doubleClicks, 1);
    CHECK(list.Directory() == u"R:\\Films\\");
    ClickItem(list, u" Parent");
    at = ItemPoint(list, list.Items()[0]);
    SendMessageW(list.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(at.x, at.y));
    Run(20);
    CHECK(list.Directory() == u"R:\\");
    CHECK_EQ(doubleClicks, 1);

    // Arrow keys follow with SelectedItem; Ctrl+A selects everything, and
    // the selected size counts the 3 GiB file whole.
    list.SetDirectory(p.drive.Path("Films"));
    ClickItem(list, u"a.b.avi");
    f.itemChanges.clear();
    Key(list.Handle(), VK_DOWN);
    CHECK(f.itemChanges == std::vector<String>{u"R:\\Films\\big.avi"});
    CHECK_EQ(list.SelectedSize(), 3ull << 30);
    CtrlKey(list.Handle(), 'A');
    CHECK_EQ(list.SelCount(), list.Items().Count());
    CHECK_EQ(list.SelectedNumber(), 8);
    CHECK_EQ(list.SelectedSize(), (3ull << 30) + 10 + 5000 + 5);
    // F5 reads the folder again.
    p.drive.Folder().WriteFile("Films/new.avi", "n");
    Key(list.Handle(), VK_F5);
    CHECK(ItemNamed(list, u"new.avi"));
    CHECK(p.app.Errors.empty());
}

// ---- Folder combo ------------------------------------------------------------------

WT_TEST(DirTreeCombo, F4EnterAndEscapeWithTheLinkedList) {
    Pane p;
    TPaneForm& f = *p.form;
    TDirTreeCombo& combo = *f.combo;
    TDirTreeDropDown& drop = *combo.DropDown();
    TFileListView& list = *f.comboList;
    // Nothing chosen yet: the root's icon and label.
    CHECK(combo.GetText() == drop.Items().GetFirstNode()->Text());
    CHECK(combo.IconIndex() >= 0);
    CHECK(!drop.Visible());

    SetFocus(combo.Handle());
    Key(combo.Handle(), VK_F4);
    CHECK(drop.Visible() && drop.Enabled());
    CHECK(GetFocus() == drop.Handle());
    CHECK(GetWindowLongW(drop.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT comboRect{}, dropRect{};
    GetWindowRect(combo.Handle(), &comboRect);
    GetWindowRect(drop.Handle(), &dropRect);
    CHECK_EQ(dropRect.top, comboRect.bottom);
    CHECK_EQ(dropRect.left, comboRect.left);
    CHECK_EQ(dropRect.right - dropRect.left, comboRect.right - comboRect.left);
    // Escape closes it, changing nothing.
    Key(drop.Handle(), VK_ESCAPE);
    CHECK(!drop.Visible() && !drop.Enabled());
    CHECK(f.pathChanges.empty());

    // Down to the drive R: with the keys in the edit, then Enter.
    SetFocus(combo.Handle());
    TTreeNode* root = drop.Items().GetFirstNode();
    root->SetSelected(true);
    for (int i = 0; i < 30 && DirNodePath(drop.Selected()) != u"R:\\"; ++i) Key(combo.Handle(), VK_DOWN);
    REQUIRE(drop.Selected() && drop.Selected()->Level() == 1);
    Key(combo.Handle(), VK_RETURN);
    CHECK(combo.SelectedPath() == u"R:\\");
    CHECK(list.Directory() == u"R:\\");
    CHECK(combo.GetText() == drop.Selected()->Text());
    REQUIRE(f.pathChanges.size() == 1u);
    CHECK(f.pathSenders[0] == &combo);
    // Right opens the drive in the tree; Down, Down reaches Films.
    Key(combo.Handle(), VK_RIGHT);
    Key(combo.Handle(), VK_DOWN);
    Key(combo.Handle(), VK_DOWN);
    CHECK(drop.Selected()->Text() == u"Films");
    // F4 and a click on the item: the drop-down is the sender.
    Key(combo.Handle(), VK_F4);
    REQUIRE(drop.Visible());
    {
        // The pane's parts as a user sees them, the drop-down open.
        RedrawWindow(f.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Run(100);
        RECT r{};
        GetWindowRect(f.Handle(), &r);
        const std::string shot = ft::ScreenshotPath("explorer-combo-open.png");
        if (ft::TakeScreenshot(shot, r)) std::printf("screenshot: %s\n", shot.c_str());
    }
    Click(drop.Handle(), NodePoint(drop, drop.Selected()));
    CHECK(!drop.Visible());
    CHECK(combo.SelectedPath() == u"R:\\Films");
    CHECK(list.Directory() == u"R:\\Films\\");
    CHECK(f.pathSenders.back() == &drop);
    // A click outside closes it and changes nothing.
    Key(combo.Handle(), VK_F4);
    REQUIRE(drop.Visible());
    Click(drop.Handle(), POINT{-20, -20});
    CHECK(!drop.Visible());
    CHECK(combo.SelectedPath() == u"R:\\Films");
    CHECK(p.app.Errors.empty());
}

WT_TEST(DirTreeCombo, TheListLeadsTheComboAndItOpensAboveNearTheBottom) {
    Pane p;
    TPaneForm& f = *p.form;
    TDirTreeCombo& combo = *f.combo;
    TFileListView& list = *f.comboList;
    // The combo's own OpenPath, same name elsewhere included.
    combo.OpenPath(p.drive.Path("Data\\Archive\\Music"));
    CHECK(combo.SelectedPath() == u"R:\\Data\\Archive\\Music\\");
    combo.OpenPath(p.drive.Path("Data\\Music"));
    CHECK(DirNodePath(combo.DropDown()->Selected()) == u"R:\\Data\\Music");
    CHECK(combo.GetText() == u"Music");
    CHECK_EQ(f.pathChanges.size(), 2u);
    // Writing the same path again still sets the list.
    list.SetDirectory(p.drive.Path("Films"));
    combo.SetSelectedPath(u"R:\\Data\\Music\\");
    CHECK(list.Directory() == u"R:\\Data\\Music\\");

    // Enter and Backspace in the list move the combo along; from the drive
    // root, the combo shows its root.
    SetFocus(list.Handle());
    Key(list.Handle(), VK_BACK);
    CHECK(combo.SelectedPath() == u"R:\\Data\\");
    CHECK(combo.GetText() == u"Data");
    ClickItem(list, u"Empty");
    Key(list.Handle(), VK_RETURN);
    CHECK(combo.SelectedPath() == u"R:\\Data\\Empty\\");
    Key(list.Handle(), VK_BACK);
    Key(list.Handle(), VK_BACK);
    Key(list.Handle(), VK_BACK);
    CHECK(list.Directory() == u"Drives");
    CHECK(combo.SelectedPath() == u"Drives");
    CHECK(combo.GetText() == combo.DropDown()->Items().GetFirstNode()->Text());
    // F4 in the list opens the drop-down, Escape there closes it.
    Key(list.Handle(), VK_F4);
    CHECK(combo.DropDown()->Visible());
    Key(list.Handle(), VK_ESCAPE);
    CHECK(!combo.DropDown()->Visible());

    // Near the bottom of the screen it opens above the combo.
    SetWindowPos(f.Handle(), nullptr, 10, GetSystemMetrics(SM_CYSCREEN) - 120, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    Run(20);
    combo.ToggleDropDown();
    RECT comboRect{}, dropRect{};
    GetWindowRect(combo.Handle(), &comboRect);
    GetWindowRect(combo.DropDown()->Handle(), &dropRect);
    CHECK_EQ(dropRect.bottom, comboRect.top);
    combo.CloseDropDown();
    CHECK(p.app.Errors.empty());
}

// ---- Shell routines ----------------------------------------------------------------

WT_TEST(ShellRoutines, TheirOwnWordsAndSixtyFourBitSizes) {
    ShellHand shell;
    TestDrive drive(u'R', "routines");
    drive.Folder().WriteFile("file.txt", "x");
    // A program that is not there.
    CHECK(ShellOpen(u"open", u"R:\\missing-program.exe", u"", u"", SW_SHOW) <= 32);
    REQUIRE(shell.texts.size() == 1u);
    CHECK(shell.texts[0] == u"ERROR - Can't open file  R:\\missing-program.exe");
    CHECK(shell.captions[0] == u"Error");
    // Something that exists.
    shell.Clear();
    CHECK(ConfirmNotExists(drive.Path("file.txt")));
    CHECK(shell.texts == std::vector<String>{u"\"file.txt\" already exists !"});
    CHECK(!ConfirmNotExists(drive.Path("other.txt")));
    // Readiness: a dangling drive is not ready; quiet unless asked.
    shell.Clear();
    {
        at::DriveLink missing(u'Q', "/nonexistent-corvane-drive", DRIVE_REMOVABLE);
        CHECK_EQ(DriveTypeOf(u'q'), static_cast<UINT>(DRIVE_REMOVABLE));
        CHECK(!DriveReady(u'q', false));
        CHECK(shell.texts.empty() && shell.beeps.empty());
        CHECK(!DriveReady(u'Q', true));
        CHECK(shell.texts == std::vector<String>{u"There is no disk in Drive Q\ror Drive Q: is not ready"});
        CHECK_EQ(DriveSizeKB(u"Q:\\"), -1);
    }
    CHECK(DriveReady(u'R', true));
    shell.Clear();
    DriveReady(u'?', false);
    CHECK(shell.texts == std::vector<String>{u"Not a valid Drive ID"});
    // Sizes of today's disks do not fit 32 bits of KB... nor wrap.
    CHECK(DriveSizeKB(u"R:\\") > 0);
    CHECK(DriveFreeKB(u"r:") > 0 && DriveFreeKB(u"r:") <= DriveSizeKB(u"R:"));
    // A rename through the shell, with full paths.
    CHECK(ShellFileOperation(nullptr, FO_RENAME, drive.Path("file.txt"), drive.Path("renamed.txt")));
    CHECK(GetFileAttributesW(com::W(drive.Path("renamed.txt"))) != INVALID_FILE_ATTRIBUTES);
    CHECK(!ShellFileOperation(nullptr, FO_RENAME, drive.Path("gone.txt"), drive.Path("x.txt")));

    // The folder browser: a chosen folder comes with its backslash.
    String chosen;
    {
        at::FolderBrowserHand hand(true, [&](HWND dialog) {
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(com::W(drive.Path())));
        }, false);
        CHECK(BrowseFolder(nullptr, chosen));
        CHECK(hand.Seen());
    }
    CHECK(chosen == u"R:\\");
    {
        at::FolderBrowserHand hand(false, {}, false);
        String none;
        CHECK(!BrowseFolder(nullptr, none));
        CHECK(none.empty());
    }
    // Wine has no properties sheet: the request fails without a code to
    // name, so nothing is said (and Wine's own box is kept away).
    shell.Clear();
    ShowProperties(drive.Path("renamed.txt"));
    CHECK(shell.texts.empty());
    CHECK(ft::FindThreadDialog() == nullptr);
}
