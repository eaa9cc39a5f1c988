// The file list's commands and its context menu.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlguid.h>

#include <cstring>
#include <memory>

#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/WinStreams.h"
#include "shellbrowse/ShellExplorer.h"

namespace shellbrowse {

using forms::TListItem;
using forms::TMenuItem;

namespace {

HBITMAP LoadMenuBitmap(const char16_t* name) {
    return static_cast<HBITMAP>(
        LoadImageW(GetModuleHandleW(nullptr), com::W(String(name)), IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS));
}

// A small system icon drawn on the menu's colour, for a menu item.
HBITMAP IconBitmap(int iconIndex) {
    const com::WindowDc screen(nullptr);
    const com::MemoryDc dc(screen.Get());
    com::GdiBitmap bitmap(CreateCompatibleBitmap(screen.Get(), 16, 16));
    if (!bitmap) return nullptr;
    {
        const com::SelectedObject selected(dc.Get(), bitmap.Get());
        RECT r{0, 0, 16, 16};
        FillRect(dc.Get(), &r, GetSysColorBrush(COLOR_MENU));
        ImageList_Draw(SystemSmallImages(), iconIndex, dc.Get(), 0, 0, ILD_TRANSPARENT);
    }
    return bitmap.Detach();
}

String SubItemOf(TListItem* item, int index) {
    forms::TStrings& subs = item->SubItems();
    return index >= 0 && index < subs.Count() ? subs[index] : String();
}

String WithoutNul(const String& s) {
    String bare = s;
    while (!bare.empty() && bare.back() == u'\0') bare.pop_back();
    return bare;
}

bool PathExists(const String& path) { return GetFileAttributesW(com::W(path)) != INVALID_FILE_ATTRIBUTES; }

String WindowsFolder() {
    WCHAR buffer[MAX_PATH] = {};
    GetWindowsDirectoryW(buffer, MAX_PATH);
    return com::U16(buffer);
}

String SystemFolder() {
    WCHAR buffer[MAX_PATH] = {};
    GetSystemDirectoryW(buffer, MAX_PATH);
    return com::U16(buffer);
}

String SpecialFolder(int csidl) {
    WCHAR buffer[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer))) return String();
    return com::U16(buffer);
}

// The target of a shortcut file, or empty.
String ResolveShortcut(const String& link) {
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return String();
    String target;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(com::W(link), STGM_READ))) {
            const HWND owner = forms::Application ? forms::Application->Handle() : nullptr;
            shellLink->Resolve(owner, SLR_ANY_MATCH | SLR_NO_UI);
            WCHAR buffer[MAX_PATH + 1] = {};
            if (SUCCEEDED(shellLink->GetPath(buffer, MAX_PATH, nullptr, 0))) target = com::U16(buffer);
        }
        file->Release();
    }
    shellLink->Release();
    return target;
}

// Puts text on the system clipboard.
bool SetClipboardText(HWND owner, const String& text) {
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    const size_t bytes = (text.size() + 1) * sizeof(char16_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    bool done = false;
    if (void* p = memory ? GlobalLock(memory) : nullptr) {
        std::memcpy(p, text.c_str(), bytes);
        GlobalUnlock(memory);
        done = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    }
    if (!done && memory) GlobalFree(memory);
    CloseClipboard();
    return done;
}

}  // namespace

// ---- The menu ----------------------------------------------------------------------------

