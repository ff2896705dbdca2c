// The task list on 100,000 tasks: opening a view and showing its first page,
// reading one more page as the view scrolls, a filter that matches few rows,
// and the once-a-second check for changes made by other processes.
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/FileManager.h"
#include "schedule/TaskLists.h"
#include "schedule/ui/TaskListModel.h"

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

// One data set with the tasks, made once for every benchmark of the run.
struct BigDataSet {
    std::filesystem::path folder;
    ErrorClass errors;
    std::unique_ptr<DataSet> ds;

    BigDataSet() {
        std::string t = (std::filesystem::temp_directory_path() / "qdbench-list-XXXXXX").string();
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
            r.Category = i % 50 == 0 ? "Rare" : (i % 3 ? "Work" : "Home");
            r.TaskType = i % 2 ? "Display Message" : "Run Program";
            r.ScheduleType = "Custom";
            r.EveryType = "day(s)";
            r.Every = 1;
            r.Date = dateFromMDY(1, 1, 2026) + (i * 7919) % 3650;
            r.Time = 1 + (i * 104729) % kTimeDay;
            r.Disabled = i % 10 == 0;
            r.Completed = i % 1000 == 0;
            r.Message = "Remember task " + std::to_string(i);
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

const std::string kDateFormat = "d3";

// Opening the list: a new model on the date order, with the texts of the
// first page as the view paints them.
void BM_OpenFirstPage(benchmark::State& state) {
    DataSet& ds = *data().ds;
    long long scanned = 0;
    int rows = 0;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setFilter(allByDate(false));
        for (int row = 0; row < model.rowCount(); ++row)
            for (int col = kColDate; col < kColCount; ++col)
                benchmark::DoNotOptimize(model.data(model.index(row, col), Qt::DisplayRole));
        scanned = model.scanned();
        rows = model.rowCount();
    }
    state.counters["rows_read"] = rows;
    state.counters["records_scanned"] = static_cast<double>(scanned);
}
BENCHMARK(BM_OpenFirstPage)->Unit(benchmark::kMillisecond);

// One category (a key stretch) and the picked day.
void BM_OpenCategory(benchmark::State& state) {
    DataSet& ds = *data().ds;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setFilter(byCategory("Rare", false));
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(BM_OpenCategory)->Unit(benchmark::kMillisecond);

void BM_OpenDay(benchmark::State& state) {
    DataSet& ds = *data().ds;
    int rows = 0;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setFilter(oneDay(dateFromMDY(6, 1, 2027), false));
        rows = model.rowCount();
    }
    state.counters["rows_read"] = rows;
}
BENCHMARK(BM_OpenDay)->Unit(benchmark::kMillisecond);

// Scrolling: 20 more pages after the first, as a view asks for them.
void BM_ScrollTwentyPages(benchmark::State& state) {
    DataSet& ds = *data().ds;
    long long scanned = 0;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setFilter(allByDate(false));
        for (int i = 0; i < 20 && model.canFetchMore({}); ++i)
            model.fetchMore({});
        scanned = model.scanned();
    }
    state.counters["records_scanned"] = static_cast<double>(scanned);
    state.counters["of_tasks"] = kTasks;
}
BENCHMARK(BM_ScrollTwentyPages)->Unit(benchmark::kMillisecond);

// The explorer's "Completed": few matches spread over the whole table; the
// store skips the others without handing them over.
void BM_ExploreCompletedFirstPage(benchmark::State& state) {
    DataSet& ds = *data().ds;
    ExploreChoice c;
    c.status = ExploreStatus::Completed;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setFilter(exploreFilter(c, dateFromMDY(1, 1, 2026)));
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(BM_ExploreCompletedFirstPage)->Unit(benchmark::kMillisecond);

// A query from the "&Query" window: a text contained in the description (no
// index can serve it: the store reads every description) and, second, a
// category with a date range.
void BM_QueryDescriptionContains(benchmark::State& state) {
    DataSet& ds = *data().ds;
    TaskFilter f = allByDate(false);
    f.where.push_back({tables::Schedule().findField("Description"),
                       FieldMatch::Contains,
                       std::string("number 4242"),
                       {},
                       {}});
    int rows = 0;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setFilter(f);
        rows = model.rowCount();
    }
    state.counters["rows_read"] = rows;
}
BENCHMARK(BM_QueryDescriptionContains)->Unit(benchmark::kMillisecond);

void BM_QueryCategoryAndDates(benchmark::State& state) {
    DataSet& ds = *data().ds;
    const TableDef& def = tables::Schedule();
    TaskFilter f = allByDate(false);
    f.where.push_back({def.findField("Category"), FieldMatch::Equals, std::string("rare"), {}, {}});
    f.where.push_back({def.findField("Date"), FieldMatch::Range, 0LL,
                       static_cast<long long>(dateFromMDY(1, 1, 2027)),
                       static_cast<long long>(dateFromMDY(3, 31, 2027))});
    int rows = 0;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setFilter(f);
        rows = model.rowCount();
    }
    state.counters["rows_read"] = rows;
}
BENCHMARK(BM_QueryCategoryAndDates)->Unit(benchmark::kMillisecond);

// The check each open list makes every second.
void BM_ChangeCheck(benchmark::State& state) {
    DataSet& ds = *data().ds;
    for (auto _ : state)
        benchmark::DoNotOptimize(taskStoreVersion(ds));
}
BENCHMARK(BM_ChangeCheck);

} // namespace

BENCHMARK_MAIN();
