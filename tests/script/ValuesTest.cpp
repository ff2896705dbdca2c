#include "script/Values.h"
#include "data/Clock.h"
#include "data/EventLog.h"
#include "script/Expression.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

class ValuesTest : public ::testing::Test {
protected:
    ValuesTest() : values(vars) {
        clock.set({dateFromMDY(1, 1, 2024), timeFromHMS(9, 5, 7)});
        values.setClock(&clock);
    }
    VariableQueue vars;
    ManualClock clock;
    ScriptValues values;
};

TEST_F(ValuesTest, SetValueThenBracketedNameAnyCase) {
    values.SetValue("count", "5");
    EXPECT_EQ(values.TranslateText("Count is [COUNT]."), "Count is 5.");
    EXPECT_EQ(values.TranslateText("[count][Count]"), "55");
    ASSERT_TRUE(vars.find("COUNT"));
    EXPECT_EQ(vars.find("count")->NAME, "COUNT");
    EXPECT_DOUBLE_EQ(vars.find("count")->VALUE, 5);
    values.SetValue("count", "abc");
    EXPECT_DOUBLE_EQ(vars.find("count")->VALUE, 0);
    EXPECT_EQ(vars.size(), 1u);
}

TEST_F(ValuesTest, EscapedBracketsAndUnclosedBracket) {
    EXPECT_EQ(values.TranslateText("Price [[10]"), "Price [10]");
    EXPECT_EQ(values.TranslateText("a[]b"), "a]b");
    EXPECT_EQ(values.TranslateText("x [DATE"), "x [DATE");
    EXPECT_EQ(values.TranslateText("["), "[");
    EXPECT_EQ(values.TranslateText("trailing   "), "trailing");
}

TEST_F(ValuesTest, EmptyFirstExpressionStillTranslatesTheSecond) {
    EXPECT_EQ(values.TranslateText("[NOSUCH][DATE]"), "20240101");
    EXPECT_EQ(values.TranslateText("<[NOSUCH]>"), "<>");
}

TEST_F(ValuesTest, InnerBracketResultBecomesPartOfTheOuterName) {
    values.SetValue("N", "2");
    values.SetValue("ITEM2", "second");
    EXPECT_EQ(values.TranslateText("[ITEM[N]]"), "second");
    values.SetValue("WHICH", "DATE");
    EXPECT_EQ(values.TranslateText("[[WHICH]]"), "[WHICH]]"); // "[[" is an escaped bracket
    EXPECT_EQ(values.TranslateText("[ [WHICH]]"), "");        // " DATE" is no name
    EXPECT_EQ(values.TranslateText("x[A[WHICH]"), "x[ADATE"); // the outer "[" is never closed
}

TEST_F(ValuesTest, SelfReferencingValuesDoNotHang) {
    values.SetValue("LOOP", "[[LOOP]]");
    EXPECT_EQ(vars.text("LOOP"), "[LOOP]]");
    const std::string once = values.TranslateText("[A[LOOP]]");
    EXPECT_LE(once.size(), 16384u);
}

TEST_F(ValuesTest, FixedDateNames) {
    clock.set({dateFromMDY(3, 7, 2024), timeFromHMS(9, 5, 7)});
    EXPECT_EQ(values.TranslateVariable("YYYY-MM-DD"), "2024-03-07");
    EXPECT_EQ(values.TranslateVariable("dd-mm-yy"), "07-03-24");
    EXPECT_EQ(values.TranslateVariable("MM-DD-YY"), "03-07-24");
    EXPECT_EQ(values.TranslateVariable("DDMMYY"), "070324");
    EXPECT_EQ(values.TranslateVariable("MMDDYY"), "030724");
    EXPECT_EQ(values.TranslateVariable("DATE"), "20240307");
    EXPECT_EQ(values.TranslateVariable("DATE+1"), "20240308");
    EXPECT_EQ(values.TranslateVariable("TIME"), "090507");
    EXPECT_EQ(values.TranslateVariable("TIME   "), "090507");
}

