// The shell routines the folder tree, the folder combo and the file list
// share: shell execution and file operations, the folder browser, drive
// tests and sizes, file times and icons, the properties sheet. All run on
// the GUI thread and report problems in message boxes; none raises.
//
// The message boxes, the warning beep and the shell's file operation go
// through ShellHooks(), which tests replace to record what the user would
// be told and to keep the shell's confirmations away.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>

#include "framework/forms/SysUtils.h"
#include "shellbrowse/ShellText.h"

namespace shellbrowse {

struct TShellHooks {
    // A modal message box; returns the button pressed (IDOK, IDYES...).
    std::function<int(const String& text, const String& caption, UINT flags)> MessageBox;
    std::function<void(UINT type)> Beep;
    // SHFileOperation: 0 on success.
    std::function<int(SHFILEOPSTRUCTW& op)> FileOperation;
    // ShellExecute with the application window as parent: above 32 on
    // success.
    std::function<INT_PTR(const String& verb, const String& file, const String& parameters,
                          const String& directory, int showCmd)>
        Execute;
    // The network-drive dialogs (WNetConnectionDialog and
    // WNetDisconnectDialog): NO_ERROR, a cancel (-1) or an error code.
    std::function<DWORD(HWND owner, DWORD type)> NetConnectDialog;
    std::function<DWORD(HWND owner, DWORD type)> NetDisconnectDialog;
};
// The hooks in force; each starts as the system's own.
TShellHooks& ShellHooks();
// The system's own hooks, for a test that wraps one of them.
TShellHooks SystemShellHooks();

// The kinds of message box the explorer shows, each with its caption and
// icon: "Error", "Warning", "Information", "Confirm" (Yes and No).
enum class TMsgKind { mkError, mkWarning, mkInformation, mkConfirmation };
int ShowShellMessage(TMsgKind kind, const String& text);
void ErrorBeep();

// ShellExecute with the application window as parent; a result of 32 or
// less shows "ERROR - Can't <verb> file  <name>". Returns ShellExecute's
// result.
INT_PTR ShellOpen(const String& verb, const String& fileName, const String& parameters, const String& directory,
                  int showCmd);
// One shell file operation (FO_MOVE, FO_COPY, FO_DELETE, FO_RENAME) from
// one name to another, undo allowed; the shell shows its own
// confirmations, progress and errors. True when it ran and nothing was
// aborted. The window argument is not used: the active window owns the
// shell's dialogs.
bool ShellFileOperation(HWND window, UINT operation, const String& from, const String& to, bool* aborted = nullptr);
// The shell's folder browser ("Please specify a directory"); the chosen
// folder's path with a trailing "\".
bool BrowseFolder(HWND owner, String& path);

// Size and free space in KB of the drive whose letter begins path; -1
// when the drive cannot be asked. 64-bit: today's disks hold more than
// 2 TB.
std::int64_t DriveSizeKB(const String& path);
std::int64_t DriveFreeKB(const String& path);
// Whether the drive can be read, asked with critical-error boxes off. Not
// ready: with showMessage, a beep and "There is no disk in Drive ...".
bool DriveReady(char16_t letter, bool showMessage);
// GetDriveType of a letter's root.
UINT DriveTypeOf(char16_t letter);

// The last-write time in local time, formatted with the date pattern, a
// blank and the time pattern.
String FileTimeText(const FILETIME& fileTime, const String& datePattern, const String& timePattern);
// True, after saying so ("\"name\" already exists !"), when the path exists.
bool ConfirmNotExists(const String& path);
bool DirectoryExists(const String& path);

// The system small-icon list's index of a path's icon and open icon.
int SmallIconIndex(const String& path);
int OpenIconIndex(const String& path);
// The small icon (or open icon) the shell shows for a folder as such.
int FolderIconIndex(bool open);
// The system image lists (16 x 16 and the shell's large size).
HIMAGELIST SystemSmallImages();
HIMAGELIST SystemLargeImages();
// The upper case of a text by the user's locale.
String LocaleUpperCase(const String& text);

// The shell's properties sheet of a path; a failure is reported in words
// for the error codes that have them. Where the shell has no sheet (it
// fails without such a code, as Wine's does), a box of our own tells the
// name, type, place, size, dates and attributes.
void ShowProperties(const String& path);
// The text of that box ("Name:  ...\rType:  ..."); empty when the path
// cannot be read.
String PropertiesText(const String& path);

// Turns a window's cursor into the hourglass for the life of the object.
class THourGlass {
public:
    THourGlass();
    ~THourGlass();
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;

private:
    HCURSOR m_saved;
};

}  // namespace shellbrowse
