// The main window's skin component with real skins: the built-in one at
// start, a spoilt built-in one, and the options window's Skins page
// listing, previewing, importing, exporting and deleting the shipped
// skins, with OK and Cancel; and a screenshot of the page.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/option.h"
#include "framework/com/WinText.h"
#include "skin/SkinManager.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using app::MainForm;
using app::OptionForm;
using at::ProgramWindows;
using forms::String;

namespace {

// The skins shipped beside the test program, as the build put them there.
String ShippedSkin(const char16_t* name) {
    return forms::ExtractFilePath(forms::Application->ExeName()) + u"Skins\\" + name + u".skn";
}

void CopySkin(ProgramWindows& w, const char16_t* shipped, const char* as) {
    CopyFileW(com::W(ShippedSkin(shipped)), com::W(w.Folder().WindowsPath(as)), FALSE);
}

std::vector<std::string>& Calls() { return dynamic_cast<skin::SkinCallLog&>(skin::CreateSkinManager()).Calls; }

bool Called(const std::string& call) {
    return std::find(Calls().begin(), Calls().end(), call) != Calls().end();
}

std::vector<String> Listed() {
    std::vector<String> out;
    for (int i = 0; i < OptionForm->ltbSkin->Items().Count(); ++i) out.push_back(OptionForm->ltbSkin->Items()[i]);
    return out;
}

void Pick(const String& name) {
    const auto items = Listed();
    const auto it = std::find(items.begin(), items.end(), name);
    REQUIRE(it != items.end());
    OptionForm->ltbSkin->SetItemIndex(static_cast<int>(it - items.begin()));
    OptionForm->ltbSkin->Click();
}

// Each test starts without a manager and without a remembered skin name;
// the component's requests to the manager are recorded, not run.
struct Fresh {
    Fresh() {
        skin::DestroySkinManager();
        skin::SetSkinManagerFactory([] { return std::make_unique<skin::SkinCallLog>(); });
        app::LastSkinName.clear();
    }
    ~Fresh() {
        skin::DestroySkinManager();
        skin::SetSkinManagerFactory(nullptr);
    }
};

}  // namespace

WT_TEST(SkinPage, SkinData1CarriesTheBuiltInSkinFromTheStart) {
    Fresh fresh;
    ProgramWindows w("skinstart", "");
    skin::TSkinData* d = MainForm->SkinData1;
    CHECK(d->Active());
    CHECK(!d->NoSkinLoaded());
    CHECK(d->Elements().SkinName == "Corvane Blue");
    CHECK_EQ(d->Elements().BorderLeft->Bitmap.width / d->Elements().BorderLeft->FrameCount, 4);
    CHECK_EQ(d->Elements().SysButtons.size(), 8u);
    forms::TMemoryStream stored;
    d->WriteSkinStream(stored);
    CHECK_EQ(static_cast<size_t>(stored.Size()), app::MainSkinStream.size);
    CHECK_EQ(d->MenuImages()->Count(), 4);  // the system-menu glyphs from the program's resources
    CHECK(Calls() == (std::vector<std::string>{"Register", "InstallHook", "QueueJob 1 250"}));
    CHECK(w.Errors().empty());
}

WT_TEST(SkinPage, ASpoiltBuiltInSkinLeavesTheProgramRunningUnskinned) {
    Fresh fresh;
    std::vector<unsigned char> spoilt(app::MainSkinStream.data, app::MainSkinStream.data + app::MainSkinStream.size);
    std::fill(spoilt.begin() + 4, spoilt.begin() + 8, 0);  // the archive declares no bytes: no version
    const app::StoredSkin original = app::MainSkinStream;
    app::MainSkinStream = {spoilt.data(), spoilt.size()};
    {
        ft::MessageBoxAnswerer answers;
        ProgramWindows w("skinspoilt", "");
        app::MainSkinStream = original;
        REQUIRE(MainForm);
        CHECK(MainForm->Showing());
        CHECK(!MainForm->SkinData1->Active());
        CHECK(MainForm->SkinData1->NoSkinLoaded());
        CHECK(!Called("QueueJob 1 250"));
        REQUIRE(answers.Texts().size() == 1);
        CHECK(answers.Texts()[0] == u"This is Older Skin File\rPlease update to new version !");
        CHECK(w.Errors().empty());
    }
    app::MainSkinStream = original;
}

