// A real Secret Service for a test: a private D-Bus session bus and a
// gnome-keyring-daemon on it with a fresh login keyring, unlocked with a test
// password. The process environment points at the bus while the object lives;
// the daemon ends with the bus.
#pragma once

#include "support/TempDir.h"

#include <string>

namespace qdtest {

class PrivateKeyring {
public:
    PrivateKeyring();
    ~PrivateKeyring();
    PrivateKeyring(const PrivateKeyring&) = delete;
    PrivateKeyring& operator=(const PrivateKeyring&) = delete;

    // Empty when it runs; otherwise why it could not be started.
    const std::string& failure() const { return failure_; }

private:
    TempDir home_;
    int busPid_ = -1;
    std::string failure_;
    std::string savedBus_, savedHome_, savedRuntime_, savedData_;
    bool hadBus_ = false, hadHome_ = false, hadRuntime_ = false, hadData_ = false;
};

} // namespace qdtest
