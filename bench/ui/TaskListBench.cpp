// The task list on 100,000 tasks and 1,000,000 history records (completed,
// disabled copies of performed occurrences): opening a view and showing its
// first page, jumping to the end and to the middle, sorting by a column,
// finding a task's row, filters that match few rows, and the once-a-second
// check for changes made by other processes. The counters give the records
// read from the store and the rows the model holds in memory afterwards.
#include "HistoryRecords.h"
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/FileManager.h"
#include "data/ViewCounter.h"
#include "schedule/TaskLists.h"
#include "schedule/ui/TaskListModel.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
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
        // History over the ten years before the tasks.
        qdbench::addHistory(sch, f, kHistory, dateFromMDY(1, 1, 2016));
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

// The counting thread every list of the program shares, keyed and opened
// before the first list needs it.
std::shared_ptr<ViewCounter> counter() {
    static const std::shared_ptr<ViewCounter> c = [] {
        auto made = std::make_shared<ViewCounter>(data().folder, "");
        std::promise<void> opened;
        made->post(
            made.get(),
            [](DataSet& ds, const ViewCounter::Started&) {
                Table<ScheduleRecord> t(ds, tables::Schedule());
                return t.open() == Level::Benign ? 0LL : -1LL;
            },
            [&opened](unsigned long long, long long) { opened.set_value(); });
        opened.get_future().wait();
        return made;
    }();
    return c;
}

// Until the count of the view has arrived.
void settle(qdschedui::TaskListModel& model) {
    while (model.counting())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
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
    bool counting = false;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setCounter(counter());
        model.setFilter(allByDate(false));
        paint(model, 0);
        scanned = model.scanned();
        rows = model.rowCount();
        counting = model.counting();
    }
    state.counters["counting"] = counting;
    state.counters["rows_in_view"] = rows;
    state.counters["records_scanned"] = static_cast<double>(scanned);
}
BENCHMARK(BM_OpenFirstPage)->Unit(benchmark::kMillisecond);

// Jumping to the end of the date order (Ctrl+End, or the scroll bar dragged
// down): the last screen is read from the end of the view.
void BM_JumpToEnd(benchmark::State& state) {
    DataSet& ds = *data().ds;
    qdschedui::TaskListModel model(ds, kDateFormat);
    model.setCounter(counter());
    model.setFilter(allByDate(false));
    settle(model);
    paint(model, 0);
    for (auto _ : state) {
        model.refresh();
        settle(model);
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
    model.setCounter(counter());
    model.setFilter(allByDate(false));
    settle(model);
    for (auto _ : state) {
        model.refresh();
        settle(model);
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
    model.setCounter(counter());
    model.setFilter(allByDate(false));
    settle(model);
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
    model.setCounter(counter());
    model.setFilter(allByDate(false));
    int row = -1;
    for (auto _ : state) {
        model.refresh();
        settle(model);
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
        model.setCounter(counter());
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
        model.setCounter(counter());
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
    model.setCounter(counter());
    for (auto _ : state) {
        model.setFilter(allByDate(false));
        settle(model);
        for (int row = 0; row < 20 * qdschedui::TaskListModel::kPageSize; row += kScreenRows)
            paint(model, row);
    }
    report(state, model);
}
BENCHMARK(BM_ScrollTwentyPages)->Unit(benchmark::kMillisecond);

// The explorer's "Completed": the history matches, so no index narrows it
// and counting reads every record. The window is ready when its first page
// is painted; the count follows from the counting thread (counting = 1 when
// the first page was shown before it).
void BM_ExploreCompletedFirstPage(benchmark::State& state) {
    DataSet& ds = *data().ds;
    ExploreChoice c;
    c.status = ExploreStatus::Completed;
    bool counting = false;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setCounter(counter());
        model.setFilter(exploreFilter(c, dateFromMDY(1, 1, 2026)));
        paint(model, 0);
        counting = model.counting();
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["counting"] = counting;
}
BENCHMARK(BM_ExploreCompletedFirstPage)->Unit(benchmark::kMillisecond);

// The same view until its count has arrived (what the window waited for
// before the count moved to its own thread).
void BM_ExploreCompletedCounted(benchmark::State& state) {
    DataSet& ds = *data().ds;
    ExploreChoice c;
    c.status = ExploreStatus::Completed;
    int rows = 0;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setCounter(counter());
        model.setFilter(exploreFilter(c, dateFromMDY(1, 1, 2026)));
        paint(model, 0);
        settle(model);
        rows = model.rowCount();
    }
    state.counters["rows_in_view"] = rows;
}
BENCHMARK(BM_ExploreCompletedCounted)->Unit(benchmark::kMillisecond);

// A query from the "&Query" window: a text contained in the description (no
// index can serve it: the store reads every description) and, second, a
// category with a date range.
void queryDescription(benchmark::State& state, const char* text) {
    DataSet& ds = *data().ds;
    TaskFilter f = allByDate(false);
    f.where.push_back(
        {tables::Schedule().findField("Description"), FieldMatch::Contains, std::string(text), {}, {}});
    int rows = 0;
    bool counting = false;
    for (auto _ : state) {
        qdschedui::TaskListModel model(ds, kDateFormat);
        model.setCounter(counter());
        model.setFilter(f);
        paint(model, 0);
        rows = model.rowCount();
        counting = model.counting();
    }
    state.counters["rows_read"] = rows;
    state.counters["counting"] = counting;
}
// Eleven matches: fewer than a page, so the first page itself is only
// complete once every description was read.
void BM_QueryDescriptionContains(benchmark::State& state) {
    queryDescription(state, "number 4242");
}
BENCHMARK(BM_QueryDescriptionContains)->Unit(benchmark::kMillisecond);
// 11,111 matches: the first page comes quickly, the count from its thread.
void BM_QueryDescriptionContainsMany(benchmark::State& state) {
    queryDescription(state, "number 1");
}
BENCHMARK(BM_QueryDescriptionContainsMany)->Unit(benchmark::kMillisecond);

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
        model.setCounter(counter());
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

// The counts come back through the event loop.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
