#define OEMRESOURCE
#include <windows.h>
#include <commctrl.h>

#include <algorithm>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "shellbrowse/DirNodes.h"
#include "shellbrowse/ShellExplorer.h"

namespace shellbrowse {

namespace {
POINT PointOf(LPARAM lParam) { return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))}; }
}  // namespace

// ---- Drop button -----------------------------------------------------------------------

void TDropSpeedButton::WndProc(forms::TMessage& m) {
    if (m.Msg == WM_RBUTTONUP) {
        m.Result = 1;
        return;
    }
    TSpeedButton::WndProc(m);
}

// ---- Drop-down tree --------------------------------------------------------------------

TDirTreeDropDown::TDirTreeDropDown(TComponent* owner) : TCustomTreeView(owner) { m_visible = false; }

TDirTreeCombo* TDirTreeDropDown::Combo() const { return dynamic_cast<TDirTreeCombo*>(Parent()); }

// A window of its own over everything: not a child of the combo, whose
// edit would clip it. The combo owns it, so that the tree's notifications
// still reach the combo and from there this control.
void TDirTreeDropDown::CreateParams(forms::TCreateParams& p) {
    TCustomTreeView::CreateParams(p);
    p.style = (p.style & ~WS_CHILD) | WS_POPUP | WS_BORDER;
    p.exStyle = (p.exStyle & ~WS_EX_CLIENTEDGE) | WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    p.parent = nullptr;
    if (TDirTreeCombo* combo = Combo(); combo && combo->HandleAllocated()) {
        p.parent = combo->Handle();
        RECT r{};
        GetWindowRect(combo->Handle(), &r);
        p.x = r.left;
        p.y = r.bottom;
    }
}

bool TDirTreeDropDown::CanExpand(TTreeNode* node) {
    FillDirNode(*this, node);
    Items().BeginUpdate();
    node->AlphaSort();
    Items().EndUpdate();
    return TCustomTreeView::CanExpand(node);
}

void TDirTreeDropDown::ItemClicked(int x, int y) {
    TDirTreeCombo* combo = Combo();
    if (!combo) return;
    if (combo->HandleAllocated() && combo->CanFocus()) ::SetFocus(combo->Handle());
    if (!(GetHitTestInfoAt(x, y) & TVHT_ONITEM)) return;
    TTreeNode* node = GetNodeAt(x, y);
    if (!node) return;
    node->SetSelected(true);
    combo->ChooseSelection(this, true);
}

void TDirTreeDropDown::KeyDown(WORD& key, forms::TShiftState shift) {
    // Chosen or dismissed from the open tree as from the combo.
    if ((key == VK_RETURN || key == VK_ESCAPE || key == VK_F4) && shift == 0) {
        if (TDirTreeCombo* combo = Combo()) {
            combo->KeyDown(key, shift);
            key = 0;
            return;
        }
    }
    TCustomTreeView::KeyDown(key, shift);
}

void TDirTreeDropDown::WndProc(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE:
        m.Result = DLGC_WANTALLKEYS | DLGC_WANTARROWS;
        return;
    case WM_MOUSEMOVE: {
        const POINT p = PointOf(m.LParam);
        const RECT client = ClientRect();
        const bool inside = PtInRect(&client, p) != 0;
        // Held while the pointer is outside, so that a click anywhere
        // else reaches the tree and closes it; free inside, so that the
        // tree's own buttons and scroll bars work.
        if (inside && !m_mouseInside) {
            m_mouseInside = true;
            if (GetCapture() == m_handle) ReleaseCapture();
            TRACKMOUSEEVENT t{sizeof t, TME_LEAVE, m_handle, 0};
            TrackMouseEvent(&t);
        }
        if (inside && Enabled()) {
            if (TTreeNode* node = GetNodeAt(p.x, p.y)) {
                if (GetHitTestInfoAt(p.x, p.y) & TVHT_ONITEM) node->SetSelected(true);
            }
        }
        break;
    }
    case WM_MOUSELEAVE:
        m_mouseInside = false;
        if (IsOpen()) SetCapture(m_handle);
        break;
    case WM_LBUTTONDOWN: {
        const POINT p = PointOf(m.LParam);
        const RECT client = ClientRect();
        if (!PtInRect(&client, p)) {
            if (TDirTreeCombo* combo = Combo()) combo->CloseDropDown();
            m.Result = 0;
            return;
        }
        TCustomTreeView::WndProc(m);
        ItemClicked(p.x, p.y);
        return;
    }
    default:
        break;
    }
    TCustomTreeView::WndProc(m);
}

