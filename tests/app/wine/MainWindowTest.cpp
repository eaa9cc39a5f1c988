// The main window and its task list, driven through its tool bar, its
// dialogs and its list by messages: the windows in their order, files and
// folders added with their media facts, link loops, Cancel, remove and
// clear, unreadable files, preview, drops from the explorer pane, layout,
// Convert, and a screenshot of the window with rows in it.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "app/Convert.h"
#include "app/EverydayTips.h"
#include "app/Main.h"
#include "app/Progress.h"
#include "app/QueryDialog.h"
#include "app/TaskRules.h"
#include "app/about.h"
#include "app/option.h"
#include "framework/com/Bstr.h"
#include "framework/com/Owners.h"
#include "framework/com/WinText.h"
#include "shellbrowse/ShellText.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using app::MainForm;
using at::ProgramWindows;
using forms::String;

namespace {

const char kTreeOptions[] = "[Advanced]\r\nShowQuery=0\r\nAlwaysYes=1\r\n";
const char kFlatOptions[] = "[Advanced]\r\nShowQuery=0\r\nAlwaysYes=0\r\n";

std::string U8(const String& s) { return forms::TextToUtf8(s); }

// The clips every test takes copies of, written once.
struct Clips {
    at::ScratchFolder folder{"clips"};
    bool ok = true;
    Clips() {
        clipgen::ClipSpec avi;  // 160 x 120, 25 fps, 2 s, video and audio
        ok &= at::MakeClip(folder.UnixPath("clip.avi"), avi);
        clipgen::ClipSpec mpg;
        mpg.container = "mpg";
        mpg.width = 176;
        mpg.height = 144;
        mpg.rate = AVRational{30000, 1001};
        mpg.seconds = 3.0;
        ok &= at::MakeClip(folder.UnixPath("clip.mpg"), mpg);
        clipgen::ClipSpec wmv;
        wmv.container = "wmv";
        wmv.rate = AVRational{15, 1};
        wmv.audio = false;
        ok &= at::MakeClip(folder.UnixPath("silent.wmv"), wmv);
        clipgen::ClipSpec tone;
        tone.video = false;
        ok &= at::MakeClip(folder.UnixPath("tone.avi"), tone);
    }
};

Clips& TheClips() {
    static Clips clips;
    return clips;
}

// Copies a generated clip into a test's folder.
void PutClip(const at::ScratchFolder& to, const std::string& clip, const std::string& relative) {
    to.WriteFile(relative, at::ReadUnixFile(TheClips().folder.UnixPath(clip)));
}

// What the hidden control answers, as the row should show it.
app::TaskRowTexts AnswerFor(const String& path) {
    double rate = 0, duration = 0;
    VARIANT_BOOL video = 0, audio = 0;
    LONG width = 0, height = 0, bitRate = 0;
    BSTR poster = nullptr;
    com::Bstr name(path);
    MainForm->Vantrex1->ControlInterface()->GetFileInfo(name.Get(), &rate, &duration, &video, &audio, &width,
                                                        &height, &bitRate, &poster);
    SysFreeString(poster);
    app::MediaFacts f{rate, duration, video != 0, audio != 0, static_cast<int>(width), static_cast<int>(height),
                      static_cast<int>(bitRate)};
    return app::RowTexts(f);
}

std::vector<String> ExpectedRow(const String& path) {
    const app::TaskRowTexts t = AnswerFor(path);
    return {forms::ExtractFileName(path), app::TaskFolderText(path), t.frameRate, t.duration, t.videoStream,
            t.audioStream, t.dimensions, t.bitRate, t.seconds};
}

void CheckRow(int row, const std::vector<String>& expected, int line) {
    const std::vector<String> got = at::Row(row);
    for (size_t c = 0; c < expected.size(); ++c)
        if (got[c] != expected[c])
            wt::ReportFailure(__FILE__, line,
                              "row " + std::to_string(row) + " column " + std::to_string(c) + ": " + U8(got[c]) +
                                  " != " + U8(expected[c]));
}

std::vector<std::string> SortedNames() {
    std::vector<std::string> names;
    for (const String& n : at::FileNames()) names.push_back(U8(n));
    std::sort(names.begin(), names.end());
    return names;
}

// Add Dir through the shell's folder browser, which is answered with OK
// on the folder preset as its selection.
void AddDirThroughTheBrowser(const String& folder) {
    MainForm->OpenDirDialog1->SetSelection(folder);
    at::FolderBrowserHand hand(true, folder);
    at::ClickToolButton(MainForm->tbtnAddDir);
    CHECK(hand.Seen());
}

void CheckSearchEnded(int line) {
    const bool ended = !MainForm->panSearching->Visible() && MainForm->SearchCancelled &&
                       MainForm->tlbMain->Enabled() && MainForm->gpbTask->Enabled() &&
                       MainForm->gpbExplorer->Enabled();
    if (!ended) wt::ReportFailure(__FILE__, line, "the search did not end cleanly");
}

}  // namespace

