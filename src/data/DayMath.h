// Calendar arithmetic on 64-bit day numbers: the one implementation behind the
// date helpers of data/Calendar.h and the schedule engine.
//
// The numbering is the program's (day 4 is 1 January 1801, weekday = day mod 7 with
// 0 = Sunday) carried on as a plain proleptic Gregorian calendar in both directions.
// Day 0 is simply 28 December 1800 here (data/Calendar.h shows it as "no date"): a
// recurrence rule stepping from an unset date must still move through real calendar
// days, and 64 bits keep absurd repeat counts from overflowing.
#pragma once

#include <cstdint>

namespace qd::daymath {

using Day = std::int64_t;

struct Civil {
    std::int64_t year = 0;
    int month = 1; // 1-12
    int day = 1;   // 1-31
};

// Floor division and modulo (the remainder takes the divisor's sign).
constexpr std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
constexpr std::int64_t floorMod(std::int64_t a, std::int64_t b) {
    return a - floorDiv(a, b) * b;
}

namespace detail {
// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = floorDiv(y, 400);
    const std::int64_t yoe = y - era * 400;
    const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}
// Day number 4 is 1 January 1801.
inline constexpr std::int64_t kEpochShift = daysFromCivil(1801, 1, 1) - 4;
} // namespace detail

inline constexpr Day kUnixEpochDay = -detail::kEpochShift; // 1 January 1970

constexpr bool isLeapYear(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// A month outside 1-12 counts on into the neighbouring years (13 is January).
constexpr int daysInMonth(std::int64_t year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const std::int64_t m0 = static_cast<std::int64_t>(month) - 1;
    const int m = static_cast<int>(floorMod(m0, 12));
    return (m == 1 && isLeapYear(year + floorDiv(m0, 12))) ? 29 : kDays[m];
}

constexpr Civil civil(Day day) {
    const std::int64_t z = day + detail::kEpochShift + 719468;
    const std::int64_t era = floorDiv(z, 146097);
    const std::int64_t doe = z - era * 146097;
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const std::int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return Civil{yoe + era * 400 + (m <= 2 ? 1 : 0), m, d};
}

// Months counted from January of year 0: year * 12 + month - 1.
constexpr std::int64_t monthIndex(std::int64_t year, int month) {
    return year * 12 + month - 1;
}
constexpr std::int64_t monthIndex(const Civil& c) {
    return monthIndex(c.year, c.month);
}
constexpr std::int64_t yearOfIndex(std::int64_t mi) {
    return floorDiv(mi, 12);
}
constexpr int monthOfIndex(std::int64_t mi) {
    return static_cast<int>(floorMod(mi, 12)) + 1;
}
constexpr int daysInMonthIndex(std::int64_t mi) {
    return daysInMonth(yearOfIndex(mi), monthOfIndex(mi));
}

// Day `day` of the month with index `mi`; a day beyond the month's length (or below 1)
// carries into the following (or preceding) months.
constexpr Day fromMonthIndex(std::int64_t mi, std::int64_t day) {
    return detail::daysFromCivil(yearOfIndex(mi), monthOfIndex(mi), 1) - detail::kEpochShift + day - 1;
}

// Date from month, day and year with overflow carried as the program does (month 13
// is January of the next year, 31 February of a common year is 3 March).
constexpr Day fromMDY(std::int64_t month, std::int64_t day, std::int64_t year) {
    return fromMonthIndex(year * 12 + month - 1, day);
}

constexpr int weekday(Day day) {
    return static_cast<int>(floorMod(day, 7));
}
constexpr int dayOfMonth(Day day) {
    return civil(day).day;
}
constexpr Day firstOfMonth(Day day) {
    return day - civil(day).day + 1;
}
constexpr Day lastOfMonth(Day day) {
    const Civil c = civil(day);
    return day - c.day + daysInMonth(c.year, c.month);
}

} // namespace qd::daymath
