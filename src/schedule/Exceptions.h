// Exceptions of a task: excluded days (weekends, weekdays, holidays, chosen weekdays)
// and an excluded daily time window.
//
// An occurrence inside the time window is pushed on to the next occurrence outside
// it. An occurrence on an excluded day is passed over (SCH:SkipNextTime) and, when the
// task asks for it, a one-time copy is made on the nearest allowed day after ("Next
// day") or before ("Previous day") it.
#pragma once

#include "data/Calendar.h"
#include "data/Records.h"
#include "data/UserInterface.h"
#include "schedule/Holidays.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

// The Schedule table as the exception handling uses it.
class TaskStore {
public:
    virtual ~TaskStore() = default;
    // Reads the task with this SCH:ID into `out`. False when there is none.
    virtual bool fetchTask(std::int32_t id, ScheduleRecord& out) = 0;
    // Deletes the task with this SCH:ID through the relation rules (its script steps,
    // user details and contact links go with it). False when there is none or the
    // delete fails.
    virtual bool deleteTask(std::int32_t id) = 0;
    // Inserts `copy` as a new task: its SCH:ID is 0 on entry and receives the next
    // auto-number. The new task also gets a copy of the script steps of the task
    // `sourceId` (Scripting rows with SCR:ID = sourceId, renumbered to the new ID), so
    // that it performs the same actions; record and steps are written in one
    // transaction. Returns the new SCH:ID (also stored in copy.ID), or 0 when the
    // insert failed and nothing was written.
    virtual std::int32_t insertTaskCopy(ScheduleRecord& copy, std::int32_t sourceId) = 0;
};

// The exception fields of a task, as the exceptions window edits them.
struct ExceptionFields {
    std::string ShiftType; // "Skip (to next valid day)", "Previous day" or "Next day"
    std::uint8_t ExceptWeekends = 0;
    std::uint8_t ExceptWeekdays = 0;
    std::uint8_t ExceptHolidays = 0;
    std::uint8_t ExceptTime = 0;
    Time ExceptTimeBegin = 0;
    Time ExceptTimeEnd = 0;  // 0: the end of the day
    std::string ExceptOther; // "Y" or blank per weekday, Sunday first
    friend bool operator==(const ExceptionFields&, const ExceptionFields&) = default;
};

inline constexpr const char* kShiftSkip = "Skip (to next valid day)";
inline constexpr const char* kShiftPrevious = "Previous day";
inline constexpr const char* kShiftNext = "Next day";

ExceptionFields exceptionFieldsOf(const ScheduleRecord& task);
void setExceptionFields(ScheduleRecord& task, const ExceptionFields& fields);
// The weekdays (Sunday first) that SCH:ExceptOther excludes: its characters that are "Y".
std::array<bool, 7> exceptedWeekdays(std::string_view exceptOther);
// SCH:ExceptOther for the ticked weekdays: seven characters, "Y" or a blank, Sunday first.
std::string exceptOtherText(const std::array<bool, 7>& days);

// B <= E: inside when B <= T <= E. B > E (across midnight): inside when T < E or
// T > B. An end of 0 stands for the end of the day.
bool InExceptionWindow(const ScheduleRecord& task, Time time);

// True when one of the task's day rules excludes the date: SCH:ExceptWeekends
// (Saturday, Sunday), SCH:ExceptWeekdays (Monday to Friday), SCH:ExceptHolidays, or
// a "Y" at the weekday's position (1 = Sunday) of SCH:ExceptOther.
bool IsExcludedDate(const ScheduleRecord& task, Date date, const HolidayCalendar& holidays);

struct ExceptionOutcome {
    bool timeMoved = false;         // the occurrence lay in the time window and was moved
    bool dateExcluded = false;      // the occurrence fell on an excluded day: SCH:SkipNextTime is set
    bool copyFailed = false;        // the one-time copy could not be inserted
    std::int32_t copyId = 0;        // SCH:ID of the one-time copy made, 0 when none
    std::int32_t removedCopyId = 0; // SCH:ID of the previous copy that was deleted
};

// Enforces the task's exceptions on its pending occurrence, in place:
//  1. "Once" and "Day of Week" tasks never carry exceptions: they are cleared.
//  2. An end of 0 of an active time window becomes one day (8,640,000); weekdays are
//     no longer excluded when weekends are.
//  3. An occurrence inside the window advances (NextOccurrence from its time + 1) until
//     it leaves the window; after 100 advances it goes back, moves once (to the next
//     day when the window's end is not later than its time) and takes the window's
//     end as its time.
//  4. An occurrence on a day excluded before step 3 gets SCH:SkipNextTime. With a shift
//     type starting "N" or "P" the previous copy (SCH:ExceptionLink) is deleted and a
//     "Once" copy is inserted on the first allowed day found within 366 days forward or
//     backward (the task's own date when there is none); SCH:ExceptionLink then names
//     the copy, or is 0 when the insert failed.
// Messages of the rule (an invalid custom unit) are shown once per call.
//
// The previous copy is only deleted when it still is this task's copy: another task
// (not this one), of type "Once", with the same SCH:OriginalID. IDs are reused after
// the highest row is deleted, so a stale link may name a task that has nothing to do
// with this one; such a task is left alone.
ExceptionOutcome ApplyExceptions(ScheduleRecord& task, TaskStore& tasks, const HolidayCalendar& holidays,
                                 UserInterface& ui);

} // namespace qd
