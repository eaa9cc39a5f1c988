// The progress window: runs the batch on its conversion control, which
// fills the "Preview" page, shows per-file and total progress with elapsed
// and remaining time, and keeps the coloured conversion log on the "Log"
// page. The batch's logic lives in BatchDriver; this window gives it the
// control, the log, the status list and the message pump.
#pragma once

#include <memory>

#include "app/AppLinks.h"
#include "app/BatchDriver.h"
#include "app/VantrexLib.h"
#include "framework/forms/ComCtrls.h"
#include "framework/forms/Dialogs.h"
#include "framework/forms/ExtCtrls.h"
#include "framework/forms/Forms.h"
#include "framework/forms/ImgList.h"
#include "framework/forms/StdCtrls.h"

namespace app {

using namespace forms;

class TProgressForm : public TForm, public ICodecBoxes {
public:
    FORMS_CLASS(TProgressForm)
    explicit TProgressForm(TComponent* owner);
    ~TProgressForm() override;

    // The run (Part of the show handler and its one-second timer).
    void ResetDisplay();
    void BuildStatusList();
    void RunTasks();
    // Appends one line in a colour and scrolls to it; an empty text adds an
    // empty line.
    void AddLogLine(const String& text, TColor colour);
    // The output settings and options the run reads from the other windows.
    BatchSettings CollectSettings();
    void PowerOff();

    BatchDriver& Driver() { return *m_driver; }
    const ProgressTicker& Ticker() const { return m_ticker; }

    // ICodecBoxes: the compressor at an entry of a combo, and profiles.
    bool HasAboutBox(bool audio, int index) override;
    bool HasConfigBox(bool audio, int index) override;
    void ShowAboutBox(bool audio, int index, void* ownerWindow) override;
    void ShowConfigBox(bool audio, int index, void* ownerWindow) override;
    String ProfileDescription(int index) override;

    // Entry i is the identifier of entry i of the AVI compressor combos.
    TStringList VideoCodecIds;
    TStringList AudioCodecIds;

    TImageList* imlStatus;
    TListView* ltvStatus;
    TGroupBox* gpbProgress;
    TLabel* labCurrentTitle;
    TProgressBar* pgbCurrent;
    TLabel* labCurrentProgress;
    TLabel* labTotalProgressTitle;
    TProgressBar* pgbTotal;
    TLabel* labTotalProgress;
    TLabel* labTotalTitle;
    TLabel* labTotal;
    TLabel* labFinishedTitle;
    TLabel* labFinished;
    TLabel* labElapseTitle;
    TLabel* labElapse;
    TLabel* labRemainTitle;
    TLabel* labRemain;
    TPageControl* pgcLog;
    TTabSheet* tabLog;
    TTabSheet* tabPreview;
    TRichEdit* rchLog;
    TButton* btnSave;
    TButton* btnPrint;
    TButton* btnClear;
    // Lists the codecs and profiles and runs every conversion.
    TVantrex* Vantrex1;
    TButton* btnOpenFolder;
    TButton* btnNewTask;
    TButton* btnClose;
    TButton* btnPause;
    TButton* btnStop;
    TSaveDialog* dlgSave;
    TPrinterSetupDialog* dlgPrinterSetup;
    TPrintDialog* dlgPrint;
    TTimer* TimerStartup;   // the codec lists, once, after start-up
    TTimer* TimerStartup2;  // the run, a second after the window shows
    TTimer* TimerProgress;  // the progress tick
    TTimer* TimerProgress2;

private:
    class Host;
    class Converter;
    friend class Host;

    void BuildProgressBox();
    void BuildLogPages();
    void BuildButtons();
    void ConnectEvents();
    void WriteHeader();
    void ShowRunButtons(bool running);
    void ShowStatusRow(int index);
    void RunAfterRunActions(const String& lastOutputFolder);
    // The figures of a file just converted, at once rather than at the next tick.
    void ShowFileDone();
    void ShowFigures(const ProgressShown& shown);
    std::vector<TaskRow> TaskRows();
    bool CodecId(bool audio, int index, String& id);
    IVantrexObj* Control();

    void FormCreate(TObject* sender);
    void FormShow(TObject* sender);
    void FormClose(TObject* sender, TCloseAction& action);
    void TimerStartupTimer(TObject* sender);
    void TimerStartup2Timer(TObject* sender);
    void TimerProgressTimer(TObject* sender);
    void Vantrex1AVICodecListed(TObject* sender, const String& name, const String& id, EnumMediaType type);
    void Vantrex1WMVCodecListed(TObject* sender, int type, const String& name, const String& id);
    void Vantrex1WMVProfileListed(TObject* sender, int index, const String& name, const String& description);
    void btnPauseClick(TObject* sender);
    void btnStopClick(TObject* sender);
    void btnOpenFolderClick(TObject* sender);
    void btnCloseClick(TObject* sender);
    void btnNewTaskClick(TObject* sender);
    void btnSaveClick(TObject* sender);
    void btnPrintClick(TObject* sender);
    void btnClearClick(TObject* sender);

    std::unique_ptr<Host> m_host;
    std::unique_ptr<Converter> m_converter;
    std::unique_ptr<BatchDriver> m_driver;
    ProgressTicker m_ticker;
    ULONGLONG m_runStart = 0;  // GetTickCount64 when the run began
    int m_pauseLeft = 0, m_stopLeft = 0, m_newTaskLeft = 0, m_closeLeft = 0;
};

extern TProgressForm* ProgressForm;

}  // namespace app
