#include "app/Progress.h"

#include <windows.h>
#include <shellapi.h>

#include "app/Convert.h"
#include "app/FormBuild.h"
#include "app/Main.h"
#include "app/option.h"
#include "framework/com/Bstr.h"
#include "framework/com/FileIdentity.h"
#include "framework/com/WinText.h"
#include "framework/forms/WinStreams.h"

namespace app {

TProgressForm* ProgressForm = nullptr;

namespace {

constexpr int kButtonWidth = 110;
const char16_t kCaption[] = u"Progress";

bool FileExists(const String& path) {
    const DWORD a = GetFileAttributesW(com::W(path));
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const String& path) {
    const DWORD a = GetFileAttributesW(com::W(path));
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// Every missing folder on the way, then the folder itself.
bool MakeFolder(const String& path) {
    const String folder = ExcludeTrailingBackslash(path);
    if (folder.empty()) return false;
    for (size_t at = folder.find(u'\\'); at != String::npos; at = folder.find(u'\\', at + 1))
        if (at > 0 && folder[at - 1] != u':' && folder[at - 1] != u'\\')
            CreateDirectoryW(com::W(folder.substr(0, at)), nullptr);
    CreateDirectoryW(com::W(folder), nullptr);
    return FolderExists(folder);
}

String TimeNow(DWORD flags, bool date) {
    WCHAR text[128] = {};
    const int n = date ? GetDateFormatW(LOCALE_USER_DEFAULT, flags, nullptr, nullptr, text, 128)
                       : GetTimeFormatW(LOCALE_USER_DEFAULT, flags, nullptr, nullptr, text, 128);
    return n > 0 ? com::U16(text) : String();
}

// Shut-down privilege for this process; a failure is left to ExitWindowsEx.
void EnableShutdownPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return;
    TOKEN_PRIVILEGES tp{};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &tp.Privileges[0].Luid))
        AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    CloseHandle(token);
}

}  // namespace

// ---- What the driver reaches ---------------------------------------------------------

// The window and the machine, as the driver sees them.
class TProgressForm::Host final : public IBatchHost {
public:
    explicit Host(TProgressForm& form) : m_form(form) {}

    String TimeText() override { return TimeNow(0, false); }
    void AddLogLine(const String& text, LogColour colour) override {
        m_form.AddLogLine(text, static_cast<TColor>(colour));
    }
    void RowChanged(int index) override {
        m_form.ShowStatusRow(index);
        const auto& rows = m_form.Driver().Rows();
        if (index >= 0 && index < static_cast<int>(rows.size()) && rows[static_cast<size_t>(index)].state == RowState::Done)
            m_form.ShowFileDone();
    }
    bool FileExists(const String& path) override { return app::FileExists(path); }
    bool SameFile(const String& a, const String& b) override { return com::SameExistingFile(a, b); }
    bool CreateFolder(const String& folder) override { return FolderExists(folder) || MakeFolder(folder); }
    bool RemoveFile(const String& path) override { return DeleteFileW(com::W(path)) != 0; }
    bool AskOverwrite() override {
        return Application->MessageBox(m_form.Handle(), u"Output file already exists. Do you wish to overwrite it?",
                                       u"Query", MB_ICONQUESTION | MB_YESNO) == IDYES;
    }
    void Information(const String& text) override {
        Application->MessageBox(m_form.Handle(), text, u"Information", MB_ICONINFORMATION);
    }
    void RunStarting() override {
        m_form.m_ticker.Reset();
        m_form.m_runStart = GetTickCount64();
        m_form.TimerProgress->SetEnabled(true);
    }
    void ConversionStarting() override {
        m_form.SetCaption(u"Converting...");
        m_form.pgcLog->SetActivePage(m_form.tabPreview);
    }
    void PauseChanged() override {
        const bool paused = m_form.Driver().RunState() == kRunPaused;
        m_form.btnPause->SetCaption(paused ? u"R&esume" : u"P&ause");
        m_form.pgcLog->SetActivePage(paused ? m_form.tabLog : m_form.tabPreview);
    }
    void RunEnding(int totalPercent) override {
        m_form.pgcLog->SetActivePage(m_form.tabLog);
        // The last tick's figures are stale by up to a second, and a run
        // shorter than a tick had none at all.
        const double seconds = static_cast<double>(GetTickCount64() - m_form.m_runStart) / 1000.0;
        const ProgressShown s = m_form.m_ticker.RunEnded(totalPercent, m_form.Driver().TotalSecondsValue(), seconds);
        m_form.pgbTotal->SetPosition(s.totalPercent);
        m_form.labTotalProgress->SetCaption(IntToStr(s.totalPercent) + u"%");
        m_form.labFinished->SetCaption(IntToStr(s.finishedSeconds) + u" Seconds");
        m_form.labElapse->SetCaption(s.elapsed);
        m_form.labRemain->SetCaption(s.remaining);
    }
    void RunEnded(const String& lastOutputFolder) override {
        m_form.TimerProgress->SetEnabled(false);
        m_form.SetCaption(kCaption);
        m_form.ShowRunButtons(false);
        // A program that is closing does nothing more.
        if (!Application->Terminated()) m_form.RunAfterRunActions(lastOutputFolder);
    }
    bool Pump() override {
        Application->HandleMessage();
        return !Application->Terminated();
    }

private:
    TProgressForm& m_form;
};

