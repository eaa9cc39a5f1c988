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
        at::FolderBrowserHand hand(true, String(), [&](HWND dialog) {
            SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(com::W(drive.Path())));
        });
        CHECK(BrowseFolder(nullptr, chosen));
        CHECK(hand.Seen());
    }
    CHECK(chosen == u"R:\\");
    {
        at::FolderBrowserHand hand(false, String());
        String none;
        CHECK(!BrowseFolder(nullptr, none));
        CHECK(none.empty());
    }
    // Wine has no properties sheet: the request fails without a code to
    // name, so our own box tells the facts (and Wine's own box is kept
    // away).
    shell.Clear();
    ShowProperties(drive.Path("renamed.txt"));
    REQUIRE(shell.texts.size() == 1u);
    CHECK(shell.captions[0] == u"Properties");
    CHECK(shell.texts[0].rfind(u"Name:  renamed.txt\rType:  ", 0) == 0);
    CHECK(shell.texts[0].find(u"\rLocation:  R:\\\r") != String::npos);
    CHECK(shell.texts[0].find(u"\rSize:  1 KB (1 bytes)\r") != String::npos);
    CHECK(shell.texts[0].find(u"\rAttributes:  A") != String::npos);
    CHECK(ft::FindThreadDialog() == nullptr);
    shell.Clear();
    ShowProperties(u"R:\\");
    REQUIRE(shell.texts.size() == 1u);
    CHECK(shell.texts[0].find(u"Type:  Fixed Disk\rCapacity:  ") != String::npos);
}

// ---- Folder commands ---------------------------------------------------------------

namespace {

const char16_t* const kTreeItems[] = {u"AddNode",     u"EditNode",           u"DelNode",
                                      u"CutNode",     u"CopyNode",           u"PasteNode",
                                      u"GetTreeSize", u"ShowFolderContents", u"ConnectNetResource",
                                      u"DisConnectNetResource", u"ItemProperty"};

// The tree menu's enabled states in item order, "1" for enabled.
std::string TreeStates(TDirTree& tree) {
    tree.Popup()->UpdateStates();
    std::string s;
    for (const char16_t* name : kTreeItems) s += tree.Popup()->ItemNamed(name)->Enabled() ? '1' : '0';
    return s;
}

void ChooseTree(TDirTree& tree, const char16_t* name) {
    tree.Popup()->UpdateStates();
    forms::TMenuItem* item = tree.Popup()->ItemNamed(name);
    REQUIRE(item);
    item->Click();
    Run(20);
}

HWND TreeEdit(TDirTree& tree) { return reinterpret_cast<HWND>(SendMessageW(tree.Handle(), TVM_GETEDITCONTROL, 0, 0)); }

// Types text over an open label edit, then Enter (or Escape).
void TypeInto(HWND edit, const String& text, WORD endKey = VK_RETURN) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    for (char16_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
    SendMessageW(edit, WM_KEYDOWN, endKey, 1);
    Run(30);
}

bool Exists(const String& path) { return GetFileAttributesW(com::W(path)) != INVALID_FILE_ATTRIBUTES; }

// The trash of the scratch HOME the tests run with.
std::string TrashFiles() { return std::string(std::getenv("HOME")) + "/.local/share/Trash/files/"; }

}  // namespace

WT_TEST(DirTreeCommands, MenuStatesFollowTheLevelAndNewFoldersAreNamedAtOnce) {
    Pane p;
    TDirTree& tree = *p.form->tree;
    TDirTreePopup& menu = *tree.Popup();
    CHECK(tree.PopupMenu() == &menu);
    // Eleven items, four separators, each with its picture.
    CHECK_EQ(menu.Items()->Count(), 15);
    for (const char16_t* name : kTreeItems) CHECK(menu.ItemNamed(name)->Bitmap() != nullptr);
    CHECK(menu.ItemNamed(u"DelNode")->Caption() == u"&Delete Folder" && menu.ItemNamed(u"DelNode")->Tag() == 3);

    // The root: only the network drives; a drive adds new folder, tree
    // size, contents and properties; a folder everything but paste.
    tree.Items().GetFirstNode()->SetSelected(true);
    CHECK_EQ(TreeStates(tree), std::string("00000000110"));
    FindNode(tree, u"R:\\")->SetSelected(true);
    CHECK_EQ(TreeStates(tree), std::string("10000011111"));
    tree.OpenPath(p.drive.Path("Data"));
    CHECK_EQ(TreeStates(tree), std::string("11111011111"));
    ChooseTree(tree, u"CopyNode");
    CHECK_EQ(TreeStates(tree), std::string("11111111111"));

    // No folder on the root.
    tree.Items().GetFirstNode()->SetSelected(true);
    ChooseTree(tree, u"AddNode");
    CHECK(p.shell.texts == std::vector<String>{u"Can't add drives"});

    // A new folder is opened and its label edited; the name typed needs
    // no confirmation.
    p.shell.Clear();
    tree.OpenPath(p.drive.Path("Data"));
    ChooseTree(tree, u"AddNode");
    CHECK(DirectoryExists(p.drive.Path("Data\\New Folder")));
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data\\New Folder");
    HWND edit = TreeEdit(tree);
    REQUIRE(edit);
    TypeInto(edit, u"Clips");
    CHECK(p.shell.texts.empty());
    CHECK(DirectoryExists(p.drive.Path("Data\\Clips")));
    CHECK(!DirectoryExists(p.drive.Path("Data\\New Folder")));

    // Twice in one folder: the second cannot be made, nothing is said, no
    // label is left in edit, and the next rename asks again.
    tree.OpenPath(p.drive.Path("Data"));
    ChooseTree(tree, u"AddNode");
    REQUIRE(TreeEdit(tree));
    TypeInto(TreeEdit(tree), u"", VK_ESCAPE);
    CHECK(DirectoryExists(p.drive.Path("Data\\New Folder")));
    tree.OpenPath(p.drive.Path("Data"));
    CHECK(!tree.NewFolder(nullptr, String()));
    CHECK(TreeEdit(tree) == nullptr);
    CHECK(p.shell.texts.empty());
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data");
    tree.OpenPath(p.drive.Path("Data\\Clips"));
    ChooseTree(tree, u"EditNode");
    REQUIRE(TreeEdit(tree));
    TypeInto(TreeEdit(tree), u"Songs");
    REQUIRE(p.shell.texts.size() == 1u);
    CHECK(p.shell.texts[0].find(u"Do you want to rename the selected folder") == 0);
    CHECK(DirectoryExists(p.drive.Path("Data\\Clips")));
    // A name with a forbidden character is refused before anything is made.
    p.shell.Clear();
    CHECK(!tree.NewFolder(FindNode(tree, u"R:\\Data"), u"a;b"));
    CHECK(p.shell.texts == std::vector<String>{u"Folder Name contains invalid characters"});
    CHECK(p.app.Errors.empty());
}

