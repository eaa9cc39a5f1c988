// The program's windows drawn from skins: the main window with the built-in
// skin and with each shipped skin, active and inactive (screenshots for the
// eye), the options window's skin choice reaching the main window's skin
// component and every window, a message box in the skin, "None" giving
// Wine's own drawing back, and the progress window skinned during a batch.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "app/Convert.h"
#include "app/EverydayTips.h"
#include "app/QueryDialog.h"
#include "app/about.h"
#include "app/Main.h"
#include "app/Progress.h"
#include "app/option.h"
#include "framework/com/WinText.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"
#include "skin/SkinManager.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/common/FfmpegClip.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using app::MainForm;
using app::OptionForm;
using at::ProgramWindows;
using forms::String;

namespace {

skin::TSkinManage& Manager() { return *skin::SkinManage(); }

skin::TSkinForm* SkinnerOf(HWND wnd) { return skin::SkinManage() ? Manager().FindFormSkinner(wnd) : nullptr; }

bool Skinned(HWND wnd) {
    skin::TSkinForm* s = SkinnerOf(wnd);
    return s && s->SkinState == 1;
}

void CopySkins(ProgramWindows& w) {
    const String shipped = forms::ExtractFilePath(forms::Application->ExeName()) + u"Skins\\";
    w.Folder().MakeFolder("Skins");
    for (const char* name : {"slate", "meadow"})
        CopyFileW(com::W(shipped + forms::Utf8ToText(name) + u".skn"),
                  com::W(w.Folder().WindowsPath(std::string("Skins/") + name + ".skn")), FALSE);
}

void Pick(const String& name) {
    forms::TStrings& items = OptionForm->ltbSkin->Items();
    for (int i = 0; i < items.Count(); ++i)
        if (items[i] == name) {
            OptionForm->ltbSkin->SetItemIndex(i);
            OptionForm->ltbSkin->Click();
            return;
        }
    REQUIRE(!"the skin is listed");
}

// Waits for the manager's next job to have run.
bool JobRan(int before) {
    return ft::PumpUntil([&] { return Manager().JobsRun() > before && !Manager().JobTimerEnabled(); }, 3000);
}

void Shoot(const RECT& r, const std::string& name) {
    const std::string shot = ft::ScreenshotPath(name);
    if (ft::TakeScreenshot(shot, r)) std::printf("screenshot: %s\n", shot.c_str());
    else std::printf("NOTE: no screenshot (ImageMagick's import is missing)\n");
}

void Shoot(HWND wnd, const std::string& name) {
    RECT r{};
    GetWindowRect(wnd, &r);
    Shoot(r, name);
}

// Screenshots the menu that is open, then closes it.
std::string g_menuShot;
RECT g_menuArea{};
bool g_menuSeen = false;

int g_menuTicks = 0;

// The menu loop runs between the ticks (it selects and paints); the shot
// is taken four ticks after the menu showed.
void CALLBACK ShootMenu(HWND, UINT, UINT_PTR id, DWORD) {
    const HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup || !IsWindowVisible(popup)) return;
    if (g_menuTicks++ == 0) g_menuSeen = SendMessageW(popup, skin::WM_SKIN_ASK, 0, 0) == 1;
    if (g_menuTicks < 5) return;
    KillTimer(nullptr, id);
    Shoot(g_menuArea, g_menuShot);
    EndMenu();
}

void ShootMenuWhileOpen(const std::string& name, const RECT& area, const std::function<void()>& open) {
    g_menuShot = name;
    g_menuArea = area;
    g_menuSeen = false;
    g_menuTicks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &ShootMenu);
    open();
    KillTimer(nullptr, timer);
    CHECK(g_menuSeen);
}

void Place(forms::TCustomForm* form, int x, int y) {
    SetWindowPos(form->Handle(), HWND_TOPMOST, x, y, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
}

}  // namespace