// The visible conversion control. A call that cannot reach it changes
// nothing; a start that cannot reach it then reports no event, which the
// driver takes for a failed start.
class TProgressForm::Converter final : public IConverter {
public:
    explicit Converter(TProgressForm& form) : m_form(form) {}

    void SetInputFile(const String& path) override {
        Call([&](IVantrexObj* c) { c->put_InputFile(com::Bstr(path).Get()); });
    }
    void SetOutputFile(const String& path) override {
        Call([&](IVantrexObj* c) { c->put_OutputFile(com::Bstr(path).Get()); });
    }
    void SetVideoCodec(const String& id) override {
        Call([&](IVantrexObj* c) { c->put_VideoCodec(com::Bstr(id).Get()); });
    }
    void SetAudioCodec(const String& id) override {
        Call([&](IVantrexObj* c) { c->put_AudioCodec(com::Bstr(id).Get()); });
    }
    void SetOutputFormat(int format) override {
        Call([&](IVantrexObj* c) { c->put_OutputFormat(static_cast<EnumMediaOutputFormat>(format)); });
    }
    void SetOutputWMVProfile(int profile) override {
        Call([&](IVantrexObj* c) { c->put_OutputWMVProfile(profile); });
    }
    void SetOutputWidth(int width) override { Call([&](IVantrexObj* c) { c->put_OutputWidth(width); }); }
    void SetOutputHeight(int height) override { Call([&](IVantrexObj* c) { c->put_OutputHeight(height); }); }
    void SetOutputFramerate(double rate) override { Call([&](IVantrexObj* c) { c->put_OutputFramerate(rate); }); }
    void StartConversion() override { Call([](IVantrexObj* c) { c->StartConversion(); }); }
    void StopConversion() override { Call([](IVantrexObj* c) { c->StopConversion(); }); }

private:
    template <class F>
    void Call(F f) {
        IVantrexObj* control = nullptr;
        try {
            control = m_form.Control();
        } catch (const Exception&) {
            return;
        }
        f(control);
    }
    TProgressForm& m_form;
};

// ---- Construction ---------------------------------------------------------------------

