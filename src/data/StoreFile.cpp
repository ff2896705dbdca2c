#include "data/StoreFile.h"
#include "data/Text.h"

#include "data/FileModes.h"
#include "data/FolderJournal.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <set>
#include <system_error>
#include <thread>

namespace qd {

static_assert(kStoreOk == SQLITE_OK && kStoreError == SQLITE_ERROR && kStoreAbort == SQLITE_ABORT &&
              kStoreBusy == SQLITE_BUSY && kStoreLocked == SQLITE_LOCKED && kStoreNoMemory == SQLITE_NOMEM &&
              kStoreReadOnly == SQLITE_READONLY && kStoreIoError == SQLITE_IOERR &&
              kStoreCorrupt == SQLITE_CORRUPT && kStoreNotFound == SQLITE_NOTFOUND &&
              kStoreFull == SQLITE_FULL && kStoreCantOpen == SQLITE_CANTOPEN &&
              kStoreSchema == SQLITE_SCHEMA && kStoreConstraint == SQLITE_CONSTRAINT &&
              kStoreMisuse == SQLITE_MISUSE && kStoreNotADatabase == SQLITE_NOTADB &&
              kStoreRow == SQLITE_ROW && kStoreDone == SQLITE_DONE);

std::string storeCodeText(int code) {
    return sqlite3_errstr(code);
}

// ---------------------------------------------------------------------------
// Query

void Query::bind(int i, long long v) {
    sqlite3_bind_int64(stmt_, i, v);
}
void Query::bind(int i, std::string_view v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}
void Query::bindRef(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
}
int Query::step() {
    return sqlite3_step(stmt_);
}
void Query::reset() {
    sqlite3_reset(stmt_);
}
long long Query::columnInt(int i) const {
    return sqlite3_column_int64(stmt_, i);
}
void Query::columnText(int i, std::string& out) const {
    const auto* p = sqlite3_column_text(stmt_, i);
    if (p)
        out.assign(reinterpret_cast<const char*>(p),
                   static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i)));
    else
        out.clear();
}
std::string Query::columnText(int i) const {
    std::string out;
    columnText(i, out);
    return out;
}

// ---------------------------------------------------------------------------
// SQL pieces

