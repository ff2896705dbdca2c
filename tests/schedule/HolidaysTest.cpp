#include "schedule/Holidays.h"
#include "data/Calendar.h"
#include "data/DayMath.h"
#include "schedule/MemoryStores.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

Date dmy(int d, int m, int y) {
    return dateFromMDY(m, d, y);
}

HolidaysRecord holiday(Date d, const char* name, const char* type) {
    return HolidaysRecord{d, name, type};
}

TEST(EasterDate, KnownYears) {
    EXPECT_EQ(EasterDate(1998), dmy(12, 4, 1998));
    EXPECT_EQ(EasterDate(1999), dmy(4, 4, 1999));
    EXPECT_EQ(EasterDate(2000), dmy(23, 4, 2000));
    EXPECT_EQ(EasterDate(2001), dmy(15, 4, 2001));
    EXPECT_EQ(EasterDate(2008), dmy(23, 3, 2008));
    EXPECT_EQ(EasterDate(2024), dmy(31, 3, 2024));
    EXPECT_EQ(EasterDate(2026), dmy(5, 4, 2026));
}

// The anonymous Gregorian algorithm (Meeus/Jones/Butcher), an independent computation.
Date easterByMeeus(int y) {
    const int a = y % 19, b = y / 100, c = y % 100, d = b / 4, e = b % 4, f = (b + 8) / 25;
    const int g = (b - f + 1) / 3, h = (19 * a + b - d - g + 15) % 30, i = c / 4, k = c % 4;
    const int l = (32 + 2 * e + 2 * i - h - k) % 7, m = (a + 11 * h + 22 * l) / 451;
    const int month = (h + l - 7 * m + 114) / 31, day = (h + l - 7 * m + 114) % 31 + 1;
    return dmy(day, month, y);
}

TEST(EasterDate, AgreesWithAnIndependentAlgorithmOverCenturies) {
    for (int y = 1583; y <= 4099; ++y) {
        ASSERT_EQ(EasterDate(y), easterByMeeus(y)) << y;
        ASSERT_EQ(weekdayOf(EasterDate(y)), 0) << y;
    }
}

TEST(Holidays, IsHolidayIsAnExactDateFetch) {
    MemoryHolidayStore store;
    store.addHoliday(holiday(dmy(25, 12, 2026), "Christmas Day", "Annual"));
    EXPECT_TRUE(IsHoliday(store, dmy(25, 12, 2026)));
    EXPECT_FALSE(IsHoliday(store, dmy(25, 12, 2027)));
    EXPECT_FALSE(IsHoliday(store, 0));
}

struct YearMove {
    const char* name;
    HolidaysRecord from;
    Date want;
    const char* wantType;
};

void PrintTo(const YearMove& c, std::ostream* os) {
    *os << c.name;
}

class HolidayYear : public ::testing::TestWithParam<YearMove> {};

TEST_P(HolidayYear, MovesOneYearByType) {
    const HolidaysRecord next = NextHolidayYear(GetParam().from);
    const CivilDate c = civilFromDate(next.HolidayDate);
    EXPECT_EQ(next.HolidayDate, GetParam().want) << c.day << "/" << c.month << "/" << c.year;
    EXPECT_EQ(next.HolidayType, GetParam().wantType);
    EXPECT_EQ(next.Holiday, GetParam().from.Holiday);
}

const YearMove kYearMoves[] = {
    {"GoodFriday", holiday(dmy(13, 4, 2001), "Good Friday", "Easter"), dmy(29, 3, 2002), "Easter"},
    {"ThirdMondayOfMay", holiday(dmy(15, 5, 2000), "Victoria", "Day of Month"), dmy(21, 5, 2001),
     "Day of Month"},
    {"FourthFridayOfNovember", holiday(dmy(27, 11, 1998), "Thanksgiving", "Day of Month"), dmy(26, 11, 1999),
     "Day of Month"},
    {"FifthWeekCarriesOn", holiday(dmy(31, 5, 2004), "Late", "Day of Month"), dmy(30, 5, 2005),
     "Day of Month"},
    {"AnnualLeapDay", holiday(dmy(29, 2, 2000), "Leap", "Annual"), dmy(1, 3, 2001), "Annual"},
    {"BlankBecomesAnnual", holiday(dmy(4, 7, 2024), "Party", ""), dmy(4, 7, 2025), "Annual"},
    {"OnceStays", holiday(dmy(4, 7, 2024), "One off", "Once"), dmy(4, 7, 2024), "Once"},
};

