#include "schedule/ScheduleDescription.h"

#include <gtest/gtest.h>

#include <functional>

using namespace qd;

namespace {

struct DescriptionCase {
    const char* name;
    std::function<void(ScheduleRecord&)> set;
    const char* want;
};

void PrintTo(const DescriptionCase& c, std::ostream* os) {
    *os << c.name;
}

class Description : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(Description, Text) {
    ScheduleRecord r;
    GetParam().set(r);
    EXPECT_EQ(ScheduleDescription(r), GetParam().want);
}

const DescriptionCase kCases[] = {
    {"Once", [](auto& r) { r.ScheduleType = "Once"; }, "Once"},
    {"OnceWithLeftoverExceptions",
     [](auto& r) {
         r.ScheduleType = "Once";
         r.ExceptWeekends = 1;
     },
     "Once (exceptions exist)"},
    {"Yearly", [](auto& r) { r.ScheduleType = "Yearly"; }, "Yearly"},
    {"MonthlyOnce",
     [](auto& r) {
         r.ScheduleType = "Monthly";
         r.MonthRepeat = "Once";
         r.Offset = 4;
     },
     "Monthly"},
    {"TwiceWithOffset",
     [](auto& r) {
         r.ScheduleType = "Monthly";
         r.MonthRepeat = "Twice - 1st, 15th";
         r.Offset = 3;
     },
     "Twice Monthly (3)"},
    {"TwiceNegativeOffset",
     [](auto& r) {
         r.ScheduleType = "Monthly";
         r.MonthRepeat = "Twice - 15th, Last";
         r.Offset = -1;
     },
     "Twice Monthly (-1)"},
    {"TwiceNoOffset",
     [](auto& r) {
         r.ScheduleType = "Monthly";
         r.MonthRepeat = "Twice - 15th, Last";
     },
     "Twice Monthly"},
    {"DayOfWeek",
     [](auto& r) {
         r.ScheduleType = "Day of Week";
         r.Monday = r.Wednesday = r.Friday = 1;
     },
     "Days: Mon, Wed, Fri"},
    {"DayOfWeekNone", [](auto& r) { r.ScheduleType = "Day of Week"; }, "Days:"},
    {"DayOfMonthOrdinalsAndFriday",
     [](auto& r) {
         r.ScheduleType = "Day of Month";
         r.Every1st = r.Every3rd = r.EveryLast = 1;
         r.Friday = 1;
     },
     "Days: 1st, 3rd, Last: Fri"},
    {"DayOfMonthSecondMonTue",
     [](auto& r) {
         r.ScheduleType = "Day of Month";
         r.Every2nd = 1;
         r.Monday = r.Tuesday = 1;
     },
     "Days: 2nd: Mon, Tue"},
    {"DayOfMonthNoOrdinal",
     [](auto& r) {
         r.ScheduleType = "Day of Month";
         r.Monday = 1;
     },
     "Days:: Mon"},
    {"DayOfMonthMonthEndNotShown",
     [](auto& r) {
         r.ScheduleType = "Day of Month";
         r.LastDayofMonth = 1;
     },
     "Days::"},
    {"CustomWithHolidays",
     [](auto& r) {
         r.ScheduleType = "Custom";
         r.Every = 15;
         r.EveryType = "minute(s)";
         r.ExceptHolidays = 1;
     },
     "Every 15 minute(s) (exceptions exist)"},
    {"OlderNameOther",
     [](auto& r) {
         r.ScheduleType = "Other";
         r.Every = 2;
         r.EveryType = "hour(s)";
     },
     "Every 2 hour(s)"},
    {"OlderNameEveryBlankUnit",
     [](auto& r) {
         r.ScheduleType = "Every";
         r.Every = 0;
     },
     "Every 0"},
    {"UnknownTypeKeepsItsText", [](auto& r) { r.ScheduleType = "Fortnightly"; }, "Fortnightly"},
    {"BlankTypeWithExceptionOverride", [](auto& r) { r.ExceptOther = "      Y"; }, "(exceptions exist)"},
    {"BlankOverridesAreNoException",
     [](auto& r) {
         r.ScheduleType = "Yearly";
         r.ExceptOther = "       ";
     },
     "Yearly"},
    {"CutAtEightyCharacters",
     [](auto& r) {
         r.ScheduleType = "Day of Month";
         r.Every1st = r.Every2nd = r.Every3rd = r.Every4th = r.EveryLast = 1;
         r.Sunday = r.Monday = r.Tuesday = r.Wednesday = r.Thursday = r.Friday = r.Saturday = 1;
         r.ExceptTime = 1;
     },
     "Days: 1st, 2nd, 3rd, 4th, Last: Sun, Mon, Tue, Wed, Thu, Fri, Sat (exceptions ex"},
};

INSTANTIATE_TEST_SUITE_P(Rules, Description, ::testing::ValuesIn(kCases),
                         [](const auto& p) { return std::string(p.param.name); });

} // namespace
