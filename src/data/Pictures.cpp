#include "data/Pictures.h"

#include "data/Clock.h"
#include "data/PictureText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace qd {

using namespace picture_text;

namespace {

std::string upperAscii(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return s;
}

void appendNumber(std::string& out, long long v, int width, char pad) {
    const std::string digits = std::to_string(v < 0 ? -v : v);
    if (v < 0) out += '-';
    for (int i = static_cast<int>(digits.size()); i < width; ++i)
        out += pad;
    out += digits;
}

// ---------------------------------------------------------------------------
// strftime-like patterns, formatted and parsed by one engine

struct Token {
    enum Type { Literal, Space, Directive } type = Literal;
    char ch = 0;  // literal character or directive letter
    char pad = 0; // 0: the directive's own padding, '-': none, ' ' or '0'
};

bool isNumericDirective(char c) {
    return std::strchr("demyYHkIlMS", c) != nullptr && c != 0;
}

void tokenizeInto(std::string_view pattern, std::vector<Token>& out, int depth) {
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%') {
            out.push_back({isSpace(c) ? Token::Space : Token::Literal, c, 0});
            continue;
        }
        if (i + 1 >= pattern.size()) {
            out.push_back({Token::Literal, '%', 0});
            break;
        }
        char pad = 0;
        char d = pattern[++i];
        while ((d == '-' || d == '_' || d == '0' || d == 'E' || d == 'O' || d == '^' || d == '#') &&
               i + 1 < pattern.size()) {
            if (d == '-') pad = '-';
            if (d == '_') pad = ' ';
            if (d == '0') pad = '0';
            d = pattern[++i];
        }
        const char* composite = nullptr;
        switch (d) {
        case 'D':
            composite = "%m/%d/%y";
            break;
        case 'F':
            composite = "%Y-%m-%d";
            break;
        case 'R':
            composite = "%H:%M";
            break;
        case 'T':
            composite = "%H:%M:%S";
            break;
        case 'r':
            composite = "%I:%M:%S %p";
            break;
        default:
            break;
        }
        if (composite && depth < 2) {
            tokenizeInto(composite, out, depth + 1);
        } else if (d == '%') {
            out.push_back({Token::Literal, '%', 0});
        } else if (d == 'n' || d == 't') {
            out.push_back({Token::Space, ' ', 0});
        } else if (std::strchr("demyYHkIlMSbBhaApP", d)) {
            out.push_back({Token::Directive, d, pad});
        } else {
            out.push_back({Token::Literal, '%', 0});
            out.push_back({Token::Literal, d, 0});
        }
    }
}

std::vector<Token> tokenize(std::string_view pattern) {
    std::vector<Token> out;
    tokenizeInto(pattern, out, 0);
    return out;
}

struct Fields {
    int year = 0;
    int yearDigits = 0;
    int month = 0;
    int day = 0;
    int weekday = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int meridiem = 0; // 0 none, 1 am, 2 pm
};

