// The help file writer: context names hash as the platform's help viewer
// hashes them (the value below is the one Wine's viewer computed for
// "Skins" while it opened a written file), and malformed help text or
// jumps to missing topics stop the build instead of making a file whose
// links lead nowhere.
#include <gtest/gtest.h>

#include <stdexcept>

#include "tools/helpgen/HelpFile.h"

TEST(HelpFile, ContextNamesHashAsTheViewerHashesThem) {
    EXPECT_EQ(helpfile::ContextHash("Skins"), 121852274);
    // Case does not matter to the viewer.
    EXPECT_EQ(helpfile::ContextHash("skins"), helpfile::ContextHash("SKINS"));
    EXPECT_EQ(helpfile::ContextHash(""), 1);
}

TEST(HelpFile, SourceTopicsParagraphsAndJumps) {
    const auto topics = helpfile::ParseSource(
        "; a comment\n@topic Welcome | Welcome\nFirst line\ngoes on.\n\nSee [[the next|Next]] now.\n"
        "@topic Next | Next one\nText.\n");
    ASSERT_EQ(topics.size(), 2u);
    EXPECT_EQ(topics[0].context, "Welcome");
    ASSERT_EQ(topics[0].paragraphs.size(), 2u);
    EXPECT_EQ(topics[0].paragraphs[0][0].text, "First line goes on.");
    ASSERT_EQ(topics[0].paragraphs[1].size(), 3u);
    EXPECT_EQ(topics[0].paragraphs[1][1].jumpTo, "Next");
    const std::string file = helpfile::Build("Test", topics);
    ASSERT_GE(file.size(), 16u);
    EXPECT_EQ(file.compare(0, 4, std::string("\x3F\x5F\x03\x00", 4)), 0);
    EXPECT_NE(file.find("|CONTEXT"), std::string::npos);

    EXPECT_THROW(helpfile::ParseSource("text before any topic\n"), std::runtime_error);
    EXPECT_THROW(helpfile::ParseSource("@topic NoTitle\n"), std::runtime_error);
    EXPECT_THROW(helpfile::ParseSource("@topic A | A\nbroken [[jump\n"), std::runtime_error);
    EXPECT_THROW(helpfile::Build("T", helpfile::ParseSource("@topic A | A\n[[x|Missing]]\n")), std::runtime_error);
    EXPECT_THROW(helpfile::Build("T", helpfile::ParseSource("@topic A | A\n@topic A | B\n")), std::runtime_error);
}
