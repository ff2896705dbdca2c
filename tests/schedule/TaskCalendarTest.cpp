#include "schedule/TaskCalendar.h"

#include "data/StoreFixture.h"
#include "data/TableDefs.h"
#include "schedule/MemoryStores.h"
#include "schedule/Recurrence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using namespace qd;

namespace {

Date dmy(int d, int m, int y) {
    return dateFromMDY(m, d, y);
}
Time hm(int h, int m) {
    return timeFromHMS(h, m, 0);
}

ScheduleRecord custom(Date d, Time t, int every, const char* unit) {
    ScheduleRecord r;
    r.ScheduleType = "Custom";
    r.Every = every;
    r.EveryType = unit;
    r.TaskType = "Display Message";
    r.Description = "Task";
    r.Date = d;
    r.Time = t;
    return r;
}

// The days marked due in [from, to], in order.
std::vector<Date> dueDays(const ScheduleRecord& task, Date from, Date to, const HolidayCalendar& holidays) {
    std::map<Date, DayMarks> marks;
    addTaskDays(task, from, to, holidays, marks);
    std::vector<Date> out;
    for (const auto& [day, m] : marks)
        if (m.due > 0) out.push_back(day);
    return out;
}

std::vector<Date> range(Date from, Date to, int step = 1) {
    std::vector<Date> out;
    for (Date d = from; d <= to; d += step)
        out.push_back(d);
    return out;
}

class UiQuiet final : public UserInterface {
public:
    void message(const std::string&, const std::string&, MessageIcon) override {}
    bool ask(const std::string&, const std::string&) override { return false; }
    std::optional<std::string> chooseFolder(const std::string&, const std::string&) override { return {}; }
    void setClipboardText(const std::string&) override {}
};

} // namespace

TEST(CalendarPages, YearsWrapAtTheEndsAndMonthsCrossYearEnds) {
    EXPECT_EQ(nextYear({2099, 12}), (CalendarMonth{1801, 12}));
    EXPECT_EQ(previousYear({1801, 12}), (CalendarMonth{2099, 12}));
    EXPECT_EQ(nextYear({2026, 2}), (CalendarMonth{2027, 2}));
    EXPECT_EQ(nextMonth({2026, 12}), (CalendarMonth{2027, 1}));
    EXPECT_EQ(previousMonth({2027, 1}), (CalendarMonth{2026, 12}));
    EXPECT_EQ(nextMonth({2099, 12}), (CalendarMonth{1801, 1}));
    EXPECT_EQ(previousMonth({1801, 1}), (CalendarMonth{2099, 12}));
    EXPECT_EQ(calendarMonthOf(dmy(31, 12, 2026)), (CalendarMonth{2026, 12}));
    EXPECT_EQ(calendarMonthOf(0), (CalendarMonth{1801, 1}));
    EXPECT_EQ(calendarMonthText({1801, 12}), "December, 1801");

    // Each page starts on the Sunday on or before the 1st and shows the whole month.
    for (CalendarMonth m{2026, 1}; !(m == CalendarMonth{2028, 1}); m = nextMonth(m)) {
        const Date first = firstShownDay(m);
        const Date firstOfMonth = dateFromMDY(m.month, 1, m.year);
        EXPECT_EQ(weekdayOf(first), 0);
        EXPECT_LE(first, firstOfMonth);
        EXPECT_GT(first + 7, firstOfMonth);
        EXPECT_LT(lastDayOfMonth(firstOfMonth), first + kCalendarDays);
    }
    // The first page of all starts in December 1800 and still has 1 January 1801.
    EXPECT_EQ(firstShownDay({1801, 1}), dmy(28, 12, 1800));
}

TEST(CalendarPages, TitleAndRuleAwareDays) {
    ScheduleRecord rule;
    EXPECT_EQ(calendarWindowTitle("Select Starting Date", &rule), "Select Starting Date");
    EXPECT_EQ(calendarWindowTitle("", nullptr), "Select Date");
    EXPECT_EQ(calendarWindowTitle("", &rule), "Select Date");
    rule.ScheduleType = "Day of Week";
    rule.Monday = 1;
    EXPECT_EQ(calendarWindowTitle(" ", &rule), "Day of Week");
    const Date monday = dmy(7, 12, 2026);
    EXPECT_TRUE(calendarDayAllowed(&rule, monday));
    EXPECT_FALSE(calendarDayAllowed(&rule, monday + 1));
    EXPECT_TRUE(calendarDayAllowed(nullptr, monday + 1));
}

