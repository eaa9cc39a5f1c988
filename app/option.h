// The options window: every setting of Option.ini on four pages, the skin
// choice with skin-file management, and the end-of-run sound with a small
// player. It owns the file's layout (load, save, defaults).
#pragma once

#include "app/AppLinks.h"
#include "app/OptionSettings.h"
#include "app/OutputControls.h"
#include "framework/forms/ComCtrls.h"
#include "framework/forms/Dialogs.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/MPlayer.h"
#include "framework/forms/StdCtrls.h"

namespace app {

using namespace forms;

// The skin last applied from the file or chosen with OK; empty at start.
extern String LastSkinName;

class TOptionForm : public TForm, public TOutputControls {
public:
    FORMS_CLASS(TOptionForm)
    explicit TOptionForm(TComponent* owner);

    void LoadOptions();
    void SaveOptions();
    void ListSkins();
    void PreviewSkin();
    // Program folder + "Skins\" + name + ".skn".
    static String SkinPath(const String& name);

    TPageControl* pgcOptions;
    TTabSheet* tabGeneral;
    TTabSheet* tabOutput;
    TTabSheet* tabSkins;
    TTabSheet* tabAdvanced;

    // General
    TGroupBox* gpbOutputDir;
    TRadioButton* rdbDefault;
    TEdit* edtDefaultFolder;
    TRadioButton* rdbSource;
    TRadioButton* rdbCustom;
    TEdit* edtCustomFolder;
    TGroupBox* gpbCollision;
    TRadioButton* rdbSkip;
    TRadioButton* rdbOverwrite;
    TRadioButton* rdbQuery;
    TRadioButton* rdbAutoRenaming;
    TEdit* edtRenamingRule;
    TLabel* labRenamingRule;

    // Skins
    TLabel* labSkins;
    TListBox* ltbSkin;
    TCheckBox* chkAutoPreview;
    TButton* btnPreview;
    TButton* btnImportSkin;
    TButton* btnExportSkin;
    TButton* btnDeleteSkin;
    TButton* btnMoreSkins;
    TFileListBox* flbSkins;
    TOpenDialog* dlgImportSkin;
    TSaveDialog* dlgExportSkin;

    // Advanced
    TGroupBox* gpbAfterRun;
    TCheckBox* chkDeleteSource;
    TCheckBox* chkOpenDirectory;
    TCheckBox* chkExitProgram;
    TCheckBox* chkShutDown;
    TGroupBox* gpbSound;
    TCheckBox* chkPlaySound;
    TRadioButton* rdbSoundDefault;
    TRadioButton* rdbSoundCustom;
    TEdit* edtCustomSound;
    TButton* btnBrowseSound;
    TButton* btnPlay;
    TButton* btnPause;
    TButton* btnStop;
    TMediaPlayer* MediaPlayer1;
    TOpenDialog* dlgSound;
    TGroupBox* gpbQuery;
    TRadioButton* rdbShowQuery;
    TLinkLabel* labMore;
    TRadioButton* rdbNoQuery;
    TPanel* panAlways;
    TRadioButton* rdbAlwaysYes;
    TRadioButton* rdbAlwaysNo;
    TCheckBox* chkQueryRuntime;
    TCheckBox* chkEverydayTips;

    TButton* btnLoadDefault;
    TButton* btnOK;
    TButton* btnCancel;

private:
    void BuildGeneralPage();
    void BuildOutputPage();
    void BuildSkinsPage();
    void BuildAdvancedPage();
    void ConnectEvents();
    // Puts the settings into the controls, in the order the window's
    // handlers need (panels, then combos and their change handlers).
    void ShowSettings(const OptionSettings& s, bool fromFile);
    OptionSettings CollectSettings();
    void ApplySkin(const String& name);

    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void btnOKClick(TObject* sender);
    void btnCancelClick(TObject* sender);
    void btnLoadDefaultClick(TObject* sender);
    void ltbSkinClick(TObject* sender);
    void btnImportSkinClick(TObject* sender);
    void btnExportSkinClick(TObject* sender);
    void btnDeleteSkinClick(TObject* sender);
    void btnMoreSkinsClick(TObject* sender);
    void btnBrowseSoundClick(TObject* sender);
    void btnPlayClick(TObject* sender);
    void btnPauseClick(TObject* sender);
    void btnStopClick(TObject* sender);
    void labMoreClick(TObject* sender);
};

extern TOptionForm* OptionForm;

}  // namespace app
