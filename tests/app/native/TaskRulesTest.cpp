// The task list's row texts, extensions, explorer items and computed
// positions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "app/TaskRules.h"
#include "shellbrowse/ShellText.h"

using namespace app;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

}  // namespace

TEST(TaskRules, DurationIsHoursMinutesSecondsOfTheRoundedLength) {
    struct Case {
        double seconds;
        const char* text;
        long long whole;
    };
    const Case cases[] = {
        {3725.4, "01:02:05", 3725},  // the reduced remainder rounds on its own
        {59.6, "00:01:00", 60},      // a minute reached by rounding leaves no second
        {0.0, "00:00:00", 0},
        {2.0, "00:00:02", 2},
        {0.5, "00:00:00", 0},        // halves go to the even neighbour
        {1.5, "00:00:02", 2},
        {3599.6, "01:00:00", 3600},
        {119.5, "00:02:00", 120},
        {36000.0 * 3, "30:00:00", 108000},
        {360000.0, "100:00:00", 360000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(U8(DurationText(c.seconds)), c.text) << c.seconds;
        EXPECT_EQ(DurationSeconds(c.seconds), c.whole) << c.seconds;
    }
}

TEST(TaskRules, ALengthThatIsNoNumberCountsAsNothing) {
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300,
                       -1e300}) {
        EXPECT_EQ(U8(DurationText(bad)), "00:00:00");
        EXPECT_EQ(DurationSeconds(bad), 0);
    }
}

TEST(TaskRules, RowTextsOfAClip) {
    MediaFacts f;
    f.frameRate = 30000.0 / 1001;
    f.duration = 3725.4;
    f.video = true;
    f.audio = false;
    f.width = 352;
    f.height = 288;
    f.bitRate = 1150000;
    const TaskRowTexts t = RowTexts(f);
    EXPECT_EQ(U8(t.frameRate), "29.97");
    EXPECT_EQ(U8(t.duration), "01:02:05");
    EXPECT_EQ(U8(t.videoStream), "Yes");
    EXPECT_EQ(U8(t.audioStream), "No");
    EXPECT_EQ(U8(t.dimensions), "352 x 288");
    EXPECT_EQ(U8(t.bitRate), "1150000");
    EXPECT_EQ(U8(t.seconds), "3725");

    // What the control answers for a file it cannot read.
    const TaskRowTexts none = RowTexts(MediaFacts{});
    EXPECT_EQ(U8(none.frameRate), "0.00");
    EXPECT_EQ(U8(none.duration), "00:00:00");
    EXPECT_EQ(U8(none.videoStream), "No");
    EXPECT_EQ(U8(none.audioStream), "No");
    EXPECT_EQ(U8(none.dimensions), "0 x 0");
    EXPECT_EQ(U8(none.bitRate), "Unknown");
    EXPECT_EQ(U8(none.seconds), "0");
}

TEST(TaskRules, FrameRateAndBitRateTexts) {
    EXPECT_EQ(U8(FrameRateText(25)), "25.00");
    EXPECT_EQ(U8(FrameRateText(7.5)), "7.50");
    EXPECT_EQ(U8(FrameRateText(120)), "120.00");
    EXPECT_EQ(U8(BitRateText(0)), "Unknown");
    EXPECT_EQ(U8(BitRateText(-5)), "Unknown");
    EXPECT_EQ(U8(BitRateText(1)), "1");
}

TEST(TaskRules, TheFolderKeepsItsBackslashOnlyAtADriveRoot) {
    EXPECT_EQ(U8(TaskFolderText(u"C:\\clip.avi")), "C:\\");
    EXPECT_EQ(U8(TaskFolderText(u"C:\\Videos\\clip.avi")), "C:\\Videos");
    EXPECT_EQ(U8(TaskFolderText(u"Z:\\tmp\\a b\\clip.mpg")), "Z:\\tmp\\a b");
    EXPECT_EQ(U8(TaskFilePath(u"C:\\", u"clip.avi")), "C:\\clip.avi");
    EXPECT_EQ(U8(TaskFilePath(u"C:\\Videos", u"clip.avi")), "C:\\Videos\\clip.avi");
}

