// The engine against the literal step-by-step definition on randomised rules and
// reference moments: month ends, leap days, negative offsets, times near and past
// midnight, unset dates and nonsense fields.
#include "RecurrenceReference.h"

#include "data/Calendar.h"
#include "data/Clock.h"
#include "schedule/Recurrence.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace qd;
using qdtest::NextOccurrenceReference;
using qdtest::PreviousOccurrenceReference;

namespace {

struct Kind {
    const char* name;
    const char* type;
    const char* unit;
};

const Kind kKinds[] = {
    {"Monthly", "Monthly", ""},       {"TwiceFirst", "Monthly", ""},      {"TwiceLast", "Monthly", ""},
    {"Yearly", "Yearly", ""},         {"DayOfWeek", "Day of Week", ""},   {"DayOfMonth", "Day of Month", ""},
    {"MonthEnd", "Day of Month", ""}, {"Minutes", "Custom", "minute(s)"}, {"Hours", "Custom", "hour(s)"},
    {"Days", "Custom", "day(s)"},     {"Weeks", "Custom", "week(s)"},     {"Months", "Custom", "month(s)"},
    {"Years", "Custom", "year(s)"},   {"BadUnit", "", "fortnights"},      {"Once", "Once", ""},
};

class Gen {
public:
    explicit Gen(std::uint64_t seed) : rng_(seed) {}
    long long in(long long lo, long long hi) {
        return std::uniform_int_distribution<long long>(lo, hi)(rng_);
    }
    bool chance(int percent) { return in(1, 100) <= percent; }
    template <class T, std::size_t N> const T& pick(const T (&a)[N]) { return a[in(0, N - 1)]; }

