#include "data/Pictures.h"
#include "data/Calendar.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace qd;

namespace {

// The built-in locale (US order) with a fixed century window, so that no test
// depends on the machine's locale or on today's date.
PictureLocale usLocale() {
    PictureLocale l;
    l.centuryStart = 1950;
    return l;
}

// A day-first locale with its own names, as a German desktop would give.
PictureLocale germanLocale() {
    PictureLocale l;
    l.shortDate = "%d.%m.%Y";
    l.longDate = "%A, %-d. %B %Y";
    l.shortTime = "%H:%M";
    l.longTime = "%H:%M:%S";
    l.monthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                    "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    l.monthAbbrevs = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    l.dayNames = {"Sonntag", "Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag"};
    l.dayAbbrevs = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    l.centuryStart = 1950;
    return l;
}

// A 12-hour locale.
PictureLocale twelveHourLocale() {
    PictureLocale l = usLocale();
    l.shortTime = "%I:%M %p";
    l.longTime = "%r";
    return l;
}

class PicturesTest : public ::testing::Test {
protected:
    void SetUp() override { setPictureLocale(usLocale()); }
    void TearDown() override { setPictureLocale(PictureLocale{}); }
};

const Date kOct31 = dateFromMDY(10, 31, 1959);

} // namespace

TEST_F(PicturesTest, DatePicturesShowTheirExamples) {
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"@d1", "10/31/59"},         {"@d2", "10/31/1959"},   {"@d3", "OCT 31,1959"},
        {"@d4", "October 31, 1959"}, {"@d5", "31/10/59"},     {"@d6", "31/10/1959"},
        {"@d7", "31 OCT 59"},        {"@d8", "31 OCT 1959"},  {"@d9", "59/10/31"},
        {"@d10", "1959/10/31"},      {"@d11", "591031"},      {"@d12", "19591031"},
        {"@d13", "10/59"},           {"@d14", "10/1959"},     {"@d15", "59/10"},
        {"@d16", "1959/10"},         {"@d17", "10/31/1959"},  {"@d18", "Saturday, October 31, 1959"},
        {"@D3", "OCT 31,1959"},      {"@d6.", "31.10.1959"},  {"@d2-", "10-31-1959"},
        {"@d8_", "31 OCT 1959"},     {"@d17b", "10/31/1959"},
    };
    for (const auto& [picture, expected] : cases)
        EXPECT_EQ(formatDate(kOct31, picture), expected) << picture;
    // Day and month carry a leading zero; the written month form does not.
    EXPECT_EQ(formatDate(dateFromMDY(3, 5, 2024), "@d2"), "03/05/2024");
    EXPECT_EQ(formatDate(dateFromMDY(3, 5, 2024), "@d4"), "March 5, 2024");
    // Unknown pictures show the written short form.
    EXPECT_EQ(formatDate(kOct31, "@d19"), "OCT 31,1959");
    EXPECT_EQ(formatDate(kOct31, "garbage"), "OCT 31,1959");
}

TEST_F(PicturesTest, EveryDayFrom1801To2099RoundTripsThroughEveryFullDatePicture) {
    const PictureLocale us = usLocale();
    const PictureLocale de = germanLocale();
    const std::vector<std::string> fourDigit = {"@d2",  "@d3",  "@d4",  "@d6",  "@d8", "@d10",
                                                "@d12", "@d17", "@d18", "@d6.", "@d2-"};
    const std::vector<std::string> twoDigit = {"@d1", "@d5", "@d7", "@d9", "@d11"};
    const Date first = dateFromMDY(1, 1, 1801);
    const Date last = dateFromMDY(12, 31, 2099);
    std::string error;
    for (Date d = first; d <= last; ++d) {
        for (const std::string& pic : fourDigit) {
            const std::string text = formatDate(d, pic, us);
            const auto back = parseDate(text, pic, us, &error);
            ASSERT_TRUE(back.has_value()) << pic << " " << text << ": " << error;
            ASSERT_EQ(*back, d) << pic << " " << text;
        }
        for (const char* pic : {"@d17", "@d18"}) {
            const std::string text = formatDate(d, pic, de);
            const auto back = parseDate(text, pic, de, &error);
            ASSERT_TRUE(back.has_value()) << pic << " " << text << ": " << error;
            ASSERT_EQ(*back, d) << pic << " " << text;
        }
        // Two-digit years come back inside the century window (1950-2049 here).
        const int year = yearOf(d);
        for (const std::string& pic : twoDigit) {
            const std::string text = formatDate(d, pic, us);
            const auto back = parseDate(text, pic, us, &error);
            ASSERT_TRUE(back.has_value()) << pic << " " << text << ": " << error;
            const int yy = year % 100;
            const int expectedYear = yy >= 50 ? 1900 + yy : 2000 + yy;
            ASSERT_EQ(*back, dateFromMDY(monthOf(d), dayOfMonth(d), expectedYear)) << pic << " " << text;
        }
    }
}

