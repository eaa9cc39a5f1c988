#include "app/Convert.h"

#include "app/FormBuild.h"
#include "app/Main.h"
#include "app/OptionSettings.h"
#include "app/Progress.h"
#include "app/QualitySlider.h"
#include "app/option.h"
#include "framework/forms/IniFiles.h"

namespace app {

TConvertForm* ConvertForm = nullptr;

namespace {

const char16_t* const kMpegFormats[] = {
    u"Standard MPEG1",
    u"MPEG1 with VCD extensions (NTSC)",
    u"MPEG1 with VCD extensions (PAL)",
    u"Standard MPEG2",
    u"MPEG2 with SVCD extensions (NTSC)",
    u"MPEG2 with SVCD extensions (PAL)",
    u"MPEG2 with DVD extensions (NTSC)",
    u"MPEG2 with DVD extensions (PAL)",
};

class LoadingScope {
public:
    explicit LoadingScope(bool& flag) : m_flag(flag), m_old(flag) { flag = true; }
    ~LoadingScope() { m_flag = m_old; }

private:
    bool& m_flag;
    bool m_old;
};

TComboBox* ComboBox(TComponent* owner, TWinControl* parent, const char16_t* name, int left, int top, int width,
                    TComboBoxStyle style = TComboBoxStyle::csDropDownList) {
    auto* c = new TComboBox(owner);
    c->SetName(name);
    c->SetStyle(style);
    c->SetBounds(left, top, width, 21);
    c->SetParent(parent);
    return c;
}

}  // namespace

TConvertForm::TConvertForm(TComponent* owner) : TForm(owner) {
    SetName(u"ConvertForm");
    SetCaption(u"Output Settings");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(480, 586);
    BuildOutputDirectory();
    BuildFormat();
    BuildBitrate();
    BuildParameters();
    btnAdvance = Place<TButton>(this, this, u"btnAdvance", 8, 552, 75, 25, u"&Advance");
    btnStart = Place<TButton>(this, this, u"btnStart", 316, 552, 75, 25, u"&Start");
    btnStart->SetDefault(true);
    btnCancel = Place<TButton>(this, this, u"btnCancel", 397, 552, 75, 25, u"&Cancel");
    btnCancel->SetCancel(true);
    OpenDirDialog1 = new shellbrowse::TBrowseFolderDialog(this);
    OpenDirDialog1->SetName(u"OpenDirDialog1");
    ConnectEvents();
}

void TConvertForm::BuildOutputDirectory() {
    gpbOutputDir = Place<TGroupBox>(this, this, u"gpbOutputDir", 8, 8, 464, 120, u"Output Directory");
    rdbDefault = Place<TRadioButton>(this, gpbOutputDir, u"rdbDefault", 12, 20, 300, 17,
                                     u"Default - Application directory");
    edtDefaultFolder = Place<TEdit>(this, gpbOutputDir, u"edtDefaultFolder", 30, 40, 422, 21);
    edtDefaultFolder->SetEnabled(false);
    rdbSource = Place<TRadioButton>(this, gpbOutputDir, u"rdbSource", 12, 68, 300, 17,
                                    u"The same folder as source file");
    rdbCustom = Place<TRadioButton>(this, gpbOutputDir, u"rdbCustom", 12, 94, 100, 17, u"Custom Folder");
    edtCustomFolder = Place<TEdit>(this, gpbOutputDir, u"edtCustomFolder", 116, 92, 306, 21);
    btnBrowse = Place<TButton>(this, gpbOutputDir, u"btnBrowse", 426, 92, 26, 21, u"...");
}

void TConvertForm::BuildFormat() {
    gpbFormat = Place<TGroupBox>(this, this, u"gpbFormat", 8, 134, 464, 196, u"Output Format && Profile");
    rdbAVI = Place<TRadioButton>(this, gpbFormat, u"rdbAVI", 12, 20, 60, 17, u"AVI");
    rdbMPEG = Place<TRadioButton>(this, gpbFormat, u"rdbMPEG", 80, 20, 60, 17, u"MPEG");
    rdbWMV = Place<TRadioButton>(this, gpbFormat, u"rdbWMV", 150, 20, 60, 17, u"WMV");
    auto panel = [&](const char16_t* name) {
        auto* p = Place<TPanel>(this, gpbFormat, name, 8, 42, 448, 146);
        p->SetBevelOuter(TBevelCut::bvNone);
        return p;
    };
    panAvi = panel(u"panAvi");
    labVideoCodec = Place<TLabel>(this, panAvi, u"labVideoCodec", 4, 4, 0, 0, u"Video Compression Codec:");
    cmbVideoCodec = ComboBox(this, panAvi, u"cmbVideoCodec", 4, 20, 264);
    btnVideoAbout = Place<TButton>(this, panAvi, u"btnVideoAbout", 276, 18, 75, 25, u"About");
    btnVideoConfig = Place<TButton>(this, panAvi, u"btnVideoConfig", 357, 18, 85, 25, u"Configure...");
    labAudioCodec = Place<TLabel>(this, panAvi, u"labAudioCodec", 4, 56, 0, 0, u"Audio Compression Codec:");
    cmbAudioCodec = ComboBox(this, panAvi, u"cmbAudioCodec", 4, 72, 264);
    btnAudioAbout = Place<TButton>(this, panAvi, u"btnAudioAbout", 276, 70, 75, 25, u"About");
    btnAudioConfig = Place<TButton>(this, panAvi, u"btnAudioConfig", 357, 70, 85, 25, u"Configure...");
    for (TButton* b : {btnVideoAbout, btnVideoConfig, btnAudioAbout, btnAudioConfig}) b->SetEnabled(false);

    panMPEG = panel(u"panMPEG");
    labMpegFormat = Place<TLabel>(this, panMPEG, u"labMpegFormat", 4, 4, 0, 0, u"MPEG Output Format");
    cmbMpegFormat = ComboBox(this, panMPEG, u"cmbMpegFormat", 4, 20, 300);
    for (const char16_t* f : kMpegFormats) cmbMpegFormat->Items().Add(f);
    chkCombine = Place<TCheckBox>(this, panMPEG, u"chkCombine", 4, 56, 440, 17,
                                  u"Multiplex (combine) video and audio files when conversion is complete");
    chkDelTemp = Place<TCheckBox>(this, panMPEG, u"chkDelTemp", 4, 80, 440, 17,
                                  u"Delete temporary video and audio files when conversion is complete");

    panWMV = panel(u"panWMV");
    labWmvProfile = Place<TLabel>(this, panWMV, u"labWmvProfile", 4, 4, 0, 0, u"Windows Media Profile");
    cmbWmvProfile = ComboBox(this, panWMV, u"cmbWmvProfile", 4, 20, 438);
    labDescription = Place<TLabel>(this, panWMV, u"labDescription", 4, 48, 0, 0, u"Discription:");
    memDescription = new TMemo(this);
    memDescription->SetName(u"memDescription");
    memDescription->SetReadOnly(true);
    memDescription->SetScrollBars(TScrollStyle::ssVertical);
    memDescription->SetBounds(4, 64, 438, 42);
    memDescription->SetParent(panWMV);
    labWmvVideo = Place<TLabel>(this, panWMV, u"labWmvVideo", 4, 118, 0, 0, u"Video Codec:");
    cmbWmvVideo = ComboBox(this, panWMV, u"cmbWmvVideo", 72, 114, 148);
    labWmvAudio = Place<TLabel>(this, panWMV, u"labWmvAudio", 232, 118, 0, 0, u"Audio Codec:");
    cmbWmvAudio = ComboBox(this, panWMV, u"cmbWmvAudio", 302, 114, 140);
}

void TConvertForm::BuildBitrate() {
    gpbBitrate = Place<TGroupBox>(this, this, u"gpbBitrate", 8, 336, 464, 116, u"Output Bitrate");
    labVideoBitrate = Place<TLabel>(this, gpbBitrate, u"labVideoBitrate", 12, 24, 0, 0, u"Video Bitrate");
    edtVideoBitrate = Place<TEdit>(this, gpbBitrate, u"edtVideoBitrate", 90, 20, 70, 21, u"2000");
    labAudioBitrate = Place<TLabel>(this, gpbBitrate, u"labAudioBitrate", 190, 24, 0, 0, u"Audio Bitrate");
    edtAudioBitrate = Place<TEdit>(this, gpbBitrate, u"edtAudioBitrate", 268, 20, 70, 21, u"128");
    rdbCBR = Place<TRadioButton>(this, gpbBitrate, u"rdbCBR", 12, 52, 200, 17, u"Use Constant Bitrate (CBR)");
    rdbVBR = Place<TRadioButton>(this, gpbBitrate, u"rdbVBR", 220, 52, 200, 17, u"Use Variable Bitrate (VBR)");
    labQuality = Place<TLabel>(this, gpbBitrate, u"labQuality", 12, 86, 0, 0, u"Quality:");
    bvlQuality = Place<TBevel>(this, gpbBitrate, u"bvlQuality", kThumbLeftMin, 89, 150, 5);
    btnThumb = Place<TButton>(this, gpbBitrate, u"btnThumb", ThumbLeftForQuality(90), 84, 10, 14);
    btnThumb->SetTabStop(false);
    spnQuality = new TSpinEdit(this);
    spnQuality->SetName(u"spnQuality");
    spnQuality->SetMinValue(0);
    spnQuality->SetMaxValue(100);
    spnQuality->SetBounds(240, 82, 56, 21);
    spnQuality->SetParent(gpbBitrate);
    spnQuality->SetValue(90);
}

void TConvertForm::BuildParameters() {
    gpbParameters = Place<TGroupBox>(this, this, u"gpbParameters", 8, 458, 464, 86, u"Output Parameters");
    auto editable = [&](const char16_t* labelName, const char16_t* caption, const char16_t* name, int left,
                        std::initializer_list<const char16_t*> items, TLabel*& label) {
        label = Place<TLabel>(this, gpbParameters, labelName, left, 20, 0, 0, caption);
        TComboBox* c = ComboBox(this, gpbParameters, name, left, 36, 110, TComboBoxStyle::csDropDown);
        for (const char16_t* item : items) c->Items().Add(item);
        return c;
    };
    cmbWidth = editable(u"labWidth", u"Output Width", u"cmbWidth", 12,
                        {u"Source", u"160", u"176", u"320", u"352", u"640"}, labWidth);
    cmbHeight = editable(u"labHeight", u"Output Height", u"cmbHeight", 134,
                         {u"Source", u"120", u"144", u"240", u"288", u"480"}, labHeight);
    cmbFrameRate = editable(u"labFrameRate", u"Output Frame Rate", u"cmbFrameRate", 256,
                            {u"Source", u"15", u"24", u"25", u"29", u"30"}, labFrameRate);
    labTip = Place<TLabel>(this, gpbParameters, u"labTip", 12, 64, 0, 0,
                           u"Tip:Click drop-down lists to enter custom values.");
}

void TConvertForm::ConnectEvents() {
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    btnStart->OnClick = [this](TObject* s) { btnStartClick(s); };
    btnCancel->OnClick = [this](TObject*) { Close(); };
    btnAdvance->OnClick = [](TObject*) {
        if (OptionForm) OptionForm->Show();
    };
    btnBrowse->OnClick = [this](TObject* s) { btnBrowseClick(s); };
    for (TRadioButton* r : {rdbAVI, rdbMPEG, rdbWMV}) r->OnClick = [this](TObject* s) { rdbFormatClick(s); };
    cmbVideoCodec->OnChange = [this](TObject* s) { cmbVideoCodecChange(s); };
    cmbAudioCodec->OnChange = [this](TObject* s) { cmbAudioCodecChange(s); };
    cmbWmvProfile->OnChange = [this](TObject* s) { cmbWmvProfileChange(s); };
    btnVideoAbout->OnClick = [this](TObject*) { CodecButtonClick(false, true); };
    btnVideoConfig->OnClick = [this](TObject*) { CodecButtonClick(false, false); };
    btnAudioAbout->OnClick = [this](TObject*) { CodecButtonClick(true, true); };
    btnAudioConfig->OnClick = [this](TObject*) { CodecButtonClick(true, false); };
    btnThumb->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
        btnThumbMouseDown(s, b, sh, x, y);
    };
    btnThumb->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { btnThumbMouseMove(s, sh, x, y); };
    spnQuality->OnChange = [this](TObject* s) { spnQualityChange(s); };
    spnQuality->OnClick = [this](TObject*) { rdbVBR->SetChecked(true); };
    edtVideoBitrate->OnClick = [this](TObject*) { rdbCBR->SetChecked(true); };
    edtAudioBitrate->OnClick = [this](TObject*) { rdbCBR->SetChecked(true); };
}

