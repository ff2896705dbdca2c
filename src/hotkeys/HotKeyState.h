// Which hot keys the running program holds: the program writes the state of
// its registrations to a private file of the user's runtime folder, and
// "qdctl hotkeys list" reads it.
#pragma once

#include "hotkeys/SysHotKeyClass.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace qd {

// The state file for a data folder (one per user and folder).
std::filesystem::path hotKeyStatePath(const std::filesystem::path& dataFolder);

// Writes every listed combination with its state (file mode 0600, replaced
// whole); false when it cannot be written.
bool writeHotKeyState(const std::filesystem::path& file, const SysHotKeyClass& component);
void removeHotKeyState(const std::filesystem::path& file);

struct HotKeyStateFile {
    int pid = 0;
    std::map<int, HotKeyStatus> byCode; // the code of each listed combination
};

// The state written by a program that still runs; nullopt when there is none,
// the file is not ours, or its writer has ended.
std::optional<HotKeyStateFile> readHotKeyState(const std::filesystem::path& file);

} // namespace qd