namespace sql {

std::string quote(std::string_view identifier) {
    std::string out = "\"";
    for (char c : identifier) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string columnName(const TableDef& t, int valueIndex) {
    return quote(t.field(valueIndex).name);
}

std::string indexName(const std::string& /*sqlName*/, const KeyDef& k) {
    return quote(k.name);
}

static bool isText(FieldType ft) {
    return ft == FieldType::String || ft == FieldType::CString || ft == FieldType::Memo;
}

static bool allDescending(const KeyDef& k) {
    return !k.components.empty() && std::all_of(k.components.begin(), k.components.end(),
                                                [](const KeyComponent& c) { return c.descending; });
}

std::string orderBy(const TableDef& t, const KeyDef& k, bool reverse) {
    std::string out;
    for (const auto& c : k.components) {
        out += columnName(t, c.field);
        if (k.noCase && isText(t.field(c.field).type)) out += " COLLATE NOCASE";
        if (c.descending != reverse) out += " DESC";
        out += ", ";
    }
    out += "\"_rid\"";
    if (allDescending(k) != reverse) out += " DESC";
    return out;
}

std::string notEmpty(const TableDef& t, const KeyDef& k) {
    if (!k.excludeEmpty || k.components.empty()) return "";
    std::string out = "(";
    for (std::size_t i = 0; i < k.components.size(); ++i) {
        if (i) out += " OR ";
        out += columnName(t, k.components[i].field);
        out += isText(t.field(k.components[i].field).type) ? "<>''" : "<>0";
    }
    return out + ")";
}

std::string createIndex(const TableDef& t, const std::string& sqlName, const KeyDef& k) {
    std::string s = k.unique ? "CREATE UNIQUE INDEX IF NOT EXISTS " : "CREATE INDEX IF NOT EXISTS ";
    s += indexName(sqlName, k) + " ON " + quote(sqlName) + " (";
    for (std::size_t i = 0; i < k.components.size(); ++i) {
        const auto& c = k.components[i];
        if (i) s += ", ";
        s += columnName(t, c.field);
        if (k.noCase && isText(t.field(c.field).type)) s += " COLLATE NOCASE";
        if (c.descending) s += " DESC";
    }
    s += ")";
    const std::string where = notEmpty(t, k);
    if (!where.empty()) s += " WHERE " + where;
    return s;
}

} // namespace sql

// ---------------------------------------------------------------------------
// StoreFile

namespace {

StoreError errorOf(sqlite3* db, int rc) {
    StoreError e;
    e.code = db ? sqlite3_extended_errcode(db) : rc;
    if (e.code == 0) e.code = rc;
    e.text = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    return e;
}

// Waits for a lock another connection holds, for up to 5 seconds. The store's
// own waiting sleeps longer and longer (up to 100 ms), which lets a process that
// writes one record after another (each commit synced to disk, the lock held
// nearly all the time) keep the lock for many seconds; looking again every
// fraction of a millisecond finds the short gaps between its transactions.
int waitForLock(void*, int attempt) {
    using Clock = std::chrono::steady_clock;
    thread_local Clock::time_point since;
    thread_local std::minstd_rand jitter{std::random_device{}()};
    if (attempt == 0) since = Clock::now();
    if (Clock::now() - since >= std::chrono::seconds(5)) return 0;
    const int micros = attempt < 20 ? 50 : 200 + static_cast<int>(jitter() % 600);
    std::this_thread::sleep_for(std::chrono::microseconds(micros));
    return 1;
}

std::string columnDefinitions(const TableDef& t) {
    std::string s = "\"_rid\" INTEGER PRIMARY KEY, \"_rev\" INTEGER NOT NULL DEFAULT 0";
    for (int i = 0; i < t.valueCount(); ++i) {
        s += ", " + sql::columnName(t, i);
        s += sql::isText(t.field(i).type) ? " TEXT NOT NULL DEFAULT ''" : " INTEGER NOT NULL DEFAULT 0";
    }
    return s;
}

} // namespace

StoreFile::~StoreFile() {
    for (auto& [sqlText, stmt] : cache_)
        sqlite3_finalize(stmt);
    if (db_) sqlite3_close_v2(db_);
}

std::unique_ptr<StoreFile> StoreFile::open(const std::filesystem::path& path, bool encrypted, bool create,
                                           StoreError& error, std::string_view key) {
    error = {};
    std::error_code ec;
    const bool existed = std::filesystem::exists(path, ec);
    if (!existed && !create) {
        error = {SQLITE_CANTOPEN, "File Not Found"};
        return nullptr;
    }
    if (existed && !std::filesystem::is_regular_file(path, ec)) {
        error = {SQLITE_CANTOPEN, "Not a file"};
        return nullptr;
    }
    if (!existed) {
        // Made here rather than by the store so that it has the folder's
        // permissions from the start; its journal files take the same.
        std::string why;
        if (!createFileWithFolderMode(path, why)) {
            error = {SQLITE_CANTOPEN, why};
            return nullptr;
        }
    }
    std::unique_ptr<StoreFile> f(new StoreFile());
    f->path_ = path;
    f->encrypted_ = encrypted;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_FULLMUTEX;
    int rc = sqlite3_open_v2(path.c_str(), &f->db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        error = errorOf(f->db_, rc);
        return nullptr;
    }
    sqlite3_extended_result_codes(f->db_, 1);
    if (encrypted) {
        if (key.empty()) key = kOwnerPassword;
        rc = sqlite3_key(f->db_, key.data(), static_cast<int>(key.size()));
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(f->db_, "PRAGMA cipher_page_size = 4096", nullptr, nullptr, nullptr);
    } else {
        rc = sqlite3_exec(f->db_, "PRAGMA page_size = 4096", nullptr, nullptr, nullptr);
    }
    // A record lock held by another process is waited for up to 5 seconds.
    sqlite3_busy_handler(f->db_, waitForLock, nullptr);
    // Reading the schema proves the file is a record-store file with the right key.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(f->db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    // Write-ahead log on a local disk; a rollback journal with the file system's
    // locks where processes on other machines may share the file.
    const JournalChoice journal = journalFor(path.has_parent_path() ? path.parent_path() : ".");
    if (rc == SQLITE_OK) {
        rc = sqlite3_exec(f->db_,
                          journal.rollback() ? "PRAGMA journal_mode = DELETE" : "PRAGMA journal_mode = WAL",
                          nullptr, nullptr, nullptr);
        // Leaving the log needs the file to itself: while a process that still
        // runs it in WAL mode has it open, the mode stays. Going on would put
        // that mode's shared index on the network, so the open fails.
        if (journal.rollback() && f->journalMode() == "wal") {
            const std::string where =
                journal.reason == kJournalMarkerFile
                    ? std::string("marked for a rollback journal (") + kJournalMarkerFile + ")"
                    : "on " + journal.reason;
            error = {SQLITE_BUSY, "the data folder is " + where + " and another program still uses " +
                                      path.filename().string() +
                                      " with a write-ahead log; close the programs that use this data "
                                      "folder and start again"};
            return nullptr;
        }
    }
    // The encrypted files hold the tasks, their scripts, history and settings: a
    // commit is on disk before it returns (FULL), so a power cut cannot undo a
    // task's advance that was already acted on. The plain single-table files
    // (message links, work and exchange files) can be made again and keep the
    // cheaper NORMAL, which after a power cut may lose the last commits (never
    // corrupting the file).
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(f->db_, encrypted ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL",
                          nullptr, nullptr, nullptr);
    // Up to 32 MB of pages kept decrypted: a list filter or query that the
    // indexes cannot narrow reads the whole task table, and with the default
    // 2 MB every such read decrypts it again (100,000 tasks: 0.83 s each time
    // instead of 0.06 s). Only pages actually read take memory.
    if (rc == SQLITE_OK) rc = sqlite3_exec(f->db_, "PRAGMA cache_size = -32768", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(f->db_,
                          "CREATE TABLE IF NOT EXISTS \"_qd_tables\" (name TEXT PRIMARY KEY COLLATE NOCASE, "
                          "label TEXT NOT NULL, version INTEGER NOT NULL)",
                          nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        error = errorOf(f->db_, rc);
        if (!existed) {
            f.reset();
            std::filesystem::remove(path, ec);
        }
        return nullptr;
    }
    return f;
}

Query StoreFile::prepare(const std::string& sqlText) {
    auto it = cache_.find(sqlText);
    if (it != cache_.end()) {
        sqlite3_reset(it->second);
        sqlite3_clear_bindings(it->second);
        return Query(it->second);
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sqlText.c_str(), static_cast<int>(sqlText.size()), &stmt, nullptr) !=
        SQLITE_OK)
        return Query();
    cache_.emplace(sqlText, stmt);
    return Query(stmt);
}

long long StoreFile::lastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

int StoreFile::changes() const {
    return sqlite3_changes(db_);
}

int StoreFile::exec(const std::string& sqlText) {
    return sqlite3_exec(db_, sqlText.c_str(), nullptr, nullptr, nullptr);
}

void StoreFile::interrupt() {
    if (db_) sqlite3_interrupt(db_);
}

std::string StoreFile::journalMode() {
    Query s = prepare("PRAGMA journal_mode");
    if (!s) return {};
    std::string mode;
    if (s.step() == SQLITE_ROW) mode = text::lowerAscii(s.columnText(0));
    s.reset();
    return mode;
}

StoreError StoreFile::lastError() const {
    return errorOf(db_, sqlite3_errcode(db_));
}

int StoreFile::step(const char* sqlText) {
    Query s = prepare(sqlText);
    if (!s) return sqlite3_errcode(db_);
    const int rc = s.step();
    s.reset();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
}

int StoreFile::beginOperation(bool& owned) {
    owned = false;
    if (depth_ > 0) return SQLITE_OK;
    const int rc = step("BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) return rc;
    depth_ = 1;
    owned = true;
    return SQLITE_OK;
}

int StoreFile::endOperation(bool owned, bool success) {
    if (!owned) return SQLITE_OK;
    if (success) {
        const int rc = step("COMMIT");
        if (rc == SQLITE_OK) {
            depth_ = 0;
            return rc;
        }
    }
    step("ROLLBACK");
    depth_ = 0;
    noteRollback();
    return success ? SQLITE_ABORT : SQLITE_OK;
}

void StoreFile::noteRollback() {
    if (provisional_.empty()) return;
    provisional_.clear();
    ++tablesUndone_;
}

int StoreFile::begin() {
    if (depth_ == 0) {
        const int rc = step("BEGIN IMMEDIATE");
        if (rc == SQLITE_OK) ++depth_;
        return rc;
    }
    const int rc = exec("SAVEPOINT qd" + std::to_string(depth_));
    if (rc == SQLITE_OK) ++depth_;
    return rc;
}

int StoreFile::commit() {
    if (depth_ == 0) return SQLITE_MISUSE;
    const int rc = depth_ == 1 ? step("COMMIT") : exec("RELEASE qd" + std::to_string(depth_ - 1));
    if (rc == SQLITE_OK) --depth_;
    if (rc == SQLITE_OK && depth_ == 0) provisional_.clear(); // the tables are there to stay
    return rc;
}

void StoreFile::rollback() {
    if (depth_ == 0) return;
    if (depth_ == 1) {
        step("ROLLBACK");
    } else {
        const std::string sp = "qd" + std::to_string(depth_ - 1);
        exec("ROLLBACK TO " + sp);
        exec("RELEASE " + sp);
    }
    --depth_;
    noteRollback();
}

bool StoreFile::tableExists(const std::string& sqlName) {
    StoreError ignored;
    return lookUpTable(sqlName, ignored) == 1;
}

int StoreFile::lookUpTable(const std::string& sqlName, StoreError& error) {
    Query s = prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE");
    if (!s) {
        error = lastError();
        return -1;
    }
    s.bind(1, sqlName);
    const int rc = s.step();
    s.reset();
    if (rc == SQLITE_ROW) return 1;
    if (rc == SQLITE_DONE) return 0;
    error = errorOf(db_, rc);
    return -1;
}

int StoreFile::storedVersion(const std::string& sqlName, StoreError& error) {
    Query s = prepare("SELECT version FROM \"_qd_tables\" WHERE name=?");
    if (!s) {
        error = lastError();
        return kVersionUnreadable;
    }
    s.bind(1, sqlName);
    int v = -1;
    const int rc = s.step();
    if (rc == SQLITE_ROW) v = static_cast<int>(s.columnInt(0));
    s.reset();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) {
        error = errorOf(db_, rc);
        return kVersionUnreadable;
    }
    return v;
}

void StoreFile::setStoredVersion(const TableDef& t, const std::string& sqlName) {
    Query s = prepare("INSERT OR REPLACE INTO \"_qd_tables\" (name, label, version) VALUES (?, ?, ?)");
    if (!s) return;
    s.bind(1, sqlName);
    s.bind(2, t.label);
    s.bind(3, static_cast<long long>(t.version));
    s.step();
    s.reset();
}

bool StoreFile::createTable(const TableDef& t, const std::string& sqlName, StoreError& error) {
    if (depth_ > 0) provisional_.insert(sqlName); // stays only if the caller's transaction commits
    if (begin() != SQLITE_OK) {
        error = lastError();
        return false;
    }
    bool ok = exec("CREATE TABLE IF NOT EXISTS " + sql::quote(sqlName) + " (" + columnDefinitions(t) + ")") ==
              SQLITE_OK;
    for (const auto& k : t.keys)
        if (ok) ok = exec(sql::createIndex(t, sqlName, k)) == SQLITE_OK;
    if (ok) setStoredVersion(t, sqlName);
    if (!ok) {
        error = lastError();
        rollback();
        return false;
    }
    if (commit() != SQLITE_OK) {
        error = lastError();
        rollback();
        return false;
    }
    return true;
}

namespace {

// The column names; `ok` false when they could not be read (an empty list is
// then no evidence of anything).
std::vector<std::string> tableColumns(sqlite3* db, const std::string& sqlName, bool& ok) {
    std::vector<std::string> cols;
    sqlite3_stmt* s = nullptr;
    const std::string q = "PRAGMA table_info(" + sql::quote(sqlName) + ")";
    ok = false;
    if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) != SQLITE_OK) return cols;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        cols.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)));
    sqlite3_finalize(s);
    ok = rc == SQLITE_DONE && !cols.empty();
    return cols;
}

