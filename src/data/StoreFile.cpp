#include "data/StoreFile.h"

#include <sqlite3.h>

#include <algorithm>
#include <set>
#include <system_error>

namespace qd {

// ---------------------------------------------------------------------------
// Statement

Statement::~Statement() {
    if (stmt_) sqlite3_reset(stmt_);
}
void Statement::bind(int i, long long v) {
    sqlite3_bind_int64(stmt_, i, v);
}
void Statement::bind(int i, const std::string& v) {
    sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
}
int Statement::step() {
    return sqlite3_step(stmt_);
}
void Statement::reset() {
    sqlite3_reset(stmt_);
}
long long Statement::columnInt(int i) const {
    return sqlite3_column_int64(stmt_, i);
}
std::string Statement::columnText(int i) const {
    const auto* p = sqlite3_column_text(stmt_, i);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(stmt_, i)))
             : std::string();
}
bool Statement::columnIsNull(int i) const {
    return sqlite3_column_type(stmt_, i) == SQLITE_NULL;
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
                                           StoreError& error) {
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
        rc = sqlite3_key(f->db_, kOwnerPassword,
                         static_cast<int>(std::char_traits<char>::length(kOwnerPassword)));
        if (rc == SQLITE_OK)
            rc = sqlite3_exec(f->db_, "PRAGMA cipher_page_size = 4096", nullptr, nullptr, nullptr);
    } else {
        rc = sqlite3_exec(f->db_, "PRAGMA page_size = 4096", nullptr, nullptr, nullptr);
    }
    // A record lock held by another process is waited for up to 5 seconds.
    sqlite3_busy_timeout(f->db_, 5000);
    // Reading the schema proves the file is a record-store file with the right key.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(f->db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(f->db_, "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(f->db_, "PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
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

sqlite3_stmt* StoreFile::prepare(const std::string& sqlText) {
    auto it = cache_.find(sqlText);
    if (it != cache_.end()) {
        sqlite3_reset(it->second);
        sqlite3_clear_bindings(it->second);
        return it->second;
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db_, sqlText.c_str(), static_cast<int>(sqlText.size()), &stmt, nullptr) !=
        SQLITE_OK)
        return nullptr;
    cache_.emplace(sqlText, stmt);
    return stmt;
}

int StoreFile::exec(const std::string& sqlText) {
    return sqlite3_exec(db_, sqlText.c_str(), nullptr, nullptr, nullptr);
}

StoreError StoreFile::lastError() const {
    return errorOf(db_, sqlite3_errcode(db_));
}

int StoreFile::step(const char* sqlText) {
    sqlite3_stmt* s = prepare(sqlText);
    if (!s) return sqlite3_errcode(db_);
    const int rc = sqlite3_step(s);
    sqlite3_reset(s);
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
    return success ? SQLITE_ABORT : SQLITE_OK;
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
}

bool StoreFile::tableExists(const std::string& sqlName) {
    sqlite3_stmt* s = prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name=? COLLATE NOCASE");
    if (!s) return false;
    sqlite3_bind_text(s, 1, sqlName.c_str(), -1, SQLITE_TRANSIENT);
    const bool found = sqlite3_step(s) == SQLITE_ROW;
    sqlite3_reset(s);
    return found;
}

int StoreFile::storedVersion(const std::string& sqlName) {
    sqlite3_stmt* s = prepare("SELECT version FROM \"_qd_tables\" WHERE name=?");
    if (!s) return -1;
    sqlite3_bind_text(s, 1, sqlName.c_str(), -1, SQLITE_TRANSIENT);
    int v = -1;
    if (sqlite3_step(s) == SQLITE_ROW) v = sqlite3_column_int(s, 0);
    sqlite3_reset(s);
    return v;
}

