// The explorer pane's components: the folder tree TDirTree, the file list
// TFileListView and the compact folder combo TDirTreeCombo with its
// drop-down tree. The tree (or the combo) and the list are linked both
// ways: choosing a folder in the tree shows it in the list, and moving
// between folders in the list opens them in the tree.
//
// "Drives" stands for the drive list: it is the tree's SelectedPath when
// its root is selected and the list's Directory in the drive view.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "framework/forms/Buttons.h"
#include "framework/forms/ComCtrls.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/ImgList.h"
#include "framework/forms/Menus.h"
#include "framework/forms/StdCtrls.h"
#include "shellbrowse/CommandRules.h"
#include "shellbrowse/FileListRules.h"
#include "shellbrowse/ShellRoutines.h"
#include "shellbrowse/ShellText.h"

namespace shellbrowse {

using forms::TComponent;
using forms::TObject;
using forms::TTreeNode;

extern const char16_t* const kDrives;  // "Drives"

class TFileListView;
class TDirTreeCombo;
class TDirTree;
class TFileListPopup;

using TDirChangeEvent = std::function<void(TObject* sender, const String& selectedPath)>;
using TFileChangeEvent = std::function<void(TObject* sender, const String& selectedFile)>;
using TPathChangeEvent = std::function<void(TObject* sender, const String& selectedPath)>;
using TSelItemChangeEvent = std::function<void(TObject* sender, const String& selectedItem)>;

// ---- Folder tree ---------------------------------------------------------------------

// The folder tree's context menu: new folder, rename, delete, cut, copy,
// paste, tree size, folder contents, network drives and properties, each
// enabled for the levels it makes sense on.
class TDirTreePopup : public forms::TPopupMenu {
public:
    FORMS_CLASS(TDirTreePopup)
    explicit TDirTreePopup(TDirTree* tree);
    ~TDirTreePopup() override;

    // The items' enabled states for the tree's selection.
    void UpdateStates();
    // An item by its name ("AddNode", "DelNode"...), or nullptr.
    forms::TMenuItem* ItemNamed(const String& name) const;
    // Shown 10 pixels right of and below the point.
    void Popup(int x, int y) override;

private:
    void ItemClick(TObject* sender);
    TDirTree* m_tree;
    HBITMAP m_bitmaps[11] = {};
};

// The files of one folder in a small window over the folder tree: a
// double click opens a file, OK chooses the selected one.
class TFolderContents : public forms::TForm {
public:
    FORMS_CLASS(TFolderContents)
    TFolderContents(TDirTree* tree, const String& folder, const String& title);

    forms::TListView* List() const { return m_list; }
    forms::TButton* OkButton() const { return m_ok; }
    const String& Folder() const { return m_folder; }
    // Fills the tree's client area.
    void FitToTree();

protected:
    void CreateParams(forms::TCreateParams& params) override;

private:
    void ListDblClick();
    void OkClick();
    TDirTree* m_tree;
    String m_folder;
    forms::TListView* m_list;
    forms::TImageList* m_images;
    forms::TButton* m_ok;
};

// One root for the computer's drives, a node per drive, folder nodes below
// filled when first expanded. A node's path: empty for the root, "C:\" for
// a drive, "C:\Windows" below it (no trailing backslash).
class TDirTree : public forms::TCustomTreeView {
public:
    FORMS_CLASS(TDirTree)
    explicit TDirTree(TComponent* owner);
    ~TDirTree() override;

    TFileListView* FileList() const { return m_fileList; }
    // Links the list (both ways) and shows SelectedPath in it.
    void SetFileList(TFileListView* list);
    bool PopUpMenuEnabled() const { return m_popUpMenuEnabled; }
    void SetPopUpMenuEnabled(bool on);
    // The selected folder, or "Drives" for the root. Writing stores the
    // value when it differs ignoring case; the selection does not move.
    const String& SelectedPath() const { return m_selectedPath; }
    void SetSelectedPath(const String& path);
    const String& SelectedFile() const { return m_selectedFile; }
    void SetSelectedFile(const String& file);
    String About() const { return u"Version 2.1.7.0"; }
    void SetAbout(const String&) {}

    // Fired when a folder is selected or opened.
    TDirChangeEvent OnDirChange;
    TFileChangeEvent OnFileChange;