// ---- Settings --------------------------------------------------------------------------

void TConvertForm::FormCreate(TObject*) {
    edtDefaultFolder->SetText(ProgramFolder);
    OptionLinks.convertForm = this;
}

void TConvertForm::FormShow(TObject*) {
    LoadSettings();
    for (TComboBox* c : {cmbWidth, cmbHeight, cmbFrameRate}) c->SetItemIndex(0);
}

void TConvertForm::LoadSettings() {
    OptionSettings s;
    {
        TIniFile ini(ProgramFolder + kOptionFileName);
        s.Load(ini);
    }
    LoadingScope loading(m_loading);
    rdbDefault->SetChecked(s.Default);
    rdbSource->SetChecked(s.Source);
    rdbCustom->SetChecked(s.Custom);
    edtCustomFolder->SetText(s.CustomFolder);
    rdbAVI->SetChecked(s.AVI);
    rdbMPEG->SetChecked(s.MPEG);
    rdbWMV->SetChecked(s.WMV);
    ShowFormatPanel();
    cmbVideoCodec->SetItemIndex(s.AviVidCodec);
    cmbAudioCodec->SetItemIndex(s.AviAudCodec);
    cmbVideoCodecChange(cmbVideoCodec);
    cmbAudioCodecChange(cmbAudioCodec);
    cmbMpegFormat->SetItemIndex(s.MpegFormat);
    chkCombine->SetChecked(s.CombineVidAud);
    chkDelTemp->SetChecked(s.DelTempFile);
    cmbWmvProfile->SetItemIndex(s.WmvProfile);
    cmbWmvVideo->SetItemIndex(s.WmvVidCodec);
    cmbWmvAudio->SetItemIndex(s.WmvAudCodec);
    cmbWmvProfileChange(cmbWmvProfile);
    rdbCBR->SetChecked(s.UseCBR);
    rdbVBR->SetChecked(s.UseVBR);
    edtVideoBitrate->SetText(s.VideoBitrate);
    edtAudioBitrate->SetText(s.AudioBitrate);
    spnQuality->SetValue(s.VBR);
    if (s.VBR >= 0 && s.VBR <= 100) MoveThumbTo(s.VBR);
}

