#include "data/Calendar.h"
#include "data/Clock.h"

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