    // A date that likes month ends, leap days, year ends and the unset date.
    Date date() {
        const int r = static_cast<int>(in(0, 9));
        const int year = static_cast<int>(in(1990, 2040));
        if (r == 0) return 0;
        if (r == 1) return dateFromMDY(2, 29, year - year % 4);
        if (r == 2)
            return dateFromMDY(static_cast<int>(in(1, 12)) + 1, 1, year) - static_cast<Date>(in(0, 3));
        if (r == 3) return dateFromMDY(12, static_cast<int>(in(14, 31)), year);
        if (r == 4) return static_cast<Date>(in(-10, 10));
        return dateFromMDY(1, 1, year) + static_cast<Date>(in(0, 365));
    }
    // A time: mostly inside the day, often at its edges, sometimes unset, negative or
    // several days long.
    Time time() {
        const int r = static_cast<int>(in(0, 9));
        if (r == 0) return 0;
        if (r == 1) return static_cast<Time>(in(1, 3 * kTimeMinute));
        if (r == 2) return static_cast<Time>(kTimeDay - in(0, 3 * kTimeMinute));
        if (r == 3) return static_cast<Time>(in(kTimeDay, 3 * kTimeDay));
        if (r == 4) return static_cast<Time>(in(-2 * kTimeDay, 0));
        if (r == 5) return static_cast<Time>(1 + kTimeMinute * in(0, 1439));
        return static_cast<Time>(in(1, kTimeDay));
    }

private:
    std::mt19937_64 rng_;
};

ScheduleRecord randomTask(Gen& g, const Kind& kind) {
    ScheduleRecord r;
    const std::string name = kind.name;
    r.ScheduleType = kind.type;
    if (name == "BadUnit") {
        const char* types[] = {"", "Custom", "Every", "something"};
        r.ScheduleType = g.pick(types);
    }
    r.EveryType = kind.unit;
    if (name == "BadUnit") {
        const char* units[] = {"", "fortnights", "mi", " min", "secs"};
        r.EveryType = g.pick(units);
    }
    if (name == "Minutes" && g.chance(20)) r.EveryType = "MINUTES";
    if (name == "TwiceFirst") r.MonthRepeat = g.chance(80) ? "Twice - 1st, 15th" : "twice a month";
    if (name == "TwiceLast") r.MonthRepeat = g.chance(80) ? "Twice - 15th, Last" : "TWICE, then last";
    if (name == "Monthly" && g.chance(30)) r.MonthRepeat = "Once";
    r.Offset = static_cast<std::int32_t>(g.chance(10) ? g.in(-400, 400) : g.in(-20, 20));
    if (name == "Minutes")
        r.Every = static_cast<std::int32_t>(g.chance(25) ? g.in(1380, 4400) : g.in(-2, 200));
    else if (name == "Hours")
        r.Every = static_cast<std::int32_t>(g.chance(25) ? g.in(20, 80) : g.in(-2, 30));
    else if (name == "Years")
        r.Every = static_cast<std::int32_t>(g.chance(10) ? g.in(90, 1200) : g.in(-1, 9));
    else
        r.Every = static_cast<std::int32_t>(g.in(-2, 40));
    const int weekdayChance = g.chance(15) ? 0 : static_cast<int>(g.in(10, 60));
    r.Sunday = g.chance(weekdayChance);
    r.Monday = g.chance(weekdayChance);
    r.Tuesday = g.chance(weekdayChance);
    r.Wednesday = g.chance(weekdayChance);
    r.Thursday = g.chance(weekdayChance);
    r.Friday = g.chance(weekdayChance);
    r.Saturday = g.chance(weekdayChance);
    const int ordinalChance = g.chance(20) ? 0 : static_cast<int>(g.in(10, 50));
    r.Every1st = g.chance(ordinalChance);
    r.Every2nd = g.chance(ordinalChance);
    r.Every3rd = g.chance(ordinalChance);
    r.Every4th = g.chance(ordinalChance);
    r.EveryLast = g.chance(ordinalChance);
    r.LastDayofMonth = name == "MonthEnd" ? 1 : 0;
    r.Date = g.date();
    r.Time = g.time();
    if (g.chance(20)) {
        r.ExpiryDate = r.Date + static_cast<Date>(g.in(-30, 400));
        r.ExpiryTime = g.chance(20) ? 0 : g.time();
    }
    r.Completed = g.chance(5);
    return r;
}

// How far the reference moment lies from the occurrence, chosen so that the literal
// search stays within a few thousand steps.
long long spanDays(Gen& g, const ScheduleRecord& r, const Kind& kind) {
    const std::string name = kind.name;
    const long long every = r.Every < 1 ? 1 : r.Every;
    if (name == "Minutes") return g.in(0, std::max<long long>(1, 3000 * every / 1440));
    if (name == "Hours") return g.in(0, std::max<long long>(1, 3000 * every / 24));
    if (name == "Years") return g.in(0, 40 * 365);
    if (name == "Days" || name == "Weeks" || name == "Months") return g.in(0, 2000);
    return g.in(0, g.chance(10) ? 20000 : 1500);
}

std::string describe(const ScheduleRecord& r, Date a, Time b) {
    return "type='" + r.ScheduleType + "' unit='" + r.EveryType + "' every=" + std::to_string(r.Every) +
           " repeat='" + r.MonthRepeat + "' offset=" + std::to_string(r.Offset) +
           " date=" + std::to_string(r.Date) + " time=" + std::to_string(r.Time) +
           " ref=" + std::to_string(a) + "," + std::to_string(b) + " flags=" + std::to_string(r.Sunday) +
           std::to_string(r.Monday) + std::to_string(r.Tuesday) + std::to_string(r.Wednesday) +
           std::to_string(r.Thursday) + std::to_string(r.Friday) + std::to_string(r.Saturday) + "/" +
           std::to_string(r.Every1st) + std::to_string(r.Every2nd) + std::to_string(r.Every3rd) +
           std::to_string(r.Every4th) + std::to_string(r.EveryLast) +
           " expiry=" + std::to_string(r.ExpiryDate) + "," + std::to_string(r.ExpiryTime);
}

std::vector<std::string> texts(const ScriptedUserInterface& ui) {
    std::vector<std::string> out;
    for (const auto& s : ui.shown)
        out.push_back(s.title + "|" + s.text);
    return out;
}

// Reference times often sit exactly on the margins around the task's own time.
Time referenceTime(Gen& g, const ScheduleRecord& r) {
    const int c = static_cast<int>(g.in(0, 7));
    if (c <= 1) {
        const Time edges[] = {-kTimeMinute - 1, -kTimeMinute, -kTimeMinute + 1, -1, 0, 1,
                              kTimeMinute - 1,  kTimeMinute,  kTimeMinute + 1};
        return r.Time + g.pick(edges);
    }
    if (c == 2) return r.Time + static_cast<Time>(g.in(-kTimeMinute - 2, kTimeMinute + 2));
    if (c == 3) return 0;
    return g.time();
}

long long signedSpan(Gen& g, const ScheduleRecord& r, const Kind& kind) {
    if (g.chance(10)) return g.in(-1, 1);
    if (g.chance(15)) return -g.in(0, 60);
    return spanDays(g, r, kind);
}

class RecurrenceOracle : public ::testing::TestWithParam<Kind> {
protected:
    ManualClock clock_{Moment{dateFromMDY(3, 4, 2026), timeFromHMS(10, 20, 30)}};
};

constexpr int kCasesPerKind = 6000;

TEST_P(RecurrenceOracle, ForwardMatchesStepByStep) {
    const Kind kind = GetParam();
    Gen g(0x5eed0000u + static_cast<unsigned>(std::string(kind.name).size()) * 977u);
    for (int i = 0; i < kCasesPerKind; ++i) {
        const ScheduleRecord start = randomTask(g, kind);
        const long long span = signedSpan(g, start, kind);
        const Date a = g.chance(5) ? static_cast<Date>(g.in(-6, 6)) : static_cast<Date>(start.Date + span);
        const Time b = referenceTime(g, start);
        ScheduleRecord fast = start, slow = start;
        ScriptedUserInterface uiFast, uiSlow;
        NextOccurrence(fast, a, b, uiFast);
        NextOccurrenceReference(slow, a, b, uiSlow);
        ASSERT_EQ(fast, slow) << describe(start, a, b) << " -> fast " << fast.Date << "," << fast.Time
                              << " reference " << slow.Date << "," << slow.Time;
        ASSERT_EQ(texts(uiFast), texts(uiSlow)) << describe(start, a, b);
    }
}

TEST_P(RecurrenceOracle, BackwardMatchesStepByStep) {
    const Kind kind = GetParam();
    Gen g(0xbacc0000u + static_cast<unsigned>(std::string(kind.name).size()) * 131u);
    for (int i = 0; i < kCasesPerKind; ++i) {
        const ScheduleRecord start = randomTask(g, kind);
        const long long span = signedSpan(g, start, kind);
        // A reference near day 0 far below the occurrence would cost the literal search
        // of a clock rule millions of steps; the near-zero test covers those rules.
        const bool clockRule = std::string(kind.unit) == "minute(s)" || std::string(kind.unit) == "hour(s)";
        const Date a =
            g.chance(5) && !clockRule ? static_cast<Date>(g.in(-6, 6)) : static_cast<Date>(start.Date - span);
        const Time b = referenceTime(g, start);
        ScheduleRecord fast = start, slow = start;
        ScriptedUserInterface uiFast, uiSlow;
        PreviousOccurrence(fast, a, b, uiFast, clock_);
        PreviousOccurrenceReference(slow, a, b, uiSlow, clock_);
        ASSERT_EQ(fast, slow) << describe(start, a, b) << " -> fast " << fast.Date << "," << fast.Time
                              << " reference " << slow.Date << "," << slow.Time;
        ASSERT_EQ(texts(uiFast), texts(uiSlow)) << describe(start, a, b);
    }
}

// Walking a series forward the way the future-occurrence listing does (each call from
// the last occurrence's time + 1) gives the same series as the literal rule.
TEST_P(RecurrenceOracle, SeriesWalkMatchesStepByStep) {
    const Kind kind = GetParam();
    Gen g(0x5e71e5u + static_cast<unsigned>(std::string(kind.name).size()));
    for (int i = 0; i < 200; ++i) {
        ScheduleRecord fast = randomTask(g, kind);
        fast.Completed = 0;
        fast.ExpiryDate = 0;
        ScheduleRecord slow = fast;
        ScriptedUserInterface ui;
        for (int step = 0; step < 40; ++step) {
            const Date a = fast.Date;
            const Time b = fast.Time + 1;
            NextOccurrence(fast, a, b, ui);
            NextOccurrenceReference(slow, a, b, ui);
            ASSERT_EQ(fast, slow) << describe(fast, a, b) << " step " << step;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllRules, RecurrenceOracle, ::testing::ValuesIn(kKinds),
                         [](const auto& p) { return std::string(p.param.name); });

// Minute and hour rules around day 0, where the time can get stuck below midnight
// because the date no longer moves.
TEST(RecurrenceOracleNearZero, ClockRulesAroundTheUnsetDate) {
    ManualClock clock(Moment{dateFromMDY(5, 6, 2026), timeFromHMS(7, 8, 9)});
    Gen g(42);
    for (int i = 0; i < 20000; ++i) {
        ScheduleRecord start;
        start.ScheduleType = "Custom";
        const bool minutes = g.chance(50);
        start.EveryType = minutes ? "minute(s)" : "hour(s)";
        start.Every = static_cast<std::int32_t>(minutes ? (g.chance(20) ? g.in(1400, 3000) : g.in(1, 400))
                                                        : (g.chance(20) ? g.in(20, 60) : g.in(1, 12)));
        start.Date = static_cast<Date>(g.in(-3, 3));
        start.Time = static_cast<Time>(g.in(-3 * kTimeDay, 3 * kTimeDay));
        const Date a = static_cast<Date>(g.in(-3, 3));
        const Time b =
            static_cast<Time>(g.chance(50) ? g.in(-3 * kTimeDay, 3 * kTimeDay) : g.in(0, kTimeDay));
        ScheduleRecord fast = start, slow = start;
        ScriptedUserInterface uiFast, uiSlow;
        if (g.chance(50)) {
            NextOccurrence(fast, a, b, uiFast);
            NextOccurrenceReference(slow, a, b, uiSlow);
        } else {
            PreviousOccurrence(fast, a, b, uiFast, clock);
            PreviousOccurrenceReference(slow, a, b, uiSlow, clock);
        }
        ASSERT_EQ(fast, slow) << describe(start, a, b) << " -> fast " << fast.Date << "," << fast.Time
                              << " reference " << slow.Date << "," << slow.Time;
        ASSERT_EQ(texts(uiFast), texts(uiSlow)) << describe(start, a, b);
    }
}

// Searches of more than 100,000 steps: the message is shown and the result is exact.
TEST(RecurrenceOracleLong, LongBackwardSearchesReportAndStillAgree) {
    ManualClock clock(Moment{dateFromMDY(5, 6, 2026), timeFromHMS(7, 8, 9)});
    struct Case {
        const char* type;
        const char* unit;
        std::int32_t every;
        Date date;
        Time time;
        Date refDate;
        Time refTime;
    };
    const Case cases[] = {
        {"Custom", "minute(s)", 1, dateFromMDY(6, 1, 2026), timeFromHMS(9, 0, 0), dateFromMDY(3, 1, 2026), 1},
        {"Custom", "day(s)", 1, dateFromMDY(1, 1, 2200), 1, dateFromMDY(1, 1, 1900), 1},
        {"Day of Week", "", 0, dateFromMDY(1, 1, 2900), 1, dateFromMDY(1, 1, 1900), 1},
        {"Custom", "minute(s)", 7, 0, -5, -1, 0},                 // never ends: restored
        {"Custom", "hour(s)", 2, 3, timeFromHMS(1, 0, 0), -4, 0}, // reaches day 0, then never ends
        {"Custom", "minute(s)", 1, 0, -3, 0, -700000000},         // on day 0 for 116,667 steps
    };
    for (const Case& c : cases) {
        ScheduleRecord start;
        start.ScheduleType = c.type;
        start.EveryType = c.unit;
        start.Every = c.every;
        start.Sunday = start.Wednesday = 1;
        start.Date = c.date;
        start.Time = c.time;
        ScheduleRecord fast = start, slow = start;
        ScriptedUserInterface uiFast, uiSlow;
        PreviousOccurrence(fast, c.refDate, c.refTime, uiFast, clock);
        PreviousOccurrenceReference(slow, c.refDate, c.refTime, uiSlow, clock);
        EXPECT_EQ(fast, slow) << describe(start, c.refDate, c.refTime);
        EXPECT_EQ(texts(uiFast), texts(uiSlow));
        ASSERT_EQ(uiFast.shown.size(), 1u) << describe(start, c.refDate, c.refTime);
        EXPECT_EQ(uiFast.shown[0].title, "Debug Previous");
    }
}

} // namespace
