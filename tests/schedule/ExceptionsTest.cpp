#include "schedule/Exceptions.h"
#include "data/Calendar.h"
#include "schedule/MemoryStores.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

Date dmy(int d, int m, int y) {
    return dateFromMDY(m, d, y);
}
Time hm(int h, int m) {
    return timeFromHMS(h, m, 0);
}

ScheduleRecord daily(Date d, Time t) {
    ScheduleRecord r;
    r.ID = 7;
    r.OriginalID = 7;
    r.ScheduleType = "Custom";
    r.Every = 1;
    r.EveryType = "day(s)";
    r.Description = "Backup";
    r.Date = d;
    r.Time = t;
    return r;
}

class Exceptions : public ::testing::Test {
protected:
    MemoryTaskStore store;
    MemoryHolidayStore holidays;
    ScriptedUserInterface ui;

    ExceptionOutcome apply(ScheduleRecord& r) { return ApplyExceptions(r, store, holidays, ui); }
};

TEST_F(Exceptions, OnceAndDayOfWeekLoseTheirExceptions) {
    for (const char* type : {"Once", "Day of Week"}) {
        ScheduleRecord r = daily(dmy(7, 3, 2026), hm(9, 0)); // a Saturday
        r.ScheduleType = type;
        r.ExceptWeekends = r.ExceptHolidays = r.ExceptTime = 1;
        r.ExceptTimeBegin = hm(8, 0);
        r.ExceptTimeEnd = hm(10, 0);
        r.ExceptOther = "Y     Y";
        r.ShiftType = "Next day";
        const ScheduleRecord before = r;
        apply(r);
        EXPECT_EQ(r.ExceptWeekends + r.ExceptWeekdays + r.ExceptHolidays + r.ExceptTime, 0) << type;
        EXPECT_EQ(r.ExceptTimeBegin, 0);
        EXPECT_EQ(r.ExceptTimeEnd, 0);
        EXPECT_EQ(r.ExceptOther, "");
        EXPECT_EQ(r.Date, before.Date);
        EXPECT_EQ(r.Time, before.Time);
        EXPECT_EQ(r.SkipNextTime, 0);
        EXPECT_TRUE(store.tasks.empty());
    }
}

TEST_F(Exceptions, WeekendsWinOverWeekdays) {
    ScheduleRecord wednesday = daily(dmy(4, 3, 2026), hm(9, 0));
    wednesday.ExceptWeekends = wednesday.ExceptWeekdays = 1;
    apply(wednesday);
    EXPECT_EQ(wednesday.ExceptWeekdays, 0);
    EXPECT_EQ(wednesday.SkipNextTime, 0);

    ScheduleRecord saturday = daily(dmy(7, 3, 2026), hm(9, 0));
    saturday.ExceptWeekends = saturday.ExceptWeekdays = 1;
    apply(saturday);
    EXPECT_EQ(saturday.SkipNextTime, 1);
}

TEST(ExceptionWindow, EndsAndMidnight) {
    ScheduleRecord r;
    r.ExceptTimeBegin = hm(22, 0);
    r.ExceptTimeEnd = hm(6, 0);
    EXPECT_FALSE(InExceptionWindow(r, hm(6, 0)));
    EXPECT_FALSE(InExceptionWindow(r, hm(22, 0)));
    EXPECT_TRUE(InExceptionWindow(r, hm(6, 0) - 1));
    EXPECT_TRUE(InExceptionWindow(r, hm(22, 0) + 1));
    EXPECT_FALSE(InExceptionWindow(r, hm(12, 0)));
    r.ExceptTimeBegin = hm(9, 0);
    r.ExceptTimeEnd = hm(17, 0);
    EXPECT_TRUE(InExceptionWindow(r, hm(9, 0)));
    EXPECT_TRUE(InExceptionWindow(r, hm(17, 0)));
    EXPECT_FALSE(InExceptionWindow(r, hm(17, 0) + 1));
    r.ExceptTimeEnd = 0; // end of the day
    EXPECT_TRUE(InExceptionWindow(r, kTimeDay));
}

struct WindowCase {
    const char* name;
    const char* unit;
    Time time;
    Time begin;
    Time end;
    Date wantDate;
    Time wantTime;
    Time wantEnd;
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.name;
}

