// The step list's operations on a script of 10,000 steps: what the user waits
// for after pressing a button (a move exchanges two numbers; "To Top" and
// "Renumber" rewrite every number), an export and an import of the whole
// script, and checking and saving a pasted text of 10,000 lines.
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "script/ScriptEditing.h"
#include "script/ScriptFile.h"
#include "script/ScriptSteps.h"
#include "script/ScriptText.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <unistd.h>

using namespace qd;

namespace {

constexpr int kSteps = 10000;

struct Folder {
    std::filesystem::path path;
    Folder() {
        std::string t = (std::filesystem::temp_directory_path() / "qdbench-XXXXXX").string();
        path = mkdtemp(t.data());
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

std::string scriptText() {
    std::string text;
    for (int i = 1; i <= kSteps; ++i)
        text += "KEYS line " + std::to_string(i) + "[ENTER]\r\n";
    return text;
}

struct Script {
    Folder folder;
    ScriptedUserInterface ui;
    ErrorClass errors{&ui};
    DataSet ds{folder.path, errors};
    Script() { TextToScript(ds, 1, scriptText(), ui); }
};

void BM_MoveStepUp(benchmark::State& state) {
    Script s;
    for (auto _ : state)
        benchmark::DoNotOptimize(MoveStep(s.ds, taskSteps(1), kSteps / 2, StepMove::Up, s.ui));
}

void BM_MoveStepToTop(benchmark::State& state) {
    Script s;
    for (auto _ : state)
        benchmark::DoNotOptimize(MoveStep(s.ds, taskSteps(1), kSteps, StepMove::Top, s.ui));
}

void BM_Renumber(benchmark::State& state) {
    Script s;
    for (auto _ : state) {
        // A deleted first step leaves a gap for every renumbering to close.
        state.PauseTiming();
        DeleteStep(s.ds, taskSteps(1), 1);
        state.ResumeTiming();
        benchmark::DoNotOptimize(RenumberSteps(s.ds, taskSteps(1), s.ui));
    }
}

void BM_ExportAndImportFile(benchmark::State& state) {
    Script s;
    const std::filesystem::path file = s.folder.path / "script.qds";
    for (auto _ : state) {
        benchmark::DoNotOptimize(ExportScript(s.ds, tables::Scripting(), 1, file, &s.ui));
        benchmark::DoNotOptimize(ImportScript(s.ds, tables::Scripting(), 2, file, &s.ui));
    }
}

void BM_InsertInTheMiddle(benchmark::State& state) {
    Script s;
    for (auto _ : state) {
        ScriptingRecord step;
        step.Action = "Comment";
        benchmark::DoNotOptimize(InsertStepAfter(s.ds, taskSteps(1), 10, step));
    }
}

void BM_CheckPastedText(benchmark::State& state) {
    const std::string text = scriptText();
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckScriptText(text));
}

void BM_SavePastedText(benchmark::State& state) {
    Script s;
    const std::string text = scriptText();
    for (auto _ : state)
        benchmark::DoNotOptimize(TextToScript(s.ds, 1, text, s.ui));
}

} // namespace

BENCHMARK(BM_MoveStepUp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveStepToTop)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Renumber)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExportAndImportFile)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertInTheMiddle)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CheckPastedText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SavePastedText)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