TEST(CalendarMarks, RecurringTasksMarkTheirLaterOccurrencesNotJustTheStoredDate) {
    MemoryHolidayStore none;
    const Date from = dmy(29, 11, 2026), to = from + kCalendarDays - 1;
    // Every two days from 2 December: the stored date is one of many marked days.
    EXPECT_EQ(dueDays(custom(dmy(2, 12, 2026), hm(9, 0), 2, "day(s)"), from, to, none),
              range(dmy(2, 12, 2026), to, 2));
    // Overdue since October: the days of the page from its first on.
    EXPECT_EQ(dueDays(custom(dmy(3, 10, 2026), hm(9, 0), 1, "day(s)"), from, to, none), range(from, to));
    // Every minute: every day, without walking through the minutes.
    EXPECT_EQ(dueDays(custom(dmy(1, 12, 2026), hm(0, 0), 1, "minute(s)"), from, to, none),
              range(dmy(1, 12, 2026), to));
    // A daily task at 00:00:30 still counts on its own day, not the next.
    EXPECT_EQ(dueDays(custom(from, timeFromHMS(0, 0, 30), 1, "day(s)"), from, from + 2, none),
              range(from, from + 2));
    // Any rule: the days are those the engine gives stepping one occurrence at a time.
    auto stepByStep = [&](ScheduleRecord t) {
        std::vector<Date> out;
        UiQuiet quiet;
        for (int i = 0; i < 5000 && t.Date <= to && !t.Completed; ++i) {
            if (t.Date >= from && (out.empty() || out.back() != t.Date)) out.push_back(t.Date);
            NextOccurrence(t, t.Date, t.Time, quiet);
        }
        return out;
    };
    std::vector<ScheduleRecord> rules;
    ScheduleRecord monthly = custom(dmy(31, 10, 2026), hm(9, 0), 1, "month(s)");
    monthly.ScheduleType = "Monthly";
    monthly.MonthRepeat = "Once";
    rules.push_back(monthly);
    monthly.MonthRepeat = "Twice - 15th, Last";
    monthly.Offset = -1;
    rules.push_back(monthly);
    ScheduleRecord third = custom(dmy(16, 11, 2026), hm(9, 0), 1, "day(s)");
    third.ScheduleType = "Day of Month";
    third.Monday = third.Every3rd = third.EveryLast = 1;
    rules.push_back(third);
    rules.push_back(custom(dmy(30, 11, 2026), hm(23, 0), 5, "hour(s)"));
    rules.push_back(custom(dmy(30, 11, 2026), hm(23, 0), 2, "week(s)"));
    ScheduleRecord weekly = custom(dmy(1, 12, 2026), hm(7, 0), 1, "day(s)");
    weekly.ScheduleType = "Day of Week";
    weekly.Tuesday = weekly.Saturday = 1;
    rules.push_back(weekly);
    for (const ScheduleRecord& t : rules)
        EXPECT_EQ(dueDays(t, from, to, none), stepByStep(t)) << t.ScheduleType << " " << t.EveryType;
    // A custom rule with an unknown unit ends, without a message to anybody.
    EXPECT_LE(dueDays(custom(from, hm(9, 0), 1, "fortnights"), from, to, none).size(), 42u);
}

