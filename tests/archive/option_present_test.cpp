// The option test (case-insensitive substring search over the whole command line), option values,
// and the arguments behind the program's own name.
#include <gtest/gtest.h>

#include "archive/options.h"

using kv::archive::OptionPresent;

TEST(OptionPresent, MissingOrEmptyCountsAsAbsent) {
    EXPECT_FALSE(OptionPresent("OptNP", ""));
    EXPECT_FALSE(OptionPresent("", "OptNP"));
    EXPECT_FALSE(OptionPresent(nullptr, "OptNP"));
    EXPECT_FALSE(OptionPresent("OptNP", nullptr));
    EXPECT_FALSE(OptionPresent("OptNP", "Opt"));
}

TEST(OptionPresent, LetterCaseIsIgnored) {
    EXPECT_TRUE(OptionPresent("OptNP", "optnp"));
    EXPECT_TRUE(OptionPresent("OptNP", "OPTNP"));
    EXPECT_TRUE(OptionPresent("OptNP", "/OptNp"));
}

TEST(OptionPresent, NoWordBoundaries) {
    EXPECT_TRUE(OptionPresent("OptNP", "OptNPX"));
    EXPECT_FALSE(OptionPresent("OptNP", "Opt NP"));
    EXPECT_TRUE(OptionPresent("OptNP", "C:\\OptNP\\|"));
    EXPECT_TRUE(OptionPresent("OptRE", "OptNPOptRE"));
    EXPECT_TRUE(OptionPresent("OptUCD", "C:\\OptUCD|x"));
    EXPECT_TRUE(OptionPresent("OptNL", "OptNL"));
    EXPECT_FALSE(OptionPresent("OptNL", "OptNM"));
}

TEST(OptionPresent, OnlyAsciiLettersFold) {
    // Characters beyond ASCII compare as they are: no locale-dependent folding.
    EXPECT_FALSE(OptionPresent("\xC4", "\xE4"));
    EXPECT_FALSE(OptionPresent("[", "{"));
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

    // A lone quote groups nothing: the value ends at the next blank, and OptQ behind it stays.
    found = FindOptionValue("OptLOG=", "OptLOG=\"C:\\h3.log OptQ");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, "C:\\h3.log");
    EXPECT_EQ(found->end, 17u);

    // Quoted as deployment tools quote: each option, or the whole option text as one word.
    EXPECT_EQ(FindOptionValue("OptLOG=", "OptQ \"OptLOG=C:\\Deploy Logs\\x.log\" OptNL")->value,
              "C:\\Deploy Logs\\x.log");
    found = FindOptionValue("OptLOG=", "\"OptQ OptLOG=C:\\logs\\x.log\"");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->value, "C:\\logs\\x.log");
    EXPECT_EQ(found->end, 27u);

    EXPECT_EQ(FindOptionValue("OptLOG=", "OptLOG=")->value, "");
    EXPECT_EQ(FindOptionValue("OptLOG=", "OptLOG= OptQ")->value, "");
    EXPECT_EQ(FindOptionValue("OptLOG=", "OptLOG=\"\"")->value, "");
    EXPECT_FALSE(FindOptionValue("OptLOG=", "OptLOG"));
    EXPECT_FALSE(FindOptionValue("OptLOG=", ""));
}

// Both programs take their arguments from behind their own name in the process command line.
TEST(ArgumentsAfterProgramName, QuotedOrUnquotedNameAndTheBlanksAroundIt) {
    using kv::archive::ArgumentsAfterProgramName;
    EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\Down loads\\SETUP.EXE\"   C:\\Temp|OptNP"), "C:\\Temp|OptNP");
    EXPECT_EQ(ArgumentsAfterProgramName("\"SETUP.EXE\"C:\\Temp|"), "C:\\Temp|");
    EXPECT_EQ(ArgumentsAfterProgramName("C:\\WINDOWS\\Kvuninstall.exe C:\\Program Files\\App|App"),
              "C:\\Program Files\\App|App");
    EXPECT_EQ(ArgumentsAfterProgramName("  SETUP.EXE\t \tOptNL"), "OptNL");
    // Blanks at the end belong to the arguments.
    EXPECT_EQ(ArgumentsAfterProgramName("SETUP.EXE OptNP  "), "OptNP  ");
    EXPECT_EQ(ArgumentsAfterProgramName("\"SETUP.EXE\" a b "), "a b ");
    for (const char* nameOnly : {"", "SETUP.EXE", "SETUP.EXE    ", "\"C:\\no closing quote OptNP"}) {
        EXPECT_EQ(ArgumentsAfterProgramName(nameOnly), "") << nameOnly;
    }
}
