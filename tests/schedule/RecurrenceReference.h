// Literal step-by-step recurrence: the definition the engine must agree with.
//
// These functions move a task one occurrence at a time exactly as the rules are
// written, with 64-bit arithmetic so that no input overflows. They are slow on long
// gaps by design and serve only as the oracle of the tests.
#pragma once

#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/Records.h"
#include "data/UserInterface.h"

namespace qdtest {

void NextOccurrenceReference(qd::ScheduleRecord& task, qd::Date refDate, qd::Time refTime,
                             qd::UserInterface& ui);
void PreviousOccurrenceReference(qd::ScheduleRecord& task, qd::Date refDate, qd::Time refTime,
                                 qd::UserInterface& ui, const qd::Clock& clock);

} // namespace qdtest
