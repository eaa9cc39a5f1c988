// The explorer commands' rules without windows: which list items a file
// operation may take, free names for new folders and shortcuts, the view
// programs, the tree size's texts, command-line quoting and the menu
// items' send-to numbers. No platform headers.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "framework/forms/SysUtils.h"

namespace shellbrowse {

using forms::String;

// Whether a file operation (cut, copy, delete, rename, send) may take a
// list item: files and folders of the shown folder, never the parent
// entry (its path is "<folder>\..", which names the folder above) and
// never a drive.
bool IsOperableItem(const String& caption, const String& fullPath, const String& kind);

// The first of base, base + "(2)", base + "(3)"... for which exists is
// false ("New Folder", "New Folder(2)").
String FreeFolderName(const String& base, const std::function<bool(const String&)>& exists);
// A shortcut's file in folder for name: name + ".lnk", else
// name + " (2).lnk", " (3).lnk"... whichever exists does not report.
String FreeLinkName(const String& folder, const String& name, const std::function<bool(const String&)>& exists);

// One argument of a command line: in double quotes, so that blanks stay
// inside it (file names hold no double quotes).
String QuoteArgument(const String& argument);

// The viewer of a file by its extension ("NotePad.exe", "Write.exe",
// "PBrush.exe"); empty when the extension has none.
String ViewProgramOf(const String& path);
// Whether "Clipboard as Contents" takes a file of this extension.
bool CanCopyContents(const String& path);

// Whether path is folder itself or lies below it (compared ignoring case,
// with folder + "\", so "C:\FooBar" is not below "C:\Foo").
bool IsInFolder(const String& path, const String& folder);

// The tree size's amount: whole KB (at least 1 KB for 1 to 1023 bytes) as
// "%.2n KB", or MB as "%.2n MB" above 99,999 KB.
String TreeSizeText(std::uint64_t bytes, char16_t decimalSeparator = u'.');
// "Drive C:\" for a drive root, else Folder "name".
String TreeSizeTitle(const String& start, bool drive);
String TreeSizeMessage(const String& title, std::uint64_t bytes, char16_t decimalSeparator = u'.');
// A number with "," between thousands and two decimals ("1,234.50").
String FormatThousands2(double value, char16_t decimalSeparator = u'.');

// The lines joined by CR LF, as text for the clipboard.
String JoinLines(const std::vector<String>& lines);

// The send-to number of a menu item's name: the number in its 8th and 9th
// characters after "Send_To"; -1 for other names.
int SendToNumber(const String& itemName);

}  // namespace shellbrowse
