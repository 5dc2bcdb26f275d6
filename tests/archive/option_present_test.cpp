// The option test: case-insensitive substring search over the whole command line.
#include <gtest/gtest.h>

#include "archive/options.h"

using kv::archive::OptionPresent;

TEST(OptionPresent, MissingOrEmptyCountsAsAbsent) {
    EXPECT_EQ(OptionPresent("OptNP", ""), 0);
    EXPECT_EQ(OptionPresent("", "OptNP"), 0);
    EXPECT_EQ(OptionPresent(nullptr, "OptNP"), 0);
    EXPECT_EQ(OptionPresent("OptNP", nullptr), 0);
    EXPECT_EQ(OptionPresent("OptNP", "Opt"), 0);
}

TEST(OptionPresent, LetterCaseIsIgnored) {
    EXPECT_EQ(OptionPresent("OptNP", "optnp"), 1);
    EXPECT_EQ(OptionPresent("OptNP", "OPTNP"), 1);
    EXPECT_EQ(OptionPresent("OptNP", "/OptNp"), 1);
}

TEST(OptionPresent, NoWordBoundaries) {
    EXPECT_EQ(OptionPresent("OptNP", "OptNPX"), 1);
    EXPECT_EQ(OptionPresent("OptNP", "Opt NP"), 0);
    EXPECT_EQ(OptionPresent("OptNP", "C:\\OptNP\\|"), 1);
    EXPECT_EQ(OptionPresent("OptRE", "OptNPOptRE"), 1);
    EXPECT_EQ(OptionPresent("OptUCD", "C:\\OptUCD|x"), 1);
    EXPECT_EQ(OptionPresent("OptNL", "OptNL"), 1);
    EXPECT_EQ(OptionPresent("OptNL", "OptNM"), 0);
}

TEST(OptionPresent, OnlyAsciiLettersFold) {
    // Characters beyond ASCII compare as they are: no locale-dependent folding.
    EXPECT_EQ(OptionPresent("\xC4", "\xE4"), 0);
    EXPECT_EQ(OptionPresent("[", "{"), 0);
}

// A value runs to the next blank, or is given in double quotes; the span covers the whole word.
TEST(FindOptionValue, PlainQuotedEmptyAndUnclosedValues) {
    using kv::archive::FindOptionValue;
    auto found = FindOptionValue("OptLOG=", "OptQ optlog=C:\\a.log OptNL");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, "C:\\a.log");
    EXPECT_EQ(found->begin, 5u);
    EXPECT_EQ(found->end, 20u);

    found = FindOptionValue("OptLOG=", "OptLOG=\"C:\\My Logs\\a.log\" OptQ");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, "C:\\My Logs\\a.log");
    EXPECT_EQ(found->end, 25u);

    // A missing closing quote takes the rest of the line, never more.
    found = FindOptionValue("OptLOG=", "OptLOG=\"C:\\x y");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, "C:\\x y");
    EXPECT_EQ(found->end, 14u);

    EXPECT_EQ(FindOptionValue("OptLOG=", "OptLOG=")->value, "");
    EXPECT_EQ(FindOptionValue("OptLOG=", "OptLOG= OptQ")->value, "");
    EXPECT_EQ(FindOptionValue("OptLOG=", "OptLOG=\"\"")->value, "");
    EXPECT_FALSE(FindOptionValue("OptLOG=", "OptLOG"));
    EXPECT_FALSE(FindOptionValue("OptLOG=", ""));
}
