#include "schedule/Recurrence.h"
#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/DayMath.h"
#include "data/Pictures.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

using namespace qd;

namespace {

Date dmy(int d, int m, int y) {
    return dateFromMDY(m, d, y);
}
Time hm(int h, int m, int s = 0) {
    return timeFromHMS(h, m, s);
}

ScheduleRecord rule(const std::string& type, Date date, Time time) {
    ScheduleRecord r;
    r.ScheduleType = type;
    r.Date = date;
    r.Time = time;
    return r;
}

ScheduleRecord custom(int every, const std::string& unit, Date date, Time time) {
    ScheduleRecord r = rule("Custom", date, time);
    r.Every = every;
    r.EveryType = unit;
    return r;
}

struct ForwardCase {
    const char* name;
    std::function<ScheduleRecord()> task;
    Date refDate;
    Time refTime;
    Date wantDate;
    Time wantTime;
    int wantCompleted = 0;
};

void PrintTo(const ForwardCase& c, std::ostream* os) {
    *os << c.name;
}

class NextOccurrenceCases : public ::testing::TestWithParam<ForwardCase> {};

TEST_P(NextOccurrenceCases, MovesToTheExpectedOccurrence) {
    const ForwardCase& c = GetParam();
    ScheduleRecord r = c.task();
    ScriptedUserInterface ui;
    NextOccurrence(r, c.refDate, c.refTime, ui);
    const CivilDate got = civilFromDate(r.Date);
    EXPECT_EQ(r.Date, c.wantDate) << got.day << "/" << got.month << "/" << got.year;
    EXPECT_EQ(r.Time, c.wantTime);
    EXPECT_EQ(r.Completed, c.wantCompleted);
    EXPECT_TRUE(ui.shown.empty());
}

ScheduleRecord twice(const std::string& variant, int offset, Date d) {
    ScheduleRecord r = rule("Monthly", d, hm(9, 0));
    r.MonthRepeat = variant;
    r.Offset = offset;
    return r;
}

ScheduleRecord dayOfMonth(Date d, std::function<void(ScheduleRecord&)> set) {
    ScheduleRecord r = rule("Day of Month", d, hm(9, 0));
    set(r);
    return r;
}

const ForwardCase kForward[] = {
    // Twice a month on the 4th and 18th (offset 3).
    {"TwiceOffsetFrom18th", [] { return twice("Twice - 1st, 15th", 3, dmy(18, 3, 2001)); }, dmy(18, 3, 2001),
     hm(9, 0), dmy(4, 4, 2001), hm(9, 0)},
    {"TwiceOffsetFrom4th", [] { return twice("Twice - 1st, 15th", 3, dmy(4, 4, 2001)); }, dmy(4, 4, 2001), hm(9, 0),
     dmy(18, 4, 2001), hm(9, 0)},
    // The 14th and the second-to-last day (offset -1).
    {"TwiceLastNegativeOffset", [] { return twice("Twice - 15th, Last", -1, dmy(14, 2, 2001)); }, dmy(14, 2, 2001),
     hm(9, 0), dmy(27, 2, 2001), hm(9, 0)},
    {"TwiceLastNegativeOffsetNext", [] { return twice("Twice - 15th, Last", -1, dmy(27, 2, 2001)); },
     dmy(27, 2, 2001), hm(9, 0), dmy(14, 3, 2001), hm(9, 0)},
    {"TwiceDecember15th", [] { return twice("Twice - 1st, 15th", 0, dmy(15, 12, 2001)); }, dmy(15, 12, 2001),
     hm(9, 0), dmy(1, 1, 2002), hm(9, 0)},
    {"TwiceLastDecember15th", [] { return twice("Twice - 15th, Last", 0, dmy(15, 12, 2001)); }, dmy(15, 12, 2001),
     hm(9, 0), dmy(31, 12, 2001), hm(9, 0)},
    {"TwiceDecember20th", [] { return twice("Twice - 1st, 15th", 0, dmy(20, 12, 2001)); }, dmy(20, 12, 2001),
     hm(9, 0), dmy(15, 1, 2002), hm(9, 0)},
    // Monthly keeps the carried day; yearly carries 29 February to 1 March.
    {"MonthlyCarries31st", [] { return rule("Monthly", dmy(31, 1, 2001), hm(9, 0)); }, dmy(31, 1, 2001), hm(9, 0),
     dmy(3, 3, 2001), hm(9, 0)},
    {"MonthlyKeepsCarriedDay", [] { return rule("Monthly", dmy(3, 3, 2001), hm(9, 0)); }, dmy(3, 3, 2001),
     hm(9, 0), dmy(3, 4, 2001), hm(9, 0)},
    {"YearlyLeapDay", [] { return rule("Yearly", dmy(29, 2, 2000), hm(9, 0)); }, dmy(29, 2, 2000), hm(9, 0),
     dmy(1, 3, 2001), hm(9, 0)},
    {"YearlyAfterLeapDay", [] { return rule("Yearly", dmy(1, 3, 2001), hm(9, 0)); }, dmy(1, 3, 2001), hm(9, 0),
     dmy(1, 3, 2002), hm(9, 0)},
    // Minute and hour rules cross midnight.
    {"Every90MinutesAt23", [] { return custom(90, "minute(s)", dmy(5, 5, 2005), hm(23, 0)); }, dmy(5, 5, 2005),
     hm(23, 0), dmy(6, 5, 2005), hm(0, 30)},
    {"Every1500MinutesAt10", [] { return custom(1500, "minute(s)", dmy(5, 5, 2005), hm(10, 0)); }, dmy(5, 5, 2005),
     hm(10, 0), dmy(6, 5, 2005), hm(11, 0)},
    {"Every30HoursAt22", [] { return custom(30, "Hours", dmy(5, 5, 2005), hm(22, 0)); }, dmy(5, 5, 2005), hm(22, 0),
     dmy(7, 5, 2005), hm(4, 0)},
    // The one-minute margin.
    {"DailyPerformed20sLate", [] { return custom(1, "day(s)", dmy(1, 6, 2010), hm(9, 0)); }, dmy(1, 6, 2010),
     hm(9, 0, 20), dmy(2, 6, 2010), hm(9, 0)},
    {"DailyCalled30sEarly", [] { return custom(1, "day(s)", dmy(1, 6, 2010), hm(9, 0)); }, dmy(1, 6, 2010),
     hm(8, 59, 30), dmy(2, 6, 2010), hm(9, 0)},
    {"DailyCalledTwoMinutesEarly", [] { return custom(1, "day(s)", dmy(1, 6, 2010), hm(9, 0)); }, dmy(1, 6, 2010),
     hm(8, 58, 0), dmy(1, 6, 2010), hm(9, 0)},
    {"EveryMinuteAtItsMoment", [] { return custom(1, "minute(s)", dmy(1, 6, 2010), hm(9, 0)); }, dmy(1, 6, 2010),
     hm(9, 0), dmy(1, 6, 2010), hm(9, 1)},
    {"EveryMinuteStepsEvenWhenAhead", [] { return custom(1, "minute(s)", dmy(1, 6, 2010), hm(9, 0)); },
     dmy(1, 6, 2010), hm(8, 0), dmy(1, 6, 2010), hm(9, 1)},
    {"SkipIfMissedTimeZero", [] { return custom(1, "day(s)", dmy(1, 6, 2010), hm(9, 0)); }, dmy(5, 6, 2010), 0,
     dmy(5, 6, 2010), hm(9, 0)},
    {"EveryMinuteTenYearsOverdue", [] { return custom(1, "minute(s)", dmy(1, 1, 2026), hm(15, 32)); },
     dmy(1, 1, 2036), hm(0, 0), dmy(1, 1, 2036), hm(0, 1)},
    {"WeeksJumpWholeSpan", [] { return custom(2, "week(s)", dmy(1, 1, 2026), hm(9, 0)); }, dmy(1, 1, 2036),
     hm(0, 0), dmy(1, 1, 2026) + 14 * 261, hm(9, 0)},
    {"EveryMonthsFrom31st", [] { return custom(3, "Month(s)", dmy(31, 1, 2001), hm(9, 0)); }, dmy(1, 6, 2001),
     hm(0, 0), dmy(1, 8, 2001), hm(9, 0)},
    // "Day of Month" by weekday and week of the month; month end.
    {"FirstMondayOnThe1st", [] { return dayOfMonth(dmy(31, 12, 2000), [](auto& r) { r.Monday = r.Every1st = 1; }); },
     dmy(31, 12, 2000), hm(9, 0), dmy(1, 1, 2001), hm(9, 0)},
    {"LastFridayOnTheLastDay",
     [] { return dayOfMonth(dmy(24, 8, 2001), [](auto& r) { r.Friday = r.EveryLast = 1; }); }, dmy(24, 8, 2001),
     hm(9, 0), dmy(31, 8, 2001), hm(9, 0)},
    {"MonthEndFrom31Jan", [] { return dayOfMonth(dmy(31, 1, 2001), [](auto& r) { r.LastDayofMonth = 1; }); },
     dmy(31, 1, 2001), hm(9, 0), dmy(28, 2, 2001), hm(9, 0)},
    {"MonthEndFrom28Feb", [] { return dayOfMonth(dmy(28, 2, 2001), [](auto& r) { r.LastDayofMonth = 1; }); },
     dmy(28, 2, 2001), hm(9, 0), dmy(31, 3, 2001), hm(9, 0)},
    {"MonthEndLeapYear", [] { return dayOfMonth(dmy(31, 1, 2004), [](auto& r) { r.LastDayofMonth = 1; }); },
     dmy(31, 1, 2004), hm(9, 0), dmy(29, 2, 2004), hm(9, 0)},
    {"FirstWeekEveryDay", [] { return dayOfMonth(dmy(3, 3, 2001), [](auto& r) { r.Every1st = 1; }); },
     dmy(7, 3, 2001), hm(9, 0), dmy(1, 4, 2001), hm(9, 0)},
    {"FirstWeekNextDay", [] { return dayOfMonth(dmy(3, 3, 2001), [](auto& r) { r.Every1st = 1; }); },
     dmy(3, 3, 2001), hm(9, 0), dmy(4, 3, 2001), hm(9, 0)},
    {"NoFlagsDayByDay", [] { return dayOfMonth(dmy(3, 3, 2001), [](auto&) {}); }, dmy(3, 3, 2001), hm(9, 0),
     dmy(4, 3, 2001), hm(9, 0)},
    {"DayOfMonthAlwaysLaterDate", [] { return dayOfMonth(dmy(3, 3, 2001), [](auto& r) { r.Saturday = 1; }); },
     dmy(10, 3, 2001), 1, dmy(17, 3, 2001), hm(9, 0)},
    {"WeekdaysWithoutOrdinal", [] { return dayOfMonth(dmy(3, 3, 2001), [](auto& r) { r.Tuesday = 1; }); },
     dmy(3, 3, 2001), hm(9, 0), dmy(6, 3, 2001), hm(9, 0)},
    {"DayOfWeekMonWedFri",
     [] {
         ScheduleRecord r = rule("Day of Week", dmy(2, 1, 2026), hm(9, 0));
         r.Monday = r.Wednesday = r.Friday = 1;
         return r;
     },
     dmy(2, 1, 2026), hm(9, 0), dmy(5, 1, 2026), hm(9, 0)},
    {"DayOfWeekNoFlags", [] { return rule("Day of Week", dmy(2, 1, 2026), hm(9, 0)); }, dmy(2, 1, 2026), hm(9, 0),
     dmy(3, 1, 2026), hm(9, 0)},
    // Expiry.
    {"ExpiryExactMomentStillCounts",
     [] {
         ScheduleRecord r = custom(1, "day(s)", dmy(1, 6, 2010), hm(9, 0));
         r.ExpiryDate = dmy(2, 6, 2010);
         r.ExpiryTime = hm(9, 0);
         return r;
     },
     dmy(1, 6, 2010), hm(9, 0), dmy(2, 6, 2010), hm(9, 0), 0},
    {"ExpiryOneUnitEarlierCompletes",
     [] {
         ScheduleRecord r = custom(1, "day(s)", dmy(1, 6, 2010), hm(9, 0));
         r.ExpiryDate = dmy(2, 6, 2010);
         r.ExpiryTime = hm(9, 0) - 1;
         return r;
     },
     dmy(1, 6, 2010), hm(9, 0), dmy(2, 6, 2010), hm(9, 0), 1},
    {"ExpiryWithoutTimeNeverExpires",
     [] {
         ScheduleRecord r = custom(1, "day(s)", dmy(1, 6, 2010), hm(9, 0));
         r.ExpiryDate = dmy(1, 1, 2000);
         return r;
     },
     dmy(1, 6, 2010), hm(9, 0), dmy(2, 6, 2010), hm(9, 0), 0},
    {"OnceCompletesInPlace", [] { return rule("Once", dmy(1, 6, 2010), hm(9, 0)); }, dmy(9, 9, 2019), hm(9, 0),
     dmy(1, 6, 2010), hm(9, 0), 1},
    {"BlankTypeIsCustom", [] { return custom(2, "day(s)", dmy(1, 6, 2010), hm(9, 0)); }, dmy(1, 6, 2010),
     hm(9, 0), dmy(3, 6, 2010), hm(9, 0)},
};

INSTANTIATE_TEST_SUITE_P(Rules, NextOccurrenceCases, ::testing::ValuesIn(kForward),
                         [](const auto& p) { return std::string(p.param.name); });

// A year of "Day of Month" occurrences by weekday and week of the month, written
// out from a printed calendar of 2026: each week's first and last day (1st, 7th,
// 8th, 14th, 15th, 21st, 22nd, 28th) and a last week that is also the fourth.
TEST(NextOccurrence, NthWeekdayOfTheMonthThroughAYear) {
    struct Case {
        const char* name;
        std::function<void(ScheduleRecord&)> set;
        std::vector<int> days; // day of month, January to December 2026
    };
    const std::vector<Case> cases = {
        {"first Monday", [](auto& r) { r.Monday = r.Every1st = 1; }, {5, 2, 2, 6, 4, 1, 6, 3, 7, 5, 2, 7}},
        {"second Tuesday",
         [](auto& r) { r.Tuesday = r.Every2nd = 1; },
         {13, 10, 10, 14, 12, 9, 14, 11, 8, 13, 10, 8}},
        {"third Thursday",
         [](auto& r) { r.Thursday = r.Every3rd = 1; },
         {15, 19, 19, 16, 21, 18, 16, 20, 17, 15, 19, 17}},
        {"fourth Wednesday",
         [](auto& r) { r.Wednesday = r.Every4th = 1; },
         {28, 25, 25, 22, 27, 24, 22, 26, 23, 28, 25, 23}},
        {"last Friday",
         [](auto& r) { r.Friday = r.EveryLast = 1; },
         {30, 27, 27, 24, 29, 26, 31, 28, 25, 30, 27, 25}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScheduleRecord r = dayOfMonth(dmy(31, 12, 2025), c.set);
        ScriptedUserInterface ui;
        for (int month = 1; month <= 12; ++month) {
            NextOccurrence(r, r.Date, r.Time, ui);
            const CivilDate got = civilFromDate(r.Date);
            EXPECT_EQ(got.year, 2026);
            EXPECT_EQ(got.month, month);
            EXPECT_EQ(got.day, c.days[static_cast<std::size_t>(month - 1)]);
            EXPECT_EQ(r.Time, hm(9, 0));
        }
        EXPECT_TRUE(ui.shown.empty());
    }
    // Second and fourth Tuesday together: both weeks, in turn.
    ScheduleRecord r = dayOfMonth(dmy(31, 3, 2026), [](auto& t) { t.Tuesday = t.Every2nd = t.Every4th = 1; });
    ScriptedUserInterface ui;
    std::vector<int> got;
    for (int i = 0; i < 4; ++i) {
        NextOccurrence(r, r.Date, r.Time, ui);
        got.push_back(civilFromDate(r.Date).day);
    }
    EXPECT_EQ(got, (std::vector<int>{14, 28, 12, 26}));
}

TEST(NextOccurrence, EveryBelowOneIsCorrectedInTheRecord) {
    ScheduleRecord r = custom(0, "day(s)", dmy(1, 6, 2010), hm(9, 0));
    r.ScheduleType = "";
    ScriptedUserInterface ui;
    NextOccurrence(r, dmy(1, 6, 2010), hm(9, 0), ui);
    EXPECT_EQ(r.Every, 1);
    EXPECT_EQ(r.Date, dmy(2, 6, 2010));

    ScheduleRecord negative = custom(-7, "week(s)", dmy(1, 6, 2010), hm(9, 0));
    NextOccurrence(negative, dmy(1, 6, 2010), hm(9, 0), ui);
    EXPECT_EQ(negative.Every, 1);
    EXPECT_EQ(negative.Date, dmy(8, 6, 2010));
}

TEST(NextOccurrence, InvalidUnitWarnsAndMovesToTheNextDay) {
    ScriptedUserInterface ui;
    ScheduleRecord r = custom(3, "", dmy(1, 6, 2010), hm(9, 0));
    NextOccurrence(r, dmy(4, 6, 2010), hm(12, 0), ui);
    EXPECT_EQ(r.Date, dmy(5, 6, 2010));
    EXPECT_EQ(r.Time, hm(9, 0));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Invalid Units");
    EXPECT_EQ(ui.shown[0].text, "Custom repetition is not set up properly.  Select units.");

    // Already later than the reference date: left alone, but still reported.
    ScheduleRecord later = custom(3, "fortnights", dmy(9, 6, 2010), hm(9, 0));
    NextOccurrence(later, dmy(4, 6, 2010), hm(12, 0), ui);
    EXPECT_EQ(later.Date, dmy(9, 6, 2010));
    EXPECT_EQ(ui.shown.size(), 2u);
}

TEST(NextOccurrence, NonsenseRulesEndWithoutHanging) {
    ScriptedUserInterface ui;
    // Huge counts, dates and times, unset fields: every call returns a defined result.
    const char* units[] = {"minute(s)", "hour(s)", "day(s)", "week(s)", "month(s)", "year(s)"};
    for (const char* unit : units) {
        for (std::int32_t every :
             {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min(), 0}) {
            for (Date d : {0, -5, std::numeric_limits<Date>::max(), std::numeric_limits<Date>::min()}) {
                ScheduleRecord r = custom(every, unit, d, std::numeric_limits<Time>::min());
                NextOccurrence(r, std::numeric_limits<Date>::max() - 10, std::numeric_limits<Time>::max(),
                               ui);
                EXPECT_GE(r.Every, 1);
                ScheduleRecord back = custom(every, unit, d, std::numeric_limits<Time>::max());
                PreviousOccurrence(back, std::numeric_limits<Date>::min() + 10,
                                   std::numeric_limits<Time>::min(), ui, systemClock());
            }
        }
    }
    for (const char* type : {"Monthly", "Yearly", "Day of Week", "Day of Month"}) {
        ScheduleRecord r = rule(type, 0, 0);
        r.MonthRepeat = "Twice";
        r.Offset = std::numeric_limits<std::int32_t>::min();
        NextOccurrence(r, dmy(1, 1, 2026), 0, ui);
        EXPECT_GT(r.Date, dmy(1, 1, 2026)) << type;
    }
}

TEST(PreviousOccurrence, MirrorsTheForwardRule) {
    ScriptedUserInterface ui;
    ScheduleRecord daily = custom(1, "day(s)", dmy(20, 6, 2010), hm(9, 0));
    PreviousOccurrence(daily, dmy(10, 6, 2010), hm(9, 0, 30), ui, systemClock());
    EXPECT_EQ(daily.Date, dmy(9, 6, 2010)); // 09:00 on the 10th is less than a minute before
    NextOccurrence(daily, dmy(10, 6, 2010), hm(9, 0, 30), ui);
    EXPECT_EQ(daily.Date, dmy(11, 6, 2010));

    ScheduleRecord t = twice("Twice - 15th, Last", 0, dmy(15, 3, 2001));
    PreviousOccurrence(t, dmy(15, 3, 2001), hm(9, 0), ui, systemClock());
    EXPECT_EQ(t.Date, dmy(28, 2, 2001));

    ScheduleRecord once = rule("Once", dmy(1, 6, 2010), hm(9, 0));
    PreviousOccurrence(once, dmy(1, 1, 2000), 1, ui, systemClock());
    EXPECT_EQ(once.Completed, 1);
    EXPECT_EQ(once.Date, dmy(1, 6, 2010));

    ScheduleRecord bad = custom(1, "?", dmy(20, 6, 2010), hm(9, 0));
    PreviousOccurrence(bad, dmy(10, 6, 2010), hm(9, 0), ui, systemClock());
    EXPECT_EQ(bad.Date, dmy(9, 6, 2010));
    EXPECT_TRUE(ui.shown.size() == 1 && ui.shown[0].title == "Invalid Units");
}

TEST(PreviousOccurrence, LongSearchReportsWithTheClockAndLandsExactly) {
    ManualClock clock(Moment{dmy(5, 6, 2026), hm(7, 8, 9)});
    setPictureLocale(PictureLocale{}); // month/day/year, 24-hour clock
    ScriptedUserInterface ui;
    ScheduleRecord r = custom(1, "minute(s)", dmy(1, 6, 2026), hm(9, 0));
    r.EveryType = "minute(s)";
    PreviousOccurrence(r, dmy(1, 1, 2026), hm(12, 0), ui, clock);
    EXPECT_EQ(r.Date, dmy(1, 1, 2026));
    EXPECT_EQ(r.Time, hm(11, 59));
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Debug Previous");
    EXPECT_EQ(ui.shown[0].text, "Failed on Custom(minute(s),06/05/2026,07:08)");

    // A search that could never end gives the task its occurrence back.
    ScheduleRecord stuck = custom(5, "minute(s)", 0, 0);
    PreviousOccurrence(stuck, -1, 0, ui, clock);
    EXPECT_EQ(stuck.Date, 0);
    EXPECT_EQ(stuck.Time, 0);
    EXPECT_EQ(ui.shown.size(), 2u);
}

TEST(DateMatchesSchedule, FollowsEachRule) {
    ScheduleRecord dow = rule("Day of Week", dmy(5, 1, 2026), hm(9, 0)); // a Monday
    dow.Monday = 1;
    EXPECT_TRUE(DateMatchesSchedule(dow, 0));
    EXPECT_FALSE(DateMatchesSchedule(dow, dmy(6, 1, 2026)));
    dow.Monday = 0;
    EXPECT_FALSE(DateMatchesSchedule(dow, 0));

    ScheduleRecord t = twice("Twice - 1st, 15th", 3, dmy(4, 4, 2001));
    EXPECT_TRUE(DateMatchesSchedule(t, 0));
    EXPECT_TRUE(DateMatchesSchedule(t, dmy(18, 4, 2001)));
    EXPECT_FALSE(DateMatchesSchedule(t, dmy(1, 4, 2001)));
    ScheduleRecord tl = twice("Twice - 15th, Last", -1, dmy(27, 2, 2001));
    EXPECT_TRUE(DateMatchesSchedule(tl, 0));
    EXPECT_TRUE(DateMatchesSchedule(tl, dmy(14, 3, 2001)));
    EXPECT_FALSE(DateMatchesSchedule(tl, dmy(28, 2, 2001)));

    ScheduleRecord end = dayOfMonth(dmy(29, 2, 2004), [](auto& r) { r.LastDayofMonth = 1; });
    EXPECT_TRUE(DateMatchesSchedule(end, 0));
    EXPECT_FALSE(DateMatchesSchedule(end, dmy(28, 2, 2004)));

    ScheduleRecord lastFri = dayOfMonth(dmy(31, 8, 2001), [](auto& r) { r.Friday = r.EveryLast = 1; });
    EXPECT_TRUE(DateMatchesSchedule(lastFri, 0));
    EXPECT_FALSE(DateMatchesSchedule(lastFri, dmy(24, 8, 2001)));
    ScheduleRecord secondTue = dayOfMonth(dmy(13, 1, 2026), [](auto& r) { r.Tuesday = r.Every2nd = 1; });
    EXPECT_TRUE(DateMatchesSchedule(secondTue, 0));
    EXPECT_FALSE(DateMatchesSchedule(secondTue, dmy(20, 1, 2026)));

    // Weekdays without an ordinal never match, although the forward rule uses them.
    ScheduleRecord noOrdinal = dayOfMonth(dmy(13, 1, 2026), [](auto& r) { r.Tuesday = 1; });
    for (Date d = dmy(1, 1, 2026); d < dmy(1, 3, 2026); ++d)
        EXPECT_FALSE(DateMatchesSchedule(noOrdinal, d));

    for (const char* type : {"Once", "Monthly", "Yearly", "Custom", "whatever"})
        EXPECT_TRUE(DateMatchesSchedule(rule(type, dmy(13, 1, 2026), 1), dmy(2, 2, 2027)));
}

TEST(RuleText, TypesVariantsAndUnits) {
    EXPECT_EQ(ruleTypeOf("Day of Week  "), RuleType::DayOfWeek);
    EXPECT_EQ(ruleTypeOf("day of week"), RuleType::Custom);
    EXPECT_EQ(ruleTypeOf(""), RuleType::Custom);
    EXPECT_TRUE(isTwiceMonthly("twice - 1st, 15th"));
    EXPECT_FALSE(isTwiceMonthly("Once"));
    EXPECT_FALSE(isTwiceMonthly("Twic"));
    EXPECT_TRUE(twiceMonthlyOnLast("Twice - 15th, last"));
    EXPECT_FALSE(twiceMonthlyOnLast("Twice - 1st, 15th"));
    EXPECT_EQ(repeatUnitOf("MINUTES"), RepeatUnit::Minute);
    EXPECT_EQ(repeatUnitOf("Hour(s)"), RepeatUnit::Hour);
    EXPECT_EQ(repeatUnitOf("yea"), RepeatUnit::Year);
    EXPECT_EQ(repeatUnitOf("mo"), RepeatUnit::Invalid);
    EXPECT_EQ(repeatUnitOf(" min"), RepeatUnit::Invalid);
}

} // namespace