// ---- Combo -----------------------------------------------------------------------------

TDirTreeCombo::TDirTreeCombo(TComponent* owner) : TCustomEdit(owner) {
    SetBounds(Left(), Top(), 216, 21);
    SetReadOnly(true);
    m_button = new TDropSpeedButton(this);
    m_button->SetBounds(0, 0, 17, 17);
    m_button->SetCursor(forms::crArrow);
    m_button->OnClick = [this](TObject*) { ToggleDropDown(); };
    m_button->SetParent(this);
    m_dropDown = new TDirTreeDropDown(this);
    m_dropDown->SetBounds(0, Top() + Height(), Width(), 240);
    m_dropDown->SetReadOnly(true);
    m_dropDown->SetParent(this);
    m_images = new forms::TImageList(this);
    m_images->SetShareImages(true);
    m_images->SetHandle(SystemSmallImages());
    m_images->SetBkColor(forms::clNone);
    m_dropDown->SetImages(m_images);
}

TDirTreeCombo::~TDirTreeCombo() {
    if (m_fileList && m_fileList->m_combo == this) m_fileList->m_combo = nullptr;
    if (m_dropDown->HandleAllocated() && GetCapture() == m_dropDown->Handle()) ReleaseCapture();
}

void TDirTreeCombo::CreateParams(forms::TCreateParams& p) {
    TCustomEdit::CreateParams(p);
    // Multi-line, so that the text's rectangle can leave room for the icon
    // and the button.
    p.style |= ES_MULTILINE | WS_CLIPCHILDREN;
    p.style &= ~(ES_AUTOHSCROLL | WS_HSCROLL | WS_VSCROLL);
}

void TDirTreeCombo::InitializeWnd() {
    TCustomEdit::InitializeWnd();
    const com::GdiBitmap arrow(LoadBitmapW(nullptr, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(OBM_COMBO))));
    if (arrow) {
        // A black arrow and bar on white; one white row more below, since
        // the button takes the bottom-left pixel's colour for transparent.
        BITMAP info{};
        GetObjectW(arrow.Get(), sizeof info, &info);
        forms::TBitmap glyph(info.bmWidth, info.bmHeight + 1);
        const HDC target = glyph.Canvas().Handle();
        PatBlt(target, 0, 0, info.bmWidth, info.bmHeight + 1, WHITENESS);
        SetTextColor(target, RGB(0, 0, 0));
        SetBkColor(target, RGB(255, 255, 255));
        {
            const com::MemoryDc source;
            const com::SelectedObject selected(source.Get(), arrow.Get());
            BitBlt(target, 0, 0, info.bmWidth, info.bmHeight, source.Get(), 0, 0, SRCCOPY);
        }
        m_button->SetGlyph(glyph);
        m_button->SetNumGlyphs(1);
    }
    m_button->SetBounds(Width() - m_button->Width() - 4, 0, 17, std::max(0, Height() - 4));
    BuildTree();
    SetFormattingRect();
}

void TDirTreeCombo::BuildTree() {
    TDirTreeDropDown& tree = *m_dropDown;
    tree.Items().BeginUpdate();
    TTreeNode* root = AddDirRoot(tree);
    AddDriveNodes(tree, root);
    tree.Items().EndUpdate();
    if (root && m_expandRoot) root->Expand(false);
    tree.SetEnabled(false);
    tree.SetVisible(false);
    if (!tree.Selected()) ShowNode(root);
}

void TDirTreeCombo::Rebuild() {
    m_dropDown->SetSelected(nullptr);
    m_dropDown->Items().BeginUpdate();
    TTreeNode* root = AddDirRoot(*m_dropDown);
    AddDriveNodes(*m_dropDown, root);
    m_dropDown->Items().EndUpdate();
}

