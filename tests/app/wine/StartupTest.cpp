// Corvane as a program: started from a program folder of its own (a copy
// of its placeholder, the code coming from the build), its caption and
// version, the tips, the outside decoder file moved aside while it runs
// and back when it closes or the session ends, and the end with exit code
// 1 when the conversion control cannot be created. Changes the prefix's
// system folder, so it runs alone.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/com/WinText.h"
#include "framework/forms/SysUtils.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/wine/harness/ComTestUtil.h"
#include "tests/wine/harness/WineTest.h"

using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

String SystemFolder() {
    WCHAR path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return com::U16(path);
}

bool Exists(const String& path) { return GetFileAttributesW(com::W(path)) != INVALID_FILE_ATTRIBUTES; }

std::string ReadWholeFile(const String& path) {
    std::string bytes;
    const HANDLE h = CreateFileW(com::W(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(GetFileSize(h, nullptr));
    DWORD n = 0;
    if (!bytes.empty()) ::ReadFile(h, &bytes[0], static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
    return bytes;
}

void WriteWholeFile(const String& path, const std::string& bytes) {
    const HANDLE h = CreateFileW(com::W(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD n = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    CloseHandle(h);
}

// A dummy outside decoder in the system folder, removed again at the end.
class DecoderFile {
public:
    DecoderFile() : m_ax(SystemFolder() + u"\\ffdshow.ax"), m_bak(SystemFolder() + u"\\ffdshow.bak") {
        Remove();
        WriteWholeFile(m_ax, kContents);
    }
    ~DecoderFile() { Remove(); }
    static constexpr const char* kContents = "an outside decoder filter";
    bool AtItsPlace() const { return ReadWholeFile(m_ax) == kContents && !Exists(m_bak); }
    bool Aside() const { return ReadWholeFile(m_bak) == kContents && !Exists(m_ax); }

private:
    void Remove() {
        DeleteFileW(com::W(m_ax));
        DeleteFileW(com::W(m_bak));
    }
    String m_ax, m_bak;
};

struct ProcessWindows {
    DWORD pid;
    std::vector<std::pair<std::string, HWND>> windows;  // class name, window
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
    auto* p = reinterpret_cast<ProcessWindows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != p->pid) return TRUE;
    WCHAR cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    p->windows.emplace_back(com::Utf8(cls), hwnd);
    return TRUE;
}

BOOL CALLBACK FirstStatic(HWND hwnd, LPARAM param) {
    WCHAR cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (lstrcmpiW(cls, L"Static") != 0) return TRUE;
    const String text = ft::WindowText(hwnd);
    if (text.empty()) return TRUE;
    *reinterpret_cast<String*>(param) = text;
    return FALSE;
}

// The control library's registration removed for the life of this object.
class ControlUnregistered {
public:
    ControlUnregistered() {
        bool found = false;
        const String path = wt::RegReadString(HKEY_CLASSES_ROOT, kControlServerKey, u"", &found);
        if (found) m_module = LoadLibraryW(com::W(path));
        if (!m_module) return;
        m_register = Entry("DllRegisterServer");
        const Function unregister = Entry("DllUnregisterServer");
        m_ok = m_register && unregister && SUCCEEDED(unregister());
    }
    ~ControlUnregistered() {
        if (m_ok) m_register();
        if (m_module) FreeLibrary(m_module);
    }
    bool Ok() const { return m_ok; }

private:
    using Function = HRESULT(WINAPI*)();
    static constexpr const char16_t* kControlServerKey = u"CLSID\\{F82FA24D-93F8-47CA-8B12-58372BF271EF}\\InprocServer32";
    Function Entry(const char* name) const {
        return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
    }
    HMODULE m_module = nullptr;
    Function m_register = nullptr;
    bool m_ok = false;
};

// Corvane started from a program folder of its own.
class Program {
public:
    explicit Program(const std::string& tag) : folder(tag) {
        WCHAR exe[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, exe, MAX_PATH);
        const String bin = forms::ExtractFilePath(com::U16(exe));
        m_path = folder.Windows() + u"\\Corvane.exe";
        if (!CopyFileW(com::W(bin + u"Corvane.exe"), com::W(m_path), FALSE))
            wt::ReportFailure(__FILE__, __LINE__, "cannot copy the program");
    }
    ~Program() {
        if (m_process.hProcess) {
            if (WaitForSingleObject(m_process.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(m_process.hProcess, 9);
            CloseHandle(m_process.hThread);
            CloseHandle(m_process.hProcess);
        }
    }
    bool Start() {
        String cmd = u"\"" + m_path + u"\"";
        STARTUPINFOW si{sizeof si};
        return CreateProcessW(nullptr, const_cast<WCHAR*>(com::W(cmd)), nullptr, nullptr, FALSE, 0, nullptr,
                              nullptr, &si, &m_process) != 0;
    }
    ProcessWindows Windows() const {
        ProcessWindows p{m_process.dwProcessId, {}};
        EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&p));
        return p;
    }
    HWND Window(const std::string& cls, bool visible) const {
        for (const auto& w : Windows().windows)
            if (w.first == cls && (!visible || IsWindowVisible(w.second))) return w.second;
        return nullptr;
    }
    HWND WaitForMainWindow() const {
        HWND main = nullptr;
        wt::PumpUntil([&] { return (main = Window("TMainForm", true)) != nullptr; }, 30000);
        return main;
    }
    // The exit code, once the program has ended (within 30 seconds).
    DWORD WaitForExit() const {
        if (WaitForSingleObject(m_process.hProcess, 30000) != WAIT_OBJECT_0) return 0xDEAD;
        DWORD code = 0xDEAD;
        GetExitCodeProcess(m_process.hProcess, &code);
        return code;
    }
    void Kill() const {
        TerminateProcess(m_process.hProcess, 9);
        WaitForSingleObject(m_process.hProcess, 30000);
    }
    at::ScratchFolder folder;

private:
    String m_path;
    PROCESS_INFORMATION m_process{};
};

}  // namespace

WT_TEST(Startup, RunsWithItsVersionAndPutsTheDecoderAsideUntilItCloses) {
    DecoderFile decoder;
    Program program("start");
    program.folder.WriteFile("Option.ini", "[General]\r\nVersion=2.0\r\n[Advanced]\r\nEverydayTips=0\r\n");
    REQUIRE(program.Start());
    const HWND main = program.WaitForMainWindow();
    REQUIRE(main);
    CHECK_EQ(U8(ft::WindowText(main)), std::string("Corvane V2.0"));
    CHECK(decoder.Aside());
    // The progress window holds the second control; the tips stay hidden.
    CHECK(program.Window("TProgressForm", false) != nullptr);
    CHECK(program.Window("TTipForm", true) == nullptr);

    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK_EQ(program.WaitForExit(), 0u);
    CHECK(decoder.AtItsPlace());
    // The explorer's folder is kept for the next start.
    CHECK(at::ReadUnixFile(program.folder.UnixPath("Option.ini")).find("InitialDir=") != std::string::npos);
}

WT_TEST(Startup, AFreshFolderShowsVersion18AndTheTips) {
    Program program("fresh");
    const String bak = SystemFolder() + u"\\ffdshow.bak";
    REQUIRE(program.Start());
    const HWND main = program.WaitForMainWindow();
    REQUIRE(main);
    CHECK_EQ(U8(ft::WindowText(main)), std::string("Corvane V1.8"));
    const HWND tips = program.Window("TTipForm", true);
    CHECK(tips != nullptr);
    CHECK_EQ(U8(ft::WindowText(tips)), std::string("Everyday Tips"));
    CHECK(!Exists(bak));  // no decoder, nothing renamed
    PostMessageW(main, WM_CLOSE, 0, 0);
    CHECK_EQ(program.WaitForExit(), 0u);
    CHECK(!Exists(bak));
}

WT_TEST(Startup, TheEndOfTheSessionPutsTheDecoderBack) {
    DecoderFile decoder;
    Program program("session");
    program.folder.WriteFile("Option.ini", "[Advanced]\r\nEverydayTips=0\r\n");
    REQUIRE(program.Start());
    const HWND main = program.WaitForMainWindow();
    REQUIRE(main);
    CHECK(decoder.Aside());
    // The session ends: the close handlers never run, the process is ended.
    // A program still busy starting on a loaded machine counts as hung for
    // a moment, and a send that aborts then would never reach it: the
    // messages must arrive, so their sends are checked.
    CHECK(SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 30000, nullptr) != 0);
    CHECK(SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 30000, nullptr) != 0);
    CHECK(decoder.AtItsPlace());
    program.Kill();
    CHECK(decoder.AtItsPlace());
}

WT_TEST(Startup, WithoutItsControlTheProgramSaysSoAndEndsWithCode1) {
    // The control's library is unregistered while this test runs (the
    // tests run alone), and registered again at its end.
    ControlUnregistered unregistered;
    REQUIRE(unregistered.Ok());
    Program program("nocontrol");
    REQUIRE(program.Start());

    HWND box = nullptr;
    wt::PumpUntil([&] { return (box = program.Window("#32770", true)) != nullptr; }, 8000);
    REQUIRE(box);
    String text;
    EnumChildWindows(box, &FirstStatic, reinterpret_cast<LPARAM>(&text));
    CHECK(text.find(u"Cannot create the control") != String::npos);
    CHECK_EQ(U8(ft::WindowText(box)), std::string("Corvane"));
    CHECK(program.Window("TMainForm", true) == nullptr);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    CHECK_EQ(program.WaitForExit(), 1u);
}