    // Selects and expands the folder's nodes from the drive down; fires
    // OnDirChange. Paths that do not exist, and paths with a part the tree
    // has no node for, change nothing else. The list is not told.
    void OpenPath(const String& path);
    String GetNodePath(TTreeNode* node) const;
    // The root and the drives anew; folders are read again when expanded.
    void Rebuild();
    // Selects the root as a click on it does: SelectedPath "Drives" and
    // OnDirChange (the list is not told).
    void SelectRoot();

    // ---- Folder commands (the context menu's) ----
    TDirTreePopup* Popup() const { return m_popup; }
    // Makes a folder in the node's folder (the selection's without a node)
    // and opens it; an empty name makes "New Folder", whose label is then
    // edited so that the user names it. False when nothing was made.
    bool NewFolder(TTreeNode* node, const String& name);
    // Starts editing the selection's label (the rename follows in Edit).
    void EditSelected();
    // Deletes the node's folder to the recycle bin (not a drive or the root).
    bool DeleteFolder(TTreeNode* node);
    // Remembers the selected folder for a paste: FO_MOVE (cut) or FO_COPY.
    void MarkForPaste(UINT operation);
    bool PastePending() const { return m_pastePending; }
    const String& PasteSource() const { return m_pasteSource; }
    // Moves or copies the remembered folder into the selected one.
    void PasteFolder();
    // The bytes of every file in the selected folder and all its
    // sub-folders (linked folders are not followed), told in a box.
    std::uint64_t ShowTreeSize();
    // The selected folder's files in a window over the tree.
    void ShowFolderFiles();
    TFolderContents* FolderContents() const { return m_contents; }
    void MapNetworkDrive();
    void DisconnectNetworkDrive();
    // The properties of the selected folder or drive.
    void ShowSelectedProperties();

protected:
    void CreateWnd() override;
    void Loaded() override;
    void MouseDown(forms::TMouseButton button, forms::TShiftState shift, int x, int y) override;
    void KeyUp(WORD& key, forms::TShiftState shift) override;
    bool CanEdit(TTreeNode* node) override;
    void Edit(TTreeNode* node, String& text) override;
    void WndProc(forms::TMessage& message) override;
    void Notification(TComponent* component, forms::TOperation operation) override;

private:
    friend class TFileListView;
    friend class TFolderContents;
    void BuildRootAndDrives();
    void ContentsClosed(const String& chosenFile);
    // The list shows folder (read again when it shows it already).
    void ShowInList(const String& folder);
    bool IsEditing();
    // The selection was chosen by the user: SelectedPath, the readiness of
    // a removable drive, OnDirChange and the list.
    void SelectionChosen();

    TFileListView* m_fileList = nullptr;
    forms::TImageList* m_images;
    TDirTreePopup* m_popup = nullptr;  // the folder commands' menu
    bool m_popUpMenuEnabled = true;
    bool m_newFolder = false;  // a just-made "New Folder" is being named: no confirmation
    bool m_rightChosen = false;  // a right press chose the selected node: the list follows at the menu
    String m_pasteSource;
    UINT m_pasteOperation = 0;
    bool m_pastePending = false;
    TFolderContents* m_contents = nullptr;
    String m_selectedPath;
    String m_selectedFile;
};

// ---- File list -----------------------------------------------------------------------

enum class TFileAttr { ftReadOnly, ftHidden, ftSystem, ftArchive, ftNormal };
// A set of TFileAttr, one bit each (1 << attr).
using TFileType = unsigned;
constexpr TFileType FileTypeOf(TFileAttr a) { return 1u << static_cast<unsigned>(a); }
// The attribute bits a listing filters with.
std::uint32_t FilterBits(TFileType type);

// The file list's context menu: open, view, send to (any folder, the
// clipboard, a desktop shortcut, the user's SendTo entries), cut, copy,
// paste, rename, delete, properties and new folder.
class TFileListPopup : public forms::TPopupMenu {
public:
    FORMS_CLASS(TFileListPopup)
    explicit TFileListPopup(TFileListView* list);
    ~TFileListPopup() override;

    // The items' enabled states for the list's selection.
    void UpdateStates();
    // An item by its name ("ItemOpen", "Send_To2"...), submenu included.
    forms::TMenuItem* ItemNamed(const String& name) const;
    // The SendTo entries' full paths, in menu order.
    const std::vector<String>& SendToPaths() const { return m_sendToPaths; }
    // Shown 10 pixels right of and below the point.
    void Popup(int x, int y) override;

private:
    void AddSendToEntries(forms::TMenuItem* sendTo);
    void ItemClick(TObject* sender);
    TFileListView* m_list;
    HBITMAP m_bitmaps[13] = {};
    std::vector<HBITMAP> m_iconBitmaps;  // the SendTo entries' icons
    std::vector<String> m_sendToPaths;
};

// "Send to any folder": a path typed or browsed for.
class TSendToPathDialog : public forms::TForm {
public:
    FORMS_CLASS(TSendToPathDialog)
    TSendToPathDialog(TComponent* owner, const String& path);
    forms::TEdit* PathEdit() const { return m_edit; }

