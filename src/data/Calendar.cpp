#include "data/Calendar.h"

namespace qd {
namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
constexpr long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

constexpr CivilDate civilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long y = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return CivilDate{static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

// Day number 4 is 1 January 1801.
constexpr long long kEpochShift = daysFromCivil(1801, 1, 1) - 4;

} // namespace

bool isLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && isLeapYear(year)) return 29;
    return kDays[(month - 1) % 12];
}

Date dateFromMDY(int month, int day, int year) {
    long long y = year;
    long long m0 = static_cast<long long>(month) - 1;
    y += (m0 >= 0 ? m0 / 12 : (m0 - 11) / 12);
    m0 = ((m0 % 12) + 12) % 12;
    const long long first = daysFromCivil(y, static_cast<unsigned>(m0 + 1), 1);
    return static_cast<Date>(first - kEpochShift + day - 1);
}

CivilDate civilFromDate(Date date) {
    if (date == 0) return CivilDate{};
    return civilFromDays(static_cast<long long>(date) + kEpochShift);
}

Date lastDayOfMonth(Date date) {
    const CivilDate c = civilFromDate(date);
    return dateFromMDY(c.month + 1, 1, c.year) - 1;
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
