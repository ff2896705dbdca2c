// The holiday calendar: the holiday test, Easter, the built-in default holidays and
// the daily roll-forward that keeps every holiday on its next date.
//
// Storage is reached through the interfaces below so that the engine stays free of
// the record store; data/ binds them to the Holidays and Configuration tables, and
// MemoryStores.h holds in-memory versions for tests and tools.
#pragma once

#include "data/Calendar.h"
#include "data/Records.h"

#include <string>
#include <string_view>
#include <vector>

namespace qd {

// Answers the holiday test.
class HolidayCalendar {
public:
    virtual ~HolidayCalendar() = default;
    // True when a Holidays row has exactly this HOL:HolidayDate (a fetch by
    // HOL:KeyHolidayDate); names and types play no part. Date 0 is never a holiday.
    virtual bool isHoliday(Date date) const = 0;
};

// The Holidays table as the roll-forward uses it. HOL:KeyHolidayDate is unique, so a
// row is identified by its date; rows dated 0 are outside the key and never visited.
class HolidayStore : public HolidayCalendar {
public:
    // Every row whose HOL:HolidayDate is not 0 and lies before `date`, in
    // HOL:KeyHolidayDate order.
    virtual std::vector<HolidaysRecord> holidaysBefore(Date date) = 0;
    // Adds a row. False when another row already has its date or the write fails.
    virtual bool addHoliday(const HolidaysRecord& row) = 0;
    // Rewrites the row dated `date` with `row`, whose date may differ. False when no
    // row has `date`, another row already has the new date, or the write fails; the
    // stored row is then unchanged.
    virtual bool changeHoliday(Date date, const HolidaysRecord& row) = 0;
    // Deletes the row dated `date`. False when there is none or the delete fails.
    virtual bool removeHoliday(Date date) = 0;
};

// Named settings (rows of the Configuration table: CF:DataType = name, CF:DataValue =
// value).
class SettingStore {
public:
    virtual ~SettingStore() = default;
    // The stored value without trailing blanks; "" when the setting does not exist.
    virtual std::string value(std::string_view name) = 0;
    // Creates or replaces the setting. False when the write fails.
    virtual bool setValue(std::string_view name, std::string_view value) = 0;
};

// The setting that records that the default holidays were loaded ("Y"; blank before).
inline constexpr const char* kDefaultHolidaysSetting = "DEFHOL";

bool IsHoliday(const HolidayCalendar& calendar, Date date);

// Easter Sunday of a year (Gregorian computation, whole-number arithmetic).
Date EasterDate(int year);

// The built-in holidays in the order they are added; "this year" is today's year.
std::vector<HolidaysRecord> DefaultHolidays(Date today);

// One year's move of a holiday by its type: "Day of Month" keeps weekday and week of
// the month, "Easter" keeps its distance from Easter, anything but "Once" becomes
// "Annual" on the same month and day (29 February carries to 1 March). "Once" has no
// next date and is returned unchanged.
HolidaysRecord NextHolidayYear(const HolidaysRecord& row);

// The date the holiday form gives a holiday whose type is changed to "Easter": Easter
// of today's year, or of the next year when that one is already past, becomes the
// date when the date lay more than 30 days before it or the name is "Easter"; the
// names "Good Friday" and "Easter Monday" give Easter - 2 and Easter + 1. Names
// are compared without regard to case or trailing blanks. Otherwise the date stays.
Date easterHolidayDate(std::string_view name, Date date, Date today);

struct HolidayRollResult {
    int defaultsAdded = 0; // default rows inserted (a date already taken is skipped)
    int moved = 0;         // rows moved to today or later
    int deleted = 0;       // past "Once" rows removed
    int failed = 0;        // rows the store refused to rewrite or delete; they stay as they were
};

// Loads the default list when "DEFHOL" is blank (then sets it to "Y"), then moves every
// holiday dated before `today` a year at a time until it lies on `today` or later, and
// deletes past "Once" holidays. Each row is written once, with its final date.
HolidayRollResult RollHolidaysForward(HolidayStore& holidays, SettingStore& settings, Date today);

} // namespace qd
