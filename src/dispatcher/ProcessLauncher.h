// Starting programs and documents, and collecting their exit codes.
//
// A command is started directly (the first word, or the quoted first part, is
// the program; the rest are its arguments, split at blanks with double quotes
// grouping) or through the desktop's opener ("xdg-open") for documents and
// links. A command whose first word names one of the system's own programs
// ("QDMsg.EXE", "KLVBACK", "killproc", ... in any case, with or without ".EXE")
// starts ours from the folder of the running program.
// Quotes: "..." as on the program's home platform, and '...' as Linux users write them.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <mutex>
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

// Splits a command line at blanks; double or single quotes group words and are removed.
std::vector<std::string> splitCommandLine(const std::string& command);

// Exit codes of the processes we started; every child is reaped here so none is
// left a zombie.
class ProcessTable {
public:
    // Registers a started child.
    void add(pid_t pid);
    // kStillActive while running, the exit code when it ended (128 + signal when
    // killed), -1 when the process is unknown.
    int exitCode(pid_t pid);
    // Reaps every ended child without blocking.
    void reap();
    // Waits up to `ms` milliseconds for the child to end; returns its exit code
    // (kStillActive when it is still running).
    int wait(pid_t pid, int ms);
    // Forgets a child whose code was read.
    void forget(pid_t pid);

private:
    std::mutex mutex_;
    std::map<pid_t, int> codes_;
};

ProcessTable& processTable();

class ProcessLauncher {
public:
    // The folder holding our own programs (qdmsg, klvback, killproc, ...): the
    // folder of the running executable unless set.
    void setProgramFolder(std::filesystem::path folder) { programFolder_ = std::move(folder); }
    std::filesystem::path programFolder() const;

    // Our own program that the first word of a command names, if any.
    std::optional<std::filesystem::path> ownProgram(const std::string& word) const;

    // Creates a process from a command line in `folder` (empty: the current
    // folder) with a priority. Fails when the program cannot be found or run.
    SpawnResult createProcess(const std::string& command, const std::filesystem::path& folder,
                              Priority priority = Priority::Normal) const;

    // Runs a program with exactly these arguments (argv[0] first) and extra
    // "NAME=value" environment entries (secrets travel this way, never on the
    // command line that every local user can read).
    SpawnResult startProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                             const std::vector<std::string>& extraEnvironment,
                             const std::filesystem::path& folder, Priority priority = Priority::Normal) const;

    // The desktop's way of opening `file` with optional `parameters`: an
    // executable file is run with them; a document or link (no parameters) is
    // opened with "xdg-open" with `verb` "open" (other verbs are not offered by
    // the Linux desktop and fail with code 31).
    SpawnResult shellStart(const std::string& file, const std::string& parameters,
                           const std::filesystem::path& folder, const std::string& verb = "open") const;

    // Shell start of a whole command, retried as the program-start rules say when
    // the shell refuses it: split at the closing quote of a quoted start or at the
    // first blank, then at every blank from the right end down to position 3.
    SpawnResult shellStartWithRetries(const std::string& command, const std::filesystem::path& folder,
                                      const std::string& verb = "open") const;

private:
    std::filesystem::path programFolder_;
};

} // namespace qd
