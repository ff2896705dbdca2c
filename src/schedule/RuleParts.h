// The parts of a task's rule as the schedule engine reads them, decoded once per call.
#pragma once

#include "data/Records.h"
#include "data/Text.h"
#include "schedule/Recurrence.h"

#include <cstdint>
#include <string_view>

namespace qd {

using text::trimRight;

// Bits of RuleParts::ordinals: 1st, 2nd, 3rd and 4th week of the month, and last week.
inline constexpr unsigned kOrdinalLast = 1u << 4;

struct RuleParts {
    RuleType type = RuleType::Custom;
    bool twice = false;       // "Monthly" twice a month
    bool twiceOnLast = false; // ... on the 15th and the last day
    std::int64_t offset = 0;  // SCH:Offset
    RepeatUnit unit = RepeatUnit::Invalid;
    unsigned weekdays = 0; // bit w set when weekday w (0 = Sunday) is flagged
    unsigned ordinals = 0; // bits 0-3: 1st-4th week, bit 4: last week
    bool monthEnd = false; // SCH:LastDayofMonth

    static RuleParts of(const ScheduleRecord& task) {
        RuleParts r;
        r.type = ruleTypeOf(task.ScheduleType);
        r.twice = isTwiceMonthly(task.MonthRepeat);
        r.twiceOnLast = twiceMonthlyOnLast(task.MonthRepeat);
        r.offset = task.Offset;
        r.unit = repeatUnitOf(task.EveryType);
        const std::uint8_t days[7] = {task.Sunday,   task.Monday, task.Tuesday, task.Wednesday,
                                      task.Thursday, task.Friday, task.Saturday};
        for (unsigned w = 0; w < 7; ++w)
            if (days[w] != 0) r.weekdays |= 1u << w;
        const std::uint8_t ords[5] = {task.Every1st, task.Every2nd, task.Every3rd, task.Every4th,
                                      task.EveryLast};
        for (unsigned i = 0; i < 5; ++i)
            if (ords[i] != 0) r.ordinals |= 1u << i;
        r.monthEnd = task.LastDayofMonth != 0;
        return r;
    }
};

} // namespace qd
