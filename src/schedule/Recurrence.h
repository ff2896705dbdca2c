// Recurrence rules of a task and the move of its pending occurrence.
//
// A task carries one pending occurrence (SCH:Date, SCH:Time) and a rule: "Once",
// "Day of Week", "Day of Month", "Monthly" (once or twice a month), "Yearly" or a
// custom repeat of N minutes, hours, days, weeks, months or years. The operations
// below act in place on a task record; the caller decides whether to write it back.
//
// The results are defined by stepping one occurrence at a time from the pending
// occurrence until the reference moment is passed. The implementation reaches the
// same occurrence with calendar arithmetic instead, so a task that is years overdue
// costs no more than one that is due now.
#pragma once

#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/Records.h"
#include "data/UserInterface.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

// How SCH:ScheduleType is read: exact text, trailing blanks ignored; anything that is
// not one of the first five names is a custom repeat.
enum class RuleType { Once, DayOfWeek, DayOfMonth, Monthly, Yearly, Custom };
RuleType ruleTypeOf(std::string_view scheduleType);

// SCH:MonthRepeat: twice-monthly when its first five characters, upper-cased, are
// "TWICE"; the "15th and last" variant when the upper-cased text contains "LAST".
bool isTwiceMonthly(std::string_view monthRepeat);
bool twiceMonthlyOnLast(std::string_view monthRepeat);

// SCH:EveryType: only its first three characters, lower-cased, count.
enum class RepeatUnit { Minute, Hour, Day, Week, Month, Year, Invalid };
RepeatUnit repeatUnitOf(std::string_view everyType);

// Message shown when a custom rule's unit is not recognised.
inline constexpr const char* kInvalidUnitsTitle = "Invalid Units";
inline constexpr const char* kInvalidUnitsText = "Custom repetition is not set up properly.  Select units.";
// Message shown when a backward search takes more than kPreviousStepLimit steps.
inline constexpr const char* kDebugPreviousTitle = "Debug Previous";
inline constexpr std::int64_t kPreviousStepLimit = 100000;

// Moves the pending occurrence to the first occurrence of the rule after the moment
// (refDate, refTime):
//  - "Once": sets SCH:Completed and leaves the date and time alone;
//  - custom minute and hour rules step at least once and stop at the first occurrence
//    strictly after the reference; every other rule leaves an occurrence that lies more
//    than one minute after the reference untouched and otherwise moves to the first one
//    that does ("Day of Month" always lands on a later date than refDate);
//  - a custom rule with an unknown unit shows "Invalid Units" and moves the date to
//    refDate + 1 when it is not already later;
//  - SCH:Every below 1 is set to 1 for custom rules;
//  - when both SCH:ExpiryDate and SCH:ExpiryTime are set and the new occurrence lies
//    after that moment, SCH:Completed is set (the moved date and time stay).
// Only SCH:Date, SCH:Time, SCH:Every and SCH:Completed change.
void NextOccurrence(ScheduleRecord& task, Date refDate, Time refTime, UserInterface& ui);

// Moves the pending occurrence back to the last occurrence of the rule before the
// moment (refDate, refTime) (one minute before it for rules other than custom minute
// and hour rules). "Once" sets SCH:Completed; no expiry test is made.
//
// When the step-by-step search would take more than kPreviousStepLimit steps, the
// "Debug Previous" message is shown ("Failed on TYPE(UNIT,DATE,TIME)" with the date
// and time of `clock`) and the search still ends on the exact occurrence. The only
// rule that can step back for ever is a minute or hour rule whose time has run below
// midnight of day 0 while refDate is negative; that search reports the message and
// gives the task back the occurrence it had when the call began.
void PreviousOccurrence(ScheduleRecord& task, Date refDate, Time refTime, UserInterface& ui,
                        const Clock& clock);

// True when `date` (0 means the task's own SCH:Date) is a date the rule can fall on.
// Changes nothing.
bool DateMatchesSchedule(const ScheduleRecord& task, Date date);

} // namespace qd
