#include "data/Text.h"

#include <gtest/gtest.h>

using namespace qd;

TEST(Text, TrimmingKeepsWhatEachRuleDoesNotRemove) {
    EXPECT_EQ(text::trimRight("  a b \t  "), "  a b \t");
    EXPECT_EQ(text::trimLeft("  a b  "), "a b  ");
    EXPECT_EQ(text::trim("  a b  "), "a b");
    EXPECT_EQ(text::trim("\ta\n"), "\ta\n"); // stored texts are padded with blanks only
    EXPECT_EQ(text::trimSpace(" \t\r\n a b \f\v"), "a b");
    EXPECT_EQ(text::trimLineEnd("line \r \r"), "line");
    EXPECT_EQ(text::trimLineEnd("tab\t"), "tab\t");
    EXPECT_EQ(text::trimmed("   "), "");
    EXPECT_EQ(text::trimmedRight(" x "), " x");
}

TEST(Text, CaseFoldingIsAsciiOnly) {
    EXPECT_EQ(text::upperAscii("Grüße, ok"), "GRüßE, OK"); // UTF-8 bytes pass unchanged
    EXPECT_EQ(text::lowerAscii("N/A"), "n/a");
    EXPECT_TRUE(text::equalsNoCase("Display Message", "DISPLAY message"));
    EXPECT_FALSE(text::equalsNoCase("abc", "abcd"));
    EXPECT_FALSE(text::equalsNoCase("\xC3\xA4", "\xC3\x84")); // ä and Ä differ outside ASCII
    EXPECT_TRUE(text::startsWithNoCase("QDCHAIN next.exe", "qdchain"));
    EXPECT_FALSE(text::startsWithNoCase("QD", "qdchain"));
    EXPECT_TRUE(text::containsNoCase("Twice - 15th, Last", "LAST"));
    EXPECT_TRUE(text::startsWith("abc", ""));
}
