#include <windows.h>
#include <commctrl.h>

#include "framework/com/WinText.h"
#include "shellbrowse/DirNodes.h"
#include "shellbrowse/ShellExplorer.h"

namespace shellbrowse {

const char16_t* const kDrives = u"Drives";

TDirTree::TDirTree(TComponent* owner) : TCustomTreeView(owner) {
    SetBounds(Left(), Top(), 180, 120);
    // The shell's small icons: shared, never destroyed here.
    m_images = new forms::TImageList(this);
    m_images->SetShareImages(true);
    m_images->SetHandle(SystemSmallImages());
    m_images->SetBkColor(forms::clNone);
    SetImages(m_images);
    OnExpanding = [this](TObject*, TTreeNode* node, bool&) { FillDirNode(*this, node); };
    SetReadOnly(false);
    SetHideSelection(false);
    m_popup = new TDirTreePopup(this);
    SetPopupMenu(m_popup);
}

TDirTree::~TDirTree() {
    if (m_fileList && m_fileList->m_dirTree == this) m_fileList->m_dirTree = nullptr;
    SetDestroying();
    // The nodes go while the window still knows them, the last first.
    while (Items().RootCount() > 0) Items().Delete(Items().Root(Items().RootCount() - 1));
}

void TDirTree::CreateWnd() {
    TCustomTreeView::CreateWnd();
    // The control draws its selection as focused from the start.
    forms::TMessage focus{WM_SETFOCUS, 0, 0, 0};
    CallDefault(focus);
    if (!(ComponentState() & forms::csLoading)) BuildRootAndDrives();
}

void TDirTree::Loaded() {
    // The window first, while still loading (so that making it builds
    // nothing): the root is expanded in it.
    if (Parent()) HandleNeeded();
    TCustomTreeView::Loaded();
    BuildRootAndDrives();
    if (TTreeNode* root = Items().GetFirstNode()) root->Expand(false);
}

void TDirTree::BuildRootAndDrives() {
    Items().BeginUpdate();
    TTreeNode* root = AddDirRoot(*this);
    AddDriveNodes(*this, root);
    Items().EndUpdate();
}

void TDirTree::Rebuild() { BuildRootAndDrives(); }

void TDirTree::SetFileList(TFileListView* list) {
    if (m_fileList && m_fileList != list && m_fileList->m_dirTree == this) m_fileList->m_dirTree = nullptr;
    m_fileList = list;
    if (!list) return;
    // Linked from this side, the list follows the tree as well.
    if (list->m_dirTree != this) {
        if (list->m_dirTree) list->m_dirTree->m_fileList = nullptr;
        list->m_dirTree = this;
    }
    if (!m_selectedPath.empty()) list->SetDirectory(m_selectedPath);
}

void TDirTree::SetPopUpMenuEnabled(bool on) {
    if (on == m_popUpMenuEnabled) return;
    m_popUpMenuEnabled = on;
    SetPopupMenu(on ? m_popup : nullptr);
}

void TDirTree::SetSelectedPath(const String& path) {
    if (!forms::SameText(path, m_selectedPath)) m_selectedPath = path;
}

void TDirTree::SetSelectedFile(const String& file) {
    if (!forms::SameText(file, m_selectedFile)) m_selectedFile = file;
}

String TDirTree::GetNodePath(TTreeNode* node) const { return DirNodePath(node); }

void TDirTree::Notification(TComponent* component, forms::TOperation operation) {
    TCustomTreeView::Notification(component, operation);
    if (operation != forms::TOperation::opRemove) return;
    if (component == m_fileList) m_fileList = nullptr;
    if (component == m_popup) m_popup = nullptr;
}

void TDirTree::SelectionChosen() {
    TTreeNode* node = Selected();
    if (!node) return;
    TTreeNode* root = Items().GetFirstNode();
    String path;
    if (node != root || root->Count() > 0) path = DirNodePath(node);
    else AddDriveNodes(*this, root);
    SetSelectedPath(node->Level() == 0 ? String(kDrives) : path);
    if (node->Level() == 1 && !path.empty()) {
        const UINT type = DriveTypeOf(path[0]);
        if ((type == DRIVE_REMOVABLE || type == DRIVE_CDROM) && !DriveReady(path[0], true)) return;
    }
    if (OnDirChange) OnDirChange(this, m_selectedPath);
    if (m_fileList && !m_selectedPath.empty()) m_fileList->SetDirectory(m_selectedPath);
}

void TDirTree::MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) {
    TCustomTreeView::MouseDown(button, shift, x, y);
    // The right button chose its node before the menu came (WndProc).
    if (button == forms::TMouseButton::mbRight) return;
    if (!(GetHitTestInfoAt(x, y) & TVHT_ONITEM)) return;
    TTreeNode* node = GetNodeAt(x, y);
    if (!node) return;
    node->SetSelected(true);
    SelectionChosen();
}

void TDirTree::KeyUp(WORD& key, forms::TShiftState shift) {
    if (key != VK_UP && key != VK_DOWN && key != VK_LEFT && key != VK_RIGHT) return;
    TCustomTreeView::KeyUp(key, shift);
    if (Selected()) SelectionChosen();
}

