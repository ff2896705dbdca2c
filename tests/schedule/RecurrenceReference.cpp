#include "RecurrenceReference.h"

#include "data/Clock.h"
#include "data/DayMath.h"
#include "data/Pictures.h"
#include "schedule/Recurrence.h"

#include <algorithm>
#include <limits>
#include <string>

namespace qdtest {

using namespace qd;
using daymath::civil;
using daymath::fromMDY;
using I64 = std::int64_t;

namespace {

constexpr I64 kDay = kTimeDay;

std::string clip(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

bool flagged(const ScheduleRecord& r, I64 d) {
    const std::uint8_t f[7] = {r.Sunday, r.Monday, r.Tuesday, r.Wednesday, r.Thursday, r.Friday, r.Saturday};
    return f[daymath::weekday(d)] != 0;
}

bool anyWeekday(const ScheduleRecord& r) {
    return r.Sunday || r.Monday || r.Tuesday || r.Wednesday || r.Thursday || r.Friday || r.Saturday;
}

bool anyOrdinal(const ScheduleRecord& r) {
    return r.Every1st || r.Every2nd || r.Every3rd || r.Every4th || r.EveryLast;
}

bool ordinalPasses(const ScheduleRecord& r, I64 d) {
    const int k = civil(d).day;
    if (k >= 1 && k <= 7 && r.Every1st) return true;
    if (k >= 8 && k <= 14 && r.Every2nd) return true;
    if (k >= 15 && k <= 21 && r.Every3rd) return true;
    if (k >= 22 && k <= 28 && r.Every4th) return true;
    return civil(d + 7).month != civil(d).month && r.EveryLast;
}

void dayOfWeekForward(const ScheduleRecord& r, I64& d) {
    if (!anyWeekday(r)) {
        ++d;
        return;
    }
    ++d;
    while (!flagged(r, d))
        ++d;
}

void dayOfWeekBackward(const ScheduleRecord& r, I64& d) {
    if (!anyWeekday(r)) {
        --d;
        return;
    }
    --d;
    while (!flagged(r, d))
        --d;
}

void normalise(I64& d, I64& t) {
    while (t > kDay) {
        t -= kDay;
        ++d;
    }
    while (t < 1 && d != 0) {
        t += kDay;
        --d;
    }
}

void store(ScheduleRecord& task, I64 d, I64 t) {
    task.Date = static_cast<Date>(
        std::clamp<I64>(d, std::numeric_limits<Date>::min(), std::numeric_limits<Date>::max()));
    task.Time = static_cast<Time>(
        std::clamp<I64>(t, std::numeric_limits<Time>::min(), std::numeric_limits<Time>::max()));
}

} // namespace

void NextOccurrenceReference(ScheduleRecord& task, Date refDate, Time refTime, UserInterface& ui) {
    const RuleType type = ruleTypeOf(task.ScheduleType);
    if (type == RuleType::Once) {
        task.Completed = 1;
        return;
    }
    if (type == RuleType::Custom && task.Every < 1) task.Every = 1;
    I64 D = task.Date;
    I64 T = task.Time;
    const I64 A = refDate;
    const I64 B = refTime;
    const I64 B1 = B + 6000;
    const I64 N = task.Every;
    auto notAfter = [&](I64 x) { return D < A || (D == A && T <= x); };

    switch (type) {
    case RuleType::Once:
        break;
    case RuleType::Monthly:
        if (isTwiceMonthly(task.MonthRepeat)) {
            const bool last = twiceMonthlyOnLast(task.MonthRepeat);
            while (notAfter(B1)) {
                I64 t = D - task.Offset;
                const auto c = civil(t);
                if (c.day == 15)
                    t = last ? fromMDY(c.month + 1, 1, c.year) - 1 : fromMDY(c.month + 1, 1, c.year);
                else if (c.day > 15)
                    t = fromMDY(c.month + 1, 15, c.year);
                else
                    t = fromMDY(c.month, 15, c.year);
                D = t + task.Offset;
            }
        } else {
            while (notAfter(B1)) {
                const auto c = civil(D);
                D = c.month == 12 ? fromMDY(1, c.day, c.year + 1) : fromMDY(c.month + 1, c.day, c.year);
            }
        }
        break;
    case RuleType::Yearly:
        while (notAfter(B1)) {
            const auto c = civil(D);
            D = fromMDY(c.month, c.day, c.year + 1);
        }
        break;
    case RuleType::DayOfWeek:
        while (notAfter(B1))
            dayOfWeekForward(task, D);
        break;
    case RuleType::DayOfMonth:
        if (task.LastDayofMonth) {
            const I64 M = daymath::lastOfMonth(std::max(D, A));
            const auto c = civil(M);
            D = M > A ? M : fromMDY(c.month + 2, 1, c.year) - 1;
        } else {
            for (;;) {
                dayOfWeekForward(task, D);
                if (D <= A) continue;
                if (!anyOrdinal(task)) break;
                if (ordinalPasses(task, D)) break;
            }
        }
        break;
    case RuleType::Custom:
        switch (repeatUnitOf(task.EveryType)) {
        case RepeatUnit::Minute:
        case RepeatUnit::Hour: {
            const bool minutes = repeatUnitOf(task.EveryType) == RepeatUnit::Minute;
            const I64 perDay = minutes ? 1440 : 24;
            const I64 unit = minutes ? kTimeMinute : kTimeHour;
            do {
                if (N < perDay) {
                    T += N * unit;
                } else {
                    D += N / perDay;
                    T += (N % perDay) * unit;
                }
                normalise(D, T);
            } while (notAfter(B));
            break;
        }
        case RepeatUnit::Day:
            while (notAfter(B1))
                D += N;
            break;
        case RepeatUnit::Week:
            while (notAfter(B1))
                D += 7 * N;
            break;
        case RepeatUnit::Month:
            while (notAfter(B1)) {
                const auto c = civil(D);
                D = fromMDY(c.month + N, c.day, c.year);
            }
            break;
        case RepeatUnit::Year:
            while (notAfter(B1)) {
                const auto c = civil(D);
                D = fromMDY(c.month, c.day, c.year + N);
            }
            break;
        case RepeatUnit::Invalid:
            ui.message("Invalid Units", "Custom repetition is not set up properly.  Select units.",
                       MessageIcon::Exclamation);
            if (D <= A) D = A + 1;
            break;
        }
        break;
    }
    store(task, D, T);
    if (task.Completed == 0 && task.ExpiryDate != 0 && task.ExpiryTime != 0 &&
        (task.Date > task.ExpiryDate || (task.Date == task.ExpiryDate && task.Time > task.ExpiryTime)))
        task.Completed = 1;
}

void PreviousOccurrenceReference(ScheduleRecord& task, Date refDate, Time refTime, UserInterface& ui,
                                 const Clock& clock) {
    const RuleType type = ruleTypeOf(task.ScheduleType);
    if (type == RuleType::Once) {
        task.Completed = 1;
        return;
    }
    if (type == RuleType::Custom && task.Every < 1) task.Every = 1;
    I64 D = task.Date;
    I64 T = task.Time;
    const I64 A = refDate;
    const I64 B = refTime;
    const I64 B2 = B - 6000;
    const I64 N = task.Every;
    auto notBefore = [&](I64 x) { return D > A || (D == A && T >= x); };

    I64 count = 0;
    bool reported = false;
    auto report = [&] {
        if (reported) return;
        reported = true;
        const Moment now = clock.now();
        ui.message("Debug Previous",
                   "Failed on " + clip(task.ScheduleType) + "(" + clip(task.EveryType) + "," +
                       formatDate(now.date, "@d17") + "," + formatTime(now.time, "@t7") + ")",
                   MessageIcon::Exclamation);
    };
    auto tick = [&] {
        if (++count > 100000) report();
    };

    switch (type) {
    case RuleType::Once:
        break;
    case RuleType::Monthly:
        if (isTwiceMonthly(task.MonthRepeat)) {
            const bool last = twiceMonthlyOnLast(task.MonthRepeat);
            while (notBefore(B2)) {
                I64 t = D - task.Offset;
                const auto c = civil(t);
                if (c.day == 15)
                    t = last ? fromMDY(c.month, 1, c.year) - 1 : fromMDY(c.month, 1, c.year);
                else if (c.day > 15)
                    t = fromMDY(c.month, 15, c.year);
                else
                    t = fromMDY(c.month - 1, 15, c.year);
                D = t + task.Offset;
                tick();
            }
        } else {
            while (notBefore(B2)) {
                const auto c = civil(D);
                D = fromMDY(c.month - 1, c.day, c.year);
                tick();
            }
        }
        break;
    case RuleType::Yearly:
        while (notBefore(B2)) {
            const auto c = civil(D);
            D = fromMDY(c.month, c.day, c.year - 1);
            tick();
        }
        break;
    case RuleType::DayOfWeek:
        while (notBefore(B2)) {
            dayOfWeekBackward(task, D);
            tick();
        }
        break;
    case RuleType::DayOfMonth:
        if (task.LastDayofMonth) D = std::min(D, A);
        for (;;) {
            dayOfWeekBackward(task, D);
            tick();
            if (D >= A) continue;
            if (!anyOrdinal(task)) break;
            if (ordinalPasses(task, D)) break;
        }
        break;
    case RuleType::Custom:
        switch (repeatUnitOf(task.EveryType)) {
        case RepeatUnit::Minute:
        case RepeatUnit::Hour: {
            const bool minutes = repeatUnitOf(task.EveryType) == RepeatUnit::Minute;
            const I64 perDay = minutes ? 1440 : 24;
            const I64 unit = minutes ? kTimeMinute : kTimeHour;
            while (notBefore(B)) {
                if (D == 0 && T < 1 && N < perDay && A < 0) {
                    // The date stays 0 and the time only falls: this never ends.
                    report();
                    return;
                }
                if (N < perDay) {
                    T -= N * unit;
                } else {
                    D -= N / perDay;
                    T -= (N % perDay) * unit;
                }
                normalise(D, T);
                tick();
            }
            break;
        }
        case RepeatUnit::Day:
            while (notBefore(B2)) {
                D -= N;
                tick();
            }
            break;
        case RepeatUnit::Week:
            while (notBefore(B2)) {
                D -= 7 * N;
                tick();
            }
            break;
        case RepeatUnit::Month:
            while (notBefore(B2)) {
                const auto c = civil(D);
                D = fromMDY(c.month - N, c.day, c.year);
                tick();
            }
            break;
        case RepeatUnit::Year:
            while (notBefore(B2)) {
                const auto c = civil(D);
                D = fromMDY(c.month, c.day, c.year - N);
                tick();
            }
            break;
        case RepeatUnit::Invalid:
            ui.message("Invalid Units", "Custom repetition is not set up properly.  Select units.",
                       MessageIcon::Exclamation);
            if (D >= A) D = A - 1;
            break;
        }
        break;
    }
    store(task, D, T);
}

} // namespace qdtest