std::set<std::string> indexNames(sqlite3* db, const std::string& sqlName, bool& ok) {
    std::set<std::string> names;
    sqlite3_stmt* s = nullptr;
    const std::string q =
        "SELECT name, sql FROM sqlite_master WHERE type='index' AND tbl_name=? COLLATE NOCASE";
    ok = false;
    if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) != SQLITE_OK) return names;
    sqlite3_bind_text(s, 1, sqlName.c_str(), -1, SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const auto* sqlText = sqlite3_column_text(s, 1);
        // Keep the definition so that a changed key counts as a different one.
        names.insert(std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))) + "|" +
                     (sqlText ? reinterpret_cast<const char*>(sqlText) : ""));
    }
    sqlite3_finalize(s);
    ok = rc == SQLITE_DONE;
    return names;
}

// Failures of the moment (disk, locks, memory) rather than of the file's content.
bool isTransient(int code) {
    switch (code & 0xff) {
    case SQLITE_IOERR:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_NOMEM:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_INTERRUPT:
        return true;
    default:
        return false;
    }
}

} // namespace

TableState StoreFile::checkKeys(const TableDef& t, const std::string& sqlName, StoreError& error) {
    auto count = [&](const std::string& q, long long& n) {
        sqlite3_stmt* s = nullptr;
        bool ok =
            sqlite3_prepare_v2(db_, q.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW;
        if (ok)
            n = sqlite3_column_int64(s, 0);
        else
            error = lastError();
        sqlite3_finalize(s);
        return ok;
    };
    const std::string base = "SELECT count(*) FROM " + sql::quote(sqlName);
    // All counts must see one snapshot: other processes may be writing.
    const bool ownTransaction = depth_ == 0 && exec("BEGIN") == SQLITE_OK;
    struct EndRead {
        StoreFile* f;
        bool active;
        ~EndRead() {
            if (active) f->exec("COMMIT");
        }
    } endRead{this, ownTransaction};
    // The records are read once, counting for every key the records it should
    // hold (a key that leaves out empty values holds fewer); then each key is
    // counted through its index alone. A table of 100,000 tasks is read once,
    // not once per key.
    std::vector<long long> viaTable(t.keys.size(), 0);
    {
        std::string q = "SELECT count(*)";
        for (const auto& k : t.keys) {
            const std::string where = sql::notEmpty(t, k);
            q += where.empty() ? ", count(*)" : ", sum(CASE WHEN " + where + " THEN 1 ELSE 0 END)";
        }
        q += " FROM " + sql::quote(sqlName) + " NOT INDEXED";
        sqlite3_stmt* s = nullptr;
        const bool ok =
            sqlite3_prepare_v2(db_, q.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW;
        if (ok)
            for (std::size_t i = 0; i < t.keys.size(); ++i)
                viaTable[i] = sqlite3_column_int64(s, static_cast<int>(i) + 1);
        else
            error = lastError();
        sqlite3_finalize(s);
        if (!ok) return TableState::Damaged;
    }
    for (std::size_t i = 0; i < t.keys.size(); ++i) {
        const auto& k = t.keys[i];
        const std::string where = sql::notEmpty(t, k);
        const std::string w = where.empty() ? "" : " WHERE " + where;
        long long viaIndex = 0;
        const bool counted = count(base + " INDEXED BY " + sql::indexName(sqlName, k) + w, viaIndex);
        if (!counted && isTransient(error.code)) return TableState::Damaged;
        if (!counted || viaIndex != viaTable[i]) {
            if (error.ok()) error = {SQLITE_CORRUPT, "Key " + k.name + " does not match the records"};
            return TableState::IndexDamaged;
        }
    }
    return TableState::Ready;
}

TableState StoreFile::inspect(const TableDef& t, const std::string& sqlName, StoreError& error) {
    error = {};
    // A failing read proves nothing about the table: it is reported, never
    // taken for a missing or an older table (which would be made or rewritten).
    const int exists = lookUpTable(sqlName, error);
    if (exists < 0) return TableState::Damaged;
    if (exists == 0) return TableState::Missing;
    const int version = storedVersion(sqlName, error);
    if (version == kVersionUnreadable) return TableState::Damaged;
    if (version > t.version) {
        error = {SQLITE_SCHEMA, "Stored structure version " + std::to_string(version) + " of " + t.label +
                                    " is newer than this program's " + std::to_string(t.version)};
        return TableState::Newer;
    }
    bool read = false;
    std::vector<std::string> have = tableColumns(db_, sqlName, read);
    if (!read) {
        error = lastError();
        if (error.ok()) error = {SQLITE_IOERR, "The columns of " + t.label + " cannot be read"};
        return TableState::Damaged;
    }
    std::vector<std::string> want = {"_rid", "_rev"};
    for (int i = 0; i < t.valueCount(); ++i)
        want.push_back(t.field(i).name);
    std::transform(have.begin(), have.end(), have.begin(),
                   [](const std::string& s) { return text::lowerAscii(s); });
    std::transform(want.begin(), want.end(), want.begin(),
                   [](const std::string& s) { return text::lowerAscii(s); });
    if (version < t.version || have != want) return TableState::NeedsUpgrade;
    std::set<std::string> expected;
    for (const auto& k : t.keys) {
        std::string def = sql::createIndex(t, sqlName, k);
        // sqlite_master holds the statement without "IF NOT EXISTS".
        const auto pos = def.find(" IF NOT EXISTS");
        def.erase(pos, 14);
        expected.insert(k.name + "|" + def);
    }
    const std::set<std::string> stored = indexNames(db_, sqlName, read);
    if (!read) {
        error = lastError();
        if (error.ok()) error = {SQLITE_IOERR, "The keys of " + t.label + " cannot be read"};
        return TableState::Damaged;
    }
    if (stored != expected) return TableState::NeedsUpgrade;
    return checkKeys(t, sqlName, error);
}

bool StoreFile::upgradeTable(const TableDef& t, const std::string& sqlName, StoreError& error) {
    bool read = false;
    const std::vector<std::string> have = tableColumns(db_, sqlName, read);
    if (!read) {
        // Without the stored columns nothing could be carried over.
        error = lastError();
        if (error.ok()) error = {SQLITE_IOERR, "The columns of " + t.label + " cannot be read"};
        return false;
    }
    auto haveColumn = [&](std::string_view name) -> std::string {
        for (const auto& h : have)
            if (equalsNoCase(h, name)) return h;
        return {};
    };
    const std::string tmp = sqlName + "__upgrade";
    std::string into = "\"_rid\", \"_rev\"";
    std::string from = haveColumn("_rid").empty() ? "rowid" : "\"_rid\"";
    from += haveColumn("_rev").empty() ? ", abs(random())" : ", \"_rev\"";
    for (int i = 0; i < t.valueCount(); ++i) {
        const FieldDef& f = t.field(i);
        std::string src = haveColumn(f.name);
        if (src.empty()) {
            for (const auto& [oldName, newName] : t.renames)
                if (equalsNoCase(newName, f.name)) src = haveColumn(oldName);
        }
        if (src.empty()) continue;
        into += ", " + sql::quote(f.name);
        if (sql::isText(f.type))
            from += ", coalesce(CAST(" + sql::quote(src) + " AS TEXT), '')";
        else
            from += ", coalesce(CAST(" + sql::quote(src) + " AS INTEGER), 0)";
    }
    if (begin() != SQLITE_OK) {
        error = lastError();
        return false;
    }
    bool ok = exec("DROP TABLE IF EXISTS " + sql::quote(tmp)) == SQLITE_OK &&
              exec("CREATE TABLE " + sql::quote(tmp) + " (" + columnDefinitions(t) + ")") == SQLITE_OK &&
              exec("INSERT INTO " + sql::quote(tmp) + " (" + into + ") SELECT " + from + " FROM " +
                   sql::quote(sqlName)) == SQLITE_OK &&
              exec("DROP TABLE " + sql::quote(sqlName)) == SQLITE_OK &&
              exec("ALTER TABLE " + sql::quote(tmp) + " RENAME TO " + sql::quote(sqlName)) == SQLITE_OK;
    for (const auto& k : t.keys)
        if (ok) ok = exec(sql::createIndex(t, sqlName, k)) == SQLITE_OK;
    if (!ok) {
        error = lastError();
        rollback();
        return false;
    }
    setStoredVersion(t, sqlName);
    if (commit() != SQLITE_OK) {
        error = lastError();
        rollback();
        return false;
    }
    return true;
}

bool StoreFile::rebuildKeys(const TableDef& t, const std::string& sqlName, StoreError& error) {
    if (begin() != SQLITE_OK) {
        error = lastError();
        return false;
    }
    bool ok = true;
    for (const auto& k : t.keys) {
        if (exec("REINDEX " + sql::indexName(sqlName, k)) == SQLITE_OK) continue;
        // An index whose pages cannot be read at all is dropped and made anew.
        ok = exec("DROP INDEX IF EXISTS " + sql::indexName(sqlName, k)) == SQLITE_OK &&
             exec(sql::createIndex(t, sqlName, k)) == SQLITE_OK;
        if (!ok) break;
    }
    if (!ok) {
        error = lastError();
        rollback();
        return false;
    }
    if (commit() != SQLITE_OK) {
        error = lastError();
        rollback();
        return false;
    }
    return checkKeys(t, sqlName, error) == TableState::Ready;
}

std::string StoreFile::integrityCheck() {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, "PRAGMA integrity_check(20)", -1, &s, nullptr) != SQLITE_OK)
        return sqlite3_errmsg(db_);
    std::string out;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        const auto* p = sqlite3_column_text(s, 0);
        if (!out.empty()) out += "\n";
        out += p ? reinterpret_cast<const char*>(p) : "";
    }
    if (rc != SQLITE_DONE) out += (out.empty() ? "" : "\n") + std::string(sqlite3_errmsg(db_));
    sqlite3_finalize(s);
    return out;
}

