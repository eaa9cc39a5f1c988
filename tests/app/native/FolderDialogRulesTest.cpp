// The browse-for-folder dialog's rules: roots, flags, normalised paths and
// status texts fitted to the status line.
#include <gtest/gtest.h>

#include "shellbrowse/FolderDialogRules.h"

using namespace shellbrowse;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

// Every character is 6 pixels wide.
int Width(const String& text) { return static_cast<int>(text.size()) * 6; }

}  // namespace

TEST(FolderDialogRules, RootsMapToSpecialFolders) {
    EXPECT_EQ(RootCsidl(TRootID::idDesktop, true), 0x0000);
    EXPECT_EQ(RootCsidl(TRootID::idStartMenu, true), 0x000B);
    EXPECT_EQ(RootCsidl(TRootID::idDrives, true), 0x0011);
    EXPECT_EQ(RootCsidl(TRootID::idPrintHood, true), 0x001B);
    EXPECT_EQ(RootCsidl(TRootID::idDesktopExpanded, true), 0xFEFE);
    // The common folders are the user's own where the system is not NT.
    EXPECT_EQ(RootCsidl(TRootID::idCommonPrograms, true), 0x0017);
    EXPECT_EQ(RootCsidl(TRootID::idCommonPrograms, false), 0x0002);
    EXPECT_EQ(RootCsidl(TRootID::idCommonStartMenu, false), 0x000B);
    EXPECT_EQ(RootCsidl(TRootID::idCommonStartup, false), 0x0007);
    EXPECT_EQ(RootCsidl(TRootID::idCommonDesktopDirectory, false), 0x0010);
    EXPECT_EQ(RootCsidl(TRootID::idCommonDesktopDirectory, true), 0x0019);
}

TEST(FolderDialogRules, OptionsCompleteThemselves) {
    using F = TBrowseFlag;
    EXPECT_EQ(CompleteOptions({F::bfIncludeURLs}),
              (TBrowseFlags{F::bfEditBox, F::bfIncludeFiles, F::bfIncludeURLs, F::bfNewDialogStyle, F::bfUseNewUI}));
    EXPECT_EQ(CompleteOptions({F::bfShareable}),
              (TBrowseFlags{F::bfShareable, F::bfUseNewUI, F::bfEditBox, F::bfNewDialogStyle}));
    EXPECT_EQ(CompleteOptions({F::bfDirectoriesOnly}), (TBrowseFlags{F::bfDirectoriesOnly}));
    EXPECT_EQ(CompleteOptions({}), TBrowseFlags{});
}

TEST(FolderDialogRules, BrowseInfoFlags) {
    using F = TBrowseFlag;
    EXPECT_EQ(BrowseInfoFlags({}, false), 0u);
    EXPECT_EQ(BrowseInfoFlags({}, true), 0x0004u);
    EXPECT_EQ(BrowseInfoFlags({F::bfDirectoriesOnly, F::bfComputers}, false), 0x1001u);
    // The edit box brings validation.
    EXPECT_EQ(BrowseInfoFlags({F::bfEditBox}, false), 0x0030u);
    EXPECT_EQ(BrowseInfoFlags(CompleteOptions({F::bfIncludeURLs}), true), 0x0010u | 0x4000 | 0x0080 | 0x0040 | 0x0020 | 0x0004);
}

TEST(FolderDialogRules, NormalisedPaths) {
    EXPECT_EQ(U8(NormalisePath(u"")), "");
    EXPECT_EQ(U8(NormalisePath(u"\\")), "\\");
    EXPECT_EQ(U8(NormalisePath(u"C:")), "C:\\");
    EXPECT_EQ(U8(NormalisePath(u"C:\\")), "C:\\");
    EXPECT_EQ(U8(NormalisePath(u"C:\\Videos\\")), "C:\\Videos");
    EXPECT_EQ(U8(NormalisePath(u"\\\\server\\share\\")), "\\\\server\\share");
    EXPECT_EQ(U8(NormalisePath(u"\\\\server\\share")), "\\\\server\\share");
}

TEST(FolderDialogRules, DeepFoldersLoseTheirMiddleUntilTheyFit) {
    const String path = u"C:\\one\\two\\three\\four\\leaf";  // 26 characters
    EXPECT_EQ(U8(FitPathText(path, 26 * 6, Width)), "C:\\one\\two\\three\\four\\leaf");
    EXPECT_EQ(U8(FitPathText(path, 25 * 6, Width)), "C:\\...\\three\\four\\leaf");
    EXPECT_EQ(U8(FitPathText(path, 20 * 6, Width)), "C:\\...\\four\\leaf");
    EXPECT_EQ(U8(FitPathText(path, 12 * 6, Width)), "C:\\...\\leaf");
    EXPECT_EQ(U8(FitPathText(path, 10 * 6, Width)), "...\\leaf");
    // Nothing left to cut: the name alone, even when it does not fit.
    EXPECT_EQ(U8(FitPathText(path, 3 * 6, Width)), "leaf");
    EXPECT_EQ(U8(FitPathText(u"\\\\srv\\share\\deep\\x", 14 * 6, Width)), "\\...\\deep\\x");
}

TEST(FolderDialogRules, LongPlainTextsAreCutAtTheEnd) {
    EXPECT_EQ(U8(FitPlainText(u"short", 100, Width)), "short");
    EXPECT_EQ(U8(FitPlainText(u"a rather long status text", 10 * 6, Width)), "a rathe...");
    EXPECT_EQ(U8(FitPlainText(u"abc", 0, Width)), "...");
    EXPECT_EQ(U8(FitPlainText(u"", 0, Width)), "");
}