WT_TEST(MainWindow, WindowsComeInTheirOrderWithBothControls) {
    ProgramWindows w("order");
    const char* const order[] = {"TMainForm",  "TProgressForm", "TConvertForm", "TDialogForm",
                                 "TOptionForm", "TAboutForm",   "TTipForm"};
    REQUIRE(forms::Application->FormCount() == 7);
    for (int i = 0; i < 7; ++i) CHECK_EQ(std::string(forms::Application->Forms(i)->ClassName()), order[i]);
    CHECK(forms::Application->MainForm() == MainForm);

    // The hidden instance answers file questions; the progress window's
    // fills its "Preview" page.
    CHECK(MainForm->Vantrex1->InPlaceActive());
    CHECK(!MainForm->Vantrex1->Visible());
    CHECK(app::ProgressForm->Vantrex1->InPlaceActive());
    CHECK(app::ProgressForm->Vantrex1->Parent() == app::ProgressForm->tabPreview);
    CHECK(app::ProgressForm->tabPreview->Caption() == u"Preview");
    CHECK(app::ProgressForm->tabLog->Caption() == u"   Log   ");
    CHECK(MainForm->Vantrex1->ControlInterface() != app::ProgressForm->Vantrex1->ControlInterface());

    char system[255] = {};
    GetSystemDirectoryA(system, sizeof system);
    CHECK(MainForm->SystemFolder == com::FromAnsi(system));
    CHECK(forms::Application->Title() == u"Corvane");
    CHECK(forms::Application->HelpFile() == MainForm->HelpFile());
    CHECK(forms::ExtractFileName(MainForm->HelpFile()) == u"Corvane.hlp");
    // The test program's folder holds no Option.ini.
    CHECK(MainForm->Caption() == u"Corvane V1.8");
    CHECK(app::OptionLinks.mainForm == MainForm);
    CHECK(app::OptionLinks.explorer == MainForm);
    CHECK(app::OptionLinks.convertForm == app::ConvertForm);
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, AddFilesFillsRowsWithEachClipsFacts) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("addfiles");
    struct Expected {
        const char* name;
        const char* rate;
        const char* duration;
        const char* video;
        const char* audio;
        const char* dimensions;
        const char* seconds;
    };
    const Expected clips[] = {
        {"clip.avi", "25.00", "00:00:02", "Yes", "Yes", "160 x 120", "2"},
        {"clip.mpg", "29.97", "00:00:03", "Yes", "Yes", "176 x 144", "3"},
        {"silent.wmv", "15.00", "00:00:02", "Yes", "No", "160 x 120", "2"},
        // Audio only: the audio stream's length, no picture facts.
        {"tone.avi", "0.00", "00:00:02", "No", "Yes", "0 x 0", "2"},
    };
    int row = 0;
    for (const Expected& c : clips) {
        const String path = TheClips().folder.WindowsPath(c.name);
        {
            ft::FileDialogFiller filler(path);
            at::ClickToolButton(MainForm->tbtnAddFile);
        }
        REQUIRE(ft::PumpUntil([&] { return at::RowCount() == row + 1; }, 20000));
        CheckRow(row, ExpectedRow(path), __LINE__);
        ++row;
    }
    if (!at::StandInMediaDetector()) {
        std::printf("NOTE: the media detector is Wine's own; exact media facts are not checked\n");
    } else {
        for (int r = 0; r < row; ++r) {
            const Expected& c = clips[r];
            const std::vector<String> got = at::Row(r);
            CHECK_EQ(U8(got[0]), c.name);
            CHECK_EQ(U8(got[2]), c.rate);
            CHECK_EQ(U8(got[3]), c.duration);
            CHECK_EQ(U8(got[4]), c.video);
            CHECK_EQ(U8(got[5]), c.audio);
            CHECK_EQ(U8(got[6]), c.dimensions);
            CHECK_EQ(U8(got[8]), c.seconds);
        }
        // The AVI and MPEG clips name their bit rate; without a picture
        // there is none.
        for (int r = 0; r < 2; ++r) CHECK(forms::StrToIntDef(at::RowText(r, 7), 0) > 0);
        CHECK_EQ(U8(at::RowText(3, 7)), std::string("Unknown"));
    }
    CHECK_EQ(U8(at::RowText(0, 1)), U8(TheClips().folder.Windows()));
    // The same file may be added twice.
    CHECK(MainForm->AddTaskItem(TheClips().folder.WindowsPath("clip.avi")));
    CHECK_EQ(at::RowCount(), 5);
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, AddDirWithSubFoldersAddsEachClipOnceThroughLinkLoops) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("tree");
    at::ScratchFolder& f = w.Folder();
    f.MakeFolder("tree");
    f.MakeFolder("tree/sub1");
    f.MakeFolder("tree/sub1/sub2");
    PutClip(f, "clip.avi", "tree/a.avi");
    f.WriteFile("tree/readme.txt", "not a clip");
    PutClip(f, "clip.mpg", "tree/sub1/b.MPG");
    PutClip(f, "silent.wmv", "tree/sub1/sub2/c.wmv");
    // Loops back up the tree, and to the Unix root, which is drive Z:.
    f.Link("tree/sub1/loop", "..");
    f.Link("tree/sub1/sub2/again", "../..");
    f.Link("tree/sub1/sub2/root", "/");
    w.WriteOptions(kTreeOptions);

    // Every folder the search enters is named on its panel: the three of
    // the tree, none twice, none through a link (the root would be a walk
    // of the whole machine).
    std::vector<String> entered;
    forms::TLabel* label = MainForm->labSearchFolder;
    const forms::TWndMethod labelProc = label->WindowProc;
    label->WindowProc = [&](forms::TMessage& m) {
        if (m.Msg == forms::CM_TEXTCHANGED) entered.push_back(label->Caption());
        labelProc(m);
    };
    AddDirThroughTheBrowser(f.WindowsPath("tree"));
    label->WindowProc = labelProc;
    CHECK(entered == (std::vector<String>{f.WindowsPath("tree\\"), f.WindowsPath("tree\\sub1\\"),
                                          f.WindowsPath("tree\\sub1\\sub2\\")}));
    CHECK(SortedNames() == (std::vector<std::string>{"a.avi", "b.MPG", "c.wmv"}));
    CheckSearchEnded(__LINE__);

    // Without sub-folders only the folder's own clips come.
    MainForm->ltvList->Clear();
    w.WriteOptions(kFlatOptions);
    AddDirThroughTheBrowser(f.WindowsPath("tree"));
    CHECK(SortedNames() == (std::vector<std::string>{"a.avi"}));
    CheckSearchEnded(__LINE__);
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, TheSubFolderQueryAsksAndCanBeSilenced) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("query");
    at::ScratchFolder& f = w.Folder();
    f.MakeFolder("v");
    f.MakeFolder("v/s");
    PutClip(f, "clip.avi", "v/top.avi");
    PutClip(f, "clip.avi", "v/s/inner.avi");

    // "Yes" adds the sub-folders too.
    String asked;
    {
        at::Repeater answer([&] {
            if (!app::DialogForm->Showing()) return false;
            asked = app::DialogForm->labMessage->Caption();
            CHECK(!MainForm->Enabled());  // the owner waits
            ft::ClickButton(*app::DialogForm->btnYes);
            return true;
        });
        MainForm->AddFolder(f.WindowsPath("v"));
    }
    CHECK(asked == u"Do you want to add all files in sub-folders?");
    CHECK(app::DialogForm->Caption() == u"Query");
    CHECK(MainForm->Enabled());
    CHECK(SortedNames() == (std::vector<std::string>{"inner.avi", "top.avi"}));
    // Answering did not silence the question.
    CHECK(w.ReadOptions().find("ShowQuery=1") != std::string::npos);

    // "Never show this again" with "No": flat now, and ShowQuery=0 from
    // now on, so AlwaysYes (off) decides without asking.
    MainForm->ltvList->Clear();
    {
        at::Repeater answer([&] {
            if (!app::DialogForm->Showing()) return false;
            app::DialogForm->chkNeverShow->SetChecked(true);
            ft::ClickButton(*app::DialogForm->btnNo);
            return true;
        });
        MainForm->AddFolder(f.WindowsPath("v"));
    }
    CHECK(SortedNames() == (std::vector<std::string>{"top.avi"}));
    CHECK(w.ReadOptions().find("ShowQuery=0") != std::string::npos);
    MainForm->ltvList->Clear();
    bool askedAgain = false;
    {
        at::Repeater watch([&] {
            askedAgain |= app::DialogForm->Showing();
            return false;
        });
        MainForm->AddFolder(f.WindowsPath("v"));
    }
    CHECK(!askedAgain);
    CHECK(SortedNames() == (std::vector<std::string>{"top.avi"}));
    CHECK(w.Errors().empty());
}

