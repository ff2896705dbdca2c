// Starting programs and documents, and collecting their exit codes.
//
// A command is started directly (the first word, or the quoted first part, is
// the program; the rest are its arguments, split by the rule of
// platform/CommandLine.h) or through the desktop's opener for documents and
// links. A command whose first word names one of the system's own programs
// ("QDMsg.EXE", "KLVBACK", "killproc", ... in any case, with or without ".EXE")
// starts ours from the folder of the running program.
//
// Every child started through a Process is reaped by it, so none is left a
// zombie; its exit code stays readable until forget() is called.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qd {

// The exit code reported while a process is still running.
inline constexpr int kStillActive = 259;

enum class ShowMode : int {
    Hidden = 0,
    Normal = 1,
    MinimizedFocus = 2,
    MaximizedFocus = 3,
    MinimizedNoFocus = 7,
    NoActivate = 8,
};

enum class Priority { Low = 1, Normal = 2, High = 3 };

struct SpawnResult {
    bool ok = false;
    pid_t pid = 0;
    // For shell starts: 33 on success, else an error code below 32 (2 file not
    // found, 5 access denied, 31 no application to open it).
    int code = 0;
    std::string error;
};

class Process {
public:
    virtual ~Process() = default;

    // The folder holding our own programs (qdmsg, klvback, killproc, ...).
    virtual std::filesystem::path programFolder() const = 0;

    // Our own program that the first word of a command names, if any.
    virtual std::optional<std::filesystem::path> ownProgram(const std::string& word) const = 0;

    // Creates a process from a command line in `folder` (empty: the current
    // folder) with a priority. Fails when the program cannot be found or run.
    virtual SpawnResult createProcess(const std::string& command, const std::filesystem::path& folder,
                                      Priority priority = Priority::Normal) = 0;

    // Runs a program with exactly these arguments (argv[0] first) and extra
    // "NAME=value" environment entries (secrets travel this way, never on the
    // command line that every local user can read).
    virtual SpawnResult startProgram(const std::filesystem::path& program,
                                     const std::vector<std::string>& args,
                                     const std::vector<std::string>& extraEnvironment,
                                     const std::filesystem::path& folder,
                                     Priority priority = Priority::Normal) = 0;

    // The desktop's way of opening `file` with optional `parameters`: an
    // executable file is run with them; a document or link (no parameters) is
    // opened with the desktop's opener with `verb` "open" (other verbs are not
    // offered by the Linux desktop and fail with code 31).
    virtual SpawnResult shellStart(const std::string& file, const std::string& parameters,
                                   const std::filesystem::path& folder, const std::string& verb = "open") = 0;

    // Shell start of a whole command, retried when the shell refuses it: split at
    // the closing quote of a quoted start or at the first blank, then at every
    // blank from the right end down to position 3. A split is only tried when
    // its program part names an existing executable file (or a document to open
    // without parameters), so a prefix of a path is never started.
    virtual SpawnResult shellStartWithRetries(const std::string& command, const std::filesystem::path& folder,
                                              const std::string& verb = "open") = 0;

    // kStillActive while running, the exit code when it ended (128 + signal when
    // killed), -1 when the process is unknown.
    virtual int exitCode(pid_t pid) = 0;
    // Waits up to `ms` milliseconds for the child to end; returns its exit code
    // (kStillActive when it is still running).
    virtual int wait(pid_t pid, int ms) = 0;
    // Forgets a child whose code was read (a running child stays known).
    virtual void forget(pid_t pid) = 0;
    // Collects the exit codes of every ended child without blocking.
    virtual void reap() = 0;
};

} // namespace qd
