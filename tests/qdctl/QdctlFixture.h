// Runs qdctl commands in-process on a data folder in a temp directory and keeps
// what they printed.
#pragma once

#include "Context.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace qdtest {

class QdctlFixture : public ::testing::Test {
protected:
    // Runs `args` after the fixture's own leading options (--data and `extra`).
    int run(std::vector<std::string> args, const std::string& input = "") {
        std::vector<std::string> all{"--data", dir.str()};
        all.insert(all.end(), leading.begin(), leading.end());
        all.insert(all.end(), args.begin(), args.end());
        std::istringstream in(input);
        std::ostringstream o;
        std::ostringstream e;
        const int rc = qdctl::run(all, qdctl::Io{in, o, e, false});
        out = o.str();
        err = e.str();
        return rc;
    }

    TempDir dir;
    std::vector<std::string> leading; // options every command gets, e.g. {"--now", "..."}
    std::string out;
    std::string err;
};

// A pipe holding one line, for --passphrase-fd.
struct LineFd {
    explicit LineFd(const std::string& line) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        const std::string text = line + "\n";
        if (::write(fds[1], text.data(), text.size()) < 0) {
        }
        ::close(fds[1]);
        fd = fds[0];
    }
    ~LineFd() {
        if (fd >= 0) ::close(fd);
    }
    std::string arg() const { return std::to_string(fd); }
    int fd = -1;
};

// No keyring reachable: no session bus.
struct NoKeyring {
    NoKeyring() {
        if (const char* b = std::getenv("DBUS_SESSION_BUS_ADDRESS")) bus = b, hadBus = true;
        if (const char* r = std::getenv("XDG_RUNTIME_DIR")) runtime = r, hadRuntime = true;
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        ::setenv("XDG_RUNTIME_DIR", "/nonexistent", 1);
    }
    ~NoKeyring() {
        hadBus ? ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1)
               : ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
        hadRuntime ? ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1) : ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::string bus, runtime;
    bool hadBus = false, hadRuntime = false;
};

} // namespace qdtest
