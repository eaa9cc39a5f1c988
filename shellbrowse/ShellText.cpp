#include "shellbrowse/ShellText.h"

namespace shellbrowse {

using forms::IntToStr;
using forms::UpperCase;

String SizeText(std::uint64_t bytes) {
    if (bytes > 0 && bytes < 1024) bytes = 1024;
    return IntToStr(static_cast<long long>(bytes / 1024)) + u" KB";
}

String SizeText(std::uint64_t bytes, const String& kind) {
    if (UpperCase(kind) == u"DIR") return u" ";
    return SizeText(bytes);
}

std::int64_t SizeTextKB(const String& sizeText) {
    const size_t k = sizeText.find(u'K');
    if (k == String::npos || k == 0) return 0;
    const String number = forms::Trim(std::u16string_view(sizeText).substr(0, k - 1));
    std::int64_t value = 0;
    if (number.empty()) return 0;
    for (char16_t c : number) {
        if (c < u'0' || c > u'9') return 0;
        value = value * 10 + (c - u'0');
    }
    return value;
}

String AttrText(std::uint32_t attributes) {
    String s;
    if (attributes & 0x20) s += u'A';
    if (attributes & 0x01) s += u'R';
    if (attributes & 0x02) s += u'H';
    if (attributes & 0x04) s += u'S';
    return s;
}

String AddTrailingNul(const String& s) {
    if (s.empty() || s.back() == u'\0') return s;
    return s + u'\0';
}

bool ContainsAnyChar(const String& chars, const String& s) { return s.find_first_of(chars) != String::npos; }

const char16_t* const kInvalidNameChars = u"\\*?/=\"<>|:,;+^";

String JoinPath(const String& folder, const String& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    return IncludeTrailingSlash(folder) + name;
}

String IncludeTrailingSlash(const String& s) {
    if (s.empty() || s.back() == u'\\') return s;
    return s + u'\\';
}

String ExcludeTrailingSlash(const String& s) {
    if (!s.empty() && s.back() == u'\\') return s.substr(0, s.size() - 1);
    return s;
}

String NameWithoutExt(const String& path) {
    const String name = forms::ExtractFileName(path);
    const String ext = forms::ExtractFileExt(name);
    return name.substr(0, name.size() - ext.size());
}

std::vector<String> PathComponents(const String& path) {
    std::vector<String> parts;
    size_t start = 0;
    for (size_t slash = path.find(u'\\'); slash != String::npos; slash = path.find(u'\\', start)) {
        parts.push_back(path.substr(start, slash + 1 - start));
        start = slash + 1;
    }
    return parts;
}

String DriveCaption(char16_t letter, const String& displayName) {
    const size_t open = displayName.find(u'(');
    const String label = open == String::npos ? String() : displayName.substr(0, open);
    return String(u" (") + letter + u":)  " + label;
}

String DriveOfText(const String& text) {
    const size_t colon = text.find(u':');
    if (colon == String::npos || colon == 0) return String();
    return text.substr(colon - 1, 2);
}

String DriveTypeText(unsigned driveType) {
    static const char16_t* const kTexts[] = {u"Unknown",    u"Not exist",   u"Removable Disk", u"Fixed Disk",
                                             u"Network Disk", u"CD-ROM Disk", u"RAM Disk"};
    return driveType < 7 ? kTexts[driveType] : String();
}

String DiskSizeText(std::int64_t kb) {
    if (kb < 1) return u"0 Mb";
    // "###,###,###": no digit at all for a value of 0.
    const std::int64_t mb = kb / 1000;
    String digits = mb > 0 ? IntToStr(mb) : String();
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), 1, u',');
    return digits + u" Mb";
}

String DatePattern(TDtFormat format, const String& localeShortDate) {
    switch (format) {
    case TDtFormat::df_MMddyyyy: return u"MM/dd/yyyy";
    case TDtFormat::df_MMddyy: return u"MM/dd/yy";
    case TDtFormat::df_ddMMyyyy: return u"dd/MM/yyyy";
    case TDtFormat::df_ddMMyy_GB: return u"dd/MM/yy";
    case TDtFormat::df_ddMMyy_DE: return u"dd.MM.yy";
    case TDtFormat::df_ddMMyy_IT: return u"dd-MM-yy";
    case TDtFormat::df_yyyyMMdd: return u"yyyy-MM-dd";
    case TDtFormat::df_yyMMdd: return u"yy-MM-dd";
    case TDtFormat::df_Customize: break;
    }
    return localeShortDate;
}

String TimePattern(TTmFormat format, const forms::TFormatSettings& settings, const String& localeTimeFormat) {
    switch (format) {
    case TTmFormat::tfLongFormat: return settings.LongTimeFormat;
    case TTmFormat::tfShortFormat: return settings.ShortTimeFormat;
    case TTmFormat::tfCustomize: break;
    }
    return localeTimeFormat.substr(0, localeTimeFormat.find(u't')) + u" AM/PM";
}

String DateNumberText(std::uint64_t fileTime) { return forms::FloatToStr(static_cast<double>(fileTime)); }

}  // namespace shellbrowse