TEST_F(PicturesTest, MonthAndYearPicturesReadBackAsTheFirstDayOfThePeriod) {
    const PictureLocale us = usLocale();
    for (int year = 1801; year <= 2099; ++year) {
        for (int month = 1; month <= 12; ++month) {
            const Date mid = dateFromMDY(month, 15, year);
            const Date firstOfMonth = dateFromMDY(month, 1, year);
            for (const char* pic : {"@d14", "@d16"}) {
                ASSERT_EQ(parseDate(formatDate(mid, pic, us), pic, us), firstOfMonth) << pic;
            }
            if (year >= 1950 && year <= 2049) {
                for (const char* pic : {"@d13", "@d15"}) {
                    ASSERT_EQ(parseDate(formatDate(mid, pic, us), pic, us), firstOfMonth) << pic;
                }
            }
        }
        // The year alone ("Year Only" date format) is 1 January.
        const Date mid = dateFromMDY(7, 4, year);
        EXPECT_EQ(formatUserDate(mid, "n4b", us), std::to_string(year));
        ASSERT_EQ(parseUserDate(std::to_string(year), "n4b", us), dateFromMDY(1, 1, year));
    }
}

TEST_F(PicturesTest, DateInputIsReadLeniently) {
    EXPECT_EQ(parseDate(" 10-31-1959 ", "@d2"), kOct31);
    EXPECT_EQ(parseDate("10.31.1959", "@d2"), kOct31);
    EXPECT_EQ(parseDate("1/5/2024", "@d2"), dateFromMDY(1, 5, 2024));
    EXPECT_EQ(parseDate("10/31/59", "@d2"), kOct31);   // two digits in a four-digit picture
    EXPECT_EQ(parseDate("10/31/1959", "@d1"), kOct31); // four digits in a two-digit picture
    EXPECT_EQ(parseDate("oct 31, 1959", "@d3"), kOct31);
    EXPECT_EQ(parseDate("OCT 31 1959", "@d3"), kOct31);
    EXPECT_EQ(parseDate("31 October 1959", "@d8"), kOct31);
    EXPECT_EQ(parseDate("October 31, 1959", "@d18"), kOct31); // weekday may be left out
    EXPECT_EQ(parseDate("10/31/49", "@d1"), dateFromMDY(10, 31, 2049));
    EXPECT_EQ(parseDate("10/31/50", "@d1"), dateFromMDY(10, 31, 1950));
    EXPECT_EQ(parseDate("", "@d17"), 0);
    EXPECT_EQ(parseDate("   ", "@d17b"), 0);
}