WT_TEST(SkinnedWindows, TheMainWindowWearsEachSkinActiveAndInactive) {
    ProgramWindows w("skinned-look", "");
    CopySkins(w);
    const HWND main = MainForm->Handle();
    REQUIRE(ft::PumpUntil([&] { return Skinned(main); }, 3000));
    skin::TSkinData* d = MainForm->SkinData1;
    CHECK(d->Elements().SkinName == "Corvane Blue");
    // The program's icon is every window's, and the title bar shows it.
    REQUIRE(!forms::Application->Icon().Empty());
    CHECK(reinterpret_cast<HICON>(SendMessageW(main, WM_GETICON, ICON_BIG, 0)) == forms::Application->Icon().Handle());
    CHECK(SendMessageW(main, WM_GETICON, ICON_SMALL, 0) != 0);
    Place(MainForm, 0, 0);
    ft::Pump(300);
    Shoot(main, "skin-main-builtin-active.png");
    // The menu bar's File menu and the task list's context menu, open.
    RECT frame{};
    GetWindowRect(main, &frame);
    skin::TSkinForm* s = SkinnerOf(main);
    ShootMenuWhileOpen("skin-menu-file-builtin.png", RECT{0, 0, 360, 260}, [&] {
        SendMessageW(main, WM_NCLBUTTONDOWN, HTMENU,
                     MAKELPARAM(frame.left + s->BorderLeft + 12, frame.top + s->BorderTop + s->MenuBarHeight / 2));
    });
    ft::Pump(100);
    ShootMenuWhileOpen("skin-menu-popup-builtin.png", RECT{300, 150, 600, 350},
                       [&] { MainForm->popTask->Popup(340, 180); });
    ft::Pump(100);
    // The skinned system menu, from the title bar's icon.
    ShootMenuWhileOpen("skin-menu-system-builtin.png", RECT{0, 0, 360, 260},
                       [&] { s->ShowSystemMenu(POINT{frame.left + 8, frame.top + 24}); });

    // Inactive: the tips window (skinned as it comes up) has the focus.
    app::TipForm->Show();
    Place(app::TipForm, 860, 420);
    REQUIRE(ft::PumpUntil([&] { return Skinned(app::TipForm->Handle()); }, 3000));
    ft::Pump(300);
    CHECK(!SkinnerOf(main)->Active);
    Shoot(main, "skin-main-builtin-inactive.png");
    Shoot(RECT{0, 0, 1280, 700}, "skin-windows-builtin.png");
    app::TipForm->Hide();

    // Each shipped skin, chosen on the options window's Skins page.
    for (const char* name : {"slate", "meadow"}) {
        OptionForm->Show();
        Place(OptionForm, 790, 260);
        ft::Pump(100);
        OptionForm->pgcOptions->SetActivePage(OptionForm->tabSkins);
        const int jobs = Manager().JobsRun();
        Pick(forms::Utf8ToText(name));
        REQUIRE(JobRan(jobs));
        CHECK(d->SkinFile() == app::TOptionForm::SkinPath(forms::Utf8ToText(name)));
        CHECK(Skinned(main));
        CHECK(Skinned(OptionForm->Handle()));
        ft::Pump(300);
        Shoot(main, std::string("skin-main-") + name + "-inactive.png");
        Shoot(RECT{0, 0, 1280, 780}, std::string("skin-windows-") + name + ".png");
        ft::ClickButton(*OptionForm->btnOK);
        SetForegroundWindow(main);
        REQUIRE(ft::PumpUntil([&] { return SkinnerOf(main)->Active; }, 3000));
        ft::Pump(300);
        Shoot(main, std::string("skin-main-") + name + "-active.png");
    }
    CHECK(w.ReadOptions().find("Skin=meadow") != std::string::npos);

    // "None": every window has Wine's own drawing back.
    OptionForm->Show();
    ft::Pump(100);
    const int jobs = Manager().JobsRun();
    Pick(u"None");
    REQUIRE(JobRan(jobs));
    CHECK(!d->Active());
    CHECK(Manager().FormSkinners().empty());
    CHECK_EQ(SendMessageW(main, skin::WM_SKIN_ASK, 0, 0), 0);
    ft::ClickButton(*OptionForm->btnOK);
    ft::Pump(300);
    Shoot(main, "skin-main-none.png");
    CHECK(w.Errors().empty());
}

