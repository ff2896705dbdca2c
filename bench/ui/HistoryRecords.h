// History for the benchmarks: one completed, disabled copy per performed
// occurrence, spread evenly over the ten years from `firstDay`, written in
// transactions of 50,000 (the one open on `file` is committed on the way).
#pragma once

#include "data/Calendar.h"
#include "data/FileManager.h"
#include "data/Records.h"

#include <string>

namespace qdbench {

inline void addHistory(qd::Table<qd::ScheduleRecord>& sch, qd::StoreFile* file, int count,
                       qd::Date firstDay) {
    for (int i = 0; i < count; ++i) {
        qd::ScheduleRecord& r = sch.rec;
        r = {};
        r.Description = "Done " + std::to_string(i);
        r.Category = i % 3 ? "Work" : "Home";
        r.TaskType = "Display Message";
        r.ScheduleType = "Once";
        r.Date = firstDay + static_cast<int>(static_cast<long long>(i) * 3650 / count);
        r.Time = 1 + (i * 104729) % qd::kTimeDay;
        r.Disabled = 1;
        r.Completed = 1;
        sch.insert();
        if (i % 50000 == 49999) {
            file->commit();
            file->begin();
        }
    }
}

} // namespace qdbench
