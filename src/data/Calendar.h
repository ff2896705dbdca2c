// Day numbers and time units shared by every table, setting and log line.
//
// A date is a day number: day 4 is 1 January 1801, each later day adds one, and
// the weekday is the day number modulo 7 with 0 = Sunday. 0 means "no date".
// A time counts hundredths of a second since midnight plus one: 1 is 00:00:00.00,
// 8640000 is 23:59:59.99, and 0 means "no time".
#pragma once

#include <compare>
#include <cstdint>

namespace qd {

using Date = std::int32_t;
using Time = std::int32_t;

inline constexpr Time kTimeSecond = 100;
inline constexpr Time kTimeMinute = 6000;
inline constexpr Time kTimeHour = 360000;
inline constexpr Time kTimeDay = 8640000;

struct CivilDate {
    int year = 0;
    int month = 0; // 1-12
    int day = 0;   // 1-31
};

// Day number of a calendar date. Month and day overflow carry forward (month 13 is
// January of the next year, 31 February of a common year is 3 March); a month or day
// below 1 carries backwards the same way.
Date dateFromMDY(int month, int day, int year);

// Calendar date of a day number (dates before day 1 give year 1800 values, 0 gives {0,0,0}).
CivilDate civilFromDate(Date date);

inline int dayOfMonth(Date date) {
    return civilFromDate(date).day;
}
inline int monthOf(Date date) {
    return civilFromDate(date).month;
}
inline int yearOf(Date date) {
    return civilFromDate(date).year;
}
inline int weekdayOf(Date date) {
    return ((date % 7) + 7) % 7;
}

bool isLeapYear(int year);
int daysInMonth(int year, int month);

// Last day of the month that contains the date.
Date lastDayOfMonth(Date date);

// Time value from clock parts (hours 0-23 ...); no range check.
constexpr Time timeFromHMS(int h, int m, int s, int cs = 0) {
    return h * kTimeHour + m * kTimeMinute + s * kTimeSecond + cs + 1;
}

struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
    int centi = 0;
};
// Clock parts of a time value within one day (values above one day wrap).
ClockTime clockFromTime(Time t);

// A moment: a date and a time, compared date first.
struct Moment {
    Date date = 0;
    Time time = 0;
    friend constexpr auto operator<=>(const Moment&, const Moment&) = default;
};

} // namespace qd