WT_TEST(SkinnedWindows, SwitchingSkinsReskinsEveryWindow) {
    ProgramWindows w("skinned-all", "");
    CopySkins(w);
    skin::TSkinData* d = MainForm->SkinData1;
    REQUIRE(ft::PumpUntil([&] { return Skinned(MainForm->Handle()); }, 3000));
    // Switching skinning off and on again within the job delay runs the
    // last request only: every window of the program is skinned.
    int jobs = Manager().JobsRun();
    d->SetActive(false);
    d->SetActive(true);
    REQUIRE(JobRan(jobs));
    CHECK_EQ(Manager().JobsRun(), jobs + 1);
    CHECK_EQ(Manager().FormSkinners().size(), 7u);
    jobs = Manager().JobsRun();
    d->SetSkinFile(app::TOptionForm::SkinPath(u"slate"));
    REQUIRE(JobRan(jobs));
    CHECK(d->Elements().SkinName == "Slate");
    for (skin::TSkinForm* s : Manager().FormSkinners()) {
        CHECK_EQ(s->SkinState, 1);
        CHECK_EQ(s->BorderTop, 26);
        // The title-bar buttons are the new skin's.
        REQUIRE(s->SysButtons.size() == d->Elements().SysButtons.size());
        for (size_t i = 0; i < s->SysButtons.size(); ++i)
            CHECK(&s->SysButtons[i]->Element == d->Elements().SysButtons[i].get());
    }
    CHECK(w.Errors().empty());
}

namespace {

struct BoxLook {
    bool seen = false;
    bool skinned = false;
    UINT_PTR timer = 0;
};
BoxLook g_box;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM param) {
    if (skin::TSkinForm::GetClassNameOf(hwnd) != u"#32770" || !IsWindowVisible(hwnd)) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

void CALLBACK LookAtBox(HWND, UINT, UINT_PTR, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box || !Skinned(box)) return;
    KillTimer(nullptr, g_box.timer);
    g_box.seen = true;
    g_box.skinned = SendMessageW(box, skin::WM_SKIN_ASK, 0, 0) == 1;
    RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ft::Pump(200);
    Shoot(box, "skin-messagebox-builtin.png");
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDNO)));
}

}  // namespace

WT_TEST(SkinnedWindows, AMessageBoxComesUpInTheSkin) {
    ProgramWindows w("skinned-box", "");
    REQUIRE(ft::PumpUntil([&] { return Skinned(MainForm->Handle()); }, 3000));
    g_box = {};
    g_box.timer = SetTimer(nullptr, 0, 50, &LookAtBox);
    const int answer = forms::Application->MessageBox(u"Are you sure to clear Task List?", u"Query",
                                                      MB_ICONQUESTION | MB_YESNO);
    KillTimer(nullptr, g_box.timer);
    CHECK_EQ(answer, IDNO);
    CHECK(g_box.seen);
    CHECK(g_box.skinned);
    // Closed, its skinner is purged by the next job.
    REQUIRE(ft::PumpUntil([&] { return Manager().FormSkinners().size() == 1; }, 3000));
    CHECK(w.Errors().empty());
}

