#include "platform/CommandLine.h"

#include <gtest/gtest.h>

#include <random>

using qd::joinCommandLine;
using qd::ProgramAndRest;
using qd::quoteCommandArgument;
using qd::splitCommandLine;
using qd::splitProgram;
using Args = std::vector<std::string>;

TEST(CommandLineTest, BlanksAndTabsSeparateQuotesGroup) {
    EXPECT_EQ(splitCommandLine("  a\tb   c "), (Args{"a", "b", "c"}));
    EXPECT_EQ(splitCommandLine("\"/opt/my app/run\" --x"), (Args{"/opt/my app/run", "--x"}));
    EXPECT_EQ(splitCommandLine("sh -c 'echo hi; exit 3'"), (Args{"sh", "-c", "echo hi; exit 3"}));
    EXPECT_EQ(splitCommandLine("a \"\" b ''"), (Args{"a", "", "b", ""}));
    EXPECT_EQ(splitCommandLine("x\"a b\"y"), (Args{"xa by"}));
    EXPECT_EQ(splitCommandLine("C:\\Tools\\x.exe /F"), (Args{"C:\\Tools\\x.exe", "/F"}));
    EXPECT_TRUE(splitCommandLine("").empty());
    EXPECT_TRUE(splitCommandLine(" \t ").empty());
}

TEST(CommandLineTest, OpenQuotesAndLoneApostrophes) {
    // A double quote left open runs to the end of the line.
    EXPECT_EQ(splitCommandLine("notepad \"my file.txt"), (Args{"notepad", "my file.txt"}));
    // An apostrophe without a partner is part of the word.
    EXPECT_EQ(splitCommandLine("cat Bob's.txt"), (Args{"cat", "Bob's.txt"}));
    EXPECT_EQ(splitCommandLine("say \"it's here\" now"), (Args{"say", "it's here", "now"}));
}

TEST(CommandLineTest, QuotingGivesEveryArgumentBack) {
    EXPECT_EQ(quoteCommandArgument("plain"), "plain");
    EXPECT_EQ(quoteCommandArgument(""), "\"\"");
    EXPECT_EQ(quoteCommandArgument("my file"), "\"my file\"");
    EXPECT_EQ(quoteCommandArgument("plain", true), "\"plain\"");
    EXPECT_EQ(quoteCommandArgument("/tmp/x", true), "\"/tmp/x\"");
    EXPECT_EQ(quoteCommandArgument("a\"b", true), quoteCommandArgument("a\"b"));
    const Args tricky{"a\"b",           "'", "\"", "x y\tz", "Bob's \"best\" [FILE]", "Größe ü", "\\",
                      "-- --grace-ms=5"};
    EXPECT_EQ(splitCommandLine(joinCommandLine(tricky)), tricky);

    // Random arguments over the characters that matter, in every position.
    const std::string alphabet = "ab \t\"'[]\\/=-\xc3\xa9";
    std::mt19937 rng(20261207);
    for (int round = 0; round < 2000; ++round) {
        Args args(1 + rng() % 4);
        for (auto& a : args) {
            const std::size_t len = rng() % 7;
            for (std::size_t i = 0; i < len; ++i)
                a += alphabet[rng() % alphabet.size()];
        }
        const std::string line = joinCommandLine(args);
        ASSERT_EQ(splitCommandLine(line), args) << line;
        std::string always;
        for (const auto& a : args)
            always += (always.empty() ? "" : " ") + quoteCommandArgument(a, true);
        ASSERT_EQ(splitCommandLine(always), args) << always;
        // The program and what follows it, by the same rule, wherever the quotes are.
        const ProgramAndRest split = splitProgram(always);
        ASSERT_EQ(split.program, args[0]) << always;
        ASSERT_EQ(splitCommandLine(split.rest), Args(args.begin() + 1, args.end())) << always;
    }
    const ProgramAndRest quoted = splitProgram("\"/opt/we\"'\"'\"ird app/run\" \t-x \"a b\"");
    EXPECT_EQ(quoted.program, "/opt/we\"ird app/run");
    EXPECT_EQ(quoted.rest, "-x \"a b\"");
    EXPECT_EQ(splitProgram("   ").program, "");
}
