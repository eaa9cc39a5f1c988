// Texts and paths of the explorer pane: sizes, attribute letters, drive
// captions and types, date and time patterns, path joins and trims. No
// platform headers.
#pragma once

#include <cstdint>
#include <vector>

#include "framework/forms/SysUtils.h"

namespace shellbrowse {

using forms::String;

// A file's size in whole KB, at least 1 KB for any non-empty file: "0 KB",
// "1 KB", "1024 KB". Sizes are 64-bit: files of 2 GiB and more show their
// real size, never a negative one (the task list takes an item whose size
// text starts with a digit for a file).
String SizeText(std::uint64_t bytes);
// One blank for a kind "DIR" (any case), else the size text.
String SizeText(std::uint64_t bytes, const String& kind);
// The KB count of a size text ("3145728 KB" gives 3145728); 0 for a
// folder's blank or anything without a number before its "K".
std::int64_t SizeTextKB(const String& sizeText);

// "A" archive, "R" read-only, "H" hidden, "S" system, in that order.
String AttrText(std::uint32_t attributes);

// A double-NUL-terminated list of one name, as the shell's file operation
// takes it: S followed by one NUL unless it already ends in one; empty
// stays empty.
String AddTrailingNul(const String& s);
bool ContainsAnyChar(const String& chars, const String& s);
// The fourteen characters a folder name may not hold.
extern const char16_t* const kInvalidNameChars;

// Folder, a backslash unless it ends in one, and name. An empty folder
// gives the name; an empty name gives the folder as it is.
String JoinPath(const String& folder, const String& name);
// A "\" added unless S ends in one; empty stays empty.
String IncludeTrailingSlash(const String& s);
// One trailing "\" removed.
String ExcludeTrailingSlash(const String& s);
// The file name of a path without its trailing extension ("a.txt.b.txt"
// gives "a.txt.b"; a name without a dot stays whole).
String NameWithoutExt(const String& path);
// The components of a folder path, each with its trailing "\":
// "C:\Data\Music\" gives "C:\", "Data\", "Music\". A part after the last
// "\" is left out.
std::vector<String> PathComponents(const String& path);

// A drive's caption in the folder tree and the drive list:
// " (" + letter + ":)  " + the shell display name up to its first "("
// (nothing of it when it holds none).
String DriveCaption(char16_t letter, const String& displayName);
// The drive of such a caption or of a node path: its first "X:" (the
// character before the first colon and the colon); empty without one.
String DriveOfText(const String& text);

// GetDriveType's answer as the drive list shows it.
String DriveTypeText(unsigned driveType);
// A disk size in KB as the drive list shows it: KB / 1000 with thousands
// separators, then " Mb" ("0 Mb" below 1 KB).
String DiskSizeText(std::int64_t kb);

// The file list's date and time patterns.
enum class TDtFormat {
    df_MMddyyyy,
    df_MMddyy,
    df_ddMMyyyy,
    df_ddMMyy_GB,
    df_ddMMyy_DE,
    df_ddMMyy_IT,
    df_yyyyMMdd,
    df_yyMMdd,
    df_Customize,
};
enum class TTmFormat { tfLongFormat, tfShortFormat, tfCustomize };
// df_Customize takes the locale's short date pattern.
String DatePattern(TDtFormat format, const String& localeShortDate);
// tfCustomize: the locale's time pattern cut before its first "t", then
// " AM/PM".
String TimePattern(TTmFormat format, const forms::TFormatSettings& settings, const String& localeTimeFormat);

// A file time (UTC, 100-ns units since 1601) as a decimal float text, the
// date number the list sorts by.
String DateNumberText(std::uint64_t fileTime);

}  // namespace shellbrowse
