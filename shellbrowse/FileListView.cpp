#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "shellbrowse/ShellExplorer.h"

namespace shellbrowse {

using forms::TListItem;

std::uint32_t FilterBits(TFileType type) {
    std::uint32_t bits = 0;
    if (type & FileTypeOf(TFileAttr::ftReadOnly)) bits |= kAttrReadOnly;
    if (type & FileTypeOf(TFileAttr::ftHidden)) bits |= kAttrHidden;
    if (type & FileTypeOf(TFileAttr::ftSystem)) bits |= kAttrSystem;
    if (type & FileTypeOf(TFileAttr::ftArchive)) bits |= kAttrArchive;
    if (type & FileTypeOf(TFileAttr::ftNormal)) bits |= kAttrNormal;
    return bits;
}

namespace {

String LocaleText(LCTYPE type, const char16_t* fallback) {
    WCHAR text[80] = {};
    return GetLocaleInfoW(GetThreadLocale(), type, text, 80) > 1 ? com::U16(text) : String(fallback);
}

std::uint64_t FileTime64(const FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

// A list item's texts, as the comparison reads them.
class ItemTexts final : public IItemTexts {
public:
    explicit ItemTexts(TListItem* item) : m_item(item) {}
    const String& Caption() const override { return m_item->Caption(); }
    String SubItem(int index) const override {
        forms::TStrings& subs = m_item->SubItems();
        return index >= 0 && index < subs.Count() ? subs[index] : String();
    }

private:
    TListItem* m_item;
};

String SubItemOf(TListItem* item, int index) {
    forms::TStrings& subs = item->SubItems();
    return index >= 0 && index < subs.Count() ? subs[index] : String();
}

HBITMAP LoadArrow(const WCHAR* name) {
    return static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), name, IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

}  // namespace

TFileListView::TFileListView(TComponent* owner)
    : TCustomListView(owner),
      m_fileType(FileTypeOf(TFileAttr::ftReadOnly) | FileTypeOf(TFileAttr::ftHidden) |
                 FileTypeOf(TFileAttr::ftSystem) | FileTypeOf(TFileAttr::ftArchive)) {
    SetMultiSelect(true);
    SetReadOnly(false);
    SetHideSelection(false);
    SetViewStyle(forms::TViewStyle::vsReport);
    SetShowColumnHeaders(true);
    m_largeImages = new forms::TImageList(this);
    m_largeImages->SetShareImages(true);
    m_largeImages->SetHandle(SystemLargeImages());
    m_largeImages->SetBkColor(forms::clNone);
    m_smallImages = new forms::TImageList(this);
    m_smallImages->SetShareImages(true);
    m_smallImages->SetHandle(SystemSmallImages());
    m_smallImages->SetBkColor(forms::clNone);
    SetLargeImages(m_largeImages);
    SetSmallImages(m_smallImages);
    SetDateFormat(m_dateFormat);
    SetTimeFormat(m_timeFormat);
    OnColumnClick = [this](TObject*, forms::TListColumn* column) { ColumnClick(column->Index()); };
    OnCompare = [this](TObject*, TListItem* a, TListItem* b, int, int& result) { result = CompareItems(a, b); };
    m_arrowUp = LoadArrow(L"Bmp_Up28");
    m_arrowDown = LoadArrow(L"Bmp_Down28");
    m_popup = new TFileListPopup(this);
    SetPopupMenu(m_popup);
}

TFileListView::~TFileListView() {
    if (m_dirTree && m_dirTree->m_fileList == this) m_dirTree->m_fileList = nullptr;
    if (m_combo && m_combo->m_fileList == this) m_combo->m_fileList = nullptr;
    // The header must not draw a bitmap that is gone.
    DestroyHandle();
    if (m_arrowUp) DeleteObject(m_arrowUp);
    if (m_arrowDown) DeleteObject(m_arrowDown);
}

void TFileListView::CreateWnd() {
    TCustomListView::CreateWnd();
    if (!(ComponentState() & forms::csLoading) && ColumnCount() == 0) BuildFolderColumns();
}

void TFileListView::WndProc(forms::TMessage& m) {
    // Enter, Escape and Backspace are the list's own keys, not the form's.
    if (m.Msg == WM_GETDLGCODE) {
        m.Result = DLGC_WANTALLKEYS | DLGC_WANTARROWS | DLGC_WANTCHARS;
        return;
    }
    if (m.Msg == kRenamedMessage) {
        Refresh();
        if (m.WParam) ResyncFolder(m_directory);
        return;
    }
    TCustomListView::WndProc(m);
}

void TFileListView::Notification(TComponent* component, forms::TOperation operation) {
    TCustomListView::Notification(component, operation);
    if (operation != forms::TOperation::opRemove) return;
    if (component == m_dirTree) m_dirTree = nullptr;
    if (component == m_combo) m_combo = nullptr;
    if (component == m_popup) m_popup = nullptr;
}

// ---- Properties ------------------------------------------------------------------------

void TFileListView::SetDateFormat(TDtFormat format) {
    m_dateFormat = format;
    m_datePattern = DatePattern(format, LocaleText(LOCALE_SSHORTDATE, u"M/d/yyyy"));
}

void TFileListView::SetTimeFormat(TTmFormat format) {
    m_timeFormat = format;
    m_timePattern = TimePattern(format, forms::FormatSettings(), LocaleText(LOCALE_STIMEFORMAT, u"h:mm:ss tt"));
}

void TFileListView::SetDirectory(const String& folder) {
    if (forms::SameText(folder, m_directory)) return;
    if (forms::UpperCase(folder) == u"DRIVES") {
        m_directory = folder;
        Refresh();
    } else if (!folder.empty() && DirectoryExists(folder)) {
        const String shown = IncludeTrailingSlash(folder);
        SetCurrentDirectoryW(com::W(shown));
        m_directory = shown;
        Refresh();
    }
}

void TFileListView::SetDirTree(TDirTree* tree) {
    if (tree == m_dirTree) return;
    if (m_dirTree) {
        TDirTree* old = m_dirTree;
        m_dirTree = nullptr;
        old->SetFileList(nullptr);
    }
    m_dirTree = tree;
    if (tree) tree->SetFileList(this);
}

void TFileListView::SetDirTreeCombo(TDirTreeCombo* combo) {
    if (combo == m_combo) return;
    if (m_combo) {
        TDirTreeCombo* old = m_combo;
        m_combo = nullptr;
        old->SetFileList(nullptr);
    }
    m_combo = combo;
    if (combo) combo->SetFileList(this);
}

std::int64_t TFileListView::DriveFreeSpace() const { return DriveFreeKB(m_directory); }

void TFileListView::SetFileType(TFileType type) {
    if (type == m_fileType) return;
    m_fileType = type;
    Refresh();
}

void TFileListView::SetMask(const String& mask) {
    if (mask == m_mask) return;
    m_mask = mask;
    Refresh();
}

void TFileListView::SetShowFolders(bool on) {
    if (on == m_showFolders) return;
    m_showFolders = on;
    Refresh();
}

void TFileListView::SetPopUpMenuEnabled(bool on) {
    m_popUpMenuEnabled = on;
    SetPopupMenu(on ? m_popup : nullptr);
    if (!on && HandleAllocated() && GetCapture() == Handle()) ReleaseCapture();
}

void TFileListView::SetSelectedItem(const String& item) {
    if (item != m_selectedItem) m_selectedItem = item;
}

int TFileListView::SelectedNumber() {
    const int selected = SelCount();
    return selected > 0 ? selected : Items().Count();
}

std::uint64_t TFileListView::SelectedSize() {
    if (SelCount() == 0) return 0;
    std::uint64_t total = 0;
    for (int i = 0; i < Items().Count(); ++i) {
        TListItem* item = Items()[i];
        if (!item->Selected()) continue;
        // By the full path: a caption without its extension names nothing.
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileW(com::W(SubItemOf(item, kSubPath)), &data);
        if (find == INVALID_HANDLE_VALUE) continue;
        FindClose(find);
        total += (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return total;
}

// ---- Listing ---------------------------------------------------------------------------

void TFileListView::BuildFolderColumns() {
    ClearColumns();
    static const char16_t* const kCaptions[] = {u"Name", u"Size", u"Type", u"Modified", u"Attr"};
    for (int i = 0; i < 5; ++i) {
        forms::TListColumn* c = AddColumn(kCaptions[i], m_colWidths[i]);
        if (i == 1) c->SetAlignment(forms::TAlignment::taRightJustify);
    }
}

void TFileListView::BuildDriveColumns() {
    ClearColumns();
    AddColumn(u"Name", 160);
    AddColumn(u"Type", 110);
    AddColumn(u"Disk Size", 90)->SetAlignment(forms::TAlignment::taRightJustify);
    AddColumn(u"Free Space", 90)->SetAlignment(forms::TAlignment::taRightJustify);
    AddColumn(u"Attributes", 40);
}

void TFileListView::Refresh() {
    Items().BeginUpdate();
    THourGlass hourGlass;
    try {
        Items().Clear();
        m_totalSize = 0;
        m_shellFacts.clear();
        if (forms::UpperCase(m_directory) != u"DRIVES") {
            BuildFolderColumns();
            const std::uint32_t filter = FilterBits(m_fileType);
            const String folder = IncludeTrailingSlash(m_directory);
            if (m_showFolders) ListPattern(folder + u"*.*", filter | kAttrDirectory);
            for (const String& piece : SplitMask(m_mask)) ListPattern(folder + piece, filter);
        } else {
            BuildDriveColumns();
            AddDriveItems();
        }
        SortByName();
    } catch (...) {
        Items().EndUpdate();
        throw;
    }
    Items().EndUpdate();
    if (Items().Count() > 0 && SelCount() == 0) Items()[0]->SetSelected(true);
    if (forms::Application) forms::Application->ProcessMessages();
}

bool TFileListView::ListPattern(const String& pattern, std::uint32_t filterBits) {
    m_sort.SetEnabled(true);
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(com::W(pattern), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    const String folder = forms::ExtractFilePath(pattern);
    bool listed = false;
    do {
        TFindEntry entry;
        entry.name = com::U16(data.cFileName);
        entry.attributes = data.dwFileAttributes;
        entry.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        entry.lastWrite = FileTime64(data.ftLastWriteTime);
        if (!AcceptEntry(entry, filterBits, m_parentDirEnabled)) continue;
        TShellFacts facts;
        if (entry.name == u"..") {
            // The parent folder's own icon: fixed indexes of the system
            // list differ from run to run.
            const String parent = forms::ExtractFilePath(ExcludeTrailingSlash(folder));
            facts.icon = SmallIconIndex(parent.empty() ? folder : parent);
        } else {
            facts = ShellFactsOf(folder + entry.name, entry.attributes);
        }
        const TFileItem built =
            BuildFileItem(entry, folder, facts.typeName, facts.icon,
                          FileTimeText(data.ftLastWriteTime, m_datePattern, m_timePattern), m_hideFileExt);
        Items().Add(built.caption, built.imageIndex, built.subItems);
        m_totalSize += entry.size;
        listed = true;
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return listed;
}

// The shell's type name and icon of an entry. Asked by path, the shell
// reads the whole folder for each file (in Wine, milliseconds each in a
// large folder): files of one extension share the answer given for the
// first of them, except the types whose every file has an icon of its
// own; folders share the answer for a folder as such (the icon of a
// folder that has one of its own is not shown).
TFileListView::TShellFacts TFileListView::ShellFactsOf(const String& path, std::uint32_t attributes) {
    static const char16_t* const kOwnIcons[] = {u".exe", u".ico", u".lnk", u".cur", u".ani", u".pif", u".url"};
    const bool folder = (attributes & kAttrDirectory) != 0;
    const String ext = folder ? String(u"\\") : forms::LowerCase(forms::ExtractFileExt(path));
    const bool ownIcon = std::find(std::begin(kOwnIcons), std::end(kOwnIcons), ext) != std::end(kOwnIcons);
    if (!ownIcon) {
        const auto it = m_shellFacts.find(ext);
        if (it != m_shellFacts.end()) return it->second;
    }
    SHFILEINFOW info{};
    if (folder)
        SHGetFileInfoW(L"folder", FILE_ATTRIBUTE_DIRECTORY, &info, sizeof info,
                       SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_TYPENAME);
    else
        SHGetFileInfoW(com::W(path), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_TYPENAME);
    TShellFacts facts{com::U16(info.szTypeName), info.iIcon};
    if (!ownIcon) m_shellFacts[ext] = facts;
    return facts;
}

void TFileListView::AddDriveItems() {
    const DWORD drives = GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(drives & (1u << i))) continue;
        const char16_t letter = static_cast<char16_t>(u'A' + i);
        const String root = String(1, letter) + u":\\";
        TListItem* item = Items().Add();
        try {
            SHFILEINFOW info{};
            SHGetFileInfoW(com::W(root), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_TYPENAME);
            item->SetCaption(DriveCaption(letter, com::U16(info.szDisplayName)));
            if (SmallImages()) item->SetImageIndex(info.iIcon);
            const UINT type = DriveTypeOf(letter);
            // Removable and CD drives are never asked: no medium, no wait.
            const bool noQuery = type == DRIVE_REMOVABLE || type == DRIVE_CDROM;
            forms::TStrings& subs = item->SubItems();
            subs.BeginUpdate();
            subs.Add(DriveTypeText(type));
            subs.Add(DiskSizeText(noQuery ? 0 : DriveSizeKB(root)));
            subs.Add(DiskSizeText(noQuery ? 0 : DriveFreeKB(root)));
            subs.Add(String());
            subs.Add(root);
            subs.Add(u"drv");
            subs.EndUpdate();
        } catch (const forms::Exception&) {
            item->Delete();
        }
    }
    m_sort.SetEnabled(false);
}

// ---- Sorting ---------------------------------------------------------------------------

void TFileListView::SortByName() {
    m_sort.AfterRefresh();
    if (m_sort.Enabled()) {
        AlphaSort();
        ShowHeaderArrows();
    }
}

void TFileListView::ColumnClick(int column) {
    if (!m_sort.Click(column)) return;
    AlphaSort();
    ShowHeaderArrows();
}

int TFileListView::CompareItems(TListItem* a, TListItem* b) {
    return shellbrowse::CompareItems(ItemTexts(a), ItemTexts(b), m_sort.SortColumn(), m_sort.SortReverse(),
                                     &LocaleUpperCase);
}

HBITMAP TFileListView::HeaderArrow(int column) {
    if (!HandleAllocated()) return nullptr;
    HDITEMW item{};
    item.mask = HDI_FORMAT | HDI_BITMAP;
    if (!SendMessageW(HeaderHandle(), HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item)))
        return nullptr;
    return (item.fmt & HDF_BITMAP) ? item.hbm : nullptr;
}

void TFileListView::ShowHeaderArrows() {
    if (!HandleAllocated()) return;
    const HWND header = HeaderHandle();
    for (int i = 0; i < ColumnCount(); ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        item.mask = HDI_FORMAT | HDI_BITMAP;
        const TSortState::Arrow arrow = m_sort.ArrowOf(i);
        if (arrow == TSortState::Arrow::None) {
            item.fmt &= ~(HDF_BITMAP | HDF_BITMAP_ON_RIGHT);
            item.hbm = nullptr;
        } else {
            item.fmt |= HDF_BITMAP | HDF_BITMAP_ON_RIGHT;
            item.hbm = arrow == TSortState::Arrow::Up ? m_arrowUp : m_arrowDown;
        }
        SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
}

// ---- Navigation ------------------------------------------------------------------------

void TFileListView::Click() {
    if (TListItem* item = Selected()) {
        SetSelectedItem(SubItemOf(item, kSubPath));
        if (OnItemChange) OnItemChange(this, m_selectedItem);
    }
    TCustomListView::Click();
}

void TFileListView::KeyUp(WORD& key, forms::TShiftState shift) {
    TCustomListView::KeyUp(key, shift);
    if (key == VK_UP || key == VK_DOWN) Click();
}

void TFileListView::DblClick() {
    TListItem* item = Selected();
    if (!item || item->Caption().empty()) return;
    if (m_dblClickToOpen) {
        OpenSelected();
        return;
    }
    if (item->Caption() == kParentCaption) GoUp();
    else TCustomListView::DblClick();
}

void TFileListView::KeyDown(WORD& key, forms::TShiftState shift) {
    const forms::TShiftState modifiers = shift & (forms::ssShift | forms::ssAlt | forms::ssCtrl);
    if (modifiers == forms::ssCtrl) {
        switch (key) {
        case 'A': SelectAll(); break;
        case 'C':
            if (Selected()) CopySelected();
            break;
        case 'F':
            if (Selected()) ViewSelected();
            break;
        case 'N':
            if (forms::UpperCase(m_directory) != u"DRIVES") NewFolder();
            break;
        case 'O':
            if (Selected()) OpenSelected();
            break;
        case 'V':
            if (!m_clipboard.empty()) Paste();
            break;
        case 'X':
            if (Selected()) CutSelected();
            break;
        default: break;
        }
    } else if (modifiers == 0 && !IsEditing()) {
        switch (key) {
        case VK_BACK: GoUp(); break;
        case VK_RETURN:
            if (Selected()) OpenSelected();
            break;
        case VK_ESCAPE:
            if (m_combo && m_combo->DropDown()->Enabled()) m_combo->CloseDropDown();
            break;
        case VK_DELETE:
            if (Selected()) DeleteSelected();
            break;
        case VK_F2:
            if (Selected()) RenameSelected();
            break;
        case VK_F3:
            if (Focused()) ShellOpen(u"Find", m_directory, String(), String(), SW_SHOWNORMAL);
            break;
        case VK_F4:
            if (m_combo) {
                m_combo->ToggleDropDown();
                if (m_combo->DropDown()->Visible()) m_combo->DropDown()->SetFocus();
            }
            break;
        case VK_F5: Refresh(); break;
        default: break;
        }
    }
    TCustomListView::KeyDown(key, shift);
}

void TFileListView::OpenFolderEverywhere(const String& path) {
    SetDirectory(path);
    if (m_dirTree) m_dirTree->OpenPath(path);
    if (m_combo) m_combo->OpenPath(path);
}

void TFileListView::OpenSelected() {
    TListItem* item = Selected();
    if (!item) return;
    THourGlass hourGlass;
    if (item->Caption() == kParentCaption) {
        GoUp();
        return;
    }
    const String kind = SubItemOf(item, kSubKind);
    const String full = SubItemOf(item, kSubPath);
    if (kind == u"file") {
        ShellOpen(u"Open", full, String(), forms::ExtractFilePath(full), SW_SHOW);
    } else if (kind == u"dir" || kind == u"drv") {
        const String path = IncludeTrailingSlash(full);
        if (kind == u"drv" && !path.empty() && DriveTypeOf(path[0]) == DRIVE_REMOVABLE && !DriveReady(path[0], true))
            return;
        OpenFolderEverywhere(path);
    }
}

void TFileListView::GoUp() {
    if (forms::UpperCase(m_directory) == u"DRIVES") return;
    const String shown = IncludeTrailingSlash(m_directory);
    if (shown.size() >= 2 && shown[shown.size() - 2] == u':') {
        // A drive root: the drive list, with the tree and the combo on
        // their roots as a click there would leave them.
        if (m_combo) m_combo->SelectRoot();
        if (m_dirTree) m_dirTree->SelectRoot();
        SetDirectory(kDrives);
        return;
    }
    const String parent = forms::ExtractFilePath(ExcludeTrailingSlash(shown));
    OpenFolderEverywhere(parent);
}

void TFileListView::Resync() {
    Refresh();
    const String folder = m_directory;
    if (m_combo) {
        m_combo->Rebuild();
        m_combo->OpenPath(folder);
    } else if (m_dirTree) {
        m_dirTree->Rebuild();
        m_dirTree->OpenPath(folder);
    }
}

}  // namespace shellbrowse
