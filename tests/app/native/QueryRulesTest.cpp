// What the query dialog writes when it closes, and the tip the tips
// window reads from Tips.ini (including the file the program ships).
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "app/QueryRules.h"
#include "framework/forms/IniFiles.h"

using namespace app;
using forms::String;

namespace {

std::string U8(const String& s) { return forms::TextToUtf8(s); }

std::vector<std::pair<std::string, bool>> Plain(const std::vector<SettingWrite>& writes) {
    std::vector<std::pair<std::string, bool>> out;
    for (const SettingWrite& w : writes) out.emplace_back(U8(w.key), w.value);
    return out;
}

using Writes = std::vector<std::pair<std::string, bool>>;

// An ini file held in memory.
class MemoryStore final : public forms::FileStore {
public:
    explicit MemoryStore(std::string text) : m_text(std::move(text)) {}
    forms::FileReadResult Read(const String&, std::string& bytes, size_t) const override {
        bytes = m_text;
        return forms::FileReadResult::Ok;
    }
    bool Write(const String&, const std::string& bytes) const override {
        m_text = bytes;
        return true;
    }

private:
    mutable std::string m_text;
};

}  // namespace

TEST(QueryRules, NeverShowStoresTheAnswerGiven) {
    // Asked again: only ShowQuery, whatever the answer.
    EXPECT_EQ(Plain(NeverShowWrites(u"AddAllFile", false, u"Yes")), (Writes{{"ShowQuery", true}}));
    // Not asked again: the answer becomes the standing one, Yes as Yes.
    EXPECT_EQ(Plain(NeverShowWrites(u"AddAllFile", true, u"Yes")), (Writes{{"ShowQuery", false}, {"AlwaysYes", true}}));
    EXPECT_EQ(Plain(NeverShowWrites(u"AddAllFile", true, u"No")), (Writes{{"ShowQuery", false}, {"AlwaysYes", false}}));
    EXPECT_EQ(Plain(NeverShowWrites(u"WindowsMediaRuntime", true, u"Yes")),
              (Writes{{"QueryWindowsMediaRuntime", false}}));
    EXPECT_EQ(Plain(NeverShowWrites(u"WindowsMediaRuntime", false, u"No")),
              (Writes{{"QueryWindowsMediaRuntime", true}}));
    EXPECT_TRUE(NeverShowWrites(u"Other", true, u"Yes").empty());
}

TEST(QueryRules, TipsComeFromTheirSectionsWithDefaults) {
    MemoryStore store("[Count]\r\nValue=3\r\n[1]\r\nTitle=One\r\nContent=First tip\r\n[2]\r\nTitle=Two\r\n");
    forms::TIniFile ini(u"Tips.ini", store);
    EXPECT_EQ(TipCount(ini), 3);
    EXPECT_EQ(U8(ReadTip(ini, 1).title), "One");
    EXPECT_EQ(U8(ReadTip(ini, 1).content), "First tip");
    EXPECT_EQ(U8(ReadTip(ini, 2).content), "No content available.");
    EXPECT_EQ(U8(ReadTip(ini, 3).title), "No title available.");
    std::set<int> seen;
    for (unsigned r = 0; r < 30; ++r) seen.insert(TipNumber(r * 7919u, 3));
    EXPECT_EQ(seen, (std::set<int>{1, 2, 3}));
    EXPECT_EQ(TipNumber(12345, 0), 0);

    MemoryStore bad("[Count]\r\nValue=-4\r\n");
    forms::TIniFile badIni(u"Tips.ini", bad);
    EXPECT_EQ(TipCount(badIni), 0);
    MemoryStore none("");
    forms::TIniFile noIni(u"Tips.ini", none);
    EXPECT_EQ(TipCount(noIni), 0);
}

// A tip of a megabyte hung the start-up at full CPU in the memo.
TEST(QueryRules, AHugeTipIsCut) {
    const std::string big(1 << 20, 'x');
    MemoryStore store("[Count]\r\nValue=2\r\n[1]\r\nTitle=" + big + "\r\nContent=" + big +
                      "\r\n[2]\r\nContent=" + std::string(kMaxTipText - 1, 'y') + "\xF0\x9F\x98\x80\r\n");
    forms::TIniFile ini(u"Tips.ini", store);
    EXPECT_EQ(ReadTip(ini, 1).title.size(), kMaxTipText);
    EXPECT_EQ(ReadTip(ini, 1).content.size(), kMaxTipText);
    // A character of two units at the limit goes whole or not at all.
    EXPECT_EQ(ReadTip(ini, 2).content, String(kMaxTipText - 1, u'y'));
}

TEST(QueryRules, TheShippedTipsFileHasEveryTip) {
    std::ifstream in(std::string(SOURCE_ROOT) + "/app/Tips.ini", std::ios::binary);
    ASSERT_TRUE(in.good());
    std::ostringstream text;
    text << in.rdbuf();
    MemoryStore store(text.str());
    forms::TIniFile ini(u"Tips.ini", store);
    const int n = TipCount(ini);
    EXPECT_GE(n, 8);
    for (int k = 1; k <= n; ++k) {
        EXPECT_NE(U8(ReadTip(ini, k).title), "No title available.") << k;
        EXPECT_NE(U8(ReadTip(ini, k).content), "No content available.") << k;
    }
    EXPECT_FALSE(ini.SectionExists(forms::IntToStr(n + 1)));
}