INSTANTIATE_TEST_SUITE_P(Types, HolidayYear, ::testing::ValuesIn(kYearMoves),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(RollHolidaysForward, PastRowsMoveOrGoAndTodayStays) {
    const Date today = dmy(4, 3, 2026);
    MemoryHolidayStore store;
    MemorySettingStore settings;
    settings.setValue("DEFHOL", "Y");
    store.addHoliday(holiday(today - 1, "Yesterday", "Once"));
    store.addHoliday(holiday(today, "Today", "Once"));
    store.addHoliday(holiday(dmy(10, 3, 2025), "Blank last year", ""));
    store.addHoliday(holiday(dmy(1, 3, 2025), "Passed this year", "   "));
    store.addHoliday(holiday(dmy(13, 4, 2001), "Good Friday", "Easter"));
    store.addHoliday(holiday(dmy(15, 5, 2000), "Third Monday", "Day of Month"));

    const HolidayRollResult r = RollHolidaysForward(store, settings, today);
    EXPECT_EQ(r.defaultsAdded, 0);
    EXPECT_EQ(r.deleted, 1);
    EXPECT_EQ(r.moved, 4);
    EXPECT_EQ(r.failed, 0);
    EXPECT_FALSE(store.isHoliday(today - 1));
    EXPECT_EQ(store.rows.at(today).Holiday, "Today");
    EXPECT_EQ(store.rows.at(dmy(10, 3, 2026)).HolidayType, "Annual");
    EXPECT_EQ(store.rows.at(dmy(1, 3, 2027)).Holiday, "Passed this year");
    EXPECT_EQ(store.rows.at(EasterDate(2026) - 2).Holiday, "Good Friday");
    EXPECT_EQ(store.rows.at(dmy(18, 5, 2026)).Holiday, "Third Monday");
    EXPECT_EQ(store.rows.size(), 5u);
}

TEST(RollHolidaysForward, LoadsDefaultsOnceAndBringsThemUpToDate) {
    const Date today = dmy(4, 3, 2026);
    MemoryHolidayStore store;
    MemorySettingStore settings;
    const HolidayRollResult r = RollHolidaysForward(store, settings, today);
    // "Remembrance Day (Canada)" shares 11 November 1998 with "Veteran's Day (U.S.)":
    // the date key is unique, so it is not added.
    EXPECT_EQ(r.defaultsAdded, 16);
    EXPECT_EQ(settings.value("DEFHOL"), "Y");
    EXPECT_EQ(r.failed, 0);
    for (const auto& [date, row] : store.rows)
        EXPECT_GE(date, today) << row.Holiday;
    auto nameOn = [&](Date d) { return store.rows.count(d) ? store.rows.at(d).Holiday : std::string("-"); };
    EXPECT_EQ(nameOn(dmy(18, 5, 2026)), "Victoria Day (Canada)");
    EXPECT_EQ(nameOn(dmy(25, 5, 2026)), "Memorial Day (U.S.)");
    EXPECT_EQ(nameOn(dmy(7, 9, 2026)), "Labor Day/Labour Day)");
    EXPECT_EQ(nameOn(dmy(12, 10, 2026)), "Thanksgiving (Canada)");
    EXPECT_EQ(nameOn(dmy(11, 11, 2026)), "Veteran's Day (U.S.)");
    EXPECT_EQ(nameOn(dmy(1, 7, 2026)), "Canada Day (Canada)");
    EXPECT_EQ(nameOn(dmy(1, 1, 2027)), "New Year's Day");
    EXPECT_EQ(nameOn(dmy(5, 4, 2026)), "Easter");
    EXPECT_EQ(nameOn(dmy(29, 3, 2026)), "Palm Sunday");
    EXPECT_EQ(nameOn(dmy(3, 4, 2026)), "Good Friday");
    EXPECT_EQ(nameOn(dmy(6, 4, 2026)), "Easter Monday");

    const HolidayRollResult again = RollHolidaysForward(store, settings, today);
    EXPECT_EQ(again.defaultsAdded, 0);
    EXPECT_EQ(again.moved, 0);
}

TEST(RollHolidaysForward, RefusedRewriteIsCountedAndRowKept) {
    const Date today = dmy(4, 3, 2026);
    MemoryHolidayStore store;
    MemorySettingStore settings;
    settings.setValue("DEFHOL", "Y");
    store.addHoliday(holiday(dmy(10, 3, 2025), "Moves onto a taken date", "Annual"));
    store.addHoliday(holiday(dmy(10, 3, 2026), "Already there", "Once"));
    const HolidayRollResult r = RollHolidaysForward(store, settings, today);
    EXPECT_EQ(r.failed, 1);
    EXPECT_EQ(store.rows.at(dmy(10, 3, 2025)).Holiday, "Moves onto a taken date");
    EXPECT_EQ(store.rows.at(dmy(10, 3, 2026)).Holiday, "Already there");
}

TEST(RollHolidaysForward, AncientAndCorruptDatesEnd) {
    MemoryHolidayStore store;
    MemorySettingStore settings;
    settings.setValue("DEFHOL", "Y");
    store.addHoliday(holiday(-40000, "Ancient", "Easter"));
    store.addHoliday(holiday(5, "First days", "Day of Month"));
    const HolidayRollResult r = RollHolidaysForward(store, settings, dmy(4, 3, 2026));
    EXPECT_EQ(r.moved, 2);
    for (const auto& [date, row] : store.rows)
        EXPECT_GE(date, dmy(4, 3, 2026)) << row.Holiday;
}

} // namespace

TEST(EasterHolidayDate, FollowsTheNextEasterByName) {
    const Date today = dmy(10, 3, 2026); // Easter 2026 is 5 April, still ahead
    const Date easter = dmy(5, 4, 2026);
    // Far before Easter, or named "Easter": Easter itself.
    EXPECT_EQ(easterHolidayDate("Spring", dmy(1, 1, 2026), today), easter);
    EXPECT_EQ(easterHolidayDate("Spring", 0, today), easter);
    EXPECT_EQ(easterHolidayDate("easter  ", dmy(20, 4, 2026), today), easter);
    // Within 30 days before Easter (or after it) a date of another name stays.
    EXPECT_EQ(easterHolidayDate("Spring", easter - 30, today), easter - 30);
    EXPECT_EQ(easterHolidayDate("Spring", easter + 3, today), easter + 3);
    EXPECT_EQ(easterHolidayDate("Good Friday", 0, today), easter - 2);
    EXPECT_EQ(easterHolidayDate("EASTER MONDAY", dmy(1, 6, 2026), today), easter + 1);
    // Once this year's Easter has passed, next year's counts: 28 March 2027.
    EXPECT_EQ(easterHolidayDate("Good Friday", 0, dmy(6, 4, 2026)), dmy(26, 3, 2027));
    EXPECT_EQ(easterHolidayDate("Easter", dmy(1, 1, 2026), easter), easter);
}
