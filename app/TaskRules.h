// The task list's texts and rules without windows: a row's texts from a
// file's media facts, the recognised extensions, what a dragged explorer
// item stands for, and the main window's computed positions. Tested
// natively.
#pragma once

#include <cstdint>

#include "framework/forms/SysUtils.h"

namespace app {

using forms::String;

// What GetFileInfo answers about one file.
struct MediaFacts {
    double frameRate = 0.0;
    double duration = 0.0;  // seconds
    bool video = false;
    bool audio = false;
    int width = 0;
    int height = 0;
    int bitRate = 0;
};

// The sub-items of a task row after the folder (sub-items 1 to 7).
struct TaskRowTexts {
    String frameRate;    // "%2.2f"
    String duration;     // hours, minutes, seconds: "01:02:05"
    String videoStream;  // "Yes" or "No"
    String audioStream;
    String dimensions;   // "160 x 120"
    String bitRate;      // decimal, or "Unknown" below 1
    String seconds;      // the duration in whole seconds
};

TaskRowTexts RowTexts(const MediaFacts& facts);
String FrameRateText(double frameRate);
String DurationText(double duration);
// Rounded, halves to even; a length that is no number or beyond any real
// clip counts as 0.
long long DurationSeconds(double duration);
String BitRateText(int bitRate);

// A row's "Path": the file's folder without a trailing backslash, except
// for a drive root ("C:\").
String TaskFolderText(const String& path);
// The full path of a row from its folder and file name.
String TaskFilePath(const String& folder, const String& fileName);

// One of the nine recognised source extensions (compared lower-cased).
bool IsVideoExtension(const String& fileName);
// The flat folder listing's mask.
extern const char16_t* const kVideoFileMask;
// The Add Files dialog's filter.
extern const char16_t* const kAddFilesFilter;

// The explorer's file list shows a size text first for a file (it begins
// with a digit) and a blank for a folder or a drive.
bool IsFileListFileItem(const String& sizeText);
// The drive of a drive-view caption such as " (C:)  Local Disk": the two
// characters starting one before the first ":"; empty without one.
String DriveOfCaption(const String& caption);
// A folder (with or without a trailing backslash) joined with a name.
String JoinFolder(const String& folder, const String& name);

// The search panel is 500 x 120 pixels, placed over the main window.
struct PanelPlace {
    int left, top, width, height;
};
PanelPlace SearchPanelPlace(int formWidth, int formHeight);

// The explorer pane and the task list follow the two group boxes.
struct PaneLayout {
    int treeWidth, treeHeight;
    int listTop, listWidth, listHeight;
    int taskListWidth, taskListHeight;
};
// Widths always; the heights only on a resize (not on a splitter move).
PaneLayout ExplorerLayout(int explorerWidth, int explorerHeight, int taskWidth, int taskHeight, int treeTop);

}  // namespace app
