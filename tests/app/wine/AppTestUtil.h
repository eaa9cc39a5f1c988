// Helpers for the tests of the program's windows: scratch folders on the
// Unix side (reached through drive Z:), generated clips, the program's
// windows built in their order, the task list read through its messages,
// and a hand for the shell's folder browser.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "framework/forms/Forms.h"
#include "tests/framework/wine/FormsTestUtil.h"
#include "tools/clipgen/ClipWriter.h"

namespace at {

using forms::String;

// A fresh folder in the run's scratch folder (CORVANE_SCRATCH, else /tmp),
// removed with everything in it (links are removed, never followed).
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& tag);
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::string& Unix() const { return m_unix; }
    // The folder as Windows sees it, without a trailing backslash.
    String Windows() const;
    std::string UnixPath(const std::string& relative) const { return m_unix + "/" + relative; }
    String WindowsPath(const std::string& relative) const;

    void MakeFolder(const std::string& relative) const;
    void WriteFile(const std::string& relative, const std::string& bytes) const;
    // A Unix symbolic link at relative pointing at target (as written).
    void Link(const std::string& relative, const std::string& target) const;
    void Copy(const std::string& from, const std::string& to) const;

private:
    std::string m_unix;
};

// A drive of the prefix while it exists, defined through the mount
// manager as the prefix's configuration tool does: the drive list knows
// it at once (a bare link in dosdevices is not listed), with its type. A
// removable drive whose folder is missing is a drive without its medium.
class DriveLink {
public:
    DriveLink(char16_t letter, const std::string& unixFolder, UINT type = DRIVE_FIXED);
    ~DriveLink();
    DriveLink(const DriveLink&) = delete;
    DriveLink& operator=(const DriveLink&) = delete;

private:
    bool Define(const std::string& unixFolder, UINT type);
    char16_t m_letter;
};

String WindowsPathOf(const std::string& unixPath);
std::string ReadUnixFile(const std::string& path);

// Writes a clip, reporting a failure to the test.
bool MakeClip(const std::string& unixPath, const clipgen::ClipSpec& desc);

// True when the media detector that GetFileInfo uses is the project's own
// stand-in (registered by mediaplat.dll); Wine's own misses streams and
// lengths, so the checks of exact media facts wait for it.
bool StandInMediaDetector();

// The program's windows, built as the program builds them, inside a test
// application; the settings file lives in a scratch program folder. Its
// skin choice is applied before the main window shows: "None" (Wine's own
// drawing, which the window tests look at) unless a test asks for a skin;
// an empty choice writes none (the program's default).
class ProgramWindows {
public:
    explicit ProgramWindows(const std::string& tag, const std::string& skin = "None");
    ~ProgramWindows();
    std::vector<std::string>& Errors() { return m_app.Errors; }
    ScratchFolder& Folder() { return m_folder; }
    // Writes Option.ini; without a [Skin] section of its own the text gets
    // the test's skin choice.
    void WriteOptions(const std::string& text) const;
    std::string ReadOptions() const;

private:
    ScratchFolder m_folder;
    std::string m_skin;
    ft::TestApp m_app;
};

// The task list, read through list-view messages.
int RowCount();
String RowText(int row, int column);  // column 0 is the file name
std::vector<String> Row(int row);     // the name and the eight sub-items (the last has no column)
std::vector<String> FileNames();
void SelectRow(int row, bool only = true);
// A click on a tool button of the main window, at its place on the bar.
void ClickToolButton(forms::TControl* button);

// Answers the shell's folder browser when it comes up: waits until its
// tree's caret is on the preset folder (when one is given; a minute at
// most, then it fails the test and presses Cancel), runs inspect (if any)
// on the open dialog, then presses OK (or Cancel).
class FolderBrowserHand {
public:
    FolderBrowserHand(bool ok, const String& preset, std::function<void(HWND dialog)> inspect = {});
    ~FolderBrowserHand();
    bool Seen() const;
};

// Runs action every few milliseconds while messages are pumped, until it
// returns true.
class Repeater {
public:
    explicit Repeater(std::function<bool()> action, UINT intervalMs = 5);
    ~Repeater();

private:
    UINT_PTR m_timer;
};

HWND FindChildByClass(HWND parent, const WCHAR* className);
// The text of a tree view's item; empty for none.
String TreeItemText(HWND tree, HTREEITEM item);

}  // namespace at
