// Protecting a data set with a passphrase: its encrypted files are keyed with
// the passphrase instead of the owner password (which every copy of the program
// knows). Changing the key is one operation over every encrypted file of the
// data set: a backup first, then each file written anew with the new key into
// a temporary file and checked, then all of them swapped in. Until the swap
// nothing has changed; a failed swap puts the old files back.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

namespace qd {

// Whether the data set is marked as protected with a passphrase (key
// "Passphrase" of section "Security" in qd98.INI, written by the re-key), so
// that a main file that does not open is not taken for a damaged one.
bool isProtected(const std::filesystem::path& dataFolder);

// Whether the data set's main file opens with the owner password: false for a
// data set protected with a passphrase (or a main file that is not a store).
// True when there is no main file yet.
bool opensWithOwnerPassword(const std::filesystem::path& dataFolder);
// Whether `passphrase` opens the data set's main file.
bool passphraseOpens(const std::filesystem::path& dataFolder, std::string_view passphrase);

struct RekeyProgress {
    int done = 0;  // files finished
    int total = 0; // files to re-key
    std::string file;
};

struct RekeyResult {
    bool ok = false;
    std::string error;
    std::filesystem::path backup; // the backup taken first
    int files = 0;                // files re-keyed
    std::string warning;          // done, but the mark in qd98.INI could not be written
};

// Re-keys every encrypted file from `oldKey` to `newKey` (empty = the owner
// password, so unprotecting is re-keying to ""). `backupStamp` names the backup
// taken first. Refused while a scheduler holds the data folder.
RekeyResult rekeyDataSet(const std::filesystem::path& dataFolder, std::string_view oldKey,
                         std::string_view newKey, const std::string& backupStamp,
                         const std::function<void(const RekeyProgress&)>& progress = {});

} // namespace qd
