#include "support/StoreFaults.h"

#include "data/Backup.h"
#include "data/StoreFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

namespace qdtest {
namespace fs = std::filesystem;

namespace {

sqlite3* openRaw(const fs::path& file) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return nullptr;
    }
    if (qd::isEncryptedStoreFile(file)) {
        sqlite3_key(db, qd::kOwnerPassword,
                    static_cast<int>(std::char_traits<char>::length(qd::kOwnerPassword)));
        sqlite3_exec(db, "PRAGMA cipher_page_size = 4096", nullptr, nullptr, nullptr);
    }
    return db;
}

std::vector<std::string> column0(sqlite3* db, const std::string& q) {
    std::vector<std::string> out;
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) != SQLITE_OK)
        return {"cannot run " + q + ": " + sqlite3_errmsg(db)};
    while (sqlite3_step(s) == SQLITE_ROW) {
        const auto* p = sqlite3_column_text(s, 0);
        out.emplace_back(p ? reinterpret_cast<const char*>(p) : "");
    }
    sqlite3_finalize(s);
    return out;
}

std::vector<fs::path> storeFiles(const fs::path& folder) {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file() && e.path().extension() == ".TPS") files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
}

void copyFolder(const fs::path& from, const fs::path& to) {
    for (const auto& f : fs::directory_iterator(from))
        if (f.is_regular_file())
            fs::copy_file(f.path(), to / f.path().filename(), fs::copy_options::overwrite_existing);
}

// The first line where two dumps differ, for the report.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    const std::size_t lineStart = a.rfind('\n', i == 0 ? 0 : i - 1);
    const std::size_t from = lineStart == std::string::npos ? 0 : lineStart + 1;
    auto line = [&](const std::string& s) {
        const std::size_t end = s.find('\n', from);
        return from >= s.size() ? std::string("(end)")
                                : s.substr(from, std::min<std::size_t>(end - from, 160));
    };
    return "'" + line(a) + "' instead of '" + line(b) + "'";
}

} // namespace

std::string dumpDataSet(const fs::path& folder) {
    std::string out;
    for (const auto& file : storeFiles(folder)) {
        out += "== " + file.filename().string() + "\n";
        sqlite3* db = openRaw(file);
        if (!db) {
            out += "(cannot open)\n";
            continue;
        }
        for (const std::string& table :
             column0(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name")) {
            out += "-- " + table + "\n";
            sqlite3_stmt* s = nullptr;
            const std::string q = "SELECT * FROM " + qd::sql::quote(table) + " ORDER BY rowid";
            if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) != SQLITE_OK) {
                out += "(cannot read: " + std::string(sqlite3_errmsg(db)) + ")\n";
                continue;
            }
            while (sqlite3_step(s) == SQLITE_ROW) {
                for (int c = 0; c < sqlite3_column_count(s); ++c) {
                    if (std::string_view(sqlite3_column_name(s, c)) == "_rev") continue;
                    const auto* p = sqlite3_column_text(s, c);
                    out += p ? reinterpret_cast<const char*>(p) : "NULL";
                    out += '|';
                }
                out += '\n';
            }
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
    }
    return out;
}

std::string checkDataSet(const fs::path& folder) {
    std::string problems;
    for (const auto& file : storeFiles(folder)) {
        sqlite3* db = openRaw(file);
        const std::vector<std::string> r =
            db ? column0(db, "PRAGMA integrity_check") : std::vector<std::string>{"cannot open"};
        sqlite3_close(db);
        if (r.size() != 1 || r[0] != "ok") {
            problems += file.filename().string() + ":";
            for (const auto& line : r)
                problems += " " + line;
            problems += "\n";
        }
    }
    return problems.empty() ? "ok" : problems;
}

FaultSweep sweepFaults(const FaultOperation& op, const std::vector<FaultKind>& kinds) {
    FaultVfs::install();
    FaultSweep sweep;
    TempDir original;
    {
        qd::ScriptedUserInterface ui;
        qd::ErrorClass errors(&ui);
        qd::DataSet ds(original.path(), errors);
        op.prepare(ds);
    }
    const std::string before = dumpDataSet(original.path());
    if (before.find("(cannot") != std::string::npos)
        sweep.problems.push_back(op.name + ": cannot read the data: " + before);

    std::string after;
    {
        TempDir work;
        copyFolder(original.path(), work.path());
        qd::ScriptedUserInterface ui;
        qd::ErrorClass errors(&ui);
        bool ok = false;
        {
            qd::DataSet ds(work.path(), errors);
            FaultVfs::disarm();
            ok = op.run(ds);
            sweep.calls = FaultVfs::counts();
        }
        if (!ok) sweep.problems.push_back(op.name + ": fails without a fault");
        after = dumpDataSet(work.path());
        if (after == before) sweep.problems.push_back(op.name + ": changes nothing");
    }

    for (FaultKind kind : kinds) {
        const long long calls = sweep.calls.of(kind);
        for (long long n = 1; n <= calls; ++n) {
            TempDir work;
            copyFolder(original.path(), work.path());
            qd::ScriptedUserInterface ui;
            qd::ErrorClass errors(&ui);
            bool ok = false;
            {
                qd::DataSet ds(work.path(), errors);
                FaultVfs::arm(kind, n);
                ok = op.run(ds);
                sweep.injected += FaultVfs::injected();
                FaultVfs::disarm();
            }
            ++sweep.runs;
            const std::string where = op.name + ", " + toString(kind) + " #" + std::to_string(n) + ": ";
            const std::string now = dumpDataSet(work.path());
            const std::string check = checkDataSet(work.path());
            if (check != "ok") sweep.problems.push_back(where + "check failed: " + check);
            if (ok) {
                if (now == after)
                    ++sweep.completed;
                else
                    sweep.problems.push_back(where + "reported success but the data is not complete: " +
                                             firstDifference(now, after) +
                                             (ui.shown.empty() ? ""
                                                               : "; shown: " + ui.shown.back().title + ": " +
                                                                     ui.shown.back().text));
                continue;
            }
            if (ui.shown.empty()) sweep.problems.push_back(where + "failed without a message");
            if (now == before)
                ++sweep.unchanged;
            else if (now == after)
                ++sweep.reportedButKept;
            else
                sweep.problems.push_back(where + "left a half change: " + firstDifference(now, after));
        }
    }
    return sweep;
}

void expectAllOrNothing(const FaultSweep& sweep) {
    for (const auto& p : sweep.problems)
        ADD_FAILURE() << p;
    EXPECT_GT(sweep.runs, 0);
    EXPECT_EQ(sweep.completed + sweep.unchanged + sweep.reportedButKept, sweep.runs);
}

} // namespace qdtest
