// What the yes/no query dialog writes to Option.ini when it closes with an
// answer, and how the tips window picks its tip from Tips.ini. No platform
// headers: tested natively.
#pragma once

#include <vector>

#include "framework/forms/IniFiles.h"

namespace app {

using forms::String;

// One Advanced key of Option.ini and its new value.
struct SettingWrite {
    String key;
    bool value;
};

// The query "AddAllFile" writes ShowQuery := not neverShow and, when it is
// not to be asked again, AlwaysYes := the answer given, so later folder
// adds do what the user chose. "WindowsMediaRuntime" writes
// QueryWindowsMediaRuntime := not neverShow. Other keys write nothing.
std::vector<SettingWrite> NeverShowWrites(const String& queryKey, bool neverShow, const String& answer);

// The name of the tips file in the program folder.
inline const char16_t* kTipsFileName = u"Tips.ini";

struct Tip {
    String title;
    String content;
};

// Count/Value: the number of tips; 0 when missing, not a number or negative.
int TipCount(forms::TIniFile& ini);
// Section "number" (from 1): its Title and Content, or "No title
// available." and "No content available." for what is missing. Each text
// is cut at kMaxTipText characters: the memo's edit control takes time
// growing with the square of the text, and a tip of a megabyte froze the
// start-up; no real tip comes near the limit.
constexpr size_t kMaxTipText = 4096;
Tip ReadTip(forms::TIniFile& ini, int number);
// The tip number a random value stands for: random mod count, plus 1.
int TipNumber(unsigned random, int count);

}  // namespace app