namespace {

// Twelve sub-folders with one clip each: a search long enough to stop.
constexpr int kManyFolders = 12;
void MakeManyFolders(ProgramWindows& w) {
    at::ScratchFolder& f = w.Folder();
    f.MakeFolder("many");
    for (int i = 0; i < kManyFolders; ++i) {
        const std::string sub = "many/s" + std::to_string(i);
        f.MakeFolder(sub);
        PutClip(f, "clip.avi", sub + "/clip" + std::to_string(i) + ".avi");
    }
    w.WriteOptions(kTreeOptions);
}

}  // namespace

WT_TEST(MainWindow, CancelStopsASearchAndKeepsItsRows) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("cancel");
    MakeManyFolders(w);
    bool panelShown = false;
    bool panelOnTop = false;
    bool shot = false;
    at::Repeater cancel([&] {
        panelShown |= MainForm->panSearching->Showing();
        if (panelShown && !shot) {
            shot = true;
            // Seen above the group boxes it covers, not under them.
            const forms::TControl* p = MainForm->panSearching;
            const POINT centre{p->Left() + p->Width() / 2, p->Top() + p->Height() / 2};
            panelOnTop = ChildWindowFromPointEx(MainForm->Handle(), centre, CWP_SKIPINVISIBLE) ==
                         MainForm->panSearching->Handle();
            SetWindowPos(MainForm->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            RedrawWindow(MainForm->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            RECT r{};
            GetWindowRect(MainForm->Handle(), &r);
            const std::string path = ft::ScreenshotPath("main-window-searching.png");
            if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
        }
        if (at::RowCount() < 1) return false;
        ft::ClickButton(*MainForm->btnCancel);
        return true;
    });
    AddDirThroughTheBrowser(w.Folder().WindowsPath("many"));
    CHECK(panelShown);
    CHECK(panelOnTop);
    const int rows = at::RowCount();
    CHECK(rows >= 1);
    CHECK(rows < kManyFolders);
    CheckSearchEnded(__LINE__);
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, ClosingTheWindowEndsASearch) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("closing");
    MakeManyFolders(w);
    at::Repeater close([&] {
        if (at::RowCount() < 1) return false;
        MainForm->Close();
        return true;
    });
    MainForm->AddFolder(w.Folder().WindowsPath("many"));
    CHECK(forms::Application->Terminated());
    CHECK(at::RowCount() < kManyFolders);
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, RemoveDeletesTheFirstSelectedRowAndClearAsksFirst) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("remove");
    for (const char* name : {"clip.avi", "clip.mpg", "silent.wmv"})
        CHECK(MainForm->AddTaskItem(TheClips().folder.WindowsPath(name)));
    REQUIRE(at::RowCount() == 3);

    at::SelectRow(2);
    at::SelectRow(1, false);
    at::ClickToolButton(MainForm->tbtnRemove);
    CHECK(SortedNames() == (std::vector<std::string>{"clip.avi", "silent.wmv"}));
    // Nothing selected: nothing removed.
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(MainForm->ltvList->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    at::ClickToolButton(MainForm->tbtnRemove);
    CHECK_EQ(at::RowCount(), 2);

    ft::MessageBoxAnswerer answers({IDNO, IDYES});
    at::ClickToolButton(MainForm->tbtnClear);
    CHECK_EQ(at::RowCount(), 2);
    // The menu item runs the same command.
    MainForm->mnuClear->Click();
    CHECK_EQ(at::RowCount(), 0);
    at::ClickToolButton(MainForm->tbtnClear);  // an empty list asks nothing
    REQUIRE(answers.Texts().size() == 2);
    CHECK(answers.Texts()[0] == u"Are you sure to clear Task List?");
    CHECK(answers.Captions()[0] == u"Query");
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, FilesThatAreNoClipsGetRowsWithoutFacts) {
    ProgramWindows w("unreadable");
    at::ScratchFolder& f = w.Folder();
    f.WriteFile("text.avi", "This is a letter, not a film.\r\n");
    f.WriteFile("empty.mpg", "");
    f.WriteFile("locked.wmv", std::string(4096, 'x'));
    chmod(f.UnixPath("locked.wmv").c_str(), 0);
    // 3 GiB that take no room: sizes beyond 2 GiB.
    {
        const int fd = open(f.UnixPath("big.avi").c_str(), O_CREAT | O_WRONLY, 0644);
        CHECK(fd >= 0 && ftruncate(fd, 3LL << 30) == 0);
        if (fd >= 0) close(fd);
    }
    f.MakeFolder("folder.avi");

    for (const char* name : {"text.avi", "empty.mpg", "locked.wmv", "big.avi"})
        CHECK(MainForm->AddTaskItem(f.WindowsPath(name)));
    CHECK(!MainForm->AddTaskItem(f.WindowsPath("missing.avi")));
    CHECK(!MainForm->AddTaskItem(f.WindowsPath("folder.avi")));
    REQUIRE(at::RowCount() == 4);
    const std::vector<String> zero = {u"0.00", u"00:00:00", u"No", u"No", u"0 x 0", u"Unknown", u"0"};
    for (int r = 0; r < 4; ++r) {
        const std::vector<String> row = at::Row(r);
        CHECK(row[1] == f.Windows());
        CHECK(std::vector<String>(row.begin() + 2, row.end()) == zero);
    }

    // Through the open dialog and through a folder search as well.
    MainForm->ltvList->Clear();
    {
        ft::FileDialogFiller filler(f.WindowsPath("text.avi"));
        at::ClickToolButton(MainForm->tbtnAddFile);
    }
    CHECK_EQ(at::RowCount(), 1);
    w.WriteOptions(kTreeOptions);
    MainForm->ltvList->Clear();
    MainForm->AddFolder(f.Windows());
    CHECK(SortedNames() == (std::vector<std::string>{"big.avi", "empty.mpg", "locked.wmv", "text.avi"}));
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, PreviewReportsAFileThePlayerCannotOpen) {
    ProgramWindows w("preview");
    at::ScratchFolder& f = w.Folder();
    f.WriteFile("text.avi", "This is a letter, not a film.\r\n");
    REQUIRE(MainForm->AddTaskItem(f.WindowsPath("text.avi")));
    ft::MessageBoxAnswerer answers;
    // Nothing selected: nothing to play.
    MainForm->popPreview->Click();
    CHECK(answers.Texts().empty());

    at::SelectRow(0);
    const HWND list = MainForm->ltvList->Handle();
    RECT r{LVIR_BOUNDS};
    SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(list, WM_LBUTTONUP, 0, at);
    ft::PumpUntil([&] { return !answers.Texts().empty(); }, 10000);
    REQUIRE(answers.Texts().size() == 1);
    CHECK(answers.Texts()[0] == u"Open " + f.WindowsPath("text.avi") + u" failed. Please check it out.");
    CHECK(answers.Captions()[0] == u"Information");
    CHECK(w.Errors().empty());
}

