// The output format, compressor, profile and bit-rate controls that the
// output-settings window and the options window both hold, under the same
// names and with the same handlers. Each window derives from this beside
// TForm, builds the two groups where its layout wants them and connects
// what differs between the two (the format radios, the bit-rate edits).
#pragma once

#include "app/OptionSettings.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/StdCtrls.h"

namespace app {

// Sets a flag for the life of a scope and puts the old value back.
class LoadingScope {
public:
    explicit LoadingScope(bool& flag) : m_flag(flag), m_old(flag) { flag = true; }
    ~LoadingScope() { m_flag = m_old; }
    LoadingScope(const LoadingScope&) = delete;
    LoadingScope& operator=(const LoadingScope&) = delete;

private:
    bool& m_flag;
    bool m_old;
};

class TOutputControls {
public:
    // Output Format & Profile
    forms::TGroupBox* gpbFormat = nullptr;
    forms::TRadioButton* rdbAVI = nullptr;
    forms::TRadioButton* rdbMPEG = nullptr;
    forms::TRadioButton* rdbWMV = nullptr;
    forms::TPanel* panAvi = nullptr;
    forms::TLabel* labVideoCodec = nullptr;
    forms::TComboBox* cmbVideoCodec = nullptr;
    forms::TButton* btnVideoAbout = nullptr;
    forms::TButton* btnVideoConfig = nullptr;
    forms::TLabel* labAudioCodec = nullptr;
    forms::TComboBox* cmbAudioCodec = nullptr;
    forms::TButton* btnAudioAbout = nullptr;
    forms::TButton* btnAudioConfig = nullptr;
    forms::TPanel* panMPEG = nullptr;
    forms::TLabel* labMpegFormat = nullptr;
    forms::TComboBox* cmbMpegFormat = nullptr;
    forms::TCheckBox* chkCombine = nullptr;
    forms::TCheckBox* chkDelTemp = nullptr;
    forms::TPanel* panWMV = nullptr;
    forms::TLabel* labWmvProfile = nullptr;
    forms::TComboBox* cmbWmvProfile = nullptr;
    forms::TLabel* labDescription = nullptr;
    forms::TMemo* memDescription = nullptr;
    forms::TLabel* labWmvVideo = nullptr;
    forms::TComboBox* cmbWmvVideo = nullptr;
    forms::TLabel* labWmvAudio = nullptr;
    forms::TComboBox* cmbWmvAudio = nullptr;

    // Output Bitrate
    forms::TGroupBox* gpbBitrate = nullptr;
    forms::TLabel* labVideoBitrate = nullptr;
    forms::TEdit* edtVideoBitrate = nullptr;
    forms::TLabel* labAudioBitrate = nullptr;
    forms::TEdit* edtAudioBitrate = nullptr;
    forms::TRadioButton* rdbCBR = nullptr;
    forms::TRadioButton* rdbVBR = nullptr;
    forms::TLabel* labQuality = nullptr;
    forms::TBevel* bvlQuality = nullptr;
    forms::TButton* btnThumb = nullptr;
    forms::TSpinEdit* spnQuality = nullptr;

    // Shows the panel of the checked format radio.
    void ShowFormatPanel();

protected:
    TOutputControls() = default;
    ~TOutputControls() = default;

    // The MPEG check boxes' captions differ between the two windows.
    void BuildFormatGroup(forms::TForm* window, forms::TWinControl* parent, int left, int top, int width,
                          const char16_t* combineCaption, const char16_t* delTempCaption);
    void BuildBitrateGroup(forms::TForm* window, forms::TWinControl* parent, int left, int top, int width,
                           int height);
    // The compressor, profile, thumb and quality handlers. The codec boxes
    // are owned by `window`.
    void ConnectOutputEvents(forms::TForm* window);

    // The format radios to the compression quality, in the order the
    // handlers need them (panel, then the combos and their change handlers).
    void ShowOutputSettings(const OptionSettings& s);
    // Shows the panel of one format radio and hides the other two.
    void ShowPanelOf(forms::TObject* radio);
    void MoveThumbTo(int quality);

    void cmbVideoCodecChange(forms::TObject* sender);
    void cmbAudioCodecChange(forms::TObject* sender);
    void cmbWmvProfileChange(forms::TObject* sender);

    // While settings go into the controls, the reactions meant for the
    // user's edits stay quiet.
    bool m_loading = false;

private:
    void CodecButtonClick(bool audio, bool about);
    void btnThumbMouseDown(int x);
    void btnThumbMouseMove(forms::TShiftState shift, int x);
    void spnQualityChange();

    forms::TForm* m_window = nullptr;
    int m_thumbPressedX = 0;
};

}  // namespace app
