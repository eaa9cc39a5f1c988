// The browse-for-folder component on the shell's real folder browser:
// the preset folder comes back on OK, Cancel empties the selection, the
// open browser follows the properties, and IsDirectory on drives, folders
// and files.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

#include "framework/com/WinText.h"
#include "shellbrowse/FolderDialog.h"
#include "tests/app/wine/AppTestUtil.h"
#include "tests/framework/wine/Screenshot.h"
#include "tests/wine/harness/WineTest.h"

using forms::String;
using shellbrowse::IsDirectory;
using shellbrowse::TBrowseFlag;
using shellbrowse::TBrowseFlags;
using shellbrowse::TBrowseFolderDialog;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

// The text of the browser's selected tree item.
String SelectedFolderName(HWND dialog) {
    const HWND tree = at::FindChildByClass(dialog, L"SysTreeView32");
    return at::TreeItemText(tree, reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));
}

struct Fixture {
    ft::TestApp app;
    forms::TForm* form = nullptr;
    at::ScratchFolder folder{"browse"};
    Fixture() {
        app.App().CreateForm(form);
        form->Show();
        folder.MakeFolder("pick");
        folder.MakeFolder("pick/inner");
        folder.WriteFile("pick/file.txt", "x");
    }
};

}  // namespace

WT_TEST(FolderDialog, OkReturnsThePresetFolder) {
    Fixture fx;
    TBrowseFolderDialog dialog(fx.form);
    dialog.SetSelection(fx.folder.WindowsPath("pick"));
    CHECK(dialog.Selection() == fx.folder.WindowsPath("pick\\"));  // a folder gains its backslash
    String shown;
    bool created = false;
    dialog.OnCreate = [&](forms::TObject*) { created = true; };
    {
        at::FolderBrowserHand hand(true, dialog.Selection(), [&](HWND d) {
            shown = SelectedFolderName(d);
            CHECK(dialog.DialogHandle() == d);
            RECT r{};
            GetWindowRect(d, &r);
            const std::string path = ft::ScreenshotPath("folder-browser-preset.png");
            if (ft::TakeScreenshot(path, r)) std::printf("screenshot: %s\n", path.c_str());
        });
        CHECK(dialog.Execute());
        CHECK(hand.Seen());
    }
    CHECK(created);
    CHECK_EQ(U8(shown), std::string("pick"));
    CHECK(dialog.Selection() == fx.folder.WindowsPath("pick"));
    CHECK(dialog.DialogHandle() == nullptr);
    CHECK(dialog.ImageIndex() >= 0);
    CHECK(fx.app.Errors.empty());
}

WT_TEST(FolderDialog, TheNextOpeningStartsAtTheLastChoiceAndCancelEmptiesTheSelection) {
    Fixture fx;
    TBrowseFolderDialog dialog(fx.form);
    dialog.SetSelection(fx.folder.WindowsPath("pick\\inner"));
    {
        at::FolderBrowserHand hand(true, dialog.Selection());
        CHECK(dialog.Execute());
    }
    CHECK(dialog.Selection() == fx.folder.WindowsPath("pick\\inner"));
    String shown;
    {
        at::FolderBrowserHand hand(false, dialog.Selection(), [&](HWND d) { shown = SelectedFolderName(d); });
        CHECK(!dialog.Execute());
        CHECK(hand.Seen());
    }
    CHECK_EQ(U8(shown), std::string("inner"));
    CHECK(dialog.Selection().empty());
    // Nothing preset and nothing remembered: the browser opens at its root.
    {
        at::FolderBrowserHand hand(false, String());
        CHECK(!dialog.Execute());
        CHECK(hand.Seen());
    }
    CHECK(dialog.Selection().empty());
    CHECK(fx.app.Errors.empty());
}

WT_TEST(FolderDialog, TheOpenBrowserFollowsItsProperties) {
    Fixture fx;
    TBrowseFolderDialog dialog(fx.form);
    dialog.SetTitle(u"Choose a folder of clips");
    dialog.SetCaption(u"Add Directory");
    dialog.SetStatusText(String(300, u'x'));
    dialog.SetSelection(fx.folder.WindowsPath("pick"));
    String caption, status, captionAfter;
    {
        at::FolderBrowserHand hand(false, dialog.Selection(), [&](HWND d) {
            caption = ft::WindowText(d);
            status = ft::WindowText(GetDlgItem(d, 14147));
            dialog.SetCaption(u"Renamed");
            captionAfter = dialog.Caption();
            dialog.SetEnableOKButton(false);
            CHECK(!IsWindowEnabled(GetDlgItem(d, IDOK)));
        });
        dialog.Execute();
    }
    CHECK_EQ(U8(caption), std::string("Add Directory"));
    CHECK_EQ(U8(captionAfter), std::string("Renamed"));
    // The long text was cut to the status line, ending in "...".
    CHECK(status.size() > 3 && status.size() < 300);
    CHECK(status.size() >= 3 && status.compare(status.size() - 3, 3, u"...") == 0);
    CHECK(dialog.Caption() == u"Renamed");  // closed: the stored text
    CHECK(fx.app.Errors.empty());
}

WT_TEST(FolderDialog, SelectionAndOptionsRules) {
    Fixture fx;
    TBrowseFolderDialog dialog(fx.form);
    CHECK(dialog.Version() == u"TBrowseFolderDialog v2.61");
    dialog.SetVersion(u"other");
    CHECK(dialog.Version() == u"TBrowseFolderDialog v2.61");
    CHECK(dialog.Center() && dialog.FitStatusText() && dialog.EnableOKButton() && !dialog.ShowSelectionInStatus());
    CHECK_EQ(dialog.ImageIndex(), -1);
    const String file = fx.folder.WindowsPath("pick\\file.txt");
    dialog.SetSelection(file);
    CHECK(dialog.Selection() == file);  // a file stays as written
    dialog.SetShowSelectionInStatus(true);
    dialog.SetSelection(fx.folder.WindowsPath("pick"));
    CHECK(dialog.StatusText() == fx.folder.WindowsPath("pick\\"));
    dialog.SetOptions({TBrowseFlag::bfIncludeURLs});
    CHECK(dialog.Options() == (TBrowseFlags{TBrowseFlag::bfEditBox, TBrowseFlag::bfIncludeFiles,
                                            TBrowseFlag::bfIncludeURLs, TBrowseFlag::bfNewDialogStyle,
                                            TBrowseFlag::bfUseNewUI}));
}

WT_TEST(FolderDialog, IsDirectoryOfDrivesFoldersAndFiles) {
    Fixture fx;
    CHECK(IsDirectory(u"C:\\"));
    CHECK(IsDirectory(u"c:\\"));
    // An absent drive, without any error box.
    DWORD drives = GetLogicalDrives();
    char16_t absent = 0;
    for (char16_t l = u'Q'; l <= u'Y' && !absent; ++l)
        if (!(drives & (1u << (l - u'A')))) absent = l;
    REQUIRE(absent != 0);
    CHECK(!IsDirectory(String(1, absent) + u":\\"));
    CHECK(IsDirectory(fx.folder.WindowsPath("pick")));
    CHECK(IsDirectory(fx.folder.WindowsPath("pick\\")));
    CHECK(!IsDirectory(fx.folder.WindowsPath("pick\\file.txt")));
    CHECK(!IsDirectory(fx.folder.WindowsPath("missing")));
    CHECK(!IsDirectory(u""));
}