namespace {

// The top-level window the media player opened for a file (it carries the
// file's path as its caption).
struct FindPlayer {
    String file;
    HWND found = nullptr;
};

BOOL CALLBACK FindPlayerWindow(HWND w, LPARAM p) {
    auto* f = reinterpret_cast<FindPlayer*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    WCHAR text[MAX_PATH] = {};
    GetWindowTextW(w, text, MAX_PATH);
    if (pid == GetCurrentProcessId() && IsWindowVisible(w) &&
        forms::SameText(forms::ExtractFileName(com::U16(text)), forms::ExtractFileName(f->file))) {
        f->found = w;
        return FALSE;
    }
    return TRUE;
}

HWND PlayerWindow(const String& file) {
    FindPlayer find{file, nullptr};
    EnumWindows(FindPlayerWindow, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

// What the screen shows inside a window: a checksum and how many colours.
struct Picture {
    unsigned sum = 0;
    int colours = 0;
};
Picture ScreenOf(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    Picture p;
    if (w <= 0 || h <= 0) return p;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HDC screen = GetDC(nullptr);
    const HDC mem = CreateCompatibleDC(screen);
    const HBITMAP bmp = CreateDIBSection(mem, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    std::vector<unsigned> seen;
    const auto* px = static_cast<const unsigned*>(bits);
    for (int i = 0; i < w * h; ++i) {
        const unsigned c = px[i] & 0xFFFFFF;
        p.sum = p.sum * 31 + c;
        if (seen.size() < 64 && std::find(seen.begin(), seen.end(), c) == seen.end()) seen.push_back(c);
    }
    p.colours = static_cast<int>(seen.size());
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return p;
}

}  // namespace

WT_TEST(MainWindow, PreviewPlaysAviMpegAndWmvWithMovingPictures) {
    ProgramWindows w("playback");
    at::ScratchFolder& f = w.Folder();
    ft::MessageBoxAnswerer answers;
    int row = 0;
    for (const char* name : {"play.avi", "play.mpg", "play.wmv"}) {
        // Files made by the ffmpeg command line: MPEG-4 with MP3, MPEG-1 with
        // MPEG audio, Windows Media video with its audio.
        f.WriteFile(name, at::ReadUnixFile(std::string(REAL_CLIP_DIR) + "/" + name));
        REQUIRE(MainForm->AddTaskItem(f.WindowsPath(name)));
        at::SelectRow(row++);
        MainForm->popPreview->Click();
        const String file = f.WindowsPath(name);
        const bool playing = ft::PumpUntil([] { return MainForm->MediaPlayer1->Mode() == forms::TMPModes::mpPlaying; }, 10000);
        HWND window = nullptr;
        ft::PumpUntil([&] { return (window = PlayerWindow(file)) != nullptr; }, 5000);
        // Frames are drawn: a picture of many colours, and a later one differs.
        Picture first, later;
        ft::PumpUntil([&] { return window && (first = ScreenOf(window)).colours > 16; }, 5000);
        ft::PumpUntil([&] { return window && (later = ScreenOf(window)).sum != first.sum; }, 3000);
        if (!playing || !window || first.colours <= 16 || later.sum == first.sum)
            wt::ReportFailure(__FILE__, __LINE__,
                              std::string(name) + ": playing " + (playing ? "yes" : "no") + ", window " +
                                  (window ? "yes" : "no") + ", colours " + std::to_string(first.colours) +
                                  (later.sum == first.sum ? ", the picture stands still" : ""));
        if (window && std::string(name) == "play.avi") {
            const std::string path = ft::ScreenshotPath("preview-playback.png");
            RECT r{};
            GetWindowRect(window, &r);
            if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
        }
    }
    CHECK(answers.Texts().empty());
    // Closing the main window stops the player.
    MainForm->MediaPlayer1->Stop();
    CHECK(MainForm->MediaPlayer1->Mode() != forms::TMPModes::mpPlaying);
    MainForm->MediaPlayer1->Close();
    CHECK(w.Errors().empty());
}

namespace {

struct ProcessWindow {
    DWORD pid;
    HWND window = nullptr;
};

BOOL CALLBACK FindProcessWindow(HWND w, LPARAM p) {
    auto* f = reinterpret_cast<ProcessWindow*>(p);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    if (pid == f->pid && IsWindowVisible(w)) f->window = w;
    return f->window == nullptr;
}

HWND ViewerWindow(HANDLE process) {
    ProcessWindow find{GetProcessId(process)};
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&find));
    return find.window;
}

bool ViewerShowsAWindow(HANDLE process) { return ViewerWindow(process) != nullptr; }

void ShootViewer(HANDLE process, const char* name) {
    struct {
        HWND window;
    } find{ViewerWindow(process)};
    if (!find.window) return;
    ft::Pump(800);  // the topic is drawn
    RECT r{};
    GetWindowRect(find.window, &r);
    const std::string path = ft::ScreenshotPath(name);
    if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
}

}  // namespace

WT_TEST(MainWindow, HelpOpensTheHelpFileAtItsTopicsOrSaysWhyNot) {
    ProgramWindows w("help");
    const String helpFile = forms::Application->HelpFile();
    {
        // Without the file: a message, and no viewer.
        forms::Application->SetHelpFile(w.Folder().WindowsPath("none.hlp"));
        ft::MessageBoxAnswerer answers;
        at::ClickToolButton(MainForm->tbtnHelp);
        REQUIRE(answers.Texts().size() == 1);
        CHECK(answers.Texts()[0] == u"The help file " + w.Folder().WindowsPath("none.hlp") + u" cannot be found.");
        CHECK(forms::Application->HelpViewer() == nullptr);
        forms::Application->SetHelpFile(helpFile);
    }
    ft::MessageBoxAnswerer answers;
    at::ClickToolButton(MainForm->tbtnHelp);
    HANDLE first = forms::Application->HelpViewer();
    REQUIRE(first != nullptr);
    CHECK(WaitForSingleObject(first, 0) == WAIT_TIMEOUT);
    CHECK(ViewerShowsAWindow(first));
    ShootViewer(first, "help-welcome.png");
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), first, GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);

    // The options window's "(Click here to know more)": one viewer at a time.
    CHECK(forms::Application->HelpJump(u"Querywhetheraddfilesinsub"));
    HANDLE second = forms::Application->HelpViewer();
    REQUIRE(second != nullptr);
    CHECK(ViewerShowsAWindow(second));
    ShootViewer(second, "help-subfolders.png");
    CHECK(WaitForSingleObject(copy, 5000) == WAIT_OBJECT_0);  // the first one ended
    CloseHandle(copy);
    CHECK(answers.Texts().empty());
    TerminateProcess(second, 0);
    CHECK(w.Errors().empty());
}

