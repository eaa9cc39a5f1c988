#include "app/TaskRules.h"

#include <cmath>
#include <cstdio>

#include "framework/forms/Rounding.h"

namespace app {

using forms::Round;

const char16_t* const kVideoFileMask = u"*.avi;*.MP2;*.MP2V;*.MPA;*.MPE;*.MPEG;*.MPG;*.MPV2;*.wmv";
const char16_t* const kAddFilesFilter =
    u"All Support Files (*.AVI;*.MPEG;*.MPG;*.WMV;*.MP2;*.MP2V;*.MPA;*.MPG;*.MPV2;)|"
    u"*.AVI;*.MPEG;*.MPG;*.WMV;*.MP2;*.MP2V;*.MPA;*.MPG;*.MPV2;|"
    u"AVI Files (*.AVI)|*.AVI|"
    u"MPEG Files (*.MPEG;*.MPG;*.MP2;*.MP2V;*.MPA;*.MPG;*.MPV2)|*.MPEG;*.MPG;*.MP2;*.MP2V;*.MPA;*.MPG;*.MPV2;|"
    u"WMV Files (*.WMV)|*.WMV|"
    u"All Files (*.*)|*.*";

namespace {

String Ascii(const char* text) { return forms::Utf8ToText(text); }

// Longer than any clip; keeps the rounding inside 64 bits.
constexpr double kLongestDuration = 1e12;

double SaneDuration(double d) { return std::isfinite(d) && std::fabs(d) < kLongestDuration ? d : 0.0; }

}  // namespace

String FrameRateText(double frameRate) {
    char text[64];
    std::snprintf(text, sizeof text, "%2.2f", std::isfinite(frameRate) ? frameRate : 0.0);
    return Ascii(text);
}

long long DurationSeconds(double duration) { return Round(SaneDuration(duration)); }

String DurationText(double duration) {
    duration = SaneDuration(duration);
    const long long hours = Round(duration) / 3600;
    if (hours > 0) duration -= static_cast<double>(hours) * 3600;
    const long long minutes = Round(duration) / 60;
    if (minutes > 0) duration -= static_cast<double>(minutes) * 60;
    const long long seconds = Round(duration);
    char text[96];
    std::snprintf(text, sizeof text, "%.2lld:%.2lld:%.2lld", hours, minutes, seconds);
    return Ascii(text);
}

String BitRateText(int bitRate) { return bitRate < 1 ? String(u"Unknown") : forms::IntToStr(bitRate); }

TaskRowTexts RowTexts(const MediaFacts& f) {
    TaskRowTexts t;
    t.frameRate = FrameRateText(f.frameRate);
    t.duration = DurationText(f.duration);
    t.videoStream = f.video ? u"Yes" : u"No";
    t.audioStream = f.audio ? u"Yes" : u"No";
    t.dimensions = forms::IntToStr(f.width) + u" x " + forms::IntToStr(f.height);
    t.bitRate = BitRateText(f.bitRate);
    t.seconds = forms::IntToStr(DurationSeconds(f.duration));
    return t;
}

String TaskFolderText(const String& path) {
    const String folder = forms::ExtractFilePath(path);
    // "C:\" keeps its backslash; every other folder loses it.
    if (folder.size() == 3 && folder[1] == u':') return folder;
    return forms::ExcludeTrailingBackslash(folder);
}

String TaskFilePath(const String& folder, const String& fileName) {
    return forms::IncludeTrailingBackslash(folder) + fileName;
}

bool IsVideoExtension(const String& fileName) {
    static const char16_t* const kExtensions[] = {u".avi", u".mp2",  u".mp2v", u".mpa", u".mpe",
                                                  u".mpeg", u".mpg", u".mpv2", u".wmv"};
    const String ext = forms::LowerCase(forms::ExtractFileExt(fileName));
    for (const char16_t* e : kExtensions)
        if (ext == e) return true;
    return false;
}

bool IsFileListFileItem(const String& sizeText) {
    return !sizeText.empty() && sizeText[0] >= u'0' && sizeText[0] <= u'9';
}

String DriveOfCaption(const String& caption) {
    const size_t colon = caption.find(u':');
    if (colon == String::npos || colon == 0) return String();
    return caption.substr(colon - 1, 2);
}

String JoinFolder(const String& folder, const String& name) {
    return forms::ExcludeTrailingBackslash(folder) + u"\\" + name;
}

PanelPlace SearchPanelPlace(int formWidth, int formHeight) {
    PanelPlace p;
    p.width = 500;
    p.height = 120;
    p.top = static_cast<int>(Round((formHeight - 120) / 2.0 - 30));
    p.left = static_cast<int>(Round((formWidth - 500) / 2.0));
    return p;
}

PaneLayout ExplorerLayout(int explorerWidth, int explorerHeight, int taskWidth, int taskHeight, int treeTop) {
    PaneLayout l;
    l.treeWidth = explorerWidth - 22;
    l.listWidth = l.treeWidth;
    l.taskListWidth = taskWidth - 17;
    l.treeHeight = static_cast<int>(Round((explorerHeight - 37) / 2.0));
    l.listTop = treeTop + l.treeHeight + 9;
    l.listHeight = explorerHeight - l.treeHeight - 37;
    l.taskListHeight = taskHeight - 31;
    return l;
}

}  // namespace app
