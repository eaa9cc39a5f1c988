#include "shellbrowse/DirNodes.h"

#include <shlobj.h>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "shellbrowse/ShellRoutines.h"
#include "shellbrowse/ShellText.h"

namespace shellbrowse {

namespace {

bool IsDots(const WCHAR* name) { return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)); }

// Calls visit for each sub-folder of folder until it returns false.
template <class Visit>
void ForEachSubFolder(const String& folder, Visit visit) {
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(com::W(IncludeTrailingSlash(folder) + u"*.*"), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDots(data.cFileName))
            if (!visit(com::U16(data.cFileName))) break;
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

}  // namespace

String DirNodePath(const TTreeNode* node) {
    if (!node || !node->Parent()) return String();
    if (node->Level() == 1) return node->Text().size() >= 4 ? node->Text().substr(2, 2) + u"\\" : String();
    return ExcludeTrailingSlash(DirNodePath(node->Parent())) + u"\\" + node->Text();
}

TTreeNode* AddDirRoot(TCustomTreeView& tree) {
    tree.Items().BeginUpdate();
    tree.Items().Clear();
    TTreeNode* root = nullptr;
    com::Pidl drives;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, drives.Put()))) {
        SHFILEINFOW info{};
        if (SHGetFileInfoW(reinterpret_cast<LPCWSTR>(drives.Get()), 0, &info, sizeof info,
                           SHGFI_PIDL | SHGFI_DISPLAYNAME | SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) {
            root = tree.Items().Add(nullptr, com::U16(info.szDisplayName));
            root->SetImageIndex(info.iIcon);
            root->SetSelectedIndex(info.iIcon);
        }
    }
    tree.Items().EndUpdate();
    return root;
}

void AddDriveNodes(TCustomTreeView& tree, TTreeNode* root) {
    if (!root) return;
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        const char16_t letter = static_cast<char16_t>(u'A' + i);
        const String drive = String(1, letter) + u":\\";
        SHFILEINFOW info{};
        SHGetFileInfoW(com::W(drive), 0, &info, sizeof info, SHGFI_DISPLAYNAME);
        TTreeNode* node = tree.Items().AddChild(root, DriveCaption(letter, com::U16(info.szDisplayName)));
        node->SetHasChildren(true);
        node->SetImageIndex(SmallIconIndex(drive));
        node->SetSelectedIndex(OpenIconIndex(drive));
    }
}

bool HasSubFolder(const String& folder) {
    bool found = false;
    ForEachSubFolder(folder, [&](const String&) {
        found = true;
        return false;
    });
    return found;
}

void FillDirNode(TCustomTreeView& tree, TTreeNode* node) {
    if (!node || node->Count() > 0) return;
    const String path = DirNodePath(node);
    node->SetHasChildren(false);
    if (path.empty()) return;
    // Every folder shows the shell's folder icons, asked once: asked by
    // path, the shell reads the parent folder for each (in Wine,
    // milliseconds each).
    const int icon = FolderIconIndex(false), openIcon = FolderIconIndex(true);
    tree.Items().BeginUpdate();
    ForEachSubFolder(path, [&](const String& name) {
        TTreeNode* child = tree.Items().AddChild(node, name);
        child->SetHasChildren(HasSubFolder(JoinPath(path, name)));
        child->SetImageIndex(icon);
        child->SetSelectedIndex(openIcon);
        return true;
    });
    node->AlphaSort();
    tree.Items().EndUpdate();
}

TTreeNode* FindDirChild(TTreeNode* parent, const String& component) {
    if (!parent) return nullptr;
    for (int i = 0; i < parent->Count(); ++i) {
        TTreeNode* child = parent->Item(i);
        const String name = child->Level() == 1 ? DirNodePath(child) : child->Text() + u"\\";
        if (lstrcmpiW(com::W(name), com::W(component)) == 0) return child;
    }
    return nullptr;
}

TTreeNode* WalkDirPath(TTreeNode* root, const String& target) {
    TTreeNode* node = root;
    for (const String& component : PathComponents(target)) {
        TTreeNode* child = FindDirChild(node, component);
        if (!child) return nullptr;
        child->SetSelected(true);
        child->Expand(false);
        node = child;
    }
    return node == root ? nullptr : node;
}

}  // namespace shellbrowse