TFileListPopup::TFileListPopup(TFileListView* list) : TPopupMenu(list), m_list(list) {
    static const char16_t* const kBitmaps[] = {u"Open28",   u"View28",       u"SendTo28",    u"Cut28",      u"Copy28",
                                               u"Paste28",  u"ReName28",     u"Delete28",    u"Attributes28",
                                               u"NewFolder28", u"AnyFolder28", u"ClipBoard28", u"DeskTop28"};
    for (int i = 0; i < 13; ++i) m_bitmaps[i] = LoadMenuBitmap(kBitmaps[i]);
    auto add = [this](TMenuItem* parent, const char16_t* name, const char16_t* caption, int tag, HBITMAP bitmap) {
        auto* item = new TMenuItem(this);
        item->SetName(name ? name : u"");
        item->SetCaption(caption);
        item->SetTag(tag);
        item->SetBitmap(bitmap);
        item->OnClick = [this](TObject* sender) { ItemClick(sender); };
        parent->Add(item);
        return item;
    };
    TMenuItem* root = Items();
    add(root, u"ItemOpen", u"&Open", 1, m_bitmaps[0]);
    add(root, u"ItemView", u"&View", 2, m_bitmaps[1]);
    add(root, nullptr, u"-", 0, nullptr);
    TMenuItem* send = add(root, u"SubMenuSend", u"Se&nd To", 3, m_bitmaps[2]);
    add(root, nullptr, u"-", 0, nullptr);
    add(root, u"ItemOpCut", u"Cu&t", 4, m_bitmaps[3]);
    add(root, u"ItemOpCopy", u"&Copy", 5, m_bitmaps[4]);
    add(root, u"ItemOpPaste", u"&Paste", 6, m_bitmaps[5]);
    add(root, nullptr, u"-", 0, nullptr);
    add(root, u"ItemRename", u"&Rename", 7, m_bitmaps[6]);
    add(root, u"ItemDelete", u"&Delete", 8, m_bitmaps[7]);
    add(root, nullptr, u"-", 0, nullptr);
    add(root, u"ItemProperty", u"&Properties", 9, m_bitmaps[8]);
    add(root, nullptr, u"-", 0, nullptr);
    add(root, u"ItemFolder", u"&New Folder ...", 10, m_bitmaps[9]);
    add(send, u"Send_To0", u"Any Folder ...", 30, m_bitmaps[10]);
    add(send, u"Send_To1", u"Clipboard as Contents", 31, m_bitmaps[11]);
    add(send, u"Send_To2", u"Clipboard as FileName", 32, m_bitmaps[11]);
    add(send, u"Send_To3", u"DeskTop as ShortCut", 33, m_bitmaps[12]);
    AddSendToEntries(send);
    SetAutoPopup(true);
}

TFileListPopup::~TFileListPopup() {
    // The menu lets go of its pictures before they are deleted.
    std::vector<TMenuItem*> pending{Items()};
    while (!pending.empty()) {
        TMenuItem* item = pending.back();
        pending.pop_back();
        item->SetBitmap(nullptr);
        for (int i = 0; i < item->Count(); ++i) pending.push_back(item->Items(i));
    }
    for (HBITMAP b : m_bitmaps)
        if (b) DeleteObject(b);
    for (HBITMAP b : m_iconBitmaps)
        if (b) DeleteObject(b);
}

