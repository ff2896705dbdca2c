#include "data/Backup.h"

#include "data/DataFolderLock.h"
#include "data/FileModes.h"
#include "data/StoreFile.h"
#include "data/TableDefs.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace qd {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBackupFolder = "Backups";

void removeStoreFile(const fs::path& file) {
    std::error_code ec;
    fs::remove(file, ec);
    fs::remove(fs::path(file.string() + "-wal"), ec);
    fs::remove(fs::path(file.string() + "-shm"), ec);
}

void syncFolder(const fs::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Copies one record-store file to `to` (made anew) and leaves `to` whole on disk,
// its write-ahead log folded in.
bool copyStoreFile(const fs::path& from, const fs::path& to, std::string_view key, std::string& error) {
    const bool encrypted = isEncryptedStoreFile(from);
    StoreError e;
    auto source = StoreFile::open(from, encrypted, false, e, key);
    if (!source) {
        error = from.filename().string() + ": " + e.text;
        return false;
    }
    removeStoreFile(to);
    auto target = StoreFile::open(to, encrypted, true, e, key);
    if (!target || !source->copyTo(*target, e) || !target->checkpoint(e)) {
        error = from.filename().string() + ": " + e.text;
        target.reset();
        removeStoreFile(to);
        return false;
    }
    return true;
}

// Copies each file into `toFolder` under its own name; stops at the first failure.
void copyFiles(const std::vector<fs::path>& files, const fs::path& toFolder, std::string_view key,
               BackupResult& r) {
    for (const auto& file : files) {
        if (!copyStoreFile(file, toFolder / file.filename(), key, r.error)) return;
        r.files.push_back(file.filename().string());
    }
    r.ok = true;
}

bool validName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

} // namespace

bool isEncryptedStoreFile(const fs::path& file) {
    const std::string stem = file.stem().string();
    for (const TableDef* t : tables::all()) {
        if (t->encrypted || t->kind != TableKind::Store) continue;
        if (equalsNoCase(t->storageName, stem)) return false;
    }
    return true;
}

std::vector<fs::path> dataSetFiles(const fs::path& dataFolder, const std::string& only) {
    std::vector<fs::path> out;
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

BackupResult backupDataSet(const fs::path& dataFolder, const std::string& stamp, const std::string& only,
                           std::string_view key) {
    BackupResult r;
    const auto files = dataSetFiles(dataFolder, only);
    if (files.empty()) {
        r.error = only.empty() ? "No data files in " + dataFolder.string()
                               : only + " was not found in " + dataFolder.string();
        return r;
    }
    if (!validName(stamp)) {
        r.error = "Not a backup name: " + stamp;
        return r;
    }
    r.folder = dataFolder / kBackupFolder / stamp;
    std::string error;
    if (!createPrivateFolder(r.folder, error)) {
        r.error = error;
        return r;
    }
    copyFiles(files, r.folder, key, r);
    return r;
}

std::vector<BackupInfo> listBackups(const fs::path& dataFolder) {
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

BackupResult restoreBackup(const fs::path& dataFolder, const std::string& name, const std::string& safetyName,
                           std::string_view key) {
    BackupResult r;
    if (!validName(name)) {
        r.error = "Not a backup name: " + name;
        return r;
    }
    r.folder = dataFolder / kBackupFolder / name;
    const auto files = dataSetFiles(r.folder);
    if (files.empty()) {
        r.error = "No backup named " + name;
        return r;
    }
    DataFolderLock lock;
    if (!lock.acquire(dataFolder, DataFolderLock::Mode::Exclusive, r.error)) return r;

    // 1. Every file of the backup must open and pass the store's check.
    for (const auto& file : files) {
        StoreError e;
        auto f = StoreFile::open(file, isEncryptedStoreFile(file), false, e, key);
        if (!f) {
            r.error = "The backup file " + file.filename().string() + " cannot be read (" + e.text +
                      "); nothing was restored.";
            return r;
        }
        if (const std::string check = f->integrityCheck(); check != "ok") {
            r.error = "The backup file " + file.filename().string() + " is damaged (" + check +
                      "); nothing was restored.";
            return r;
        }
    }

    // 2. Temporary copies beside their targets (same file system, so a rename swaps them).
    std::vector<std::pair<fs::path, fs::path>> swaps; // temporary, target
    auto dropTemporaries = [&] {
        for (const auto& [temp, target] : swaps)
            removeStoreFile(temp);
    };
    for (const auto& file : files) {
        const fs::path target = dataFolder / file.filename();
        const fs::path temp = dataFolder / ("." + file.filename().string() + ".restore");
        swaps.emplace_back(temp, target);
        std::string error;
        if (!copyStoreFile(file, temp, key, error)) {
            dropTemporaries();
            r.error = "Cannot copy " + error + "; nothing was restored.";
            return r;
        }
    }

    // 3. The current files, kept as a backup of their own.
    std::vector<fs::path> current;
    for (const auto& [temp, target] : swaps) {
        std::error_code ec;
        if (fs::exists(target, ec)) current.push_back(target);
    }
    if (!current.empty()) {
        std::string safety = safetyName.empty() ? "before-restore-" + name : safetyName;
        std::error_code ec;
        for (int n = 2; fs::exists(dataFolder / kBackupFolder / safety, ec); ++n)
            safety = (safetyName.empty() ? "before-restore-" + name : safetyName) + "-" + std::to_string(n);
        r.safetyFolder = dataFolder / kBackupFolder / safety;
        std::string error;
        if (!createPrivateFolder(r.safetyFolder, error)) {
            dropTemporaries();
            r.error = error + "; nothing was restored.";
            return r;
        }
        BackupResult kept;
        copyFiles(current, r.safetyFolder, key, kept);
        if (!kept.ok) {
            dropTemporaries();
            fs::remove_all(r.safetyFolder, ec);
            r.error = "Cannot keep a copy of the current data (" + kept.error + "); nothing was restored.";
            return r;
        }
    }

    // 4. Swap. No one else has the files open (the lock), and the safety copy
    // holds everything their logs held, so the old logs go with them.
    std::size_t swapped = 0;
    for (; swapped < swaps.size(); ++swapped) {
        const auto& [temp, target] = swaps[swapped];
        std::error_code ec;
        fs::remove(fs::path(target.string() + "-wal"), ec);
        fs::remove(fs::path(target.string() + "-shm"), ec);
        if (std::rename(temp.c_str(), target.c_str()) != 0) break;
    }
    if (swapped < swaps.size()) {
        // Put back what was replaced; files that did not exist before go again.
        for (std::size_t i = 0; i < swapped; ++i) {
            const fs::path& target = swaps[i].second;
            const fs::path kept = r.safetyFolder.empty() ? fs::path() : r.safetyFolder / target.filename();
            std::error_code ec;
            if (!kept.empty() && fs::exists(kept, ec)) {
                std::string error;
                const fs::path back = dataFolder / ("." + target.filename().string() + ".undo");
                if (copyStoreFile(kept, back, key, error)) std::rename(back.c_str(), target.c_str());
            } else {
                removeStoreFile(target);
            }
        }
        dropTemporaries();
        r.error = "Cannot replace " + swaps[swapped].second.filename().string() +
                  "; the data set was left as it was.";
        return r;
    }
    syncFolder(dataFolder);
    for (const auto& file : files)
        r.files.push_back(file.filename().string());
    r.ok = true;
    return r;
}

} // namespace qd
