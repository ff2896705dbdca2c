#include "schedule/Recurrence.h"

#include "data/Clock.h"
#include "data/DayMath.h"
#include "data/Pictures.h"
#include "schedule/RuleParts.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <limits>
#include <numeric>

namespace qd {

using daymath::Civil;
using daymath::civil;
using daymath::Day;
using daymath::floorDiv;
using daymath::floorMod;
using daymath::fromMonthIndex;
using daymath::monthIndex;
using I64 = std::int64_t;

RuleType ruleTypeOf(std::string_view scheduleType) {
    const std::string_view s = trimRight(scheduleType);
    if (s == "Once") return RuleType::Once;
    if (s == "Day of Week") return RuleType::DayOfWeek;
    if (s == "Day of Month") return RuleType::DayOfMonth;
    if (s == "Monthly") return RuleType::Monthly;
    if (s == "Yearly") return RuleType::Yearly;
    return RuleType::Custom;
}

namespace {
char upper(char c) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}
char lower(char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}
} // namespace

bool isTwiceMonthly(std::string_view monthRepeat) {
    constexpr std::string_view kTwice = "TWICE";
    if (monthRepeat.size() < kTwice.size()) return false;
    for (std::size_t i = 0; i < kTwice.size(); ++i)
        if (upper(monthRepeat[i]) != kTwice[i]) return false;
    return true;
}

bool twiceMonthlyOnLast(std::string_view monthRepeat) {
    constexpr std::string_view kLast = "LAST";
    for (std::size_t i = 0; i + kLast.size() <= monthRepeat.size(); ++i) {
        std::size_t k = 0;
        while (k < kLast.size() && upper(monthRepeat[i + k]) == kLast[k])
            ++k;
        if (k == kLast.size()) return true;
    }
    return false;
}

RepeatUnit repeatUnitOf(std::string_view everyType) {
    if (everyType.size() < 3) return RepeatUnit::Invalid;
    const char key[4] = {lower(everyType[0]), lower(everyType[1]), lower(everyType[2]), 0};
    const std::string_view k(key, 3);
    if (k == "min") return RepeatUnit::Minute;
    if (k == "hou") return RepeatUnit::Hour;
    if (k == "day") return RepeatUnit::Day;
    if (k == "wee") return RepeatUnit::Week;
    if (k == "mon") return RepeatUnit::Month;
    if (k == "yea") return RepeatUnit::Year;
    return RepeatUnit::Invalid;
}

