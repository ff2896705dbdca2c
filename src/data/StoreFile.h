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
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace qd {

// The owner password of the encrypted tables.
inline constexpr const char* kOwnerPassword = "vrqm8@tzs";

// Result codes of store operations (the values the engine reports, so that a
// StoreError carries them unchanged). Code outside the store compares with
// these names only.
enum StoreCode : int {
    kStoreOk = 0,
    kStoreError = 1,
    kStoreAbort = 4,
    kStoreBusy = 5,
    kStoreLocked = 6,
    kStoreNoMemory = 7,
    kStoreReadOnly = 8,
    kStoreIoError = 10,
    kStoreCorrupt = 11,
    kStoreNotFound = 12,
    kStoreFull = 13,
    kStoreCantOpen = 14,
    kStoreSchema = 17,
    kStoreConstraint = 19,
    kStoreMisuse = 21,
    kStoreNotADatabase = 26,
    kStoreRow = 100,
    kStoreDone = 101,
};

// The primary code of an extended result code.
constexpr int primaryCode(int code) {
    return code & 0xff;
}

struct StoreError {
    int code = 0; // store (extended) result code; 0 = none
    std::string text;
    bool ok() const { return code == 0; }
    int primary() const { return primaryCode(code); }
};

// The text the store gives for a result code.
std::string storeCodeText(int code);

// A prepared statement in a StoreFile's cache (not owned: the file finalizes
// it). Empty when preparing failed.
class Query {
public:
    Query() = default;
    explicit Query(sqlite3_stmt* s) : stmt_(s) {}

    explicit operator bool() const { return stmt_ != nullptr; }

    void bind(int i, long long v);
    // The text is copied.
    void bind(int i, std::string_view v);
    // The text is used where it is: it must stay unchanged until the next reset.
    void bindRef(int i, const std::string& v);
    // kStoreRow, kStoreDone or an error code.
    int step();
    void reset();
    long long columnInt(int i) const;
    std::string columnText(int i) const;
    void columnText(int i, std::string& out) const;

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
    // `key`, the owner password when empty. Fails with an error for a missing
    // file without create, a file that is not a record-store file, or a wrong key.
    static std::unique_ptr<StoreFile> open(const std::filesystem::path& path, bool encrypted, bool create,
                                           StoreError& error, std::string_view key = {});

    const std::filesystem::path& path() const { return path_; }
    bool encrypted() const { return encrypted_; }

    // Cached prepared statement, reset and unbound; empty when preparing fails (see lastError()).
    Query prepare(const std::string& sql);
    int exec(const std::string& sql);
    StoreError lastError() const;
    // "wal" or "delete" (rollback journal), as the file runs now; "" when unreadable.
    std::string journalMode();
    // Makes the statement running on this connection (from another thread)
    // stop with an error; nothing when none runs.
    void interrupt();
    // The row id of the last insert, and the rows the last statement changed.
    long long lastInsertId() const;
    int changes() const;

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

    // "ok", or the first problems the store's own check finds.
    std::string integrityCheck();
    // The records of a table; -1 (error set) when they cannot be counted.
    long long countRecords(const std::string& sqlName, StoreError& error);
    // Rewrites the file without its free pages (VACUUM). Needs every other
    // connection to the file to be idle; fails with the store's error otherwise.
    bool compact(StoreError& error);
    // Copies the whole content over `to` (replacing what it holds) while other
    // processes keep working: a few pages at a time, starting again by itself
    // when the source changes.
    bool copyTo(StoreFile& to, StoreError& error);
    // Counts the rollbacks that took away tables created inside their
    // transaction: whoever remembers that a table exists must look again when
    // this moved.
    unsigned long tablesUndone() const { return tablesUndone_; }

    // Moves every committed change from the write-ahead log into the file.
    bool checkpoint(StoreError& error);
    // Writes the whole content into a new encrypted file `to` keyed with `key`
    // (the owner password when empty). This file is left as it is.
    bool exportTo(const std::filesystem::path& to, std::string_view key, StoreError& error);

private:
    StoreFile() = default;
    // Ready, IndexDamaged (a key disagrees with the records or cannot be read) or
    // Damaged (the records themselves cannot be read; error says why).
    TableState checkKeys(const TableDef& t, const std::string& sqlName, StoreError& error);
    static constexpr int kVersionUnreadable = -2;
    // The stored structure version; -1 when none is stored, kVersionUnreadable (error set) when it cannot be
    // read.
    int storedVersion(const std::string& sqlName, StoreError& error);
    // 1 when the table exists, 0 when not, -1 (error set) when that cannot be read.
    int lookUpTable(const std::string& sqlName, StoreError& error);
    int step(const char* sqlText);
    void setStoredVersion(const TableDef& t, const std::string& sqlName);

    std::filesystem::path path_;
    bool encrypted_ = false;
    sqlite3* db_ = nullptr;
    int depth_ = 0;
    std::unordered_map<std::string, sqlite3_stmt*> cache_;
    // Tables created inside a transaction that is still open: a rollback may
    // take them away again.
    std::set<std::string> provisional_;
    unsigned long tablesUndone_ = 0;
    void noteRollback();
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