WT_TEST(DirTreeCommands, DeleteGoesToTheTrashAndPasteMovesOrCopiesOnce) {
    Pane p;
    TPaneForm& f = *p.form;
    TDirTree& tree = *f.tree;
    const std::string doomed = "Doomed" + std::to_string(GetCurrentProcessId());
    p.drive.Folder().MakeFolder("Data/" + doomed);
    p.drive.Folder().WriteFile("Data/" + doomed + "/song.txt", "tune");
    tree.Rebuild();
    tree.OpenPath(p.drive.Path("Data\\" + doomed));
    f.list->SetDirectory(p.drive.Path("Data\\" + doomed));
    ChooseTree(tree, u"DelNode");
    CHECK(!DirectoryExists(p.drive.Path("Data\\" + doomed)));
    CHECK(tree.GetNodePath(tree.Selected()) == u"R:\\Data");
    CHECK(tree.SelectedPath() == u"R:\\Data");
    CHECK(f.list->Directory() == u"R:\\Data\\");
    CHECK(!ItemNamed(*f.list, com::U16(doomed)));
    // In the trash, whole: put back, it is as it was.
    const std::string trashed = TrashFiles() + doomed;
    CHECK_EQ(at::ReadUnixFile(trashed + "/song.txt"), std::string("tune"));
    CHECK(std::rename(trashed.c_str(), p.drive.Folder().UnixPath("Data/" + doomed).c_str()) == 0);
    CHECK_EQ(at::ReadUnixFile(p.drive.Folder().UnixPath("Data/" + doomed + "/song.txt")), std::string("tune"));

    // A folder removed behind the tree's back.
    tree.OpenPath(p.drive.Path("Data\\Archive\\Music"));
    CHECK(RemoveDirectoryW(com::W(p.drive.Path("Data\\Archive\\Music"))));
    p.shell.Clear();
    ChooseTree(tree, u"DelNode");
    CHECK(p.shell.texts == std::vector<String>{u"R:\\Data\\Archive\\Musicnot found"});
    CHECK(p.shell.beeps == std::vector<UINT>{MB_ICONHAND});

    // Cut and paste moves.
    p.shell.Clear();
    tree.OpenPath(p.drive.Path("Films\\sub1"));
    ChooseTree(tree, u"CutNode");
    CHECK(tree.PastePending() && tree.PasteSource() == u"R:\\Films\\sub1");
    tree.OpenPath(p.drive.Path("Data"));
    ChooseTree(tree, u"PasteNode");
    CHECK(DirectoryExists(p.drive.Path("Data\\sub1")));
    CHECK(!DirectoryExists(p.drive.Path("Films\\sub1")));
    CHECK(tree.SelectedPath() == u"R:\\Data\\");
    CHECK(FindNode(tree, u"R:\\Data\\sub1"));
    // Copy and paste copies once; Paste then waits for the next Cut or Copy.
    tree.OpenPath(p.drive.Path("Films\\Sub2"));
    ChooseTree(tree, u"CopyNode");
    tree.OpenPath(p.drive.Path("Data\\Empty"));
    ChooseTree(tree, u"PasteNode");
    CHECK(DirectoryExists(p.drive.Path("Data\\Empty\\Sub2")));
    CHECK(DirectoryExists(p.drive.Path("Films\\Sub2")));
    CHECK(!tree.PastePending());
    CHECK_EQ(TreeStates(tree)[5], '0');
    const int operations = p.shell.operations;
    tree.OpenPath(p.drive.Path("Data\\Archive"));
    tree.PasteFolder();
    CHECK_EQ(p.shell.operations, operations);
    CHECK(!DirectoryExists(p.drive.Path("Data\\Archive\\Sub2")));
    // Never into itself, nor onto itself in its own parent.
    tree.OpenPath(p.drive.Path("Data"));
    ChooseTree(tree, u"CopyNode");
    tree.OpenPath(p.drive.Path("Data\\Archive"));
    ChooseTree(tree, u"PasteNode");
    tree.OpenPath(p.drive.Path("Data\\Empty"));
    ChooseTree(tree, u"CopyNode");
    tree.OpenPath(p.drive.Path("Data"));
    ChooseTree(tree, u"PasteNode");
    CHECK(p.shell.texts == (std::vector<String>{u"File operation failed", u"File operation failed"}));
    CHECK_EQ(p.shell.operations, operations);
    CHECK(!DirectoryExists(p.drive.Path("Data\\Archive\\Data")));
    CHECK(DirectoryExists(p.drive.Path("Data\\Empty\\Sub2")));
    CHECK(p.app.Errors.empty());
}