WT_TEST(SkinPage, TheSkinsPageDrivesTheRealComponent) {
    Fresh fresh;
    ProgramWindows w("skinpage", "");
    w.Folder().MakeFolder("Skins");
    CopySkin(w, u"slate", "Skins/slate.skn");
    CopySkin(w, u"meadow", "Skins/meadow.skn");
    CopySkin(w, u"slate", "Skins/a.b.skn");
    w.Folder().WriteFile("Skins/broken.skn", "junk, no skin at all");
    w.Folder().WriteFile("Skins/notes.txt", "not a skin");
    w.WriteOptions("[Skin]\r\nSkin=slate\r\n");
    skin::TSkinData* d = MainForm->SkinData1;
    auto path = [](const char16_t* name) { return app::TOptionForm::SkinPath(name); };

    OptionForm->Show();
    ft::Pump(50);
    OptionForm->pgcOptions->SetActivePage(OptionForm->tabSkins);
    CHECK(Listed() == (std::vector<String>{u"None", u"a.b", u"broken", u"meadow", u"slate"}));
    CHECK_EQ(OptionForm->ltbSkin->ItemIndex(), 4);
    CHECK(d->SkinFile() == path(u"slate"));
    CHECK(d->Elements().SkinName == "Slate");
    CHECK(d->Active());

    // Previews switch the component's skin file and state.
    Calls().clear();
    Pick(u"meadow");
    CHECK(d->SkinFile() == path(u"meadow"));
    CHECK(d->Elements().SkinName == "Meadow");
    CHECK(Called("PrepareNewSkin") && Called("QueueJob 3 250"));
    // A file that is no skin changes nothing and asks for nothing.
    Calls().clear();
    Pick(u"broken");
    CHECK(d->SkinFile() == path(u"meadow"));
    CHECK(d->Elements().SkinName == "Meadow");
    CHECK(d->Active());
    CHECK(Calls().empty());
    Pick(u"None");
    CHECK(!d->Active());
    CHECK(Called("QueueJob 2 250"));
    Pick(u"a.b");  // exactly a.b.skn
    CHECK(d->SkinFile() == path(u"a.b"));
    CHECK(d->Active());
    CHECK(!d->NoSkinLoaded());

    // The page with the real skins, for the eye.
    Pick(u"slate");
    RedrawWindow(OptionForm->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ft::Pump(150);
    RECT r;
    GetWindowRect(OptionForm->Handle(), &r);
    const std::string shot = ft::ScreenshotPath("options-skins-shipped.png");
    CHECK(ft::TakeScreenshot(shot, r));
    std::printf("screenshot %s\n", shot.c_str());

    // Cancel puts the saved skin back; OK saves the chosen one.
    Pick(u"meadow");
    ft::ClickButton(*OptionForm->btnCancel);
    CHECK(d->SkinFile() == path(u"slate"));
    CHECK(d->Elements().SkinName == "Slate");
    CHECK(d->Active());
    OptionForm->Show();
    ft::Pump(50);
    Pick(u"meadow");
    ft::ClickButton(*OptionForm->btnOK);
    CHECK(w.ReadOptions().find("Skin=meadow") != std::string::npos);
    CHECK(d->SkinFile() == path(u"meadow"));
    CHECK(d->Active());

    // Import: three new files are listed; a name that is taken is reported.
    OptionForm->Show();
    ft::Pump(50);
    w.Folder().MakeFolder("in");
    CopySkin(w, u"meadow", "in/one.skn");
    CopySkin(w, u"slate", "in/two.skn");
    CopySkin(w, u"meadow", "in/three.skn");
    OptionForm->dlgImportSkin->SetInitialDir(w.Folder().WindowsPath("in"));
    {
        ft::MessageBoxAnswerer answers;
        ft::FileDialogFiller fill(u"\"one.skn\" \"two.skn\" \"three.skn\"");
        ft::ClickButton(*OptionForm->btnImportSkin);
        REQUIRE(answers.Texts().size() == 1);
        CHECK(answers.Texts()[0] == u"Import skin successfully");
    }
    CHECK(Listed() == (std::vector<String>{u"None", u"a.b", u"broken", u"meadow", u"one", u"slate", u"three", u"two"}));
    w.Folder().WriteFile("in/slate.skn", "another slate");
    {
        ft::MessageBoxAnswerer answers;
        ft::FileDialogFiller fill(u"\"slate.skn\"");
        ft::ClickButton(*OptionForm->btnImportSkin);
        REQUIRE(answers.Texts().size() == 1);
        CHECK(answers.Texts()[0] ==
              u"These skin files were not imported:\r\nslate.skn (a skin of that name is already there)");
    }
    CHECK(at::ReadUnixFile(w.Folder().UnixPath("Skins/slate.skn")) != "another slate");

    // Export copies the chosen skin out; delete removes it.
    Pick(u"one");
    const String exported = w.Folder().WindowsPath("exported.skn");
    {
        ft::FileDialogFiller fill(exported);
        ft::ClickButton(*OptionForm->btnExportSkin);
    }
    CHECK(at::ReadUnixFile(w.Folder().UnixPath("exported.skn")) == at::ReadUnixFile(w.Folder().UnixPath("Skins/one.skn")));
    {
        ft::MessageBoxAnswerer answers({IDYES});
        ft::ClickButton(*OptionForm->btnDeleteSkin);
    }
    CHECK(GetFileAttributesW(com::W(path(u"one"))) == INVALID_FILE_ATTRIBUTES);
    OptionForm->Close();
    CHECK(w.Errors().empty());
}
