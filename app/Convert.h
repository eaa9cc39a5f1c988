// The output-settings window: folder, format, compressors, profile, bit
// rates and frame size for the next batch; shown in place of the main
// window. Its compressor, codec and profile lists are filled by the
// progress window's control shortly after start-up.
#pragma once

#include "app/AppLinks.h"
#include "app/OutputControls.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"
#include "shellbrowse/FolderDialog.h"

namespace app {

using namespace forms;

class TConvertForm : public TForm, public TOutputControls {
public:
    FORMS_CLASS(TConvertForm)
    explicit TConvertForm(TComponent* owner);

    void LoadSettings();
    void SaveSettings();

    // Output Directory
    TGroupBox* gpbOutputDir;
    TRadioButton* rdbDefault;
    TEdit* edtDefaultFolder;
    TRadioButton* rdbSource;
    TRadioButton* rdbCustom;
    TEdit* edtCustomFolder;
    TButton* btnBrowse;

    // Output Parameters
    TGroupBox* gpbParameters;
    TLabel* labWidth;
    TComboBox* cmbWidth;
    TLabel* labHeight;
    TComboBox* cmbHeight;
    TLabel* labFrameRate;
    TComboBox* cmbFrameRate;
    TLabel* labTip;

    TButton* btnAdvance;
    TButton* btnStart;
    TButton* btnCancel;
    shellbrowse::TBrowseFolderDialog* OpenDirDialog1;

private:
    void BuildOutputDirectory();
    void BuildParameters();
    void ConnectEvents();

    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void btnStartClick(TObject* sender);
    void btnBrowseClick(TObject* sender);
    void rdbFormatClick(TObject* sender);
};

extern TConvertForm* ConvertForm;

}  // namespace app