TEST_F(PicturesTest, GarbageDatesAreRejectedWithAMessage) {
    const std::vector<std::pair<const char*, const char*>> bad = {
        {"31/02/2020", "@d6"},  {"02/30/2020", "@d2"},  {"13/01/2000", "@d2"}, {"00/10/2000", "@d2"},
        {"abc", "@d2"},         {"10/31/1959x", "@d2"}, {"10/31", "@d2"},      {"1959/10/31", "@d2"},
        {"10/31/959", "@d2"},   {"FOO 31,1959", "@d3"}, {"5910311", "@d11"},   {"59103", "@d11"},
        {"10/31/10000", "@d2"}, {"12/31/1799", "@d2"},  {"29/02/1900", "@d6"}, {"13/1959", "@d14"},
    };
    for (const auto& [text, pic] : bad) {
        std::string error;
        EXPECT_FALSE(parseDate(text, pic, &error).has_value()) << text << " " << pic;
        EXPECT_NE(error.find("Invalid date"), std::string::npos) << text << " " << pic << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(parseDate("31/02/2020", "@d6", &error));
    EXPECT_EQ(error, "Invalid date \"31/02/2020\": the month has no day 31 (expected dd/mm/yyyy)");
    EXPECT_FALSE(parseDate("10/31/1959", "@t1", &error));
    EXPECT_EQ(error, "\"@t1\" is not a date picture");
    EXPECT_EQ(parseDate("29/02/2000", "@d6"), dateFromMDY(2, 29, 2000));
}

TEST_F(PicturesTest, TimePicturesFormatAndReadBack) {
    const Time t = timeFromHMS(17, 30, 15, 42);
    const std::vector<std::pair<const char*, const char*>> cases = {
        {"@t1", "17:30"},  {"@t2", "1730"},      {"@t3", "5:30PM"}, {"@t4", "17:30:15"},
        {"@t5", "173015"}, {"@t6", "5:30:15PM"}, {"@t7", "17:30"},  {"@t8", "17:30:15"},
    };
    for (const auto& [pic, expected] : cases)
        EXPECT_EQ(formatTime(t, pic), expected) << pic;
    EXPECT_EQ(formatTime(timeFromHMS(0, 5, 0), "@t3"), "12:05AM");
    EXPECT_EQ(formatTime(timeFromHMS(12, 0, 0), "@t3"), "12:00PM");
    EXPECT_EQ(formatTime(timeFromHMS(9, 7, 0), "@t1"), "09:07");
    const PictureLocale twelve = twelveHourLocale();
    EXPECT_EQ(formatTime(t, "@t7", twelve), "05:30 PM");
    EXPECT_EQ(formatTime(t, "@t8", twelve), "05:30:15 PM");

    const std::vector<std::string> minutePictures = {"@t1", "@t2", "@t3", "@t7"};
    const std::vector<std::string> secondPictures = {"@t4", "@t5", "@t6", "@t8"};
    for (const PictureLocale& locale : {usLocale(), twelveHourLocale(), germanLocale()}) {
        for (Time v = 1; v <= kTimeDay; v += 7 * kTimeSecond + 13) {
            const ClockTime c = clockFromTime(v);
            for (const std::string& pic : minutePictures) {
                const auto back = parseTime(formatTime(v, pic, locale), pic, locale);
                ASSERT_EQ(back, timeFromHMS(c.hour, c.minute, 0)) << pic << " " << formatTime(v, pic, locale);
            }
            for (const std::string& pic : secondPictures) {
                const auto back = parseTime(formatTime(v, pic, locale), pic, locale);
                ASSERT_EQ(back, timeFromHMS(c.hour, c.minute, c.second)) << pic;
            }
        }
    }
}

TEST_F(PicturesTest, TimeInputIsReadLenientlyAndGarbageRejected) {
    EXPECT_EQ(parseTime("5:30 pm", "@t3"), timeFromHMS(17, 30, 0));
    EXPECT_EQ(parseTime("17:30", "@t3"), timeFromHMS(17, 30, 0)); // a 24-hour entry
    EXPECT_EQ(parseTime("12:00AM", "@t3"), timeFromHMS(0, 0, 0));
    EXPECT_EQ(parseTime("12:15PM", "@t3"), timeFromHMS(12, 15, 0));
    EXPECT_EQ(parseTime("9:05", "@t1"), timeFromHMS(9, 5, 0));
    EXPECT_EQ(parseTime("", "@t7"), 0);
    for (const char* text : {"25:00", "12:60", "13:00PM", "abc", "17:30:99", "17-30x", "1:2:3:4"}) {
        std::string error;
        const char* pic = std::string(text).size() > 6 ? "@t4" : "@t3";
        EXPECT_FALSE(parseTime(text, pic, &error).has_value()) << text;
        EXPECT_NE(error.find("Invalid time"), std::string::npos) << text << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(parseTime("25:00", "@t1", &error));
    EXPECT_EQ(error, "Invalid time \"25:00\": there is no hour 25 (expected hh:mm)");
}

TEST_F(PicturesTest, ZeroDatesAndTimesAndTheBlankRule) {
    EXPECT_EQ(formatDate(0, "@d17b"), "");
    EXPECT_EQ(formatDate(0, "@d17"), "");
    EXPECT_EQ(formatTime(0, "@t7b"), "");
    EXPECT_EQ(formatNumber(0LL, "@n3b"), "");
    EXPECT_EQ(formatNumber(0LL, "@n3"), "0");
    EXPECT_EQ(formatNumber(0.001, "@n8.2b"), "");
    EXPECT_EQ(formatNumber(-0.001, "@n8.2"), "0.00");
    EXPECT_EQ(formatUserDate(0, "d17"), "");
}

TEST_F(PicturesTest, NumberPicturesFormat) {
    struct Case {
        double value;
        const char* picture;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {7, "@n3", "7"},
        {1, "@n1", "1"},
        {-5, "@n-2b", "-5"},
        {-15, "@n-2b", "-15"}, // wider than the picture: shown in full
        {7, "@n03", "007"},
        {-7, "@n04", "-007"},
        {1234.5, "@n12,.2", "1,234.50"},
        {-1234567.891, "@n14,.2", "-1,234,567.89"},
        {999, "@n9,", "999"},
        {-3, "@n(8.2)", "(3.00)"},
        {-3, "@n8.2-", "3.00-"},
        {42, "@n*8", "******42"},
        {3.5, "@N30.9", "3.500000000"},
        {1959, "@n4b", "1959"},
        {2.675, "@n.1", "2.7"},
        {12345678, "@n3", "12345678"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formatNumber(c.value, c.picture), c.expected) << c.picture;
    EXPECT_EQ(formatNumber(-9223372036854775807LL - 1, "@n20,"), "-9,223,372,036,854,775,808");
    EXPECT_EQ(formatNumber(12LL, "@n6.2"), "12.00");
}

TEST_F(PicturesTest, NumbersReadBackAndGarbageIsRejected) {
    auto roundTrips = [](const char* pic, double v) {
        const std::string text = formatNumber(v, pic);
        const auto back = parseNumber(text, pic);
        ASSERT_TRUE(back.has_value()) << pic << " " << text;
        EXPECT_DOUBLE_EQ(*back, v) << pic << " " << text;
    };
    for (const char* pic : {"@n12,.2", "@n(8.2)", "@n8.2-", "@N30.9"})
        for (double v : {0.0, 1.0, -1.0, 12.5, -1234.25, 1000000.0})
            roundTrips(pic, v);
    for (const char* pic : {"@n-2b", "@n04", "@n3", "@n9,"})
        for (double v : {0.0, 1.0, -1.0, 12.0, -1234.0, 1000000.0})
            roundTrips(pic, v);
    EXPECT_EQ(parseInteger("(12)", "@n3"), -12);
    EXPECT_EQ(parseInteger("12-", "@n3"), -12);
    EXPECT_EQ(parseInteger("+12", "@n3"), 12);
    EXPECT_EQ(parseInteger("1,234", "@n9,"), 1234);
    EXPECT_EQ(parseInteger("  ", "@n3b"), 0);
    EXPECT_EQ(parseInteger("5.00", "@n3"), 5);
    EXPECT_EQ(parseNumber("3.14159", ""), 3.14159); // no picture: any decimals
    const std::vector<std::pair<const char*, const char*>> bad = {
        {"12a", "@n3"},
        {"2.5", "@n3"},
        {"1,234", "@n9"},
        {"1,23", "@n9,"},
        {"1234,567", "@n9,"},
        {"--1", "@n3"},
        {"-", "@n3"},
        {"1.2.3", "@n9.2"},
        {"0x10", "@n3"},
        {"1.234", "@n9.2"},
        {"99999999999999999999", "@n20"},
    };
    for (const auto& [text, pic] : bad) {
        std::string error;
        EXPECT_FALSE(parseInteger(text, pic, &error).has_value()) << text << " " << pic;
        EXPECT_NE(error.find("Invalid number"), std::string::npos) << text << ": " << error;
    }
    std::string error;
    EXPECT_FALSE(parseNumber("2.5", "@n3", &error));
    EXPECT_EQ(error, "Invalid number \"2.5\": no decimals allowed");
}

TEST_F(PicturesTest, PictureTokensAreTakenApart) {
    for (const char* good : {"@d1", "@D18", "@d6.", "@d17b", "@t7b", "@T3", "@n3", "@N30.9", "@n-2b",
                             "@n(8.2)", "@n12,.2-", "@n*8", "@s40", "@S1000", " @d3 "}) {
        EXPECT_TRUE(Picture::parse(good).has_value()) << good;
    }
    for (const char* bad :
         {"", "@", "d3", "@d0", "@d19", "@t9", "@s", "@x3", "@n3x", "@n(8.2", "@d3bb", "@d"}) {
        EXPECT_FALSE(Picture::parse(bad).has_value()) << bad;
    }
    const auto p = Picture::parse("@n-2b");
    ASSERT_TRUE(p);
    EXPECT_EQ(p->kind, PictureKind::Numbers);
    EXPECT_EQ(p->width, 2);
    EXPECT_TRUE(p->blankZero);
    EXPECT_EQ(pictureKind("@d17"), PictureKind::Dates);
    EXPECT_EQ(pictureKind("@t7"), PictureKind::Times);
    EXPECT_EQ(pictureKind("@S1000"), PictureKind::Texts);
    EXPECT_EQ(pictureKind("nonsense"), PictureKind::Invalid);
}

TEST_F(PicturesTest, TextPicturesCutWholeCharacters) {
    EXPECT_EQ(formatText("abcdefg", "@s5"), "abcde");
    EXPECT_EQ(formatText("ab   ", "@s40"), "ab");
    // The width counts characters: "aéz" in two places is "aé".
    EXPECT_EQ(formatText("a\xC3\xA9z", "@s2"), "a\xC3\xA9");
    EXPECT_EQ(formatText("\xE2\x82\xAC\xE2\x82\xAC\xE2\x82\xAC", "@s2"), "\xE2\x82\xAC\xE2\x82\xAC");
}

TEST_F(PicturesTest, AnyPictureDispatchesOnItsLetter) {
    EXPECT_EQ(formatPicture(static_cast<double>(kOct31), "@d2"), "10/31/1959");
    EXPECT_EQ(formatPicture(static_cast<double>(timeFromHMS(8, 0, 0)), "@t1"), "08:00");
    EXPECT_EQ(formatPicture(1234.5, "@n10,.1"), "1,234.5");
    EXPECT_EQ(formatPicture(42.0, "@s1"), "4");
    EXPECT_EQ(formatPicture("hello", "@s3"), "hel");
    EXPECT_EQ(formatPicture("17", "@n03"), "017");
    EXPECT_EQ(formatPicture(std::to_string(kOct31), "@d6"), "31/10/1959");
    EXPECT_EQ(parsePicture("31/10/1959", "@d6"), kOct31);
    EXPECT_EQ(parsePicture("5:30PM", "@t3"), timeFromHMS(17, 30, 0));
    EXPECT_EQ(parsePicture("1,234.5", "@n10,.1"), 1234.5);
    std::string error;
    EXPECT_FALSE(parsePicture("x", "@s10", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(parsePicture("x", "zz", &error));
}

TEST_F(PicturesTest, TheUsersDateFormatSetting) {
    EXPECT_EQ(formatUserDate(kOct31, "d4"), "October 31, 1959");
    EXPECT_EQ(formatUserDate(kOct31, "@d6"), "31/10/1959");
    EXPECT_EQ(formatUserDate(kOct31, "n4b"), "1959");
    EXPECT_EQ(formatUserDate(kOct31, ""), "OCT 31,1959");
    EXPECT_EQ(formatUserDate(kOct31, "zz"), "OCT 31,1959");
    EXPECT_EQ(parseUserDate("31/10/1959", "d6"), kOct31);
    std::string error;
    EXPECT_FALSE(parseUserDate("1800", "n4b", &error));
    EXPECT_FALSE(parseUserDate("19x9", "n4b", &error));
    EXPECT_NE(error.find("Invalid year"), std::string::npos);
}

TEST_F(PicturesTest, LocaleDrivenPictures) {
    const PictureLocale de = germanLocale();
    EXPECT_EQ(formatDate(kOct31, "@d17", de), "31.10.1959");
    EXPECT_EQ(formatDate(kOct31, "@d18", de), "Samstag, 31. Oktober 1959");
    EXPECT_EQ(formatDate(dateFromMDY(3, 1, 2024), "@d18", de), "Freitag, 1. März 2024");
    EXPECT_EQ(parseDate("1. März 2024", "@d18", de), dateFromMDY(3, 1, 2024));
    // The fixed pictures keep their English upper-case months in any locale.
    EXPECT_EQ(formatDate(kOct31, "@d3", de), "OCT 31,1959");

    // The C locale: its two-digit short-date year is widened to four digits.
    const auto c = PictureLocale::fromName("C");
    ASSERT_TRUE(c.has_value());
    EXPECT_EQ(c->shortDate, "%m/%d/%Y");
    EXPECT_EQ(c->longTime, "%H:%M:%S");
    EXPECT_EQ(c->shortTime, "%H:%M");
    EXPECT_EQ(c->monthNames[9], "October");
    EXPECT_EQ(c->longDate, "%A, %B %-d, %Y");
    EXPECT_FALSE(PictureLocale::fromName("xx_NOWHERE.UTF-8").has_value());

    // The process locale is what the locale-free calls use.
    setPictureLocale(de);
    EXPECT_EQ(formatDate(kOct31, "@d17"), "31.10.1959");
    EXPECT_EQ(parseDate("31.10.1959", "@d17"), kOct31);
}