void TConvertForm::SaveSettings() {
    TIniFile ini(ProgramFolder + kOptionFileName);
    ini.WriteBool(u"General", u"Default", rdbDefault->Checked());
    ini.WriteBool(u"General", u"Source", rdbSource->Checked());
    ini.WriteBool(u"General", u"Custom", rdbCustom->Checked());
    ini.WriteString(u"General", u"CustomFolder", edtCustomFolder->GetText());
    ini.WriteBool(u"OutputFormat", u"AVI", rdbAVI->Checked());
    ini.WriteBool(u"OutputFormat", u"MPEG", rdbMPEG->Checked());
    ini.WriteBool(u"OutputFormat", u"WMV", rdbWMV->Checked());
    ini.WriteInteger(u"OutputFormat", u"AviVidCodec", cmbVideoCodec->ItemIndex());
    ini.WriteInteger(u"OutputFormat", u"AviAudCodec", cmbAudioCodec->ItemIndex());
    ini.WriteInteger(u"OutputFormat", u"MpegFormat", cmbMpegFormat->ItemIndex());
    ini.WriteBool(u"OutputFormat", u"CombineVidAud", chkCombine->Checked());
    ini.WriteBool(u"OutputFormat", u"DelTempFile", chkDelTemp->Checked());
    ini.WriteInteger(u"OutputFormat", u"WmvProfile", cmbWmvProfile->ItemIndex());
    ini.WriteInteger(u"OutputFormat", u"WmvVidCodec", cmbWmvVideo->ItemIndex());
    ini.WriteInteger(u"OutputFormat", u"WmvAudCodec", cmbWmvAudio->ItemIndex());
    ini.WriteBool(u"OutputFormat", u"UseCBR", rdbCBR->Checked());
    ini.WriteBool(u"OutputFormat", u"UseVBR", rdbVBR->Checked());
    ini.WriteString(u"OutputFormat", u"VideoBitrate", edtVideoBitrate->GetText());
    ini.WriteString(u"OutputFormat", u"AudioBitrate", edtAudioBitrate->GetText());
    ini.WriteInteger(u"OutputFormat", u"VBR", spnQuality->Value());
    ini.UpdateFile();
}

