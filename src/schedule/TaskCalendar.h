// The month calendar of the date pickers and of the task list's day choice,
// without any window: paging through months and years, the window title, which
// days a task's rule allows, and which days have work on them.
//
// A page shows six weeks from the Sunday on or before the 1st of its month. Years run
// from 1801 to 2099; paging past either end wraps to the other.
#pragma once

#include "data/Calendar.h"
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/Records.h"
#include "schedule/Holidays.h"
#include "schedule/MemoryStores.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qd {

inline constexpr int kCalendarFirstYear = 1801;
inline constexpr int kCalendarLastYear = 2099;
inline constexpr int kCalendarDays = 42; // six rows of seven days

struct CalendarMonth {
    int year = kCalendarFirstYear;
    int month = 1; // 1-12
    friend constexpr bool operator==(const CalendarMonth&, const CalendarMonth&) = default;
};

// The month of a date; a date outside 1801-2099 (or 0) gives the nearest end.
CalendarMonth calendarMonthOf(Date date);
CalendarMonth nextMonth(CalendarMonth m);
CalendarMonth previousMonth(CalendarMonth m);
CalendarMonth nextYear(CalendarMonth m);
CalendarMonth previousYear(CalendarMonth m);
// The first day of the page: the Sunday on or before the 1st of the month.
Date firstShownDay(CalendarMonth m);
// "December, 2026".
std::string calendarMonthText(CalendarMonth m);
// The given title; when blank, the rule's SCH:ScheduleType (when a rule is given and
// its type is not blank), otherwise "Select Date".
std::string calendarWindowTitle(const std::string& given, const ScheduleRecord* rule);
// Whether a day can be chosen: every day without a rule, with one the days
// DateMatchesSchedule accepts.
bool calendarDayAllowed(const ScheduleRecord* rule, Date day);

inline constexpr const char* kEarlierDateTitle = "Confirm";
inline constexpr const char* kEarlierDateText =
    "You have selected a date earlier than today.  Do you wish to use this date?";

// One task on a day, as the calendar lists it.
struct DayEntry {
    std::int32_t id = 0; // the task (for a one-time copy still to be made: its source)
    Time time = 0;       // its first occurrence that day
    std::string description;
    bool done = false; // a history record
};

// What a day of the calendar has on it.
struct DayMarks {
    int due = 0;         // occurrences of active tasks on that day
    int done = 0;        // history records (completed tasks) dated that day
    std::string holiday; // the holiday's name; blank when the day is none
    // The first kListedPerDay tasks met (in the order of their pending dates), by time.
    std::vector<DayEntry> entries;
};
inline constexpr std::size_t kListedPerDay = 12;

// The days from `from` to `to` on which tasks occur, as the dispatcher would perform
// them: each active task's pending occurrence and the ones its rule gives after it,
// with its exceptions applied (a passed-over day is not marked; the one-time copy of
// "Previous day"/"Next day" is, on its own day). Completed and disabled tasks only
// count as history on their stored date. Days without anything are left out.
std::map<Date, DayMarks> calendarMarks(DataSet& ds, Date from, Date to);

// calendarMarks a slice at a time, so a window can go on drawing while a large task
// table is read: the holidays at once, then the tasks a number at a time in date order.
class CalendarMarker {
public:
    CalendarMarker(DataSet& ds, Date from, Date to);
    ~CalendarMarker();
    CalendarMarker(const CalendarMarker&) = delete;
    CalendarMarker& operator=(const CalendarMarker&) = delete;

    // Reads up to `count` more tasks; true when every task has been read.
    bool step(int count);
    bool done() const { return done_; }
    // The marks so far (days without anything left out once done).
    const std::map<Date, DayMarks>& marks() const { return marks_; }

    // Records read from the store so far (for the benchmarks).
    long long recordsRead() const { return active_.read + history_.read; }

private:
    // The records of one view of the task table in date order, read this many
    // at a time in one statement each, each chunk seeking past the last record
    // of the one before (a statement per record cost more than the marking
    // itself, and skipping the rows already read grew with every chunk).
    static constexpr int kChunk = 4000;
    struct Stream {
        std::unique_ptr<Table<ScheduleRecord>> table;
        FileManager::ViewOrder order;
        std::vector<std::pair<ScheduleRecord, long long>> chunk; // with each record's row id
        std::size_t next = 0;
        long long read = 0;
        FileManager::ViewCursor cursor; // the next chunk follows the last record read
        bool last = false;
        // The next record; null at the end of the view.
        const std::pair<ScheduleRecord, long long>* peek();
    };

    // Only two kinds of record can put anything on the page: the active tasks
    // pending up to its last day, and the history records dated on it. They
    // are read as two views and taken in the order of one date-order walk.
    Stream active_;
    Stream history_;
    std::unique_ptr<MemoryHolidayStore> holidays_;
    Date from_;
    Date to_;
    bool done_ = false;
    std::map<Date, DayMarks> marks_;
};

// The days of one task in [from, to] (the part of calendarMarks for one record).
void addTaskDays(const ScheduleRecord& task, Date from, Date to, const HolidayCalendar& holidays,
                 std::map<Date, DayMarks>& marks);

} // namespace qd
