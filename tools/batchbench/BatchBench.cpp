// Times a batch of short clips converted to AVI twice: through the
// program's own windows and batch driver (the task list, the progress
// window's run with its log, status list and message pump), and through
// the same conversion control called alone, one file after another.
// Prints the time per file of both and the driver's share; fails when the
// driver adds half a second or more per file. The run's one-second start
// delay is not part of it: the run is started directly. Runs under Wine in
// a prefix where the libraries are registered (see run.sh).
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/Convert.h"
#include "app/Main.h"
#include "app/Progress.h"
#include "app/Startup.h"
#include "app/option.h"
#include "framework/com/Bstr.h"
#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "tools/benchhost/BenchUtil.h"
#include "tools/clipgen/ClipWriter.h"

namespace {

using bench::Clock;
using bench::Seconds;
using bench::UnixPath;

constexpr int kFiles = 20;
constexpr double kMaxDriverSeconds = 0.5;

void WriteText(const std::u16string& path, const std::string& text) {
    const HANDLE h = CreateFileW(com::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &n, nullptr);
    CloseHandle(h);
}

// The control alone, as a host without the driver would call it.
double ControlAlone(const std::u16string& folder, const std::u16string& out) {
    IVantrexObj* c = app::ProgressForm->Vantrex1->ControlInterface();
    bool complete = false;
    app::ProgressForm->Vantrex1->OnComplete = [&](forms::TObject*) { complete = true; };
    c->put_OutputFormat(mediaAVI);
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < kFiles; ++i) {
        const std::u16string name = u"clip" + forms::IntToStr(i);
        c->put_InputFile(com::Bstr(folder + name + u".mpg").Get());
        c->put_OutputFile(com::Bstr(out + name + u".avi").Get());
        complete = false;
        c->StartConversion();
        while (!complete) forms::Application->HandleMessage();
    }
    return Seconds(start);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    forms::TApplication application;
    application.Initialize();
    app::CreateProgramWindows(application);

    WCHAR temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::u16string root = com::U16(temp) + u"batchbench\\";
    const std::u16string clips = root + u"clips\\", viaDriver = root + u"driver\\", alone = root + u"alone\\";
    for (const std::u16string& f : {root, clips, viaDriver, alone}) CreateDirectoryW(com::W(f), nullptr);
    app::ProgramFolder = root;
    WriteText(root + u"Option.ini", "[General]\r\nDefault=0\r\nSource=0\r\nCustom=1\r\nCustomFolder=" +
                                        forms::TextToUtf8(viaDriver) +
                                        "\r\nOverwrite=1\r\nQuery=0\r\n[OutputFormat]\r\nAVI=1\r\n"
                                        "[Advanced]\r\nPlaySound=0\r\n");
    app::OptionForm->LoadOptions();

    std::printf("writing %d one-second clips...\n", kFiles);
    clipgen::ClipSpec desc;
    desc.container = "mpg";
    desc.seconds = 1.0;
    for (int i = 0; i < kFiles; ++i) {
        const std::u16string path = clips + u"clip" + forms::IntToStr(i) + u".mpg";
        clipgen::WriteClip(UnixPath(path), desc);
        app::MainForm->AddTaskItem(path);
    }
    // The codec lists come first, as in the program.
    while (app::ProgressForm->VideoCodecIds.Count() == 0) application.HandleMessage();

    app::ConvertForm->Show();
    app::ConvertForm->Hide();
    app::ProgressForm->Show();
    app::ProgressForm->TimerStartup2->SetEnabled(false);
    const Clock::time_point start = Clock::now();
    app::ProgressForm->RunTasks();
    const double driver = Seconds(start);
    const int done = app::ProgressForm->Driver().DoneCount();

    const double control = ControlAlone(clips, alone);

    std::printf("%d files: driver %.3f s (%.3f s a file), control alone %.3f s (%.3f s a file)\n", done, driver,
                driver / kFiles, control, control / kFiles);
    const double added = (driver - control) / kFiles;
    std::printf("the driver adds %.3f s a file (limit %.1f s)\n", added, kMaxDriverSeconds);
    const bool ok = done == kFiles && added < kMaxDriverSeconds;
    std::printf("%s\n", ok ? "OK" : "FAILED");
    return ok ? 0 : 1;
}