WT_TEST(DirTreeCommands, TreeSizeNetworkDrivesPropertiesAndFolderContents) {
    Pane p;
    TPaneForm& f = *p.form;
    TDirTree& tree = *f.tree;
    const at::ScratchFolder& d = p.drive.Folder();
    // Foo beside FooBar; Big holds 6 GiB of sparse files and a link back
    // up to itself.
    for (const char* dir : {"Foo", "Foo/inner", "FooBar", "Big", "Big/sub"}) d.MakeFolder(dir);
    d.WriteFile("Foo/a.txt", std::string(300, 'a'));
    d.WriteFile("Foo/inner/b.txt", std::string(200, 'b'));
    Sparse(d.UnixPath("FooBar/huge.bin"), 5LL << 30);
    Sparse(d.UnixPath("Big/one.bin"), 2LL << 30);
    Sparse(d.UnixPath("Big/sub/two.bin"), 4LL << 30);
    d.Link("Big/sub/loop", "..");
    tree.Rebuild();
    auto size = [&](const std::string& folder) {
        p.shell.Clear();
        tree.OpenPath(p.drive.Path(folder));
        ChooseTree(tree, u"GetTreeSize");
        REQUIRE(p.shell.texts.size() == 1u);
        CHECK(p.shell.captions[0] == u"Information");
        return p.shell.texts[0];
    };
    CHECK(size("Foo") == u"=== TREE SIZE ===\r\rFolder \"Foo\"\rand all its Sub-Folders  =  1.00 KB");
    CHECK(size("Big") == u"=== TREE SIZE ===\r\rFolder \"Big\"\rand all its Sub-Folders  =  6,144.00 MB");
    CHECK(size("Data\\Empty") == u"=== TREE SIZE ===\r\rFolder \"Empty\"\rand all its Sub-Folders  =  0.00 KB");
    tree.OpenPath(p.drive.Path("Big"));
    CHECK_EQ(tree.ShowTreeSize(), 6ull << 30);
    const std::uint64_t all = (3ull << 30) + 10 + 5000 + 5 + 500 + (5ull << 30) + (6ull << 30);
    tree.OpenPath(p.drive.Path());
    CHECK_EQ(tree.ShowTreeSize(), all);
    CHECK(p.shell.texts.back().find(u"\r\rDrive R:\\\r") != String::npos);

    // Network drives: Wine has no network, and says so.
    p.shell.Clear();
    tree.MapNetworkDrive();
    CHECK(p.shell.texts == std::vector<String>{u"No network is available: a network drive cannot be mapped."});
    // A drive that the dialog maps is the one opened, whatever its letter.
    at::ScratchFolder shareFolder("share");
    std::unique_ptr<at::DriveLink> share;
    ShellHooks().NetConnectDialog = [&](HWND, DWORD) {
        share.reset(new at::DriveLink(u'M', shareFolder.Unix()));
        return static_cast<DWORD>(NO_ERROR);
    };
    tree.MapNetworkDrive();
    CHECK(tree.GetNodePath(tree.Selected()) == u"M:\\");
    CHECK(tree.SelectedPath() == u"M:\\");
    CHECK(f.list->Directory() == u"M:\\");
    ShellHooks().NetDisconnectDialog = [&](HWND, DWORD) {
        share.reset();
        return static_cast<DWORD>(NO_ERROR);
    };
    tree.DisconnectNetworkDrive();
    CHECK(tree.SelectedPath() == u"Drives");
    CHECK(tree.Selected() == tree.Items().GetFirstNode());
    CHECK(f.list->Directory() == u"Drives");
    CHECK(!FindNode(tree, u"M:\\"));

    // Properties: our own box where Wine has no sheet.
    p.shell.Clear();
    tree.OpenPath(p.drive.Path("Foo"));
    ChooseTree(tree, u"ItemProperty");
    REQUIRE(p.shell.texts.size() == 1u);
    CHECK(p.shell.captions[0] == u"Properties");
    CHECK(p.shell.texts[0].rfind(u"Name:  Foo\rType:  ", 0) == 0);

    // The folder's files in a window over the tree; OK chooses one.
    std::vector<String> chosen;
    tree.OnFileChange = [&](TObject*, const String& file) { chosen.push_back(file); };
    tree.OpenPath(p.drive.Path("Films"));
    ChooseTree(tree, u"ShowFolderContents");
    TFolderContents* contents = tree.FolderContents();
    REQUIRE(contents);
    CHECK(contents->Caption() == u"Files in \" ..\\Films \"");
    CHECK(GetParent(contents->Handle()) == tree.Handle());
    std::vector<std::string> names;
    for (int i = 0; i < contents->List()->Items().Count(); ++i) names.push_back(U8(contents->List()->Items()[i]->Caption()));
    CHECK(names == (std::vector<std::string>{".secret.avi", "a.b.avi", "big.avi", "notes.txt", "zero.avi"}));
    CHECK(contents->List()->Items()[0]->Focused() && !contents->List()->Items()[0]->Selected());
    {
        Run(50);
        RECT r{};
        GetWindowRect(f.Handle(), &r);
        const std::string shot = ft::ScreenshotPath("explorer-folder-contents.png");
        if (ft::TakeScreenshot(shot, r)) std::printf("screenshot: %s\n", shot.c_str());
    }
    {
        // The window fills the tree, its OK button inside it.
        RECT tr{}, cr{}, ok{};
        GetWindowRect(tree.Handle(), &tr);
        GetWindowRect(contents->Handle(), &cr);
        GetWindowRect(contents->OkButton()->Handle(), &ok);
        CHECK(cr.left >= tr.left && cr.top >= tr.top && cr.right <= tr.right && cr.bottom <= tr.bottom);
        CHECK(cr.right - cr.left >= tr.right - tr.left - 6 && cr.bottom - cr.top >= tr.bottom - tr.top - 6);
        CHECK(ok.left >= cr.left && ok.right <= cr.right && ok.bottom <= cr.bottom && ok.top >= cr.top);
    }
    contents->List()->SetSelected(contents->List()->Items()[3]);
    ft::ClickButton(*contents->OkButton());
    Run(50);
    CHECK(chosen == std::vector<String>{u"R:\\Films\\notes.txt"});
    CHECK(tree.SelectedFile() == u"R:\\Films\\notes.txt");
    CHECK(tree.FolderContents() == nullptr);
    CHECK(tree.SelectedPath() == u"R:\\Films\\");
    CHECK(p.app.Errors.empty());
}

