// Bridges between Win32 wide text (2-byte WCHAR in winelib builds) and the
// project's std::u16string / UTF-8 text.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

#include "framework/core/Utf.h"

namespace com {

static_assert(sizeof(WCHAR) == sizeof(char16_t), "winelib builds use 2-byte WCHAR");

inline const WCHAR* W(const std::u16string& s) { return reinterpret_cast<const WCHAR*>(s.c_str()); }
inline const WCHAR* W(const char16_t* s) { return reinterpret_cast<const WCHAR*>(s); }
inline WCHAR* W(char16_t* s) { return reinterpret_cast<WCHAR*>(s); }

inline std::u16string U16(const WCHAR* s) {
    if (!s) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(s), static_cast<size_t>(lstrlenW(s)));
}
inline std::u16string U16(const WCHAR* s, size_t n) {
    return std::u16string(reinterpret_cast<const char16_t*>(s), n);
}
// A BSTR keeps its length in front; embedded nulls survive.
inline std::u16string U16FromBstr(BSTR s) {
    return s ? U16(s, SysStringLen(s)) : std::u16string();
}

inline std::string Utf8(const WCHAR* s) { return core::Utf16ToUtf8(U16(s)); }
inline std::u16string U16(std::string_view utf8) { return core::Utf8ToUtf16(utf8); }

// Text in the system ANSI code page, as some Win32 and DirectShow calls want it.
std::string ToAnsi(const std::u16string& text);
std::u16string FromAnsi(std::string_view text);

std::u16string GuidToString(REFGUID guid);  // "{XXXXXXXX-...}"

}  // namespace com