TProgressForm::TProgressForm(TComponent* owner) : TForm(owner) {
    SetName(u"ProgressForm");
    SetCaption(kCaption);
    SetPosition(TPosition::poScreenCenter);
    SetClientSize(640, 600);

    imlStatus = new TImageList(this);
    imlStatus->SetName(u"imlStatus");
    imlStatus->AddResource(GetModuleHandleW(nullptr), u"TASKSTATES", clFuchsia);
    ltvStatus = Place<TListView>(this, this, u"ltvStatus", 8, 8, 624, 150);
    ltvStatus->SetViewStyle(TViewStyle::vsReport);
    ltvStatus->SetReadOnly(true);
    ltvStatus->SetRowSelect(true);
    ltvStatus->SetHideSelection(false);
    ltvStatus->SetSmallImages(imlStatus);
    struct Column {
        const char16_t* caption;
        int width;
    };
    for (const Column& c : {Column{u"", 22}, Column{u"Source File", 128}, Column{u"Source Format", 94},
                            Column{u"Duration", 60}, Column{u"Output File", 124}, Column{u"Output Format", 94},
                            Column{u"Status", 72}})
        ltvStatus->AddColumn(c.caption, c.width);

    BuildProgressBox();
    BuildLogPages();
    BuildButtons();

    dlgSave = new TSaveDialog(this);
    dlgSave->SetName(u"dlgSave");
    dlgSave->SetDefaultExt(u".rtf");
    dlgSave->SetFilter(u"Conversion Log (*.rtf)|*.rtf|*.*|*.*");
    dlgSave->SetOptions(dlgSave->Options() | ofOverwritePrompt);
    dlgPrinterSetup = new TPrinterSetupDialog(this);
    dlgPrinterSetup->SetName(u"dlgPrinterSetup");
    dlgPrint = new TPrintDialog(this);
    dlgPrint->SetName(u"dlgPrint");

    auto timer = [&](const char16_t* name, UINT interval) {
        auto* t = new TTimer(this);
        t->SetName(name);
        t->SetEnabled(false);
        t->SetInterval(interval);
        return t;
    };
    TimerStartup = timer(u"TimerStartup", 66);
    TimerStartup2 = timer(u"TimerStartup2", 1000);
    TimerProgress = timer(u"TimerProgress", 1000);
    TimerProgress2 = timer(u"TimerProgress2", 1000);

    m_host.reset(new Host(*this));
    m_converter.reset(new Converter(*this));
    m_driver.reset(new BatchDriver(*m_converter, *m_host));
    ConnectEvents();

    // Created by class identifier as the window streams in, after the
    // main window's instance.
    Vantrex1->HandleNeeded();
}

TProgressForm::~TProgressForm() {
    if (OptionLinks.codecs == this) OptionLinks.codecs = nullptr;
    // The control outlives the driver its handlers reach.
    Vantrex1->OnAboutToRun = nullptr;
    Vantrex1->OnComplete = nullptr;
    Vantrex1->OnError = nullptr;
}

void TProgressForm::BuildProgressBox() {
    gpbProgress = Place<TGroupBox>(this, this, u"gpbProgress", 8, 164, 624, 114, u"Progress");
    auto label = [&](const char16_t* name, int left, int top, const char16_t* caption) {
        return Place<TLabel>(this, gpbProgress, name, left, top, 0, 0, caption);
    };
    labCurrentTitle = label(u"labCurrentTitle", 12, 22, u"Current File:");
    pgbCurrent = Place<TProgressBar>(this, gpbProgress, u"pgbCurrent", 110, 20, 450, 17);
    labCurrentProgress = label(u"labCurrentProgress", 570, 22, u"0%");
    labTotalProgressTitle = label(u"labTotalProgressTitle", 12, 46, u"Total Progress:");
    pgbTotal = Place<TProgressBar>(this, gpbProgress, u"pgbTotal", 110, 44, 450, 17);
    labTotalProgress = label(u"labTotalProgress", 570, 46, u"0%");
    labTotalTitle = label(u"labTotalTitle", 12, 70, u"Total Duration:");
    labTotal = label(u"labTotal", 110, 70, u"0 Seconds");
    labFinishedTitle = label(u"labFinishedTitle", 12, 90, u"Finished:");
    labFinished = label(u"labFinished", 110, 90, u"0 Seconds");
    labElapseTitle = label(u"labElapseTitle", 330, 70, u"Elapsed Time:");
    labElapse = label(u"labElapse", 440, 70, u"");
    labRemainTitle = label(u"labRemainTitle", 330, 90, u"Remaining Time:");
    labRemain = label(u"labRemain", 440, 90, u"");
}