// ---- File commands -----------------------------------------------------------------

namespace {

void ChooseList(TFileListView& list, const char16_t* name) {
    list.Popup()->UpdateStates();
    forms::TMenuItem* item = list.Popup()->ItemNamed(name);
    REQUIRE(item);
    item->Click();
    Run(30);
}

bool ListItemEnabled(TFileListView& list, const char16_t* name) {
    list.Popup()->UpdateStates();
    return list.Popup()->ItemNamed(name)->Enabled();
}

void SelectOnly(TFileListView& list, std::initializer_list<const char16_t*> captions) {
    for (int i = 0; i < list.Items().Count(); ++i) list.Items()[i]->SetSelected(false);
    for (const char16_t* c : captions) {
        TListItem* item = ItemNamed(list, c);
        REQUIRE(item);
        item->SetSelected(true);
    }
}

HWND ListEdit(TFileListView& list) {
    return reinterpret_cast<HWND>(SendMessageW(list.Handle(), LVM_GETEDITCONTROL, 0, 0));
}

String ClipboardText() {
    String text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* p = static_cast<const WCHAR*>(GlobalLock(data))) {
            text = com::U16(p);
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// A shortcut file to target, made through the shell's link object.
bool MakeShortcut(const String& link, const String& target) {
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return false;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(shellLink->SetPath(com::W(target))) &&
              SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    if (ok) ok = SUCCEEDED(file->Save(com::W(link), TRUE));
    if (file) file->Release();
    shellLink->Release();
    return ok;
}

// A 2 x 2 bitmap file of 24-bit red pixels.
std::string TinyBitmap() {
    std::string b = "BM";
    auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    put(70, 4), put(0, 4), put(54, 4);                           // file header
    put(40, 4), put(2, 4), put(2, 4), put(1, 2), put(24, 2);     // info header
    put(0, 4), put(16, 4), put(2835, 4), put(2835, 4), put(0, 4), put(0, 4);
    for (int row = 0; row < 2; ++row) b += std::string("\0\0\xff\0\0\xff\0\0", 8);  // two pixels, padding
    return b;
}

String SpecialPath(int csidl) {
    WCHAR buffer[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer);
    return com::U16(buffer);
}

}  // namespace

WT_TEST(FileListCommands, NothingIsLostThroughTheParentEntryOrTheDrives) {
    Pane p;
    TFileListView& list = *p.form->list;
    list.SetDirectory(p.drive.Path("Films"));
    SetFocus(list.Handle());
    // After a refresh the parent entry is selected: no file operation for it.
    CHECK(list.Items()[0]->Caption() == u" Parent" && list.Items()[0]->Selected());
    CHECK(ListItemEnabled(list, u"ItemOpen") && ListItemEnabled(list, u"ItemProperty"));
    for (const char16_t* name : {u"ItemOpCut", u"ItemOpCopy", u"ItemDelete", u"ItemRename", u"SubMenuSend", u"Send_To0",
                                 u"Send_To2", u"Send_To3", u"ItemOpPaste", u"ItemView"})
        CHECK(!ListItemEnabled(list, name));
    // Ctrl+A, then Delete: the parent folder and everything in it stay.
    const int operations = p.shell.operations;
    CtrlKey(list.Handle(), 'A');
    Key(list.Handle(), VK_DELETE);
    CHECK_EQ(p.shell.operations, operations);
    REQUIRE(p.shell.texts.size() == 1u);
    CHECK(p.shell.texts[0] == u"The \" Parent\" entry and drives cannot be deleted: select files and folders only.");
    CHECK(p.shell.beeps == std::vector<UINT>{MB_ICONHAND});
    CHECK_EQ(list.Items().Count(), 8);
    for (const char* e : {"Films/big.avi", "Films/notes.txt", "Films/sub1", "Data/Music"})
        CHECK(Exists(p.drive.Path(e)));
    // Nor cut, copied, sent or renamed.
    p.shell.Clear();
    CtrlKey(list.Handle(), 'C');
    CtrlKey(list.Handle(), 'X');
    list.ClipboardAsFileNames();
    CHECK(list.ClipboardList().empty());
    CHECK_EQ(p.shell.texts.size(), 3u);
    SelectOnly(list, {u" Parent"});
    p.shell.Clear();
    Key(list.Handle(), VK_F2);
    CHECK(ListEdit(list) == nullptr);
    CHECK(p.shell.texts == std::vector<String>{u"The \" Parent\" entry and drives cannot be renamed: select files and folders only."});
    // The drive list: no drive is deleted, cut or sent.
    list.SetDirectory(u"Drives");
    CtrlKey(list.Handle(), 'A');
    p.shell.Clear();
    Key(list.Handle(), VK_DELETE);
    list.DesktopShortcut();
    CHECK_EQ(p.shell.operations, operations);
    CHECK(p.shell.texts == std::vector<String>{u"The \" Parent\" entry and drives cannot be sent: select files and folders only."});
    CHECK(!ListItemEnabled(list, u"ItemOpCopy") && !ListItemEnabled(list, u"ItemFolder"));
    // Ctrl+N in the drive list makes nothing.
    CtrlKey(list.Handle(), 'N');
    CHECK(!Exists(u"C:\\New Folder"));
    CHECK(p.app.Errors.empty());
}

WT_TEST(FileListCommands, CopyCutPasteDeleteRenameAndNewFolders) {
    Pane p;
    TPaneForm& f = *p.form;
    TFileListView& list = *f.list;
    list.SetDirectory(p.drive.Path("Films"));
    SetFocus(list.Handle());
    // Enabled states by what is selected.
    SelectOnly(list, {u"notes.txt"});
    CHECK(ListItemEnabled(list, u"ItemView") && ListItemEnabled(list, u"Send_To1") && ListItemEnabled(list, u"ItemRename"));
    SelectOnly(list, {u"big.avi"});
    CHECK(!ListItemEnabled(list, u"ItemView") && !ListItemEnabled(list, u"Send_To1"));
    SelectOnly(list, {u"notes.txt", u"a.b.avi"});
    CHECK(!ListItemEnabled(list, u"Send_To1") && !ListItemEnabled(list, u"ItemRename"));
    CHECK(ListItemEnabled(list, u"ItemDelete") && ListItemEnabled(list, u"ItemOpCopy"));

    // Copy, then paste into two folders: the second finds nothing.
    SelectOnly(list, {u"notes.txt"});
    CtrlKey(list.Handle(), 'C');
    CHECK(list.ClipboardList() == std::vector<String>{String(u"R:\\Films\\notes.txt") + u'\0'});
    CHECK_EQ(list.ClipboardMode(), FO_COPY);
    CHECK(ListItemEnabled(list, u"ItemOpPaste"));
    list.SetDirectory(p.drive.Path("Data"));
    CtrlKey(list.Handle(), 'V');
    CHECK_EQ(at::ReadUnixFile(p.drive.Folder().UnixPath("Data/notes.txt")), std::string("notes"));
    CHECK(Exists(p.drive.Path("Films\\notes.txt")));
    CHECK(ItemNamed(list, u"notes.txt"));
    CHECK(list.ClipboardList().empty());
    CHECK(!ListItemEnabled(list, u"ItemOpPaste"));
    list.SetDirectory(p.drive.Path("Data\\Empty"));
    CtrlKey(list.Handle(), 'V');
    CHECK(p.shell.texts.empty());
    list.Paste();
    CHECK(p.shell.texts == std::vector<String>{u"No file(s) selected"});
    CHECK(!Exists(p.drive.Path("Data\\Empty\\notes.txt")));
    // Cut and paste moves.
    list.SetDirectory(p.drive.Path("Films"));
    SelectOnly(list, {u"a.b.avi"});
    CtrlKey(list.Handle(), 'X');
    CHECK_EQ(list.ClipboardMode(), FO_MOVE);
    list.SetDirectory(p.drive.Path("Data\\Empty"));
    CtrlKey(list.Handle(), 'V');
    CHECK(Exists(p.drive.Path("Data\\Empty\\a.b.avi")));
    CHECK(!Exists(p.drive.Path("Films\\a.b.avi")));
    // Copied onto itself: refused, the file whole.
    p.shell.Clear();
    list.SetDirectory(p.drive.Path("Films"));
    SelectOnly(list, {u"notes.txt"});
    CtrlKey(list.Handle(), 'C');
    CtrlKey(list.Handle(), 'V');
    CHECK_EQ(at::ReadUnixFile(p.drive.Folder().UnixPath("Films/notes.txt")), std::string("notes"));
    CHECK(p.shell.texts == std::vector<String>{u"\"notes.txt\" is already there: it is not copied onto itself."});

    // Delete goes to the trash, and the file comes back from it whole.
    const std::string name = "gone" + std::to_string(GetCurrentProcessId()) + ".txt";
    p.drive.Folder().WriteFile("Films/" + name, "precious");
    list.Refresh();
    SelectOnly(list, {com::U16(name).c_str()});
    Key(list.Handle(), VK_DELETE);
    CHECK(!Exists(p.drive.Path("Films\\" + name)));
    CHECK(!ItemNamed(list, com::U16(name)));
    CHECK_EQ(at::ReadUnixFile(TrashFiles() + name), std::string("precious"));

    // Rename: read-only files are refused, "AR" is not "R".
    p.shell.Clear();
    SetFileAttributesW(com::W(p.drive.Path("Films\\zero.avi")), FILE_ATTRIBUTE_READONLY);
    list.Refresh();
    const String zeroAttr = ItemNamed(list, u"zero.avi")->SubItems()[kSubAttr];
    SelectOnly(list, {u"zero.avi"});
    Key(list.Handle(), VK_F2);
    if (zeroAttr == u"R") {
        CHECK(p.shell.texts == std::vector<String>{u"It's ReadOnly"});
        CHECK(ListEdit(list) == nullptr);
    } else {
        CHECK(zeroAttr == u"AR");
        CHECK(p.shell.texts.empty());
        REQUIRE(ListEdit(list));
        TypeInto(ListEdit(list), u"zero.avi");  // unchanged: nothing happens
        CHECK(p.shell.texts.empty());
    }
    SetFileAttributesW(com::W(p.drive.Path("Films\\zero.avi")), FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY);
    list.Refresh();
    CHECK(ItemNamed(list, u"zero.avi")->SubItems()[kSubAttr] == u"AR");
    SelectOnly(list, {u"zero.avi"});
    p.shell.Clear();
    ChooseList(list, u"ItemRename");
    REQUIRE(ListEdit(list));
    TypeInto(ListEdit(list), u"none.avi");
    CHECK(Exists(p.drive.Path("Films\\none.avi")) && !Exists(p.drive.Path("Films\\zero.avi")));
    CHECK(ItemNamed(list, u"none.avi"));
    SetFileAttributesW(com::W(p.drive.Path("Films\\none.avi")), FILE_ATTRIBUTE_ARCHIVE);
    // Onto a name that exists, or one with a folder in it: refused.
    SelectOnly(list, {u"notes.txt"});
    Key(list.Handle(), VK_F2);
    REQUIRE(ListEdit(list));
    TypeInto(ListEdit(list), u"big.avi");
    CHECK(p.shell.texts == std::vector<String>{u"\"big.avi\" already exists !"});
    SelectOnly(list, {u"notes.txt"});
    Key(list.Handle(), VK_F2);
    REQUIRE(ListEdit(list));
    TypeInto(ListEdit(list), u"sub1\\notes.txt");
    CHECK(p.shell.texts.back() == u"Error - Invalid File Name\rsub1\\notes.txt");
    CHECK(Exists(p.drive.Path("Films\\notes.txt")) && !Exists(p.drive.Path("Films\\sub1\\notes.txt")));
    // A folder renamed: the tree follows.
    f.tree->OpenPath(p.drive.Path("Films"));
    SelectOnly(list, {u"Sub2"});
    Key(list.Handle(), VK_F2);
    REQUIRE(ListEdit(list));
    TypeInto(ListEdit(list), u"Second");
    CHECK(DirectoryExists(p.drive.Path("Films\\Second")));
    CHECK(FindNode(*f.tree, u"R:\\Films\\Second"));

    // New folder twice: "New Folder", then "New Folder(2)", each named at once.
    p.shell.Clear();
    CtrlKey(list.Handle(), 'N');
    CHECK(DirectoryExists(p.drive.Path("Films\\New Folder")));
    REQUIRE(ListEdit(list));
    CHECK(list.Selected() && list.Selected()->Caption() == u"New Folder");
    TypeInto(ListEdit(list), u"", VK_ESCAPE);
    ChooseList(list, u"ItemFolder");
    CHECK(DirectoryExists(p.drive.Path("Films\\New Folder(2)")));
    REQUIRE(ListEdit(list));
    TypeInto(ListEdit(list), u"Made");
    CHECK(DirectoryExists(p.drive.Path("Films\\Made")));
    CHECK(!DirectoryExists(p.drive.Path("Films\\New Folder(2)")));
    CHECK(p.shell.texts.empty());
    CHECK(p.app.Errors.empty());
}

WT_TEST(FileListCommands, SendToClipboardDesktopViewAndProperties) {
    // A SendTo shortcut to a folder and one to a program, there before the
    // list is made.
    at::ScratchFolder target("sendto-target");
    const String sendTo = SpecialPath(CSIDL_SENDTO);
    const String backupLink = JoinPath(sendTo, u"Backup.lnk");
    const String programLink = JoinPath(sendTo, u"Viewer.lnk");
    CHECK(MakeShortcut(backupLink, target.Windows()));
    CHECK(MakeShortcut(programLink, u"C:\\windows\\notepad.exe"));
    {
        Pane p;
        TFileListView& list = *p.form->list;
        p.drive.Folder().WriteFile("Films/my notes.txt", "two words");
        p.drive.Folder().WriteFile("Films/picture.bmp", "BM");
        list.SetDirectory(p.drive.Path("Films"));
        std::vector<std::vector<String>> runs;
        ShellHooks().Execute = [&](const String& verb, const String& file, const String& parameters,
                                   const String& directory, int) {
            runs.push_back({verb, file, parameters, directory});
            return static_cast<INT_PTR>(42);
        };
        TFileListPopup& menu = *list.Popup();
        REQUIRE(menu.SendToPaths().size() == 2u);
        const int backup = forms::SameText(forms::ExtractFileName(menu.SendToPaths()[0]), u"Backup.lnk") ? 4 : 5;
        forms::TMenuItem* backupItem = menu.ItemNamed(u"Send_To" + forms::IntToStr(backup));
        REQUIRE(backupItem);
        CHECK(backupItem->Caption() == u"Backup");
        CHECK(backupItem->Bitmap() != nullptr);
        CHECK_EQ(backupItem->Tag(), 30 + backup);

        // The SendTo folder shortcut copies there.
        SelectOnly(list, {u"notes.txt"});
        ChooseList(list, backupItem->Name().c_str());
        CHECK_EQ(at::ReadUnixFile(target.UnixPath("notes.txt")), std::string("notes"));
        // The program shortcut gets the file as one argument.
        SelectOnly(list, {u"my notes.txt"});
        ChooseList(list, (u"Send_To" + forms::IntToStr(backup == 4 ? 5 : 4)).c_str());
        REQUIRE(runs.size() == 1u);
        CHECK(forms::SameText(runs[0][1], u"C:\\windows\\notepad.exe"));
        auto arguments = [](const String& parameters) {
            int count = 0;
            LPWSTR* args = CommandLineToArgvW(com::W(u"program.exe " + parameters), &count);
            std::vector<String> list;
            for (int i = 1; i < count; ++i) list.push_back(com::U16(args[i]));
            LocalFree(args);
            return list;
        };
        CHECK(arguments(runs[0][2]) == std::vector<String>{u"R:\\Films\\my notes.txt"});
        // View: the notepad of the Windows folder, the name one argument.
        runs.clear();
        CtrlKey(list.Handle(), 'F');
        REQUIRE(runs.size() == 1u);
        CHECK(forms::SameText(runs[0][1], u"C:\\windows\\NotePad.exe"));
        CHECK(arguments(runs[0][2]) == std::vector<String>{u"R:\\Films\\my notes.txt"});
        CHECK(runs[0][3] == u"R:\\Films\\");
        // No paint program here: the shell opens the picture its own way.
        runs.clear();
        SelectOnly(list, {u"picture.bmp"});
        ChooseList(list, u"ItemView");
        REQUIRE(runs.size() == 1u);
        CHECK(runs[0][0] == u"Open" && runs[0][1] == u"R:\\Films\\picture.bmp" && runs[0][2].empty());

        // The clipboard as file names: one path a line.
        SelectOnly(list, {u"notes.txt", u"a.b.avi"});
        ChooseList(list, u"Send_To2");
        CHECK(ClipboardText() == u"R:\\Films\\a.b.avi\r\nR:\\Films\\notes.txt");
        // And as contents.
        SelectOnly(list, {u"my notes.txt"});
        ChooseList(list, u"Send_To1");
        CHECK(ClipboardText() == u"two words");
        // A picture that does not load: reported (as a menu's click reports
        // it), the clipboard as it was.
        SelectOnly(list, {u"picture.bmp"});
        try {
            ChooseList(list, u"Send_To1");
        } catch (...) {
            forms::HandleCallbackException();
        }
        CHECK(ClipboardText() == u"two words");
        CHECK_EQ(p.app.Errors.size(), 1u);
        p.app.Errors.clear();
        // One that does: the clipboard holds the picture.
        p.drive.Folder().WriteFile("Films/red.bmp", TinyBitmap());
        list.Refresh();
        SelectOnly(list, {u"red.bmp"});
        ChooseList(list, u"Send_To1");
        CHECK(IsClipboardFormatAvailable(CF_BITMAP) || IsClipboardFormatAvailable(CF_DIB));
        CHECK(p.app.Errors.empty());

        // Desktop shortcuts: in the user's desktop folder, never over one
        // that is there.
        SelectOnly(list, {u"notes.txt"});
        const String first = list.DesktopShortcut();
        const String second = list.DesktopShortcut();
        const String desktop = SpecialPath(CSIDL_DESKTOPDIRECTORY);
        CHECK(first == JoinPath(desktop, u"notes.lnk"));
        CHECK(second == JoinPath(desktop, u"notes (2).lnk"));
        for (const String& link : {first, second}) {
            IShellLinkW* shellLink = nullptr;
            IPersistFile* file = nullptr;
            REQUIRE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                               reinterpret_cast<void**>(&shellLink))));
            shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
            CHECK(SUCCEEDED(file->Load(com::W(link), STGM_READ)));
            WCHAR path[MAX_PATH] = {};
            shellLink->GetPath(path, MAX_PATH, nullptr, 0);
            CHECK(com::U16(path) == u"R:\\Films\\notes.txt");
            file->Release();
            shellLink->Release();
            DeleteFileW(com::W(link));
        }

        // A send takes the list's clipboard as its work list: a copied set is
        // gone afterwards.
        SelectOnly(list, {u"zero.avi"});
        CtrlKey(list.Handle(), 'C');
        CHECK(!list.ClipboardList().empty());
        list.SendToFolder(target.Windows());
        CHECK(list.ClipboardList().empty());
        CHECK(Exists(target.WindowsPath("zero.avi")));

        // Any folder: the path typed in the dialog.
        bool typed = false;
        at::Repeater hand([&] {
            const HWND dialog = FindWindowW(nullptr, L"Send to any folder");
            if (!dialog || !IsWindowVisible(dialog)) return false;
            const HWND edit = at::FindChildByClass(dialog, L"TEdit");
            if (!edit) return false;
            SetWindowTextW(edit, com::W(target.WindowsPath("")));
            for (HWND b = GetWindow(edit, GW_HWNDFIRST); b; b = GetWindow(b, GW_HWNDNEXT))
                if (ft::WindowText(b) == u"OK") SendMessageW(b, BM_CLICK, 0, 0);
            typed = true;
            return true;
        });
        SelectOnly(list, {u"a.b.avi"});
        ChooseList(list, u"Send_To0");
        CHECK(typed);
        CHECK(Exists(target.WindowsPath("a.b.avi")));

        // Properties of a file, and of the folder above for " Parent".
        p.shell.Clear();
        SelectOnly(list, {u"notes.txt"});
        ChooseList(list, u"ItemProperty");
        REQUIRE(p.shell.texts.size() == 1u);
        CHECK(p.shell.texts[0].find(u"\rSize:  1 KB (5 bytes)\r") != String::npos);
        SelectOnly(list, {u" Parent"});
        ChooseList(list, u"ItemProperty");
        REQUIRE(p.shell.texts.size() == 2u);
        CHECK(p.shell.texts[1].rfind(u"Name:  (R:)", 0) == 0 || p.shell.texts[1].rfind(u"Name:   (R:)", 0) == 0);
        CHECK(p.app.Errors.empty());
    }
    DeleteFileW(com::W(backupLink));
    DeleteFileW(com::W(programLink));
}