namespace {

constexpr I64 kDayUnits = kTimeDay;
constexpr I64 kMargin = kTimeMinute;
constexpr I64 kNever = std::numeric_limits<I64>::max();

// (d, t) is not yet after (a, x): the forward loop keeps stepping.
constexpr bool notAfter(I64 d, I64 t, I64 a, I64 x) {
    return d < a || (d == a && t <= x);
}
// (d, t) is not yet before (a, x): the backward loop keeps stepping.
constexpr bool notBefore(I64 d, I64 t, I64 a, I64 x) {
    return d > a || (d == a && t >= x);
}

// ---------------------------------------------------------------------------------
// Month-based rules ("Monthly", "Yearly", custom months and years): one step keeps the
// day of month and moves `months` months; a day the target month lacks carries into
// the month after it, and from then on the series keeps the carried day.

// First j >= 1 at which the month mi0 + j * months has fewer than `day` days, that is
// the first step that carries; kNever when the progression never meets such a month.
I64 firstCarryStep(I64 mi0, int day, I64 months) {
    if (day <= 28) return kNever;
    const I64 residue = floorMod(months, 12);
    const I64 period = residue == 0 ? 1 : 12 / std::gcd(residue, I64{12});
    if (day >= 30) {
        // Months shorter than 30 or 31 days are fixed by the month of the year.
        for (I64 j = 1; j <= period; ++j) {
            const int m = daymath::monthOfIndex(mi0 + j * months);
            const int len = m == 2 ? 28 : daymath::daysInMonth(2001, m);
            if (len < day) return j;
        }
        return kNever;
    }
    // Day 29 carries only in February of a common year. Februaries come back every
    // `period` steps; their years repeat modulo 400 within 400 visits.
    I64 first = 0;
    for (I64 j = 1; j <= period && first == 0; ++j)
        if (daymath::monthOfIndex(mi0 + j * months) == 2) first = j;
    if (first == 0) return kNever;
    for (I64 i = 0; i <= 400; ++i) {
        const I64 j = first + i * period;
        if (!daymath::isLeapYear(daymath::yearOfIndex(mi0 + j * months))) return j;
    }
    return kNever;
}

void forwardMonths(I64& d, I64 t, I64 a, I64 x, I64 months) {
    const I64 targetMonth = monthIndex(civil(a));
    while (notAfter(d, t, a, x)) {
        const Civil c = civil(d);
        const I64 mi0 = monthIndex(c);
        // Largest whole number of steps that still lands before refDate's month.
        const I64 n0 = floorDiv(targetMonth - 1 - mi0, months);
        if (n0 >= 1) {
            const I64 n = std::min(n0, firstCarryStep(mi0, c.day, months) - 1);
            if (n >= 1) {
                d = fromMonthIndex(mi0 + n * months, c.day);
                continue;
            }
        }
        d = fromMonthIndex(mi0 + months, c.day);
    }
}

I64 backwardMonths(I64& d, I64 t, I64 a, I64 x, I64 months) {
    const I64 targetMonth = monthIndex(civil(a));
    I64 steps = 0;
    while (notBefore(d, t, a, x)) {
        const Civil c = civil(d);
        const I64 mi0 = monthIndex(c);
        // Largest whole number of steps that still lands after refDate's month.
        const I64 n0 = floorDiv(mi0 - targetMonth - 1, months);
        if (n0 >= 1) {
            const I64 n = std::min(n0, firstCarryStep(mi0, c.day, -months) - 1);
            if (n >= 1) {
                d = fromMonthIndex(mi0 - n * months, c.day);
                steps += n;
                continue;
            }
        }
        d = fromMonthIndex(mi0 - months, c.day);
        ++steps;
    }
    return steps;
}

// ---------------------------------------------------------------------------------
// Twice-monthly rules work on t = D - offset: the 1st and 15th of every month, or the
// 15th and the last day. Once t sits on a 15th, every later (or earlier) 15th is also
// in the series, two steps per month.

I64 twiceForwardStep(I64 tt, bool onLast) {
    const Civil c = civil(tt);
    const I64 mi = monthIndex(c);
    if (c.day == 15) return onLast ? fromMonthIndex(mi + 1, 1) - 1 : fromMonthIndex(mi + 1, 1);
    if (c.day > 15) return fromMonthIndex(mi + 1, 15);
    return fromMonthIndex(mi, 15);
}

I64 twiceBackwardStep(I64 tt, bool onLast) {
    const Civil c = civil(tt);
    const I64 mi = monthIndex(c);
    if (c.day == 15) return onLast ? fromMonthIndex(mi, 1) - 1 : fromMonthIndex(mi, 1);
    if (c.day > 15) return fromMonthIndex(mi, 15);
    return fromMonthIndex(mi - 1, 15);
}

void forwardTwice(I64& d, I64 t, I64 a, I64 x, I64 offset, bool onLast) {
    const I64 targetMonth = monthIndex(civil(a - offset)) - 1;
    while (notAfter(d, t, a, x)) {
        const Civil c = civil(d - offset);
        if (c.day == 15 && targetMonth > monthIndex(c)) {
            d = fromMonthIndex(targetMonth, 15) + offset;
            continue;
        }
        d = twiceForwardStep(d - offset, onLast) + offset;
    }
}

I64 backwardTwice(I64& d, I64 t, I64 a, I64 x, I64 offset, bool onLast) {
    const I64 targetMonth = monthIndex(civil(a - offset)) + 1;
    I64 steps = 0;
    while (notBefore(d, t, a, x)) {
        const Civil c = civil(d - offset);
        const I64 mi = monthIndex(c);
        if (c.day == 15 && targetMonth < mi) {
            d = fromMonthIndex(targetMonth, 15) + offset;
            steps += 2 * (mi - targetMonth);
            continue;
        }
        d = twiceBackwardStep(d - offset, onLast) + offset;
        ++steps;
    }
    return steps;
}

// ---------------------------------------------------------------------------------
// Weekday and ordinal-week rules.

// Number of days in [lo, hi] whose weekday is flagged (every day when none is).
I64 flaggedDaysBetween(I64 lo, I64 hi, unsigned weekdays) {
    if (hi < lo) return 0;
    const I64 n = hi - lo + 1;
    if (weekdays == 0) return n;
    const I64 perWeek = std::popcount(weekdays);
    I64 count = (n / 7) * perWeek;
    int w = daymath::weekday(lo);
    for (I64 i = 0; i < n % 7; ++i, w = (w + 1) % 7)
        if (weekdays & (1u << w)) ++count;
    return count;
}

// First day >= s whose weekday is flagged (s itself when none is).
I64 nextFlaggedDay(I64 s, unsigned weekdays) {
    if (weekdays == 0) return s;
    int w = daymath::weekday(s);
    while (!(weekdays & (1u << w))) {
        ++s;
        w = (w + 1) % 7;
    }
    return s;
}

// Last day <= e whose weekday is flagged (e itself when none is).
I64 previousFlaggedDay(I64 e, unsigned weekdays) {
    if (weekdays == 0) return e;
    int w = daymath::weekday(e);
    while (!(weekdays & (1u << w))) {
        --e;
        w = (w + 6) % 7;
    }
    return e;
}

bool ordinalMatches(int dayOfMonth, int monthLength, unsigned ordinals) {
    if (ordinals == 0) return true;
    const int week = (dayOfMonth - 1) / 7;
    if (week < 4 && (ordinals & (1u << week))) return true;
    return (ordinals & kOrdinalLast) && dayOfMonth + 7 > monthLength;
}

// First day >= s with a flagged weekday in a flagged week of its month. Every month
// holds every weekday once in each week band and once in its last seven days, so the
// scan ends within two months.
I64 firstMonthDayFrom(I64 s, unsigned weekdays, unsigned ordinals) {
    Civil c = civil(s);
    int len = daymath::daysInMonth(c.year, c.month);
    int dom = c.day;
    int w = daymath::weekday(s);
    for (I64 d = s;; ++d) {
        if ((weekdays == 0 || (weekdays & (1u << w))) && ordinalMatches(dom, len, ordinals)) return d;
        w = (w + 1) % 7;
        if (++dom > len) {
            dom = 1;
            if (++c.month > 12) {
                c.month = 1;
                ++c.year;
            }
            len = daymath::daysInMonth(c.year, c.month);
        }
    }
}

I64 lastMonthDayUpTo(I64 e, unsigned weekdays, unsigned ordinals) {
    Civil c = civil(e);
    int len = daymath::daysInMonth(c.year, c.month);
    int dom = c.day;
    int w = daymath::weekday(e);
    for (I64 d = e;; --d) {
        if ((weekdays == 0 || (weekdays & (1u << w))) && ordinalMatches(dom, len, ordinals)) return d;
        w = (w + 6) % 7;
        if (--dom < 1) {
            if (--c.month < 1) {
                c.month = 12;
                --c.year;
            }
            len = daymath::daysInMonth(c.year, c.month);
            dom = len;
        }
    }
}

// ---------------------------------------------------------------------------------
// Custom minute and hour rules. A step adds q whole days and r time units (q and r
// are the interval split at one day), then normalises the time into the day:
//   while T > one day: T -= one day, D += 1;
//   while T < 1 and D != 0: T += one day, D -= 1.
// From a time inside the day the pair moves exactly like the absolute count
// D * day + T - 1. The only other shape is "stuck": D = 0 with T < 1, which the
// second loop cannot lift.

struct Interval {
    I64 q;    // whole days
    I64 r;    // remaining time units (< one day)
    I64 step; // q * day + r
};

Interval intervalOf(I64 every, RepeatUnit unit) {
    const I64 perDay = unit == RepeatUnit::Minute ? 1440 : 24;
    const I64 unitTime = unit == RepeatUnit::Minute ? kTimeMinute : kTimeHour;
    const I64 q = every / perDay;
    const I64 r = (every % perDay) * unitTime;
    return {q, r, q * kDayUnits + r};
}

void normaliseTime(I64& d, I64& t) {
    if (t > kDayUnits) {
        const I64 k = (t - 1) / kDayUnits;
        t -= k * kDayUnits;
        d += k;
    }
    if (t < 1 && d != 0) {
        I64 k = (1 - t + kDayUnits - 1) / kDayUnits;
        if (d > 0) k = std::min(k, d);
        t += k * kDayUnits;
        d -= k;
    }
}

constexpr bool inDay(I64 t) {
    return t >= 1 && t <= kDayUnits;
}

void forwardClock(I64& d, I64& t, I64 a, I64 b, const Interval& iv) {
    // At least one step, then until strictly after (a, b).
    d += iv.q;
    t += iv.r;
    normaliseTime(d, t);
    while (notAfter(d, t, a, b)) {
        if (inDay(t)) {
            const I64 m0 = d * kDayUnits + t - 1;
            const I64 threshold = a * kDayUnits + std::clamp<I64>(b, 0, kDayUnits);
            const I64 n = floorDiv(threshold - m0 + iv.step - 1, iv.step);
            const I64 m = m0 + n * iv.step;
            d = floorDiv(m, kDayUnits);
            t = floorMod(m, kDayUnits) + 1;
            return;
        }
        if (d == 0 && t < 1 && iv.q == 0) {
            // Stuck on day 0: the time rises by r per step until it reaches the day.
            I64 n = (1 - t + iv.r - 1) / iv.r;
            if (a == 0) n = std::min(n, floorDiv(b - t, iv.r) + 1);
            t += n * iv.r;
            continue;
        }
        d += iv.q;
        t += iv.r;
        normaliseTime(d, t);
    }
}

// Returns the number of steps, or -1 when the search would never end.
I64 backwardClock(I64& d, I64& t, I64 a, I64 b, const Interval& iv) {
    I64 steps = 0;
    while (notBefore(d, t, a, b)) {
        if (inDay(t)) {
            const I64 m0 = d * kDayUnits + t - 1;
            const I64 threshold = a * kDayUnits + std::clamp<I64>(b - 1, 0, kDayUnits);
            const I64 normal = floorDiv(m0 - threshold, iv.step) + 1;
            auto land = [&](I64 n) {
                const I64 m = m0 - n * iv.step;
                d = floorDiv(m, kDayUnits);
                t = floorMod(m, kDayUnits) + 1;
                return steps + n;
            };
            if (m0 < 0) return land(normal);
            // Step at which the count drops below 0; it is stuck on day 0 when that
            // step starts on day q (the time then falls below midnight of day 0).
            const I64 cross = m0 / iv.step + 1;
            if (normal < cross) return land(normal);
            const I64 before = m0 - (cross - 1) * iv.step; // below iv.step by construction
            if (before < iv.q * kDayUnits) return land(normal);
            d = 0;
            t = before - iv.step + 1;
            steps += cross;
            if (!notBefore(d, t, a, b)) return steps;
            if (iv.q > 0) {
                // The next step leaves day 0 for good and normalises again.
                const I64 n = std::max(cross + 1, normal);
                steps -= cross;
                return land(n);
            }
            continue;
        }
        if (d == 0 && t < 1 && iv.q == 0) {
            // Stuck on day 0: the time falls by r per step and the date stays 0.
            if (a < 0) return -1;
            const I64 n = floorDiv(t - b, iv.r) + 1; // here a == 0 and t >= b
            t -= n * iv.r;
            return steps + n;
        }
        d -= iv.q;
        t -= iv.r;
        normaliseTime(d, t);
        ++steps;
    }
    return steps;
}

// ---------------------------------------------------------------------------------

Date toDate(I64 v) {
    return static_cast<Date>(
        std::clamp<I64>(v, std::numeric_limits<Date>::min(), std::numeric_limits<Date>::max()));
}
Time toTime(I64 v) {
    return static_cast<Time>(
        std::clamp<I64>(v, std::numeric_limits<Time>::min(), std::numeric_limits<Time>::max()));
}

void applyExpiry(ScheduleRecord& task) {
    if (task.Completed != 0 || task.ExpiryDate == 0 || task.ExpiryTime == 0) return;
    if (task.Date > task.ExpiryDate || (task.Date == task.ExpiryDate && task.Time > task.ExpiryTime))
        task.Completed = 1;
}

// "Failed on TYPE(UNIT,DATE,TIME)" with the clock's date and time in the user's
// short date and time pictures.
std::string debugPreviousText(const ScheduleRecord& task, const Clock& clock) {
    const Moment now = clock.now();
    return "Failed on " + std::string(trimRight(task.ScheduleType)) + "(" +
           std::string(trimRight(task.EveryType)) + "," + formatDate(now.date, "@d17") + "," +
           formatTime(now.time, "@t7") + ")";
}

} // namespace