    // The dialog, modal: the path chosen, or empty. Browse asks the shell's
    // folder browser and offers its choice in a new dialog.
    static String Execute(const String& path);

private:
    forms::TEdit* m_edit;
};

// The drive list ("Drives") or one folder's entries, in report view with
// the shell's icons; every item carries its facts in the layout of
// FileListRules.h. Sorts itself by header clicks; Enter, double clicks and
// Backspace move between folders, and a linked tree or combo follows.
class TFileListView : public forms::TCustomListView {
public:
    FORMS_CLASS(TFileListView)
    explicit TFileListView(TComponent* owner);
    ~TFileListView() override;

    int ColWidth_Name() const { return m_colWidths[0]; }
    int ColWidth_Size() const { return m_colWidths[1]; }
    int ColWidth_Type() const { return m_colWidths[2]; }
    int ColWidth_Mod() const { return m_colWidths[3]; }
    int ColWidth_Attr() const { return m_colWidths[4]; }
    // Used the next time the folder columns are built.
    void SetColWidth_Name(int w) { m_colWidths[0] = w; }
    void SetColWidth_Size(int w) { m_colWidths[1] = w; }
    void SetColWidth_Type(int w) { m_colWidths[2] = w; }
    void SetColWidth_Mod(int w) { m_colWidths[3] = w; }
    void SetColWidth_Attr(int w) { m_colWidths[4] = w; }
    TDtFormat DateFormat() const { return m_dateFormat; }
    virtual void SetDateFormat(TDtFormat format);
    TTmFormat TimeFormat() const { return m_timeFormat; }
    virtual void SetTimeFormat(TTmFormat format);
    const String& DatePatternText() const { return m_datePattern; }
    const String& TimePatternText() const { return m_timePattern; }
    // Captions lose their extension from the next refresh on.
    bool HideFileExt() const { return m_hideFileExt; }
    void SetHideFileExt(bool on) { m_hideFileExt = on; }
    // The shown folder with a trailing backslash, or "Drives".
    const String& Directory() const { return m_directory; }
    // "drives" in any case shows the drive list; an existing folder is
    // shown and becomes the process's current directory; anything else
    // is ignored.
    void SetDirectory(const String& folder);
    TDirTreeCombo* DirTreeCombo() const { return m_combo; }
    void SetDirTreeCombo(TDirTreeCombo* combo);
    TDirTree* DirTree() const { return m_dirTree; }
    void SetDirTree(TDirTree* tree);
    // Free space in KB of the shown folder's drive.
    std::int64_t DriveFreeSpace() const;
    bool DblClickToOpen() const { return m_dblClickToOpen; }
    void SetDblClickToOpen(bool on) { m_dblClickToOpen = on; }
    TFileType FileType() const { return m_fileType; }
    void SetFileType(TFileType type);
    const String& Mask() const { return m_mask; }
    void SetMask(const String& mask);
    bool PopUpMenuEnabled() const { return m_popUpMenuEnabled; }
    void SetPopUpMenuEnabled(bool on);
    // The full path of the item last clicked.
    const String& SelectedItem() const { return m_selectedItem; }
    void SetSelectedItem(const String& item);
    // Selected items, or all items when none is selected.
    int SelectedNumber();
    // Bytes of the selected entries (0 without a selection).
    std::uint64_t SelectedSize();
    // Bytes of the entries listed by the last refresh.
    std::uint64_t TotalSize() const { return m_totalSize; }
    bool ShowFolders() const { return m_showFolders; }
    void SetShowFolders(bool on);
    String About() const { return u"Version 2.8.7.0"; }
    void SetAbout(const String&) {}
    bool ParentDirEnabled() const { return m_parentDirEnabled; }
    void SetParentDirEnabled(bool on) { m_parentDirEnabled = on; }

    int SortColumn() const { return m_sort.SortColumn(); }
    bool SortReverse() const { return m_sort.SortReverse(); }
    bool ColumnSortEnabled() const { return m_sort.Enabled(); }
    // The arrow bitmap the column's header shows (nullptr: none).
    HBITMAP HeaderArrow(int column);

