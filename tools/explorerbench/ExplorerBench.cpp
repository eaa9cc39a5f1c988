// Times the file list opening a folder of 5,000 files (names, sizes,
// shell types and icons, dates, sorted by name, drawn), in a shown window
// as the program shows it, against independent programs doing the same
// job, each started afresh every round: the command interpreter's "dir"
// of the folder under the same Wine, and the host's "ls -l" of it. They
// alternate; the medians and the ratios are printed. Runs under Wine (see
// run.sh).
//
//   ExplorerBench.exe [files] [rounds]
#include <windows.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "framework/com/WinText.h"
#include "framework/forms/Forms.h"
#include "shellbrowse/ShellExplorer.h"

namespace {

using Clock = std::chrono::steady_clock;
using forms::String;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

class TBenchForm : public forms::TForm {
public:
    explicit TBenchForm(forms::TComponent* owner) : TForm(owner) {
        SetBounds(0, 0, 700, 500);
        list = new shellbrowse::TFileListView(this);
        list->SetBounds(0, 0, 680, 460);
        list->SetParent(this);
    }
    shellbrowse::TFileListView* list;
};

// "dir" of the folder by the command interpreter, its output discarded.
double TimeDir(const String& folder) {
    std::u16string command = u"cmd.exe /c dir /a \"" + folder + u"\" > NUL";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const auto start = Clock::now();
    if (!CreateProcessW(nullptr, com::W(&command[0]), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si,
                        &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    const double t = Seconds(start);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return t;
}

// The host's own listing with sizes and dates, its output discarded.
double TimeLs(const std::string& unixFolder) {
    const std::string command = "ls -l --full-time '" + unixFolder + "' > /dev/null";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1;
    return Seconds(start);
}

}  // namespace

int main(int argc, char** argv) {
    const int files = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 7;
    char pattern[] = "/tmp/corvane-explorerbench-XXXXXX";
    if (!mkdtemp(pattern)) return 1;
    const std::string unixFolder = pattern;
    std::string windows = "Z:" + unixFolder;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    const String folder = com::U16(windows);
    const char* const kExtensions[] = {".avi", ".mpg", ".wmv", ".txt", ".mp2"};
    for (int i = 0; i < files; ++i) {
        const std::string name = unixFolder + "/clip" + std::to_string(i * 7919 % files) + kExtensions[i % 5];
        if (FILE* f = std::fopen(name.c_str(), "wb")) {
            std::fwrite("0123456789", 1, static_cast<size_t>(i % 10), f);
            std::fclose(f);
        }
    }
    const String empty = folder + u"\\empty";
    CreateDirectoryW(com::W(empty), nullptr);

    forms::TApplication app;
    app.Initialize();
    TBenchForm* form = nullptr;
    app.CreateForm(form);
    form->Show();
    app.ProcessMessages();

    std::vector<double> listTimes, dirTimes, lsTimes;
    int items = 0;
    for (int r = 0; r < rounds; ++r) {
        form->list->SetDirectory(empty);
        app.ProcessMessages();
        const auto start = Clock::now();
        form->list->SetDirectory(folder);
        UpdateWindow(form->list->Handle());
        listTimes.push_back(Seconds(start));
        items = form->list->Items().Count();
        dirTimes.push_back(TimeDir(folder));
        lsTimes.push_back(TimeLs(unixFolder));
    }
    const double list = Median(listTimes), dir = Median(dirTimes), ls = Median(lsTimes);
    std::printf("folder of %d files, %d items listed, %d rounds\n", files, items, rounds);
    std::printf("file list opening the folder: %.3f s (median)\n", list);
    std::printf("cmd /c dir under Wine:        %.3f s (median), list / dir %.2f\n", dir, dir > 0 ? list / dir : 0.0);
    std::printf("host ls -l:                   %.3f s (median), list / ls %.2f\n", ls, ls > 0 ? list / ls : 0.0);
    delete form;
    std::string remove = "rm -rf '" + unixFolder + "'";
    return std::system(remove.c_str()) == 0 && items == files + 2 ? 0 : 1;
}
