// "Start Quandrel at login": a desktop entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart, ~/.config/autostart by default) that starts the
// running program on its data folder when the user logs in.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace qdui {

// The autostart folder from the environment: $XDG_CONFIG_HOME/autostart when
// that is an absolute path, else $HOME/.config/autostart; empty when neither
// is known.
std::filesystem::path autostartFolder();
// The entry's file in `folder`.
std::filesystem::path autostartFile(const std::filesystem::path& folder);

// One argument of an Exec line: quoted when it holds a blank or a reserved
// character, with ", `, $ and \ escaped inside the quotes and % doubled; then
// escaped once more as the entry's string value (\ as \\, newline as \n).
std::string quoteExecArgument(std::string_view arg);
// The whole desktop entry that runs `program --data <dataFolder>`.
std::string autostartEntry(const std::filesystem::path& program, const std::filesystem::path& dataFolder);

// Whether the entry exists.
bool autostartEnabled(const std::filesystem::path& folder);
// Writes the entry (creating the folder, 0700 when it is new; the file 0600) or
// removes it. False with `error` when that failed; turning off a missing entry
// succeeds.
bool setAutostart(const std::filesystem::path& folder, bool on, const std::filesystem::path& program,
                  const std::filesystem::path& dataFolder, std::string& error);

} // namespace qdui
