#include "app/QueryRules.h"

namespace app {

std::vector<SettingWrite> NeverShowWrites(const String& queryKey, bool neverShow, const String& answer) {
    if (queryKey == u"AddAllFile") {
        std::vector<SettingWrite> writes{{u"ShowQuery", !neverShow}};
        if (neverShow) writes.push_back({u"AlwaysYes", answer == u"Yes"});
        return writes;
    }
    if (queryKey == u"WindowsMediaRuntime") return {{u"QueryWindowsMediaRuntime", !neverShow}};
    return {};
}

int TipCount(forms::TIniFile& ini) {
    const int n = ini.ReadInteger(u"Count", u"Value", 0);
    return n > 0 ? n : 0;
}

namespace {

// At most kMaxTipText characters, never half a surrogate pair.
String Capped(String text) {
    if (text.size() <= kMaxTipText) return text;
    size_t n = kMaxTipText;
    if (text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    text.resize(n);
    return text;
}

}  // namespace

Tip ReadTip(forms::TIniFile& ini, int number) {
    const String section = forms::IntToStr(number);
    return Tip{Capped(ini.ReadString(section, u"Title", u"No title available.")),
               Capped(ini.ReadString(section, u"Content", u"No content available."))};
}

int TipNumber(unsigned random, int count) {
    return count > 0 ? static_cast<int>(random % static_cast<unsigned>(count)) + 1 : 0;
}

}  // namespace app
