// Backups of a data set: consistent copies of every record-store file, taken
// with the store's online backup while other processes keep working, kept in
// "Backups/<yyyymmdd-hhmmss>" inside the data folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qd {

struct BackupResult {
    bool ok = false;
    std::string error;
    std::filesystem::path folder;   // the backup made or restored
    std::vector<std::string> files; // file names copied
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
BackupResult backupDataSet(const std::filesystem::path& dataFolder, const std::string& stamp,
                           const std::string& only = {});
// Newest first.
std::vector<BackupInfo> listBackups(const std::filesystem::path& dataFolder);
// Copies a backup's files back over the data set, each in one step that other
// processes see whole.
BackupResult restoreBackup(const std::filesystem::path& dataFolder, const std::string& name);

} // namespace qd
