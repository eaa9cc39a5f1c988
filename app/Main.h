// The main window: the explorer pane, the task list with each source's
// media facts, the tool bar and menus. Its creation finds the program and
// system folders, moves the outside decoder file aside and reads the
// version; its close puts the decoder file back.
#pragma once

#include "app/AppLinks.h"
#include "app/TaskRules.h"
#include "app/VantrexLib.h"
#include "app/WinFolderSystem.h"
#include "framework/forms/ComCtrls.h"
#include "framework/forms/Dialogs.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/ImgList.h"
#include "framework/forms/Menus.h"
#include "framework/forms/MPlayer.h"
#include "framework/forms/StdCtrls.h"
#include "shellbrowse/FolderDialog.h"
#include "shellbrowse/ShellExplorer.h"
#include "skin/SkinData.h"

namespace app {

using namespace forms;
using shellbrowse::TBrowseFolderDialog;
using shellbrowse::TDirTree;
using shellbrowse::TFileListView;

// The main window's built-in skin as stored with the window: the skin
// component's SkinStream property (drawn at build time). Tests may point it
// at other bytes before the window is made.
struct StoredSkin {
    const unsigned char* data;
    size_t size;
};
extern StoredSkin MainSkinStream;

// The skin component as the options window drives it.
class SkinDataSwitch final : public ISkinSwitch {
public:
    explicit SkinDataSwitch(skin::TSkinData*& data) : m_data(data) {}
    String SkinFile() const override { return m_data->SkinFile(); }
    void SetSkinFile(const String& path) override { m_data->SetSkinFile(path); }
    bool Active() const override { return m_data->Active(); }
    void SetActive(bool on) override { m_data->SetActive(on); }

private:
    skin::TSkinData*& m_data;
};

class TMainForm : public TForm, public IExplorerPane {
public:
    FORMS_CLASS(TMainForm)
    explicit TMainForm(TComponent* owner);
    ~TMainForm() override;

    // The task list.
    bool AddTaskItem(const String& path);
    void AddFolder(const String& folder);
    bool HasSubFolders(const String& folder);
    void BeginSearch();
    void EndSearch();
    void AddFolderFiles(const String& folder);
    void AddFolderTree(const String& folder);

    // The yes/no query dialog, waited for with the owner disabled: "Yes" or "No".
    String AskQuery(TCustomForm* owner, const String& message, const String& key, const String& caption);
    // Offers the Windows Media runtime when its files are missing.
    void CheckWindowsMediaRuntime();
    // Renames "ffdshow.bak" in the system folder back to "ffdshow.ax": on
    // close, at the end of the session and before a power-off.
    void RestoreDecoderFile();

    // IExplorerPane: the folder tree opens the folder, the list shows it.
    void OpenFolder(const String& path) override;

    // The Windows system folder, without a trailing backslash.
    String SystemFolder;
    // Option.ini General/Version: the caption, the about box, the log header.
    String VersionText;
    // False while a folder search runs.
    bool SearchCancelled = true;

    TImageList* imlTools;
    skin::TSkinData* SkinData1;
    TMainMenu* mnuMain;
    TMenuItem* mnuFile;
    TMenuItem* mnuAddFile;
    TMenuItem* mnuAddDir;
    TMenuItem* mnuRemove;
    TMenuItem* mnuClear;
    TMenuItem* mnuConvert;
    TMenuItem* mnuExit;
    TMenuItem* mnuTools;
    TMenuItem* mnuOptions;
    TMenuItem* mnuHelp;
    TMenuItem* mnuContent;
    TMenuItem* mnuHomePage;
    TMenuItem* mnuAbout;
    TToolBar* tlbMain;
    TToolButton* tbtnAddFile;
    TToolButton* tbtnAddDir;
    TToolButton* tbtnRemove;
    TToolButton* tbtnClear;
    TToolButton* tbtnConvert;
    TToolButton* tbtnOptions;
    TToolButton* tbtnHelp;
    TToolButton* tbtnAbout;

    TPanel* panNote;
    TLabel* labNote;
    TLinkLabel* labHere;
    TLinkLabel* labMoreInfo;

    TGroupBox* gpbExplorer;
    TDirTree* DirList;
    TFileListView* FileList;
    TSplitter* splMain;
    TGroupBox* gpbTask;
    TListView* ltvList;
    TVantrex* Vantrex1;
    TPopupMenu* popTask;
    TMenuItem* popPreview;
    TMenuItem* popRemove;
    TMenuItem* popClear;

    TPanel* panSearching;
    TLabel* labSearching;
    TLabel* labSearchFolderTitle;
    TLabel* labSearchFolder;
    TButton* btnCancel;

    TMediaPlayer* MediaPlayer1;
    TOpenDialog* OpenDialog1;
    TBrowseFolderDialog* OpenDirDialog1;

protected:
    void WndProc(TMessage& message) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildNote();
    void PlaceNoteLinks();
    void BuildExplorer();
    void BuildTaskList();
    void BuildSearchPanel();
    void ConnectEvents();
    void LayoutPanes(bool heights);
    void MoveDecoderFileAside();
    bool SearchStopped() const;
    MediaFacts ReadMediaFacts(const String& path);
    bool AnyWindowsMediaTask();
    void OpenWebPage(const String& address);

    void FormCreate(TObject* sender);
    void FormCloseQuery(TObject* sender, bool& canClose);
    void FormClose(TObject* sender, TCloseAction& action);
    void FormResize(TObject* sender);
    void tbtnAddFileClick(TObject* sender);
    void tbtnAddDirClick(TObject* sender);
    void tbtnRemoveClick(TObject* sender);
    void tbtnClearClick(TObject* sender);
    void tbtnConvertClick(TObject* sender);
    void tbtnOptionsClick(TObject* sender);
    void tbtnHelpClick(TObject* sender);
    void tbtnAboutClick(TObject* sender);
    void ltvListDblClick(TObject* sender);
    void ltvListDragOver(TObject* sender, TObject* source, int x, int y, TDragState state, bool& accept);
    void ltvListDragDrop(TObject* sender, TObject* source, int x, int y);
    void btnCancelClick(TObject* sender);

    WinFolderSystem m_folders;
    SkinDataSwitch m_skinSwitch{SkinData1};
};

extern TMainForm* MainForm;

}  // namespace app