void TProgressForm::BuildLogPages() {
    pgcLog = Place<TPageControl>(this, this, u"pgcLog", 8, 286, 624, 270);
    tabLog = new TTabSheet(this);
    tabLog->SetName(u"tabLog");
    tabLog->SetCaption(u"   Log   ");
    tabLog->SetPageControl(pgcLog);
    tabPreview = new TTabSheet(this);
    tabPreview->SetName(u"tabPreview");
    tabPreview->SetCaption(u"Preview");
    tabPreview->SetPageControl(pgcLog);
    pgcLog->SetActivePageIndex(0);

    rchLog = Place<TRichEdit>(this, tabLog, u"rchLog", 4, 4, 606, 200);
    rchLog->SetReadOnly(true);
    rchLog->SetScrollBars(TScrollStyle::ssVertical);
    rchLog->Font().SetName(u"Arial");
    rchLog->SetColor(clWindow);
    btnSave = Place<TButton>(this, tabLog, u"btnSave", 373, 210, 75, 25, u"S&ave");
    btnPrint = Place<TButton>(this, tabLog, u"btnPrint", 454, 210, 75, 25, u"P&rint");
    btnClear = Place<TButton>(this, tabLog, u"btnClear", 535, 210, 75, 25, u"&Clear");

    Vantrex1 = new TVantrex(this);
    Vantrex1->SetName(u"Vantrex1");
    Vantrex1->SetAlign(TAlign::alClient);
    Vantrex1->SetParent(tabPreview);
}

void TProgressForm::BuildButtons() {
    btnOpenFolder = Place<TButton>(this, this, u"btnOpenFolder", 8, 566, 160, 25, u"Open destination folder");
    btnNewTask = Place<TButton>(this, this, u"btnNewTask", 265, 566, kButtonWidth, 25, u"&New Task");
    btnClose = Place<TButton>(this, this, u"btnClose", 388, 566, kButtonWidth, 25, u"&Done");
    btnPause = Place<TButton>(this, this, u"btnPause", 388, 566, kButtonWidth, 25, u"&Pause");
    btnStop = Place<TButton>(this, this, u"btnStop", 511, 566, kButtonWidth, 25, u"&Stop");
    m_pauseLeft = btnPause->Left();
    m_stopLeft = btnStop->Left();
    m_newTaskLeft = btnNewTask->Left();
    m_closeLeft = btnClose->Left();
    for (TButton* b : {btnOpenFolder, btnNewTask, btnClose}) b->SetVisible(false);
}

void TProgressForm::ConnectEvents() {
    OnCreate = [this](TObject* s) { FormCreate(s); };
    OnShow = [this](TObject* s) { FormShow(s); };
    OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
    TimerStartup->OnTimer = [this](TObject* s) { TimerStartupTimer(s); };
    TimerStartup2->OnTimer = [this](TObject* s) { TimerStartup2Timer(s); };
    TimerProgress->OnTimer = [this](TObject* s) { TimerProgressTimer(s); };
    TimerProgress2->OnTimer = [](TObject*) {};
    Vantrex1->OnAboutToRun = [this](TObject*) { m_driver->OnAboutToRun(); };
    Vantrex1->OnComplete = [this](TObject*) { m_driver->OnComplete(); };
    Vantrex1->OnError = [this](TObject*, int code, const String& message) { m_driver->OnError(code, message); };
    Vantrex1->OnAVICodecListed = [this](TObject* s, const String& n, const String& id, EnumMediaType t) {
        Vantrex1AVICodecListed(s, n, id, t);
    };
    Vantrex1->OnWMVCodecListed = [this](TObject* s, int t, const String& n, const String& id) {
        Vantrex1WMVCodecListed(s, t, n, id);
    };
    Vantrex1->OnWMVProfileListed = [this](TObject* s, int i, const String& n, const String& d) {
        Vantrex1WMVProfileListed(s, i, n, d);
    };
    btnPause->OnClick = [this](TObject* s) { btnPauseClick(s); };
    btnStop->OnClick = [this](TObject* s) { btnStopClick(s); };
    btnOpenFolder->OnClick = [this](TObject* s) { btnOpenFolderClick(s); };
    btnClose->OnClick = [this](TObject* s) { btnCloseClick(s); };
    btnNewTask->OnClick = [this](TObject* s) { btnNewTaskClick(s); };
    btnSave->OnClick = [this](TObject* s) { btnSaveClick(s); };
    btnPrint->OnClick = [this](TObject* s) { btnPrintClick(s); };
    btnClear->OnClick = [this](TObject* s) { btnClearClick(s); };
}