    TSelItemChangeEvent OnItemChange;

    // Lists the drives or the folder anew, sorted by name.
    void Refresh();
    // Opens the selected item: a file with the shell, a folder or drive
    // in the list (with the tree and combo following), " Parent" goes up.
    void OpenSelected();
    // The parent folder, or the drive list from a drive root.
    void GoUp();
    // After the file system changed: the list anew, then the combo or the
    // tree rebuilt and opened at the shown folder.
    void Resync();

    // ---- File commands (the context menu's and the keys') ----
    // The file operations never take the parent entry or a drive: with one
    // of them selected they refuse and say so.
    TFileListPopup* Popup() const { return m_popup; }
    // The full paths of the selected items.
    std::vector<String> SelectedPaths();
    // Whether every selected item may be cut, copied, deleted, renamed or
    // sent (a selection holding " Parent" or a drive may not).
    bool SelectionOperable();
    void CutSelected() { MarkSelected(FO_MOVE); }
    void CopySelected() { MarkSelected(FO_COPY); }
    // The list's own clipboard: full paths, each ending in NUL, and the
    // operation a paste runs (FO_COPY, FO_MOVE; -1 while being filled).
    const std::vector<String>& ClipboardList() const { return m_clipboard; }
    int ClipboardMode() const { return m_clipboardMode; }
    void Paste();
    void DeleteSelected();
    // Starts editing the selected item's caption (the rename follows).
    void RenameSelected();
    // "New Folder" (or "New Folder(2)"...) in the shown folder, its
    // caption then edited.
    void NewFolder();
    // The selected file in its viewer (by extension).
    void ViewSelected();
    void ShowSelectedProperties();
    void SendToFolder(const String& target);
    void SendToRemovable(const String& target);
    void SendToAnyFolder();
    void SendToEntry(const String& entryPath);
    void ClipboardAsContents();
    void ClipboardAsFileNames();
    // A shortcut to the selected item on the user's desktop; its full path
    // (empty when none was made).
    String DesktopShortcut();

protected:
    void CreateWnd() override;
    void WndProc(forms::TMessage& message) override;
    void Notification(TComponent* component, forms::TOperation operation) override;
    void Click() override;
    void DblClick() override;
    void KeyDown(WORD& key, forms::TShiftState shift) override;
    void KeyUp(WORD& key, forms::TShiftState shift) override;
    bool CanEdit(forms::TListItem* item) override;
    void Edited(forms::TListItem* item, String& text) override;

private:
    friend class TDirTree;
    friend class TDirTreeCombo;
    friend class TFileListPopup;
    void MarkSelected(UINT mode);
    // Refuses (with a beep and a message) a selection that holds the
    // parent entry or a drive; verb says what was refused.
    bool RefuseInoperable(const char16_t* verb);
    bool MakeDirectoryCurrent();
    // Copies the set into target (clipboard list as the work list).
    void CopyInto(const String& target, UINT operation, const std::vector<String>& sources);
    void ResyncFolder(const String& folder);
    // Posted after a rename: the list is read again once the control has
    // let go of the renamed item. wParam: a folder was renamed.
    static constexpr UINT kRenamedMessage = WM_APP + 0x122;
    void BuildFolderColumns();
    void BuildDriveColumns();
    void AddDriveItems();
    bool ListPattern(const String& pattern, std::uint32_t filterBits);
    void SortByName();
    void ColumnClick(int column);
    void ShowHeaderArrows();
    int CompareItems(forms::TListItem* a, forms::TListItem* b);
    void OpenFolderEverywhere(const String& path);
    struct TShellFacts {
        String typeName;
        int icon = -1;
    };
    TShellFacts ShellFactsOf(const String& path, std::uint32_t attributes);

