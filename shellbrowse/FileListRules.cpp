#include "shellbrowse/FileListRules.h"

#include "shellbrowse/ShellText.h"

namespace shellbrowse {

const char16_t* const kParentCaption = u" Parent";

bool AcceptEntry(const TFindEntry& e, std::uint32_t filter, bool parentDirEnabled) {
    if ((e.attributes & kAttrDirectory) != (filter & kAttrDirectory)) return false;
    for (std::uint32_t bit : {kAttrReadOnly, kAttrHidden, kAttrSystem})
        if ((e.attributes & bit) && !(filter & bit)) return false;
    if (e.name == u".") return false;
    if (e.name == u"..") return parentDirEnabled;
    return true;
}

std::vector<String> SplitMask(const String& mask) {
    String m = forms::Trim(mask);
    if (m.empty()) m = u"*.*";
    std::vector<String> pieces;
    size_t start = 0;
    while (start <= m.size()) {
        size_t end = m.find(u';', start);
        if (end == String::npos) end = m.size();
        if (end > start) pieces.push_back(m.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

TFileItem BuildFileItem(const TFindEntry& e, const String& folder, const String& typeName, int imageIndex,
                        const String& modifiedText, bool hideFileExt) {
    TFileItem item;
    item.imageIndex = imageIndex;
    item.size = e.size;
    const bool isFolder = (e.attributes & kAttrDirectory) != 0;
    const String kind = isFolder ? u"dir" : u"file";
    if (e.name == u"..") {
        item.caption = kParentCaption;
        item.subItems = {u" ", u" ", modifiedText, AttrText(e.attributes), folder + u"..", kind,
                         DateNumberText(e.lastWrite)};
        return item;
    }
    item.caption = e.name;
    if (!isFolder && hideFileExt) {
        const String ext = forms::ExtractFileExt(e.name);
        if (!ext.empty() && ext.size() < e.name.size()) item.caption = e.name.substr(0, e.name.size() - ext.size());
    }
    item.subItems = {SizeText(e.size, kind), typeName, modifiedText, AttrText(e.attributes), folder + e.name, kind,
                     DateNumberText(e.lastWrite)};
    return item;
}

namespace {

int Sign(long long v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

int CompareKeys(const IItemTexts& a, const IItemTexts& b, int column,
                const std::function<String(const String&)>& upper) {
    switch (column) {
    case 0: {
        const String x = upper(a.Caption()), y = upper(b.Caption());
        return x < y ? -1 : x > y ? 1 : 0;
    }
    case 1:
        return Sign(SizeTextKB(a.SubItem(kSubSize)) - SizeTextKB(b.SubItem(kSubSize)));
    case 3: {
        const double x = forms::StrToFloatDef(a.SubItem(kSubDate), 0), y = forms::StrToFloatDef(b.SubItem(kSubDate), 0);
        return x < y ? -1 : x > y ? 1 : 0;
    }
    default:
        return Sign(forms::CompareText(a.SubItem(column - 1), b.SubItem(column - 1)));
    }
}

}  // namespace

int CompareItems(const IItemTexts& a, const IItemTexts& b, int sortColumn, bool sortReverse,
                 const std::function<String(const String&)>& upper) {
    const bool aParent = a.Caption() == kParentCaption, bParent = b.Caption() == kParentCaption;
    // A comparison with the parent entry is never turned round; in reverse
    // that would cross the turned order of the others, so there the parent
    // simply leads.
    if (sortReverse && aParent != bParent) return aParent ? -1 : 1;
    const bool aDir = a.SubItem(kSubKind) == u"dir", bDir = b.SubItem(kSubKind) == u"dir";
    int result;
    if (aDir && !bDir) result = -1;
    else if (!aDir && bDir) result = 1;
    else result = CompareKeys(a, b, sortColumn, upper);
    if (sortReverse && !aParent && !bParent) result = -result;
    return result;
}

bool TSortState::Click(int column) {
    if (!m_enabled) return false;
    if (column == m_column) {
        m_reverse = !m_reverse;
    } else {
        m_column = column;
        m_reverse = true;
    }
    return true;
}

void TSortState::AfterRefresh() {
    m_reverse = true;
    Click(0);
}

TSortState::Arrow TSortState::ArrowOf(int column) const {
    if (column != m_column) return Arrow::None;
    return m_reverse ? Arrow::Up : Arrow::Down;
}

}  // namespace shellbrowse