void TDirTreeCombo::SetFormattingRect() {
    if (!HandleAllocated()) return;
    const bool icon = m_iconIndex >= 0 && m_iconIndex < m_images->Count();
    RECT r{icon ? 23 : 0, 0, ClientWidth() - m_button->Width() - 2, ClientHeight() + 1};
    SendMessageW(m_handle, EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
}

void TDirTreeCombo::SetBounds(int left, int top, int width, int height) {
    TCustomEdit::SetBounds(left, top, width, height);
    if (Parent() && m_button) {
        m_button->SetBounds(Width() - m_button->Width() - 4, 0, m_button->Width(), std::max(0, Height() - 4));
        SetFormattingRect();
    }
}

void TDirTreeCombo::SetGlyph(const forms::TBitmap& glyph) {
    if (!glyph.Empty()) m_button->SetGlyph(glyph);
}

void TDirTreeCombo::ShowNode(TTreeNode* node) {
    if (!node) return;
    m_iconIndex = node->SelectedIndex();
    SetText(node->Text());
    SetFormattingRect();
    Invalidate();
}

void TDirTreeCombo::SetSelectedPath(const String& path) {
    String& stored = m_dropDown->m_selectedPath;
    if (!forms::SameText(path, stored)) stored = path;
    if (m_fileList) m_fileList->SetDirectory(stored);
}

void TDirTreeCombo::SetFileList(TFileListView* list) {
    if (m_fileList && m_fileList != list && m_fileList->m_combo == this) m_fileList->m_combo = nullptr;
    m_fileList = list;
    if (!list) return;
    if (list->m_combo != this) {
        if (list->m_combo) list->m_combo->m_fileList = nullptr;
        list->m_combo = this;
    }
    if (!SelectedPath().empty()) {
        list->SetDirectory(SelectedPath());
        list->Refresh();
    }
}

void TDirTreeCombo::SetExpandRoot(bool on) {
    m_expandRoot = on;
    if (!on) return;
    if (TTreeNode* root = m_dropDown->Items().GetFirstNode()) root->Expand(false);
}

void TDirTreeCombo::Notification(TComponent* component, forms::TOperation operation) {
    TCustomEdit::Notification(component, operation);
    if (operation == forms::TOperation::opRemove && component == m_fileList) m_fileList = nullptr;
}

void TDirTreeCombo::OpenPath(const String& path) {
    if (path.size() <= 1 || !DirectoryExists(path)) return;
    const String target = IncludeTrailingSlash(path);
    TTreeNode* root = m_dropDown->Items().GetFirstNode();
    if (!root) return;
    m_dropDown->Items().BeginUpdate();
    TTreeNode* found = nullptr;
    try {
        if (root->Expanded()) root->Collapse(true);
        found = WalkDirPath(root, target);
    } catch (...) {
        m_dropDown->Items().EndUpdate();
        throw;
    }
    m_dropDown->Items().EndUpdate();
    if (!found) return;
    ShowNode(found);
    String& stored = m_dropDown->m_selectedPath;
    if (!forms::SameText(stored, target)) stored = target;
    if (OnPathChange) OnPathChange(this, stored);
}

void TDirTreeCombo::SelectRoot() {
    TTreeNode* root = m_dropDown->Items().GetFirstNode();
    if (!root) return;
    root->SetSelected(true);
    ShowNode(root);
    m_dropDown->m_lastPath = kDrives;
    SetSelectedPath(kDrives);
    if (OnPathChange) OnPathChange(this, SelectedPath());
}

// The drop-down's selection becomes the combo's folder. A click shows it
// in the edit at once; Enter only once a removable drive proved ready.
// False when it is such a drive that is not ready.
bool TDirTreeCombo::ChooseSelection(TObject* sender, bool showFirst) {
    TTreeNode* node = m_dropDown->Selected();
    if (!node) return false;
    const String path = node->Level() == 0 ? String(kDrives) : DirNodePath(node);
    m_dropDown->m_lastPath = path;
    SetSelectedPath(path);
    if (showFirst) ShowNode(node);
    if (OnPathChange) OnPathChange(sender, path);
    CloseDropDown();
    if (node->Level() == 1 && DriveTypeOf(path[0]) == DRIVE_REMOVABLE && !DriveReady(path[0], true)) return false;
    if (!showFirst) ShowNode(node);
    return true;
}

void TDirTreeCombo::ToggleDropDown() {
    TDirTreeDropDown& tree = *m_dropDown;
    tree.HandleNeeded();
    // Below the combo's bottom-left corner, or above it where the screen
    // ends first.
    RECT combo{};
    GetWindowRect(Handle(), &combo);
    int top = combo.bottom;
    if (GetSystemMetrics(SM_CYSCREEN) < top + tree.Height()) top = combo.top - tree.Height();
    tree.SetBounds(combo.left, top, Width(), tree.Height());
    if (tree.Enabled()) {
        CloseDropDown();
        return;
    }
    tree.SetEnabled(true);
    tree.SetVisible(true);
    SetWindowPos(tree.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    tree.m_mouseInside = false;
    SetCapture(tree.Handle());
    if (GetFocus() != tree.Handle()) ::SetFocus(tree.Handle());
}

void TDirTreeCombo::CloseDropDown() {
    TDirTreeDropDown& tree = *m_dropDown;
    if (!tree.HandleAllocated()) return;
    if (tree.Enabled() || tree.Visible()) {
        SetWindowPos(tree.Handle(), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        tree.SetEnabled(false);
        tree.SetVisible(false);
    }
    if (GetCapture() == tree.Handle()) ReleaseCapture();
    tree.m_mouseInside = false;
}

void TDirTreeCombo::KeyDown(WORD& key, forms::TShiftState shift) {
    TDirTreeDropDown& tree = *m_dropDown;
    TTreeNode* node = tree.Selected();
    switch (key) {
    case VK_RETURN: {
        if (!node) break;
        if (ChooseSelection(this, false)) {
            // Back to the edit once the tree is gone.
            if (HandleAllocated() && CanFocus()) ::SetFocus(m_handle);
        }
        break;
    }
    case VK_ESCAPE:
        if (tree.Enabled()) {
            CloseDropDown();
            if (HandleAllocated() && CanFocus()) ::SetFocus(m_handle);
        }
        break;
    case VK_LEFT:
        if (!node) break;
        if (node->Expanded()) node->Collapse(true);
        if (!node->Parent()) break;
        if (TTreeNode* prev = node->GetPrevVisible(); prev && prev != tree.Items().GetFirstNode())
            prev->SetSelected(true);
        break;
    case VK_UP:
        if (!node || !node->Parent()) break;
        if (TTreeNode* prev = node->GetPrevVisible()) prev->SetSelected(true);
        break;
    case VK_RIGHT:
        if (node) node->Expand(false);
        break;
    case VK_DOWN: {
        if (!node) break;
        TTreeNode* next = node->Expanded() ? node->GetFirstChild() : node->GetNextVisible();
        if (next) next->SetSelected(true);
        break;
    }
    case VK_F4:
        ToggleDropDown();
        break;
    default:
        TCustomEdit::KeyDown(key, shift);
        return;
    }
    TCustomEdit::KeyDown(key, shift);
    // The edit's own handling of these keys would move its caret only.
    if (key == VK_RETURN || key == VK_ESCAPE || key == VK_F4) key = 0;
}

void TDirTreeCombo::WndProc(forms::TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE:
        m.Result = DLGC_WANTALLKEYS | DLGC_WANTARROWS;
        return;
    case WM_RBUTTONUP:
        m.Result = 1;
        return;
    case WM_KILLFOCUS:
        // Closed when the focus goes anywhere but into the tree.
        if (reinterpret_cast<HWND>(m.WParam) != (m_dropDown->HandleAllocated() ? m_dropDown->Handle() : nullptr))
            CloseDropDown();
        break;
    case WM_PAINT: {
        TCustomEdit::WndProc(m);
        if (m_iconIndex >= 0 && m_iconIndex < m_images->Count()) {
            const com::WindowDc dc(m_handle);
            ImageList_Draw(m_images->Handle(), m_iconIndex, dc.Get(), 5, ClientHeight() / 2 - 8, ILD_TRANSPARENT);
        }
        return;
    }
    default:
        break;
    }
    TCustomEdit::WndProc(m);
}

}  // namespace shellbrowse
