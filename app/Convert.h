// The output-settings window: folder, format, compressors, profile, bit
// rates and frame size for the next batch; shown in place of the main
// window. Its compressor, codec and profile lists are filled by the
// progress window's control shortly after start-up.
#pragma once

#include "app/AppLinks.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"
#include "shellbrowse/FolderDialog.h"

namespace app {

using namespace forms;

class TConvertForm : public TForm {
public:
    FORMS_CLASS(TConvertForm)
    explicit TConvertForm(TComponent* owner);

    void LoadSettings();
    void SaveSettings();
    void ShowFormatPanel();

    // Output Directory
    TGroupBox* gpbOutputDir;
    TRadioButton* rdbDefault;
    TEdit* edtDefaultFolder;
    TRadioButton* rdbSource;
    TRadioButton* rdbCustom;
    TEdit* edtCustomFolder;
    TButton* btnBrowse;

    // Output Format & Profile
    TGroupBox* gpbFormat;
    TRadioButton* rdbAVI;
    TRadioButton* rdbMPEG;
    TRadioButton* rdbWMV;
    TPanel* panAvi;
    TLabel* labVideoCodec;
    TComboBox* cmbVideoCodec;
    TButton* btnVideoAbout;
    TButton* btnVideoConfig;
    TLabel* labAudioCodec;
    TComboBox* cmbAudioCodec;
    TButton* btnAudioAbout;
    TButton* btnAudioConfig;
    TPanel* panMPEG;
    TLabel* labMpegFormat;
    TComboBox* cmbMpegFormat;
    TCheckBox* chkCombine;
    TCheckBox* chkDelTemp;
    TPanel* panWMV;
    TLabel* labWmvProfile;
    TComboBox* cmbWmvProfile;
    TLabel* labDescription;
    TMemo* memDescription;
    TLabel* labWmvVideo;
    TComboBox* cmbWmvVideo;
    TLabel* labWmvAudio;
    TComboBox* cmbWmvAudio;

    // Output Bitrate
    TGroupBox* gpbBitrate;
    TLabel* labVideoBitrate;
    TEdit* edtVideoBitrate;
    TLabel* labAudioBitrate;
    TEdit* edtAudioBitrate;
    TRadioButton* rdbCBR;
    TRadioButton* rdbVBR;
    TLabel* labQuality;
    TBevel* bvlQuality;
    TButton* btnThumb;
    TSpinEdit* spnQuality;

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
    void BuildFormat();
    void BuildBitrate();
    void BuildParameters();
    void ConnectEvents();
    void MoveThumbTo(int quality);

    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void btnStartClick(TObject* sender);
    void btnBrowseClick(TObject* sender);
    void rdbFormatClick(TObject* sender);
    void cmbVideoCodecChange(TObject* sender);
    void cmbAudioCodecChange(TObject* sender);
    void cmbWmvProfileChange(TObject* sender);
    void CodecButtonClick(bool audio, bool about);
    void btnThumbMouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
    void btnThumbMouseMove(TObject* sender, TShiftState shift, int x, int y);
    void spnQualityChange(TObject* sender);

    int m_thumbPressedX = 0;
    // While settings go into the controls, the reactions meant for the
    // user (the runtime check, checking CBR or VBR) stay quiet.
    bool m_loading = false;
};

extern TConvertForm* ConvertForm;

}  // namespace app
