#include "shellbrowse/CommandRules.h"

#include <cmath>
#include <cstdio>

#include "shellbrowse/FileListRules.h"
#include "shellbrowse/ShellText.h"

namespace shellbrowse {

using forms::IntToStr;
using forms::UpperCase;

bool IsOperableItem(const String& caption, const String& fullPath, const String& kind) {
    if (caption == kParentCaption || UpperCase(kind) == u"DRV" || fullPath.empty()) return false;
    const String name = forms::ExtractFileName(ExcludeTrailingSlash(fullPath));
    return name != u".." && name != u"." && !name.empty();
}

String FreeFolderName(const String& base, const std::function<bool(const String&)>& exists) {
    if (!exists(base)) return base;
    for (int n = 2;; ++n) {
        const String name = base + u"(" + IntToStr(n) + u")";
        if (!exists(name)) return name;
    }
}

String FreeLinkName(const String& folder, const String& name, const std::function<bool(const String&)>& exists) {
    const String first = JoinPath(folder, name + u".lnk");
    if (!exists(first)) return first;
    for (int n = 2;; ++n) {
        const String link = JoinPath(folder, name + u" (" + IntToStr(n) + u").lnk");
        if (!exists(link)) return link;
    }
}

String QuoteArgument(const String& argument) { return u"\"" + argument + u"\""; }

String ViewProgramOf(const String& path) {
    static const struct {
        const char16_t* ext;
        const char16_t* program;
    } kViewers[] = {
        {u".C", u"NotePad.exe"},   {u".CPP", u"NotePad.exe"}, {u".DPK", u"NotePad.exe"}, {u".DPR", u"NotePad.exe"},
        {u".H", u"NotePad.exe"},   {u".INF", u"NotePad.exe"}, {u".INI", u"NotePad.exe"}, {u".PAS", u"NotePad.exe"},
        {u".PRG", u"NotePad.exe"}, {u".TXT", u"NotePad.exe"}, {u".DOC", u"Write.exe"},   {u".RTF", u"Write.exe"},
        {u".WRI", u"Write.exe"},   {u".BMP", u"PBrush.exe"},  {u".GIF", u"PBrush.exe"},  {u".JPG", u"PBrush.exe"},
    };
    const String ext = UpperCase(forms::ExtractFileExt(path));
    for (const auto& v : kViewers)
        if (ext == v.ext) return v.program;
    return String();
}

bool CanCopyContents(const String& path) {
    static const char16_t* const kExts[] = {u".C",   u".CPP", u".DPK", u".DPR", u".H",   u".INF", u".INI", u".PAS",
                                            u".PRG", u".TXT", u".DOC", u".RTF", u".WRI", u".BMP", u".WMF"};
    const String ext = UpperCase(forms::ExtractFileExt(path));
    for (const char16_t* e : kExts)
        if (ext == e) return true;
    return false;
}

bool IsInFolder(const String& path, const String& folder) {
    const String inner = UpperCase(ExcludeTrailingSlash(path));
    const String outer = UpperCase(ExcludeTrailingSlash(folder));
    if (outer.empty()) return false;
    if (inner == outer) return true;
    const String prefix = IncludeTrailingSlash(outer);
    return inner.size() > prefix.size() && inner.compare(0, prefix.size(), prefix) == 0;
}

String FormatThousands2(double value, char16_t decimalSeparator) {
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", value);
    String whole, fraction;
    bool negative = false;
    const char* p = text;
    if (*p == '-') {
        negative = true;
        ++p;
    }
    for (; *p && *p != '.'; ++p) whole += static_cast<char16_t>(*p);
    if (*p == '.') fraction.assign(p + 1, p + std::char_traits<char>::length(p));
    for (int at = static_cast<int>(whole.size()) - 3; at > 0; at -= 3) whole.insert(static_cast<size_t>(at), 1, u',');
    String result = negative ? u"-" + whole : whole;
    if (!fraction.empty()) result += decimalSeparator + fraction;
    return result;
}

String TreeSizeText(std::uint64_t bytes, char16_t decimalSeparator) {
    std::uint64_t kb = bytes / 1024;
    if (bytes > 0 && bytes < 1024) kb = 1;
    if (kb > 99999) return FormatThousands2(static_cast<double>(kb) / 1024.0, decimalSeparator) + u" MB";
    return FormatThousands2(static_cast<double>(kb), decimalSeparator) + u" KB";
}

String TreeSizeTitle(const String& start, bool drive) {
    if (drive) return u"Drive " + start;
    return u"Folder \"" + forms::ExtractFileName(ExcludeTrailingSlash(start)) + u"\"";
}

String TreeSizeMessage(const String& title, std::uint64_t bytes, char16_t decimalSeparator) {
    return u"=== TREE SIZE ===\r\r" + title + u"\r" + u"and all its Sub-Folders  =  " +
           TreeSizeText(bytes, decimalSeparator);
}

String JoinLines(const std::vector<String>& lines) {
    String text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) text += u"\r\n";
        text += lines[i];
    }
    return text;
}

int SendToNumber(const String& itemName) {
    if (itemName.size() < 8 || itemName.compare(0, 7, u"Send_To") != 0) return -1;
    const String digits = itemName.substr(7, 2);
    int value = 0;
    for (char16_t c : digits) {
        if (c < u'0' || c > u'9') return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

}  // namespace shellbrowse