void TFileListPopup::AddSendToEntries(TMenuItem* sendTo) {
    WCHAR buffer[MAX_PATH + 1] = {};
    {
        com::Pidl pidl;
        if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_SENDTO, pidl.Put())) || !pidl) return;
        if (!SHGetPathFromIDListW(pidl.Get(), buffer)) return;
    }
    const String folder = IncludeTrailingSlash(com::U16(buffer));
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW(com::W(folder + u"*.LNK"), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    int n = 0;
    do {
        const String name = com::U16(data.cFileName);
        if (name == u"." || name == u"..") continue;
        const String full = folder + name;
        SHFILEINFOW info{};
        SHGetFileInfoW(com::W(full), 0, &info, sizeof info, SHGFI_SYSICONINDEX | SHGFI_DISPLAYNAME | SHGFI_SMALLICON);
        auto* item = new TMenuItem(this);
        item->SetName(u"Send_To" + forms::IntToStr(4 + n));
        item->SetCaption(com::U16(info.szDisplayName));
        item->SetTag(34 + n);
        item->SetGroupIndex(1);
        const HBITMAP icon = IconBitmap(info.iIcon);
        m_iconBitmaps.push_back(icon);
        item->SetBitmap(icon);
        item->OnClick = [this](TObject* sender) { ItemClick(sender); };
        sendTo->Add(item);
        m_sendToPaths.push_back(full);
        ++n;
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

TMenuItem* TFileListPopup::ItemNamed(const String& name) const {
    std::vector<TMenuItem*> pending{Items()};
    while (!pending.empty()) {
        TMenuItem* item = pending.back();
        pending.pop_back();
        if (item != Items() && forms::SameText(item->Name(), name)) return item;
        for (int i = 0; i < item->Count(); ++i) pending.push_back(item->Items(i));
    }
    return nullptr;
}

void TFileListPopup::UpdateStates() {
    TListItem* item = m_list->Selected();
    const int count = m_list->SelCount();
    const bool selected = item != nullptr;
    // Files and folders only: the parent entry and drives take no file
    // operation.
    const bool operable = selected && m_list->SelectionOperable();
    const String path = item ? SubItemOf(item, kSubPath) : String();
    const bool file = item && SubItemOf(item, kSubKind) == u"file";
    auto set = [this](const char16_t* name, bool on) {
        if (TMenuItem* i = ItemNamed(name)) i->SetEnabled(on);
    };
    set(u"ItemOpen", selected);
    set(u"ItemView", file && !ViewProgramOf(path).empty());
    set(u"SubMenuSend", operable);
    set(u"ItemOpCut", operable);
    set(u"ItemOpCopy", operable);
    set(u"ItemOpPaste", !m_list->ClipboardList().empty());
    set(u"ItemRename", operable && count == 1);
    set(u"ItemDelete", operable);
    set(u"ItemProperty", selected);
    set(u"ItemFolder", forms::UpperCase(m_list->Directory()) != u"DRIVES");
    set(u"Send_To0", operable);
    set(u"Send_To1", operable && count == 1 && file && CanCopyContents(path));
    set(u"Send_To2", operable);
    set(u"Send_To3", operable);
}

void TFileListPopup::Popup(int x, int y) {
    UpdateStates();
    TPopupMenu::Popup(x + 10, y + 10);
}

void TFileListPopup::ItemClick(TObject* sender) {
    auto* item = dynamic_cast<TMenuItem*>(sender);
    if (!item) return;
    switch (item->Tag()) {
    case 1: m_list->OpenSelected(); return;
    case 2: m_list->ViewSelected(); return;
    case 4: m_list->CutSelected(); return;
    case 5: m_list->CopySelected(); return;
    case 6: m_list->Paste(); return;
    case 7: m_list->RenameSelected(); return;
    case 8: m_list->DeleteSelected(); return;
    case 9: m_list->ShowSelectedProperties(); return;
    case 10: m_list->NewFolder(); return;
    default: break;
    }
    const int number = SendToNumber(item->Name());
    switch (number) {
    case 0: m_list->SendToAnyFolder(); return;
    case 1: m_list->ClipboardAsContents(); return;
    case 2: m_list->ClipboardAsFileNames(); return;
    case 3: m_list->DesktopShortcut(); return;
    default: break;
    }
    if (number >= 4 && number - 4 < static_cast<int>(m_sendToPaths.size()))
        m_list->SendToEntry(m_sendToPaths[static_cast<size_t>(number - 4)]);
}

// ---- The send-to-path dialog ---------------------------------------------------------------

TSendToPathDialog::TSendToPathDialog(TComponent* owner, const String& path) : TForm(owner) {
    Font().SetName(u"MS Sans Serif");
    Font().SetSize(8);
    SetBorderStyle(forms::TFormBorderStyle::bsDialog);
    SetCaption(u"Send to any folder");
    SetClientSize(333, 135);
    SetPosition(forms::TPosition::poScreenCenter);
    auto* label = new forms::TLabel(this);
    label->SetParent(this);
    label->SetAutoSize(true);
    label->SetCaption(u"Please enter the send_to path");
    label->SetBounds(20, 12, label->Width(), label->Height());
    m_edit = new forms::TEdit(this);
    m_edit->SetParent(this);
    m_edit->SetBounds(20, 32, 293, 21);
    m_edit->SetMaxLength(285);
    m_edit->SetText(path);
    auto button = [this](const char16_t* caption, int left, int result) {
        auto* b = new forms::TButton(this);
        b->SetParent(this);
        b->SetBounds(left, 80, 75, 25);
        b->SetCaption(caption);
        b->SetModalResult(result);
        return b;
    };
    button(u"OK", 37, forms::mrOk)->SetDefault(true);
    button(u"Cancel", 129, forms::mrCancel)->SetCancel(true);
    button(u"Browse", 221, 10);
    SetActiveControl(m_edit);
    OnShow = [this](TObject*) { m_edit->SelectAll(); };
}

String TSendToPathDialog::Execute(const String& path) {
    int result = forms::mrNone;
    String text;
    {
        std::unique_ptr<TSendToPathDialog> dialog(new TSendToPathDialog(forms::Application, path));
        result = dialog->ShowModal();
        text = dialog->m_edit->GetText();
    }
    if (result == forms::mrOk) return text;
    if (result == 10) {
        String chosen;
        if (BrowseFolder(forms::Application ? forms::Application->Handle() : nullptr, chosen)) return Execute(chosen);
    }
    return String();
}

// ---- The commands ------------------------------------------------------------------------

std::vector<String> TFileListView::SelectedPaths() {
    std::vector<String> paths;
    for (int i = 0; i < Items().Count(); ++i)
        if (Items()[i]->Selected()) paths.push_back(SubItemOf(Items()[i], kSubPath));
    return paths;
}

bool TFileListView::SelectionOperable() {
    bool any = false;
    for (int i = 0; i < Items().Count(); ++i) {
        TListItem* item = Items()[i];
        if (!item->Selected()) continue;
        if (!IsOperableItem(item->Caption(), SubItemOf(item, kSubPath), SubItemOf(item, kSubKind))) return false;
        any = true;
    }
    return any;
}

bool TFileListView::RefuseInoperable(const char16_t* verb) {
    if (SelCount() == 0) return true;
    if (SelectionOperable()) return false;
    ErrorBeep();
    ShowShellMessage(TMsgKind::mkError, String(u"The \" Parent\" entry and drives cannot be ") + verb +
                                            u": select files and folders only.");
    return true;
}

bool TFileListView::MakeDirectoryCurrent() {
    if (forms::UpperCase(m_directory) == u"DRIVES") return false;
    return SetCurrentDirectoryW(com::W(m_directory)) != FALSE;
}

void TFileListView::MarkSelected(UINT mode) {
    if (RefuseInoperable(mode == FO_MOVE ? u"cut" : u"copied")) return;
    m_clipboardMode = -1;
    m_clipboard.clear();
    for (const String& path : SelectedPaths()) m_clipboard.push_back(path + u'\0');
    m_clipboardMode = static_cast<int>(mode);
}

// Each source into target: a file or folder already in target is not
// copied onto itself, and a folder never goes into itself.
void TFileListView::CopyInto(const String& target, UINT operation, const std::vector<String>& sources) {
    for (const String& entry : sources) {
        const String source = WithoutNul(entry);
        const String destination = JoinPath(target, forms::ExtractFileName(ExcludeTrailingSlash(source)));
        if (forms::SameText(ExcludeTrailingSlash(source), destination) || IsInFolder(destination, source)) {
            ErrorBeep();
            ShowShellMessage(TMsgKind::mkError, u"\"" + forms::ExtractFileName(source) +
                                                    u"\" is already there: it is not copied onto itself.");
            continue;
        }
        ShellFileOperation(Handle(), operation, source, destination);
    }
}

void TFileListView::Paste() {
    if (!MakeDirectoryCurrent()) return;
    if (m_clipboard.empty()) {
        ShowShellMessage(TMsgKind::mkWarning, u"No file(s) selected");
        return;
    }
    {
        THourGlass hourGlass;
        CopyInto(m_directory, static_cast<UINT>(m_clipboardMode), m_clipboard);
    }
    Refresh();
    m_clipboard.clear();
    Resync();
}

void TFileListView::DeleteSelected() {
    if (!MakeDirectoryCurrent()) return;
    if (RefuseInoperable(u"deleted")) return;
    m_clipboard.clear();
    String list;
    for (const String& path : SelectedPaths()) list += path + u'\0';
    ShellFileOperation(Handle(), FO_DELETE, list, String());
    Refresh();
    m_clipboard.clear();
    Resync();
}

void TFileListView::RenameSelected() {
    TListItem* item = Selected();
    if (!item) return;
    if (ReadOnly() || forms::UpperCase(SubItemOf(item, kSubAttr)) == u"R") {
        ShowShellMessage(TMsgKind::mkWarning, u"It's ReadOnly");
        return;
    }
    if (RefuseInoperable(u"renamed")) return;
    m_renameSource = SubItemOf(item, kSubPath);
    SetFocus();
    SendMessageW(Handle(), LVM_EDITLABELW, static_cast<WPARAM>(item->Index()), 0);
}

bool TFileListView::CanEdit(TListItem* item) {
    if (ReadOnly() || !item) return false;
    if (!IsOperableItem(item->Caption(), SubItemOf(item, kSubPath), SubItemOf(item, kSubKind))) return false;
    m_renameSource = SubItemOf(item, kSubPath);
    return TCustomListView::CanEdit(item);
}

void TFileListView::Edited(TListItem* item, String& text) {
    const String oldCaption = item->Caption();
    const String source = m_renameSource;
    if (text.empty() || text.find_first_of(u"\\/:*?\"<>|") != String::npos) {
        // A name with a folder separator would move the file elsewhere.
        ErrorBeep();
        if (!text.empty()) ShowShellMessage(TMsgKind::mkError, u"Error - Invalid File Name\r" + text);
        text = oldCaption;
        return;
    }
    THourGlass hourGlass;
    const bool folder = forms::UpperCase(SubItemOf(item, kSubKind)) == u"DIR";
    String name = text;
    // A caption shown without its extension is renamed with it.
    if (m_hideFileExt && !folder) name += forms::ExtractFileExt(source);
    const String target = forms::ExtractFilePath(source) + name;
    if (forms::SameText(target, source) || ConfirmNotExists(target) ||
        !ShellFileOperation(Handle(), FO_RENAME, source, target))
        text = oldCaption;
    TCustomListView::Edited(item, text);
    // The item is read again once the control has let go of it.
    PostMessageW(Handle(), kRenamedMessage, folder ? 1 : 0, 0);
}

void TFileListView::NewFolder() {
    if (forms::UpperCase(m_directory) == u"DRIVES") return;
    const String name = FreeFolderName(JoinPath(m_directory, u"New Folder"), &PathExists);
    if (!CreateDirectoryW(com::W(name), nullptr)) {
        ShowShellMessage(TMsgKind::mkError, u"Can't create the folder " + name);
        return;
    }
    Refresh();
    const String shown = m_directory;
    if (m_combo) {
        m_combo->Rebuild();
        m_combo->OpenPath(name);
    } else if (m_dirTree) {
        m_dirTree->Rebuild();
        m_dirTree->OpenPath(name);
    }
    for (int i = 0; i < Items().Count(); ++i) {
        TListItem* item = Items()[i];
        if (!forms::SameText(SubItemOf(item, kSubPath), name)) continue;
        SetSelected(item);
        item->SetFocused(true);
        item->MakeVisible(false);
        m_renameSource = name;
        SetFocus();
        SendMessageW(Handle(), LVM_EDITLABELW, static_cast<WPARAM>(item->Index()), 0);
        break;
    }
}

void TFileListView::ViewSelected() {
    TListItem* item = Selected();
    if (!item || SubItemOf(item, kSubKind) != u"file") return;
    const String path = SubItemOf(item, kSubPath);
    const String program = ViewProgramOf(path);
    if (program.empty()) return;
    const String folder = IncludeTrailingSlash(forms::ExtractFilePath(path));
    // The viewer from the Windows folder, else the system folder; where
    // neither holds it, the shell opens the file its own way.
    String viewer = JoinPath(WindowsFolder(), program);
    if (!PathExists(viewer)) viewer = JoinPath(SystemFolder(), program);
    if (PathExists(viewer))
        ShellOpen(u"Open", viewer, QuoteArgument(path), folder, SW_SHOW);
    else
        ShellOpen(u"Open", path, String(), folder, SW_SHOW);
}

void TFileListView::ShowSelectedProperties() {
    TListItem* item = Selected();
    if (!item) return;
    String path = SubItemOf(item, kSubPath);
    if (item->Caption() == kParentCaption) {
        // "<folder>\.." is the folder above.
        WCHAR full[MAX_PATH] = {};
        if (GetFullPathNameW(com::W(path), MAX_PATH, full, nullptr)) path = com::U16(full);
    }
    ShowProperties(path);
}

void TFileListView::SendToFolder(const String& target) {
    if (!MakeDirectoryCurrent()) return;
    if (RefuseInoperable(u"sent")) return;
    THourGlass hourGlass;
    m_clipboard.clear();
    for (const String& path : SelectedPaths()) m_clipboard.push_back(path + u'\0');
    CopyInto(target, FO_COPY, m_clipboard);
    m_clipboard.clear();
}

void TFileListView::SendToRemovable(const String& target) {
    THourGlass hourGlass;
    if (!target.empty() && DriveReady(target[0], true)) SendToFolder(target);
}

void TFileListView::SendToAnyFolder() {
    if (RefuseInoperable(u"sent")) return;
    const String target = TSendToPathDialog::Execute(String());
    if (!target.empty()) SendToFolder(target);
}

void TFileListView::SendToEntry(const String& entryPath) {
    TListItem* item = Selected();
    if (!item || RefuseInoperable(u"sent")) return;
    if (forms::UpperCase(forms::ExtractFileExt(entryPath)) == u".LNK") {
        const String target = ResolveShortcut(entryPath);
        if (target.empty()) return;
        if (target.size() >= 2 && target[1] == u':' && DriveTypeOf(target[0]) == DRIVE_REMOVABLE)
            SendToRemovable(target);
        else if (DirectoryExists(target))
            SendToFolder(target);
        else {
            const String path = SubItemOf(item, kSubPath);
            ShellOpen(u"Open", target, QuoteArgument(path), forms::ExtractFilePath(path), SW_SHOW);
        }
    } else if (DirectoryExists(entryPath)) {
        SendToFolder(entryPath);
    }
}

void TFileListView::ClipboardAsContents() {
    TListItem* item = Selected();
    if (!item || SelCount() != 1 || RefuseInoperable(u"sent")) return;
    const String path = SubItemOf(item, kSubPath);
    const String ext = forms::UpperCase(forms::ExtractFileExt(path));
    if (ext == u".BMP" || ext == u".WMF") {
        forms::TPicture picture;
        picture.LoadFromFile(path);
        UINT format = 0;
        HANDLE data = nullptr;
        HPALETTE palette = nullptr;
        picture.SaveToClipboardFormat(format, data, palette);
        if (OpenClipboard(Handle())) {
            EmptyClipboard();
            SetClipboardData(format, data);
            if (palette) SetClipboardData(CF_PALETTE, palette);
            CloseClipboard();
        }
        return;
    }
    THourGlass hourGlass;
    std::unique_ptr<forms::TRichEdit> editor(new forms::TRichEdit(nullptr));
    editor->SetVisible(false);
    editor->SetParent(this);
    {
        forms::TFileStream stream(path, forms::fmOpenRead | forms::fmShareDenyNone);
        // Rich text as such; anything else (a text file) as its text.
        char head[6] = {};
        stream.Read(head, 5);
        stream.SetPosition(0);
        editor->SetPlainText(std::string(head, 5) != "{\\rtf");
        editor->LoadFromStream(stream);
    }
    editor->SetSelStart(0);
    editor->SetSelLength(editor->GetTextLen());
    SendMessageW(editor->Handle(), WM_COPY, 0, 0);
}

void TFileListView::ClipboardAsFileNames() {
    if (RefuseInoperable(u"sent")) return;
    SetClipboardText(Handle(), JoinLines(SelectedPaths()));
}

String TFileListView::DesktopShortcut() {
    TListItem* item = Selected();
    if (!item) {
        ShowShellMessage(TMsgKind::mkError, u"No file selected");
        return String();
    }
    if (RefuseInoperable(u"sent")) return String();
    const String path = SubItemOf(item, kSubPath);
    // The user's desktop folder; the Windows folder's DESKTOP where there
    // is none.
    String desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    if (desktop.empty()) desktop = JoinPath(WindowsFolder(), u"DESKTOP");
    const String name = NameWithoutExt(path);
    bool ok = false;
    String link;
    IShellLinkW* shellLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            ok = SUCCEEDED(shellLink->SetPath(com::W(path))) &&
                 SUCCEEDED(shellLink->SetWorkingDirectory(com::W(forms::ExtractFilePath(path)))) &&
                 SUCCEEDED(shellLink->SetDescription(com::W(name)));
            if (ok) {
                // Never over a shortcut that is there: "Name (2).lnk" then.
                link = FreeLinkName(desktop, name, &PathExists);
                ok = SUCCEEDED(file->Save(com::W(link), FALSE));
            }
            file->Release();
        }
        shellLink->Release();
    }
    if (!ok) {
        ShowShellMessage(TMsgKind::mkError, u"Error - PersistFile.Save failed");
        return String();
    }
    return link;
}

void TFileListView::ResyncFolder(const String& folder) {
    if (m_dirTree) {
        m_dirTree->Rebuild();
        m_dirTree->OpenPath(folder);
    } else if (m_combo) {
        m_combo->Rebuild();
        m_combo->OpenPath(folder);
    }
}

}  // namespace shellbrowse
