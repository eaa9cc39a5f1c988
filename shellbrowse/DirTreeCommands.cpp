// The folder tree's commands and its context menu.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <winnetwk.h>

#include <vector>

#include "framework/com/WinText.h"
#include "shellbrowse/DirNodes.h"
#include "shellbrowse/ShellExplorer.h"

namespace shellbrowse {

namespace {

HBITMAP LoadMenuBitmap(const char16_t* name) {
    return static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), com::W(String(name)), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

HWND ApplicationWindow() { return forms::Application ? forms::Application->Handle() : nullptr; }

// The bytes of every file below folder; folders that are links (reparse
// points: on drive Z: some lead back to their own parents) are not
// followed.
std::uint64_t FolderTreeBytes(const String& folder) {
    std::uint64_t total = 0;
    std::vector<String> pending{IncludeTrailingSlash(folder)};
    while (!pending.empty()) {
        const String current = pending.back();
        pending.pop_back();
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileW(com::W(current + u"*.*"), &data);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            const String name = com::U16(data.cFileName);
            if (name == u"." || name == u"..") continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) pending.push_back(current + name + u"\\");
            } else {
                total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    return total;
}

}  // namespace

// ---- The menu ----------------------------------------------------------------------------

TDirTreePopup::TDirTreePopup(TDirTree* tree) : TPopupMenu(tree), m_tree(tree) {
    static const struct {
        const char16_t* name;
        const char16_t* caption;
        const char16_t* bitmap;
        bool separatorAfter;
    } kItems[] = {
        {u"AddNode", u"&New Folder", u"NewFolder28", false},
        {u"EditNode", u"&Rename Folder", u"EditFolder28", false},
        {u"DelNode", u"&Delete Folder", u"DelFolder28", true},
        {u"CutNode", u"Cu&t", u"Cut28", false},
        {u"CopyNode", u"&Copy", u"Copy28", false},
        {u"PasteNode", u"&Paste", u"Paste28", true},
        {u"GetTreeSize", u"Tree &Size", u"TreeSize28", false},
        {u"ShowFolderContents", u"&Folder Contents", u"DirContents28", true},
        {u"ConnectNetResource", u"&Map Network Drive", u"NetConnect28", false},
        {u"DisConnectNetResource", u"Di&sConnect Network Drive", u"NetDisConnect28", true},
        {u"ItemProperty", u"&Properties", u"Attributes28", false},
    };
    int tag = 1;
    for (const auto& entry : kItems) {
        auto* item = new forms::TMenuItem(this);
        item->SetName(entry.name);
        item->SetCaption(entry.caption);
        item->SetTag(tag);
        m_bitmaps[tag - 1] = LoadMenuBitmap(entry.bitmap);
        item->SetBitmap(m_bitmaps[tag - 1]);
        item->OnClick = [this](TObject* sender) { ItemClick(sender); };
        Items()->Add(item);
        if (entry.separatorAfter) {
            auto* line = new forms::TMenuItem(this);
            line->SetCaption(u"-");
            Items()->Add(line);
        }
        ++tag;
    }
    SetAutoPopup(true);
}

TDirTreePopup::~TDirTreePopup() {
    // The menu lets go of its pictures before they are deleted.
    for (int i = 0; i < Items()->Count(); ++i) Items()->Items(i)->SetBitmap(nullptr);
    for (HBITMAP b : m_bitmaps)
        if (b) DeleteObject(b);
}

forms::TMenuItem* TDirTreePopup::ItemNamed(const String& name) const {
    for (int i = 0; i < Items()->Count(); ++i)
        if (forms::SameText(Items()->Items(i)->Name(), name)) return Items()->Items(i);
    return nullptr;
}

void TDirTreePopup::UpdateStates() {
    TTreeNode* node = m_tree->Selected();
    const int level = node ? node->Level() : -1;
    auto set = [this](const char16_t* name, bool on) {
        if (forms::TMenuItem* item = ItemNamed(name)) item->SetEnabled(on);
    };
    set(u"AddNode", level >= 1);
    set(u"EditNode", level >= 2);
    set(u"DelNode", level >= 2);
    set(u"CutNode", level >= 2);
    set(u"CopyNode", level >= 2);
    set(u"PasteNode", level >= 2 && m_tree->PastePending());
    set(u"GetTreeSize", level >= 1);
    set(u"ShowFolderContents", level >= 1);
    set(u"ConnectNetResource", true);
    set(u"DisConnectNetResource", true);
    set(u"ItemProperty", level >= 1);
}

void TDirTreePopup::Popup(int x, int y) {
    UpdateStates();
    TPopupMenu::Popup(x + 10, y + 10);
}

void TDirTreePopup::ItemClick(TObject* sender) {
    auto* item = dynamic_cast<forms::TMenuItem*>(sender);
    if (!item) return;
    switch (item->Tag()) {
    case 1: m_tree->NewFolder(nullptr, String()); break;
    case 2: m_tree->EditSelected(); break;
    case 3:
        if (m_tree->Selected()) m_tree->DeleteFolder(m_tree->Selected());
        break;
    case 4: m_tree->MarkForPaste(FO_MOVE); break;
    case 5: m_tree->MarkForPaste(FO_COPY); break;
    case 6: m_tree->PasteFolder(); break;
    case 7: m_tree->ShowTreeSize(); break;
    case 8: m_tree->ShowFolderFiles(); break;
    case 9: m_tree->MapNetworkDrive(); break;
    case 10: m_tree->DisconnectNetworkDrive(); break;
    case 11: m_tree->ShowSelectedProperties(); break;
    default: break;
    }
}

// ---- The commands ------------------------------------------------------------------------

void TDirTree::ShowInList(const String& folder) {
    if (!m_fileList) return;
    if (forms::SameText(IncludeTrailingSlash(m_fileList->Directory()), IncludeTrailingSlash(folder)))
        m_fileList->Refresh();
    else
        m_fileList->SetDirectory(folder);
}

bool TDirTree::NewFolder(TTreeNode* node, const String& name) {
    if (!node) node = Selected();
    if (!node) return false;
    if (node->Level() == 0) {
        ShowShellMessage(TMsgKind::mkError, u"Can't add drives");
        return false;
    }
    const String folderName = name.empty() ? String(u"New Folder") : name;
    if (ContainsAnyChar(kInvalidNameChars, folderName)) {
        ErrorBeep();
        ShowShellMessage(TMsgKind::mkError, u"Folder Name contains invalid characters");
        return false;
    }
    const String parent = DirNodePath(node);
    const String target = IncludeTrailingSlash(parent) + folderName;
    Items().BeginUpdate();
    bool made = false;
    try {
        made = CreateDirectoryW(com::W(target), nullptr) != FALSE;
        if (made) {
            Rebuild();
            OpenPath(target + u"\\");
        }
    } catch (...) {
        Items().EndUpdate();
        throw;
    }
    Items().EndUpdate();
    if (!made) return false;
    if (m_fileList && forms::SameText(IncludeTrailingSlash(m_fileList->Directory()), IncludeTrailingSlash(parent)))
        m_fileList->Refresh();
    // The user names a "New Folder" at once, without being asked to
    // confirm; only a node that stands for the folder just made is edited.
    if (folderName == u"New Folder" && Selected() && forms::SameText(DirNodePath(Selected()), target)) {
        m_newFolder = true;
        EditSelected();
        if (!IsEditing()) m_newFolder = false;
    }
    return true;
}

bool TDirTree::IsEditing() { return HandleAllocated() && SendMessageW(Handle(), TVM_GETEDITCONTROL, 0, 0) != 0; }

void TDirTree::EditSelected() {
    if (TTreeNode* node = Selected()) node->EditText();
}

bool TDirTree::DeleteFolder(TTreeNode* node) {
    if (!node || node->Level() < 2) return false;
    THourGlass hourGlass;
    const String path = DirNodePath(node);
    if (!DirectoryExists(path)) {
        ErrorBeep();
        ShowShellMessage(TMsgKind::mkError, path + u"not found");
        return false;
    }
    TTreeNode* parent = node->Parent();
    // The list may show the folder, which is then the current one: the
    // process steps out of it first.
    WCHAR current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    if (IsInFolder(com::U16(current), path)) SetCurrentDirectoryW(com::W(DirNodePath(parent)));
    if (!ShellFileOperation(Handle(), FO_DELETE, ExcludeTrailingSlash(path), String())) return false;
    parent->SetSelected(true);
    node->Delete();
    // SelectedPath names the folder now selected, never the deleted one.
    SetSelectedPath(DirNodePath(parent));
    ShowInList(DirNodePath(parent));
    return true;
}

void TDirTree::MarkForPaste(UINT operation) {
    m_pasteOperation = 0;
    m_pastePending = false;
    TTreeNode* node = Selected();
    if (!node || node->Level() < 2 || m_selectedPath.empty()) return;
    m_pasteSource = ExcludeTrailingSlash(m_selectedPath);
    m_pasteOperation = operation;
    m_pastePending = true;
}

void TDirTree::PasteFolder() {
    const bool pending = m_pastePending;
    m_pastePending = false;
    if (!pending || !Selected() || m_selectedPath.empty() || m_pasteSource.empty() ||
        forms::SameText(m_selectedPath, kDrives))
        return;
    const String destination = IncludeTrailingSlash(m_selectedPath);
    // A folder goes neither into itself nor into one of its own
    // sub-folders, and not onto itself in its own parent.
    const bool intoItself = IsInFolder(destination, m_pasteSource) ||
                            forms::SameText(IncludeTrailingSlash(forms::ExtractFilePath(m_pasteSource)), destination);
    if (intoItself || !ShellFileOperation(Handle(), m_pasteOperation, m_pasteSource, destination)) {
        ShowShellMessage(TMsgKind::mkError, u"File operation failed");
        return;
    }
    Rebuild();
    OpenPath(destination);
    ShowInList(destination);
}

std::uint64_t TDirTree::ShowTreeSize() {
    TTreeNode* node = Selected();
    if (!node || node->Level() < 1) return 0;
    std::uint64_t total = 0;
    const String start = DirNodePath(node);
    {
        THourGlass hourGlass;
        total = FolderTreeBytes(start);
    }
    const String title = TreeSizeTitle(start, node->Level() == 1);
    ShowShellMessage(TMsgKind::mkInformation, TreeSizeMessage(title, total, forms::FormatSettings().DecimalSeparator));
    return total;
}

void TDirTree::ShowFolderFiles() {
    TTreeNode* node = Selected();
    if (!node || node->Level() < 1 || m_contents) return;
    const String folder = m_selectedPath;
    const String path = DirNodePath(node);
    const String title = node->Level() == 1 ? u"\" " + path + u" \""
                                            : u"\" ..\\" + forms::ExtractFileName(ExcludeTrailingSlash(path)) + u" \"";
    if (TTreeNode* root = Items().GetFirstNode()) root->Collapse(true);
    m_contents = new TFolderContents(this, folder, title);
    m_contents->Show();
}

void TDirTree::ContentsClosed(const String& chosenFile) {
    TFolderContents* contents = m_contents;
    m_contents = nullptr;
    if (!contents) return;
    SetSelectedFile(String());
    if (!chosenFile.empty()) {
        SetSelectedFile(chosenFile);
        if (OnFileChange) OnFileChange(this, m_selectedFile);
    }
    const String folder = contents->Folder();
    contents->Hide();
    contents->Release();
    OpenPath(folder);
}

void TDirTree::MapNetworkDrive() {
    const DWORD before = GetLogicalDrives();
    const DWORD result = ShellHooks().NetConnectDialog(ApplicationWindow(), RESOURCETYPE_DISK);
    if (result != NO_ERROR) {
        if (result == ERROR_NO_NETWORK)
            ShowShellMessage(TMsgKind::mkError, u"No network is available: a network drive cannot be mapped.");
        else if (result != static_cast<DWORD>(-1) && result != ERROR_CANCELLED)
            ShowShellMessage(TMsgKind::mkError,
                             u"Map Network Drive failed (error " + forms::IntToStr(static_cast<long long>(result)) + u").");
        return;
    }
    Rebuild();
    TTreeNode* root = Items().GetFirstNode();
    if (!root) return;
    root->Expand(false);
    // The drive that came: the letters before and after are compared.
    const DWORD added = GetLogicalDrives() & ~before;
    for (int i = 0; i < 26; ++i) {
        if (!(added & (1u << i))) continue;
        const String drive = String(1, static_cast<char16_t>(u'A' + i)) + u":\\";
        for (int n = 0; n < root->Count(); ++n) {
            if (!forms::SameText(DirNodePath(root->Item(n)), drive)) continue;
            root->Item(n)->SetSelected(true);
            m_selectedPath = drive;
            if (m_fileList) m_fileList->SetDirectory(drive);
            return;
        }
    }
}

void TDirTree::DisconnectNetworkDrive() {
    const DWORD result = ShellHooks().NetDisconnectDialog(ApplicationWindow(), RESOURCETYPE_DISK);
    if (result == ERROR_NO_NETWORK)
        ShowShellMessage(TMsgKind::mkError, u"No network is available: there is no network drive to disconnect.");
    else if (result != NO_ERROR && result != static_cast<DWORD>(-1) && result != ERROR_CANCELLED)
        ShowShellMessage(TMsgKind::mkError, u"DisConnect Network Drive failed (error " +
                                                forms::IntToStr(static_cast<long long>(result)) + u").");
    Rebuild();
    TTreeNode* root = Items().GetFirstNode();
    if (!root) return;
    root->Expand(false);
    root->SetSelected(true);
    m_selectedPath = kDrives;
    if (m_fileList) {
        m_fileList->SetDirectory(kDrives);
        m_fileList->Refresh();
    }
}

void TDirTree::ShowSelectedProperties() {
    TTreeNode* node = Selected();
    if (!node || node->Level() < 1 || m_selectedPath.empty()) return;
    ShowProperties(m_selectedPath);
}

// ---- The folder-contents window ----------------------------------------------------------

TFolderContents::TFolderContents(TDirTree* tree, const String& folder, const String& title)
    : TForm(tree), m_tree(tree), m_folder(folder) {
    SetBorderStyle(forms::TFormBorderStyle::bsSizeToolWin);
    SetBorderIcons(0);
    SetFormStyle(forms::TFormStyle::fsStayOnTop);
    SetCaption(u"Files in " + title);
    SetParent(tree);
    FitToTree();

    auto* bottom = new forms::TPanel(this);
    bottom->SetParent(this);
    bottom->SetHeight(22);
    bottom->SetAlign(forms::TAlign::alBottom);
    bottom->SetBevelOuter(forms::TBevelCut::bvNone);
    bottom->SetCaption(String());
    auto* right = new forms::TPanel(this);
    right->SetParent(bottom);
    right->SetWidth(80);
    right->SetAlign(forms::TAlign::alRight);
    right->SetBevelOuter(forms::TBevelCut::bvNone);
    right->SetCaption(String());
    m_ok = new forms::TButton(this);
    m_ok->SetParent(right);
    m_ok->SetBounds(1, 1, 60, 22);
    m_ok->SetCaption(u"&OK");
    m_ok->SetTabStop(true);
    m_ok->OnClick = [this](TObject*) { OkClick(); };

    m_list = new forms::TListView(this);
    m_list->SetParent(this);
    m_list->SetAlign(forms::TAlign::alClient);
    m_list->SetViewStyle(forms::TViewStyle::vsList);
    m_list->SetHideSelection(false);
    m_list->SetHint(u"LeftClick - Select\rDblClick  - Open");
    m_list->SetTabStop(true);
    m_images = new forms::TImageList(this);
    m_images->SetShareImages(true);
    m_images->SetHandle(SystemSmallImages());
    m_images->SetBkColor(forms::clNone);
    m_list->SetSmallImages(m_images);
    m_list->OnDblClick = [this](TObject*) { ListDblClick(); };

    const String dir = IncludeTrailingSlash(folder);
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(com::W(dir + u"*.*"), &data);
    if (find != INVALID_HANDLE_VALUE) {
        m_list->Items().BeginUpdate();
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const String full = dir + com::U16(data.cFileName);
            SHFILEINFOW info{};
            SHGetFileInfoW(com::W(full), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME);
            m_list->Items().Add(com::U16(data.cFileName), info.iIcon, {full});
        } while (FindNextFileW(find, &data));
        FindClose(find);
        m_list->Items().EndUpdate();
    }
    m_list->AlphaSort();
    if (m_list->Items().Count() > 0) m_list->Items()[0]->SetFocused(true);
}

void TFolderContents::FitToTree() {
    RECT r{};
    if (m_tree->HandleAllocated()) GetClientRect(m_tree->Handle(), &r);
    else r = RECT{0, 0, m_tree->Width(), m_tree->Height()};
    SetBounds(0, 0, r.right, r.bottom);
}

void TFolderContents::CreateParams(forms::TCreateParams& params) {
    TForm::CreateParams(params);
    // A window inside the tree, filling it.
    params.style = (params.style & ~WS_POPUP) | WS_CHILD | WS_CLIPSIBLINGS;
    params.exStyle &= ~WS_EX_TOPMOST;
    params.parent = m_tree->Handle();
}

void TFolderContents::ListDblClick() {
    forms::TListItem* item = m_list->Selected();
    if (!item || item->SubItems().Count() == 0) return;
    const String full = item->SubItems()[0];
    Hide();
    ShellOpen(u"Open", full, String(), forms::ExtractFilePath(full), SW_SHOW);
    Show();
}

void TFolderContents::OkClick() {
    forms::TListItem* item = m_list->Selected();
    const String chosen = item && item->SubItems().Count() > 0 ? item->SubItems()[0] : String();
    m_tree->ContentsClosed(chosen);
}

}  // namespace shellbrowse
