#include "schedule/Holidays.h"

#include "data/DayMath.h"
#include "schedule/RuleParts.h"

namespace qd {

bool IsHoliday(const HolidayCalendar& calendar, Date date) {
    return date != 0 && calendar.isHoliday(date);
}

Date EasterDate(int year) {
    // Knuth, The Art of Computer Programming, vol. 1, Algorithm E; truncating division.
    const long long y = year;
    const long long g = y % 19 + 1;
    const long long q = y / 100 + 1;
    const long long x = 3 * q / 4 - 12;
    const long long z = (8 * q + 5) / 25 - 5;
    const long long d = 5 * y / 4 - x - 10;
    long long e = (11 * g + 20 + z - x) % 30;
    if (e < 0) e += 30;
    if ((e == 25 && g > 11) || e == 24) ++e;
    long long n = 44 - e;
    if (n <= 20) n = 74 - e;
    n = n + 7 - (d + n) % 7;
    // Day N of March is April N - 31 from N = 32 on.
    return static_cast<Date>(daymath::fromMDY(3, n, y));
}

std::vector<HolidaysRecord> DefaultHolidays(Date today) {
    const int year = static_cast<int>(daymath::civil(today).year);
    const Date easter = EasterDate(year);
    auto row = [](const char* name, const char* type, Date date) {
        HolidaysRecord r;
        r.HolidayDate = date;
        r.Holiday = name;
        r.HolidayType = type;
        return r;
    };
    auto mdy = [](int m, int d, int y) { return dateFromMDY(m, d, y); };
    return {
        row("Christmas Day", "Annual", mdy(12, 25, year)),
        row("Christmas Eve", "Annual", mdy(12, 24, year)),
        row("New Year's Day", "Annual", mdy(1, 1, year + 1)),
        row("New Year's Eve", "Annual", mdy(12, 31, year)),
        row("Canada Day (Canada)", "Annual", mdy(7, 1, 1999)),
        row("Independence Day (U.S.)", "Annual", mdy(7, 4, 1999)),
        row("Victoria Day (Canada)", "Day of Month", mdy(5, 18, 1998)),
        row("Memorial Day (U.S.)", "Day of Month", mdy(5, 25, 1998)),
        row("Labor Day/Labour Day)", "Day of Month", mdy(9, 7, 1998)),
        row("Veteran's Day (U.S.)", "Day of Month", mdy(11, 11, 1998)),
        row("Remembrance Day (Canada)", "Day of Month", mdy(11, 11, 1998)),
        row("Thanksgiving (Canada)", "Day of Month", mdy(10, 12, 1998)),
        row("Thanksgiving (U.S.)", "Day of Month", mdy(11, 27, 1998)),
        row("Easter", "Easter", easter),
        row("Palm Sunday", "Easter", easter - 7),
        row("Good Friday", "Easter", easter - 2),
        row("Easter Monday", "Easter", easter + 1),
    };
}

HolidaysRecord NextHolidayYear(const HolidaysRecord& row) {
    HolidaysRecord next = row;
    const std::string_view type = trimRight(row.HolidayType);
    const daymath::Day date = row.HolidayDate;
    const daymath::Civil c = daymath::civil(date);
    daymath::Day moved = date;
    if (type == "Once") return next;
    if (type == "Day of Month") {
        // Same weekday in the same week of the month, one year later.
        const int week = (c.day - 1) / 7;
        moved = daymath::fromMDY(c.month, 7 * week + 1, c.year + 1);
        while (daymath::weekday(moved) != daymath::weekday(date))
            ++moved;
    } else if (type == "Easter") {
        const int year = static_cast<int>(c.year);
        moved = date + (EasterDate(year + 1) - EasterDate(year));
    } else {
        next.HolidayType = "Annual";
        moved = daymath::fromMDY(c.month, c.day, c.year + 1);
    }
    next.HolidayDate = static_cast<Date>(moved);
    return next;
}

Date easterHolidayDate(std::string_view name, Date date, Date today) {
    const int year = static_cast<int>(daymath::civil(today).year);
    Date easter = EasterDate(year);
    if (easter < today) easter = EasterDate(year + 1);
    const std::string upper = text::upperAscii(trimRight(name));
    if (static_cast<long long>(date) < static_cast<long long>(easter) - 30 || upper == "EASTER")
        date = easter;
    if (upper == "GOOD FRIDAY") date = easter - 2;
    if (upper == "EASTER MONDAY") date = easter + 1;
    return date;
}

HolidayRollResult RollHolidaysForward(HolidayStore& holidays, SettingStore& settings, Date today) {
    HolidayRollResult result;
    if (trimRight(settings.value(kDefaultHolidaysSetting)).empty()) {
        for (const HolidaysRecord& row : DefaultHolidays(today))
            if (holidays.addHoliday(row)) ++result.defaultsAdded;
        settings.setValue(kDefaultHolidaysSetting, "Y");
    }
    for (const HolidaysRecord& row : holidays.holidaysBefore(today)) {
        if (trimRight(row.HolidayType) == "Once") {
            if (holidays.removeHoliday(row.HolidayDate))
                ++result.deleted;
            else
                ++result.failed;
            continue;
        }
        // Every move lands at least 300 days later; a row still before today after one
        // year moves again, and is written once, at its final date.
        HolidaysRecord next = NextHolidayYear(row);
        while (next.HolidayDate < today) {
            const HolidaysRecord after = NextHolidayYear(next);
            if (after.HolidayDate <= next.HolidayDate) break; // a date at the end of the range
            next = after;
        }
        if (next.HolidayDate >= today && holidays.changeHoliday(row.HolidayDate, next))
            ++result.moved;
        else
            ++result.failed;
    }
    return result;
}

} // namespace qd
