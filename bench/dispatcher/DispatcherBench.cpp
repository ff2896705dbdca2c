// The dispatcher's costs: one due-task check with 100,000 tasks of which none is
// due, and a simulated week (604,800 ticks) of 1,000 varied tasks, once straight
// through and once with a restart in the middle; the two runs must perform the
// same occurrences (reported as a counter, 1 = same).
#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "dispatcher/Dispatcher.h"
#include "platform/null/NullDesktop.h"
#include "platform/posix/PosixProcess.h"
#include "runtime/Runtime.h"
#include "support/BenchData.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <map>
#include <tuple>
#include <unistd.h>

using namespace qd;

namespace {

const Date kStart = dateFromMDY(3, 9, 2026);

using qdbench::Folder;

struct QuietFrame : Frame {
    void bringToFront() override {}
    bool isMinimized() const override { return false; }
    void playSound(const std::string&) override {}
    void beep() override {}
    void showMessageWindow(const MessageRequest&) override {}
    int openMessageWindows() const override { return 0; }
    void requestShutdown() override {}
    void refreshTaskLists() override {}
};

// Tasks of every rule kind, spread over the day.
void fill(const std::filesystem::path& folder, int count, Date firstDate) {
    ScriptedUserInterface ui;
    ErrorClass errors(&ui);
    DataSet ds(folder, errors);
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    static const char* kUnits[] = {"minute(s)", "hour(s)", "day(s)", "week(s)", "month(s)"};
    static const int kEvery[] = {30, 2, 1, 1, 1};
    qdbench::addRecords(sch, count, [&](ScheduleRecord& r, int i) {
        r.Description = "Task " + std::to_string(i);
        r.TaskType = i % 3 == 0 ? "Display Message" : "None";
        const int k = i % 5;
        r.ScheduleType = i % 7 == 0 ? "Day of Week" : "Custom";
        r.Monday = r.Thursday = 1;
        r.Every = kEvery[k] * (1 + i % 3);
        r.EveryType = kUnits[k];
        r.Date = firstDate + i % 3;
        r.Time = timeFromHMS((i * 7) % 24, (i * 13) % 60, 0);
        r.NoHistory = i % 2;
    });
}

using Occurrence = std::tuple<int, Date, Time>;

std::map<Occurrence, int> runWeek(const std::filesystem::path& folder, long long restartAt) {
    std::map<Occurrence, int> performed;
    ManualClock clock({kStart, 1});
    const long long ticks = 7LL * 24 * 3600;
    long long done = 0;
    while (done < ticks) {
        ScriptedUserInterface ui;
        ui.defaultAnswer = true;
        Startup startup(ui, clock, folder);
        QuietFrame frame;
        NullDesktop desktop;
        PosixProcess process;
        Runtime runtime(startup, frame, desktop, process);
        runtime.dispatcher().setObserver([&](const PerformedTask& p) {
            ++performed[{p.id, p.occurrence.date, p.occurrence.time}];
        });
        runtime.open();
        const long long until = done < restartAt ? restartAt : ticks;
        for (; done < until; ++done, clock.advanceSeconds(1))
            runtime.tick();
        runtime.close();
    }
    return performed;
}

void BM_DueTaskCheck_100000Tasks(benchmark::State& state) {
    Folder folder;
    fill(folder.path, 100000, kStart + 30); // all in the future: nothing is due
    ScriptedUserInterface ui;
    ManualClock clock({kStart, timeFromHMS(12, 0, 0)});
    Startup startup(ui, clock, folder.path);
    QuietFrame frame;
    NullDesktop desktop;
    PosixProcess process;
    Runtime runtime(startup, frame, desktop, process);
    runtime.dispatcher().checkDueTask(); // opens the table
    for (auto _ : state) {
        runtime.dispatcher().checkDueTask();
        benchmark::DoNotOptimize(runtime.dispatcher().statusText());
    }
}

void BM_SimulatedWeek_1000Tasks(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        Folder straight;
        Folder restarted;
        fill(straight.path, 1000, kStart);
        fill(restarted.path, 1000, kStart);
        state.ResumeTiming();
        const auto a = runWeek(straight.path, 7LL * 24 * 3600);
        state.PauseTiming();
        const auto b = runWeek(restarted.path, 7LL * 24 * 3600 / 2);
        long long occurrences = 0;
        bool once = true;
        for (const auto& [o, n] : a) {
            occurrences += n;
            once = once && n == 1;
        }
        state.counters["occurrences"] = static_cast<double>(occurrences);
        state.counters["same_after_restart"] = a == b ? 1 : 0;
        state.counters["each_once"] = once ? 1 : 0;
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(BM_DueTaskCheck_100000Tasks)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SimulatedWeek_1000Tasks)->Unit(benchmark::kSecond)->Iterations(1);

BENCHMARK_MAIN();