void StoreFile::setStoredVersion(const TableDef& t, const std::string& sqlName) {
    sqlite3_stmt* s =
        prepare("INSERT OR REPLACE INTO \"_qd_tables\" (name, label, version) VALUES (?, ?, ?)");
    if (!s) return;
    sqlite3_bind_text(s, 1, sqlName.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(s, 2, t.label.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(s, 3, t.version);
    sqlite3_step(s);
    sqlite3_reset(s);
}

bool StoreFile::createTable(const TableDef& t, const std::string& sqlName, StoreError& error) {
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

std::vector<std::string> tableColumns(sqlite3* db, const std::string& sqlName) {
    std::vector<std::string> cols;
    sqlite3_stmt* s = nullptr;
    const std::string q = "PRAGMA table_info(" + sql::quote(sqlName) + ")";
    if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) != SQLITE_OK) return cols;
    while (sqlite3_step(s) == SQLITE_ROW)
        cols.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(s, 1)));
    sqlite3_finalize(s);
    return cols;
}

std::set<std::string> indexNames(sqlite3* db, const std::string& sqlName) {
    std::set<std::string> names;
    sqlite3_stmt* s = nullptr;
    const std::string q =
        "SELECT name, sql FROM sqlite_master WHERE type='index' AND tbl_name=? COLLATE NOCASE";
    if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) != SQLITE_OK) return names;
    sqlite3_bind_text(s, 1, sqlName.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(s) == SQLITE_ROW) {
        const auto* sqlText = sqlite3_column_text(s, 1);
        // Keep the definition so that a changed key counts as a different one.
        names.insert(std::string(reinterpret_cast<const char*>(sqlite3_column_text(s, 0))) + "|" +
                     (sqlText ? reinterpret_cast<const char*>(sqlText) : ""));
    }
    sqlite3_finalize(s);
    return names;
}

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
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
    long long all = 0;
    if (!count(base + " NOT INDEXED", all)) return TableState::Damaged;
    for (const auto& k : t.keys) {
        const std::string where = sql::notEmpty(t, k);
        const std::string w = where.empty() ? "" : " WHERE " + where;
        long long viaTable = 0;
        long long viaIndex = 0;
        if (!count(base + " NOT INDEXED" + w, viaTable)) return TableState::Damaged;
        if (!count(base + " INDEXED BY " + sql::indexName(sqlName, k) + w, viaIndex) ||
            viaIndex != viaTable) {
            if (error.ok()) error = {SQLITE_CORRUPT, "Key " + k.name + " does not match the records"};
            return TableState::IndexDamaged;
        }
    }
    return TableState::Ready;
}

TableState StoreFile::inspect(const TableDef& t, const std::string& sqlName, StoreError& error) {
    error = {};
    if (!tableExists(sqlName)) return TableState::Missing;
    const int version = storedVersion(sqlName);
    if (version > t.version) {
        error = {SQLITE_SCHEMA, "Stored structure version " + std::to_string(version) + " of " + t.label +
                                    " is newer than this program's " + std::to_string(t.version)};
        return TableState::Newer;
    }
    std::vector<std::string> have = tableColumns(db_, sqlName);
    std::vector<std::string> want = {"_rid", "_rev"};
    for (int i = 0; i < t.valueCount(); ++i)
        want.push_back(t.field(i).name);
    std::transform(have.begin(), have.end(), have.begin(), lower);
    std::transform(want.begin(), want.end(), want.begin(), lower);
    if (version < t.version || have != want) return TableState::NeedsUpgrade;
    std::set<std::string> expected;
    for (const auto& k : t.keys) {
        std::string def = sql::createIndex(t, sqlName, k);
        // sqlite_master holds the statement without "IF NOT EXISTS".
        const auto pos = def.find(" IF NOT EXISTS");
        def.erase(pos, 14);
        expected.insert(k.name + "|" + def);
    }
    if (indexNames(db_, sqlName) != expected) return TableState::NeedsUpgrade;
    return checkKeys(t, sqlName, error);
}

bool StoreFile::upgradeTable(const TableDef& t, const std::string& sqlName, StoreError& error) {
    const std::vector<std::string> have = tableColumns(db_, sqlName);
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

} // namespace qd
