// The event log window on a log of 100,000 lines: opening it (indexing every
// line), reading a screenful at the end, taking in 1,000 appended lines, and a
// search that runs through the whole file.
#include "data/Calendar.h"
#include "data/EventLog.h"
#include "ui/LogViewer.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kLines = 100000;

struct LogFolder {
    std::filesystem::path folder;
    std::filesystem::path file;
    LogFolder() {
        std::string t = (std::filesystem::temp_directory_path() / "qdbench-log-XXXXXX").string();
        folder = ::mkdtemp(t.data());
        file = folder / qd::EventLog::kFileName;
        append(0, kLines);
    }
    ~LogFolder() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    void append(int from, int count) const {
        std::ofstream out(file, std::ios::app | std::ios::binary);
        const qd::Date day = qd::dateFromMDY(3, 10, 2026);
        for (int i = from; i < from + count; ++i)
            out << qd::formatLogLine({day, qd::timeFromHMS(9, i / 60 % 60, i % 60)}, "d3", "Message",
                                     "Reminder number " + std::to_string(i))
                << '\n';
    }
};

void BM_OpenAndIndex(benchmark::State& state) {
    LogFolder log;
    for (auto _ : state) {
        qdui::LogFileModel model(log.file);
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.counters["lines"] = kLines;
}
BENCHMARK(BM_OpenAndIndex)->Unit(benchmark::kMillisecond);

void BM_ReadLastScreen(benchmark::State& state) {
    LogFolder log;
    qdui::LogFileModel model(log.file);
    for (auto _ : state) {
        for (int row = kLines - 40; row < kLines; ++row)
            for (int c = 0; c < qdui::LogFileModel::ColumnCount; ++c)
                benchmark::DoNotOptimize(model.data(model.index(row, c)));
    }
}
BENCHMARK(BM_ReadLastScreen)->Unit(benchmark::kMicrosecond);

void BM_Append1000(benchmark::State& state) {
    LogFolder log;
    qdui::LogFileModel model(log.file);
    int next = kLines;
    for (auto _ : state) {
        state.PauseTiming();
        log.append(next, 1000);
        next += 1000;
        state.ResumeTiming();
        model.refresh();
    }
    state.counters["full_indexes"] = model.fullIndexCount();
}
BENCHMARK(BM_Append1000)->Unit(benchmark::kMicrosecond)->Iterations(50);

void BM_RefreshUnchanged(benchmark::State& state) {
    LogFolder log;
    qdui::LogFileModel model(log.file);
    for (auto _ : state)
        model.refresh();
}
BENCHMARK(BM_RefreshUnchanged)->Unit(benchmark::kMicrosecond);

void BM_FindAbsentText(benchmark::State& state) {
    LogFolder log;
    qdui::LogFileModel model(log.file);
    for (auto _ : state)
        benchmark::DoNotOptimize(model.find("nowhere", 0, true));
}
BENCHMARK(BM_FindAbsentText)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
