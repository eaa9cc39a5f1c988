// Batches through the program's real windows and the real conversion
// control: the task list, Convert, the output-settings window's Start and
// the progress window's run. Generated clips convert to AVI, WMV (custom
// profile) and MPEG (VCD PAL); every output reads back with FFmpeg; rows,
// log lines and their colours, the saved RTF; a broken file among good
// ones; the collision rules on real files; pause, resume and stop; and
// screenshots of both windows during a run.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "app/Convert.h"
#include "app/Main.h"
#include "app/Progress.h"
#include "app/option.h"
#include "framework/com/WinText.h"
#include "framework/forms/WinStreams.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/common/Damage.h"
#include "tests/common/FfmpegClip.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/platform/wine/GraphTestUtil.h"
#include "tests/realclips/FfProbe.h"
#include "tests/wine/harness/WineTest.h"

using app::ConvertForm;
using app::MainForm;
using app::ProgressForm;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

#define CHECK_TEXT(a, b) CHECK_EQ((a), std::string(b))

constexpr auto kRunLimit = std::chrono::seconds(150);

// The log's colours, as the framework's colour values.
constexpr forms::TColor kBlue = 16711680, kOrange = 33023, kGreen = 32768, kRed = 255, kNavy = 8388608,
                        kWhite = 16777215;

