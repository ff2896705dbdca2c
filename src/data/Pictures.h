// Display pictures: how dates, times, numbers and texts are shown to the user and
// read back from what the user typed.
//
// A picture is a short token: "@d3" (date), "@t7" (time), "@n-2b" (number), "@s40"
// (text). The letter after "@" is case-insensitive. A trailing "b" shows a zero value
// as blank.
//
// Dates (day numbers, see Calendar.h):
//   @d1 10/31/59          @d2 10/31/1959        @d3 OCT 31,1959     @d4 October 31, 1959
//   @d5 31/10/59          @d6 31/10/1959        @d7 31 OCT 59       @d8 31 OCT 1959
//   @d9 59/10/31          @d10 1959/10/31       @d11 591031         @d12 19591031
//   @d13 10/59            @d14 10/1959          @d15 59/10          @d16 1959/10
//   @d17 the locale's short date                @d18 the locale's long date
//   An optional separator after the number replaces "/": "." "-" or "_" (a blank),
//   as in "@d6." for 31.10.1959. Day and month numbers carry a leading zero.
//   Month/year pictures read back as the first day of the month.
// Times (hundredths of a second plus one, see Calendar.h):
//   @t1 17:30   @t2 1730   @t3 5:30PM   @t4 17:30:00   @t5 173000   @t6 5:30:00PM
//   @t7 the locale's time without seconds    @t8 the locale's time with seconds
// A zero date or time has no calendar value and shows blank under every picture;
// blank text reads back as zero.
// Numbers: @n [sign] [fill] width [,] [.decimals] [sign] [b]
//   sign "-" (leading minus, the default) or "(" ... ")" (parentheses); a trailing
//   "-" puts the minus after the digits. Fill "0" pads with zeros to the width,
//   "*" with asterisks; otherwise the text has no padding. "," groups thousands.
//   A value wider than the picture is shown in full, never cut or hidden.
//   Examples: @n3 (7 -> "7"), @n-2b (0 -> ""), @n03 (7 -> "007"), @n12,.2
//   (1234.5 -> "1,234.50"), @N30.9.
// Texts: @s40 cuts the text to 40 bytes (never inside a UTF-8 character) and drops
//   trailing blanks.
//
// Parsing is the inverse. It never throws: it returns nullopt and, when asked,
// an error message that names the expected form.
#pragma once

#include "data/Clock.h"

#include "data/Calendar.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace qd {

// Names and patterns of the user's locale used by @d17, @d18, @t7 and @t8.
// Patterns use the strftime directives %d %e %m %y %Y %b %B %h %a %A %H %I %k %l
// %M %S %p %P %D %F %R %T %r %% (a "-" after "%" drops the padding).
struct PictureLocale {
    std::string shortDate = "%m/%d/%Y";
    std::string longDate = "%A, %B %-d, %Y";
    std::string shortTime = "%H:%M";
    std::string longTime = "%H:%M:%S";
    std::array<std::string, 12> monthNames{"January",   "February", "March",    "April",
                                           "May",       "June",     "July",     "August",
                                           "September", "October",  "November", "December"};
    std::array<std::string, 12> monthAbbrevs{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 7> dayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                        "Thursday", "Friday", "Saturday"};
    std::array<std::string, 7> dayAbbrevs{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::string am = "AM";
    std::string pm = "PM";
    // Two-digit years read as years from centuryStart to centuryStart + 99. Unset:
    // from 80 years before the current year of `clock` to 19 years after.
    std::optional<int> centuryStart;
    // The clock the current year comes from; unset: the machine's clock.
    const Clock* clock = nullptr;

    // The locale the environment names for LC_TIME (LC_ALL, LC_TIME, LANG); the
    // built-in defaults above when it names none or an unknown one. A two-digit
    // year in the locale's short date is widened to four digits so that dates keep
    // their century wherever they are written and read back.
    static PictureLocale fromSystem();
    // A named locale such as "de_DE.UTF-8"; nullopt when it is not installed.
    static std::optional<PictureLocale> fromName(const std::string& name);
};

// The locale used by the functions below that take none. Starts as fromSystem().
std::shared_ptr<const PictureLocale> pictureLocale();
void setPictureLocale(PictureLocale locale);

enum class PictureKind { Invalid, Dates, Times, Numbers, Texts };

// A picture token taken apart.
struct Picture {
    PictureKind kind = PictureKind::Invalid;
    int format = 0;         // date 1-18, time 1-8
    char separator = '/';   // date separator
    bool blankZero = false; // trailing "b"
    int width = 0;          // number width, text length
    int decimals = 0;       // number decimals
    char fill = ' ';        // number fill: ' ', '0' or '*'
    bool group = false;     // number thousands grouping
    bool trailingSign = false;
    bool parentheses = false;

    // nullopt when the text is not a picture this module knows.
    static std::optional<Picture> parse(std::string_view picture);
};

PictureKind pictureKind(std::string_view picture);

// Dates. An unknown or non-date picture formats as "@d3" would.
std::string formatDate(Date date, std::string_view picture);
std::string formatDate(Date date, std::string_view picture, const PictureLocale& locale);
std::optional<Date> parseDate(std::string_view text, std::string_view picture, std::string* error = nullptr);
std::optional<Date> parseDate(std::string_view text, std::string_view picture, const PictureLocale& locale,
                              std::string* error = nullptr);

// Times. An unknown or non-time picture formats as "@t1" would.
std::string formatTime(Time time, std::string_view picture);
std::string formatTime(Time time, std::string_view picture, const PictureLocale& locale);
std::optional<Time> parseTime(std::string_view text, std::string_view picture, std::string* error = nullptr);
std::optional<Time> parseTime(std::string_view text, std::string_view picture, const PictureLocale& locale,
                              std::string* error = nullptr);

// Numbers. A non-number picture formats as "@n" (no width) would.
std::string formatNumber(long long value, std::string_view picture);
std::string formatNumber(double value, std::string_view picture);
std::optional<double> parseNumber(std::string_view text, std::string_view picture,
                                  std::string* error = nullptr);
// Like parseNumber, but the value must be a whole number that fits in 64 bits.
std::optional<long long> parseInteger(std::string_view text, std::string_view picture,
                                      std::string* error = nullptr);

// Texts: cut to the picture's length with trailing blanks removed.
std::string formatText(std::string_view text, std::string_view picture);

// Any picture: dates, times and numbers from a numeric value; a text picture
// shows the value's decimal text.
std::string formatPicture(double value, std::string_view picture);
// Any picture from a text: text pictures cut it; date, time and number pictures
// read the text as a number first (text that is not a number counts as 0).
std::string formatPicture(std::string_view text, std::string_view picture);
// Date, time and number pictures: the value the text stands for. Text pictures
// and unknown pictures give nullopt with an error.
std::optional<double> parsePicture(std::string_view text, std::string_view picture,
                                   std::string* error = nullptr);

// The user's date format setting ("d3", "@d17", "n4b" for the year alone...):
// dates 1-18 use their picture, a number picture shows the year, anything else
// (blank included) shows "@d3". Date 0 is blank.
std::string formatUserDate(Date date, std::string_view dateFormat);
std::string formatUserDate(Date date, std::string_view dateFormat, const PictureLocale& locale);
// Inverse of formatUserDate; a year alone reads back as 1 January of that year.
std::optional<Date> parseUserDate(std::string_view text, std::string_view dateFormat,
                                  std::string* error = nullptr);
std::optional<Date> parseUserDate(std::string_view text, std::string_view dateFormat,
                                  const PictureLocale& locale, std::string* error = nullptr);

} // namespace qd