IVantrexObj* TProgressForm::Control() { return Vantrex1->ControlInterface(); }

// ---- Codec and profile lists ------------------------------------------------------------

void TProgressForm::FormCreate(TObject*) {
    VideoCodecIds.Clear();
    AudioCodecIds.Clear();
    OptionLinks.codecs = this;
    TimerStartup->SetEnabled(true);
}

void TProgressForm::TimerStartupTimer(TObject*) {
    TimerStartup->SetEnabled(false);
    IVantrexObj* c = Control();
    // Each listing raises its events before it returns.
    c->ListAVICodecs(mediaVideo);
    c->ListAVICodecs(mediaAudio);
    c->ListWMVProfiles();
    c->ListWMVCodecs(0);
    c->ListWMVCodecs(1);
}

void TProgressForm::Vantrex1AVICodecListed(TObject*, const String& name, const String& id, EnumMediaType type) {
    const bool audio = type != mediaVideo;
    if (ConvertForm) (audio ? ConvertForm->cmbAudioCodec : ConvertForm->cmbVideoCodec)->Items().Add(name);
    if (OptionForm) (audio ? OptionForm->cmbAudioCodec : OptionForm->cmbVideoCodec)->Items().Add(name);
    (audio ? AudioCodecIds : VideoCodecIds).Add(id);
}

void TProgressForm::Vantrex1WMVCodecListed(TObject*, int type, const String& name, const String&) {
    const bool video = type != 0;
    if (ConvertForm) (video ? ConvertForm->cmbWmvVideo : ConvertForm->cmbWmvAudio)->Items().Add(name);
    if (OptionForm) (video ? OptionForm->cmbWmvVideo : OptionForm->cmbWmvAudio)->Items().Add(name);
}

void TProgressForm::Vantrex1WMVProfileListed(TObject*, int, const String& name, const String&) {
    // Entry k of the combos is the listed profile k (0: the custom one).
    if (ConvertForm) ConvertForm->cmbWmvProfile->Items().Add(name);
    if (OptionForm) OptionForm->cmbWmvProfile->Items().Add(name);
}

bool TProgressForm::CodecId(bool audio, int index, String& id) {
    const TStringList& list = audio ? AudioCodecIds : VideoCodecIds;
    if (index < 0 || index >= list.Count()) return false;
    id = list[index];
    return true;
}

bool TProgressForm::HasAboutBox(bool audio, int index) {
    String id;
    VARIANT_BOOL has = VARIANT_FALSE;
    if (CodecId(audio, index, id)) Control()->DoesCodecHaveAboutBox(com::Bstr(id).Get(), &has);
    return has != VARIANT_FALSE;
}

bool TProgressForm::HasConfigBox(bool audio, int index) {
    String id;
    VARIANT_BOOL has = VARIANT_FALSE;
    if (CodecId(audio, index, id)) Control()->DoesCodecHaveConfigBox(com::Bstr(id).Get(), &has);
    return has != VARIANT_FALSE;
}

// The control takes the owner window as a 32-bit number, as window handles are.
void TProgressForm::ShowAboutBox(bool audio, int index, void* ownerWindow) {
    String id;
    if (CodecId(audio, index, id))
        Control()->ShowAviCodecAboutBox(static_cast<LONG>(reinterpret_cast<INT_PTR>(ownerWindow)),
                                        com::Bstr(id).Get());
}