    int m_colWidths[5] = {165, 75, 95, 125, 40};
    TDtFormat m_dateFormat = TDtFormat::df_Customize;
    TTmFormat m_timeFormat = TTmFormat::tfShortFormat;
    String m_datePattern;
    String m_timePattern;
    bool m_hideFileExt = false;
    String m_directory = u"Drives";
    TDirTreeCombo* m_combo = nullptr;
    TDirTree* m_dirTree = nullptr;
    bool m_dblClickToOpen = true;
    TFileType m_fileType;
    String m_mask = u"*.*";
    bool m_popUpMenuEnabled = true;
    TFileListPopup* m_popup = nullptr;  // the file commands' menu
    std::vector<String> m_clipboard;
    int m_clipboardMode = -1;
    String m_renameSource;
    String m_selectedItem;
    bool m_showFolders = true;
    bool m_parentDirEnabled = true;
    std::uint64_t m_totalSize = 0;
    TSortState m_sort;
    HBITMAP m_arrowUp = nullptr;
    HBITMAP m_arrowDown = nullptr;
    forms::TImageList* m_smallImages;
    forms::TImageList* m_largeImages;
    std::map<String, TShellFacts> m_shellFacts;  // of one listing, by extension
};

// ---- Folder combo --------------------------------------------------------------------

// The combo's drop button; like the combo, it keeps right clicks to itself.
class TDropSpeedButton : public forms::TSpeedButton {
public:
    FORMS_CLASS(TDropSpeedButton)
    using TSpeedButton::TSpeedButton;

protected:
    void WndProc(forms::TMessage& message) override;
};

// The combo's folder tree: a top-level window over everything while it is
// open, holding the mouse so that a click elsewhere closes it.
class TDirTreeDropDown : public forms::TCustomTreeView {
public:
    FORMS_CLASS(TDirTreeDropDown)
    explicit TDirTreeDropDown(TComponent* owner);

    TDirTreeCombo* Combo() const;
    // The node path last computed ("Drives" for the root).
    const String& LastPath() const { return m_lastPath; }
    bool IsOpen() const { return Enabled() && Visible(); }

protected:
    void CreateParams(forms::TCreateParams& params) override;
    void WndProc(forms::TMessage& message) override;
    bool CanExpand(TTreeNode* node) override;
    void KeyDown(WORD& key, forms::TShiftState shift) override;

private:
    friend class TDirTreeCombo;
    void ItemClicked(int x, int y);
    bool m_mouseInside = false;
    String m_lastPath;
    String m_selectedPath;
};

// A read-only edit showing the selected folder's icon and label, with a
// drop button that opens a drop-down folder tree.
class TDirTreeCombo : public forms::TCustomEdit {
public:
    FORMS_CLASS(TDirTreeCombo)
    explicit TDirTreeCombo(TComponent* owner);
    ~TDirTreeCombo() override;

    const String& SelectedPath() const { return m_dropDown->m_selectedPath; }
    // Stores the path when it differs ignoring case; the linked list shows
    // it either way.
    void SetSelectedPath(const String& path);
    TFileListView* FileList() const { return m_fileList; }
    void SetFileList(TFileListView* list);
    bool ExpandRoot() const { return m_expandRoot; }
    void SetExpandRoot(bool on);
    bool HideSelection() const { return m_dropDown->HideSelection(); }
    void SetHideSelection(bool on) { m_dropDown->SetHideSelection(on); }
    int TreeHeight() const { return m_dropDown->Height(); }
    void SetTreeHeight(int height) { m_dropDown->SetHeight(height); }
    String About() const { return u"Version 2.8.7.0"; }
    void SetAbout(const String&) {}
    forms::TBitmap& Glyph() { return m_button->Glyph(); }
    void SetGlyph(const forms::TBitmap& glyph);
    TDirTreeDropDown* DropDown() const { return m_dropDown; }
    TDropSpeedButton* DropButton() const { return m_button; }
    // The system small-icon index shown before the text, -1 for none.
    int IconIndex() const { return m_iconIndex; }

    TPathChangeEvent OnPathChange;

    // As the folder tree's OpenPath, then the edit shows the folder and
    // OnPathChange fires.
    void OpenPath(const String& path);
    void Rebuild();
    // Selects the drive list's root, shows it and fires OnPathChange.
    void SelectRoot();
    // Opens or closes the drop-down tree below (or above) the edit.
    void ToggleDropDown();
    void CloseDropDown();
    void SetBounds(int left, int top, int width, int height) override;

protected:
    void CreateParams(forms::TCreateParams& params) override;
    void InitializeWnd() override;
    void WndProc(forms::TMessage& message) override;
    void KeyDown(WORD& key, forms::TShiftState shift) override;
    void Notification(TComponent* component, forms::TOperation operation) override;

private:
    friend class TDirTreeDropDown;
    friend class TFileListView;
    void SetFormattingRect();
    void ShowNode(TTreeNode* node);
    void BuildTree();
    bool ChooseSelection(TObject* sender, bool showFirst);

    TDropSpeedButton* m_button;
    TDirTreeDropDown* m_dropDown;
    forms::TImageList* m_images;
    TFileListView* m_fileList = nullptr;
    bool m_expandRoot = true;
    int m_iconIndex = -1;
};

}  // namespace shellbrowse
