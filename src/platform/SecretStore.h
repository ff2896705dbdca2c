// Where the program keeps secrets it must give back later without asking every
// time (the data set's passphrase): the desktop keyring. The core only sees
// this interface; the programs link an implementation.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace qd {

class SecretStore {
public:
    virtual ~SecretStore() = default;
    // The secret kept for `item`; nullopt when none is kept or no keyring
    // answers (`error` then says why; empty when there simply is none).
    virtual std::optional<std::string> lookup(const std::string& item, std::string& error) = 0;
    // Keeps `secret` for `item`, replacing what was kept. `label` is what the
    // keyring shows its user.
    virtual bool store(const std::string& item, const std::string& label, const std::string& secret,
                       std::string& error) = 0;
    // Forgets the secret of `item` (true also when there was none).
    virtual bool clear(const std::string& item, std::string& error) = 0;
};

// The desktop keyring through the freedesktop Secret Service (D-Bus session bus).
std::unique_ptr<SecretStore> openDesktopKeyring();

} // namespace qd
