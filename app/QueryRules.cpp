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

Tip ReadTip(forms::TIniFile& ini, int number) {
    const String section = forms::IntToStr(number);
    return Tip{ini.ReadString(section, u"Title", u"No title available."),
               ini.ReadString(section, u"Content", u"No content available.")};
}

int TipNumber(unsigned random, int count) {
    return count > 0 ? static_cast<int>(random % static_cast<unsigned>(count)) + 1 : 0;
}

}  // namespace app
