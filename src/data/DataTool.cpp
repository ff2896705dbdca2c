#include "data/DataTool.h"

#include "data/DataFolderLock.h"

#include <memory>
#include <system_error>

namespace qd {
namespace {

// The tables of one record-store file, in dictionary order.
struct FileGroup {
    std::filesystem::path file;
    bool encrypted = true;
    std::vector<std::pair<const TableDef*, std::string>> tables; // with their names in the file
};

// The record-store tables with a fixed home; the work, export and exchange files
// are named by a program variable for one run and are not the data set's.
bool listed(const TableDef& t) {
    return t.kind == TableKind::Store && t.storageVariable == nullptr;
}

std::vector<FileGroup> groupByFile(const DataSet& ds) {
    std::vector<FileGroup> groups;
    for (const TableDef* t : tables::all()) {
        if (!listed(*t)) continue;
        const TableLocation loc = ds.locate(*t);
        FileGroup* g = nullptr;
        for (FileGroup& existing : groups)
            if (existing.file == loc.file) g = &existing;
        if (!g) {
            groups.push_back(FileGroup{loc.file, t->encrypted, {}});
            g = &groups.back();
        }
        g->tables.emplace_back(t, loc.table);
    }
    return groups;
}

std::uintmax_t sizeOf(const std::filesystem::path& file) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(file, ec);
    return ec ? 0 : n;
}

bool fileThere(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::exists(file, ec);
}

std::string fileName(const std::filesystem::path& file) {
    return file.filename().string();
}

// Opens an existing file of the data set; nullptr with the reason in `error`.
std::unique_ptr<StoreFile> openExisting(const DataSet& ds, const FileGroup& g, StoreError& error) {
    return StoreFile::open(g.file, g.encrypted, false, error, ds.passphrase());
}

// Walks the files with progress; `work` does one file and says whether to go on.
template <class Work>
void eachFile(const DataSet& ds, ToolReport& report, const ToolProgress& progress, const char* verb,
              Work work) {
    const std::vector<FileGroup> groups = groupByFile(ds);
    for (std::size_t i = 0; i < groups.size(); ++i) {
        const FileGroup& g = groups[i];
        const int percent = static_cast<int>(i * 100 / groups.size());
        if (progress && !progress(percent, std::string(verb) + " " + fileName(g.file))) {
            report.cancelled = true;
            report.lines.push_back("Stopped before " + fileName(g.file));
            return;
        }
        if (!fileThere(g.file)) continue; // created when the program first uses it
        StoreError error;
        std::unique_ptr<StoreFile> f = openExisting(ds, g, error);
        if (!f) {
            ++report.problems;
            report.lines.push_back(fileName(g.file) + ": cannot be opened: " + error.text);
            continue;
        }
        work(g, *f);
    }
    if (progress) progress(100, "Done");
}

// The exclusive lock the repairs need; false (report refused) while the folder is in use.
bool lockForRepair(const DataSet& ds, DataFolderLock& lock, ToolReport& report) {
    std::string why;
    if (lock.acquire(ds.folder(), DataFolderLock::Mode::Exclusive, why)) return true;
    report.refused = true;
    report.lines.push_back(why);
    return false;
}

} // namespace

std::string ToolReport::text() const {
    std::string out;
    for (const std::string& l : lines)
        out += l + "\n";
    return out;
}

std::vector<TableSurvey> surveyTables(const DataSet& ds) {
    std::vector<TableSurvey> out;
    for (const FileGroup& g : groupByFile(ds)) {
        const bool present = fileThere(g.file);
        StoreError openError;
        std::unique_ptr<StoreFile> f = present ? openExisting(ds, g, openError) : nullptr;
        for (const auto& [def, sqlName] : g.tables) {
            TableSurvey s;
            s.def = def;
            s.file = g.file;
            s.sqlTable = sqlName;
            s.fileExists = present;
            s.fileBytes = present ? sizeOf(g.file) : 0;
            if (present && !f) s.error = openError.text;
            if (f) {
                StoreError error;
                s.tableExists = f->tableExists(sqlName);
                if (s.tableExists) {
                    s.records = f->countRecords(sqlName, error);
                    if (s.records < 0) s.error = error.text;
                }
            }
            out.push_back(std::move(s));
        }
    }
    return out;
}

ToolReport verifyDataSet(const DataSet& ds, const ToolProgress& progress) {
    ToolReport report;
    eachFile(ds, report, progress, "Checking", [&](const FileGroup& g, StoreFile& f) {
        const std::string integrity = f.integrityCheck();
        if (integrity == "ok") {
            report.lines.push_back(fileName(g.file) + ": file ok");
        } else {
            ++report.problems;
            report.lines.push_back(fileName(g.file) + ": file damaged: " + integrity);
        }
        for (const auto& [def, sqlName] : g.tables) {
            StoreError error;
            const std::string name = "  " + def->label + ": ";
            switch (f.inspect(*def, sqlName, error)) {
            case TableState::Ready: {
                const long long n = f.countRecords(sqlName, error);
                report.lines.push_back(name + std::to_string(n) + " records, keys agree with the records");
                break;
            }
            case TableState::Missing:
                report.lines.push_back(name + "not created yet");
                break;
            case TableState::NeedsUpgrade:
                report.lines.push_back(name + "older layout, upgraded when the program opens it");
                break;
            case TableState::IndexDamaged:
                ++report.problems;
                report.lines.push_back(name + "keys disagree with the records: rebuild the keys");
                break;
            case TableState::Damaged:
            case TableState::Newer:
                ++report.problems;
                report.lines.push_back(name + "cannot be read: " + error.text);
                break;
            }
        }
    });
    return report;
}

ToolReport rebuildAllKeys(const DataSet& ds, const ToolProgress& progress) {
    ToolReport report;
    DataFolderLock lock;
    if (!lockForRepair(ds, lock, report)) return report;
    eachFile(ds, report, progress, "Rebuilding keys of", [&](const FileGroup& g, StoreFile& f) {
        report.lines.push_back(fileName(g.file) + ":");
        for (const auto& [def, sqlName] : g.tables) {
            const std::string name = "  " + def->label + ": ";
            StoreError error;
            const TableState state = f.inspect(*def, sqlName, error);
            if (state == TableState::Missing) continue;
            // A layout this program does not write is left to the table's open operation.
            if (state == TableState::NeedsUpgrade || state == TableState::Newer) {
                report.lines.push_back(name + "not rebuilt: its layout must be upgraded first");
                if (state == TableState::Newer) ++report.problems;
                continue;
            }
            if (f.rebuildKeys(*def, sqlName, error)) {
                report.lines.push_back(name + "keys rebuilt");
            } else {
                ++report.problems;
                report.lines.push_back(name + "keys not rebuilt: " + error.text);
            }
        }
    });
    return report;
}

ToolReport compactDataSet(const DataSet& ds, const ToolProgress& progress) {
    ToolReport report;
    DataFolderLock lock;
    if (!lockForRepair(ds, lock, report)) return report;
    eachFile(ds, report, progress, "Compacting", [&](const FileGroup& g, StoreFile& f) {
        const std::uintmax_t before = sizeOf(g.file);
        StoreError error;
        if (!f.compact(error)) {
            ++report.problems;
            report.lines.push_back(fileName(g.file) + ": not compacted: " + error.text);
            return;
        }
        const std::uintmax_t after = sizeOf(g.file);
        report.lines.push_back(fileName(g.file) + ": " + std::to_string(before) + " bytes before, " +
                               std::to_string(after) + " after");
    });
    return report;
}

} // namespace qd