// Presses the left button at a point of a pane control, moves beyond the
// drag distance and on to the middle of the task list, and lets go there:
// the messages a user's drag sends, handled by the program's loop.
void DragToTaskList(forms::TWinControl& from, POINT start) {
    const HWND source = from.Handle();
    forms::TWinControl* target = MainForm->ltvList;
    POINT end = target->ClientToScreen(POINT{target->Width() / 2, target->Height() / 2});
    ScreenToClient(source, &end);
    PostMessageW(source, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(start.x, start.y));
    PostMessageW(source, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(start.x + 12, start.y + 12));
    PostMessageW(source, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(end.x, end.y));
    PostMessageW(source, WM_LBUTTONUP, 0, MAKELPARAM(end.x, end.y));
    ft::PumpUntil([&] {
        forms::Application->ProcessMessages();
        return !from.Dragging() && GetCapture() == nullptr;
    }, 5000);
    forms::Application->ProcessMessages();
}

POINT TreeNodePoint(shellbrowse::TDirTree& tree, const String& path) {
    for (forms::TTreeNode* n = tree.Items().GetFirstNode(); n; n = n->GetNext()) {
        if (!forms::SameText(tree.GetNodePath(n), path)) continue;
        RECT r{};
        const HTREEITEM item = n->ItemId();
        // A deep folder's node may lie below the tree's visible part.
        SendMessageW(tree.Handle(), TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(item));
        std::memcpy(&r, &item, sizeof item);
        SendMessageW(tree.Handle(), TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    wt::ReportFailure(__FILE__, __LINE__, "no node for " + U8(path));
    return POINT{-1, -1};
}

WT_TEST(MainWindow, DropsFromTheExplorerPane) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("drop");
    at::ScratchFolder& f = w.Folder();
    f.MakeFolder("shown");
    f.MakeFolder("shown/sub");
    PutClip(f, "clip.avi", "shown/a.avi");
    f.WriteFile("shown/zero.avi", "");
    // 3 GiB that take no room.
    {
        const int fd = open(f.UnixPath("shown/big.avi").c_str(), O_CREAT | O_WRONLY, 0644);
        CHECK(fd >= 0 && ftruncate(fd, 3LL << 30) == 0);
        if (fd >= 0) close(fd);
    }
    PutClip(f, "clip.avi", "shown/unselected.avi");
    PutClip(f, "clip.mpg", "shown/sub/inner.mpg");
    w.WriteOptions(std::string(kFlatOptions) + "QueryWindowsMediaRuntime=0\r\n");
    app::TMainForm* m = MainForm;
    // Other test programs share the display: above them while dragging.
    SetWindowPos(m->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ft::Pump(30);

    // Only the pane's tree and list are accepted.
    bool accept = true;
    m->ltvList->DragOver(m->DirList, 5, 5, forms::TDragState::dsDragEnter, accept);
    CHECK(accept);
    m->ltvList->DragOver(m->FileList, 5, 5, forms::TDragState::dsDragMove, accept);
    CHECK(accept);
    m->ltvList->DragOver(m->tlbMain, 5, 5, forms::TDragState::dsDragMove, accept);
    CHECK(!accept);

    // A folder dragged from the tree: its clips, with their facts.
    m->DirList->OpenPath(f.WindowsPath("shown"));
    DragToTaskList(*m->DirList, TreeNodePoint(*m->DirList, f.WindowsPath("shown\\sub")));
    REQUIRE(at::RowCount() == 1);
    CheckRow(0, ExpectedRow(f.WindowsPath("shown\\sub\\inner.mpg")), __LINE__);
    CHECK(m->DirList->SelectedPath() == f.WindowsPath("shown\\sub"));
    CHECK(m->FileList->Directory() == f.WindowsPath("shown\\sub\\"));

    // Files dragged from the list: the 0-byte and the 3 GiB file are files
    // too; the unselected one stays out.
    m->ltvList->Clear();
    m->FileList->SetDirectory(f.WindowsPath("shown"));
    auto item = [&](const String& caption) -> forms::TListItem* {
        for (int i = 0; i < m->FileList->Items().Count(); ++i)
            if (m->FileList->Items()[i]->Caption() == caption) return m->FileList->Items()[i];
        wt::ReportFailure(__FILE__, __LINE__, "no item " + U8(caption));
        throw wt::FatalFailure{};
    };
    auto itemPoint = [&](forms::TListItem* i) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(m->FileList->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(i->Index()), reinterpret_cast<LPARAM>(&r));
        return POINT{r.left + 6, (r.top + r.bottom) / 2};
    };
    m->FileList->SetSelected(item(u"a.avi"));
    item(u"zero.avi")->SetSelected(true);
    item(u"big.avi")->SetSelected(true);
    DragToTaskList(*m->FileList, itemPoint(item(u"a.avi")));
    CHECK(SortedNames() == (std::vector<std::string>{"a.avi", "big.avi", "zero.avi"}));
    for (int r = 0; r < at::RowCount(); ++r)
        if (at::RowText(r, 0) == u"a.avi") CheckRow(r, ExpectedRow(f.WindowsPath("shown\\a.avi")), __LINE__);

    // With extensions hidden, a file still goes in under its whole name;
    // a folder of the list goes in as a folder.
    m->ltvList->Clear();
    m->FileList->SetHideFileExt(true);
    m->FileList->Refresh();
    m->FileList->SetSelected(item(u"unselected"));
    DragToTaskList(*m->FileList, itemPoint(item(u"unselected")));
    m->FileList->SetSelected(item(u"sub"));
    DragToTaskList(*m->FileList, itemPoint(item(u"sub")));
    CHECK(SortedNames() == (std::vector<std::string>{"inner.mpg", "unselected.avi"}));
    m->FileList->SetHideFileExt(false);

    // From the drive list, each selected drive is added; a removable drive
    // without its medium is reported, and nothing of it is added.
    m->ltvList->Clear();
    f.MakeFolder("driveS");
    f.MakeFolder("driveT");
    PutClip(f, "clip.avi", "driveS/s.avi");
    PutClip(f, "clip.mpg", "driveT/t.mpg");
    {
        at::DriveLink s(u'S', f.UnixPath("driveS")), t(u'T', f.UnixPath("driveT"));
        at::DriveLink p(u'P', f.UnixPath("no-medium"), DRIVE_REMOVABLE);
        m->FileList->SetDirectory(u"Drives");
        auto drive = [&](char16_t letter) -> forms::TListItem* {
            for (int i = 0; i < m->FileList->Items().Count(); ++i)
                if (m->FileList->Items()[i]->SubItems()[shellbrowse::kSubPath] == String(1, letter) + u":\\")
                    return m->FileList->Items()[i];
            wt::ReportFailure(__FILE__, __LINE__, "no drive item");
            throw wt::FatalFailure{};
        };
        {
            ft::MessageBoxAnswerer answers;
            m->FileList->SetSelected(drive(u'P'));
            DragToTaskList(*m->FileList, itemPoint(drive(u'P')));
            REQUIRE(answers.Texts().size() == 1);
            CHECK(answers.Texts()[0] == u"This is not an available folder or drive.");
        }
        CHECK_EQ(at::RowCount(), 0);
        CheckSearchEnded(__LINE__);
        m->FileList->SetSelected(drive(u'S'));
        drive(u'T')->SetSelected(true);
        DragToTaskList(*m->FileList, itemPoint(drive(u'S')));
    }
    CHECK(SortedNames() == (std::vector<std::string>{"s.avi", "t.mpg"}));
    CHECK(at::RowText(0, 1) == u"S:\\" || at::RowText(0, 1) == u"T:\\");
    CheckSearchEnded(__LINE__);
    SetWindowPos(m->Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, AWindowsMediaTaskAfterADropOffersTheRuntimeOnlyWhenItIsMissing) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("runtime");
    at::ScratchFolder& f = w.Folder();
    f.MakeFolder("v");
    f.MakeFolder("system");
    PutClip(f, "silent.wmv", "v/film.wmv");
    w.WriteOptions(kFlatOptions);
    String asked;
    int questions = 0;
    auto drop = [&] {
        at::Repeater answer([&] {
            if (!app::DialogForm->Showing()) return false;
            ++questions;
            asked = app::DialogForm->labMessage->Caption();
            ft::ClickButton(*app::DialogForm->btnNo);
            return true;
        });
        MainForm->DirList->OpenPath(f.WindowsPath("v"));
        MainForm->ltvList->DragDrop(MainForm->DirList, 5, 5);
        ft::Pump(50);
    };
    // The media platform's registration installed the runtime's files.
    CHECK(GetFileAttributesW(com::W(MainForm->SystemFolder + u"\\wmvdmoe2.dll")) != INVALID_FILE_ATTRIBUTES);
    CHECK(GetFileAttributesW(com::W(MainForm->SystemFolder + u"\\wmidx.dll")) != INVALID_FILE_ATTRIBUTES);
    drop();
    CHECK_EQ(at::RowCount(), 1);
    CHECK_EQ(questions, 0);

    // A system folder without them: the question comes; with only one of
    // the two it still comes.
    const String system = MainForm->SystemFolder;
    MainForm->SystemFolder = f.WindowsPath("system");
    drop();
    CHECK_EQ(questions, 1);
    CHECK(asked.find(u"It is detected you do not have Windows Media Player 10") == 0);
    CHECK(app::DialogForm->QueryKey == u"WindowsMediaRuntime");
    f.WriteFile("system/wmidx.dll", "MZ");
    drop();
    CHECK_EQ(questions, 2);

    // Switched off: no question.
    w.WriteOptions(std::string(kFlatOptions) + "QueryWindowsMediaRuntime=0\r\n");
    drop();
    CHECK_EQ(questions, 2);
    CHECK_EQ(at::RowCount(), 4);
    MainForm->SystemFolder = system;
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, PanesFollowTheWindowAndTheSplitter) {
    ProgramWindows w("layout");
    app::TMainForm* m = MainForm;
    SetWindowPos(m->Handle(), nullptr, 0, 0, 900, 640, SWP_NOMOVE | SWP_NOZORDER);
    ft::Pump(30);
    auto check = [&](int line) {
        const bool ok = m->DirList->Width() == m->gpbExplorer->Width() - 22 &&
                        m->FileList->Width() == m->DirList->Width() &&
                        m->ltvList->Width() == m->gpbTask->Width() - 17 &&
                        m->ltvList->Height() == m->gpbTask->Height() - 31 &&
                        m->FileList->Top() == m->DirList->Top() + m->DirList->Height() + 9 &&
                        m->FileList->Height() == m->gpbExplorer->Height() - m->DirList->Height() - 37;
        if (!ok) wt::ReportFailure(__FILE__, line, "the panes do not follow the group boxes");
    };
    check(__LINE__);
    const int explorerWidth = m->gpbExplorer->Width();
    // Dragged by the mouse, as a person moves it.
    const HWND form = m->Handle();
    const int x = m->splMain->Left() + 2, y = m->splMain->Top() + 20;
    SendMessageW(form, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(form, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + 40, y));
    SendMessageW(form, WM_LBUTTONUP, 0, MAKELPARAM(x + 40, y));
    ft::Pump(30);
    CHECK_EQ(m->gpbExplorer->Width(), explorerWidth + 40);
    check(__LINE__);
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, ConvertNeedsTasksAndTakesTheMainWindowsPlace) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("convert");
    {
        ft::MessageBoxAnswerer answers;
        at::ClickToolButton(MainForm->tbtnConvert);
        REQUIRE(answers.Texts().size() == 1);
        CHECK(answers.Texts()[0] == u"Please add files or directories to Task List");
        CHECK(answers.Captions()[0] == u"Information");
    }
    CHECK(!app::ConvertForm->Showing());
    REQUIRE(MainForm->AddTaskItem(TheClips().folder.WindowsPath("clip.avi")));
    at::ClickToolButton(MainForm->tbtnConvert);
    CHECK(app::ConvertForm->Showing());
    CHECK(!MainForm->Showing());
    app::ConvertForm->Close();
    CHECK(MainForm->Showing());
    CHECK(w.Errors().empty());
}