void TProgressForm::ShowConfigBox(bool audio, int index, void* ownerWindow) {
    String id;
    if (CodecId(audio, index, id))
        Control()->ShowAviCodecConfigBox(static_cast<LONG>(reinterpret_cast<INT_PTR>(ownerWindow)),
                                         com::Bstr(id).Get());
}

String TProgressForm::ProfileDescription(int index) {
    com::Bstr text;
    Control()->get_ProfileDescription(index, text.Put());
    return text.Text();
}

// ---- The run -------------------------------------------------------------------------

void TProgressForm::FormShow(TObject*) {
    // A window minimised during an earlier run comes back as it was made:
    // a new batch is always in view.
    SetWindowState(TWindowState::wsNormal);
    ResetDisplay();
    BuildStatusList();
    TimerStartup2->SetEnabled(true);
}

void TProgressForm::ResetDisplay() {
    m_ticker.Reset();
    labFinished->SetCaption(u"0 Seconds");
    labElapse->SetCaption(String());
    labRemain->SetCaption(String());
    pgbCurrent->SetPosition(0);
    pgbTotal->SetPosition(0);
    labCurrentProgress->SetCaption(u"0%");
    labTotalProgress->SetCaption(u"0%");
    TimerProgress->SetEnabled(false);
    SetCaption(kCaption);
    btnPause->SetCaption(u"&Pause");
    ShowRunButtons(true);
    rchLog->Clear();
    WriteHeader();
    ltvStatus->Clear();
    pgcLog->SetActivePage(tabLog);
}

void TProgressForm::WriteHeader() {
    const String version = MainForm ? MainForm->VersionText : String(u"1.8");
    AddLogLine(u"Corvane V" + version + u" - Conversion Log", clNavy);
    AddLogLine(TimeNow(DATE_LONGDATE, true) + u" " + TimeNow(0, false), clNavy);
}

void TProgressForm::ShowRunButtons(bool running) {
    btnPause->SetLeft(m_pauseLeft);
    btnStop->SetLeft(m_stopLeft);
    btnNewTask->SetLeft(running ? m_newTaskLeft : m_pauseLeft);
    btnClose->SetLeft(running ? m_closeLeft : m_stopLeft);
    btnOpenFolder->SetVisible(!running);
    btnNewTask->SetVisible(!running);
    btnClose->SetVisible(!running);
    btnPause->SetVisible(running);
    btnStop->SetVisible(running);
}

std::vector<TaskRow> TProgressForm::TaskRows() {
    std::vector<TaskRow> rows;
    if (!MainForm) return rows;
    TListItems& items = MainForm->ltvList->Items();
    for (int i = 0; i < items.Count(); ++i) {
        TListItem* item = items[i];
        TStrings& sub = item->SubItems();
        auto text = [&](int k) { return k < sub.Count() ? sub[k] : String(); };
        rows.push_back(TaskRow{text(0), item->Caption(), text(2), text(7)});
    }
    return rows;
}

BatchSettings TProgressForm::CollectSettings() {
    BatchSettings s;
    s.programFolder = ProgramFolder;
    for (int i = 0; i < VideoCodecIds.Count(); ++i) s.videoCodecIds.push_back(VideoCodecIds[i]);
    for (int i = 0; i < AudioCodecIds.Count(); ++i) s.audioCodecIds.push_back(AudioCodecIds[i]);
    if (TConvertForm* c = ConvertForm) {
        s.folder = c->rdbDefault->Checked()  ? OutputFolderChoice::Default
                   : c->rdbSource->Checked() ? OutputFolderChoice::Source
                                             : OutputFolderChoice::Custom;
        s.customFolder = c->edtCustomFolder->GetText();
        s.format = c->rdbAVI->Checked() ? OutputKind::Avi : c->rdbMPEG->Checked() ? OutputKind::Mpeg : OutputKind::Wmv;
        s.videoCodecIndex = c->cmbVideoCodec->ItemIndex();
        s.audioCodecIndex = c->cmbAudioCodec->ItemIndex();
        s.mpegFormatIndex = c->cmbMpegFormat->ItemIndex();
        s.wmvProfileIndex = c->cmbWmvProfile->ItemIndex();
        s.width = c->cmbWidth->GetText();
        s.height = c->cmbHeight->GetText();
        s.frameRate = c->cmbFrameRate->GetText();
    }
    if (TOptionForm* o = OptionForm) {
        s.collision = o->rdbSkip->Checked()           ? CollisionPolicy::Skip
                      : o->rdbQuery->Checked()        ? CollisionPolicy::Query
                      : o->rdbAutoRenaming->Checked() ? CollisionPolicy::AutoRename
                                                      : CollisionPolicy::Overwrite;
        s.renamingRule = o->edtRenamingRule->GetText();
        s.deleteSource = o->chkDeleteSource->Checked();
    }
    return s;
}

