// The task list on 100,000 tasks and 1,000,000 history records (completed,
// disabled copies of performed occurrences): opening a view and showing its
// first page, jumping to the end and to the middle, sorting by a column,
// finding a task's row, filters that match few rows, and the once-a-second
// check for changes made by other processes. The counters give the records
// read from the store and the rows the model holds in memory afterwards.
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/FileManager.h"
#include "schedule/TaskLists.h"
#include "schedule/ui/TaskListModel.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
// QD_BENCH_HISTORY overrides the history count.
const int kHistory = [] {
    const char* n = std::getenv("QD_BENCH_HISTORY");
    return n ? std::max(0, std::atoi(n)) : 1000000;
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
        // History: one completed, disabled copy per performed occurrence, in
        // the ten years before the tasks, in transactions of 50,000.
        for (int i = 0; i < kHistory; ++i) {
            ScheduleRecord& r = sch.rec;
            r = {};
            r.Description = "Done " + std::to_string(i);
            r.Category = i % 3 ? "Work" : "Home";
            r.TaskType = "Display Message";
            r.ScheduleType = "Once";
            r.Date = dateFromMDY(1, 1, 2016) + i / 274;
            r.Time = 1 + (i * 104729) % kTimeDay;
            r.Disabled = 1;
            r.Completed = 1;
            sch.insert();
            if (i % 50000 == 49999) {
                f->commit();
                f->begin();
            }
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
constexpr int kScreenRows = 30;

// The texts of one screen of rows from `first` on, as the view paints them.
void paint(const qdschedui::TaskListModel& model, int first) {
    first = std::max(first, 0);
    for (int row = first; row < std::min(first + kScreenRows, model.rowCount()); ++row)
        for (int col = kColDate; col < kColCount; ++col)
            benchmark::DoNotOptimize(model.data(model.index(row, col), Qt::DisplayRole));
}

// Resident memory of the process, in kB.
double residentKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1024.0;
}

void report(benchmark::State& state, const qdschedui::TaskListModel& model) {
    state.counters["rows_in_view"] = model.rowCount();
    state.counters["rows_held"] = static_cast<double>(model.rowsHeld());
    state.counters["records_scanned"] = static_cast<double>(model.scanned());
    state.counters["resident_kb"] = residentKb();
}

// Opening the list: a new model on the date order, with the texts of the
// first page as the view paints them.
void BM_OpenFirstPage(benchmark::State& state) {
    DataSet& ds = *data().ds;
    long long scanned = 0;
    int rows = 0;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setFilter(allByDate(false));
        paint(model, 0);
        scanned = model.scanned();
        rows = model.rowCount();
    }
    state.counters["rows_in_view"] = rows;
    state.counters["records_scanned"] = static_cast<double>(scanned);
}
BENCHMARK(BM_OpenFirstPage)->Unit(benchmark::kMillisecond);

// Jumping to the end of the date order (Ctrl+End, or the scroll bar dragged
// down): the last screen is read from the end of the view.
void BM_JumpToEnd(benchmark::State& state) {
    DataSet& ds = *data().ds;
    qdschedui::TaskListModel model(ds, kDateFormat);
    model.setFilter(allByDate(false));
    paint(model, 0);
    for (auto _ : state) {
        model.refresh();
        paint(model, model.rowCount() - kScreenRows);
    }
    report(state, model);
}
BENCHMARK(BM_JumpToEnd)->Unit(benchmark::kMillisecond);

// Dragging the scroll bar to the middle: the store steps over half the view
// in its index to reach the rows.
void BM_JumpToMiddle(benchmark::State& state) {
    DataSet& ds = *data().ds;
    qdschedui::TaskListModel model(ds, kDateFormat);
    model.setFilter(allByDate(false));
    for (auto _ : state) {
        model.refresh();
        paint(model, model.rowCount() / 2);
    }
    report(state, model);
}
BENCHMARK(BM_JumpToMiddle)->Unit(benchmark::kMillisecond);

// A click on a column title: the first screen in description order, the
// other way round (a key leads with the description).
void BM_SortByDescription(benchmark::State& state) {
    DataSet& ds = *data().ds;
    qdschedui::TaskListModel model(ds, kDateFormat);
    model.setFilter(allByDate(false));
    for (auto _ : state) {
        model.sort(-1);
        model.sort(kColDescription, Qt::DescendingOrder);
        paint(model, 0);
    }
    report(state, model);
}
BENCHMARK(BM_SortByDescription)->Unit(benchmark::kMillisecond);


// Where a task lies in the view (after a refresh, to select it again).
void BM_RowOfTask(benchmark::State& state) {
    DataSet& ds = *data().ds;
    qdschedui::TaskListModel model(ds, kDateFormat);
    model.setFilter(allByDate(false));
    int row = -1;
    for (auto _ : state) {
        model.refresh();
        row = model.rowOfTask(kTasks / 2);
    }
    state.counters["row"] = row;
}
BENCHMARK(BM_RowOfTask)->Unit(benchmark::kMillisecond);

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

// Scrolling: 20 pages of rows after the first, screen by screen.
void BM_ScrollTwentyPages(benchmark::State& state) {
    DataSet& ds = *data().ds;
    qdschedui::TaskListModel model(ds, kDateFormat);
    for (auto _ : state) {
        model.setFilter(allByDate(false));
        for (int row = 0; row < 20 * qdschedui::TaskListModel::kPageSize; row += kScreenRows)
            paint(model, row);
    }
    report(state, model);
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
        paint(model, 0);
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