void TConvertForm::ShowFormatPanel() {
    TPanel* shown = rdbAVI->Checked() ? panAvi : rdbMPEG->Checked() ? panMPEG : panWMV;
    for (TPanel* p : {panAvi, panMPEG, panWMV}) p->SetVisible(p == shown);
}

void TConvertForm::MoveThumbTo(int quality) { btnThumb->SetLeft(ThumbLeftForQuality(quality)); }

// ---- Handlers --------------------------------------------------------------------------

void TConvertForm::btnStartClick(TObject*) {
    Hide();
    if (ProgressForm) ProgressForm->Show();
    SaveSettings();
}

// The main window was hidden while this one is in use.
void TConvertForm::FormClose(TObject*, TCloseAction&) {
    if (OptionLinks.mainForm) OptionLinks.mainForm->Show();
}

void TConvertForm::btnBrowseClick(TObject*) {
    if (!OpenDirDialog1->Execute()) return;
    if (shellbrowse::IsDirectory(OpenDirDialog1->Selection())) {
        edtCustomFolder->SetText(OpenDirDialog1->Selection());
    } else {
        const HWND owner = MainForm ? MainForm->Handle() : Handle();
        Application->MessageBox(owner, u"Your selection is not a proper directory.", u"Information",
                                MB_ICONINFORMATION);
    }
}