TEST(CalendarMarks, ExpiryStateAndExceptionsDecideTheDays) {
    MemoryHolidayStore holidays;
    const Date from = dmy(29, 11, 2026), to = from + kCalendarDays - 1;
    const Date christmas = dmy(25, 12, 2026); // a Friday
    HolidaysRecord h;
    h.HolidayDate = christmas;
    h.Holiday = "Christmas Day";
    ASSERT_TRUE(holidays.addHoliday(h));

    ScheduleRecord daily = custom(dmy(21, 12, 2026), hm(9, 0), 1, "day(s)");
    daily.ExpiryDate = dmy(23, 12, 2026);
    daily.ExpiryTime = hm(12, 0);
    EXPECT_EQ(dueDays(daily, from, to, holidays), range(dmy(21, 12, 2026), dmy(23, 12, 2026)));

    ScheduleRecord off = custom(from, hm(9, 0), 1, "day(s)");
    off.Disabled = 1;
    EXPECT_TRUE(dueDays(off, from, to, holidays).empty());
    off.Completed = 1; // a history record: done on its day, nothing due
    std::map<Date, DayMarks> marks;
    addTaskDays(off, from, to, holidays, marks);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[from].done, 1);
    EXPECT_EQ(marks[from].due, 0);

    // The pending occurrence is passed over: only the following ones count.
    ScheduleRecord skip = custom(dmy(21, 12, 2026), hm(9, 0), 1, "day(s)");
    skip.SkipNextTime = 1;
    EXPECT_EQ(dueDays(skip, dmy(21, 12, 2026), dmy(23, 12, 2026), holidays),
              range(dmy(22, 12, 2026), dmy(23, 12, 2026)));

    // Weekdays with weekends and holidays excepted: the holiday is passed over and,
    // with "Next day", performed on the next allowed day (Monday 28 December).
    ScheduleRecord work = custom(dmy(21, 12, 2026), hm(9, 0), 1, "day(s)");
    work.ExceptWeekends = 1;
    work.ExceptHolidays = 1;
    work.ShiftType = "Skip (to next valid day)";
    EXPECT_EQ(dueDays(work, dmy(21, 12, 2026), dmy(28, 12, 2026), holidays),
              (std::vector<Date>{dmy(21, 12, 2026), dmy(22, 12, 2026), dmy(23, 12, 2026), dmy(24, 12, 2026),
                                 dmy(28, 12, 2026)}));
    work.ShiftType = "Next day";
    marks.clear();
    addTaskDays(work, dmy(21, 12, 2026), dmy(28, 12, 2026), holidays, marks);
    EXPECT_EQ(marks[christmas].due, 0);
    EXPECT_EQ(marks[dmy(28, 12, 2026)].due, 2); // its own occurrence and Christmas's copy
    EXPECT_EQ(marks[dmy(26, 12, 2026)].due, 0);
    // Listed once on its day, at its time; the day it passes over lists nothing.
    ASSERT_EQ(marks[dmy(28, 12, 2026)].entries.size(), 1u);
    EXPECT_EQ(marks[dmy(28, 12, 2026)].entries[0].time, hm(9, 0));
    EXPECT_TRUE(marks[christmas].entries.empty());
}

TEST(CalendarMarks, ADayListsItsTasksByTimeUpToALimit) {
    MemoryHolidayStore none;
    const Date day = dmy(2, 12, 2026);
    std::map<Date, DayMarks> marks;
    for (int i = 0; i < 20; ++i) {
        ScheduleRecord t = custom(day, hm(20 - i / 2, i % 2 * 30), 1, "day(s)");
        t.ID = i + 1;
        t.Description = "Task " + std::to_string(i);
        addTaskDays(t, day, day, none, marks);
    }
    ScheduleRecord old = custom(day, hm(6, 0), 1, "day(s)");
    old.ID = 99;
    old.Completed = 1;
    addTaskDays(old, day, day, none, marks);
    const DayMarks& m = marks[day];
    EXPECT_EQ(m.due, 20);
    EXPECT_EQ(m.done, 1);
    ASSERT_EQ(m.entries.size(), kListedPerDay);
    EXPECT_TRUE(std::is_sorted(m.entries.begin(), m.entries.end(),
                               [](const DayEntry& a, const DayEntry& b) { return a.time < b.time; }));
    EXPECT_EQ(m.entries.front().description, "Task 10"); // 15:00, the earliest of the first twelve
}

class CalendarMarksStore : public qdtest::StoreTest {};

TEST_F(CalendarMarksStore, HolidaysAndTasksOfTheTablesAreMarked) {
    Table<HolidaysRecord> hol(*ds, tables::Holidays());
    ASSERT_EQ(hol.open(), Level::Benign);
    hol.rec.HolidayDate = dmy(1, 1, 2027);
    hol.rec.Holiday = "New Year's Day";
    hol.rec.HolidayType = "Annual";
    ASSERT_EQ(hol.insert(), Level::Benign);
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    sch.rec = custom(dmy(30, 12, 2026), hm(9, 0), 1, "week(s)");
    ASSERT_EQ(sch.insert(), Level::Benign);
    sch.rec = custom(dmy(7, 2, 2027), hm(9, 0), 1, "day(s)"); // after the page: nothing
    ASSERT_EQ(sch.insert(), Level::Benign);

    const Date from = firstShownDay({2027, 1});
    const auto marks = calendarMarks(*ds, from, from + kCalendarDays - 1);
    ASSERT_TRUE(marks.count(dmy(1, 1, 2027)));
    EXPECT_EQ(marks.at(dmy(1, 1, 2027)).holiday, "New Year's Day");
    EXPECT_EQ(marks.at(dmy(1, 1, 2027)).due, 0);
    std::vector<Date> due;
    for (const auto& [day, m] : marks)
        if (m.due) due.push_back(day);
    EXPECT_EQ(due, range(dmy(30, 12, 2026), from + kCalendarDays - 1, 7));
}

