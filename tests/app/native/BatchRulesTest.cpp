// The batch's rules: output naming, the renaming rule, the mapping of
// the MPEG combo and the size texts, the progress formulas with their
// rounding, the summary and the after-run plan.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "app/BatchRules.h"

using namespace app;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }
String T(const char* s) { return forms::Utf8ToText(s); }

}  // namespace

TEST(BatchRules, OutputPathsFollowTheFolderChoiceAndFormat) {
    EXPECT_EQ(U8(OutputFolderFor(OutputFolderChoice::Default, u"C:\\Prog\\", u"D:\\Clips", u"E:\\Out")), "C:\\Prog\\");
    EXPECT_EQ(U8(OutputFolderFor(OutputFolderChoice::Source, u"C:\\Prog\\", u"D:\\Clips", u"E:\\Out")), "D:\\Clips\\");
    EXPECT_EQ(U8(OutputFolderFor(OutputFolderChoice::Source, u"C:\\Prog\\", u"D:\\", u"")), "D:\\");
    EXPECT_EQ(U8(OutputFolderFor(OutputFolderChoice::Custom, u"C:\\Prog\\", u"D:\\Clips", u"E:\\Out")), "E:\\Out\\");
    EXPECT_EQ(U8(OutputFolderFor(OutputFolderChoice::Custom, u"C:\\Prog\\", u"D:\\Clips", u"E:\\Out\\")), "E:\\Out\\");
    // A blank custom folder is no folder (not the root of the current drive).
    EXPECT_EQ(U8(OutputFolderFor(OutputFolderChoice::Custom, u"C:\\Prog\\", u"D:\\Clips", u"  ")), "");

    EXPECT_EQ(U8(OutputPathFor(u"E:\\Out\\", u"clip.mpg", OutputKind::Avi)), "E:\\Out\\clip.avi");
    EXPECT_EQ(U8(OutputPathFor(u"E:\\Out\\", u"my.holiday.MPEG", OutputKind::Mpeg)), "E:\\Out\\my.holiday.mpg");
    EXPECT_EQ(U8(OutputPathFor(u"E:\\Out\\", u"noext", OutputKind::Wmv)), "E:\\Out\\noext.wmv");
    EXPECT_EQ(U8(SourceFormatText(u"clip.mpg")), "MPG");
    EXPECT_EQ(U8(SourceFormatText(u"Clip.Wmv")), "WMV");
    EXPECT_EQ(U8(SourceFormatText(u"noext")), "");
    EXPECT_EQ(U8(OutputFormatText(OutputKind::Avi)), "AVI");
    EXPECT_EQ(U8(OutputFormatText(OutputKind::Mpeg)), "MPG");
    EXPECT_EQ(U8(OutputFormatText(OutputKind::Wmv)), "WMV");
}

TEST(BatchRules, SamePathIgnoresCaseSeparatorsAndDotSteps) {
    EXPECT_TRUE(SamePath(u"C:\\Clips\\CLIP.AVI", u"c:\\clips\\clip.avi"));
    EXPECT_TRUE(SamePath(u"C:\\Clips\\clip.avi", u"C:/Clips//clip.avi"));
    EXPECT_TRUE(SamePath(u"C:\\Clips\\.\\x\\..\\clip.avi", u"C:\\Clips\\clip.avi"));
    EXPECT_FALSE(SamePath(u"C:\\Clips\\clip.avi", u"C:\\Clips\\clip.mpg"));
    EXPECT_FALSE(SamePath(u"C:\\Clips\\clip.avi", u"D:\\Clips\\clip.avi"));
    EXPECT_FALSE(SamePath(u"", u""));
}

TEST(BatchRules, RenamingRuleSplitsAtThePercent) {
    EXPECT_EQ(U8(RenamedFileName(u"%_copy", u"clip", u"avi")), "clip_copy.avi");
    EXPECT_EQ(U8(RenamedFileName(u"new_%", u"clip", u"avi")), "new_clip.avi");
    EXPECT_EQ(U8(RenamedFileName(u"x", u"clip", u"avi")), "clipx.avi");
    EXPECT_EQ(U8(RenamedFileName(u"a%b%c", u"clip", u"avi")), "aclipb%c.avi");
    EXPECT_EQ(U8(RenamedFileName(u"", u"clip", u"avi")), "clip.avi");
}

