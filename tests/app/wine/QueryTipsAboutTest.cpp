// The query dialog's "Never show this again" and its title-bar close, the
// tips window with Tips.ini (the shipped one too), and the about box, each
// driven by messages and looked at in a screenshot.
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "app/EverydayTips.h"
#include "app/QueryRules.h"
#include "app/Main.h"
#include "app/QueryDialog.h"
#include "app/about.h"
#include "app/option.h"
#include "framework/com/WinText.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using app::DialogForm;
using app::MainForm;
using app::TipForm;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

#define CHECK_TEXT(a, b) CHECK_EQ((a), std::string(b))

void Shot(forms::TCustomForm* form, const std::string& name) {
    RECT r{};
    GetWindowRect(form->Handle(), &r);
    const std::string path = ft::ScreenshotPath(name);
    if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
}

std::vector<std::string> SortedNames() {
    std::vector<std::string> names;
    for (const String& n : at::FileNames()) names.push_back(U8(n));
    std::sort(names.begin(), names.end());
    return names;
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

WT_TEST(Query, NeverShowWithYesKeepsAddingSubFolders) {
    at::ProgramWindows w("query-yes");
    at::ScratchFolder& f = w.Folder();
    f.MakeFolder("v");
    f.MakeFolder("v/s");
    clipgen::ClipSpec clip;
    clip.seconds = 0.5;
    REQUIRE(at::MakeClip(f.UnixPath("v/top.avi"), clip));
    REQUIRE(at::MakeClip(f.UnixPath("v/s/inner.avi"), clip));
    bool answering = false;
    {
        // The screenshot pumps messages: the hand must not come back meanwhile.
        at::Repeater answer([&] {
            if (answering || !DialogForm->Showing()) return false;
            answering = true;
            // A tick from an earlier question does not carry over.
            CHECK(!DialogForm->chkNeverShow->Checked());
            Shot(DialogForm, "query-dialog.png");
            DialogForm->chkNeverShow->SetChecked(true);
            ft::ClickButton(*DialogForm->btnYes);
            return true;
        });
        MainForm->AddFolder(f.WindowsPath("v"));
    }
    CHECK(SortedNames() == (std::vector<std::string>{"inner.avi", "top.avi"}));
    const std::string options = w.ReadOptions();
    CHECK(Has(options, "ShowQuery=0"));
    CHECK(Has(options, "AlwaysYes=1"));

    // Not asked again, and the answer given still holds: deep.
    MainForm->ltvList->Clear();
    bool askedAgain = false;
    {
        at::Repeater watch([&] {
            askedAgain |= DialogForm->Showing();
            return false;
        });
        MainForm->AddFolder(f.WindowsPath("v"));
    }
    CHECK(!askedAgain);
    CHECK(SortedNames() == (std::vector<std::string>{"inner.avi", "top.avi"}));
    CHECK(w.Errors().empty());
}

WT_TEST(Query, TheTitleBarClosesWithNoAndWritesNothing) {
    at::ProgramWindows w("query-close");
    w.WriteOptions("[Advanced]\r\nShowQuery=1\r\n");
    const std::string written = w.ReadOptions();
    String answer;
    {
        at::Repeater close([&] {
            if (!DialogForm->Showing()) return false;
            DialogForm->chkNeverShow->SetChecked(true);
            SendMessageW(DialogForm->Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
            return true;
        });
        answer = MainForm->AskQuery(MainForm, u"Do you want to add all files in sub-folders?", u"AddAllFile", u"Query");
    }
    CHECK_TEXT(U8(answer), "No");
    CHECK(!DialogForm->Showing());
    CHECK(MainForm->Enabled());
    CHECK_TEXT(w.ReadOptions(), written);

    // The runtime question writes its own key only.
    {
        at::Repeater no([&] {
            if (!DialogForm->Showing()) return false;
            DialogForm->chkNeverShow->SetChecked(true);
            ft::ClickButton(*DialogForm->btnNo);
            return true;
        });
        answer = MainForm->AskQuery(MainForm, u"Download?", u"WindowsMediaRuntime", u"Query");
    }
    CHECK_TEXT(U8(answer), "No");
    const std::string options = w.ReadOptions();
    CHECK(Has(options, "QueryWindowsMediaRuntime=0"));
    CHECK(Has(options, "ShowQuery=1"));
    CHECK(!Has(options, "AlwaysYes"));
    CHECK(w.Errors().empty());
}

WT_TEST(Tips, OneOfTheTipsAndTheNeverShowChoice) {
    at::ProgramWindows w("tips");
    // Without Tips.ini the window keeps its own texts.
    const String designedTitle = TipForm->labTitle->Caption();
    const String designedContent = TipForm->memContent->GetText();
    TipForm->Show();
    ft::Pump(20);
    CHECK(TipForm->labTitle->Caption() == designedTitle);
    CHECK(TipForm->memContent->GetText() == designedContent);
    TipForm->Hide();

    w.Folder().WriteFile("Tips.ini",
                         "[Count]\r\nValue=3\r\n[1]\r\nTitle=One\r\nContent=First\r\n[2]\r\nTitle=Two\r\n"
                         "Content=Second\r\n[3]\r\nTitle=Three\r\n");
    std::set<std::string> seen;
    for (int i = 0; i < 40 && seen.size() < 3; ++i) {
        TipForm->Show();
        seen.insert(U8(TipForm->labTitle->Caption()));
        TipForm->Hide();
        Sleep(1);
    }
    CHECK(seen == (std::set<std::string>{"One", "Two", "Three"}));
    TipForm->ShowTip(3);
    CHECK_TEXT(U8(TipForm->memContent->GetText()), "No content available.");
    TipForm->ShowTip(7);
    CHECK_TEXT(U8(TipForm->labTitle->Caption()), "No title available.");

    // "Never show" turns the option off at once, and in Option.ini on close.
    CHECK(app::OptionForm->chkEverydayTips->Checked());
    TipForm->Show();
    ft::ClickButton(*TipForm->chkNeverShow);
    CHECK(TipForm->chkNeverShow->Checked());
    CHECK(!app::OptionForm->chkEverydayTips->Checked());
    ft::ClickButton(*TipForm->btnOK);
    CHECK(!TipForm->Showing());
    CHECK(Has(w.ReadOptions(), "EverydayTips=0"));
    CHECK(w.Errors().empty());
}

// A tip of a megabyte hung the start-up at full CPU (the edit control's
// time grows with the square of its text); a Tips.ini saved as UTF-16 was
// read as empty.
WT_TEST(Tips, AHugeTipShowsAtOnceAndUnicodeFilesAreRead) {
    at::ProgramWindows w("tips-huge");
    w.Folder().WriteFile("Tips.ini", "[Count]\r\nValue=1\r\n[1]\r\nTitle=Long\r\nContent=" +
                                         std::string(1 << 20, 'x') + "\r\n");
    const DWORD before = GetTickCount();
    TipForm->Show();
    ft::Pump(20);
    CHECK(GetTickCount() - before < 3000);
    CHECK_EQ(TipForm->memContent->GetText().size(), app::kMaxTipText);
    Shot(TipForm, "tips-window-long-tip.png");
    TipForm->Hide();

    std::string unicode = "\xFF\xFE";
    for (char c : std::string("[Count]\r\nValue=1\r\n[1]\r\nTitle=Wide\r\nContent=Saved as UTF-16\r\n")) {
        unicode += c;
        unicode += '\0';
    }
    w.Folder().WriteFile("Tips.ini", unicode);
    TipForm->Show();
    ft::Pump(20);
    CHECK_TEXT(U8(TipForm->labTitle->Caption()), "Wide");
    CHECK_TEXT(U8(TipForm->memContent->GetText()), "Saved as UTF-16");
    TipForm->Close();
    CHECK(w.Errors().empty());
}

WT_TEST(Tips, TheShippedTipsLieBesideTheProgram) {
    WCHAR exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const String shipped = forms::ExtractFilePath(com::U16(exe)) + u"Tips.ini";
    at::ProgramWindows w("tips-shipped");
    std::string unixPath = wt::Utf8(shipped).substr(2);  // drive Z: is the Unix root
    for (char& c : unixPath)
        if (c == '\\') c = '/';
    w.Folder().WriteFile("Tips.ini", at::ReadUnixFile(unixPath));
    REQUIRE(at::ReadUnixFile(w.Folder().UnixPath("Tips.ini")).size() > 100);
    TipForm->Show();
    ft::Pump(50);
    CHECK(TipForm->labTitle->Caption() != u"No title available.");
    CHECK(TipForm->memContent->GetText() != u"No content available.");
    TipForm->ShowTip(5);
    ft::Pump(50);
    Shot(TipForm, "tips-window.png");
    TipForm->Close();
    CHECK(w.Errors().empty());
}

WT_TEST(About, VersionAndOk) {
    at::ProgramWindows w("about");
    CHECK_TEXT(U8(app::AboutForm->labVersion->Caption()), "Version 1.8");
    CHECK(Has(U8(app::AboutForm->labNotice->Caption()), "Corvane Video Labs"));
    bool focused = false, answering = false;
    at::Repeater ok([&] {
        if (answering || !app::AboutForm->Showing()) return false;
        answering = true;
        // Other tests' windows share the display and may take the
        // foreground; the box is brought back there until it holds it.
        for (int i = 0; i < 40 && !focused; ++i) {
            const HWND box = app::AboutForm->Handle();
            if (GetForegroundWindow() != box) SetForegroundWindow(box);
            ft::Pump(50);
            focused = app::AboutForm->btnOK->Focused();
        }
        Shot(app::AboutForm, "about-box.png");
        ft::ClickButton(*app::AboutForm->btnOK);
        return true;
    });
    CHECK_EQ(app::AboutForm->ShowModal(), forms::mrOk);
    CHECK(focused);
    CHECK(w.Errors().empty());
}