// The marks read from the store agree with one walk over every task in date
// order, for a table of active, disabled, completed and undated tasks with many
// on each day (so which twelve a day lists depends on the order they are met),
// larger than one read of the store.
TEST_F(CalendarMarksStore, MarksAgreeWithAWalkOverEveryTaskInDateOrder) {
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    const Date from = firstShownDay({2027, 3});
    const Date to = from + kCalendarDays - 1;
    std::mt19937 random(20261208);
    const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    ASSERT_EQ(ds->fileOf(tables::Schedule())->begin(), kStoreOk);
    for (int i = 0; i < 9000; ++i) {
        static const char* const units[] = {"day(s)", "week(s)", "hour(s)", "month(s)"};
        ScheduleRecord r = custom(0, hm(6 + pick(4), 15 * pick(2)), 1 + pick(3), units[pick(4)]);
        r.ScheduleType = "Once";
        const int kind = pick(1000);
        if (kind < 550) { // active, before the page: read, marks nothing
            r.Date = from - 1 - pick(400);
        } else if (kind < 600) { // on the page, now and then disabled
            r.Date = from + pick(kCalendarDays);
            r.Disabled = pick(10) == 0;
        } else if (kind < 601) { // repeating from before the page
            r.ScheduleType = "Custom";
            r.Date = from - pick(60);
            r.ExceptWeekends = pick(3) == 0;
            r.SkipNextTime = pick(5) == 0;
        } else if (kind < 680) { // history on the page
            r.Date = from + pick(kCalendarDays);
            r.Completed = 1;
            r.Disabled = pick(5) != 0;
        } else if (kind < 800) { // history before the page: not read
            r.Date = from - 1 - pick(400);
            r.Completed = r.Disabled = 1;
        } else if (kind < 900) { // disabled: not read
            r.ScheduleType = "Custom";
            r.Date = from - 200 + pick(300);
            r.Disabled = 1;
        } else { // after the page, or no pending occurrence
            r.Date = pick(4) ? to + 1 + pick(100) : 0;
        }
        r.Description = "Task " + std::to_string(i);
        sch.rec = r;
        ASSERT_EQ(sch.insert(), Level::Benign);
    }
    ASSERT_EQ(ds->fileOf(tables::Schedule())->commit(), kStoreOk);

    std::map<Date, DayMarks> walked;
    MemoryHolidayStore none;
    sch.rec = {};
    sch.rec.Date = 1;
    sch.setPosition(sch.def().findKey("SCH:KeyDate"), 1);
    long long touching = 0; // tasks whose rules can touch the page
    while (sch.tryNext() == Level::Benign && sch.rec.Date <= to) {
        addTaskDays(sch.rec, from, to, none, walked);
        const ScheduleRecord& t = sch.rec;
        if (t.Completed ? t.Date >= from : !t.Disabled) ++touching;
    }
    std::erase_if(walked, [](const auto& e) { return e.second.due == 0 && e.second.done == 0; });
    ASSERT_GT(touching, 5000); // more than one read of the store

    CalendarMarker marker(*ds, from, to);
    while (!marker.step(777)) {
    }
    // Only the tasks that can touch the page were read.
    EXPECT_EQ(marker.recordsRead(), touching);
    const auto& marks = marker.marks();
    ASSERT_EQ(marks.size(), walked.size());
    int full = 0;
    for (const auto& [day, m] : walked) {
        SCOPED_TRACE(day);
        ASSERT_TRUE(marks.count(day));
        const DayMarks& got = marks.at(day);
        EXPECT_EQ(got.due, m.due);
        EXPECT_EQ(got.done, m.done);
        ASSERT_EQ(got.entries.size(), m.entries.size());
        for (std::size_t i = 0; i < m.entries.size(); ++i) {
            EXPECT_EQ(got.entries[i].id, m.entries[i].id);
            EXPECT_EQ(got.entries[i].time, m.entries[i].time);
            EXPECT_EQ(got.entries[i].done, m.entries[i].done);
        }
        if (m.entries.size() == kListedPerDay) ++full;
    }
    EXPECT_GT(full, 30); // days where the order the tasks are met in decides the list
}
