// Random and hostile input for the parsers and the translator: nothing may
// crash, hang or break the limits of the fields. (The fuzz/ targets do the same
// with coverage guidance.)
#include "data/TextWidth.h"
#include "script/Expression.h"
#include "script/ScriptFile.h"
#include "script/ScriptText.h"
#include "script/Values.h"

#include <gtest/gtest.h>

#include <random>

using namespace qd;

namespace {

// Text made of pieces that matter to the parsers, with random bytes mixed in.
std::string soup(std::mt19937& rng, std::size_t maxPieces) {
    static const std::vector<std::string> pieces = {"[",
                                                    "]",
                                                    "[[",
                                                    "[]",
                                                    "\"",
                                                    "\"\"",
                                                    ",",
                                                    " ",
                                                    "  ",
                                                    "\r\n",
                                                    "\n",
                                                    "\r",
                                                    "=",
                                                    "[=",
                                                    "(",
                                                    ")",
                                                    "+",
                                                    "*",
                                                    "/",
                                                    "AGE(",
                                                    "DATE(",
                                                    "TODAY()",
                                                    "1",
                                                    "99999999999",
                                                    "0.5",
                                                    "e9",
                                                    "KEYS ",
                                                    "WAIT ",
                                                    "START ",
                                                    "FILE ",
                                                    "IF ",
                                                    "DISPLAY ",
                                                    "/MODAL",
                                                    "WAIT=",
                                                    "ACTION=",
                                                    "MODE=",
                                                    "SET ",
                                                    "END",
                                                    "[?",
                                                    "[?]",
                                                    "DATE",
                                                    "DATE-1",
                                                    "TIME",
                                                    "abc",
                                                    "\"Wait\"",
                                                    "\"File Actions\"",
                                                    "\xEF\xBB\xBF",
                                                    "\xC3\xA9",
                                                    "\xFF",
                                                    "\t",
                                                    "#",
                                                    "?:",
                                                    "&&",
                                                    ";"};
    std::uniform_int_distribution<std::size_t> count(0, maxPieces);
    std::uniform_int_distribution<std::size_t> which(0, pieces.size() - 1);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string s;
    const std::size_t n = count(rng);
    for (std::size_t i = 0; i < n; ++i) {
        if (rng() % 8 == 0)
            s += static_cast<char>(byte(rng));
        else
            s += pieces[which(rng)];
    }
    return s;
}

// Widths count characters (whole UTF-8 sequences).
void checkWidths(const ScriptingRecord& s) {
    EXPECT_LE(characterCount(s.Action), 27u);
    EXPECT_LE(characterCount(s.Keystrokes), 255u);
    EXPECT_LE(characterCount(s.WindowExistance), 20u);
    EXPECT_LE(characterCount(s.DDEType), 20u);
    EXPECT_LE(characterCount(s.DDELinkItem), 80u);
    EXPECT_LE(characterCount(s.DDEApplicationTopic), 255u);
}

TEST(RandomInputTest, ScriptTextParserAndGenerator) {
    std::mt19937 rng(1234);
    for (int i = 0; i < 40000; ++i) {
        const std::string text = soup(rng, 60);
        const auto steps = TextToSteps(text, 1, nullptr);
        for (const auto& s : steps)
            checkWidths(s);
        // Generating text from whatever was parsed works too, and parses again.
        const auto again = TextToSteps(StepsToText(steps), 1, nullptr);
        EXPECT_LE(again.size(), steps.size());
        if (HasFailure()) FAIL() << text;
    }
}

TEST(RandomInputTest, ScriptFileReader) {
    std::mt19937 rng(99);
    for (int i = 0; i < 40000; ++i) {
        const std::string text = soup(rng, 80);
        const ScriptFileContent c = ParseScriptFileText(text);
        for (const auto& s : c.steps)
            checkWidths(s);
        const ScriptFileContent again = ParseScriptFileText(WriteScriptFileText(c.steps));
        EXPECT_EQ(again.steps, c.steps);
        if (HasFailure()) FAIL() << text;
    }
}

TEST(RandomInputTest, TranslateTextAndExpressions) {
    std::mt19937 rng(7);
    VariableQueue vars;
    ScriptValues values(vars);
    for (int i = 0; i < 20000; ++i) {
        const std::string name = soup(rng, 3);
        values.SetValue(name, soup(rng, 10));
        const std::string out = values.TranslateText(soup(rng, 60));
        EXPECT_LE(out.size(), 16384u);
        ExpressionContext ctx{dateFromMDY(1, 1, 2024), &vars};
        evaluateNumber(soup(rng, 20), ctx);
    }
    // Long texts stay within the working limit.
    const std::string big(20000, '[');
    EXPECT_LE(values.TranslateText(big).size(), 16384u);
    vars.set("BIG", std::string(255, 'x'));
    std::string many;
    for (int i = 0; i < 2000; ++i)
        many += "[BIG]";
    EXPECT_EQ(values.TranslateText(many).size(), 16384u);
}

} // namespace
