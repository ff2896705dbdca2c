#include "data/Calendar.h"

#include "data/DayMath.h"

namespace qd {

bool isLeapYear(int year) {
    return daymath::isLeapYear(year);
}

int daysInMonth(int year, int month) {
    return daymath::daysInMonth(year, month);
}

Date dateFromMDY(int month, int day, int year) {
    return static_cast<Date>(daymath::fromMDY(month, day, year));
}

CivilDate civilFromDate(Date date) {
    if (date == 0) return CivilDate{};
    const daymath::Civil c = daymath::civil(date);
    return CivilDate{static_cast<int>(c.year), c.month, c.day};
}

Date lastDayOfMonth(Date date) {
    return static_cast<Date>(daymath::lastOfMonth(date));
}

ClockTime clockFromTime(Time t) {
    long long v = static_cast<long long>(t) - 1;
    v %= kTimeDay;
    if (v < 0) v += kTimeDay;
    ClockTime c;
    c.hour = static_cast<int>(v / kTimeHour);
    v %= kTimeHour;
    c.minute = static_cast<int>(v / kTimeMinute);
    v %= kTimeMinute;
    c.second = static_cast<int>(v / kTimeSecond);
    c.centi = static_cast<int>(v % kTimeSecond);
    return c;
}

} // namespace qd