long long StoreFile::countRecords(const std::string& sqlName, StoreError& error) {
    Query q = prepare("SELECT count(*) FROM " + sql::quote(sqlName));
    if (!q || q.step() != kStoreRow) {
        error = lastError();
        if (error.ok()) error = {SQLITE_ERROR, "The records of " + sqlName + " cannot be counted"};
        return -1;
    }
    const long long n = q.columnInt(0);
    q.reset();
    return n;
}

bool StoreFile::compact(StoreError& error) {
    if (exec("VACUUM") != SQLITE_OK) {
        error = lastError();
        return false;
    }
    // The rewritten file reaches the main file at once, not at the next checkpoint.
    return checkpoint(error);
}

bool StoreFile::copyTo(StoreFile& to, StoreError& error) {
    sqlite3_backup* b = sqlite3_backup_init(to.db_, "main", db_, "main");
    if (!b) {
        error = errorOf(to.db_, sqlite3_errcode(to.db_));
        return false;
    }
    int rc;
    do {
        rc = sqlite3_backup_step(b, 64);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) sqlite3_sleep(20);
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        error = {rc, sqlite3_errstr(rc)};
        return false;
    }
    return true;
}

bool StoreFile::checkpoint(StoreError& error) {
    const int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        error = errorOf(db_, rc);
        return false;
    }
    return true;
}