void TProgressForm::BuildStatusList() {
    m_driver->BuildStatusList(TaskRows(), CollectSettings());
    TListItems& items = ltvStatus->Items();
    items.BeginUpdate();
    items.Clear();
    for (size_t i = 0; i < m_driver->Rows().size(); ++i) {
        TListItem* item = items.Add();
        for (int k = 0; k < 7; ++k) item->SubItems().Add(String());
        ShowStatusRow(static_cast<int>(i));
    }
    items.EndUpdate();
    labTotal->SetCaption(IntToStr(m_driver->TotalSecondsValue()) + u" Seconds");
}

void TProgressForm::ShowStatusRow(int index) {
    const auto& rows = m_driver->Rows();
    if (index < 0 || index >= static_cast<int>(rows.size()) || index >= ltvStatus->Items().Count()) return;
    const StatusRow& r = rows[static_cast<size_t>(index)];
    TListItem* item = ltvStatus->Items()[index];
    item->SetImageIndex(static_cast<int>(r.state));
    TStrings& sub = item->SubItems();
    const String texts[] = {r.source, r.sourceFormat, r.duration, r.output, r.outputFormat,
                            RowStatusText(r.state), r.seconds};
    for (int k = 0; k < 7; ++k)
        if (sub[k] != texts[k]) sub.Put(k, texts[k]);
}

void TProgressForm::TimerStartup2Timer(TObject*) {
    TimerStartup2->SetEnabled(false);
    RunTasks();
}

void TProgressForm::RunTasks() {
    m_driver->RunTasks(CollectSettings());
    // An empty list never ran: the window must still be closable.
    if (m_driver->Rows().empty()) ShowRunButtons(false);
}

void TProgressForm::ShowFileDone() {
    ProgressReading r;
    r.finishedSeconds = m_driver->FinishedSeconds();
    r.totalSeconds = m_driver->TotalSecondsValue();
    ShowFigures(m_ticker.FileDone(r));
}

void TProgressForm::ShowFigures(const ProgressShown& s) {
    pgbCurrent->SetPosition(s.currentPercent);
    labCurrentProgress->SetCaption(IntToStr(s.currentPercent) + u"%");
    pgbTotal->SetPosition(s.totalPercent);
    labTotalProgress->SetCaption(IntToStr(s.totalPercent) + u"%");
    labFinished->SetCaption(IntToStr(s.finishedSeconds) + u" Seconds");
    labElapse->SetCaption(s.elapsed);
    labRemain->SetCaption(s.remaining);
}

void TProgressForm::TimerProgressTimer(TObject*) {
    TimerProgress->SetEnabled(false);
    ProgressReading r;
    try {
        IVantrexObj* c = Control();
        c->get_Progress(&r.progress);
        c->get_Duration(&r.duration);
    } catch (const Exception&) {
        // No control, no progress: the tick shows 0.
    }
    r.currentSeconds = m_driver->CurrentSecondsValue();
    r.finishedSeconds = m_driver->FinishedSecondsValue();
    r.totalSeconds = m_driver->TotalSecondsValue();
    r.converting = m_driver->Busy();
    const ProgressShown s = m_ticker.Tick(r);
    ShowFigures(s);
    if (s.stopConversion) m_driver->WatchdogStop();
    if (s.conversionStalled) m_driver->StalledStop();
    // The run may have ended inside the stop.
    if (m_driver->Running()) TimerProgress->SetEnabled(true);
}