TEST(BatchRules, FreeRenamedNameIsTestedAgainUntilFree) {
    std::set<String> taken;
    auto exists = [&](const String& p) { return taken.count(forms::LowerCase(p)) > 0; };
    const String folder = u"c:\\out\\";
    EXPECT_EQ(U8(FreeRenamedFileName(u"%_copy", u"clip.avi", folder, exists)), "clip_copy.avi");
    taken.insert(u"c:\\out\\clip_copy.avi");
    EXPECT_EQ(U8(FreeRenamedFileName(u"%_copy", u"clip.avi", folder, exists)), "clip_copy_copy.avi");
    taken.insert(u"c:\\out\\clip_copy_copy.avi");
    EXPECT_EQ(U8(FreeRenamedFileName(u"new_%", u"clip.avi", folder, exists)), "new_clip.avi");

    // A rule that keeps the name, one that is always taken, and one that
    // would leave the folder never give a name.
    EXPECT_EQ(U8(FreeRenamedFileName(u"%", u"clip.avi", folder, exists)), "");
    EXPECT_EQ(U8(FreeRenamedFileName(u"%_copy", u"clip.avi", folder, [](const String&) { return true; })), "");
    EXPECT_EQ(U8(FreeRenamedFileName(u"..\\%", u"clip.avi", folder, exists)), "");
    EXPECT_EQ(U8(FreeRenamedFileName(u"%?", u"clip.avi", folder, exists)), "");
    int asked = 0;
    FreeRenamedFileName(u"%_copy", u"clip.avi", folder, [&](const String&) { return ++asked > 0; });
    EXPECT_EQ(asked, kMaxRenames);
}