WT_TEST(MainWindow, TheExplorerStartFolderComesBackOnClose) {
    ProgramWindows w("startdir");
    at::ScratchFolder& f = w.Folder();
    f.MakeFolder("start");
    w.WriteOptions("[General]\r\nInitialDir=" + U8(f.WindowsPath("start")) + "\r\n");
    app::OptionForm->LoadOptions();
    // The tree opens it, the list shows it.
    CHECK(MainForm->DirList->SelectedPath() == f.WindowsPath("start\\"));
    CHECK(MainForm->DirList->GetNodePath(MainForm->DirList->Selected()) == f.WindowsPath("start"));
    CHECK(MainForm->FileList->Directory() == f.WindowsPath("start\\"));
    // The folder the user went to last is stored on close.
    SetFocus(MainForm->FileList->Handle());
    PostMessageW(MainForm->FileList->Handle(), WM_KEYDOWN, VK_BACK, 1);
    ft::PumpUntil([] {
        forms::Application->ProcessMessages();
        return MainForm->FileList->Directory() == MainForm->DirList->SelectedPath() &&
               MainForm->FileList->Directory().find(u"start") == String::npos;
    }, 2000);
    CHECK(MainForm->DirList->SelectedPath() == f.Windows() + u"\\");
    MainForm->Close();
    CHECK(w.ReadOptions().find("InitialDir=" + U8(f.Windows()) + "\\\r\n") != std::string::npos);
    ft::Pump(20);  // the quit message the close posted
    CHECK(w.Errors().empty());
}

