// Command lines with variables: split into arguments first, each argument then
// translated once, so that values keep their blanks, quotes and brackets.
#include "platform/CommandLine.h"
#include "script/Values.h"
#include "support/RandomCommandLines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qd;

namespace {

class CommandArgumentsTest : public ::testing::Test {
protected:
    CommandArgumentsTest() : values(vars) {}
    VariableQueue vars;
    ScriptValues values;
};

TEST_F(CommandArgumentsTest, AValueWithBlanksStaysOneArgument) {
    vars.set("FILE", "/tmp/my report.txt");
    EXPECT_EQ(values.TranslateArguments("QDFTP U [FILE] report.txt host user"),
              (std::vector<std::string>{"QDFTP", "U", "/tmp/my report.txt", "report.txt", "host", "user"}));
    EXPECT_EQ(values.TranslateCommandLine("notepad [FILE]"), "notepad \"/tmp/my report.txt\"");
    // A value with quotes of both kinds.
    vars.set("Q", "it's \"x\" y");
    const std::string line = values.TranslateCommandLine("echo [Q] 'a b'");
    EXPECT_EQ(splitCommandLine(line), (std::vector<std::string>{"echo", "it's \"x\" y", "a b"})) << line;
}

TEST_F(CommandArgumentsTest, AValueIsAlwaysWrittenInQuotesSoItNeverJoinsTheProgramPath) {
    // The program part of an unquoted path with blanks is looked for among the
    // words as written; a value ("foo") must not make "/opt/app foo" a candidate.
    vars.set("X", "foo");
    EXPECT_EQ(values.TranslateCommandLine("/opt/app [X]"), "/opt/app \"foo\"");
    EXPECT_EQ(values.TranslateCommandLine("/opt/My Apps/run [X] -v"), "/opt/My Apps/run \"foo\" -v");
    EXPECT_EQ(values.TranslateCommandLine("[X]"), "\"foo\"");
}

TEST_F(CommandArgumentsTest, ValuesAreTranslatedOnceAndKeepTheirQuotes) {
    vars.set("A", "say \"hi\" it's [B]");
    vars.set("B", "never");
    EXPECT_EQ(values.TranslateArguments("run [A] x[B]y \"in [B] quotes\""),
              (std::vector<std::string>{"run", "say \"hi\" it's [B]", "xnevery", "in never quotes"}));
}

TEST_F(CommandArgumentsTest, BracketsWithBlanksAndLiteralBracketsStayWhole) {
    vars.set("MY VAR", "v a l");
    EXPECT_EQ(values.TranslateArguments("p [MY VAR] [= 1 + 2] [[x]"),
              (std::vector<std::string>{"p", "v a l", "3", "[x]"}));
    // An unclosed bracket leaves the rest as it is.
    EXPECT_EQ(values.TranslateArguments("p [open a"), (std::vector<std::string>{"p", "[open", "a"}));
}

TEST_F(CommandArgumentsTest, LinesWithoutChangesAreLeftAsTheyAre) {
    for (const char* line : {"notepad.exe", "\"/opt/my app/run\"  --x  'y z'", "a\tb", "Bob's file"})
        EXPECT_EQ(values.TranslateCommandLine(line), line);
    EXPECT_EQ(values.TranslateArguments("\"quoted arg \" x"), (std::vector<std::string>{"quoted arg ", "x"}));
}

// Random arguments of literal text and bracketed names with random values:
// every translated argument is its literal text with the values put in
// exactly, in every position, and the written-back line splits into them.
TEST_F(CommandArgumentsTest, RoundTripOfRandomArgumentsAndValues) {
    qdtest::RandomCommandLines lines(20261207);
    for (int round = 0; round < 3000; ++round) {
        const qdtest::RandomArguments args = lines.next(vars);
        const std::string line = joinCommandLine(args.written);
        ASSERT_EQ(splitCommandLine(line), args.written) << line;
        EXPECT_EQ(values.TranslateArguments(line), args.expected) << line;
        const std::string translated = values.TranslateCommandLine(line);
        EXPECT_EQ(splitCommandLine(translated), args.expected) << line << " -> " << translated;
    }
}

} // namespace
