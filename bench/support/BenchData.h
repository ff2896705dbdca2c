// What the benchmarks over a store set up alike: a fresh data folder, a data
// set in it, and records added in one transaction.
#pragma once

#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/FileManager.h"
#include "data/UserInterface.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace qdbench {

// A fresh folder under the system temp folder, removed with its contents at
// the end; QD_BENCH_KEEP=1 keeps it for profiling and names it.
struct Folder {
    std::filesystem::path path;

    Folder() {
        std::string t = (std::filesystem::temp_directory_path() / "qdbench-XXXXXX").string();
        if (!mkdtemp(t.data())) throw std::runtime_error("no temporary folder: " + t);
        path = t;
    }
    ~Folder() {
        if (const char* keep = std::getenv("QD_BENCH_KEEP"); keep && *keep == '1')
            std::fprintf(stderr, "kept %s\n", path.c_str());
        else
            std::filesystem::remove_all(path);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
};

// A data set in a folder of its own; its questions are answered by a script.
struct Data {
    Folder folder;
    qd::ScriptedUserInterface ui;
    qd::ErrorClass errors{&ui};
    qd::DataSet ds{folder.path, errors};
};

// Adds `count` records to `table` in one store transaction: record i is the
// empty record `make(record, i)` fills in.
template <class R, class Make> void addRecords(qd::Table<R>& table, int count, Make make) {
    if (!table.opened()) table.open();
    table.file()->begin();
    for (int i = 0; i < count; ++i) {
        table.rec = {};
        make(table.rec, i);
        table.insert();
    }
    table.file()->commit();
}

} // namespace qdbench