WT_TEST(SkinnedWindows, EveryWindowsControlsWearEachSkin) {
    ProgramWindows w("skinned-controls", "");
    CopySkins(w);
    skin::TSkinData* d = MainForm->SkinData1;
    REQUIRE(ft::PumpUntil([&] { return Skinned(MainForm->Handle()); }, 3000));
    struct Window {
        const char* name;
        forms::TCustomForm* form;
    };
    // The progress window is left out: showing it starts a batch.
    const Window windows[] = {{"main", MainForm},           {"options", OptionForm},
                              {"output", app::ConvertForm}, {"tips", app::TipForm},
                              {"about", app::AboutForm},    {"query", app::DialogForm}};
    for (const char* skinName : {"builtin", "slate", "meadow"}) {
        if (std::string(skinName) != "builtin") {
            const int jobs = Manager().JobsRun();
            d->SetSkinFile(app::TOptionForm::SkinPath(forms::Utf8ToText(skinName)));
            REQUIRE(JobRan(jobs));
        }
        for (const Window& win : windows) {
            if (win.form != MainForm) win.form->Show();
            Place(win.form, 0, 0);
            REQUIRE(ft::PumpUntil([&] { return Skinned(win.form->Handle()); }, 3000));
            RedrawWindow(win.form->Handle(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            ft::Pump(300);
            // Each window's controls have their skinners.
            CHECK(!SkinnerOf(win.form->Handle())->Skinners.empty());
            Shoot(win.form->Handle(), std::string("skin-controls-") + win.name + "-" + skinName + ".png");
            if (win.form != MainForm) win.form->Hide();
            SetWindowPos(win.form->Handle(), HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        }
        MainForm->SetEnabled(true);
    }
    CHECK(w.Errors().empty());
}

WT_TEST(SkinnedWindows, TheProgressWindowWearsTheSkinWhileABatchRuns) {
    ProgramWindows w("skinned-progress", "");
    w.Folder().MakeFolder("src");
    w.WriteOptions("[General]\r\nDefault=0\r\nSource=0\r\nCustom=1\r\nCustomFolder=" +
                   forms::TextToUtf8(w.Folder().WindowsPath("out")) +
                   "\r\nOverwrite=1\r\nQuery=0\r\n[OutputFormat]\r\nAVI=1\r\nMPEG=0\r\nWMV=0\r\n"
                   "AviVidCodec=0\r\nAviAudCodec=0\r\n[Advanced]\r\nPlaySound=0\r\n");
    OptionForm->LoadOptions();
    REQUIRE(ft::PumpUntil([] { return app::ProgressForm->VideoCodecIds.Count() > 0; }, 20000));
    clipgen::ClipSpec clip;
    clip.container = "avi";
    clip.width = 160;
    clip.height = 120;
    clip.seconds = 2.0;
    REQUIRE(at::MakeClip(w.Folder().UnixPath("src/a.avi"), clip));
    REQUIRE(MainForm->AddTaskItem(w.Folder().WindowsPath("src/a.avi")));
    at::ClickToolButton(MainForm->tbtnConvert);
    REQUIRE(app::ConvertForm->Showing());
    ft::Pump(50);
    bool running = false;
    {
        at::Repeater shoot([&] {
            if (running || !app::ProgressForm->Driver().Busy() || !Skinned(app::ProgressForm->Handle())) return false;
            running = true;
            Place(app::ProgressForm, 0, 0);
            RedrawWindow(app::ProgressForm->Handle(), nullptr, nullptr,
                         RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            Shoot(app::ProgressForm->Handle(), "skin-controls-progress-builtin-running.png");
            return true;
        });
        ft::ClickButton(*app::ConvertForm->btnStart);
        REQUIRE(ft::PumpUntil([] { return app::ProgressForm->btnClose->Visible(); }, 150000));
    }
    CHECK(running);
    REQUIRE(ft::PumpUntil([] { return Skinned(app::ProgressForm->Handle()); }, 3000));
    CHECK(!SkinnerOf(app::ProgressForm->Handle())->Skinners.empty());
    Place(app::ProgressForm, 0, 0);
    RedrawWindow(app::ProgressForm->Handle(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ft::Pump(300);
    Shoot(app::ProgressForm->Handle(), "skin-controls-progress-builtin-done.png");
    CHECK(w.Errors().empty());
}
