// The calendar's task marks on 100,000 tasks: marking a whole month page, and the
// first slice the window marks before it is shown (the rest follows slice by slice).
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/FileManager.h"
#include "schedule/TaskCalendar.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

using namespace qd;

namespace {

// QD_BENCH_TASKS overrides the count (quick trial runs).
const int kTasks = [] {
    const char* n = std::getenv("QD_BENCH_TASKS");
    return n ? std::max(1, std::atoi(n)) : 100000;
}();

const Date kPageMonth = dateFromMDY(6, 1, 2026);

// Every kind of rule, pending dates spread over the year before the page and the page.
struct BigDataSet {
    std::filesystem::path folder;
    ErrorClass errors;
    std::unique_ptr<DataSet> ds;

    BigDataSet() {
        std::string t = (std::filesystem::temp_directory_path() / "qdbench-calendar-XXXXXX").string();
        folder = mkdtemp(t.data());
        ds = std::make_unique<DataSet>(folder, errors);
        Table<ScheduleRecord> sch(*ds, tables::Schedule());
        sch.open();
        StoreFile* f = ds->fileOf(tables::Schedule());
        f->begin();
        for (int i = 0; i < kTasks; ++i) {
            ScheduleRecord& r = sch.rec;
            r = {};
            r.Description = "Task number " + std::to_string(i);
            r.TaskType = "Display Message";
            r.Date = kPageMonth - 365 + (i * 7919) % 400;
            r.Time = 1 + (i * 104729) % kTimeDay;
            r.Every = 1 + i % 3;
            r.Monday = r.Wednesday = r.Friday = 1;
            r.Every2nd = 1;
            r.MonthRepeat = "Once";
            switch (i % 6) {
            case 0:
                r.ScheduleType = "Once";
                break;
            case 1:
                r.ScheduleType = "Custom";
                r.EveryType = "day(s)";
                break;
            case 2:
                r.ScheduleType = "Custom";
                r.EveryType = "hour(s)";
                break;
            case 3:
                r.ScheduleType = "Day of Week";
                break;
            case 4:
                r.ScheduleType = "Day of Month";
                break;
            default:
                r.ScheduleType = "Monthly";
                break;
            }
            if (i % 7 == 0) r.ExceptWeekends = 1;
            r.Disabled = i % 10 == 0;
            sch.insert();
        }
        f->commit();
    }
    ~BigDataSet() {
        ds.reset();
        std::filesystem::remove_all(folder);
    }
};

BigDataSet& data() {
    static BigDataSet d;
    return d;
}

void BM_MarkMonthPage(benchmark::State& state) {
    DataSet& ds = *data().ds;
    const Date first = firstShownDay(calendarMonthOf(kPageMonth));
    std::size_t days = 0;
    for (auto _ : state) {
        const auto marks = calendarMarks(ds, first, first + kCalendarDays - 1);
        days = marks.size();
        benchmark::DoNotOptimize(days);
    }
    state.counters["tasks"] = kTasks;
    state.counters["marked_days"] = static_cast<double>(days);
}
BENCHMARK(BM_MarkMonthPage)->Unit(benchmark::kMillisecond)->Iterations(3);

// What the window does before it is drawn: one slice of 200 tasks.
void BM_FirstSlice(benchmark::State& state) {
    DataSet& ds = *data().ds;
    const Date first = firstShownDay(calendarMonthOf(kPageMonth));
    for (auto _ : state) {
        CalendarMarker marker(ds, first, first + kCalendarDays - 1);
        benchmark::DoNotOptimize(marker.step(200));
    }
}
BENCHMARK(BM_FirstSlice)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
