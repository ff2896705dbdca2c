// The housekeeping passes over 100,000 tasks, each with one script step: how
// long a pass takes, and the longest stretch between two progress updates,
// which is how long the window (and the dispatcher on the same thread) waits
// at most and how long other processes wait for the store's write lock.
#include "data/Calendar.h"
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "support/BenchData.h"
#include "users/Housekeeping.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>

using namespace qd;

namespace {

constexpr int kTasks = 100000;

// Every other task disabled and completed; one step for each, and every tenth
// step without its task.
void fill(DataSet& ds) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    qdbench::addRecords(sch, kTasks, [](ScheduleRecord& r, int i) {
        r.ID = i + 1;
        r.Description = "Task " + std::to_string(i);
        r.TaskType = "Display Message";
        r.Date = dateFromMDY(1, 1, 2026) + i % 400;
        r.Time = timeFromHMS(i % 24, i % 60, 0);
        r.Disabled = r.Completed = i % 2;
    });
    Table<ScriptingRecord> scr(ds, tables::Scripting());
    qdbench::addRecords(scr, kTasks, [](ScriptingRecord& r, int i) {
        r.ID = i % 10 == 0 ? kTasks * 2 + i : i + 1;
        r.Action = "Wait";
    });
}

class GapMeter final : public Progress {
public:
    using Clock = std::chrono::steady_clock;
    void start(const std::string&) override { last_ = Clock::now(); }
    bool update(int, const std::string&) override {
        const auto now = Clock::now();
        longest = std::max(longest, now - last_);
        last_ = now;
        return true;
    }
    void finish() override { update(100, {}); }
    Clock::duration longest{};

private:
    Clock::time_point last_;
};

template <class Pass> void run(benchmark::State& state, Pass pass) {
    for (auto _ : state) {
        state.PauseTiming();
        qdbench::Data data;
        fill(data.ds);
        GapMeter meter;
        state.ResumeTiming();
        const PassResult r = pass(data.ds, meter);
        state.PauseTiming();
        state.counters["changed"] = static_cast<double>(r.changed);
        state.counters["longest_gap_ms"] = std::chrono::duration<double, std::milli>(meter.longest).count();
        state.ResumeTiming();
    }
}

void BM_ClearCompletedTasks(benchmark::State& state) {
    run(state, [](DataSet& ds, Progress& p) { return ClearDisabledTasks(ds, true, &p); });
}
void BM_VerifyLinks(benchmark::State& state) {
    run(state, [](DataSet& ds, Progress& p) { return VerifyLinks(ds, &p); });
}
void BM_AssignCurrentUser(benchmark::State& state) {
    run(state, [](DataSet& ds, Progress& p) { return AssignCurrentUserToAllTasks(ds, "ann", &p); });
}

} // namespace

BENCHMARK(BM_ClearCompletedTasks)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VerifyLinks)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AssignCurrentUser)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