namespace {

// What the screen shows inside a task-list row: its most frequent colour
// and how many colours it holds.
struct RowPixels {
    COLORREF common = CLR_INVALID;
    size_t colours = 0;
};

RowPixels PixelsOfRow(int row) {
    RECT r{LVIR_BOUNDS, 0, 0, 0};
    if (!SendMessageW(MainForm->ltvList->Handle(), LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r))) return {};
    MapWindowPoints(MainForm->ltvList->Handle(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    const int w = r.right - r.left, h = r.bottom - r.top;
    com::WindowDc screen(nullptr);
    com::MemoryDc memory(screen.Get());
    com::GdiBitmap bitmap(CreateCompatibleBitmap(screen.Get(), w, h));
    std::map<COLORREF, size_t> seen;
    {
        com::SelectedObject selected(memory.Get(), bitmap.Get());
        BitBlt(memory.Get(), 0, 0, w, h, screen.Get(), r.left, r.top, SRCCOPY);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) ++seen[GetPixel(memory.Get(), x, y)];
    }
    RowPixels out;
    out.colours = seen.size();
    size_t most = 0;
    for (const auto& [colour, n] : seen)
        if (n > most) most = n, out.common = colour;
    return out;
}

}  // namespace

WT_TEST(MainWindow, ScreenshotWithRows) {
    REQUIRE(TheClips().ok);
    ProgramWindows w("screenshot");
    for (const char* name : {"clip.avi", "clip.mpg", "silent.wmv", "tone.avi"})
        MainForm->AddTaskItem(TheClips().folder.WindowsPath(name));
    at::SelectRow(1);
    // The pane browses the clips' folder, as the saved start folder opens.
    at::ScratchFolder& f = w.Folder();
    f.MakeFolder("Films");
    f.MakeFolder("Films/Holiday");
    f.MakeFolder("Films/Work");
    for (const char* name : {"clip.avi", "clip.mpg", "silent.wmv"}) PutClip(f, name, std::string("Films/") + name);
    f.WriteFile("Films/notes.txt", "to convert");
    w.WriteOptions("[General]\r\nInitialDir=" + U8(f.WindowsPath("Films")) + "\r\n");
    app::OptionForm->LoadOptions();
    CHECK(MainForm->FileList->Items().Count() == 7);
    MainForm->Show();
    // Other test programs share the display: above them for the picture.
    SetWindowPos(MainForm->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    SetFocus(MainForm->ltvList->Handle());
    ft::Pump(300);
    RECT r{};
    GetWindowRect(MainForm->Handle(), &r);
    const std::string shot = ft::ScreenshotPath("main-window-rows.png");
    if (ft::TakeScreenshot(shot, r)) std::printf("screenshot: %s\n", shot.c_str());
    else std::printf("NOTE: no screenshot (ImageMagick's import is missing)\n");
    // On the screen every row shows its text, and the selected row stands
    // out from the others.
    REQUIRE(at::RowCount() == 4);
    const RowPixels selected = PixelsOfRow(1);
    for (int row : {0, 2, 3}) {
        const RowPixels other = PixelsOfRow(row);
        CHECK(other.colours > 1);
        CHECK(other.common != selected.common);
    }
    CHECK(selected.colours > 1);
}