// ---------------------------------------------------------------------------------

void NextOccurrence(ScheduleRecord& task, Date refDate, Time refTime, UserInterface& ui) {
    const RuleParts rule = RuleParts::of(task);
    if (rule.type == RuleType::Once) {
        task.Completed = 1;
        return;
    }
    if (rule.type == RuleType::Custom && task.Every < 1) task.Every = 1;

    I64 d = task.Date;
    I64 t = task.Time;
    const I64 a = refDate;
    const I64 margin = I64{refTime} + kMargin;
    const I64 every = task.Every;

    switch (rule.type) {
    case RuleType::Once:
        break;
    case RuleType::Monthly:
        if (rule.twice)
            forwardTwice(d, t, a, margin, rule.offset, rule.twiceOnLast);
        else
            forwardMonths(d, t, a, margin, 1);
        break;
    case RuleType::Yearly:
        forwardMonths(d, t, a, margin, 12);
        break;
    case RuleType::DayOfWeek:
        if (notAfter(d, t, a, margin))
            d = nextFlaggedDay(std::max(d + 1, t > margin ? a : a + 1), rule.weekdays);
        break;
    case RuleType::DayOfMonth:
        if (rule.monthEnd) {
            const I64 m = daymath::lastOfMonth(std::max(d, a));
            d = m > a ? m : daymath::lastOfMonth(m + 1);
        } else {
            d = firstMonthDayFrom(std::max(d, a) + 1, rule.weekdays, rule.ordinals);
        }
        break;
    case RuleType::Custom:
        switch (rule.unit) {
        case RepeatUnit::Minute:
        case RepeatUnit::Hour:
            forwardClock(d, t, a, refTime, intervalOf(every, rule.unit));
            break;
        case RepeatUnit::Day:
        case RepeatUnit::Week: {
            const I64 step = rule.unit == RepeatUnit::Day ? every : 7 * every;
            if (notAfter(d, t, a, margin)) {
                const I64 first = t > margin ? a : a + 1; // first date that counts as after
                d += floorDiv(first - d + step - 1, step) * step;
            }
            break;
        }
        case RepeatUnit::Month:
            forwardMonths(d, t, a, margin, every);
            break;
        case RepeatUnit::Year:
            forwardMonths(d, t, a, margin, 12 * every);
            break;
        case RepeatUnit::Invalid:
            ui.message(kInvalidUnitsTitle, kInvalidUnitsText, MessageIcon::Exclamation);
            if (d <= a) d = a + 1;
            break;
        }
        break;
    }
    task.Date = toDate(d);
    task.Time = toTime(t);
    applyExpiry(task);
}