TEST_F(ValuesTest, DateMinusOneOnFirstJanuaryIsLastDayOfPreviousYear) {
    EXPECT_EQ(values.TranslateText("[DATE-1]"), "20231231");
    EXPECT_EQ(values.TranslateText("[DATE]"), "20240101");
    clock.set({dateFromMDY(12, 31, 2023), 1});
    EXPECT_EQ(values.TranslateText("[DATE+1]"), "20240101");
    clock.set({dateFromMDY(3, 1, 2024), 1});
    EXPECT_EQ(values.TranslateText("[DATE-1]"), "20240229");
}

TEST_F(ValuesTest, TodayUsesTheUserDateFormat) {
    clock.set({dateFromMDY(10, 31, 2024), 1});
    values.setSettings({"d3", false});
    EXPECT_EQ(values.TranslateVariable("TODAY"), "OCT 31,2024");
    values.setSettings({"d6", false});
    EXPECT_EQ(values.TranslateVariable("TODAY"), "31/10/2024");
    EXPECT_EQ(values.TranslateVariable("YESTERDAY"), "30/10/2024");
    EXPECT_EQ(values.TranslateVariable("TOMORROW"), "01/11/2024");
    values.setSettings({"d12", false});
    EXPECT_EQ(values.TranslateVariable("TODAY"), "20241031");
    // Formats outside 1-18 and pictures that are no number there fall back to format 3.
    values.setSettings({"n4b", false});
    EXPECT_EQ(values.TranslateVariable("TODAY"), "OCT 31,2024");
    values.setSettings({"d19", false});
    EXPECT_EQ(values.TranslateVariable("TODAY"), "OCT 31,2024");
    EXPECT_EQ(ScriptValues::userDatePicture("d17"), "@d17");
    EXPECT_EQ(ScriptValues::userDatePicture(""), "@d3");
}

TEST_F(ValuesTest, FocusComesFromTheWindowSystem) {
    EXPECT_EQ(values.TranslateVariable("FOCUS"), "");
    values.setFocusProvider([] { return std::string(300, 'w'); });
    EXPECT_EQ(values.TranslateVariable("focus").size(), 254u);
}

TEST_F(ValuesTest, ExpressionsInBrackets) {
    clock.set({dateFromMDY(6, 15, 2024), 1});
    EXPECT_EQ(values.TranslateText("He is [= AGE(DATE(10,31,1959),TODAY())] today"), "He is 64 today");
    EXPECT_EQ(values.TranslateText("[= AGE(DATE(6,15,1960),TODAY())]"), "64");
    EXPECT_EQ(values.TranslateText("[= AGE(DATE(6,16,1960),TODAY())]"), "63");
    EXPECT_EQ(values.TranslateText("[=2*(3+4)]"), "14");
    EXPECT_EQ(values.TranslateText("[=7/2]"), "3.5");
    EXPECT_EQ(values.TranslateText("[=today()-date(6,14,2024)]"), "1");
    values.SetValue("COUNT", "4");
    EXPECT_EQ(values.TranslateText("[=count*10]"), "40");
    // A rejected expression gives an empty text, then the variable lookup of the whole name.
    EXPECT_EQ(values.TranslateText("[=1+]"), "");
    vars.set("=1+", "kept");
    EXPECT_EQ(values.TranslateText("[=1+]"), "kept");
}

TEST_F(ValuesTest, SetValueEvaluatesOrKeepsTheTypedText) {
    values.SetValue("A", "=2+3");
    EXPECT_EQ(vars.text("A"), "5");
    values.SetValue("B", "=[A]*2");
    EXPECT_EQ(vars.text("B"), "10");
    values.SetValue("C", "=2+*");
    EXPECT_EQ(vars.text("C"), "=2+*");
    values.SetValue("D", "=nosuchfunction(1)");
    EXPECT_EQ(vars.text("D"), "=nosuchfunction(1)");
    values.SetValue("E", "=1/0");
    EXPECT_EQ(vars.text("E"), "=1/0");
}