bool StoreFile::exportTo(const std::filesystem::path& to, std::string_view key, StoreError& error) {
    if (!encrypted_) {
        error = {SQLITE_MISUSE, "Not an encrypted file"};
        return false;
    }
    if (key.empty()) key = kOwnerPassword;
    std::error_code ec;
    std::filesystem::remove(to, ec);
    std::string why;
    if (!createFileWithFolderMode(to, why)) {
        error = {SQLITE_CANTOPEN, why};
        return false;
    }
    sqlite3_stmt* attach = nullptr;
    int rc = sqlite3_prepare_v2(db_, "ATTACH DATABASE ?1 AS \"rekeyed\" KEY ?2", -1, &attach, nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_bind_text(attach, 1, to.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(attach, 2, key.data(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
        rc = sqlite3_step(attach);
        if (rc == SQLITE_DONE) rc = SQLITE_OK;
    }
    sqlite3_finalize(attach);
    bool attached = rc == SQLITE_OK;
    if (rc == SQLITE_OK) rc = exec("PRAGMA \"rekeyed\".cipher_page_size = 4096");
    if (rc == SQLITE_OK) rc = exec("SELECT sqlcipher_export('rekeyed')");
    if (rc != SQLITE_OK) error = lastError();
    if (attached && exec("DETACH DATABASE \"rekeyed\"") != SQLITE_OK && rc == SQLITE_OK) {
        error = lastError();
        rc = SQLITE_ERROR;
    }
    if (rc != SQLITE_OK) {
        std::filesystem::remove(to, ec);
        return false;
    }
    return true;
}

} // namespace qd