void TProgressForm::AddLogLine(const String& text, TColor colour) {
    rchLog->SetSelStart(rchLog->GetTextLen());
    rchLog->SelAttributes().SetColor(colour);
    rchLog->Lines().Add(text);
    SendMessageW(rchLog->Handle(), WM_VSCROLL, SB_LINEDOWN, 0);
}

// ---- Buttons ---------------------------------------------------------------------------

void TProgressForm::btnPauseClick(TObject*) { m_driver->PauseClicked(); }

void TProgressForm::btnStopClick(TObject*) {
    if (Application->MessageBox(Handle(), u"Are you sure to stop current task?", u"Query",
                                MB_ICONQUESTION | MB_YESNO) == IDYES)
        m_driver->StopConfirmed();
}

void TProgressForm::btnOpenFolderClick(TObject*) {
    if (m_driver->Rows().empty()) return;
    const String folder = ExtractFilePath(m_driver->Rows().front().output);
    ShellExecuteW(Handle(), L"open", com::W(folder), nullptr, nullptr, SW_SHOWNORMAL);
}

void TProgressForm::btnCloseClick(TObject*) { Close(); }

void TProgressForm::btnNewTaskClick(TObject*) {
    if (MainForm) MainForm->ltvList->Clear();
    Close();
}

void TProgressForm::FormClose(TObject*, TCloseAction& action) {
    // While the run goes on the window only gets out of the way.
    if (!btnClose->Visible()) {
        action = TCloseAction::caMinimize;
        return;
    }
    if (OptionLinks.mainForm) OptionLinks.mainForm->Show();
}

void TProgressForm::btnSaveClick(TObject*) {
    if (!dlgSave->Execute()) return;
    TFileStream file(dlgSave->FileName(), fmCreate);
    rchLog->SaveToStream(file);
}

void TProgressForm::btnPrintClick(TObject*) {
    if (!dlgPrinterSetup->Execute()) return;
    if (!dlgPrint->Execute()) return;
    rchLog->Print(String());
}

void TProgressForm::btnClearClick(TObject*) { rchLog->Clear(); }

// ---- After the run ----------------------------------------------------------------------

void TProgressForm::RunAfterRunActions(const String& lastOutputFolder) {
    TOptionForm* o = OptionForm;
    if (!o) return;
    AfterRunSettings s;
    s.openDirectory = o->chkOpenDirectory->Checked();
    s.exitProgram = o->chkExitProgram->Checked();
    s.shutDown = o->chkShutDown->Checked();
    s.playSound = o->chkPlaySound->Checked();
    s.soundDefault = o->rdbSoundDefault->Checked();
    s.customSound = o->edtCustomSound->GetText();
    const AfterRunPlan plan = PlanAfterRun(s, lastOutputFolder, FolderExists);
    if (!plan.openFolder.empty())
        ShellExecuteW(Handle(), L"open", com::W(plan.openFolder), nullptr, nullptr, SW_SHOWNORMAL);
    if (plan.exitProgram && MainForm) MainForm->Close();
    if (plan.powerOff) PowerOff();
    if (plan.beep) {
        MessageBeep(0);
    } else if (!plan.soundFile.empty()) {
        try {
            TMediaPlayer* player = o->MediaPlayer1;
            const TMPModes mode = player->Mode();
            if (mode == TMPModes::mpPlaying || mode == TMPModes::mpPaused) player->Stop();
            player->SetFileName(plan.soundFile);
            player->Open();
            player->Play();
        } catch (const Exception&) {
            // The end of the run is not spoiled by a sound that will not play.
        }
    }
}

void TProgressForm::PowerOff() {
    // The decoder file goes back to its name before the session ends.
    if (MainForm) MainForm->RestoreDecoderFile();
    EnableShutdownPrivilege();
    ExitWindowsEx(EWX_POWEROFF, 0);
}

}  // namespace app