void PreviousOccurrence(ScheduleRecord& task, Date refDate, Time refTime, UserInterface& ui,
                        const Clock& clock) {
    const RuleParts rule = RuleParts::of(task);
    if (rule.type == RuleType::Once) {
        task.Completed = 1;
        return;
    }
    if (rule.type == RuleType::Custom && task.Every < 1) task.Every = 1;

    I64 d = task.Date;
    I64 t = task.Time;
    const I64 a = refDate;
    const I64 margin = I64{refTime} - kMargin;
    const I64 every = task.Every;
    I64 steps = 0;

    switch (rule.type) {
    case RuleType::Once:
        break;
    case RuleType::Monthly:
        steps = rule.twice ? backwardTwice(d, t, a, margin, rule.offset, rule.twiceOnLast)
                           : backwardMonths(d, t, a, margin, 1);
        break;
    case RuleType::Yearly:
        steps = backwardMonths(d, t, a, margin, 12);
        break;
    case RuleType::DayOfWeek:
        if (notBefore(d, t, a, margin)) {
            const I64 to = previousFlaggedDay(std::min(d - 1, t < margin ? a : a - 1), rule.weekdays);
            steps = flaggedDaysBetween(to, d - 1, rule.weekdays);
            d = to;
        }
        break;
    case RuleType::DayOfMonth: {
        if (rule.monthEnd) d = std::min(d, a);
        const I64 to = lastMonthDayUpTo(std::min(d, a) - 1, rule.weekdays, rule.ordinals);
        steps = flaggedDaysBetween(to, d - 1, rule.weekdays);
        d = to;
        break;
    }
    case RuleType::Custom:
        switch (rule.unit) {
        case RepeatUnit::Minute:
        case RepeatUnit::Hour:
            steps = backwardClock(d, t, a, refTime, intervalOf(every, rule.unit));
            break;
        case RepeatUnit::Day:
        case RepeatUnit::Week: {
            const I64 step = rule.unit == RepeatUnit::Day ? every : 7 * every;
            if (notBefore(d, t, a, margin)) {
                const I64 last = t < margin ? a : a - 1; // last date that counts as before
                steps = floorDiv(d - last + step - 1, step);
                d -= steps * step;
            }
            break;
        }
        case RepeatUnit::Month:
            steps = backwardMonths(d, t, a, margin, every);
            break;
        case RepeatUnit::Year:
            steps = backwardMonths(d, t, a, margin, 12 * every);
            break;
        case RepeatUnit::Invalid:
            ui.message(kInvalidUnitsTitle, kInvalidUnitsText, MessageIcon::Exclamation);
            if (d >= a) d = a - 1;
            break;
        }
        break;
    }
    if (steps < 0 || steps > kPreviousStepLimit) {
        ui.message(kDebugPreviousTitle, debugPreviousText(task, clock), MessageIcon::Exclamation);
        if (steps < 0) return; // never ends: keep the occurrence the task had
    }
    task.Date = toDate(d);
    task.Time = toTime(t);
}

bool DateMatchesSchedule(const ScheduleRecord& task, Date date) {
    const I64 d = date != 0 ? date : task.Date;
    const RuleParts rule = RuleParts::of(task);
    switch (rule.type) {
    case RuleType::Monthly: {
        if (!rule.twice) return true;
        const I64 tt = d - rule.offset;
        const Civil c = civil(tt);
        if (c.day == 15) return true;
        return rule.twiceOnLast ? tt == daymath::lastOfMonth(tt) : c.day == 1;
    }
    case RuleType::DayOfWeek:
        return (rule.weekdays & (1u << daymath::weekday(d))) != 0;
    case RuleType::DayOfMonth: {
        if (rule.monthEnd) return d == daymath::lastOfMonth(d);
        if (!(rule.weekdays & (1u << daymath::weekday(d))) || rule.ordinals == 0) return false;
        const Civil c = civil(d);
        return ordinalMatches(c.day, daymath::daysInMonth(c.year, c.month), rule.ordinals);
    }
    case RuleType::Once:
    case RuleType::Yearly:
    case RuleType::Custom:
        return true;
    }
    return true;
}

} // namespace qd
