#include "data/Backup.h"

#include "data/StoreFile.h"
#include "data/TableDefs.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace qd {
namespace {

constexpr const char* kBackupFolder = "Backups";

// Encrypted unless the file is one of the plain single-table files.
bool isEncryptedFile(const std::filesystem::path& file) {
    const std::string stem = file.stem().string();
    for (const TableDef* t : tables::all()) {
        if (t->encrypted || t->kind != TableKind::Store) continue;
        if (equalsNoCase(t->storageName, stem)) return false;
    }
    return true;
}

sqlite3* openKeyed(const std::filesystem::path& file, bool encrypted, bool create, std::string& error) {
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close(db);
        return nullptr;
    }
    if (encrypted) {
        sqlite3_key(db, kOwnerPassword, 9);
        sqlite3_exec(db, "PRAGMA cipher_page_size = 4096", nullptr, nullptr, nullptr);
    }
    sqlite3_busy_timeout(db, 5000);
    if (sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    return db;
}

// Online backup from one open database to another, a few pages at a time so
// that writers are not held up; restarts by itself when the source changes.
bool copyDatabase(sqlite3* from, sqlite3* to, std::string& error) {
    sqlite3_backup* b = sqlite3_backup_init(to, "main", from, "main");
    if (!b) {
        error = sqlite3_errmsg(to);
        return false;
    }
    int rc;
    do {
        rc = sqlite3_backup_step(b, 64);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED);
    sqlite3_backup_finish(b);
    if (rc != SQLITE_DONE) {
        error = sqlite3_errstr(rc);
        return false;
    }
    return true;
}

// Copies each file into `toFolder` under its own name; stops at the first failure.
void copyFiles(const std::vector<std::filesystem::path>& files, const std::filesystem::path& toFolder,
               BackupResult& r) {
    for (const auto& file : files) {
        const bool encrypted = isEncryptedFile(file);
        std::string error;
        sqlite3* from = openKeyed(file, encrypted, false, error);
        if (!from) {
            r.error = file.filename().string() + ": " + error;
            return;
        }
        sqlite3* to = openKeyed(toFolder / file.filename(), encrypted, true, error);
        const bool ok = to && copyDatabase(from, to, error);
        sqlite3_close(from);
        sqlite3_close(to);
        if (!ok) {
            r.error = file.filename().string() + ": " + error;
            return;
        }
        r.files.push_back(file.filename().string());
    }
    r.ok = true;
}

} // namespace

std::vector<std::filesystem::path> dataSetFiles(const std::filesystem::path& dataFolder,
                                                const std::string& only) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dataFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const auto& e = *it;
        std::error_code typeError;
        if (!e.is_regular_file(typeError)) continue;
        const std::string name = e.path().filename().string();
        if (!equalsNoCase(e.path().extension().string(), ".TPS")) continue;
        if (!only.empty() && !equalsNoCase(name, only)) continue;
        out.push_back(e.path());
    }
    std::sort(out.begin(), out.end());
    return out;
}

BackupResult backupDataSet(const std::filesystem::path& dataFolder, const std::string& stamp,
                           const std::string& only) {
    BackupResult r;
    const auto files = dataSetFiles(dataFolder, only);
    if (files.empty()) {
        r.error = only.empty() ? "No data files in " + dataFolder.string()
                               : only + " was not found in " + dataFolder.string();
        return r;
    }
    r.folder = dataFolder / kBackupFolder / stamp;
    std::error_code ec;
    std::filesystem::create_directories(r.folder, ec);
    if (ec) {
        r.error = "Cannot create " + r.folder.string() + ": " + ec.message();
        return r;
    }
    copyFiles(files, r.folder, r);
    return r;
}

std::vector<BackupInfo> listBackups(const std::filesystem::path& dataFolder) {
    std::vector<BackupInfo> out;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(dataFolder / kBackupFolder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const auto& e = *it;
        std::error_code typeError;
        if (!e.is_directory(typeError)) continue;
        BackupInfo info;
        info.name = e.path().filename().string();
        info.folder = e.path();
        for (const auto& f : dataSetFiles(e.path())) {
            info.files.push_back(f.filename().string());
            std::error_code sizeError;
            const auto size = std::filesystem::file_size(f, sizeError);
            if (!sizeError) info.bytes += size;
        }
        out.push_back(std::move(info));
    }
    std::sort(out.begin(), out.end(),
              [](const BackupInfo& a, const BackupInfo& b) { return a.name > b.name; });
    return out;
}

BackupResult restoreBackup(const std::filesystem::path& dataFolder, const std::string& name) {
    BackupResult r;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        r.error = "Not a backup name: " + name;
        return r;
    }
    r.folder = dataFolder / kBackupFolder / name;
    const auto files = dataSetFiles(r.folder);
    if (files.empty()) {
        r.error = "No backup named " + name;
        return r;
    }
    copyFiles(files, dataFolder, r);
    return r;
}

} // namespace qd
