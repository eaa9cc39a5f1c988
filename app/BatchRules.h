// The batch's rules without windows: where each output goes, what happens
// when it is already there, how the output settings become the control's
// properties, the progress formulas and the texts of the log. Tested
// natively.
#pragma once

#include <functional>
#include <vector>

#include "framework/forms/SysUtils.h"

namespace app {

using forms::String;

// ---- Output paths -------------------------------------------------------------------

enum class OutputFolderChoice { Default, Source, Custom };
enum class OutputKind { Avi, Mpeg, Wmv };

// "AVI", "MPG" or "WMV"; the output file's extension is its lower case.
String OutputFormatText(OutputKind kind);
// The folder outputs go to, with a trailing backslash.
String OutputFolderFor(OutputFolderChoice choice, const String& programFolder, const String& sourceFolder,
                       const String& customFolder);
// Folder + the source's base name + "." + the format in lower case.
String OutputPathFor(const String& outputFolder, const String& sourceFileName, OutputKind kind);
// The extension without the dot, upper-cased ("AVI", "MPG").
String SourceFormatText(const String& sourceFileName);
// The source's name without its extension and the dot.
String BaseName(const String& fileName);

// Whether two Windows paths name the same file: separators, doubled
// separators, "." and ".." steps and letter case do not matter.
bool SamePath(const String& a, const String& b);

// ---- When the output exists -----------------------------------------------------------

enum class CollisionPolicy { Skip, Query, AutoRename, Overwrite };

// The rule's text before its first "%", the base name, the text after it,
// then "." + extension. A rule without "%" is all suffix.
String RenamedFileName(const String& rule, const String& baseName, const String& extension);

// The first free name the rule gives, applying it again to its own result
// (clip, clip_copy, clip_copy_copy...) while that name is taken, at most
// kMaxRenames times. Empty when no free name was found, when the rule does
// not change the name, or when it gives a name no file can have (a
// separator or a character such as "?" in it).
constexpr int kMaxRenames = 100;
String FreeRenamedFileName(const String& rule, const String& fileName, const String& folder,
                           const std::function<bool(const String& path)>& exists);

// ---- The control's properties ------------------------------------------------------------

// The MPEG format combo's index as an OutputFormat value; false outside 0..7.
bool MpegOutputFormat(int comboIndex, int& outputFormat);
// A width, height or frame-rate text: "Source" in any case is 0, otherwise
// a whole number of 0 or more. False for anything else.
bool OutputDimension(const String& text, int& value);

// ---- Progress ---------------------------------------------------------------------------

// round(progress / duration x 100), 0 when the duration is not above 0;
// kept within 0..100 (a position read past the end is still 100%).
int CurrentPercent(double progress, double duration);
// round((current% x current seconds / 100 + finished seconds) / total x 100),
// 0 when the total is 0; at most 100.
int TotalPercent(int currentPercent, int currentSeconds, int finishedSeconds, int totalSeconds);
// round(total% x total seconds / 100).
int FinishedSecondsOf(int totalPercent, int totalSeconds);
// round(elapsed / total% x (100 - total%)); only for a total above 0.
int RemainingSeconds(int elapsedTicks, int totalPercent);
// Hours, minutes and seconds as plain decimals: 3725 gives "1:2:5".
String ClockText(int seconds);

// What the progress tick reads each second.
struct ProgressReading {
    double progress = 0;  // the control's Progress and Duration, seconds
    double duration = 0;
    int currentSeconds = 0;  // the run's CurrentSecondsValue, FinishedSecondsValue, TotalSecondsValue
    int finishedSeconds = 0;
    int totalSeconds = 0;
    bool converting = false;  // a conversion is running (the run's Busy)
};

// What the tick shows, and whether the watchdog ends the conversion.
struct ProgressShown {
    int currentPercent = 0;
    int totalPercent = 0;
    int finishedSeconds = 0;
    String elapsed;    // "h:m:s"
    String remaining;  // "h:m:s"
    bool stopConversion = false;
    // Progress below 100% stood still for kStallTicksToStop ticks of a
    // running conversion: it is stuck, and ends as failed.
    bool conversionStalled = false;
};

// The once-a-second progress tick: elapsed ticks (which go on while the
// batch is paused), the remaining time and the watchdog that stops a
// conversion whose bar has stood at 100% for kFullTicksToStop ticks, or
// whose progress has not moved for kStallTicksToStop ticks.
class ProgressTicker {
public:
    static constexpr int kFullTicksToStop = 30;
    static constexpr int kStallTicksToStop = 60;

    void Reset();
    ProgressShown Tick(const ProgressReading& r);
    // The figures when a file has been converted, without waiting for the
    // next tick: its bar full, the total from the finished seconds (which
    // count the file), the remaining time from the ticks so far.
    ProgressShown FileDone(const ProgressReading& r) const;
    // The figures when the run has ended: nothing remains, and the elapsed
    // time is the run's real length in whole seconds rounded up, so that a
    // run shorter than a tick still shows the second it took.
    ProgressShown RunEnded(int totalPercent, int totalSeconds, double runSeconds) const;

    int ElapsedTicks() const { return m_elapsedTicks; }
    int FullTicks() const { return m_fullTicks; }
    int RemainingSecondsValue() const { return m_remainingSeconds; }

private:
    int m_elapsedTicks = 0;
    int m_fullTicks = 0;
    int m_stallTicks = 0;
    double m_lastProgress = -1;  // of the running conversion; -1 before its first tick
    int m_remainingSeconds = 0;
};

// ---- Texts ------------------------------------------------------------------------------

// "Total Files: 3   Done: 2   Remaining: 0   Skip: 1   Failed: 0".
String SummaryText(int total, int done, int remaining, int skip, int failed);

// The log's colours as the framework's colour values (blue in the high byte).
enum class LogColour : unsigned {
    Blue = 0xFF0000,
    Orange = 0x0080FF,
    Green = 0x008000,
    Red = 0x0000FF,
    Navy = 0x800000,
    White = 0xFFFFFF,
};

// ---- After the run ----------------------------------------------------------------------

struct AfterRunSettings {
    bool openDirectory = false;
    bool exitProgram = false;
    bool shutDown = false;
    bool playSound = true;
    bool soundDefault = true;
    String customSound;
};

// What to do after the last row, in this order.
struct AfterRunPlan {
    String openFolder;  // empty: nothing to open
    bool exitProgram = false;
    bool powerOff = false;
    bool beep = false;
    String soundFile;  // empty: no custom sound
};
AfterRunPlan PlanAfterRun(const AfterRunSettings& s, const String& lastOutputFolder,
                          const std::function<bool(const String& folder)>& folderExists);

}  // namespace app