class TimeWindow : public ::testing::TestWithParam<WindowCase> {};

TEST_P(TimeWindow, LeavesTheWindow) {
    const WindowCase& c = GetParam();
    MemoryTaskStore store;
    MemoryHolidayStore holidays;
    ScriptedUserInterface ui;
    ScheduleRecord r = daily(dmy(4, 3, 2026), c.time);
    r.EveryType = c.unit;
    r.ExceptTime = 1;
    r.ExceptTimeBegin = c.begin;
    r.ExceptTimeEnd = c.end;
    const ExceptionOutcome out = ApplyExceptions(r, store, holidays, ui);
    EXPECT_EQ(r.Date, c.wantDate);
    EXPECT_EQ(r.Time, c.wantTime);
    EXPECT_EQ(r.ExceptTimeEnd, c.wantEnd);
    EXPECT_EQ(out.timeMoved, c.wantTime != c.time || c.wantDate != dmy(4, 3, 2026));
    EXPECT_EQ(r.SkipNextTime, 0);
    EXPECT_TRUE(store.tasks.empty());
}

const WindowCase kWindows[] = {
    {"HourlyMovesPastInclusiveEnd", "hour(s)", hm(10, 0), hm(9, 0), hm(17, 0), dmy(4, 3, 2026), hm(18, 0),
     hm(17, 0)},
    {"OutsideStays", "hour(s)", hm(8, 0), hm(9, 0), hm(17, 0), dmy(4, 3, 2026), hm(8, 0), hm(17, 0)},
    {"DailyAcrossMidnightFallsBack", "day(s)", hm(23, 0), hm(22, 0), hm(6, 0), dmy(5, 3, 2026), hm(6, 0),
     hm(6, 0)},
    {"DailyInsideDayWindowFallsBackToNextDay", "day(s)", hm(10, 0), hm(9, 0), hm(17, 0), dmy(5, 3, 2026),
     hm(17, 0), hm(17, 0)},
    {"EndZeroRunsToEndOfDay", "hour(s)", hm(20, 0), hm(19, 0), 0, dmy(5, 3, 2026), hm(0, 0), kTimeDay},
    {"MinutesAcrossMidnight", "minute(s)", hm(23, 30), hm(22, 0), hm(6, 0), dmy(5, 3, 2026), hm(6, 0),
     hm(6, 0)},
};