std::string formatPattern(const std::vector<Token>& tokens, const Fields& f, const PictureLocale& names) {
    std::string out;
    for (const Token& t : tokens) {
        if (t.type != Token::Directive) {
            out += t.ch;
            continue;
        }
        auto num = [&](long long v, int width, char defaultPad) {
            if (t.pad == '-')
                appendNumber(out, v, 0, ' ');
            else
                appendNumber(out, v, width, t.pad ? t.pad : defaultPad);
        };
        const int h12 = f.hour % 12 == 0 ? 12 : f.hour % 12;
        switch (t.ch) {
        case 'd':
            num(f.day, 2, '0');
            break;
        case 'e':
            num(f.day, 2, ' ');
            break;
        case 'm':
            num(f.month, 2, '0');
            break;
        case 'y':
            num(((f.year % 100) + 100) % 100, 2, '0');
            break;
        case 'Y':
            num(f.year, 4, '0');
            break;
        case 'H':
            num(f.hour, 2, '0');
            break;
        case 'k':
            num(f.hour, 2, ' ');
            break;
        case 'I':
            num(h12, 2, '0');
            break;
        case 'l':
            num(h12, 2, ' ');
            break;
        case 'M':
            num(f.minute, 2, '0');
            break;
        case 'S':
            num(f.second, 2, '0');
            break;
        case 'b':
        case 'h':
            if (f.month >= 1 && f.month <= 12)
                out += names.monthAbbrevs[static_cast<std::size_t>(f.month - 1)];
            break;
        case 'B':
            if (f.month >= 1 && f.month <= 12) out += names.monthNames[static_cast<std::size_t>(f.month - 1)];
            break;
        case 'a':
            out += names.dayAbbrevs[static_cast<std::size_t>(f.weekday % 7)];
            break;
        case 'A':
            out += names.dayNames[static_cast<std::size_t>(f.weekday % 7)];
            break;
        case 'p':
            out += f.hour < 12 ? names.am : names.pm;
            break;
        case 'P': {
            std::string s = f.hour < 12 ? names.am : names.pm;
            for (char& c : s)
                c = lowerAscii(c);
            out += s;
            break;
        }
        default:
            break;
        }
    }
    return out;
}

// How a pattern reads to a person: "mm/dd/yyyy", "hh:mm AM/PM".
std::string describePattern(const std::vector<Token>& tokens) {
    std::string out;
    for (const Token& t : tokens) {
        if (t.type != Token::Directive) {
            out += t.ch;
            continue;
        }
        switch (t.ch) {
        case 'd':
        case 'e':
            out += "dd";
            break;
        case 'm':
            out += "mm";
            break;
        case 'y':
            out += "yy";
            break;
        case 'Y':
            out += "yyyy";
            break;
        case 'b':
        case 'h':
            out += "mmm";
            break;
        case 'B':
            out += "month";
            break;
        case 'a':
        case 'A':
            out += "weekday";
            break;
        case 'H':
        case 'k':
        case 'I':
        case 'l':
            out += "hh";
            break;
        case 'M':
            out += "mm";
            break;
        case 'S':
            out += "ss";
            break;
        default:
            out += "AM/PM";
            break;
        }
    }
    return out;
}

// Longest name of the list that starts the text and is not followed by a letter;
// returns its index or -1.
template <std::size_t N>
int matchName(std::string_view text, const std::array<std::string, N>& names, std::size_t& length) {
    int best = -1;
    std::size_t bestLen = 0;
    for (std::size_t i = 0; i < N; ++i) {
        const std::string& n = names[i];
        if (n.size() > bestLen && startsWithNoCase(text, n) &&
            (text.size() == n.size() || !isAlpha(text[n.size()]))) {
            best = static_cast<int>(i);
            bestLen = n.size();
        }
    }
    length = bestLen;
    return best;
}

const PictureLocale& englishNames() {
    static const PictureLocale names;
    return names;
}

