#include "framework/forms/SysUtils.h"

#include <climits>

#include "framework/core/Utf.h"

namespace forms {

Exception::Exception(const String& message) : std::runtime_error(core::Utf16ToUtf8(message)) {}

String Exception::Message() const { return core::Utf8ToUtf16(what()); }

String IntToStr(long long value) {
    const std::string s = std::to_string(value);
    return String(s.begin(), s.end());
}

bool TryStrToInt(std::u16string_view text, int& value) {
    size_t i = 0;
    while (i < text.size() && text[i] == u' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && text[i] == u'$') {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i >= text.size()) return false;
    long long magnitude = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i];
        int digit;
        if (c >= u'0' && c <= u'9') digit = c - u'0';
        else if (base == 16 && c >= u'a' && c <= u'f') digit = c - u'a' + 10;
        else if (base == 16 && c >= u'A' && c <= u'F') digit = c - u'A' + 10;
        else return false;
        magnitude = magnitude * base + digit;
        // Hexadecimal text may spell a negative 32-bit pattern.
        const long long limit = base == 16 ? 0xFFFFFFFFLL : (negative ? -static_cast<long long>(INT_MIN) : INT_MAX);
        if (magnitude > limit) return false;
    }
    long long v = negative ? -magnitude : magnitude;
    if (base == 16 && !negative && v > INT_MAX) v -= 0x100000000LL;
    if (v < INT_MIN || v > INT_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

int StrToIntDef(std::u16string_view text, int fallback) {
    int v;
    return TryStrToInt(text, v) ? v : fallback;
}

int StrToInt(std::u16string_view text) {
    int v;
    if (!TryStrToInt(text, v))
        throw EConvertError("'" + core::Utf16ToUtf8(text) + "' is not a valid integer value");
    return v;
}

String Trim(std::u16string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && text[b] <= u' ') ++b;
    while (e > b && text[e - 1] <= u' ') --e;
    return String(text.substr(b, e - b));
}

String LowerCase(std::u16string_view text) { return core::AsciiLower(text); }

String UpperCase(std::u16string_view text) {
    String s(text);
    for (auto& c : s)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return s;
}

bool SameText(std::u16string_view a, std::u16string_view b) { return core::EqualsNoCaseAscii(a, b); }

int CompareText(std::u16string_view a, std::u16string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const char16_t x = core::AsciiLower(a[i]), y = core::AsciiLower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

String Utf8ToText(std::string_view utf8) { return core::Utf8ToUtf16(utf8); }
std::string TextToUtf8(std::u16string_view text) { return core::Utf16ToUtf8(text); }

namespace {
bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/' || c == u':'; }
size_t NameStart(std::u16string_view path) {
    size_t i = path.size();
    while (i > 0 && !IsSeparator(path[i - 1])) --i;
    return i;
}
}  // namespace

String ExtractFileName(std::u16string_view path) { return String(path.substr(NameStart(path))); }
String ExtractFilePath(std::u16string_view path) { return String(path.substr(0, NameStart(path))); }

String ExtractFileExt(std::u16string_view path) {
    const size_t start = NameStart(path);
    const size_t dot = path.rfind(u'.');
    if (dot == std::u16string_view::npos || dot < start) return {};
    return String(path.substr(dot));
}

String IncludeTrailingBackslash(std::u16string_view path) {
    String s(path);
    if (s.empty() || s.back() != u'\\') s += u'\\';
    return s;
}

String ExcludeTrailingBackslash(std::u16string_view path) {
    String s(path);
    if (!s.empty() && s.back() == u'\\') s.pop_back();
    return s;
}

}  // namespace forms