// A drag carries the folder it starts on: selected, and SelectedPath, at
// once. The rest of a click's work (the event, the list) follows when the
// button's press is handled, after the drop: a list read now would let
// the messages of the drag itself run before the drag.
void TDirTree::WndProc(forms::TMessage& m) {
    // A right press chooses the folder under the mouse, as a left one
    // does; the list follows when the menu comes (after the release: the
    // list's refresh runs waiting messages, and the control waits for the
    // release in a loop of its own), before the menu shows.
    if (m.Msg == WM_RBUTTONDOWN) {
        const int x = static_cast<short>(LOWORD(m.LParam)), y = static_cast<short>(HIWORD(m.LParam));
        if (GetHitTestInfoAt(x, y) & TVHT_ONITEM)
            if (TTreeNode* node = GetNodeAt(x, y)) {
                node->SetSelected(true);
                m_rightChosen = true;
            }
    }
    if (m.Msg == WM_CONTEXTMENU && m_rightChosen) {
        m_rightChosen = false;
        SelectionChosen();
    }
    // The control reports the right click after the release; it sends no
    // context-menu message of its own on this platform, so the menu comes
    // from here (and the click is reported handled).
    if (m.Msg == forms::CN_NOTIFY && reinterpret_cast<const NMHDR*>(m.LParam)->code == NM_RCLICK && PopupMenu() &&
        PopupMenu()->AutoPopup()) {
        if (m_rightChosen) {
            m_rightChosen = false;
            SelectionChosen();
        }
        const DWORD at = GetMessagePos();
        PopupMenu()->SetPopupComponent(this);
        PopupMenu()->Popup(static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)));
        m.Result = 1;
        return;
    }
    if (m.Msg == WM_SIZE && m_contents) {
        TCustomTreeView::WndProc(m);
        m_contents->FitToTree();
        return;
    }
    if (m.Msg == forms::CN_NOTIFY && reinterpret_cast<const NMHDR*>(m.LParam)->code == TVN_ENDLABELEDITW) {
        // However the edit ended, the next rename asks again.
        TCustomTreeView::WndProc(m);
        m_newFolder = false;
        return;
    }
    if (m.Msg == forms::CN_NOTIFY) {
        const auto* hdr = reinterpret_cast<const NMHDR*>(m.LParam);
        if (hdr->code == TVN_BEGINDRAGW || hdr->code == TVN_BEGINRDRAGW) {
            const auto* tv = reinterpret_cast<const NMTREEVIEWW*>(m.LParam);
            if (TTreeNode* node = NodeOf(tv->itemNew.lParam)) {
                node->SetSelected(true);
                SetSelectedPath(node->Level() == 0 ? String(kDrives) : DirNodePath(node));
            }
        }
    }
    TCustomTreeView::WndProc(m);
}

void TDirTree::SelectRoot() {
    TTreeNode* root = Items().GetFirstNode();
    if (!root) return;
    if (root->Count() == 0) AddDriveNodes(*this, root);
    root->SetSelected(true);
    SetSelectedPath(kDrives);
    if (OnDirChange) OnDirChange(this, m_selectedPath);
}

void TDirTree::OpenPath(const String& path) {
    if (path.size() <= 1 || !DirectoryExists(path)) return;
    const String target = IncludeTrailingSlash(path);
    TTreeNode* root = Items().GetFirstNode();
    if (!root) return;
    Items().BeginUpdate();
    TTreeNode* found = nullptr;
    try {
        if (root->Count() == 0) AddDriveNodes(*this, root);
        if (root->Expanded()) root->Collapse(true);
        // Component by component from the root: a folder of the same name
        // further down a loaded branch must not be taken for it.
        found = WalkDirPath(root, target);
    } catch (...) {
        Items().EndUpdate();
        throw;
    }
    Items().EndUpdate();
    if (!found) return;
    if (!forms::SameText(m_selectedPath, target)) m_selectedPath = target;
    if (OnDirChange) OnDirChange(this, m_selectedPath);
}

bool TDirTree::CanEdit(TTreeNode* node) {
    if (!node || !node->Parent() || node->Level() < 2 || ReadOnly()) return false;
    return TCustomTreeView::CanEdit(node);
}

void TDirTree::Edit(TTreeNode* node, String& text) {
    const String oldLabel = node->Text();
    const bool newFolder = m_newFolder;
    m_newFolder = false;
    if (node->Level() < 2) {
        text = oldLabel;
        return;
    }
    if (text.empty() || ContainsAnyChar(kInvalidNameChars, text)) {
        ErrorBeep();
        if (!text.empty()) ShowShellMessage(TMsgKind::mkError, u"Error - Invalid Directory Name\r" + text);
        text = oldLabel;
        return;
    }
    const String path = DirNodePath(node);
    if (path.empty()) {
        text = oldLabel;
        return;
    }
    THourGlass hourGlass;
    const String oldPath = ExcludeTrailingSlash(path);
    const String newPath = forms::ExtractFilePath(oldPath) + text;
    if (!newFolder) {
        const String question = u"Do you want to rename the selected folder\r\r    From  : " +
                                forms::ExtractFileName(oldPath) + u"\r" + u"    To     : " + text;
        if (ShowShellMessage(TMsgKind::mkConfirmation, question) != IDYES) {
            text = oldLabel;
            return;
        }
    }
    if (!ShellFileOperation(Handle(), FO_RENAME, oldPath, newPath)) {
        text = oldLabel;
        return;
    }
    TCustomTreeView::Edit(node, text);
    TTreeNode* parent = node->Parent();
    parent->SetSelected(true);
    SetSelectedPath(DirNodePath(parent));
    ShowInList(DirNodePath(parent));
}

}  // namespace shellbrowse
