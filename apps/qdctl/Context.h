// What every qdctl command gets: the terminal, the options and the data set.
#pragma once

#include "Qdctl.h"
#include "Terminal.h"

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/Startup.h"
#include "platform/Desktop.h"
#include "platform/SecretStore.h"
#include "platform/posix/PosixProcess.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qdctl {

inline constexpr int kOk = 0;
inline constexpr int kFailed = 1;
inline constexpr int kUsage = 2;

struct Context {
    Io io;
    bool json = false;
    std::optional<std::string> dataDir;
    TerminalUserInterface ui;
    // The run's start-up (data set, error manager, settings, event log), made by
    // the commands that need the data.
    std::unique_ptr<qd::Startup> startup;
    qd::DataSet& data() { return startup->dataSet(); }
    qd::ErrorClass& errors() { return startup->errors(); }
    // Set by --now: the moment every command sees, standing still.
    std::unique_ptr<qd::ManualClock> clock;
    // Programs started by the commands.
    qd::PosixProcess process;
    // The program's desktop, opened only by the commands that type keys or
    // touch windows; without one they get the null desktop.
    DesktopFactory desktopFactory;
    // Set by --passphrase-fd: where a protected data set's passphrase is read from.
    std::optional<int> passphraseFd;
    // The desktop keyring (made on first use).
    std::unique_ptr<qd::SecretStore> keyring;
    qd::SecretStore& secrets() {
        if (!keyring) keyring = qd::openDesktopKeyring();
        return *keyring;
    }

    Context(Io i, DesktopFactory desktop)
        : io(i), ui(i.in, i.err, i.interactive), desktopFactory(std::move(desktop)) {}

    std::unique_ptr<qd::Desktop> openDesktop() const;

    // Prints the reason and the usage text; returns kUsage.
    int usage(const std::string& why);
    // Prints the reason; returns kFailed.
    int failed(const std::string& why);
    // The clock commands read (the --now clock, else the system clock).
    const qd::Clock& now() const { return clock ? *clock : qd::systemClock(); }
};

// One command: `name` is the first word after the options; `run` gets the
// arguments and the position after the name. Commands with needsData get the
// data set opened first.
struct Command {
    const char* name;
    const char* usage; // lines for the usage text, each "  ...\n"
    int (*run)(Context& c, const std::vector<std::string>& args, std::size_t pos);
    bool needsData;
};

// Every command, in the order the usage text lists them.
const std::vector<Command>& commands();

// Commands of RecordCommands.cpp.
int cmdInit(Context& c, const std::vector<std::string>& args, std::size_t pos);
int cmdTable(Context& c, const std::vector<std::string>& args, std::size_t pos);
int cmdRec(Context& c, const std::vector<std::string>& args, std::size_t pos);

// Commands of ProtectCommands.cpp.
int cmdProtect(Context& c, const std::vector<std::string>& args, std::size_t pos);
int cmdUnprotect(Context& c, const std::vector<std::string>& args, std::size_t pos);

// Parses "YYYY-MM-DD HH:MM[:SS[.cc]]" (or "YYYY-MM-DD" alone, at midnight).
std::optional<qd::Moment> parseMoment(const std::string& text);

} // namespace qdctl
