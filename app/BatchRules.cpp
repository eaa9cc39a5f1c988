#include "app/BatchRules.h"

#include <algorithm>
#include <cmath>

#include "framework/forms/Rounding.h"

namespace app {

using forms::IntToStr;
using forms::Round;

// ---- Output paths -------------------------------------------------------------------

String OutputFormatText(OutputKind kind) {
    switch (kind) {
    case OutputKind::Avi: return u"AVI";
    case OutputKind::Mpeg: return u"MPG";
    case OutputKind::Wmv: break;
    }
    return u"WMV";
}

String OutputFolderFor(OutputFolderChoice choice, const String& programFolder, const String& sourceFolder,
                       const String& customFolder) {
    switch (choice) {
    case OutputFolderChoice::Default: return forms::IncludeTrailingBackslash(programFolder);
    case OutputFolderChoice::Source: return forms::IncludeTrailingBackslash(sourceFolder);
    case OutputFolderChoice::Custom: break;
    }
    // A blank custom folder would put every output at the root of the
    // current drive; it stays empty and the run reports it.
    if (forms::Trim(customFolder).empty()) return String();
    return forms::IncludeTrailingBackslash(customFolder);
}

String BaseName(const String& fileName) {
    const String name = forms::ExtractFileName(fileName);
    const String ext = forms::ExtractFileExt(name);
    return name.substr(0, name.size() - ext.size());
}

String OutputPathFor(const String& outputFolder, const String& sourceFileName, OutputKind kind) {
    return outputFolder + BaseName(sourceFileName) + u"." + forms::LowerCase(OutputFormatText(kind));
}

String SourceFormatText(const String& sourceFileName) {
    const String ext = forms::ExtractFileExt(sourceFileName);
    return forms::UpperCase(ext.empty() ? ext : ext.substr(1));
}

namespace {

// The path's steps, lower-cased, with "." dropped and ".." taking the step
// before it away.
std::vector<String> PathSteps(const String& path) {
    std::vector<String> steps;
    String step;
    auto flush = [&] {
        if (step == u"..") {
            if (!steps.empty()) steps.pop_back();
        } else if (!step.empty() && step != u".") {
            steps.push_back(forms::LowerCase(step));
        }
        step.clear();
    };
    for (char16_t c : path) {
        if (c == u'\\' || c == u'/') flush();
        else step += c;
    }
    flush();
    return steps;
}

}  // namespace

bool SamePath(const String& a, const String& b) { return !a.empty() && PathSteps(a) == PathSteps(b); }

// ---- When the output exists -----------------------------------------------------------

String RenamedFileName(const String& rule, const String& baseName, const String& extension) {
    const size_t percent = rule.find(u'%');
    const String prefix = percent == String::npos ? String() : rule.substr(0, percent);
    const String suffix = percent == String::npos ? rule : rule.substr(percent + 1);
    return prefix + baseName + suffix + u"." + extension;
}

String FreeRenamedFileName(const String& rule, const String& fileName, const String& folder,
                           const std::function<bool(const String& path)>& exists) {
    const String ext = forms::ExtractFileExt(fileName);
    const String extension = ext.empty() ? ext : ext.substr(1);
    String base = BaseName(fileName);
    for (int i = 0; i < kMaxRenames; ++i) {
        const String name = RenamedFileName(rule, base, extension);
        // A rule that leaves the name as it was ("%") can never free it; one
        // with a separator or a character no file name holds would write
        // somewhere else or nowhere.
        if (SamePath(name, base + u"." + extension)) return String();
        if (name.find_first_of(u"\\/:*?\"<>|") != String::npos) return String();
        if (!exists(folder + name)) return name;
        base = BaseName(name);
    }
    return String();
}

// ---- The control's properties ------------------------------------------------------------

bool MpegOutputFormat(int comboIndex, int& outputFormat) {
    // mediaMPG1, mediaVCD_NTSC, mediaVCD_PAL, mediaMPG2, mediaSVCD_NTSC,
    // mediaSVCD_PAL, mediaDVD_NTSC, mediaDVD_PAL: the combo's order.
    static const int kFormats[] = {2, 5, 4, 3, 7, 6, 9, 8};
    if (comboIndex < 0 || comboIndex >= 8) return false;
    outputFormat = kFormats[comboIndex];
    return true;
}

bool OutputDimension(const String& text, int& value) {
    if (forms::LowerCase(text) == u"source") {
        value = 0;
        return true;
    }
    int v = 0;
    if (!forms::TryStrToInt(text, v) || v < 0) return false;
    value = v;
    return true;
}

// ---- Progress ---------------------------------------------------------------------------

namespace {

int Percent(double value) {
    if (!std::isfinite(value) || value <= 0) return 0;
    if (value >= 100) return 100;
    return static_cast<int>(Round(value));
}

}  // namespace

int CurrentPercent(double progress, double duration) {
    if (!(duration > 0) || !std::isfinite(duration)) return 0;
    return Percent(progress / duration * 100);
}

int TotalPercent(int currentPercent, int currentSeconds, int finishedSeconds, int totalSeconds) {
    if (totalSeconds == 0) return 0;
    const double done = static_cast<double>(currentPercent) * currentSeconds / 100 + finishedSeconds;
    return Percent(done / totalSeconds * 100);
}

int FinishedSecondsOf(int totalPercent, int totalSeconds) {
    return static_cast<int>(Round(static_cast<double>(totalPercent) * totalSeconds / 100));
}

int RemainingSeconds(int elapsedTicks, int totalPercent) {
    if (totalPercent <= 0) return 0;
    return static_cast<int>(Round(static_cast<double>(elapsedTicks) / totalPercent * (100 - totalPercent)));
}

String ClockText(int seconds) {
    if (seconds < 0) seconds = 0;
    return IntToStr(seconds / 3600) + u":" + IntToStr(seconds % 3600 / 60) + u":" + IntToStr(seconds % 60);
}

void ProgressTicker::Reset() {
    m_elapsedTicks = 0;
    m_fullTicks = 0;
    m_stallTicks = 0;
    m_lastProgress = -1;
    m_remainingSeconds = 0;
}

ProgressShown ProgressTicker::Tick(const ProgressReading& r) {
    ProgressShown s;
    s.currentPercent = CurrentPercent(r.progress, r.duration);
    s.totalPercent = TotalPercent(s.currentPercent, r.currentSeconds, r.finishedSeconds, r.totalSeconds);
    s.finishedSeconds = FinishedSecondsOf(s.totalPercent, r.totalSeconds);
    if (s.currentPercent == 100) {
        if (++m_fullTicks >= kFullTicksToStop) {
            s.stopConversion = true;
            m_fullTicks = 0;
        }
    } else {
        m_fullTicks = 0;
    }
    // Any change counts as movement: a value that drops is the next row's.
    if (!r.converting || s.currentPercent == 100 || r.progress != m_lastProgress) {
        m_stallTicks = 0;
        m_lastProgress = r.converting ? r.progress : -1;
    } else if (++m_stallTicks >= kStallTicksToStop) {
        s.conversionStalled = true;
        m_stallTicks = 0;
    }
    ++m_elapsedTicks;
    if (s.totalPercent != 0) m_remainingSeconds = RemainingSeconds(m_elapsedTicks, s.totalPercent);
    s.elapsed = ClockText(m_elapsedTicks);
    s.remaining = ClockText(m_remainingSeconds);
    return s;
}

ProgressShown ProgressTicker::FileDone(const ProgressReading& r) const {
    ProgressShown s;
    s.currentPercent = 100;
    s.totalPercent = TotalPercent(0, 0, r.finishedSeconds, r.totalSeconds);
    s.finishedSeconds = FinishedSecondsOf(s.totalPercent, r.totalSeconds);
    s.elapsed = ClockText(m_elapsedTicks);
    s.remaining = ClockText(s.totalPercent != 0 ? RemainingSeconds(m_elapsedTicks, s.totalPercent) : m_remainingSeconds);
    return s;
}

ProgressShown ProgressTicker::RunEnded(int totalPercent, int totalSeconds, double runSeconds) const {
    ProgressShown s;
    s.totalPercent = totalPercent;
    s.finishedSeconds = FinishedSecondsOf(totalPercent, totalSeconds);
    const int real = std::isfinite(runSeconds) && runSeconds > 0 ? static_cast<int>(std::ceil(runSeconds)) : 0;
    s.elapsed = ClockText(std::max(m_elapsedTicks, real));
    s.remaining = ClockText(0);
    return s;
}

// ---- Texts ------------------------------------------------------------------------------

String SummaryText(int total, int done, int remaining, int skip, int failed) {
    return u"Total Files: " + IntToStr(total) + u"   Done: " + IntToStr(done) + u"   Remaining: " +
           IntToStr(remaining) + u"   Skip: " + IntToStr(skip) + u"   Failed: " + IntToStr(failed);
}

// ---- After the run ----------------------------------------------------------------------

AfterRunPlan PlanAfterRun(const AfterRunSettings& s, const String& lastOutputFolder,
                          const std::function<bool(const String& folder)>& folderExists) {
    AfterRunPlan plan;
    if (s.openDirectory && !lastOutputFolder.empty() && folderExists(lastOutputFolder))
        plan.openFolder = lastOutputFolder;
    plan.exitProgram = s.exitProgram;
    plan.powerOff = s.shutDown;
    if (s.playSound) {
        if (s.soundDefault) plan.beep = true;
        else plan.soundFile = s.customSound;
    }
    return plan;
}

}  // namespace app