TEST(BatchRules, MpegComboAndSizeTextsMapOntoProperties) {
    const int expected[] = {2, 5, 4, 3, 7, 6, 9, 8};
    for (int i = 0; i < 8; ++i) {
        int f = -1;
        EXPECT_TRUE(MpegOutputFormat(i, f));
        EXPECT_EQ(f, expected[i]) << i;
    }
    int f = 77;
    EXPECT_FALSE(MpegOutputFormat(-1, f));
    EXPECT_FALSE(MpegOutputFormat(8, f));
    EXPECT_EQ(f, 77);

    struct Case {
        const char* text;
        bool ok;
        int value;
    };
    for (const Case& c : {Case{"Source", true, 0}, Case{"SOURCE", true, 0}, Case{"source", true, 0},
                          Case{"352", true, 352}, Case{" 25", true, 25}, Case{"0", true, 0}, Case{"-5", false, 0},
                          Case{"29.97", false, 0}, Case{"abc", false, 0}, Case{"", false, 0},
                          Case{"99999999999", false, 0}}) {
        int v = -1;
        EXPECT_EQ(OutputDimension(T(c.text), v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(BatchRules, PercentagesRoundHalvesToEven) {
    EXPECT_EQ(CurrentPercent(1, 8), 12);     // 12.5 -> 12
    EXPECT_EQ(CurrentPercent(3, 8), 38);     // 37.5 -> 38
    EXPECT_EQ(CurrentPercent(1, 64), 2);     // 1.5625 -> 2
    EXPECT_EQ(CurrentPercent(5, 10), 50);
    EXPECT_EQ(CurrentPercent(5, 0), 0);       // no duration, no division
    EXPECT_EQ(CurrentPercent(5, -1), 0);
    EXPECT_EQ(CurrentPercent(10.4, 10), 100);  // read past the end
    EXPECT_EQ(CurrentPercent(std::numeric_limits<double>::quiet_NaN(), 10), 0);

    // (50 x 10 / 100 + 20) / 50 x 100 = 50
    EXPECT_EQ(TotalPercent(50, 10, 20, 50), 50);
    EXPECT_EQ(TotalPercent(50, 10, 20, 0), 0);
    // (0 + 1) / 8 x 100 = 12.5 -> 12; (50 x 2 / 100 + 2) / 8 x 100 = 37.5 -> 38
    EXPECT_EQ(TotalPercent(0, 0, 1, 8), 12);
    EXPECT_EQ(TotalPercent(50, 2, 2, 8), 38);
    EXPECT_EQ(TotalPercent(100, 10, 10, 10), 100);  // never above 100
    EXPECT_EQ(FinishedSecondsOf(25, 10), 2);  // 2.5 -> 2
    EXPECT_EQ(FinishedSecondsOf(35, 10), 4);  // 3.5 -> 4
    EXPECT_EQ(RemainingSeconds(100, 25), 300);
    EXPECT_EQ(RemainingSeconds(1, 40), 2);  // 1.5 -> 2
    EXPECT_EQ(RemainingSeconds(1, 80), 0);  // 0.25 -> 0

    EXPECT_EQ(U8(ClockText(3725)), "1:2:5");
    EXPECT_EQ(U8(ClockText(0)), "0:0:0");
    EXPECT_EQ(U8(ClockText(300)), "0:5:0");
    EXPECT_EQ(U8(ClockText(360000)), "100:0:0");
}

TEST(BatchRules, TickCountsTimeAndStopsAConversionStuckAtTheEnd) {
    ProgressTicker t;
    ProgressShown s;
    ProgressReading r;
    r.totalSeconds = 400;
    r.currentSeconds = 400;
    r.duration = 400;
    r.progress = 100;  // 25%
    for (int i = 0; i < 100; ++i) s = t.Tick(r);
    EXPECT_EQ(s.currentPercent, 25);
    EXPECT_EQ(s.totalPercent, 25);
    EXPECT_EQ(s.finishedSeconds, 100);
    EXPECT_EQ(U8(s.elapsed), "0:1:40");
    EXPECT_EQ(U8(s.remaining), "0:5:0");
    // A total of 0 keeps the remaining time it had.
    r.totalSeconds = 0;
    s = t.Tick(r);
    EXPECT_EQ(s.totalPercent, 0);
    EXPECT_EQ(U8(s.remaining), "0:5:0");

    t.Reset();
    for (int i = 0; i < 3725; ++i) s = t.Tick(ProgressReading());
    EXPECT_EQ(U8(s.elapsed), "1:2:5");
    EXPECT_EQ(U8(s.remaining), "0:0:0");

    // The watchdog: 29 ticks at 100% do nothing, the 30th stops; a tick
    // below 100 starts the count again.
    t.Reset();
    ProgressReading full;
    full.progress = full.duration = 10;
    for (int i = 0; i < 20; ++i) EXPECT_FALSE(t.Tick(full).stopConversion);
    t.Tick(ProgressReading());
    EXPECT_EQ(t.FullTicks(), 0);
    for (int i = 0; i < 29; ++i) EXPECT_FALSE(t.Tick(full).stopConversion);
    EXPECT_TRUE(t.Tick(full).stopConversion);
    EXPECT_EQ(t.FullTicks(), 0);
}

TEST(BatchRules, FiguresAtTheEndOfAFileAndOfTheRunAreFinal) {
    ProgressTicker t;
    ProgressReading r;
    r.totalSeconds = 40;
    r.currentSeconds = 10;
    r.duration = 10;
    r.progress = 9.7;  // the last poll before the end: 97%
    ProgressShown s;
    for (int i = 0; i < 8; ++i) s = t.Tick(r);
    EXPECT_EQ(s.currentPercent, 97);
    // The first of four ten-second files is done: its bar is full and a
    // quarter of the batch is finished, whatever the last poll said.
    r.finishedSeconds = 10;
    s = t.FileDone(r);
    EXPECT_EQ(s.currentPercent, 100);
    EXPECT_EQ(s.totalPercent, 25);
    EXPECT_EQ(s.finishedSeconds, 10);
    EXPECT_EQ(U8(s.elapsed), "0:0:8");
    EXPECT_EQ(U8(s.remaining), "0:0:24");
    EXPECT_EQ(t.ElapsedTicks(), 8);  // no tick of its own

    // The run's end: nothing remains; the elapsed time is the real one.
    s = t.RunEnded(100, 40, 8.2);
    EXPECT_EQ(s.totalPercent, 100);
    EXPECT_EQ(s.finishedSeconds, 40);
    EXPECT_EQ(U8(s.remaining), "0:0:0");
    EXPECT_EQ(U8(s.elapsed), "0:0:9");
    // A run shorter than a tick still took time.
    t.Reset();
    EXPECT_EQ(U8(t.RunEnded(100, 1, 0.4).elapsed), "0:0:1");
    EXPECT_EQ(U8(t.RunEnded(0, 0, 0).elapsed), "0:0:0");
}

// A conversion whose progress stands still below 100% (a hang, a source
// read through gigabytes of nothing) was never stopped: the watchdog fired
// only at 100%.
TEST(BatchRules, TheWatchdogCatchesProgressThatStandsStill) {
    ProgressTicker t;
    ProgressReading r;
    r.duration = 100;
    r.progress = 5;
    r.converting = true;
    const int limit = ProgressTicker::kStallTicksToStop;
    // The first reading of a conversion is movement; then the count runs.
    for (int i = 0; i < limit; ++i) EXPECT_FALSE(t.Tick(r).conversionStalled) << i;
    EXPECT_TRUE(t.Tick(r).conversionStalled);
    // Movement, however small, starts the count again.
    for (int i = 0; i < limit - 1; ++i) t.Tick(r);
    r.progress += 0.04;
    EXPECT_FALSE(t.Tick(r).conversionStalled);
    for (int i = 0; i < limit - 1; ++i) EXPECT_FALSE(t.Tick(r).conversionStalled);
    EXPECT_TRUE(t.Tick(r).conversionStalled);
    // Between rows and while paused between them, nothing is stuck.
    r.converting = false;
    for (int i = 0; i < 3 * limit; ++i) EXPECT_FALSE(t.Tick(r).conversionStalled);
    // A conversion stuck before its first frame is caught as well.
    r.converting = true;
    r.progress = 0;
    bool stalled = false;
    for (int i = 0; i <= limit; ++i) stalled = t.Tick(r).conversionStalled;
    EXPECT_TRUE(stalled);
    // At 100% the full-bar rule stops it, as completed, not as stuck.
    t.Reset();
    r.progress = r.duration;
    for (int i = 0; i < 3 * limit; ++i) EXPECT_FALSE(t.Tick(r).conversionStalled);
}

TEST(BatchRules, SummaryAndAfterRunPlan) {
    EXPECT_EQ(U8(SummaryText(3, 1, 0, 1, 1)), "Total Files: 3   Done: 1   Remaining: 0   Skip: 1   Failed: 1");

    auto exists = [](const String& f) { return f == u"C:\\Out\\"; };
    AfterRunSettings s;
    AfterRunPlan p = PlanAfterRun(s, u"C:\\Out\\", exists);
    EXPECT_EQ(U8(p.openFolder), "");
    EXPECT_TRUE(p.beep);
    EXPECT_FALSE(p.exitProgram || p.powerOff);
    s.openDirectory = s.exitProgram = s.shutDown = true;
    s.soundDefault = false;
    s.customSound = u"C:\\ding.wav";
    p = PlanAfterRun(s, u"C:\\Out\\", exists);
    EXPECT_EQ(U8(p.openFolder), "C:\\Out\\");
    EXPECT_TRUE(p.exitProgram && p.powerOff);
    EXPECT_FALSE(p.beep);
    EXPECT_EQ(U8(p.soundFile), "C:\\ding.wav");
    // A folder that is gone, or no row reached, opens nothing.
    EXPECT_EQ(U8(PlanAfterRun(s, u"C:\\Gone\\", exists).openFolder), "");
    EXPECT_EQ(U8(PlanAfterRun(s, u"", exists).openFolder), "");
    s.playSound = false;
    p = PlanAfterRun(s, u"", exists);
    EXPECT_FALSE(p.beep);
    EXPECT_EQ(U8(p.soundFile), "");
}
