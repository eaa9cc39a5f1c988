#include "app/option.h"

#include <windows.h>
#include <shellapi.h>

#include "app/FormBuild.h"
#include "framework/com/WinText.h"

namespace app {

String LastSkinName;
TOptionForm* OptionForm = nullptr;

namespace {

bool FileExists(const String& path) {
    const DWORD a = GetFileAttributesW(com::W(path));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

String OptionFile() { return ProgramFolder + kOptionFileName; }

}  // namespace

TOptionForm::TOptionForm(TComponent* owner) : TForm(owner) {
    SetName(u"OptionForm");
    SetCaption(u"Options");
    SetBorderStyle(TFormBorderStyle::bsDialog);
    SetFormStyle(TFormStyle::fsStayOnTop);
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(480, 455);

    pgcOptions = Place<TPageControl>(this, this, u"pgcOptions", 8, 8, 464, 404);
    auto sheet = [&](const char16_t* name, const char16_t* caption) {
        auto* s = new TTabSheet(this);
        s->SetName(name);
        s->SetCaption(caption);
        s->SetPageControl(pgcOptions);
        return s;
    };
    tabGeneral = sheet(u"tabGeneral", u"General");
    tabOutput = sheet(u"tabOutput", u"Output Settings");
    tabSkins = sheet(u"tabSkins", u"    Skins    ");
    tabAdvanced = sheet(u"tabAdvanced", u" Advanced ");
    BuildGeneralPage();
    BuildOutputPage();
    BuildSkinsPage();
    BuildAdvancedPage();

    btnLoadDefault = Place<TButton>(this, this, u"btnLoadDefault", 8, 420, 90, 25, u"Load Default");
    btnOK = Place<TButton>(this, this, u"btnOK", 316, 420, 75, 25, u"&OK");
    btnOK->SetDefault(true);
    btnCancel = Place<TButton>(this, this, u"btnCancel", 397, 420, 75, 25, u"&Cancel");
    btnCancel->SetCancel(true);
    ConnectEvents();
}

void TOptionForm::BuildGeneralPage() {
    gpbOutputDir = Place<TGroupBox>(this, tabGeneral, u"gpbOutputDir", 8, 8, 440, 124, u"Output Directory");
    rdbDefault = Place<TRadioButton>(this, gpbOutputDir, u"rdbDefault", 12, 20, 300, 17, u"Default - Application directory");
    edtDefaultFolder = Place<TEdit>(this, gpbOutputDir, u"edtDefaultFolder", 30, 40, 398, 21);
    edtDefaultFolder->SetEnabled(false);
    rdbSource = Place<TRadioButton>(this, gpbOutputDir, u"rdbSource", 12, 68, 300, 17, u"The same folder as source file");
    rdbCustom = Place<TRadioButton>(this, gpbOutputDir, u"rdbCustom", 12, 94, 100, 17, u"Custom Folder");
    edtCustomFolder = Place<TEdit>(this, gpbOutputDir, u"edtCustomFolder", 116, 92, 312, 21);

    gpbCollision =
        Place<TGroupBox>(this, tabGeneral, u"gpbCollision", 8, 142, 440, 138, u"If the output file already exists");
    rdbSkip = Place<TRadioButton>(this, gpbCollision, u"rdbSkip", 12, 20, 200, 17, u"Skip");
    rdbOverwrite = Place<TRadioButton>(this, gpbCollision, u"rdbOverwrite", 12, 42, 200, 17, u"Overwrite");
    rdbQuery = Place<TRadioButton>(this, gpbCollision, u"rdbQuery", 12, 64, 200, 17, u"Query");
    rdbAutoRenaming = Place<TRadioButton>(this, gpbCollision, u"rdbAutoRenaming", 12, 88, 106, 17, u"Auto Renaming");
    edtRenamingRule = Place<TEdit>(this, gpbCollision, u"edtRenamingRule", 122, 86, 120, 21);
    labRenamingRule = Place<TLabel>(this, gpbCollision, u"labRenamingRule", 122, 112, 0, 0,
                                    u"(% stands for the source file name)");
}

void TOptionForm::BuildOutputPage() {
    BuildFormatGroup(this, tabOutput, 8, 8, 440, u"Multiplex (combine) video and audio files when conversion is",
                     u"Delete temporary video and audio files when conversion is");
    BuildBitrateGroup(this, tabOutput, 8, 212, 440, 124);
}

void TOptionForm::BuildSkinsPage() {
    labSkins = Place<TLabel>(this, tabSkins, u"labSkins", 8, 8, 0, 0, u"Skins:");
    ltbSkin = Place<TListBox>(this, tabSkins, u"ltbSkin", 8, 26, 220, 300);
    chkAutoPreview = Place<TCheckBox>(this, tabSkins, u"chkAutoPreview", 8, 334, 150, 17, u"Auto Preview");
    chkAutoPreview->SetChecked(true);
    btnPreview = Place<TButton>(this, tabSkins, u"btnPreview", 240, 26, 110, 25, u"&Preview");
    btnImportSkin = Place<TButton>(this, tabSkins, u"btnImportSkin", 240, 58, 110, 25, u"&Import Skin");
    btnExportSkin = Place<TButton>(this, tabSkins, u"btnExportSkin", 240, 90, 110, 25, u"&Export Skin");
    btnDeleteSkin = Place<TButton>(this, tabSkins, u"btnDeleteSkin", 240, 122, 110, 25, u"&Delete Skin");
    btnMoreSkins = Place<TButton>(this, tabSkins, u"btnMoreSkins", 240, 154, 110, 25, u"&More Skins");
    flbSkins = Place<TFileListBox>(this, tabSkins, u"flbSkins", 360, 26, 80, 60);
    flbSkins->SetVisible(false);
    flbSkins->SetMask(u"*.skn");
    dlgImportSkin = new TOpenDialog(this);
    dlgImportSkin->SetName(u"dlgImportSkin");
    dlgImportSkin->SetTitle(u"Select skin files to import");
    dlgImportSkin->SetFilter(u"Skin file (*.skn)|*.skn");
    dlgImportSkin->SetOptions(dlgImportSkin->Options() | ofAllowMultiSelect | ofFileMustExist);
    dlgExportSkin = new TSaveDialog(this);
    dlgExportSkin->SetName(u"dlgExportSkin");
    dlgExportSkin->SetTitle(u"Export Skin ");
    dlgExportSkin->SetDefaultExt(u".skn");
    dlgExportSkin->SetFilter(u"Skin file (*.skn)|*.skn");
}

void TOptionForm::BuildAdvancedPage() {
    gpbAfterRun = Place<TGroupBox>(this, tabAdvanced, u"gpbAfterRun", 8, 8, 440, 106, u"After conversion");
    chkDeleteSource = Place<TCheckBox>(this, gpbAfterRun, u"chkDeleteSource", 12, 20, 420, 17,
                                       u"Delete source files after conversion is complete (Not recommended)");
    chkOpenDirectory = Place<TCheckBox>(this, gpbAfterRun, u"chkOpenDirectory", 12, 40, 420, 17,
                                        u"Open destiantion directory after conversion is complete. ");
    chkExitProgram = Place<TCheckBox>(this, gpbAfterRun, u"chkExitProgram", 12, 60, 420, 17,
                                      u"Exit the programe after conversion is complete.");
    chkShutDown = Place<TCheckBox>(this, gpbAfterRun, u"chkShutDown", 12, 80, 420, 17,
                                   u"Exit Windows and shut down computer after conversion is complete.");

    gpbSound = Place<TGroupBox>(this, tabAdvanced, u"gpbSound", 8, 120, 440, 94, u"Sound");
    chkPlaySound = Place<TCheckBox>(this, gpbSound, u"chkPlaySound", 12, 20, 300, 17,
                                    u"Play sound after conversion is complete.");
    rdbSoundDefault = Place<TRadioButton>(this, gpbSound, u"rdbSoundDefault", 12, 44, 120, 17, u"Default (Beep)");
    btnPlay = Place<TButton>(this, gpbSound, u"btnPlay", 210, 40, 64, 23, u"Play");
    btnPause = Place<TButton>(this, gpbSound, u"btnPause", 280, 40, 64, 23, u"Pause");
    btnStop = Place<TButton>(this, gpbSound, u"btnStop", 350, 40, 64, 23, u"Stop");
    rdbSoundCustom = Place<TRadioButton>(this, gpbSound, u"rdbSoundCustom", 12, 68, 70, 17, u"Custom");
    edtCustomSound = Place<TEdit>(this, gpbSound, u"edtCustomSound", 84, 66, 302, 21);
    btnBrowseSound = Place<TButton>(this, gpbSound, u"btnBrowseSound", 390, 66, 24, 21, u"...");
    MediaPlayer1 = new TMediaPlayer(this);
    MediaPlayer1->SetName(u"MediaPlayer1");
    dlgSound = new TOpenDialog(this);
    dlgSound->SetName(u"dlgSound");
    dlgSound->SetFilter(u"All Files (*.wav;*.mp3;*.mid)|*.wav;*.mp3;*.mid");

    gpbQuery = Place<TGroupBox>(this, tabAdvanced, u"gpbQuery", 8, 220, 440, 100, u"Adding a folder with sub-folders");
    rdbShowQuery = Place<TRadioButton>(this, gpbQuery, u"rdbShowQuery", 12, 20, 190, 17, u"Show the query window.");
    labMore = Place<TLinkLabel>(this, gpbQuery, u"labMore", 210, 22, 0, 0, u"(Click here to know more)");
    rdbNoQuery = Place<TRadioButton>(this, gpbQuery, u"rdbNoQuery", 12, 42, 190, 17, u"Do not query. Always be:");
    panAlways = Place<TPanel>(this, gpbQuery, u"panAlways", 28, 60, 404, 38);
    panAlways->SetBevelOuter(TBevelCut::bvNone);
    rdbAlwaysYes = Place<TRadioButton>(this, panAlways, u"rdbAlwaysYes", 0, 0, 404, 17,
                                       u"Yes, add all files in the directory and its all sub-directory. ");
    rdbAlwaysNo = Place<TRadioButton>(this, panAlways, u"rdbAlwaysNo", 0, 19, 404, 17,
                                      u"No, only add files in the selected directory.");

    chkQueryRuntime = Place<TCheckBox>(this, tabAdvanced, u"chkQueryRuntime", 12, 328, 430, 17,
                                       u"Query if lack of the package  for WMV conversion.");
    chkEverydayTips = Place<TCheckBox>(this, tabAdvanced, u"chkEverydayTips", 12, 350, 430, 17, u"Show Everyday Tips");
}

void TOptionForm::ConnectEvents() {
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
    btnCancel->OnClick = [this](TObject* s) { btnCancelClick(s); };
    btnLoadDefault->OnClick = [this](TObject* s) { btnLoadDefaultClick(s); };
    for (TRadioButton* r : {rdbAVI, rdbMPEG, rdbWMV}) r->OnClick = [this](TObject* s) { ShowPanelOf(s); };
    ConnectOutputEvents(this);
    edtVideoBitrate->OnClick = [this](TObject*) { rdbCBR->SetChecked(true); };
    edtAudioBitrate->OnChange = [this](TObject*) {
        if (!m_loading) rdbCBR->SetChecked(true);
    };
    ltbSkin->OnClick = [this](TObject* s) { ltbSkinClick(s); };
    btnPreview->OnClick = [this](TObject*) { PreviewSkin(); };
    btnImportSkin->OnClick = [this](TObject* s) { btnImportSkinClick(s); };
    btnExportSkin->OnClick = [this](TObject* s) { btnExportSkinClick(s); };
    btnDeleteSkin->OnClick = [this](TObject* s) { btnDeleteSkinClick(s); };
    btnMoreSkins->OnClick = [this](TObject* s) { btnMoreSkinsClick(s); };
    btnBrowseSound->OnClick = [this](TObject* s) { btnBrowseSoundClick(s); };
    btnPlay->OnClick = [this](TObject* s) { btnPlayClick(s); };
    btnPause->OnClick = [this](TObject* s) { btnPauseClick(s); };
    btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
    labMore->OnClick = [this](TObject* s) { labMoreClick(s); };
}

String TOptionForm::SkinPath(const String& name) { return ProgramFolder + u"Skins\\" + name + u".skn"; }

// ---- Loading and saving -----------------------------------------------------------

void TOptionForm::LoadOptions() {
    edtDefaultFolder->SetText(ProgramFolder);
    TIniFile ini(OptionFile());
    OptionSettings s;
    s.Load(ini);
    if (OptionLinks.explorer) {
        try {
            OptionLinks.explorer->OpenFolder(s.InitialDir);
        } catch (...) {
            // A start folder that cannot be opened is simply not opened.
        }
    }
    LoadingScope loading(m_loading);
    rdbDefault->SetChecked(s.Default);
    rdbSource->SetChecked(s.Source);
    rdbCustom->SetChecked(s.Custom);
    edtCustomFolder->SetText(s.CustomFolder);
    rdbSkip->SetChecked(s.Skip);
    rdbOverwrite->SetChecked(s.Overwrite);
    rdbQuery->SetChecked(s.Query);
    rdbAutoRenaming->SetChecked(s.AutoRenaming);
    edtRenamingRule->SetText(s.RenamingRule);
    ShowSettings(s, true);
}

void TOptionForm::ShowSettings(const OptionSettings& s, bool fromFile) {
    LoadingScope loading(m_loading);
    ShowOutputSettings(s);

    if (fromFile) ApplySkin(s.Skin);

    chkDeleteSource->SetChecked(s.DeleteSourceFile);
    chkOpenDirectory->SetChecked(s.OpenDirectory);
    chkExitProgram->SetChecked(s.ExitProgram);
    chkShutDown->SetChecked(s.ShutDown);
    chkPlaySound->SetChecked(s.PlaySoundOn);
    rdbSoundDefault->SetChecked(s.SoundDefault);
    rdbSoundCustom->SetChecked(!s.SoundDefault);
    edtCustomSound->SetText(s.CustomSound);
    rdbShowQuery->SetChecked(s.ShowQuery);
    rdbNoQuery->SetChecked(!s.ShowQuery);
    chkQueryRuntime->SetChecked(s.QueryWindowsMediaRuntime);
    rdbAlwaysYes->SetChecked(s.AlwaysYes);
    rdbAlwaysNo->SetChecked(!s.AlwaysYes);
    chkEverydayTips->SetChecked(s.EverydayTips);
}

void TOptionForm::ApplySkin(const String& name) {
    ISkinSwitch* skin = OptionLinks.skin;
    if (name != u"None") {
        if (name != LastSkinName && FileExists(SkinPath(name)) && skin) {
            skin->SetSkinFile(SkinPath(name));
            skin->SetActive(true);
        }
    } else if (skin) {
        skin->SetActive(false);
    }
    // "None" is remembered too: closing the window re-applies the name, and
    // an empty one would switch skinning back on against the saved choice.
    LastSkinName = name;
}

OptionSettings TOptionForm::CollectSettings() {
    OptionSettings s;
    s.Default = rdbDefault->Checked();
    s.Source = rdbSource->Checked();
    s.Custom = rdbCustom->Checked();
    s.CustomFolder = edtCustomFolder->GetText();
    s.Skip = rdbSkip->Checked();
    s.Overwrite = rdbOverwrite->Checked();
    s.Query = rdbQuery->Checked();
    s.AutoRenaming = rdbAutoRenaming->Checked();
    s.RenamingRule = edtRenamingRule->GetText();
    s.AVI = rdbAVI->Checked();
    s.MPEG = rdbMPEG->Checked();
    s.WMV = rdbWMV->Checked();
    s.AviVidCodec = cmbVideoCodec->ItemIndex();
    s.AviAudCodec = cmbAudioCodec->ItemIndex();
    s.MpegFormat = cmbMpegFormat->ItemIndex();
    s.CombineVidAud = chkCombine->Checked();
    s.DelTempFile = chkDelTemp->Checked();
    s.WmvProfile = cmbWmvProfile->ItemIndex();
    s.WmvVidCodec = cmbWmvVideo->ItemIndex();
    s.WmvAudCodec = cmbWmvAudio->ItemIndex();
    s.UseCBR = rdbCBR->Checked();
    s.UseVBR = rdbVBR->Checked();
    s.VideoBitrate = edtVideoBitrate->GetText();
    s.AudioBitrate = edtAudioBitrate->GetText();
    s.VBR = spnQuality->Value();
    s.Skin = LastSkinName;
    s.DeleteSourceFile = chkDeleteSource->Checked();
    s.OpenDirectory = chkOpenDirectory->Checked();
    s.ExitProgram = chkExitProgram->Checked();
    s.ShutDown = chkShutDown->Checked();
    s.PlaySoundOn = chkPlaySound->Checked();
    s.SoundDefault = rdbSoundDefault->Checked();
    s.CustomSound = edtCustomSound->GetText();
    s.ShowQuery = rdbShowQuery->Checked();
    s.QueryWindowsMediaRuntime = chkQueryRuntime->Checked();
    s.AlwaysYes = rdbAlwaysYes->Checked();
    s.EverydayTips = chkEverydayTips->Checked();
    return s;
}

void TOptionForm::SaveOptions() {
    TIniFile ini(OptionFile());
    CollectSettings().Save(ini);
    ini.UpdateFile();
}

// ---- Window handlers --------------------------------------------------------------

void TOptionForm::FormCreate(TObject*) {
    LoadOptions();
    pgcOptions->SetActivePageIndex(0);
}

void TOptionForm::FormShow(TObject*) {
    if (OptionLinks.mainForm) OptionLinks.mainForm->SetEnabled(false);
    if (OptionLinks.convertForm) OptionLinks.convertForm->SetEnabled(false);
    LoadOptions();
    ListSkins();
}

void TOptionForm::FormClose(TObject*, TCloseAction&) {
    btnStopClick(this);
    if (OptionLinks.mainForm) OptionLinks.mainForm->SetEnabled(true);
    if (OptionLinks.convertForm) OptionLinks.convertForm->SetEnabled(true);
    if (ISkinSwitch* skin = OptionLinks.skin) {
        if (LastSkinName == u"None") {
            skin->SetActive(false);
        } else {
            if (FileExists(SkinPath(LastSkinName))) skin->SetSkinFile(SkinPath(LastSkinName));
            skin->SetActive(true);
        }
    }
}

void TOptionForm::btnOKClick(TObject*) {
    const int index = ltbSkin->ItemIndex();
    if (index >= 0) LastSkinName = ltbSkin->Items()[index];
    if (ISkinSwitch* skin = OptionLinks.skin) {
        if (LastSkinName != u"None") {
            if (FileExists(SkinPath(LastSkinName))) skin->SetSkinFile(SkinPath(LastSkinName));
            skin->SetActive(true);
        } else {
            skin->SetActive(false);
        }
    }
    SaveOptions();
    Close();
}

void TOptionForm::btnCancelClick(TObject*) {
    Close();
    LoadOptions();
}

void TOptionForm::btnLoadDefaultClick(TObject*) {
    if (Application->MessageBox(Handle(), u"Are you sure to load default settings?", u"Query",
                                MB_ICONQUESTION | MB_YESNO) != IDYES)
        return;
    const OptionSettings defaults;
    {
        LoadingScope loading(m_loading);
        rdbDefault->SetChecked(defaults.Default);
        rdbSource->SetChecked(defaults.Source);
        rdbCustom->SetChecked(defaults.Custom);
        edtCustomFolder->SetText(defaults.CustomFolder);
        rdbSkip->SetChecked(defaults.Skip);
        rdbOverwrite->SetChecked(defaults.Overwrite);
        rdbQuery->SetChecked(defaults.Query);
        rdbAutoRenaming->SetChecked(defaults.AutoRenaming);
        edtRenamingRule->SetText(defaults.RenamingRule);
        ShowSettings(defaults, false);
    }
    ltbSkin->SetItemIndex(0);
    for (int i = 1; i < ltbSkin->Items().Count(); ++i)
        if (LowerCase(ltbSkin->Items()[i]) == u"macos") {
            ltbSkin->SetItemIndex(i);
            break;
        }
    PreviewSkin();
}

// ---- Skins ------------------------------------------------------------------------

void TOptionForm::ListSkins() {
    flbSkins->SetDirectory(ProgramFolder + u"Skins");
    flbSkins->Update();
    TStrings& items = ltbSkin->Items();
    items.BeginUpdate();
    items.Clear();
    items.Add(u"None");
    // Skin archives only, each by its name without the final ".skn", so that
    // the name leads back to exactly that file ("a.b.skn" is "a.b").
    for (int i = 0; i < flbSkins->Items().Count(); ++i) {
        const String file = flbSkins->Items()[i];
        if (file.size() > 4 && SameText(file.substr(file.size() - 4), u".skn"))
            items.Add(file.substr(0, file.size() - 4));
    }
    items.EndUpdate();
    if (ltbSkin->CanFocus()) ltbSkin->SetFocus();
    ltbSkin->SetItemIndex(0);
    for (int i = 0; i < items.Count(); ++i)
        if (items[i] == LastSkinName) {
            ltbSkin->SetItemIndex(i);
            break;
        }
}

void TOptionForm::PreviewSkin() {
    const int index = ltbSkin->ItemIndex();
    ISkinSwitch* skin = OptionLinks.skin;
    if (index < 0 || !skin) return;
    const String name = ltbSkin->Items()[index];
    const String path = SkinPath(name);
    if (path == skin->SkinFile()) return;
    if (name != u"None") {
        if (FileExists(path)) skin->SetSkinFile(path);
        skin->SetActive(true);
    } else {
        skin->SetActive(false);
    }
}

void TOptionForm::ltbSkinClick(TObject*) {
    if (chkAutoPreview->Checked()) PreviewSkin();
}

void TOptionForm::btnImportSkinClick(TObject*) {
    if (!dlgImportSkin->Execute()) return;
    const String folder = ProgramFolder + u"Skins\\";
    // Each file that was not copied is named, with the reason: a skin of the
    // same name is never overwritten.
    String failed;
    for (int i = 0; i < dlgImportSkin->Files().Count(); ++i) {
        const String source = dlgImportSkin->Files()[i];
        if (!FileExists(source)) continue;
        const String name = ExtractFileName(source);
        const String target = folder + name;
        if (FileExists(target)) failed += u"\r\n" + name + u" (a skin of that name is already there)";
        else if (!CopyFileW(com::W(source), com::W(target), TRUE)) failed += u"\r\n" + name + u" (it could not be copied)";
    }
    ListSkins();
    Application->MessageBox(Handle(), failed.empty() ? String(u"Import skin successfully")
                                                     : u"These skin files were not imported:" + failed,
                            u"Information", MB_ICONINFORMATION);
}

void TOptionForm::btnExportSkinClick(TObject*) {
    const int index = ltbSkin->ItemIndex();
    if (index <= 0) return;
    if (!dlgExportSkin->Execute()) return;
    CopyFileW(com::W(SkinPath(ltbSkin->Items()[index])), com::W(dlgExportSkin->FileName()), TRUE);
}

void TOptionForm::btnDeleteSkinClick(TObject*) {
    if (Application->MessageBox(Handle(), u"Are you sure to delete that skin?", u"Query", MB_ICONQUESTION | MB_YESNO) !=
        IDYES)
        return;
    const int index = ltbSkin->ItemIndex();
    if (index >= 0) DeleteFileW(com::W(SkinPath(ltbSkin->Items()[index])));
}

void TOptionForm::btnMoreSkinsClick(TObject*) {
    const String url = String(kProductWebAddress) + u"/Software/zvk_skins.zip";
    ShellExecuteW(Handle(), L"open", com::W(url), nullptr, nullptr, SW_SHOWNORMAL);
}

// ---- Sound ------------------------------------------------------------------------

void TOptionForm::btnBrowseSoundClick(TObject*) {
    rdbSoundCustom->SetChecked(true);
    if (dlgSound->Execute()) edtCustomSound->SetText(dlgSound->FileName());
}

void TOptionForm::btnPlayClick(TObject*) {
    if (rdbSoundDefault->Checked()) {
        MessageBeep(0);
        return;
    }
    try {
        const TMPModes mode = MediaPlayer1->Mode();
        if (mode == TMPModes::mpPlaying || mode == TMPModes::mpPaused) MediaPlayer1->Stop();
        MediaPlayer1->SetFileName(edtCustomSound->GetText());
        MediaPlayer1->Open();
        MediaPlayer1->Play();
    } catch (const Exception&) {
        Application->MessageBox(Handle(), u"Can not play the sound file. Please make sure the file is correct.",
                                u"Information", MB_ICONINFORMATION);
    }
}

void TOptionForm::btnPauseClick(TObject*) {
    const TMPModes mode = MediaPlayer1->Mode();
    if (mode == TMPModes::mpPlaying) MediaPlayer1->Pause();
    else if (mode == TMPModes::mpPaused) MediaPlayer1->Resume();
}

void TOptionForm::btnStopClick(TObject*) {
    const TMPModes mode = MediaPlayer1->Mode();
    if (mode == TMPModes::mpPlaying || mode == TMPModes::mpPaused) MediaPlayer1->Stop();
}

void TOptionForm::labMoreClick(TObject*) { Application->HelpJump(u"Querywhetheraddfilesinsub"); }

}  // namespace app