// Reads the text by the pattern. Missing weekday and AM/PM marks are allowed;
// blanks around separators are ignored; "/", "-" and "." stand for each other.
bool parsePattern(std::string_view text, const std::vector<Token>& tokens, const PictureLocale& names,
                  Fields& f, std::string& reason) {
    std::size_t pos = 0;
    auto skipSpace = [&] {
        while (pos < text.size() && isSpace(text[pos]))
            ++pos;
    };
    bool skipLiterals = false; // after an absent weekday name, its punctuation may be absent too
    for (std::size_t ti = 0; ti < tokens.size(); ++ti) {
        const Token& t = tokens[ti];
        if (t.type == Token::Space) {
            skipSpace();
            continue;
        }
        skipSpace();
        const std::string_view rest = text.substr(pos);
        if (t.type == Token::Literal) {
            const char c = rest.empty() ? '\0' : rest.front();
            const bool sepAlike = std::strchr("/-.", t.ch) && c != '\0' && std::strchr("/-.", c);
            if (!rest.empty() && (sepAlike || lowerAscii(c) == lowerAscii(t.ch))) {
                ++pos;
            } else if (t.ch != ',' && !skipLiterals) {
                reason = rest.empty()
                             ? "the text ends too early"
                             : std::string("\"") + t.ch + "\" expected at \"" + std::string(rest) + "\"";
                return false;
            }
            continue;
        }
        skipLiterals = false;
        const char d = t.ch;
        if (isNumericDirective(d)) {
            const bool isYear = d == 'y' || d == 'Y';
            // Digits that run into other digits ("%y%m%d") have their full width.
            auto numericAt = [&](std::size_t k) {
                return k < tokens.size() && tokens[k].type == Token::Directive &&
                       isNumericDirective(tokens[k].ch);
            };
            const bool fixed = numericAt(ti + 1) || (ti > 0 && numericAt(ti - 1));
            const std::size_t fixedWidth = d == 'Y' ? 4 : 2;
            const std::size_t maxDigits = isYear ? 4 : 2;
            std::size_t n = 0;
            while (n < rest.size() && n < maxDigits && isDigit(rest[n]))
                ++n;
            if (fixed) n = n >= fixedWidth ? fixedWidth : 0;
            if (n == 0) {
                reason = rest.empty() ? "the text ends too early"
                                      : "a number expected at \"" + std::string(rest) + "\"";
                return false;
            }
            int v = 0;
            std::from_chars(rest.data(), rest.data() + n, v);
            pos += n;
            switch (d) {
            case 'd':
            case 'e':
                f.day = v;
                break;
            case 'm':
                f.month = v;
                break;
            case 'y':
            case 'Y':
                f.year = v;
                f.yearDigits = static_cast<int>(n);
                break;
            case 'H':
            case 'k':
            case 'I':
            case 'l':
                f.hour = v;
                break;
            case 'M':
                f.minute = v;
                break;
            case 'S':
                f.second = v;
                break;
            default:
                break;
            }
            continue;
        }
        std::size_t len = 0;
        if (d == 'b' || d == 'B' || d == 'h') {
            int m = matchName(rest, names.monthNames, len);
            if (m < 0) m = matchName(rest, names.monthAbbrevs, len);
            if (m < 0) m = matchName(rest, englishNames().monthNames, len);
            if (m < 0) m = matchName(rest, englishNames().monthAbbrevs, len);
            if (m < 0) {
                reason = rest.empty() ? "the text ends too early"
                                      : "a month name expected at \"" + std::string(rest) + "\"";
                return false;
            }
            f.month = m + 1;
            pos += len;
        } else if (d == 'a' || d == 'A') {
            int w = matchName(rest, names.dayNames, len);
            if (w < 0) w = matchName(rest, names.dayAbbrevs, len);
            if (w < 0) w = matchName(rest, englishNames().dayNames, len);
            if (w < 0) w = matchName(rest, englishNames().dayAbbrevs, len);
            if (w >= 0)
                pos += len;
            else
                skipLiterals = true;
        } else if (d == 'p' || d == 'P') {
            const std::array<std::string, 6> marks{names.am, names.pm, "AM", "PM", "A", "P"};
            const int k = matchName(rest, marks, len);
            if (k >= 0) {
                pos += len;
                f.meridiem = (k % 2 == 0) ? 1 : 2;
            }
        }
    }
    skipSpace();
    if (pos < text.size()) {
        reason = "unexpected text \"" + std::string(text.substr(pos)) + "\"";
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Date and time picture tables

struct DateForm {
    const char* pattern; // "/" is replaced by the picture's separator
    bool hasDay;
};

constexpr DateForm kDateForms[] = {
    {"%m/%d/%y", true},   // 1  10/31/59
    {"%m/%d/%Y", true},   // 2  10/31/1959
    {"%b %d,%Y", true},   // 3  OCT 31,1959
    {"%B %-d, %Y", true}, // 4  October 31, 1959
    {"%d/%m/%y", true},   // 5  31/10/59
    {"%d/%m/%Y", true},   // 6  31/10/1959
    {"%d %b %y", true},   // 7  31 OCT 59
    {"%d %b %Y", true},   // 8  31 OCT 1959
    {"%y/%m/%d", true},   // 9  59/10/31
    {"%Y/%m/%d", true},   // 10 1959/10/31
    {"%y%m%d", true},     // 11 591031
    {"%Y%m%d", true},     // 12 19591031
    {"%m/%y", false},     // 13 10/59
    {"%m/%Y", false},     // 14 10/1959
    {"%y/%m", false},     // 15 59/10
    {"%Y/%m", false},     // 16 1959/10
};

constexpr const char* kTimeForms[] = {
    "%H:%M",       // 1 17:30
    "%H%M",        // 2 1730
    "%-I:%M%p",    // 3 5:30PM
    "%H:%M:%S",    // 4 17:30:00
    "%H%M%S",      // 5 173000
    "%-I:%M:%S%p", // 6 5:30:00PM
};

// Names of the fixed pictures: English, with upper-case month abbreviations.
const PictureLocale& fixedNames() {
    static const PictureLocale names = [] {
        PictureLocale l;
        for (auto& m : l.monthAbbrevs)
            m = upperAscii(m);
        return l;
    }();
    return names;
}

std::string datePattern(const Picture& p, const PictureLocale& locale) {
    if (p.format == 17) return locale.shortDate;
    if (p.format == 18) return locale.longDate;
    std::string s = kDateForms[p.format - 1].pattern;
    if (p.separator != '/') std::replace(s.begin(), s.end(), '/', p.separator);
    return s;
}

const PictureLocale& dateNames(const Picture& p, const PictureLocale& locale) {
    return p.format >= 17 ? locale : fixedNames();
}

std::string timePattern(const Picture& p, const PictureLocale& locale) {
    if (p.format == 7) return locale.shortTime;
    if (p.format == 8) return locale.longTime;
    return kTimeForms[p.format - 1];
}

const PictureLocale& timeNames(const Picture& p, const PictureLocale& locale) {
    return p.format >= 7 ? locale : fixedNames();
}

int fullYear(int twoDigits, const PictureLocale& locale) {
    int start = 0;
    if (locale.centuryStart) {
        start = *locale.centuryStart;
    } else {
        const int current = yearOf((locale.clock ? *locale.clock : systemClock()).today());
        start = (current > 0 ? current : 2000) - 80;
    }
    return start + ((twoDigits - start % 100) % 100 + 100) % 100;
}

} // namespace

// ---------------------------------------------------------------------------
// Picture tokens

std::optional<Picture> Picture::parse(std::string_view picture) {
    const std::string_view s = trim(picture);
    if (s.size() < 2 || s[0] != '@') return std::nullopt;
    Picture p;
    const char letter = lowerAscii(s[1]);
    std::size_t i = 2;
    auto readInt = [&](int& v) {
        const std::size_t start = i;
        while (i < s.size() && isDigit(s[i]) && i - start < 6)
            ++i;
        if (i == start) return false;
        std::from_chars(s.data() + start, s.data() + i, v);
        return true;
    };
    auto readBlank = [&] {
        if (i < s.size() && lowerAscii(s[i]) == 'b') {
            p.blankZero = true;
            ++i;
        }
    };
    if (letter == 'd' || letter == 't') {
        p.kind = letter == 'd' ? PictureKind::Dates : PictureKind::Times;
        if (!readInt(p.format)) return std::nullopt;
        if (p.format < 1 || p.format > (letter == 'd' ? 18 : 8)) return std::nullopt;
        if (letter == 'd' && i < s.size() && std::strchr("/.-_", s[i])) {
            p.separator = s[i] == '_' ? ' ' : s[i];
            ++i;
        }
        readBlank();
    } else if (letter == 's') {
        p.kind = PictureKind::Texts;
        if (!readInt(p.width)) return std::nullopt;
    } else if (letter == 'n') {
        p.kind = PictureKind::Numbers;
        if (i < s.size() && s[i] == '-')
            ++i;
        else if (i < s.size() && s[i] == '(') {
            p.parentheses = true;
            ++i;
        }
        if (i + 1 < s.size() && s[i] == '0' && isDigit(s[i + 1])) {
            p.fill = '0';
            ++i;
        } else if (i < s.size() && (s[i] == '*' || s[i] == '_')) {
            p.fill = s[i] == '*' ? '*' : ' ';
            ++i;
        }
        readInt(p.width);
        if (i < s.size() && s[i] == ',') {
            p.group = true;
            ++i;
        }
        if (i < s.size() && s[i] == '.') {
            ++i;
            if (!readInt(p.decimals) || p.decimals > 30) return std::nullopt;
        }
        if (p.parentheses) {
            if (i >= s.size() || s[i] != ')') return std::nullopt;
            ++i;
        } else if (i < s.size() && s[i] == '-') {
            p.trailingSign = true;
            ++i;
        }
        readBlank();
    } else {
        return std::nullopt;
    }
    if (i != s.size()) return std::nullopt;
    return p;
}

PictureKind pictureKind(std::string_view picture) {
    const auto p = Picture::parse(picture);
    return p ? p->kind : PictureKind::Invalid;
}

// ---------------------------------------------------------------------------
// Dates

std::string formatDate(Date date, std::string_view picture) {
    return formatDate(date, picture, *pictureLocale());
}

std::string formatDate(Date date, std::string_view picture, const PictureLocale& locale) {
    if (date == 0) return {};
    auto p = Picture::parse(picture);
    if (!p || p->kind != PictureKind::Dates) p = Picture::parse("@d3");
    const CivilDate c = civilFromDate(date);
    Fields f;
    f.year = c.year;
    f.month = c.month;
    f.day = c.day;
    f.weekday = weekdayOf(date);
    return formatPattern(tokenize(datePattern(*p, locale)), f, dateNames(*p, locale));
}

std::optional<Date> parseDate(std::string_view text, std::string_view picture, std::string* error) {
    return parseDate(text, picture, *pictureLocale(), error);
}

std::optional<Date> parseDate(std::string_view text, std::string_view picture, const PictureLocale& locale,
                              std::string* error) {
    const auto p = Picture::parse(picture);
    if (!p || p->kind != PictureKind::Dates) {
        setError(error, pictureText(picture) + " is not a date picture");
        return std::nullopt;
    }
    const std::string_view s = trim(text);
    if (s.empty()) return Date{0};
    const std::vector<Token> tokens = tokenize(datePattern(*p, locale));
    const bool hasDay = p->format >= 17 ? true : kDateForms[p->format - 1].hasDay;
    auto fail = [&](const std::string& reason) -> std::optional<Date> {
        setError(error, "Invalid date \"" + std::string(s) + "\": " + reason + " (expected " +
                            describePattern(tokens) + ")");
        return std::nullopt;
    };
    Fields f;
    f.day = hasDay ? 0 : 1;
    std::string reason;
    if (!parsePattern(s, tokens, dateNames(*p, locale), f, reason)) return fail(reason);
    if (f.yearDigits == 3) return fail("the year must have 2 or 4 digits");
    if (f.yearDigits <= 2) f.year = fullYear(f.year, locale);
    if (f.year < 1800 || f.year > 9999)
        return fail("the year " + std::to_string(f.year) + " is out of range");
    if (f.month < 1 || f.month > 12) return fail("there is no month " + std::to_string(f.month));
    if (f.day < 1 || f.day > daysInMonth(f.year, f.month))
        return fail("the month has no day " + std::to_string(f.day));
    const Date d = dateFromMDY(f.month, f.day, f.year);
    if (d < 1) return fail("the date is before the calendar starts");
    return d;
}

// ---------------------------------------------------------------------------
// Times

std::string formatTime(Time time, std::string_view picture) {
    return formatTime(time, picture, *pictureLocale());
}

std::string formatTime(Time time, std::string_view picture, const PictureLocale& locale) {
    if (time == 0) return {};
    auto p = Picture::parse(picture);
    if (!p || p->kind != PictureKind::Times) p = Picture::parse("@t1");
    const ClockTime c = clockFromTime(time);
    Fields f;
    f.hour = c.hour;
    f.minute = c.minute;
    f.second = c.second;
    return formatPattern(tokenize(timePattern(*p, locale)), f, timeNames(*p, locale));
}

std::optional<Time> parseTime(std::string_view text, std::string_view picture, std::string* error) {
    return parseTime(text, picture, *pictureLocale(), error);
}

std::optional<Time> parseTime(std::string_view text, std::string_view picture, const PictureLocale& locale,
                              std::string* error) {
    const auto p = Picture::parse(picture);
    if (!p || p->kind != PictureKind::Times) {
        setError(error, pictureText(picture) + " is not a time picture");
        return std::nullopt;
    }
    const std::string_view s = trim(text);
    if (s.empty()) return Time{0};
    const std::vector<Token> tokens = tokenize(timePattern(*p, locale));
    auto fail = [&](const std::string& reason) -> std::optional<Time> {
        setError(error, "Invalid time \"" + std::string(s) + "\": " + reason + " (expected " +
                            describePattern(tokens) + ")");
        return std::nullopt;
    };
    Fields f;
    std::string reason;
    if (!parsePattern(s, tokens, timeNames(*p, locale), f, reason)) return fail(reason);
    if (f.meridiem != 0) {
        if (f.hour > 12) return fail("the hour " + std::to_string(f.hour) + " does not go with AM/PM");
        if (f.hour == 12) f.hour = 0;
        if (f.meridiem == 2) f.hour += 12;
    }
    if (f.hour > 23) return fail("there is no hour " + std::to_string(f.hour));
    if (f.minute > 59) return fail("there is no minute " + std::to_string(f.minute));
    if (f.second > 59) return fail("there is no second " + std::to_string(f.second));
    return timeFromHMS(f.hour, f.minute, f.second);
}

// ---------------------------------------------------------------------------
// The user's date format setting

namespace {

// "@d6", "@n4b" or nothing (use "@d3") for a date format setting.
std::string userPicture(std::string_view dateFormat) {
    std::string_view s = trim(dateFormat);
    if (!s.empty() && s.front() == '@') s.remove_prefix(1);
    const std::string pic = "@" + std::string(s);
    const PictureKind kind = pictureKind(pic);
    return (kind == PictureKind::Dates || kind == PictureKind::Numbers) ? pic : std::string("@d3");
}

} // namespace

std::string formatUserDate(Date date, std::string_view dateFormat) {
    return formatUserDate(date, dateFormat, *pictureLocale());
}

std::string formatUserDate(Date date, std::string_view dateFormat, const PictureLocale& locale) {
    if (date == 0) return {};
    const std::string pic = userPicture(dateFormat);
    if (pictureKind(pic) == PictureKind::Numbers)
        return formatNumber(static_cast<long long>(yearOf(date)), pic);
    return formatDate(date, pic, locale);
}

std::optional<Date> parseUserDate(std::string_view text, std::string_view dateFormat, std::string* error) {
    return parseUserDate(text, dateFormat, *pictureLocale(), error);
}

std::optional<Date> parseUserDate(std::string_view text, std::string_view dateFormat,
                                  const PictureLocale& locale, std::string* error) {
    const std::string pic = userPicture(dateFormat);
    if (pictureKind(pic) == PictureKind::Dates) return parseDate(text, pic, locale, error);
    if (trim(text).empty()) return Date{0};
    std::string reason;
    const auto year = parseInteger(text, pic, &reason);
    if (!year || *year < 1801 || *year > 9999) {
        setError(error,
                 "Invalid year \"" + std::string(trim(text)) + "\": a year from 1801 to 9999 expected");
        return std::nullopt;
    }
    return dateFromMDY(1, 1, static_cast<int>(*year));
}

} // namespace qd
