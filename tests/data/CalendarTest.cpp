#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/DayMath.h"

#include <gtest/gtest.h>

using namespace qd;

TEST(Calendar, DayNumbersAnchorAndWeekday) {
    EXPECT_EQ(dateFromMDY(1, 1, 1801), 4);
    EXPECT_EQ(weekdayOf(dateFromMDY(1, 1, 1801)), 4);  // a Thursday
    EXPECT_EQ(weekdayOf(dateFromMDY(12, 7, 2026)), 1); // a Monday
    const CivilDate c = civilFromDate(dateFromMDY(10, 31, 1959));
    EXPECT_EQ(c.year, 1959);
    EXPECT_EQ(c.month, 10);
    EXPECT_EQ(c.day, 31);
}

TEST(Calendar, OverflowCarriesForwardAndBack) {
    EXPECT_EQ(dateFromMDY(2, 31, 2001), dateFromMDY(3, 3, 2001));
    EXPECT_EQ(dateFromMDY(13, 1, 2000), dateFromMDY(1, 1, 2001));
    EXPECT_EQ(dateFromMDY(25, 1, 2000), dateFromMDY(1, 1, 2002));
    EXPECT_EQ(dateFromMDY(0, 1, 2000), dateFromMDY(12, 1, 1999));
    EXPECT_EQ(dateFromMDY(3, 0, 2000), dateFromMDY(2, 29, 2000));
}

TEST(Calendar, RoundTripOverFourCenturies) {
    for (Date d = dateFromMDY(1, 1, 1801); d < dateFromMDY(1, 1, 2201); ++d) {
        const CivilDate c = civilFromDate(d);
        ASSERT_EQ(dateFromMDY(c.month, c.day, c.year), d);
        ASSERT_EQ(dayOfMonth(d + 1) == 1, d == lastDayOfMonth(d));
    }
}

TEST(Calendar, TimesAndClock) {
    EXPECT_EQ(timeFromHMS(0, 0, 0), 1);
    EXPECT_EQ(timeFromHMS(23, 59, 59, 99), 8640000);
    EXPECT_EQ(timeFromHMS(1, 0, 0), 360001);
    const ClockTime c = clockFromTime(timeFromHMS(13, 45, 7, 12));
    EXPECT_EQ(c.hour, 13);
    EXPECT_EQ(c.minute, 45);
    EXPECT_EQ(c.second, 7);
    EXPECT_EQ(c.centi, 12);

    ManualClock clock({dateFromMDY(12, 31, 2026), timeFromHMS(23, 59, 59)});
    clock.advanceSeconds(2);
    EXPECT_EQ(clock.now().date, dateFromMDY(1, 1, 2027));
    EXPECT_EQ(clock.now().time, timeFromHMS(0, 0, 1));
    clock.advanceSeconds(-2);
    EXPECT_EQ(clock.now().date, dateFromMDY(12, 31, 2026));
}

TEST(Calendar, MonthLengthsForMonthsOutsideTheYear) {
    EXPECT_EQ(daysInMonth(2024, 2), 29);
    EXPECT_EQ(daysInMonth(2100, 2), 28);
    EXPECT_EQ(daysInMonth(2000, 2), 29);
    // Months before January and after December count into the neighbouring years.
    EXPECT_EQ(daysInMonth(2024, 0), 31);   // December 2023
    EXPECT_EQ(daysInMonth(2024, 14), 28);  // February 2025
    EXPECT_EQ(daysInMonth(2024, -10), 28); // February 2023
}

TEST(Calendar, DayArithmeticBeyondTheStoredRange) {
    // Day 0 is a real day for arithmetic, "no date" for display.
    EXPECT_EQ(daymath::civil(0).year, 1800);
    EXPECT_EQ(daymath::civil(0).month, 12);
    EXPECT_EQ(daymath::civil(0).day, 28);
    EXPECT_EQ(civilFromDate(0).year, 0);
    EXPECT_EQ(daymath::weekday(0), 0); // a Sunday
    EXPECT_EQ(daymath::weekday(-1), 6);
    EXPECT_EQ(daymath::fromMDY(12, 28, 1800), 0);
    // Far beyond 32 bits of days, still a calendar.
    const daymath::Day far = daymath::fromMDY(3, 1, 40000000);
    EXPECT_EQ(daymath::civil(far).year, 40000000);
    EXPECT_EQ(daymath::civil(far - 1).day, 29); // a leap year (divisible by 400)
    EXPECT_EQ(daymath::lastOfMonth(far), far + 30);
    EXPECT_EQ(daymath::fromMDY(1 + 12 * 1000, 1, 2000), daymath::fromMDY(1, 1, 3000));
    EXPECT_EQ(daymath::fromMDY(1, 1 - 366, 2001), daymath::fromMDY(1, 1, 2000));
}
