// Getting the passphrase of a protected data set: from the desktop keyring when
// it keeps one, else from a file descriptor the caller names (scripts), else by
// asking the user (in the program's window, or on the terminal with the typing
// not shown). Never from a command line.
#pragma once

#include "platform/SecretStore.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace qd {

// The keyring item of a data folder (its absolute, normalised path).
std::string passphraseItem(const std::filesystem::path& dataFolder);

// One line read from `fd` (the line end left off); nullopt with `error` on failure.
std::optional<std::string> readPassphraseFrom(int fd, std::string& error);

// Asks on the controlling terminal, echo off. nullopt when there is no terminal.
std::optional<std::string> askPassphrase(const std::string& prompt, std::string& error);

struct PassphraseSources {
    SecretStore* keyring = nullptr; // may be null (no keyring)
    std::optional<int> fd;          // --passphrase-fd
    bool mayAsk = true;             // whether the user may be asked
    // Asks the user in a window of the program's own (given the prompt); without
    // it the terminal is used. nullopt when the user gave none.
    std::function<std::optional<std::string>(const std::string& prompt)> ask;
};

// The passphrase that opens the data set in `dataFolder`: the keyring's when it
// opens it, else the one from the descriptor, else the one typed. nullopt with
// a message that says what was tried.
std::optional<std::string> obtainPassphrase(const std::filesystem::path& dataFolder,
                                            PassphraseSources sources, std::string& error);

} // namespace qd