// A text of one status row, read through the list view.
std::string StatusText(int row, int column) {
    WCHAR text[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 1024;
    SendMessageW(ProgressForm->ltvStatus->Handle(), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return com::Utf8(text);
}

int StatusRows() { return static_cast<int>(SendMessageW(ProgressForm->ltvStatus->Handle(), LVM_GETITEMCOUNT, 0, 0)); }

std::vector<std::string> Statuses() {
    std::vector<std::string> s;
    for (int r = 0; r < StatusRows(); ++r) s.push_back(StatusText(r, 6));
    return s;
}

int StateImage(int row) {
    LVITEMW item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageW(ProgressForm->ltvStatus->Handle(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

// A log line without ">>> " and the time, as the run wrote it.
struct LogLine {
    std::string text;
    forms::TColor colour;
};

std::vector<LogLine> Log() {
    forms::TRichEdit* log = ProgressForm->rchLog;
    std::vector<LogLine> lines;
    const int count = log->Lines().Count();
    const int selStart = log->SelStart(), selLength = log->SelLength();
    // Where each line starts: a long line wraps on the screen, so the edit's
    // own line numbers are no line numbers of the text; each line ends in
    // one paragraph mark.
    int start = 0;
    for (int i = 0; i < count; ++i) {
        const String line = log->Lines()[i];
        std::string text = U8(line);
        if (text.compare(0, 4, ">>> ") == 0) {
            // The time has the system's form ("11:52:03 AM"): the text starts
            // after it.
            size_t at = text.find(' ', 4);
            if (at != std::string::npos && (text.compare(at, 4, " AM ") == 0 || text.compare(at, 4, " PM ") == 0))
                at += 3;
            text = at == std::string::npos ? std::string() : text.substr(at + 1);
        }
        log->SetSelStart(start);
        log->SetSelLength(1);
        lines.push_back({text, log->SelAttributes().Color()});
        start += static_cast<int>(line.size()) + 1;
    }
    log->SetSelStart(selStart);
    log->SetSelLength(selLength);
    return lines;
}

std::vector<std::string> LogTexts() {
    std::vector<std::string> t;
    for (const LogLine& l : Log()) t.push_back(l.text);
    return t;
}

// The run's lines: after the two header lines.
std::vector<LogLine> RunLog() {
    std::vector<LogLine> all = Log();
    if (all.size() < 2) return {};
    return std::vector<LogLine>(all.begin() + 2, all.end());
}

void CheckLine(const LogLine& line, const std::string& text, forms::TColor colour, int at) {
    if (line.text != text)
        wt::ReportFailure(__FILE__, __LINE__,
                          "line " + std::to_string(at) + ": \"" + line.text + "\" != \"" + text + "\"");
    if (line.colour != colour)
        wt::ReportFailure(__FILE__, __LINE__, "line " + std::to_string(at) + " \"" + text + "\": colour " +
                                                  std::to_string(line.colour) + " != " + std::to_string(colour));
}

// The program's windows with clips in a "src" folder and outputs going to
// a custom "out" folder that does not exist yet.
struct Batch {
    at::ProgramWindows w;
    explicit Batch(const std::string& tag) : w(tag) {
        w.Folder().MakeFolder("src");
        // The codec and profile lists come 66 ms after start-up.
        REQUIRE(ft::PumpUntil([] { return ProgressForm->VideoCodecIds.Count() > 0; }, 20000));
    }
    std::string Src(const std::string& name) { return w.Folder().UnixPath("src/" + name); }
    std::string Out(const std::string& name) { return w.Folder().UnixPath("out/" + name); }
    String OutFolder() { return w.Folder().WindowsPath("out"); }

    void Options(const std::string& general, const std::string& output, const std::string& advanced = "") {
        w.WriteOptions("[General]\r\nDefault=0\r\nSource=0\r\nCustom=1\r\nCustomFolder=" + U8(OutFolder()) +
                       "\r\n" + general + "[OutputFormat]\r\n" + output + "[Advanced]\r\nPlaySound=0\r\n" +
                       advanced);
        app::OptionForm->LoadOptions();
    }
    // A file made by the ffmpeg command line (tests/realclips).
    void AddReal(const std::string& name, const std::string& real) {
        REQUIRE(CopyFileW(com::W(at::WindowsPathOf(std::string(REAL_CLIP_DIR) + "/" + real)),
                          com::W(w.Folder().WindowsPath("src/" + name)), FALSE));
        REQUIRE(MainForm->AddTaskItem(w.Folder().WindowsPath("src/" + name)));
    }
    void Add(const std::string& name, const clipgen::ClipSpec& desc) {
        REQUIRE(at::MakeClip(Src(name), desc));
        REQUIRE(MainForm->AddTaskItem(w.Folder().WindowsPath("src/" + name)));
    }
    // Convert, then Start; returns once the run has ended. during runs on
    // every few milliseconds while the run goes on, until it says done.
    void Run(std::function<bool()> during = {}, const std::string& settingsShot = "") {
        at::ClickToolButton(MainForm->tbtnConvert);
        REQUIRE(ConvertForm->Showing());
        CHECK(!MainForm->Showing());
        ft::Pump(50);
        if (!settingsShot.empty()) {
            RECT r{};
            GetWindowRect(ConvertForm->Handle(), &r);
            const std::string path = ft::ScreenshotPath(settingsShot);
            if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
        }
        const auto started = std::chrono::steady_clock::now();
        // A run that hangs is stopped, so the test ends and says so.
        at::Repeater guard([started] {
            if (std::chrono::steady_clock::now() - started < kRunLimit) return false;
            if (!ProgressForm->Driver().Running()) return false;
            wt::ReportFailure(__FILE__, __LINE__, "the run did not end in time");
            ProgressForm->Driver().StopConfirmed();
            return true;
        }, 500);
        std::unique_ptr<at::Repeater> hand;
        if (during) hand.reset(new at::Repeater(during, 5));
        ft::ClickButton(*ConvertForm->btnStart);
        CHECK(!ConvertForm->Showing());
        CHECK(ProgressForm->Showing());
        REQUIRE(ft::PumpUntil([] { return ProgressForm->btnClose->Visible(); }, 200000));
        CHECK_TEXT(U8(ProgressForm->Driver().RunState()), "Stoped");
    }
};

clipgen::ClipSpec ClipOf(const std::string& container, int w, int h, double seconds) {
    clipgen::ClipSpec s;
    s.container = container;
    s.width = w;
    s.height = h;
    s.seconds = seconds;
    return s;
}

bool Exists(const std::string& unixPath) {
    return GetFileAttributesW(com::W(at::WindowsPathOf(unixPath))) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

WT_TEST(Batch, ThreeClipsToAviWithLogAndScreenshots) {
    Batch b("batch-avi");
    b.Options("Overwrite=1\r\nQuery=0\r\n", "AVI=1\r\nMPEG=0\r\nWMV=0\r\nAviVidCodec=0\r\nAviAudCodec=0\r\n");
    b.Add("a.avi", ClipOf("avi", 160, 120, 1.0));
    b.Add("b.mpg", ClipOf("mpg", 176, 144, 1.0));
    b.Add("c.wmv", ClipOf("wmv", 160, 120, 1.0));

    // The first entry of both compressor lists is no compression.
    REQUIRE(ProgressForm->AudioCodecIds.Count() > 0);
    CHECK_TEXT(U8(ProgressForm->VideoCodecIds[0]), "");
    CHECK_TEXT(U8(ProgressForm->AudioCodecIds[0]), "");
    CHECK_EQ(ConvertForm->cmbVideoCodec->Items().Count(), ProgressForm->VideoCodecIds.Count());
    CHECK_EQ(app::OptionForm->cmbAudioCodec->Items().Count(), ProgressForm->AudioCodecIds.Count());
    CHECK(ConvertForm->cmbWmvProfile->Items().Count() > 1);
    CHECK(ConvertForm->cmbWmvVideo->Items().Count() > 0);
    CHECK(ConvertForm->cmbWmvAudio->Items().Count() > 0);

    bool progressShot = false;
    b.Run([&] {
        if (!progressShot && ProgressForm->Driver().CurrentIndex() == 1 && ProgressForm->Driver().Busy()) {
            progressShot = true;
            RECT r{};
            GetWindowRect(ProgressForm->Handle(), &r);
            const std::string path = ft::ScreenshotPath("progress-window-running.png");
            if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
        }
        return false;
    }, "output-settings-window.png");
    CHECK(progressShot);

    CHECK_EQ(StatusRows(), 3);
    CHECK(Statuses() == (std::vector<std::string>{"Done", "Done", "Done"}));
    for (int r = 0; r < 3; ++r) CHECK_EQ(StateImage(r), 4);
    CHECK_EQ(StatusText(0, 1), U8(b.w.Folder().WindowsPath("src/a.avi")));
    CHECK_TEXT(StatusText(1, 2), "MPG");
    CHECK_TEXT(StatusText(2, 3), "00:00:01");
    CHECK_EQ(StatusText(2, 4), U8(b.OutFolder()) + "\\c.avi");
    CHECK_TEXT(StatusText(2, 5), "AVI");
    CHECK_TEXT(U8(ProgressForm->labTotal->Caption()), "3 Seconds");
    CHECK_TEXT(U8(ProgressForm->labTotalProgress->Caption()), "100%");
    CHECK_EQ(ProgressForm->pgbTotal->Position(), 100);
    CHECK(ProgressForm->pgcLog->ActivePage() == ProgressForm->tabLog);
    CHECK(ProgressForm->btnOpenFolder->Visible() && ProgressForm->btnNewTask->Visible());
    CHECK(!ProgressForm->btnPause->Visible() && !ProgressForm->btnStop->Visible());
    CHECK_EQ(ProgressForm->btnNewTask->Left(), 388);
    CHECK_EQ(ProgressForm->btnClose->Left(), 511);

    // The header, then two lines a file, then the summary.
    const std::vector<LogLine> all = Log();
    REQUIRE(all.size() == 2 + 6 + 4);
    CHECK(all[0].text.find("Corvane V1.8") == 0);
    CHECK_EQ(all[0].colour, kNavy);
    const std::vector<LogLine> log = RunLog();
    int at = 0;
    for (const char* name : {"a", "b", "c"}) {
        CheckLine(log[at], "Start converting " + U8(b.w.Folder().WindowsPath("src/")) + name +
                               (std::string(name) == "a" ? ".avi" : std::string(name) == "b" ? ".mpg" : ".wmv") +
                               " -> " + name + ".avi",
                  kBlue, at);
        ++at;
        CheckLine(log[at], "Done.", kGreen, at);
        ++at;
    }
    CheckLine(log[at], "Task finished.", kGreen, at);
    CheckLine(log[at + 1], "", kWhite, at + 1);
    CheckLine(log[at + 2], "Summary", kNavy, at + 2);
    CheckLine(log[at + 3], "Total Files: 3   Done: 3   Remaining: 0   Skip: 0   Failed: 0", kNavy, at + 3);

    {
        RECT r{};
        GetWindowRect(ProgressForm->Handle(), &r);
        const std::string path = ft::ScreenshotPath("progress-window-log.png");
        if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
    }

    // Every output reads back, at its source's size.
    const int widths[] = {160, 176, 160};
    int i = 0;
    for (const char* name : {"a.avi", "b.avi", "c.avi"}) {
        const pt::FileFacts f = pt::ReadBack(b.Out(name));
        CHECK(f.opened);
        CHECK_EQ(f.streams, 2);
        CHECK_EQ(f.width, widths[i++]);
        CHECK(f.videoFrames >= 20);
        if (!f.error.empty()) wt::ReportFailure(__FILE__, __LINE__, name + std::string(": ") + f.error);
    }
    // The sources stay where they were.
    CHECK(Exists(b.Src("a.avi")) && Exists(b.Src("b.mpg")) && Exists(b.Src("c.wmv")));

    // The log saved as rich text, with its colours.
    const String saved = b.w.Folder().WindowsPath("log.rtf");
    {
        ft::FileDialogFiller filler(saved);
        ft::ClickButton(*ProgressForm->btnSave);
    }
    const std::string rtf = at::ReadUnixFile(b.w.Folder().UnixPath("log.rtf"));
    CHECK(rtf.compare(0, 5, "{\\rtf") == 0);
    CHECK(rtf.find("Task finished.") != std::string::npos);
    CHECK(rtf.find("\\red0\\green0\\blue255") != std::string::npos);
    CHECK(rtf.find("\\red0\\green128\\blue0") != std::string::npos);
    // It opens as rich text again, with the same lines.
    const std::vector<std::string> before = LogTexts();
    ft::ClickButton(*ProgressForm->btnClear);
    CHECK_EQ(ProgressForm->rchLog->GetTextLen(), 0);
    {
        forms::TFileStream in(saved, forms::fmOpenRead);
        ProgressForm->rchLog->LoadFromStream(in);
    }
    CHECK(LogTexts() == before);

    // Done shows the main window again with its rows.
    ft::ClickButton(*ProgressForm->btnClose);
    CHECK(!ProgressForm->Showing());
    CHECK(MainForm->Showing());
    CHECK_EQ(at::RowCount(), 3);
    CHECK(b.w.Errors().empty());
}

WT_TEST(Batch, WmvCustomProfileThenMpegVcd) {
    Batch b("batch-wmv-mpg");
    b.Options("Overwrite=1\r\nQuery=0\r\n", "AVI=0\r\nMPEG=0\r\nWMV=1\r\nWmvProfile=0\r\n",
              "QueryWindowsMediaRuntime=0\r\n");
    b.Add("a.avi", ClipOf("avi", 160, 120, 1.0));
    b.Add("b.mpg", ClipOf("mpg", 176, 144, 1.0));
    b.Add("c.avi", ClipOf("avi", 320, 240, 1.0));
    b.Run();
    CHECK(Statuses() == (std::vector<std::string>{"Done", "Done", "Done"}));
    CHECK_TEXT(StatusText(0, 5), "WMV");
    for (const char* name : {"a.wmv", "b.wmv", "c.wmv"}) {
        const pt::FileFacts f = pt::ReadBack(b.Out(name));
        CHECK(f.opened);
        CHECK_EQ(f.streams, 2);
        CHECK(f.videoFrames > 0);
        if (!f.error.empty()) wt::ReportFailure(__FILE__, __LINE__, name + std::string(": ") + f.error);
    }

    // New Task empties the task list and brings the main window back.
    ft::ClickButton(*ProgressForm->btnNewTask);
    CHECK_EQ(at::RowCount(), 0);
    CHECK(MainForm->Showing());

    b.Options("Overwrite=1\r\nQuery=0\r\n", "AVI=0\r\nMPEG=1\r\nWMV=0\r\nMpegFormat=2\r\n");
    for (const char* name : {"a.avi", "b.mpg", "c.avi"})
        REQUIRE(MainForm->AddTaskItem(b.w.Folder().WindowsPath(std::string("src/") + name)));
    b.Run();
    CHECK(Statuses() == (std::vector<std::string>{"Done", "Done", "Done"}));
    CHECK_TEXT(StatusText(0, 5), "MPG");
    // Two files named a and c: the second batch writes a.mpg, b.mpg, c.mpg.
    for (const char* name : {"a.mpg", "b.mpg", "c.mpg"}) {
        const pt::FileFacts f = pt::ReadBack(b.Out(name));
        CHECK(f.opened);
        CHECK_EQ(f.streams, 2);
        CHECK_EQ(f.width, 352);  // the VCD PAL frame
        CHECK_EQ(f.height, 288);
        if (!f.error.empty()) wt::ReportFailure(__FILE__, __LINE__, name + std::string(": ") + f.error);
    }
    CHECK(b.w.Errors().empty());
}

WT_TEST(Batch, ABrokenFileFailsInRedAndTheRunGoesOn) {
    Batch b("batch-broken");
    b.Options("Overwrite=1\r\nQuery=0\r\n", "AVI=1\r\nMPEG=0\r\nWMV=0\r\n", "DeleteSourceFile=1\r\n");
    b.Add("a.avi", ClipOf("avi", 160, 120, 1.0));
    b.w.Folder().WriteFile("src/broken.avi", std::string(4096, 'x'));
    REQUIRE(MainForm->AddTaskItem(b.w.Folder().WindowsPath("src/broken.avi")));
    b.Add("c.mpg", ClipOf("mpg", 160, 120, 1.0));
    b.Run();
    CHECK(Statuses() == (std::vector<std::string>{"Done", "Error", "Done"}));
    CHECK_EQ(StateImage(1), 3);
    const std::vector<LogLine> log = RunLog();
    REQUIRE(log.size() == 3 + 2 + 3 + 4);
    // A good file: start, done, its source deleted.
    CheckLine(log[1], "Done.", kGreen, 1);
    CheckLine(log[2], "Source file deleted.", kGreen, 2);
    CHECK(log[4].text.compare(0, 14, "Error occurs: ") == 0 && log[4].text.size() > 14);
    CHECK_EQ(log[4].colour, kRed);
    CheckLine(log[5], "Start converting " + U8(b.w.Folder().WindowsPath("src/c.mpg")) + " -> c.avi", kBlue, 5);
    CheckLine(log.back(), "Total Files: 3   Done: 2   Remaining: 0   Skip: 0   Failed: 1", kNavy,
              static_cast<int>(log.size() - 1));
    // The broken file stays; the converted ones are gone, their outputs there.
    CHECK(Exists(b.Src("broken.avi")));
    CHECK(!Exists(b.Src("a.avi")) && !Exists(b.Src("c.mpg")));
    CHECK(pt::ReadBack(b.Out("a.avi")).opened && pt::ReadBack(b.Out("c.avi")).opened);
    CHECK(b.w.Errors().empty());
}

WT_TEST(Batch, CollisionsOnRealFiles) {
    Batch b("batch-collide");
    // Outputs beside their sources, renamed when taken.
    b.w.WriteOptions(
        "[General]\r\nDefault=0\r\nSource=1\r\nCustom=0\r\nSkip=0\r\nOverwrite=0\r\nQuery=0\r\nAutoRenaming=1\r\n"
        "RenamingRule=%_copy\r\n[OutputFormat]\r\nAVI=1\r\nMPEG=0\r\nWMV=0\r\n[Advanced]\r\nPlaySound=0\r\n");
    app::OptionForm->LoadOptions();
    b.Add("CLIP.AVI", ClipOf("avi", 160, 120, 1.0));
    b.Add("b.mpg", ClipOf("mpg", 160, 120, 1.0));
    b.w.Folder().WriteFile("src/b.avi", "taken");
    b.w.Folder().WriteFile("src/b_copy.avi", "taken too");
    const std::string clip = at::ReadUnixFile(b.Src("CLIP.AVI"));
    b.Run();
    CHECK(Statuses() == (std::vector<std::string>{"Skip", "Done"}));
    CHECK_EQ(StateImage(0), 2);
    const std::vector<LogLine> log = RunLog();
    REQUIRE(log.size() >= 6);
    // CLIP.AVI to AVI in its own folder is CLIP.avi: the same file.
    CheckLine(log[1], "Input file and output file are the same. Skip " + U8(b.w.Folder().WindowsPath("src/CLIP.AVI")),
              kOrange, 1);
    CheckLine(log[3], "Output file exists. Auto rename b.avi to b_copy_copy.avi", kBlue, 3);
    CHECK_EQ(StatusText(1, 4), U8(b.w.Folder().WindowsPath("src/b_copy_copy.avi")));
    CHECK(at::ReadUnixFile(b.Src("CLIP.AVI")) == clip);
    CHECK_TEXT(at::ReadUnixFile(b.Src("b.avi")), "taken");
    CHECK_TEXT(at::ReadUnixFile(b.Src("b_copy.avi")), "taken too");
    CHECK(pt::ReadBack(b.Src("b_copy_copy.avi")).opened);

    // Query: answered No the row is skipped with the skip line.
    ft::ClickButton(*ProgressForm->btnClose);
    b.w.WriteOptions(
        "[General]\r\nDefault=0\r\nSource=1\r\nCustom=0\r\nQuery=1\r\nAutoRenaming=0\r\n[OutputFormat]\r\nAVI=1\r\n"
        "[Advanced]\r\nPlaySound=0\r\n");
    app::OptionForm->LoadOptions();
    ft::MessageBoxAnswerer answers({IDNO});
    b.Run();
    CHECK(Statuses() == (std::vector<std::string>{"Skip", "Skip"}));
    REQUIRE(answers.Texts().size() == 1);
    CHECK_TEXT(U8(answers.Texts()[0]), "Output file already exists. Do you wish to overwrite it?");
    CHECK_TEXT(U8(answers.Captions()[0]), "Query");
    CHECK_EQ(RunLog()[3].text, "Skip " + U8(b.w.Folder().WindowsPath("src/b.mpg")));
    CHECK_TEXT(at::ReadUnixFile(b.Src("b.avi")), "taken");
}

WT_TEST(Batch, ANewBatchShowsTheProgressWindowRestoredWithFinalFigures) {
    Batch b("batch-restore");
    b.Options("Overwrite=1\r\nQuery=0\r\n", "AVI=1\r\nMPEG=0\r\nWMV=0\r\n");
    b.AddReal("odd.avi", "odd_720x405.avi");
    // Closed while it converts: only minimised; then restored as the task
    // bar restores a window, not through the program.
    bool minimised = false;
    b.Run([&] {
        if (!minimised && ProgressForm->Driver().Busy()) {
            ProgressForm->Close();
            minimised = IsIconic(ProgressForm->Handle()) != 0;
            ShowWindow(ProgressForm->Handle(), SW_RESTORE);
        }
        return false;
    });
    CHECK(minimised);
    CHECK(Statuses() == (std::vector<std::string>{"Done"}));
    // The run was shorter than a tick: its figures are still the final ones.
    CHECK_TEXT(U8(ProgressForm->labCurrentProgress->Caption()), "100%");
    CHECK_EQ(ProgressForm->pgbCurrent->Position(), 100);
    CHECK_TEXT(U8(ProgressForm->labTotalProgress->Caption()), "100%");
    CHECK_TEXT(U8(ProgressForm->labRemain->Caption()), "0:0:0");
    const std::string elapsed = U8(ProgressForm->labElapse->Caption());
    CHECK(!elapsed.empty() && elapsed != "0:0:0");
    ft::ClickButton(*ProgressForm->btnClose);
    REQUIRE(MainForm->Showing());

    // The next batch is in view, not in a minimised window behind a
    // hidden main window.
    bool checked = false;
    b.Run([&] {
        if (!checked && ProgressForm->Driver().Busy()) {
            checked = true;
            CHECK(IsWindowVisible(ProgressForm->Handle()));
            CHECK(!IsIconic(ProgressForm->Handle()));
            CHECK(ProgressForm->WindowState() == forms::TWindowState::wsNormal);
        }
        return false;
    });
    CHECK(checked);
    CHECK(!IsIconic(ProgressForm->Handle()));
    ft::ClickButton(*ProgressForm->btnClose);
    CHECK(b.w.Errors().empty());
}

// A file made by the ffmpeg command line (720 x 405 with sound) through the
// real windows to each output format; what FFmpeg's libraries read back
// is printed for the record.
WT_TEST(Batch, ARealFileToEveryOutputFormat) {
    Batch b("batch-real");
    b.AddReal("film.avi", "odd_720x405.avi");
    int mpeg4 = -1, mp3 = -1;
    for (int i = 0; i < ConvertForm->cmbVideoCodec->Items().Count(); ++i)
        if (U8(ConvertForm->cmbVideoCodec->Items()[i]).find("MPEG-4 Part 2") != std::string::npos) mpeg4 = i;
    for (int i = 0; i < ConvertForm->cmbAudioCodec->Items().Count(); ++i)
        if (U8(ConvertForm->cmbAudioCodec->Items()[i]).find("MP3") != std::string::npos) mp3 = i;
    REQUIRE(mpeg4 >= 0 && mp3 >= 0);
    struct Case {
        const char* name;
        std::string output;
        const char* file;
    };
    const Case cases[] = {
        {"AVI (MPEG-4, MP3)", "AVI=1\r\nMPEG=0\r\nWMV=0\r\nAviVidCodec=" + std::to_string(mpeg4) +
                                  "\r\nAviAudCodec=" + std::to_string(mp3) + "\r\n", "film.avi"},
        {"MPEG (Standard MPEG1)", "AVI=0\r\nMPEG=1\r\nWMV=0\r\nMpegFormat=0\r\n", "film.mpg"},
        {"MPEG (DVD PAL)", "AVI=0\r\nMPEG=1\r\nWMV=0\r\nMpegFormat=7\r\n", "film.mpg"},
        {"WMV (system profile 1)", "AVI=0\r\nMPEG=0\r\nWMV=1\r\nWmvProfile=1\r\n", "film.wmv"},
        {"WMV (custom profile)", "AVI=0\r\nMPEG=0\r\nWMV=1\r\nWmvProfile=0\r\n", "film.wmv"},
    };
    for (const Case& c : cases) {
        b.Options("Overwrite=1\r\nQuery=0\r\n", c.output);
        b.Run();
        CHECK(Statuses() == (std::vector<std::string>{"Done"}));
        const ffprobe::File f = ffprobe::Probe(b.Out(c.file));
        CHECK(f.error.empty() && f.Video() && f.Audio());
        if (f.Video() && f.Audio())
            std::printf("%s: %s, %s %dx%d %lld frames, %s, %.2f s\n", c.name, f.format.c_str(),
                        f.Video()->codec.c_str(), f.Video()->width, f.Video()->height,
                        static_cast<long long>(f.Video()->packets), f.Audio()->codec.c_str(), f.seconds);
        ft::ClickButton(*ProgressForm->btnClose);
    }
    CHECK(b.w.Errors().empty());
}

WT_TEST(Batch, PauseResumeAndStop) {
    Batch b("batch-pause");
    b.Options("Overwrite=1\r\nQuery=0\r\n", "AVI=1\r\nMPEG=0\r\nWMV=0\r\n");
    b.Add("a.avi", ClipOf("avi", 160, 120, 1.0));
    // Long enough for the Stop to land while it converts.
    b.Add("b.avi", ClipOf("avi", 160, 120, 8.0));
    b.Add("c.avi", ClipOf("avi", 160, 120, 1.0));

    enum class Step { PauseFirst, WaitPaused, Resume, StopSecond, Done } step = Step::PauseFirst;
    std::chrono::steady_clock::time_point pausedAt;
    int startsWhilePaused = -1;
    std::unique_ptr<ft::MessageBoxAnswerer> answers;
    bool inClick = false;
    app::BatchDriver& d = ProgressForm->Driver();
    b.Run([&] {
        if (inClick) return false;
        inClick = true;
        switch (step) {
        case Step::PauseFirst:
            if (d.Busy() && d.CurrentIndex() == 0) {
                ft::ClickButton(*ProgressForm->btnPause);
                CHECK_TEXT(U8(ProgressForm->btnPause->Caption()), "R&esume");
                CHECK_TEXT(U8(d.RunState()), "Paused");
                step = Step::WaitPaused;
            }
            break;
        case Step::WaitPaused:
            if (!LogTexts().empty() && LogTexts().back() == "Paused.") {
                pausedAt = std::chrono::steady_clock::now();
                startsWhilePaused = d.CurrentIndex();
                // Closing the window while the run goes on only minimises it.
                ProgressForm->Close();
                CHECK(ProgressForm->Showing());
                CHECK(ProgressForm->WindowState() == forms::TWindowState::wsMinimized);
                ProgressForm->SetWindowState(forms::TWindowState::wsNormal);
                step = Step::Resume;
            }
            break;
        case Step::Resume:
            // A second and a half without a start, then Resume.
            if (std::chrono::steady_clock::now() - pausedAt > std::chrono::milliseconds(1500)) {
                CHECK_EQ(d.CurrentIndex(), startsWhilePaused);
                CHECK_TEXT(Statuses()[1], "Ready");
                ft::ClickButton(*ProgressForm->btnPause);
                CHECK_TEXT(U8(ProgressForm->btnPause->Caption()), "P&ause");
                step = Step::StopSecond;
            }
            break;
        case Step::StopSecond:
            if (d.Busy() && d.CurrentIndex() == 1) {
                answers.reset(new ft::MessageBoxAnswerer({IDYES}));
                ft::ClickButton(*ProgressForm->btnStop);
                step = Step::Done;
            }
            break;
        case Step::Done: break;
        }
        inClick = false;
        return step == Step::Done;
    });
    CHECK(step == Step::Done);
    CHECK_EQ(startsWhilePaused, 0);
    REQUIRE(answers && answers->Texts().size() == 1);
    CHECK_TEXT(U8(answers->Texts()[0]), "Are you sure to stop current task?");
    CHECK(Statuses() == (std::vector<std::string>{"Done", "Ready", "Ready"}));
    const std::vector<std::string> t = LogTexts();
    const std::vector<std::string> run(t.begin() + 2, t.end());
    const std::vector<std::string> expected = {
        "Start converting " + U8(b.w.Folder().WindowsPath("src/a.avi")) + " -> a.avi",
        "Finishing current converting before pasue. Please wait...",
        "Done.",
        "Paused.",
        "Resume converting",
        "Start converting " + U8(b.w.Folder().WindowsPath("src/b.avi")) + " -> b.avi",
        "Stop converting.",
        "Task finished.",
        "",
        "Summary",
        "Total Files: 3   Done: 1   Remaining: 2   Skip: 0   Failed: 0",
    };
    CHECK(run == expected);
    if (run != expected)
        for (const auto& line : run) std::printf("  log: %s\n", line.c_str());
    CHECK(!Exists(b.Out("c.avi")));
    CHECK(b.w.Errors().empty());
}

// A custom output folder that is a link to the source folder, with
// Overwrite and "Delete source files", deleted the sources; a source that
// holds only its headers "converted" to an empty file and was deleted too.
WT_TEST(Batch, SourcesReachedThroughALinkAndEmptySourcesStay) {
    Batch b("batch-link");
    REQUIRE(symlink(b.Src("").c_str(), b.w.Folder().UnixPath("out").c_str()) == 0);
    b.Options("Overwrite=1\r\nQuery=0\r\n", "AVI=1\r\nMPEG=0\r\nWMV=0\r\n", "DeleteSourceFile=1\r\n");
    ffclip::Pattern(b.Src("a.avi"), 160, 120, 1.0);
    b.w.Folder().WriteFile("src/headers.wmv",
                           damage::HeadersOnly(at::ReadUnixFile(ffclip::Pattern(b.Src("full.wmv"), 160, 120, 1.0))));
    REQUIRE(MainForm->AddTaskItem(b.w.Folder().WindowsPath("src/a.avi")));
    REQUIRE(MainForm->AddTaskItem(b.w.Folder().WindowsPath("src/headers.wmv")));
    const std::string before = at::ReadUnixFile(b.Src("a.avi"));
    b.Run();
    CHECK(Statuses() == (std::vector<std::string>{"Skip", "Error"}));
    CHECK(at::ReadUnixFile(b.Src("a.avi")) == before);
    CHECK(Exists(b.Src("headers.wmv")));
    CHECK(!Exists(b.Src("headers.avi")));
    const std::vector<std::string> lines = LogTexts();
    CHECK(std::find(lines.begin(), lines.end(),
                    "Error occurs: The source file holds no video frames that could be converted") != lines.end());
}
