// Backups of a data set: consistent copies of every record-store file, taken
// with the store's online backup while other processes keep working, kept in
// "Backups/<yyyymmdd-hhmmss>" inside the data folder.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace qd {

struct BackupResult {
    bool ok = false;
    std::string error;
    std::filesystem::path folder;       // the backup made or restored
    std::vector<std::string> files;     // file names copied
    std::filesystem::path safetyFolder; // restore: where the replaced files were kept
};

struct BackupInfo {
    std::string name; // folder name, e.g. "20261207-091500"
    std::filesystem::path folder;
    std::vector<std::string> files;
    std::uintmax_t bytes = 0;
};

// The record-store files of a data folder (*.TPS), or the one named.
std::vector<std::filesystem::path> dataSetFiles(const std::filesystem::path& dataFolder,
                                                const std::string& only = {});

// Copies the files (all, or `only`) into a new backup folder named after `stamp`.
// Encrypted files are read and written with `key` (the owner password when empty).
BackupResult backupDataSet(const std::filesystem::path& dataFolder, const std::string& stamp,
                           const std::string& only = {}, std::string_view key = {});
// Newest first.
std::vector<BackupInfo> listBackups(const std::filesystem::path& dataFolder);
// Puts a backup's files back in place of the data set's, all or none:
//  - refused while a scheduler holds the data folder (DataFolderLock);
//  - every file of the backup is opened and checked before anything changes;
//  - each is copied into a temporary file beside the one it replaces;
//  - the current files are kept as a backup of their own, `safetyName`
//    ("before-restore-<name>" when empty; reported in `safetyFolder`);
//  - then every temporary file is renamed over its target. When one rename
//    fails, the files already replaced are put back from the safety copy.
// Files of the data set that the backup does not hold are left as they are.
BackupResult restoreBackup(const std::filesystem::path& dataFolder, const std::string& name,
                           const std::string& safetyName = {}, std::string_view key = {});

// Whether a record-store file of the data set is encrypted (all but the plain single-table files).
bool isEncryptedStoreFile(const std::filesystem::path& file);

} // namespace qd
