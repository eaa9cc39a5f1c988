#include "framework/forms/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>

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

// ---- Dates, times and numbers ----------------------------------------------------------

TFormatSettings& FormatSettings() {
    static TFormatSettings settings;
    return settings;
}

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool StartsWithText(std::u16string_view text, size_t at, std::u16string_view word) {
    if (text.size() - at < word.size()) return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (Lower(text[at + i]) != word[i]) return false;
    return true;
}

String Digits(int value, int width) {
    String s = IntToStr(value);
    if (value >= 0 && s.size() < static_cast<size_t>(width)) s.insert(0, static_cast<size_t>(width) - s.size(), u'0');
    return s;
}

}  // namespace

String FormatDateTime(std::u16string_view pattern, const TDateTimeParts& t, const TFormatSettings& fs) {
    bool twelveHour = false;
    for (size_t i = 0; i < pattern.size() && !twelveHour; ++i)
        twelveHour = StartsWithText(pattern, i, u"am/pm") || StartsWithText(pattern, i, u"ampm");
    String out;
    bool afterHour = false;
    size_t i = 0;
    while (i < pattern.size()) {
        const char16_t c = pattern[i];
        if (c == u'\'' || c == u'"') {
            const size_t close = pattern.find(c, i + 1);
            const size_t end = close == std::u16string_view::npos ? pattern.size() : close;
            out.append(pattern.substr(i + 1, end - i - 1));
            i = end + 1;
            continue;
        }
        if (StartsWithText(pattern, i, u"am/pm")) {
            const bool lower = c == u'a';
            out += t.Hour < 12 ? (lower ? u"am" : u"AM") : (lower ? u"pm" : u"PM");
            i += 5;
            continue;
        }
        if (StartsWithText(pattern, i, u"ampm")) {
            out += t.Hour < 12 ? fs.TimeAMString : fs.TimePMString;
            i += 4;
            continue;
        }
        const char16_t letter = Lower(c);
        size_t run = 1;
        while (i + run < pattern.size() && Lower(pattern[i + run]) == letter) ++run;
        const int width = run >= 2 ? 2 : 1;
        switch (letter) {
        case u'y':
            out += run <= 2 ? Digits(t.Year % 100, 2) : Digits(t.Year, 4);
            afterHour = false;
            i += run;
            continue;
        case u'd':
            out += Digits(t.Day, width);
            break;
        case u'm':
            out += Digits(afterHour ? t.Minute : t.Month, width);
            break;
        case u'h': {
            int hour = t.Hour;
            if (twelveHour) hour = hour % 12 == 0 ? 12 : hour % 12;
            out += Digits(hour, width);
            afterHour = true;
            i += static_cast<size_t>(width);
            continue;
        }
        case u's':
            out += Digits(t.Second, width);
            break;
        default:
            out += c == u'/' ? fs.DateSeparator : c == u':' ? fs.TimeSeparator : c;
            ++i;
            continue;
        }
        afterHour = false;
        i += static_cast<size_t>(width);
    }
    return out;
}

String FloatToStr(double value, const TFormatSettings& fs) {
    if (std::isnan(value)) return u"NAN";
    if (std::isinf(value)) return value < 0 ? u"-INF" : u"INF";
    char buffer[64];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    const std::string text(buffer, r.ptr);
    String out;
    const size_t e = text.find('e');
    for (size_t i = 0; i < std::min(e, text.size()); ++i)
        out += text[i] == '.' ? fs.DecimalSeparator : static_cast<char16_t>(text[i]);
    if (e != std::string::npos) {
        // "e+17" and "e-05" become "E17" and "E-5".
        int exponent = 0;
        std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), exponent);
        out += u'E';
        out += IntToStr(exponent);
    }
    return out;
}

bool TryStrToFloat(std::u16string_view text, double& value, const TFormatSettings& fs) {
    const String trimmed = Trim(text);
    if (trimmed.empty()) return false;
    std::string ascii;
    for (char16_t c : trimmed) {
        if (c == fs.DecimalSeparator) c = u'.';
        if (c > 0x7F) return false;
        ascii += static_cast<char>(c);
    }
    const char* begin = ascii.data();
    if (*begin == '+') ++begin;
    double v = 0;
    const auto r = std::from_chars(begin, ascii.data() + ascii.size(), v);
    if (r.ec != std::errc() || r.ptr != ascii.data() + ascii.size()) return false;
    value = v;
    return true;
}

double StrToFloatDef(std::u16string_view text, double fallback) {
    double v;
    return TryStrToFloat(text, v) ? v : fallback;
}

}  // namespace forms
