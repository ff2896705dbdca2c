// The one-line text that the task lists show for a task's rule, for example
// "Days: Mon, Wed, Fri" or "Every 2 hour(s) (exceptions exist)".
#pragma once

#include "data/Records.h"

#include <string>

namespace qd {

// Built from SCH:ScheduleType, SCH:MonthRepeat, SCH:Offset, SCH:Every, SCH:EveryType, the
// weekday and week-of-month flags and the exception fields; at most 80 characters,
// without leading or trailing blanks.
std::string ScheduleDescription(const ScheduleRecord& task);

} // namespace qd
