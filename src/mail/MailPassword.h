// Where the SMTP login password is kept: the desktop keyring when one answers,
// otherwise a file of its own in the data folder that only its owner can read
// (0600). A password kept in the file while no keyring answered moves into the
// keyring the first time one does, and the file is removed.
//
// The file holds the password's bytes and nothing else. It is read only when it
// is a regular file of the current user that no one else can read or write;
// otherwise it is ignored with a reason, so a password that others could have
// read or planted is never sent.
#pragma once

#include "platform/SecretStore.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace qd {

// The SMTP password's item in the desktop keyring.
inline constexpr const char* kMailPasswordItem = "smtp-password";
// The file that holds it when no keyring answers.
inline constexpr const char* kMailPasswordFile = "smtp-password";

enum class MailPasswordPlace { Keyring, File };

class MailPasswordStore {
public:
    // `keyring` may be null (no keyring at all); it must outlive the object.
    MailPasswordStore(SecretStore* keyring, std::filesystem::path dataFolder);

    // The kept password (empty when none is kept). `error` says why a kept
    // password could not be read (empty otherwise).
    std::string lookup(std::string& error);
    // Keeps `password` in the keyring, or in the file when no keyring takes it
    // (`note` then says why). nullopt with `error` when neither could.
    std::optional<MailPasswordPlace> store(const std::string& password, std::string& note,
                                           std::string& error);
    // Forgets the password in both places. False with `error` when the file
    // could not be removed.
    bool clear(std::string& error);

    const std::filesystem::path& file() const { return file_; }

private:
    std::optional<std::string> readFile(std::string& error) const;
    bool writeFile(const std::string& password, std::string& error) const;
    bool removeFile(std::string& error) const;

    SecretStore* keyring_;
    std::filesystem::path file_;
};

// The password source of a mailer for the data set in `dataFolder`: the desktop
// keyring, else the file. Failures to read go nowhere but the empty password
// (the server's refusal then tells the user).
std::function<std::string()> keptMailPassword(std::filesystem::path dataFolder);

} // namespace qd
