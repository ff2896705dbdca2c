// Permissions of what the program creates. The data set holds passwords and
// the owner password of the encrypted files is no secret, so the data folder is
// private (0700) unless its owner chose otherwise, and every file created in it
// gets the folder's permission bits without execute: 0700 gives 0600 files, a
// folder made group-shared (0770) gives 0660 files.
#pragma once

#include <filesystem>
#include <string>

namespace qd {

inline constexpr unsigned kPrivateFolderMode = 0700;

// The permission bits for a new file in `folder` (0600 when the folder cannot be read).
unsigned fileModeFor(const std::filesystem::path& folder);

// Creates the folder and any missing parents, each 0700 whatever the umask.
// Existing folders are left as they are. False with `error` on failure.
bool createPrivateFolder(const std::filesystem::path& folder, std::string& error);

// Gives a file the program just created the permission bits of its folder.
bool applyFolderMode(const std::filesystem::path& file, std::string& error);

// Creates (O_CREAT|O_EXCL) an empty file with its folder's permission bits;
// false when it exists already or cannot be made.
bool createFileWithFolderMode(const std::filesystem::path& file, std::string& error);

// Why the data folder (or the main store file in it) must not be used: it is
// writable by every user, so anyone could replace the tasks the program runs.
// Empty when the permissions are safe.
std::string unsafeDataFolder(const std::filesystem::path& folder);

} // namespace qd
