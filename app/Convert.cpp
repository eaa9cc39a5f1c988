#include "app/Convert.h"

#include "app/FormBuild.h"
#include "app/Main.h"
#include "app/OptionSettings.h"
#include "app/Progress.h"
#include "app/option.h"
#include "framework/forms/IniFiles.h"

namespace app {

TConvertForm* ConvertForm = nullptr;

TConvertForm::TConvertForm(TComponent* owner) : TForm(owner) {
    SetName(u"ConvertForm");
    SetCaption(u"Output Settings");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(480, 586);
    BuildOutputDirectory();
    BuildFormatGroup(this, this, 8, 134, 464, u"Multiplex (combine) video and audio files when conversion is complete",
                     u"Delete temporary video and audio files when conversion is complete");
    BuildBitrateGroup(this, this, 8, 336, 464, 116);
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
    ConnectOutputEvents(this);
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
    ShowOutputSettings(s);
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
    ShowPanelOf(sender);
    if (sender == rdbWMV && MainForm) MainForm->CheckWindowsMediaRuntime();
}

}  // namespace app