void TConvertForm::rdbFormatClick(TObject* sender) {
    if (m_loading) return;
    TPanel* shown = sender == rdbAVI ? panAvi : sender == rdbMPEG ? panMPEG : panWMV;
    for (TPanel* p : {panAvi, panMPEG, panWMV}) p->SetVisible(p == shown);
    if (sender == rdbWMV && MainForm) MainForm->CheckWindowsMediaRuntime();
}

void TConvertForm::cmbVideoCodecChange(TObject*) {
    const int index = cmbVideoCodec->ItemIndex();
    ICodecBoxes* codecs = OptionLinks.codecs;
    btnVideoAbout->SetEnabled(index >= 0 && codecs && codecs->HasAboutBox(false, index));
    btnVideoConfig->SetEnabled(index >= 0 && codecs && codecs->HasConfigBox(false, index));
}

void TConvertForm::cmbAudioCodecChange(TObject*) {
    const int index = cmbAudioCodec->ItemIndex();
    ICodecBoxes* codecs = OptionLinks.codecs;
    btnAudioAbout->SetEnabled(index >= 0 && codecs && codecs->HasAboutBox(true, index));
    btnAudioConfig->SetEnabled(index >= 0 && codecs && codecs->HasConfigBox(true, index));
}

void TConvertForm::CodecButtonClick(bool audio, bool about) {
    const int index = (audio ? cmbAudioCodec : cmbVideoCodec)->ItemIndex();
    ICodecBoxes* codecs = OptionLinks.codecs;
    if (index < 0 || !codecs) return;
    if (about) codecs->ShowAboutBox(audio, index, Handle());
    else codecs->ShowConfigBox(audio, index, Handle());
}

void TConvertForm::cmbWmvProfileChange(TObject*) {
    memDescription->SetText(OptionLinks.codecs ? OptionLinks.codecs->ProfileDescription(cmbWmvProfile->ItemIndex())
                                               : String());
}

void TConvertForm::btnThumbMouseDown(TObject*, TMouseButton button, TShiftState, int x, int) {
    if (button != TMouseButton::mbLeft) return;
    m_thumbPressedX = x;
    rdbVBR->SetChecked(true);
}

void TConvertForm::btnThumbMouseMove(TObject*, TShiftState shift, int x, int) {
    if (!(shift & ssLeft)) return;
    const int left = DragThumb(btnThumb->Left(), m_thumbPressedX, x);
    btnThumb->SetLeft(left);
    spnQuality->SetValue(QualityForThumbLeft(left));
}

void TConvertForm::spnQualityChange(TObject*) {
    const int value = spnQuality->Value();
    if (value >= 0 && value <= 100) MoveThumbTo(value);
    if (!m_loading) rdbVBR->SetChecked(true);
}

}  // namespace app