INSTANTIATE_TEST_SUITE_P(Cases, TimeWindow, ::testing::ValuesIn(kWindows),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(Exceptions, BrokenRuleWarnsOnceWhileLeavingTheWindow) {
    ScheduleRecord r = daily(dmy(4, 3, 2026), hm(10, 0));
    r.EveryType = "";
    r.ExceptTime = 1;
    r.ExceptTimeBegin = hm(9, 0);
    r.ExceptTimeEnd = hm(17, 0);
    apply(r);
    EXPECT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(r.Time, hm(17, 0));
}

TEST_F(Exceptions, HolidayWithNextDayMakesOneTimeCopy) {
    holidays.rows[dmy(2, 3, 2026)] = HolidaysRecord{dmy(2, 3, 2026), "Holiday", "Once"};
    store.add(ScheduleRecord{});                         // an unrelated task 1
    ScheduleRecord r = daily(dmy(2, 3, 2026), hm(9, 0)); // a Monday
    r.ScheduleType = "Day of Month";
    r.Monday = r.Every1st = 1;
    r.ExceptHolidays = r.ExceptWeekends = 1;
    r.ShiftType = "Next day";
    store.add(r);
    const ExceptionOutcome out = apply(r);
    EXPECT_TRUE(out.dateExcluded);
    EXPECT_EQ(r.SkipNextTime, 1);
    EXPECT_EQ(r.Date, dmy(2, 3, 2026)); // the task keeps its excluded occurrence
    ASSERT_NE(r.ExceptionLink, 0);
    EXPECT_EQ(out.copyId, r.ExceptionLink);
    const ScheduleRecord& copy = store.tasks.at(r.ExceptionLink);
    EXPECT_EQ(copy.ScheduleType, "Once");
    EXPECT_EQ(copy.Date, dmy(3, 3, 2026));
    EXPECT_EQ(copy.Time, hm(9, 0));
    EXPECT_EQ(copy.Description, "Backup");
    EXPECT_EQ(copy.SkipNextTime, 0);
    EXPECT_EQ(copy.ExceptionLink, 0);
    EXPECT_EQ(store.copiedFrom.at(copy.ID), 7);

    // The next excluded occurrence replaces the copy.
    r.Date = dmy(7, 3, 2026); // a Saturday
    const std::int32_t firstCopy = r.ExceptionLink;
    const ExceptionOutcome again = apply(r);
    EXPECT_EQ(again.removedCopyId, firstCopy);
    EXPECT_EQ(store.tasks.at(r.ExceptionLink).Date, dmy(9, 3, 2026));
    EXPECT_EQ(store.tasks.size(), 3u); // task 1, the task and the new copy only
}

TEST_F(Exceptions, StaleLinkToAnotherTaskIsNotDeleted) {
    ScheduleRecord other = daily(dmy(1, 3, 2026), hm(8, 0));
    other.ID = 12;
    other.OriginalID = 12;
    other.ScheduleType = "Once";
    store.add(other);
    ScheduleRecord r = daily(dmy(7, 3, 2026), hm(9, 0));
    r.ScheduleType = "Monthly";
    r.ExceptWeekends = 1;
    r.ShiftType = "Previous day";
    r.ExceptionLink = 12;
    apply(r);
    EXPECT_EQ(store.tasks.count(12), 1u);
    EXPECT_EQ(store.tasks.at(r.ExceptionLink).Date, dmy(6, 3, 2026));
}

TEST_F(Exceptions, SkipShiftOnlyPassesOver) {
    ScheduleRecord r = daily(dmy(7, 3, 2026), hm(9, 0));
    r.ExceptWeekends = 1;
    r.ShiftType = "Skip (to next valid day)";
    r.ExceptionLink = 3;
    apply(r);
    EXPECT_EQ(r.SkipNextTime, 1);
    EXPECT_EQ(r.ExceptionLink, 3);
    EXPECT_TRUE(store.tasks.empty());
}

TEST_F(Exceptions, EveryDayExcludedCopiesOnTheExcludedDate) {
    ScheduleRecord r = daily(dmy(4, 3, 2026), hm(9, 0));
    r.ExceptOther = "YYYYYYY";
    r.ShiftType = "Previous day";
    apply(r);
    ASSERT_NE(r.ExceptionLink, 0);
    EXPECT_EQ(store.tasks.at(r.ExceptionLink).Date, dmy(4, 3, 2026));
}

TEST_F(Exceptions, FailedInsertLeavesNoLink) {
    store.failInserts = true;
    ScheduleRecord r = daily(dmy(7, 3, 2026), hm(9, 0));
    r.ExceptWeekends = 1;
    r.ShiftType = "Next day";
    r.ExceptionLink = 99;
    const ExceptionOutcome out = apply(r);
    EXPECT_TRUE(out.copyFailed);
    EXPECT_EQ(r.ExceptionLink, 0);
    EXPECT_EQ(r.SkipNextTime, 1);
}

TEST_F(Exceptions, OverrideByDayAndTimeTogether) {
    // Wednesday 23:30 in a 23:00-23:59 window: a daily rule never leaves the window, so
    // the occurrence falls back to Thursday at the window's end. Wednesday was the
    // excluded day, so the occurrence is still passed over and the copy starts from
    // the moved date.
    ScheduleRecord r = daily(dmy(4, 3, 2026), hm(23, 30));
    r.ExceptTime = 1;
    r.ExceptTimeBegin = hm(23, 0);
    r.ExceptTimeEnd = hm(23, 59);
    r.ExceptOther = "   Y   "; // Wednesday
    r.ShiftType = "Next day";
    apply(r);
    EXPECT_EQ(r.Date, dmy(5, 3, 2026));
    EXPECT_EQ(r.Time, hm(23, 59));
    EXPECT_EQ(r.SkipNextTime, 1);
    EXPECT_EQ(store.tasks.at(r.ExceptionLink).Date, dmy(5, 3, 2026));
}

TEST_F(Exceptions, NothingToDoWithoutRules) {
    ScheduleRecord r = daily(dmy(7, 3, 2026), hm(9, 0));
    r.ExceptOther = "       ";
    const ScheduleRecord before = r;
    apply(r);
    EXPECT_EQ(r, before);
}

} // namespace
