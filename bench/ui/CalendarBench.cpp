// The calendar's task marks on 100,000 tasks: marking a whole month page, and the
// first slice the window marks before it is shown (the rest follows slice by slice).
#include "HistoryRecords.h"
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

// QD_BENCH_HISTORY adds history records (completed copies of performed
// occurrences) over the ten years before the page; none by default.
const int kHistory = [] {
    const char* n = std::getenv("QD_BENCH_HISTORY");
    return n ? std::max(0, std::atoi(n)) : 0;
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
        qdbench::addHistory(sch, f, kHistory, kPageMonth - 3650);
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
    long long read = 0;
    for (auto _ : state) {
        CalendarMarker marker(ds, first, first + kCalendarDays - 1);
        while (!marker.step(1000)) {
        }
        days = marker.marks().size();
        read = marker.recordsRead();
        benchmark::DoNotOptimize(days);
    }
    state.counters["tasks"] = kTasks;
    state.counters["history"] = kHistory;
    state.counters["records_read"] = static_cast<double>(read);
    state.counters["marked_days"] = static_cast<double>(days);
}
BENCHMARK(BM_MarkMonthPage)->Unit(benchmark::kMillisecond)->Iterations(3);

// For comparison: every record up to the page's last day read one statement
// at a time in date order, as the marks were read before.
void BM_ReadTasksOnly(benchmark::State& state) {
    DataSet& ds = *data().ds;
    const Date last = firstShownDay(calendarMonthOf(kPageMonth)) + kCalendarDays - 1;
    long long n = 0;
    for (auto _ : state) {
        Table<ScheduleRecord> t(ds, tables::Schedule());
        t.open();
        t.rec = {};
        t.rec.Date = 1;
        t.setPosition(t.def().findKey("SCH:KeyDate"), 1);
        n = 0;
        while (t.tryNext() == Level::Benign && t.rec.Date <= last)
            ++n;
    }
    state.counters["tasks_read"] = static_cast<double>(n);
}
BENCHMARK(BM_ReadTasksOnly)->Unit(benchmark::kMillisecond)->Iterations(3);

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
