// The data tool's work on a data folder: what each table holds, a check of every
// record-store file and its keys, and the two repairs (rebuild the keys, compact the
// files). The tool works on the files directly, not through the tables' open
// operation, so a damaged file is reported instead of asked about, and a file that
// does not exist is never created.
//
// The repairs rewrite files under every other user of the folder, so they take the
// data folder's lock exclusively and are refused while a scheduler runs on it.
#pragma once

#include "data/DataSet.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qd {

// One table as the data tool lists it.
struct TableSurvey {
    const TableDef* def = nullptr;
    std::filesystem::path file; // the record-store file that holds it
    std::string sqlTable;       // its name inside the file
    bool fileExists = false;
    bool tableExists = false;
    long long records = -1;       // -1 when unknown (missing or unreadable)
    std::uintmax_t fileBytes = 0; // the whole file, shared by the tables in it
    std::string error;            // why the table could not be read; empty when it could
};

// Every record-store table of the data set, in dictionary order. Tables whose file
// is named by a program variable for one run (work, export and exchange files) are
// left out.
std::vector<TableSurvey> surveyTables(const DataSet& ds);

// Told how far a run has come ("Checking QD97.TPS", 0..100); false stops the run
// after the file at hand.
using ToolProgress = std::function<bool(int percent, const std::string& what)>;

// What a run did, a line per file or table, for the result report.
struct ToolReport {
    std::vector<std::string> lines;
    int problems = 0;       // files or tables found damaged or not repaired
    bool cancelled = false; // stopped through the progress
    bool refused = false;   // the folder is in use (repairs only); lines[0] says why
    std::string text() const;
};

// Checks each file with the store's own integrity check and each table's keys
// against its records. Changes nothing.
ToolReport verifyDataSet(const DataSet& ds, const ToolProgress& progress = {});

// Rebuilds every key of every table from its records.
ToolReport rebuildAllKeys(const DataSet& ds, const ToolProgress& progress = {});

// Rewrites each file without its free space; reports the sizes before and after.
ToolReport compactDataSet(const DataSet& ds, const ToolProgress& progress = {});

} // namespace qd