TEST(TaskRules, TheNineExtensionsInAnyCase) {
    for (const char16_t* name : {u"a.avi", u"a.MP2", u"a.mp2v", u"a.MPA", u"a.mpe", u"a.MPEG", u"a.mpg", u"a.Mpv2",
                                 u"a.WMV", u"x.y.avi"})
        EXPECT_TRUE(IsVideoExtension(name)) << U8(name);
    for (const char16_t* name : {u"a.asf", u"a.mp4", u"a.avi.txt", u"avi", u"a.", u"", u"a.mpeg2"})
        EXPECT_FALSE(IsVideoExtension(name)) << U8(name);
}

TEST(TaskRules, ExplorerItemsTellFilesFoldersAndDrivesApart) {
    EXPECT_TRUE(IsFileListFileItem(u"0 KB"));  // a 0-byte file is a file
    EXPECT_TRUE(IsFileListFileItem(u"12 KB"));
    EXPECT_FALSE(IsFileListFileItem(u" "));    // folders show a blank
    EXPECT_FALSE(IsFileListFileItem(u""));
    EXPECT_FALSE(IsFileListFileItem(u"Fixed Disk"));

    EXPECT_EQ(U8(DriveOfCaption(u" (C:)  Local Disk")), "C:");
    EXPECT_EQ(U8(DriveOfCaption(u" (Z:)  ")), "Z:");
    EXPECT_EQ(U8(DriveOfCaption(u"no drive")), "");
    EXPECT_EQ(U8(DriveOfCaption(u":")), "");

    EXPECT_EQ(U8(JoinFolder(u"C:\\Videos\\", u"clip.avi")), "C:\\Videos\\clip.avi");
    EXPECT_EQ(U8(JoinFolder(u"C:\\Videos", u"sub")), "C:\\Videos\\sub");
}

TEST(TaskRules, SizeTextsOfLargeFilesStayPositiveAndReadAsFiles) {
    using shellbrowse::SizeText;
    EXPECT_EQ(U8(SizeText(0)), "0 KB");
    EXPECT_EQ(U8(SizeText(1)), "1 KB");
    EXPECT_EQ(U8(SizeText(1048576)), "1024 KB");
    EXPECT_EQ(U8(SizeText(2147483648ull)), "2097152 KB");      // 2 GiB
    EXPECT_EQ(U8(SizeText(5368709120ull)), "5242880 KB");      // 5 GiB
    EXPECT_EQ(U8(SizeText(4294967296ull + 1023)), "4194304 KB");
    EXPECT_TRUE(IsFileListFileItem(SizeText(2147483648ull)));
    EXPECT_TRUE(IsFileListFileItem(SizeText(~0ull)));
}

TEST(TaskRules, SearchPanelAndPanePlaces) {
    const PanelPlace p = SearchPanelPlace(836, 619);
    EXPECT_EQ(p.width, 500);
    EXPECT_EQ(p.height, 120);
    EXPECT_EQ(p.left, 168);
    EXPECT_EQ(p.top, 220);  // round(249.5 - 30) = round(219.5), halves to even
    const PanelPlace q = SearchPanelPlace(837, 620);
    EXPECT_EQ(q.left, 168);  // round(168.5)
    EXPECT_EQ(q.top, 220);

    const PaneLayout l = ExplorerLayout(270, 480, 546, 480, 18);
    EXPECT_EQ(l.treeWidth, 248);
    EXPECT_EQ(l.listWidth, 248);
    EXPECT_EQ(l.taskListWidth, 529);
    EXPECT_EQ(l.treeHeight, 222);  // round(221.5)
    EXPECT_EQ(l.listTop, 18 + 222 + 9);
    EXPECT_EQ(l.listHeight, 480 - 222 - 37);
    EXPECT_EQ(l.taskListHeight, 449);
}