TEST_F(ValuesTest, AgeInYearsAroundBirthdays) {
    EXPECT_EQ(ageInYears(dateFromMDY(2, 29, 2000), dateFromMDY(2, 28, 2001)), 0);
    EXPECT_EQ(ageInYears(dateFromMDY(2, 29, 2000), dateFromMDY(3, 1, 2001)), 1);
    EXPECT_EQ(ageInYears(dateFromMDY(5, 5, 2000), dateFromMDY(5, 5, 2000)), 0);
    EXPECT_EQ(ageInYears(dateFromMDY(5, 5, 2010), dateFromMDY(5, 5, 2000)), -10);
    ExpressionContext ctx{dateFromMDY(1, 1, 2024), nullptr};
    EXPECT_FALSE(evaluateNumber("nosuchname + 1", ctx).ok);
    EXPECT_FALSE(evaluateNumber("DATE(1,1,99999)", ctx).ok);
    EXPECT_FALSE(evaluateNumber("", ctx).ok);
    EXPECT_FALSE(evaluateNumber(std::string(2000, '1'), ctx).ok);
    EXPECT_TRUE(evaluateNumber("YEAR(DATE(13,1,2023))", ctx).ok);
    EXPECT_EQ(evaluateNumber("YEAR(DATE(13,1,2023))", ctx).value, 2024);
}

TEST_F(ValuesTest, CompareNumericModes) {
    values.SetValue("FileSize", "2048");
    EXPECT_TRUE(values.CompareValues("FILESIZE", ">", "1000"));
    EXPECT_FALSE(values.CompareValues("FILESIZE", "<", "1000"));
    values.SetValue("FileSize", "0");
    // Forced numeric: 0 = "abc" (which reads as 0).
    EXPECT_TRUE(values.CompareValues("FileSize", "=", "abc"));
    values.SetValue("N#", "0");
    EXPECT_TRUE(values.CompareValues("N#", "=", "0.00"));
    // Numbers compare as numbers as soon as one side is not 0.
    values.SetValue("V", "10");
    EXPECT_TRUE(values.CompareValues("V", ">", "9"));
    EXPECT_TRUE(values.CompareValues("V", "=", "10.00"));
}

TEST_F(ValuesTest, CompareTextsCaseSensitive) {
    values.SetValue("NAME", "abc");
    EXPECT_TRUE(values.CompareValues("NAME", "=", "abc"));
    EXPECT_FALSE(values.CompareValues("NAME", "=", "ABC"));
    EXPECT_TRUE(values.CompareValues("NAME", "<>", "ABC"));
    EXPECT_TRUE(values.CompareValues("NAME", "<", "abd"));
    EXPECT_TRUE(values.CompareValues("NAME", "=", "abc   "));
    values.SetValue("OTHER", "abc");
    EXPECT_TRUE(values.CompareValues("NAME", "=", "[OTHER]"));
    EXPECT_FALSE(
        values.CompareValues("NAME", "=", "x[OTHER]")); // only texts beginning with "[" are translated
}

TEST_F(ValuesTest, OperatorsMatchExactly) {
    values.SetValue("V", "5");
    EXPECT_TRUE(values.CompareValues("V", "=>", "5"));
    EXPECT_TRUE(values.CompareValues("V", "<=", "5"));
    for (const char* never : {">=", "=<", "==", "!=", "", "gt"}) {
        EXPECT_FALSE(values.CompareValues("V", never, "5")) << never;
        EXPECT_FALSE(values.CompareValues("V", never, "4")) << never;
        EXPECT_FALSE(values.CompareValues("V", never, "6")) << never;
    }
}

TEST_F(ValuesTest, VariableNamesAndValuesAreCut) {
    const std::string longName(40, 'n');
    values.SetValue(longName, std::string(300, 'v'));
    auto e = vars.find(longName.substr(0, 32));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->STRINGVALUE.size(), 255u);
}

TEST(ValuesDebugTest, DebugModeWritesTranslationsToTheEventLog) {
    qdtest::TempDir dir;
    EventLogConfig config;
    config.dataFolder = dir.path();
    config.logEvents = true;
    config.debugMode = true;
    EventLog log(config);
    VariableQueue vars;
    ScriptValues values(vars);
    values.setEventLog(&log);
    values.setSettings({"d3", true});
    values.TranslateText("[COUNT] [=1+1]");
    log.close();
    const std::string text = qdtest::readFile(log.filePath());
    EXPECT_NE(text.find("TranslateVariable"), std::string::npos);
    EXPECT_NE(text.find("Result:  2"), std::string::npos);
}

} // namespace
