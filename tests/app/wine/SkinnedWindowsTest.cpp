// The program's windows drawn from skins: the main window with the built-in
// skin and with each shipped skin, active and inactive (screenshots for the
// eye), the options window's skin choice reaching the main window's skin
// component and every open window, and "None" giving Wine's drawing back.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/Main.h"
#include "app/about.h"
#include "app/option.h"
#include "framework/com/WinText.h"
#include "skin/SkinData.h"
#include "skin/SkinForm.h"
#include "skin/SkinManager.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using app::MainForm;
using at::ProgramWindows;
using forms::String;

namespace {

skin::TSkinManage& Manager() { return *skin::SkinManage(); }

skin::TSkinForm* SkinnerOf(forms::TCustomForm* form) {
    return form->HandleAllocated() ? Manager().FindFormSkinner(form->Handle()) : nullptr;
}

void Shoot(forms::TCustomForm* form, const std::string& name) {
    RECT r{};
    GetWindowRect(form->Handle(), &r);
    const std::string shot = ft::ScreenshotPath(name);
    if (ft::TakeScreenshot(shot, r)) std::printf("screenshot: %s\n", shot.c_str());
    else std::printf("NOTE: no screenshot (ImageMagick's import is missing)\n");
}

}  // namespace

WT_TEST(SkinnedWindows, TheMainWindowWearsTheBuiltInSkin) {
    ProgramWindows w("skinned-main", "");
    SetWindowPos(MainForm->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ft::Pump(400);
    skin::TSkinForm* s = SkinnerOf(MainForm);
    REQUIRE(s);
    CHECK_EQ(s->SkinState, 1);
    CHECK_EQ(SendMessageW(MainForm->Handle(), skin::WM_SKIN_ASK, 0, 0), 1);
    Shoot(MainForm, "skin-main-builtin-active.png");
    CHECK(w.Errors().empty());
}