// ---- The menus as a user sees them -------------------------------------------------

namespace {

// The open popup menus of this thread, the first opened first.
std::vector<HWND> OpenMenus() {
    std::vector<HWND> menus;
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); w; w = FindWindowExW(nullptr, w, L"#32768", nullptr))
        if (IsWindowVisible(w) && GetWindowThreadProcessId(w, nullptr) == GetCurrentThreadId()) menus.push_back(w);
    return menus;
}

// A right click on a point of a control; while the menu it brings is open,
// keys are pressed in it (if any), then the form with its open menus is
// shot and the menus are closed. The number of menus seen open.
size_t RightClickAndShoot(HWND form, HWND control, POINT at, const std::string& shotName, std::vector<WORD> keys = {}) {
    size_t seen = 0;
    bool shot = false, busy = false, released = false;
    at::Repeater hand([&] {
        // Taking the picture lets messages run: no second turn meanwhile.
        if (busy || seen) return false;
        const std::vector<HWND> menus = OpenMenus();
        if (menus.empty()) {
            // The control follows the pressed button in a loop of its own
            // (the press chose the item first): release it there.
            if (!released) PostMessageW(control, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
            released = true;
            return false;
        }
        if (!keys.empty()) {
            PostMessageW(menus.back(), WM_KEYDOWN, keys.front(), 1);
            keys.erase(keys.begin());
            return false;
        }
        if (!shot) {
            shot = true;
            return false;  // one more turn: the last key's menu is drawn
        }
        busy = true;
        RECT r{};
        GetWindowRect(form, &r);
        for (HWND m : menus) {
            RECT mr{};
            GetWindowRect(m, &mr);
            UnionRect(&r, &r, &mr);
        }
        const std::string path = ft::ScreenshotPath(shotName);
        if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
        seen = menus.size();
        // Escape closes one menu level at a time.
        for (size_t i = 0; i < menus.size(); ++i) PostMessageW(menus.back(), WM_KEYDOWN, VK_ESCAPE, 1);
        return true;
    }, 60);
    // The mouse where the click is: the menu comes where the pointer is.
    POINT screen = at;
    ClientToScreen(control, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageW(control, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
    const DWORD start = GetTickCount();
    while (!seen && GetTickCount() - start < 5000) Run(20);
    return seen;
}

}  // namespace

WT_TEST(ExplorerMenus, RightClicksChooseTheItemAndShowItsMenu) {
    Pane p;
    TPaneForm& f = *p.form;
    TDirTree& tree = *f.tree;
    TFileListView& list = *f.list;
    tree.OpenPath(p.drive.Path("Films"));
    list.SetDirectory(p.drive.Path("Films"));
    RedrawWindow(f.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Run(50);
    // The tree: the folder under the mouse is chosen, then its menu shows.
    TTreeNode* sub1 = FindNode(tree, u"R:\\Films\\sub1");
    REQUIRE(sub1);
    CHECK_EQ(RightClickAndShoot(f.Handle(), tree.Handle(), NodePoint(tree, sub1), "explorer-tree-menu.png"), 1u);
    CHECK(tree.Selected() == sub1);
    CHECK(tree.SelectedPath() == u"R:\\Films\\sub1");
    CHECK(list.Directory() == u"R:\\Films\\sub1\\");
    // The list: the item under the mouse, then its menu and the Send To
    // submenu (Open, View, Send To, then right).
    list.SetDirectory(p.drive.Path("Films"));
    RedrawWindow(f.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Run(50);
    TListItem* notes = ItemNamed(list, u"notes.txt");
    REQUIRE(notes);
    CHECK_EQ(RightClickAndShoot(f.Handle(), list.Handle(), ItemPoint(list, notes), "explorer-list-menu.png"), 1u);
    CHECK(list.Selected() == ItemNamed(list, u"notes.txt"));
    CHECK_EQ(list.SelCount(), 1);
    CHECK_EQ(RightClickAndShoot(f.Handle(), list.Handle(), ItemPoint(list, ItemNamed(list, u"notes.txt")),
                                "explorer-list-sendto-menu.png", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT}),
             2u);
    CHECK(p.app.Errors.empty());
}
