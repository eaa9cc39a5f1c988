#include "framework/core/Utf.h"

#include <gtest/gtest.h>

using core::Utf16ToUtf8;
using core::Utf8ToUtf16;

TEST(Utf, RoundTripsAllPlanes) {
    const std::string samples[] = {
        "", "plain ascii", "C:\\Vidéos\\été.avi", "Größe", "日本語のファイル.mpg",
        "\xF0\x9F\x8E\xAC clip",  // U+1F3AC, a surrogate pair in UTF-16
    };
    for (const auto& s : samples) EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(s)), s) << s;
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x8E\xAC"), (std::u16string{0xD83C, 0xDFAC}));
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
    const char16_t r = 0xFFFD;
    EXPECT_EQ(Utf8ToUtf16("a\xFF" "b"), (std::u16string{u'a', r, u'b'}));
    EXPECT_EQ(Utf8ToUtf16("\xC3"), (std::u16string{r}));                 // truncated at the end
    EXPECT_EQ(Utf8ToUtf16("\xE2\x82" "x"), (std::u16string{r, u'x'}));  // truncated in the middle
    EXPECT_EQ(Utf8ToUtf16("\xC0\xAF"), (std::u16string{r}));             // overlong
    EXPECT_EQ(Utf8ToUtf16("\xED\xA0\x80"), (std::u16string{r}));         // encoded surrogate
    EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), (std::u16string{r}));     // above U+10FFFF
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xD800, u'x'}), "\xEF\xBF\xBDx");  // lone high surrogate
    EXPECT_EQ(Utf16ToUtf8(std::u16string{0xDC00}), "\xEF\xBF\xBD");         // lone low surrogate
}

TEST(Utf, AsciiCaseFolding) {
    EXPECT_TRUE(core::EqualsNoCaseAscii(u"CLIP.AVI", u"clip.avi"));
    EXPECT_FALSE(core::EqualsNoCaseAscii(u"clip.avi", u"clip.avi "));
    EXPECT_EQ(core::AsciiLower(u"Movie.WMV"), u"movie.wmv");
    EXPECT_EQ(core::AsciiLower(std::string("ASF-Clip")), "asf-clip");
}
