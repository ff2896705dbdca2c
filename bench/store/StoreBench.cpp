// The record layer against raw SQLCipher doing the same work: the same rows,
// the same table and indexes (created by the layer), the same page settings.
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "support/BenchData.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>

using namespace qd;

namespace {

using qdbench::Folder;

void fillTask(ScheduleRecord& r, int i) {
    r = {};
    r.ID = i + 1;
    r.Description = "Task number " + std::to_string(i);
    r.Category = i % 3 ? "Work" : "Home";
    r.TaskType = "Display Message";
    r.ScheduleType = "Custom";
    r.EveryType = "day(s)";
    r.Every = 1;
    r.Date = 80000 + (i * 7919) % 5000;
    r.Time = 1 + (i * 104729) % 8640000;
    r.Disabled = i % 10 == 0;
    r.Message = "Remember task " + std::to_string(i);
}

// A raw connection opened as the store opens its files.
sqlite3* rawOpen(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_key(db, kOwnerPassword, 9);
    sqlite3_exec(db, "PRAGMA cipher_page_size = 4096", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db, 5000);
    sqlite3_exec(db, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    sqlite3_exec(db, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
    return db;
}

std::string insertSql() {
    const TableDef& t = tables::Schedule();
    std::string cols = "\"_rev\"", params = "?";
    for (int i = 0; i < t.valueCount(); ++i) {
        cols += ", " + sql::columnName(t, i);
        params += ", ?";
    }
    return "INSERT INTO \"s\" (" + cols + ") VALUES (" + params + ")";
}

void rawBind(sqlite3_stmt* s, ScheduleRecord& r, long long rev) {
    std::vector<FieldPtr> ptrs;
    r.fieldPtrs(ptrs);
    sqlite3_bind_int64(s, 1, rev);
    for (std::size_t i = 0; i < ptrs.size(); ++i) {
        const int n = static_cast<int>(i) + 2;
        if (ptrs[i].isText())
            sqlite3_bind_text(s, n, ptrs[i].asText()->data(), static_cast<int>(ptrs[i].asText()->size()),
                              SQLITE_STATIC);
        else
            sqlite3_bind_int64(s, n, std::get<long long>(readField(ptrs[i])));
    }
}

// A data set whose Schedule table exists (created by the layer) and is empty.
struct Fixture {
    Folder folder;
    ScriptedUserInterface ui;
    ErrorClass errors{&ui};
    std::unique_ptr<DataSet> ds = std::make_unique<DataSet>(folder.path, errors);
    std::unique_ptr<Table<ScheduleRecord>> sch;
    Fixture() {
        sch = std::make_unique<Table<ScheduleRecord>>(*ds, tables::Schedule());
        sch->open();
    }
};

void BM_BulkInsert_Layer(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto f = std::make_unique<Fixture>();
        state.ResumeTiming();
        StoreFile* file = f->sch->file();
        file->begin();
        for (int i = 0; i < n; ++i) {
            fillTask(f->sch->rec, i);
            if (f->sch->insert() != Level::Benign) state.SkipWithError("insert failed");
        }
        file->commit();
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_BulkInsert_Raw(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        auto f = std::make_unique<Fixture>();
        const auto file = f->ds->locate(tables::Schedule()).file;
        f->ds->closeAll();
        sqlite3* db = rawOpen(file);
        sqlite3_stmt* s = nullptr;
        const std::string q = insertSql();
        sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr);
        ScheduleRecord r;
        state.ResumeTiming();
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (int i = 0; i < n; ++i) {
            fillTask(r, i);
            rawBind(s, r, i + 1);
            if (sqlite3_step(s) != SQLITE_DONE) state.SkipWithError("insert failed");
            sqlite3_reset(s);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        state.PauseTiming();
        sqlite3_finalize(s);
        sqlite3_close(db);
        f.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// A data set with 100,000 tasks, shared by the read benchmarks.
Fixture& filled() {
    static Fixture* f = [] {
        auto* fx = new Fixture();
        fx->sch->file()->begin();
        for (int i = 0; i < 100000; ++i) {
            fillTask(fx->sch->rec, i);
            fx->sch->insert();
        }
        fx->sch->file()->commit();
        return fx;
    }();
    return *f;
}

void BM_DueTaskRead_Layer(benchmark::State& state) {
    Fixture& f = filled();
    const int key = tables::Schedule().findKey("SCH:KeyDateEnabled");
    for (auto _ : state) {
        if (f.sch->first(key) != Level::Benign) state.SkipWithError("read failed");
        benchmark::DoNotOptimize(f.sch->rec.Date);
    }
}

void BM_DueTaskRead_Raw(benchmark::State& state) {
    Fixture& f = filled();
    sqlite3* db = rawOpen(f.ds->locate(tables::Schedule()).file);
    const TableDef& t = tables::Schedule();
    const KeyDef& k = t.keys[static_cast<std::size_t>(t.findKey("SCH:KeyDateEnabled"))];
    std::string cols = "\"_rid\", \"_rev\"";
    for (int i = 0; i < t.valueCount(); ++i)
        cols += ", " + sql::columnName(t, i);
    const std::string q = "SELECT " + cols + " FROM \"s\" WHERE " + sql::notEmpty(t, k) + " ORDER BY " +
                          sql::orderBy(t, k, false) + " LIMIT 1";
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr);
    ScheduleRecord r;
    std::vector<FieldPtr> ptrs;
    r.fieldPtrs(ptrs);
    for (auto _ : state) {
        if (sqlite3_step(s) != SQLITE_ROW) state.SkipWithError("read failed");
        // Fill a record as the layer does.
        for (std::size_t i = 0; i < ptrs.size(); ++i) {
            const int c = static_cast<int>(i) + 2;
            if (ptrs[i].isText())
                ptrs[i].asText()->assign(reinterpret_cast<const char*>(sqlite3_column_text(s, c)),
                                         static_cast<std::size_t>(sqlite3_column_bytes(s, c)));
            else
                writeField(ptrs[i], static_cast<long long>(sqlite3_column_int64(s, c)));
        }
        sqlite3_reset(s);
        benchmark::DoNotOptimize(r.Date);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
}

void BM_InsertPerTransaction_Layer(benchmark::State& state) {
    Fixture f;
    int i = 0;
    for (auto _ : state) {
        fillTask(f.sch->rec, i++);
        if (f.sch->insert() != Level::Benign) state.SkipWithError("insert failed");
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_InsertPerTransaction_Raw(benchmark::State& state) {
    Fixture f;
    const auto file = f.ds->locate(tables::Schedule()).file;
    f.ds->closeAll();
    sqlite3* db = rawOpen(file);
    sqlite3_stmt* s = nullptr;
    const std::string q = insertSql();
    sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr);
    ScheduleRecord r;
    int i = 0;
    for (auto _ : state) {
        fillTask(r, i);
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        rawBind(s, r, ++i);
        if (sqlite3_step(s) != SQLITE_DONE) state.SkipWithError("insert failed");
        sqlite3_reset(s);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(BM_BulkInsert_Layer)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_BulkInsert_Raw)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_DueTaskRead_Layer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DueTaskRead_Raw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InsertPerTransaction_Layer)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_InsertPerTransaction_Raw)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
