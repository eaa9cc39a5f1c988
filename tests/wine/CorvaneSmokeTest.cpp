// Corvane starts in the prepared prefix, shows its main window and ends
// cleanly when that window is closed.
#include <windows.h>

#include <string>

#include "framework/com/WinText.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

namespace {

std::u16string ProgramPath() {
    // The test programs are built beside Corvane.
    WCHAR path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::u16string p = com::U16(path);
    return p.substr(0, p.find_last_of(u'\\') + 1) + u"Corvane.exe";
}

struct FindData {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindMainWindow(HWND hwnd, LPARAM param) {
    auto* data = reinterpret_cast<FindData*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    WCHAR cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (pid == data->pid && lstrcmpW(cls, L"TMainForm") == 0) {
        data->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

WT_TEST(Corvane, StartsShowsItsWindowAndClosesCleanly) {
    std::u16string cmd = u"\"" + ProgramPath() + u"\"";
    STARTUPINFOW si{sizeof si};
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, com::W(cmd.data()), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        wt::ReportFailure(__FILE__, __LINE__,
                          "cannot start " + wt::Utf8(cmd) + ": error " +
                              std::to_string(GetLastError()));
        return;
    }
    FindData data{pi.dwProcessId, nullptr};
    const bool shown = wt::PumpUntil(
        [&] {
            EnumWindows(FindMainWindow, reinterpret_cast<LPARAM>(&data));
            return data.found && IsWindowVisible(data.found);
        },
        30000);
    CHECK(shown);
    if (data.found) {
        WCHAR title[64] = {};
        GetWindowTextW(data.found, title, 64);
        CHECK(lstrcmpW(title, L"Corvane") == 0);
        PostMessageW(data.found, WM_CLOSE, 0, 0);
    }
    const DWORD wait = WaitForSingleObject(pi.hProcess, 30000);
    CHECK_EQ(wait, WAIT_OBJECT_0);
    DWORD exitCode = 1234;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    CHECK_EQ(exitCode, 0u);
    if (wait != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}
