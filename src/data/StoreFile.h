// One record-store file on disk: an SQLCipher database that holds one table
// (single-table files) or several (containers such as QD97.TPS).
//
// Each table is an SQL table with a hidden row id "_rid" (store order) and a
// change stamp "_rev" (a new random value on every write, used to detect that
// another process changed a record since it was read), followed by one column per
// value field. Keys are indexes; a key that leaves out empty records is a partial
// index. A table "_qd_tables" records the structure version of every table.
#pragma once

#include "data/TableDefs.h"

#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace qd {

// The owner password of the encrypted tables.
inline constexpr const char* kOwnerPassword = "vrqm8@tzs";

struct StoreError {
    int code = 0; // SQLite (extended) result code; 0 = none
    std::string text;
    bool ok() const { return code == 0; }
};

// A prepared statement owned by a StoreFile's cache; reset when released.
class Statement {
public:
    Statement() = default;
    explicit Statement(sqlite3_stmt* s) : stmt_(s) {}
    ~Statement();
    Statement(Statement&& o) noexcept : stmt_(o.stmt_) { o.stmt_ = nullptr; }
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    explicit operator bool() const { return stmt_ != nullptr; }

    void bind(int i, long long v);
    void bind(int i, const std::string& v);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    void reset();
    long long columnInt(int i) const;
    std::string columnText(int i) const;
    bool columnIsNull(int i) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
};

enum class TableState { Ready, Missing, IndexDamaged, Damaged, NeedsUpgrade, Newer };

class StoreFile {
public:
    ~StoreFile();
    StoreFile(const StoreFile&) = delete;
    StoreFile& operator=(const StoreFile&) = delete;

    // Opens (and with create, creates) the file. Encrypted files are keyed with
    // the owner password. Fails with an error for a missing file without create,
    // a file that is not a record-store file, or a wrong key.
    static std::unique_ptr<StoreFile> open(const std::filesystem::path& path, bool encrypted, bool create,
                                           StoreError& error);

    const std::filesystem::path& path() const { return path_; }
    bool encrypted() const { return encrypted_; }
    sqlite3* db() const { return db_; }

    // Cached prepared statement; an empty Statement when preparing fails (see lastError()).
    sqlite3_stmt* prepare(const std::string& sql);
    int exec(const std::string& sql);
    StoreError lastError() const;

    // Nested write transactions: the outermost is BEGIN IMMEDIATE, inner ones savepoints.
    int begin();
    int commit();
    void rollback();
    int depth() const { return depth_; }
    // For one record operation: a write transaction of its own when none is
    // open, else nothing (the open transaction covers it; a savepoint per record
    // would copy every touched page to a statement journal). `owned` says which.
    int beginOperation(bool& owned);
    // Commits (success) or rolls back the operation's own transaction.
    int endOperation(bool owned, bool success);

    // Checks the table inside this file against its declaration and creates it when missing.
    TableState inspect(const TableDef& t, const std::string& sqlName, StoreError& error);
    bool createTable(const TableDef& t, const std::string& sqlName, StoreError& error);
    // Converts a stored older layout to the declared one, matching fields by name.
    bool upgradeTable(const TableDef& t, const std::string& sqlName, StoreError& error);
    // Rebuilds every index of the table from its records.
    bool rebuildKeys(const TableDef& t, const std::string& sqlName, StoreError& error);
    bool tableExists(const std::string& sqlName);

private:
    StoreFile() = default;
    // Ready, IndexDamaged (a key disagrees with the records or cannot be read) or
    // Damaged (the records themselves cannot be read; error says why).
    TableState checkKeys(const TableDef& t, const std::string& sqlName, StoreError& error);
    int storedVersion(const std::string& sqlName);
    int step(const char* sqlText);
    void setStoredVersion(const TableDef& t, const std::string& sqlName);

    std::filesystem::path path_;
    bool encrypted_ = false;
    sqlite3* db_ = nullptr;
    int depth_ = 0;
    std::unordered_map<std::string, sqlite3_stmt*> cache_;
};

// SQL pieces shared by the store and its tests.
namespace sql {
std::string quote(std::string_view identifier);
std::string columnName(const TableDef& t, int valueIndex);
std::string indexName(const std::string& sqlName, const KeyDef& k);
// "c1 COLLATE NOCASE DESC, c2" for ORDER BY (reverse flips every direction).
std::string orderBy(const TableDef& t, const KeyDef& k, bool reverse);
// Condition that keeps records with at least one non-empty component ("" when the key keeps them all).
std::string notEmpty(const TableDef& t, const KeyDef& k);
std::string createIndex(const TableDef& t, const std::string& sqlName, const KeyDef& k);
} // namespace sql

} // namespace qd
