#include "app/Main.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>

#include "app/Convert.h"
#include "app/FolderSearch.h"
#include "app/FormBuild.h"
#include "app/OptionSettings.h"
#include "app/QueryDialog.h"
#include "app/about.h"
#include "app/option.h"
#include "framework/com/Bstr.h"
#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "framework/forms/IniFiles.h"

namespace app {

TMainForm* MainForm = nullptr;

extern const unsigned char kStoredSkinStream[];
extern const size_t kStoredSkinStreamSize;
StoredSkin MainSkinStream = {kStoredSkinStream, kStoredSkinStreamSize};

namespace {

const char16_t kDecoderFile[] = u"\\ffdshow.ax";
const char16_t kDecoderAside[] = u"\\ffdshow.bak";

bool FileExists(const String& path) {
    const DWORD a = GetFileAttributesW(com::W(path));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

String OptionFile() { return ProgramFolder + kOptionFileName; }

void Information(const String& text) { Application->MessageBox(text, u"Information", MB_ICONINFORMATION); }

}  // namespace

TMainForm::TMainForm(TComponent* owner) : TForm(owner) {
    SetName(u"MainForm");
    SetCaption(u"Corvane");
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(880, 600);

    imlTools = new TImageList(this);
    imlTools->SetName(u"imlTools");
    imlTools->AddResource(GetModuleHandleW(nullptr), u"TOOLBUTTONS", clFuchsia);
    // The skin component with the values stored for it; its built-in skin
    // loads as the stream is read, and it reaches the skin manager once the
    // window is built.
    SkinData1 = new skin::TSkinData(this);
    SkinData1->SetName(u"SkinData1");
    SkinData1->SetActive(true);
    SkinData1->DisableTag = 99;
    SkinData1->SkinFormtype = skin::TSkinFormType::sfMainform;
    SkinData1->MenuUpdate = true;
    {
        TMemoryStream stored(std::vector<uint8_t>(MainSkinStream.data, MainSkinStream.data + MainSkinStream.size));
        SkinData1->ReadSkinStream(stored);
    }
    BuildMenus();
    BuildToolBar();
    BuildNote();
    BuildExplorer();
    BuildTaskList();
    BuildSearchPanel();

    MediaPlayer1 = new TMediaPlayer(this);
    MediaPlayer1->SetName(u"MediaPlayer1");
    OpenDialog1 = new TOpenDialog(this);
    OpenDialog1->SetName(u"OpenDialog1");
    OpenDialog1->SetFilter(kAddFilesFilter);
    OpenDirDialog1 = new TBrowseFolderDialog(this);
    OpenDirDialog1->SetName(u"OpenDirDialog1");
    OpenDirDialog1->SetShowSelectionInStatus(false);
    ConnectEvents();

    // The conversion control comes into being with the window; without it
    // the program cannot answer any question about a file.
    Vantrex1->HandleNeeded();
}

TMainForm::~TMainForm() {
    // The options window must not reach a window that is gone.
    if (OptionLinks.skin == &m_skinSwitch) OptionLinks.skin = nullptr;
}

void TMainForm::BuildMenus() {
    mnuMain = new TMainMenu(this);
    mnuMain->SetName(u"mnuMain");
    TMenuItem* root = mnuMain->Items();
    mnuFile = AddMenuItem(this, root, u"mnuFile", u"&File");
    mnuAddFile = AddMenuItem(this, mnuFile, u"mnuAddFile", u"Add File");
    mnuAddDir = AddMenuItem(this, mnuFile, u"mnuAddDir", u"Add Directory");
    AddMenuItem(this, mnuFile, u"mnuFileLine1", u"-");
    mnuRemove = AddMenuItem(this, mnuFile, u"mnuRemove", u"Remove");
    mnuClear = AddMenuItem(this, mnuFile, u"mnuClear", u"Clear List");
    AddMenuItem(this, mnuFile, u"mnuFileLine2", u"-");
    mnuConvert = AddMenuItem(this, mnuFile, u"mnuConvert", u"Convert");
    AddMenuItem(this, mnuFile, u"mnuFileLine3", u"-");
    mnuExit = AddMenuItem(this, mnuFile, u"mnuExit", u"Exit");
    mnuTools = AddMenuItem(this, root, u"mnuTools", u"&Tools");
    mnuOptions = AddMenuItem(this, mnuTools, u"mnuOptions", u"Options");
    mnuHelp = AddMenuItem(this, root, u"mnuHelp", u"&Help");
    mnuContent = AddMenuItem(this, mnuHelp, u"mnuContent", u"Content");
    mnuHomePage = AddMenuItem(this, mnuHelp, u"mnuHomePage", u"Visit our homepage");
    AddMenuItem(this, mnuHelp, u"mnuHelpLine1", u"-");
    mnuAbout = AddMenuItem(this, mnuHelp, u"mnuAbout", u"About");
    SetMenu(mnuMain);
}

void TMainForm::BuildToolBar() {
    tlbMain = Place<TToolBar>(this, this, u"tlbMain", 0, 0, 880, 40);
    tlbMain->SetShowCaptions(true);
    tlbMain->SetImages(imlTools);
    // Images in the strip's order: add files, add folder, remove, clear,
    // convert, options, help, about.
    auto button = [&](const char16_t* name, const char16_t* caption, int image) {
        auto* b = new TToolButton(this);
        b->SetName(name);
        b->SetCaption(caption);
        b->SetImageIndex(image);
        b->SetParent(tlbMain);
        return b;
    };
    tbtnAddFile = button(u"tbtnAddFile", u"&Add Files", 0);
    tbtnAddDir = button(u"tbtnAddDir", u"Add &Dir", 1);
    tbtnRemove = button(u"tbtnRemove", u"&Remove", 2);
    tbtnClear = button(u"tbtnClear", u"Cl&ear", 3);
    tbtnConvert = button(u"tbtnConvert", u"&Convert", 4);
    tbtnOptions = button(u"tbtnOptions", u"&Options", 5);
    tbtnHelp = button(u"tbtnHelp", u"&Help", 6);
    tbtnAbout = button(u"tbtnAbout", u"A&bout", 7);
}

void TMainForm::BuildNote() {
    panNote = Place<TPanel>(this, this, u"panNote", 0, 560, 880, 40);
    panNote->SetAlign(TAlign::alBottom);
    panNote->SetBevelOuter(TBevelCut::bvNone);
    labNote = new TLabel(this);
    labNote->SetName(u"labNote");
    labNote->SetWordWrap(true);
    labNote->SetBounds(8, 4, 660, 0);
    labNote->SetCaption(
        u"Note: Windows Media Runtime is needed for WMV conversion. If you do not have Windows Media Player 10 "
        u"installed, please download the runtime package at ");
    labNote->SetParent(panNote);
    labHere = Place<TLinkLabel>(this, panNote, u"labHere", 0, 0, 0, 0, u"here");
    labMoreInfo = Place<TLinkLabel>(this, panNote, u"labMoreInfo", 0, 0, 0, 0, u"(More information)");
    PlaceNoteLinks();
}

// The links read on from the end of the note's last line, as one sentence.
void TMainForm::PlaceNoteLinks() {
    const String& text = labNote->Caption();
    int lineHeight = 0, textHeight = 0, top = 0, hereLeft = 0, gap = 0;
    {
        const com::WindowDc screen(nullptr);
        const HDC dc = screen.Get();
        const com::SelectedObject font(dc, labNote->Font().Handle());
        // The label's own wrapping: the height of a text at the label's width.
        auto height = [&](const String& s) {
            RECT r{0, 0, labNote->Width(), 0};
            DrawTextW(dc, com::W(s), static_cast<int>(s.size()), &r, DT_EXPANDTABS | DT_WORDBREAK | DT_CALCRECT);
            return static_cast<int>(r.bottom - r.top);
        };
        auto width = [&](const String& s) {
            SIZE size{};
            GetTextExtentPoint32W(dc, com::W(s), static_cast<int>(s.size()), &size);
            return static_cast<int>(size.cx);
        };
        lineHeight = height(u" ");
        textHeight = height(text);
        // The last line begins at the first word that brings the text to its
        // full height.
        size_t lastLine = 0;
        for (size_t start = 0; start < text.size();) {
            size_t end = text.find(u' ', start);
            if (end == String::npos) end = text.size();
            if (height(text.substr(0, end)) == textHeight) {
                lastLine = start;
                break;
            }
            start = text.find_first_not_of(u' ', end);
            if (start == String::npos) break;
        }
        top = labNote->Top() + textHeight - lineHeight;
        hereLeft = labNote->Left() + width(text.substr(lastLine));
        gap = width(u" ");
    }

    labHere->SetBounds(hereLeft, top, labHere->Width(), labHere->Height());
    int moreLeft = labHere->Left() + labHere->Width() + gap;
    int moreTop = top;
    if (moreLeft + labMoreInfo->Width() > panNote->Width() - 8) {
        moreLeft = labNote->Left();
        moreTop = top + lineHeight;
    }
    labMoreInfo->SetBounds(moreLeft, moreTop, labMoreInfo->Width(), labMoreInfo->Height());
    panNote->SetHeight(std::max(labNote->Top() + textHeight, moreTop + labMoreInfo->Height()) + 6);
}

void TMainForm::BuildExplorer() {
    gpbExplorer = Place<TGroupBox>(this, this, u"gpbExplorer", 0, 40, 270, 520, u"Explorer - Drag  files && folder here");
    gpbExplorer->SetAlign(TAlign::alLeft);
    DirList = Place<TDirTree>(this, gpbExplorer, u"DirList", 11, 18, 248, 220);
    DirList->SetDragMode(TDragMode::dmAutomatic);
    FileList = Place<TFileListView>(this, gpbExplorer, u"FileList", 11, 247, 248, 222);
    FileList->SetDragMode(TDragMode::dmAutomatic);
    FileList->SetDirTree(DirList);
    splMain = Place<TSplitter>(this, this, u"splMain", 270, 40, 4, 520);
    splMain->SetAlign(TAlign::alLeft);
}

void TMainForm::BuildTaskList() {
    gpbTask = Place<TGroupBox>(this, this, u"gpbTask", 274, 40, 606, 520,
                               u"Task List - Drop files && folders into the list  ( Double click to play )");
    gpbTask->SetAlign(TAlign::alClient);
    ltvList = Place<TListView>(this, gpbTask, u"ltvList", 8, 20, 529, 449);
    ltvList->SetViewStyle(TViewStyle::vsReport);
    ltvList->SetMultiSelect(true);
    ltvList->SetReadOnly(true);
    ltvList->SetRowSelect(true);
    ltvList->SetHideSelection(false);
    struct Column {
        const char16_t* caption;
        int width;
    };
    // Each column at least as wide as its heading.
    for (const Column& c : {Column{u"File Name", 120}, Column{u"Path", 160}, Column{u"Framerate", 74},
                            Column{u"Duration", 66}, Column{u"VideoStream", 88}, Column{u"AudioStream", 88},
                            Column{u"Dimensions", 82}, Column{u"Bitrate", 64}})
        ltvList->AddColumn(c.caption, c.width);

    popTask = new TPopupMenu(this);
    popTask->SetName(u"popTask");
    popPreview = AddMenuItem(this, popTask->Items(), u"popPreview", u"Preview");
    popRemove = AddMenuItem(this, popTask->Items(), u"popRemove", u"Remove");
    popClear = AddMenuItem(this, popTask->Items(), u"popClear", u"Clear List");
    ltvList->SetPopupMenu(popTask);

    // Answers the task list's questions about files; never shown.
    Vantrex1 = new TVantrex(this);
    Vantrex1->SetName(u"Vantrex1");
    Vantrex1->SetBounds(20, 60, 60, 40);
    Vantrex1->SetVisible(false);
    Vantrex1->SetParent(gpbTask);
}

void TMainForm::BuildSearchPanel() {
    panSearching = Place<TPanel>(this, this, u"panSearching", 160, 200, 500, 120);
    panSearching->SetVisible(false);
    labSearching = Place<TLabel>(this, panSearching, u"labSearching", 20, 18, 0, 0,
                                 u"Searching and adding all available video files to Task List.  Please wait...");
    labSearchFolderTitle = Place<TLabel>(this, panSearching, u"labSearchFolderTitle", 20, 46, 0, 0,
                                         u"Searching Folder: ");
    labSearchFolder = new TLabel(this);
    labSearchFolder->SetName(u"labSearchFolder");
    labSearchFolder->SetAutoSize(false);
    labSearchFolder->SetBounds(20 + labSearchFolderTitle->Width(), 46, 460 - labSearchFolderTitle->Width(), 16);
    labSearchFolder->SetParent(panSearching);
    btnCancel = Place<TButton>(this, panSearching, u"btnCancel", 212, 80, 75, 25, u"&Cancel");
}

void TMainForm::ConnectEvents() {
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnCloseQuery = [this](TObject* s, bool& c) { FormCloseQuery(s, c); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    OnResize = [this](TObject* s) { FormResize(s); };
    splMain->OnMoved = [this](TObject*) { LayoutPanes(false); };

    auto both = [](TToolButton* button, TMenuItem* item, const TNotifyEvent& handler) {
        button->OnClick = handler;
        if (item) item->OnClick = handler;
    };
    both(tbtnAddFile, mnuAddFile, [this](TObject* s) { tbtnAddFileClick(s); });
    both(tbtnAddDir, mnuAddDir, [this](TObject* s) { tbtnAddDirClick(s); });
    both(tbtnRemove, mnuRemove, [this](TObject* s) { tbtnRemoveClick(s); });
    both(tbtnClear, mnuClear, [this](TObject* s) { tbtnClearClick(s); });
    both(tbtnConvert, mnuConvert, [this](TObject* s) { tbtnConvertClick(s); });
    both(tbtnOptions, mnuOptions, [this](TObject* s) { tbtnOptionsClick(s); });
    both(tbtnHelp, mnuContent, [this](TObject* s) { tbtnHelpClick(s); });
    both(tbtnAbout, mnuAbout, [this](TObject* s) { tbtnAboutClick(s); });
    popPreview->OnClick = [this](TObject* s) { ltvListDblClick(s); };
    popRemove->OnClick = [this](TObject* s) { tbtnRemoveClick(s); };
    popClear->OnClick = [this](TObject* s) { tbtnClearClick(s); };
    mnuExit->OnClick = [this](TObject*) { Close(); };
    mnuHomePage->OnClick = [this](TObject*) { OpenWebPage(kProductWebAddress); };
    labHere->OnClick = [this](TObject*) { OpenWebPage(String(kProductWebAddress) + u"/windowsmediaruntime.htm"); };
    labMoreInfo->OnClick = [](TObject*) { Application->HelpJump(u"WMAconversion(EncodeandDec"); };

    ltvList->OnDblClick = [this](TObject* s) { ltvListDblClick(s); };
    ltvList->OnDragOver = [this](TObject* s, TObject* src, int x, int y, TDragState st, bool& accept) {
        ltvListDragOver(s, src, x, y, st, accept);
    };
    ltvList->OnDragDrop = [this](TObject* s, TObject* src, int x, int y) { ltvListDragDrop(s, src, x, y); };
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
}

// ---- Start and close --------------------------------------------------------------

void TMainForm::FormCreate(TObject*) {
    ProgramFolder = ExtractFilePath(Application->ExeName());
    char system[255] = {};
    const UINT n = GetSystemDirectoryA(system, sizeof system);
    SystemFolder = n > 0 && n < sizeof system ? com::FromAnsi(system) : String();
    MoveDecoderFileAside();

    const String helpFile = ProgramFolder + u"Corvane.hlp";
    SetHelpFile(helpFile);
    Application->SetHelpFile(helpFile);
    {
        TIniFile ini(OptionFile());
        VersionText = ini.ReadString(u"General", u"Version", u"1.8");
    }
    Application->SetTitle(u"Corvane");
    SetCaption(u"Corvane V" + VersionText);

    OptionLinks.mainForm = this;
    OptionLinks.explorer = this;
    OptionLinks.skin = &m_skinSwitch;
    LayoutPanes(true);
}

void TMainForm::MoveDecoderFileAside() {
    if (SystemFolder.empty()) return;
    const String decoder = SystemFolder + kDecoderFile;
    // The outside decoder would take over our sources' decoding; a rename
    // that fails leaves it where it is.
    if (FileExists(decoder)) MoveFileW(com::W(decoder), com::W(SystemFolder + kDecoderAside));
}

void TMainForm::RestoreDecoderFile() {
    if (SystemFolder.empty()) return;
    const String aside = SystemFolder + kDecoderAside;
    if (FileExists(aside)) MoveFileW(com::W(aside), com::W(SystemFolder + kDecoderFile));
}

void TMainForm::FormCloseQuery(TObject*, bool& canClose) {
    const TMPModes mode = MediaPlayer1->Mode();
    if (mode == TMPModes::mpPlaying || mode == TMPModes::mpPaused) {
        try {
            MediaPlayer1->Stop();
        } catch (const Exception&) {
            // A player that cannot stop does not keep the program open.
        }
    }
    RestoreDecoderFile();
    canClose = true;
}

void TMainForm::FormClose(TObject*, TCloseAction&) {
    TIniFile ini(OptionFile());
    ini.WriteString(u"General", u"InitialDir", DirList->SelectedPath());
}

void TMainForm::WndProc(TMessage& m) {
    // A session that ends skips the close handlers; the decoder file must
    // not stay renamed.
    if (m.Msg == WM_ENDSESSION && m.WParam) RestoreDecoderFile();
    TForm::WndProc(m);
}

void TMainForm::OpenFolder(const String& path) {
    DirList->OpenPath(path);
    FileList->SetDirectory(path);
}

// ---- Layout -----------------------------------------------------------------------

void TMainForm::FormResize(TObject*) { LayoutPanes(true); }

void TMainForm::LayoutPanes(bool heights) {
    const PaneLayout l = ExplorerLayout(gpbExplorer->Width(), gpbExplorer->Height(), gpbTask->Width(),
                                        gpbTask->Height(), DirList->Top());
    DirList->SetWidth(l.treeWidth);
    FileList->SetWidth(l.listWidth);
    ltvList->SetWidth(l.taskListWidth);
    if (!heights) return;
    DirList->SetHeight(l.treeHeight);
    FileList->SetBounds(FileList->Left(), l.listTop, FileList->Width(), l.listHeight);
    ltvList->SetHeight(l.taskListHeight);
}

// ---- Task list --------------------------------------------------------------------

MediaFacts TMainForm::ReadMediaFacts(const String& path) {
    double frameRate = 0, duration = 0;
    VARIANT_BOOL video = VARIANT_FALSE, audio = VARIANT_FALSE;
    LONG width = 0, height = 0, bitRate = 0;
    BSTR poster = nullptr;
    com::Bstr name(path);
    Vantrex1->ControlInterface()->GetFileInfo(name.Get(), &frameRate, &duration, &video, &audio, &width, &height,
                                              &bitRate, &poster);
    SysFreeString(poster);
    MediaFacts f;
    f.frameRate = frameRate;
    f.duration = duration;
    f.video = video != VARIANT_FALSE;
    f.audio = audio != VARIANT_FALSE;
    f.width = width;
    f.height = height;
    f.bitRate = bitRate;
    return f;
}

bool TMainForm::AddTaskItem(const String& path) {
    if (!FileExists(path)) return false;
    TListItem* item = ltvList->Items().Add();
    item->SetCaption(ExtractFileName(path));
    item->SubItems().Add(TaskFolderText(path));
    // An unreadable file still gets its row, with what the control answered.
    const TaskRowTexts t = RowTexts(ReadMediaFacts(path));
    TStrings& sub = item->SubItems();
    for (const String* text : {&t.frameRate, &t.duration, &t.videoStream, &t.audioStream, &t.dimensions,
                               &t.bitRate, &t.seconds})
        sub.Add(*text);
    return true;
}

void TMainForm::AddFolder(const String& folder) {
    bool withSubFolders = false;
    if (HasSubFolders(folder)) {
        bool showQuery, alwaysYes;
        {
            TIniFile ini(OptionFile());
            showQuery = ini.ReadBool(u"Advanced", u"ShowQuery", true);
            alwaysYes = ini.ReadBool(u"Advanced", u"AlwaysYes", false);
        }
        if (showQuery)
            withSubFolders = AskQuery(this, u"Do you want to add all files in sub-folders?", u"AddAllFile",
                                      u"Query") == u"Yes";
        else
            withSubFolders = alwaysYes;
    }
    BeginSearch();
    try {
        if (withSubFolders) AddFolderTree(folder);
        else AddFolderFiles(folder);
    } catch (...) {
        EndSearch();
        throw;
    }
    EndSearch();
}

bool TMainForm::HasSubFolders(const String& folder) {
    switch (FindSubFolders(m_folders, folder)) {
    case SubFolders::Yes: return true;
    case SubFolders::No: return false;
    case SubFolders::Unusable: break;
    }
    Information(u"This is not an available folder or drive.");
    return false;
}

void TMainForm::BeginSearch() {
    gpbTask->SetEnabled(false);
    gpbExplorer->SetEnabled(false);
    tlbMain->SetEnabled(false);
    SearchCancelled = false;
    const PanelPlace p = SearchPanelPlace(Width(), Height());
    panSearching->SetBounds(p.left, p.top, p.width, p.height);
    panSearching->Show();
    panSearching->BringToFront();
}

void TMainForm::EndSearch() {
    gpbTask->SetEnabled(true);
    gpbExplorer->SetEnabled(true);
    tlbMain->SetEnabled(true);
    panSearching->Hide();
    SearchCancelled = true;
}

void TMainForm::btnCancelClick(TObject*) { SearchCancelled = true; }

// A program that is closing does not go on searching behind its back.
bool TMainForm::SearchStopped() const { return SearchCancelled || Application->Terminated(); }

void TMainForm::AddFolderFiles(const String& path) {
    const String folder = IncludeTrailingBackslash(path);
    labSearchFolder->SetCaption(folder);
    std::unique_ptr<TFileListBox> files(new TFileListBox(this));
    files->SetVisible(false);
    files->SetParent(this);
    files->SetMask(kVideoFileMask);
    files->SetDirectory(folder);
    files->Update();
    for (int i = 0; i < files->Items().Count(); ++i) {
        Application->ProcessMessages();
        if (SearchStopped()) break;
        AddTaskItem(folder + files->Items()[i]);
    }
}

void TMainForm::AddFolderTree(const String& folder) {
    FolderTreeSearch::Handlers h;
    h.enterFolder = [this](const String& f) { labSearchFolder->SetCaption(f); };
    h.pump = [] { Application->ProcessMessages(); };
    h.cancelled = [this] { return SearchStopped(); };
    h.addFile = [this](const String& path) { AddTaskItem(path); };
    FolderTreeSearch(m_folders, std::move(h)).Run(folder);
}

// ---- Commands ---------------------------------------------------------------------

void TMainForm::tbtnAddFileClick(TObject*) {
    if (!OpenDialog1->Execute()) return;
    for (int i = 0; i < OpenDialog1->Files().Count(); ++i) {
        Application->ProcessMessages();
        AddTaskItem(OpenDialog1->Files()[i]);
    }
}

void TMainForm::tbtnAddDirClick(TObject*) {
    if (!OpenDirDialog1->Execute()) return;
    if (shellbrowse::IsDirectory(OpenDirDialog1->Selection())) AddFolder(OpenDirDialog1->Selection());
    else Information(u"Your selection is not a proper directory.");
}

void TMainForm::tbtnRemoveClick(TObject*) {
    if (TListItem* item = ltvList->Selected()) item->Delete();
}

void TMainForm::tbtnClearClick(TObject*) {
    if (ltvList->Items().Count() == 0) return;
    if (Application->MessageBox(u"Are you sure to clear Task List?", u"Query", MB_ICONQUESTION | MB_YESNO) == IDYES)
        ltvList->Clear();
}

void TMainForm::tbtnConvertClick(TObject*) {
    if (ltvList->Items().Count() == 0) {
        Information(u"Please add files or directories to Task List");
        return;
    }
    ConvertForm->Show();
    Hide();
}

void TMainForm::tbtnOptionsClick(TObject*) { OptionForm->Show(); }

void TMainForm::tbtnHelpClick(TObject*) { Application->HelpJump(u"Welcome"); }

void TMainForm::tbtnAboutClick(TObject*) { AboutForm->ShowModal(); }

void TMainForm::OpenWebPage(const String& address) {
    ShellExecuteW(Handle(), L"open", com::W(address), nullptr, nullptr, SW_SHOWNORMAL);
}

void TMainForm::ltvListDblClick(TObject*) {
    TListItem* item = ltvList->Selected();
    if (!item) return;
    const TMPModes mode = MediaPlayer1->Mode();
    const String file = IncludeTrailingBackslash(item->SubItems()[0]) + item->Caption();
    try {
        if (mode == TMPModes::mpPlaying || mode == TMPModes::mpPaused) MediaPlayer1->Stop();
        MediaPlayer1->SetFileName(file);
        MediaPlayer1->Open();
        MediaPlayer1->Play();
    } catch (const Exception&) {
        Information(u"Open " + file + u" failed. Please check it out.");
    }
}

void TMainForm::ltvListDragOver(TObject*, TObject* source, int, int, TDragState, bool& accept) {
    accept = dynamic_cast<TDirTree*>(source) || dynamic_cast<TFileListView*>(source);
}

void TMainForm::ltvListDragDrop(TObject* sender, TObject* source, int, int) {
    if (sender != ltvList) return;
    if (auto* tree = dynamic_cast<TDirTree*>(source)) {
        AddFolder(tree->SelectedPath());
    } else if (auto* list = dynamic_cast<TFileListView*>(source)) {
        for (int i = 0; i < list->Items().Count(); ++i) {
            Application->ProcessMessages();
            if (i >= list->Items().Count()) break;
            TListItem* entry = list->Items()[i];
            if (!entry->Selected()) continue;
            TStrings& sub = entry->SubItems();
            const String sizeText = sub.Count() > 0 ? sub[0] : String();
            if (IsFileListFileItem(sizeText)) {
                // The full name: a caption may have lost its extension.
                AddTaskItem(sub.Count() > shellbrowse::kSubPath ? sub[shellbrowse::kSubPath]
                                                                : JoinFolder(DirList->SelectedPath(), entry->Caption()));
            } else if (list->Directory() != u"Drives") {
                AddFolder(JoinFolder(list->Directory(), entry->Caption()));
            } else {
                const String drive = DriveOfCaption(entry->Caption());
                if (!drive.empty()) AddFolder(drive);
            }
        }
    } else {
        return;
    }
    if (AnyWindowsMediaTask()) CheckWindowsMediaRuntime();
}

bool TMainForm::AnyWindowsMediaTask() {
    for (int i = 0; i < ltvList->Items().Count(); ++i)
        if (LowerCase(ExtractFileExt(ltvList->Items()[i]->Caption())) == u".wmv") return true;
    return false;
}

// ---- Query and runtime check ------------------------------------------------------

String TMainForm::AskQuery(TCustomForm* owner, const String& message, const String& key, const String& caption) {
    owner->SetEnabled(false);
    String answer = u"No";
    try {
        try {
            if (!DialogForm) throw EInvalidOperation("The query dialog is gone");
            DialogForm->Show();
        } catch (const Exception&) {
            Application->CreateForm(DialogForm);
            DialogForm->Show();
        }
        DialogForm->SetQuery(message, caption, key);
        while (!DialogForm->Closed && !Application->Terminated()) Application->HandleMessage();
        answer = DialogForm->Answer;
    } catch (...) {
        owner->SetEnabled(true);
        throw;
    }
    owner->SetEnabled(true);
    return answer;
}

void TMainForm::CheckWindowsMediaRuntime() {
    if (FileExists(SystemFolder + u"\\wmvdmoe2.dll") && FileExists(SystemFolder + u"\\wmidx.dll")) return;
    bool query;
    {
        TIniFile ini(OptionFile());
        query = ini.ReadBool(u"Advanced", u"QueryWindowsMediaRuntime", true);
    }
    if (!query) return;
    const String message =
        u"It is detected you do not have Windows Media Player 10 (or Windows Media Formate 9 Series Runtime) "
        u"installed.Maybe you can not convert (encode and decode) WMV files.Would you like to download Windows "
        u"Media Formate 9 Series Runtime Package? (When the package is downloaded,please install it.)";
    if (AskQuery(this, message, u"WindowsMediaRuntime", u"Query") == u"Yes")
        OpenWebPage(String(kProductWebAddress) + u"/Software/wmfdist.exe");
}

}  // namespace app
