// UTF-8 <-> UTF-16 conversion without any platform headers.
//
// Winelib builds use 2-byte WCHAR while glibc's wchar_t is 4 bytes, so all
// wide text in the project travels as char16_t / std::u16string and is
// converted here. Malformed input never throws: bad UTF-8 sequences and
// unpaired surrogates become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace core {

std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

// ASCII-only case folding, enough for identifiers, extensions and GUID text.
char16_t AsciiLower(char16_t c);
std::u16string AsciiLower(std::u16string_view text);
std::string AsciiLower(std::string_view text);
bool EqualsNoCaseAscii(std::u16string_view a, std::u16string_view b);

}  // namespace core
