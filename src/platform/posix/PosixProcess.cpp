#include "platform/posix/PosixProcess.h"

#include "data/Text.h"
#include "platform/CommandLine.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace qd {
namespace {

// Exit codes of the children of this process. waitpid() answers for the whole
// process, so every PosixProcess shares the one table. Codes that nobody
// collects are kept for the latest kKeptEndedCodes ended children only, so a
// resident program that starts programs all day does not grow the table.
class ProcessTable {
public:
    static constexpr std::size_t kKeptEndedCodes = 256;

    void add(pid_t pid) {
        std::lock_guard lock(mutex_);
        codes_[pid] = kStillActive;
        ended_.erase(std::remove(ended_.begin(), ended_.end(), pid), ended_.end());
    }
    void reap() {
        std::lock_guard lock(mutex_);
        for (auto& [pid, code] : codes_) {
            if (code != kStillActive) continue;
            int status = 0;
            const pid_t r = waitpid(pid, &status, WNOHANG);
            if (r == pid)
                code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            else if (r < 0 && errno == ECHILD)
                code = -1;
            if (code != kStillActive) ended_.push_back(pid);
        }
        while (ended_.size() > kKeptEndedCodes) {
            codes_.erase(ended_.front());
            ended_.pop_front();
        }
    }
    int exitCode(pid_t pid) {
        reap();
        std::lock_guard lock(mutex_);
        auto it = codes_.find(pid);
        return it == codes_.end() ? -1 : it->second;
    }
    void forget(pid_t pid) {
        std::lock_guard lock(mutex_);
        auto it = codes_.find(pid);
        if (it == codes_.end() || it->second == kStillActive) return;
        codes_.erase(it);
        ended_.erase(std::remove(ended_.begin(), ended_.end(), pid), ended_.end());
    }
    std::size_t size() {
        std::lock_guard lock(mutex_);
        return codes_.size();
    }

private:
    std::mutex mutex_;
    std::map<pid_t, int> codes_;
    std::deque<pid_t> ended_; // ended children, oldest first
};

ProcessTable& processTable() {
    static ProcessTable t;
    return t;
}

bool isExecutableFile(const std::filesystem::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

// The program a name stands for: a path with a slash as it is, else searched in PATH.
std::optional<std::filesystem::path> findProgram(const std::string& name,
                                                 const std::filesystem::path& folder) {
    if (name.empty()) return std::nullopt;
    if (name.find('/') != std::string::npos) {
        std::filesystem::path p(name);
        if (p.is_relative() && !folder.empty()) p = folder / p;
        return isExecutableFile(p) ? std::optional(p) : std::nullopt;
    }
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) end = dirs.size();
        const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
        if (isExecutableFile(candidate)) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

// An unquoted command whose first word is a path ("/opt/My Apps/run --v"):
// the longest part up to a blank (or the whole command) that is an executable
// file is the program, the rest its arguments. Nullopt when the command is
// quoted, names no path, or no such part exists.
std::optional<std::pair<std::filesystem::path, std::string>>
longestProgramPrefix(const std::string& command, const std::filesystem::path& folder) {
    if (command.empty() || command[0] == '"' || command[0] == '\'') return std::nullopt;
    const std::size_t firstBlank = command.find_first_of(" \t");
    if (command.substr(0, firstBlank).find('/') == std::string::npos) return std::nullopt;
    for (std::size_t end = command.size(); end > 0; --end) {
        if (end < command.size() && command[end] != ' ' && command[end] != '\t') continue;
        std::filesystem::path p(command.substr(0, end));
        if (p.is_relative() && !folder.empty()) p = folder / p;
        if (isExecutableFile(p))
            return std::pair(p, end < command.size() ? command.substr(end + 1) : std::string());
    }
    return std::nullopt;
}

int niceFor(Priority p) {
    switch (p) {
    case Priority::Low:
        return 19;
    case Priority::High:
        return -5;
    case Priority::Normal:
        break;
    }
    return 0;
}

// fork + exec with a pipe that reports a failing exec back to the parent.
// Everything the child needs is prepared before the fork.
SpawnResult spawn(const std::filesystem::path& program, const std::vector<std::string>& args,
                  const std::filesystem::path& folder, Priority priority,
                  const std::vector<std::string>& extraEnvironment = {}) {
    SpawnResult r;
    std::vector<std::string> envStrings;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        const auto eq = entry.find('=');
        const bool replaced =
            std::any_of(extraEnvironment.begin(), extraEnvironment.end(), [&](const std::string& x) {
                return eq != std::string::npos && x.compare(0, eq + 1, entry, 0, eq + 1) == 0;
            });
        if (!replaced) envStrings.push_back(entry);
    }
    envStrings.insert(envStrings.end(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (auto& e : envStrings)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0) {
        r.error = std::strerror(errno);
        return r;
    }
    std::vector<char*> argv;
    argv.reserve(args.size() + 1);
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) {
        r.error = std::strerror(errno);
        close(pipefd[0]);
        close(pipefd[1]);
        return r;
    }
    if (pid == 0) {
        // Child: own process group, so that closing the program's terminal or
        // ending it does not touch ours.
        setpgid(0, 0);
        int err = 0;
        if (!folder.empty() && chdir(folder.c_str()) != 0) err = errno;
        if (!err && niceFor(priority) != 0)
            setpriority(PRIO_PROCESS, 0, niceFor(priority)); // high needs rights
        if (!err) {
            execve(program.c_str(), argv.data(), envp.data());
            err = errno;
        }
        ssize_t ignored = write(pipefd[1], &err, sizeof err);
        (void)ignored;
        _exit(127);
    }
    close(pipefd[1]);
    int childErr = 0;
    const ssize_t n = read(pipefd[0], &childErr, sizeof childErr);
    close(pipefd[0]);
    if (n == static_cast<ssize_t>(sizeof childErr)) {
        int status = 0;
        waitpid(pid, &status, 0);
        r.error = std::strerror(childErr);
        r.code = childErr == EACCES ? 5 : 2;
        return r;
    }
    processTable().add(pid);
    r.ok = true;
    r.pid = pid;
    r.code = 33;
    return r;
}

} // namespace

// ---------------------------------------------------------------------------

int PosixProcess::exitCode(pid_t pid) {
    return processTable().exitCode(pid);
}

int PosixProcess::wait(pid_t pid, int ms) {
    for (int waited = 0;; waited += 10) {
        const int code = exitCode(pid);
        if (code != kStillActive || waited >= ms) return code;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void PosixProcess::forget(pid_t pid) {
    processTable().forget(pid);
}

void PosixProcess::reap() {
    processTable().reap();
}

std::size_t PosixProcess::knownChildren() {
    return processTable().size();
}

// ---------------------------------------------------------------------------

std::filesystem::path PosixProcess::programFolder() const {
    if (!programFolder_.empty()) return programFolder_;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

std::optional<std::filesystem::path> PosixProcess::ownProgram(const std::string& word) const {
    std::string w = text::lowerAscii(std::filesystem::path(word).filename().string());
    if (w.size() > 4 && w.compare(w.size() - 4, 4, ".exe") == 0) w.erase(w.size() - 4);
    static const std::pair<const char*, const char*> kOwn[] = {
        {"qdmsg", "qdmsg"},       {"klvback", "klvback"}, {"qd_dbase", "qd_dbase"},
        {"killproc", "killproc"}, {"qdftp", "qdftp"},     {"httpget", "httpget"}};
    for (const auto& [name, binary] : kOwn)
        if (w == name) return programFolder() / binary;
    return std::nullopt;
}

SpawnResult PosixProcess::startProgram(const std::filesystem::path& program,
                                       const std::vector<std::string>& args,
                                       const std::vector<std::string>& extraEnvironment,
                                       const std::filesystem::path& folder, Priority priority) {
    if (!isExecutableFile(program)) return SpawnResult{false, 0, 2, "Program not found: " + program.string()};
    return spawn(program, args, folder, priority, extraEnvironment);
}

SpawnResult PosixProcess::createProcess(const std::string& command, const std::filesystem::path& folder,
                                        Priority priority) {
    std::vector<std::string> args = splitCommandLine(command);
    if (args.empty()) return SpawnResult{false, 0, 2, "No command"};
    // A path with blanks, unquoted: the program is the longest part that exists,
    // never a shorter program that happens to be a prefix of it.
    if (args.size() > 1) {
        if (auto prefix = longestProgramPrefix(command, folder)) {
            std::vector<std::string> full{
                command.substr(0, command.size() - prefix->second.size() - (prefix->second.empty() ? 0 : 1))};
            for (auto& a : splitCommandLine(prefix->second))
                full.push_back(a);
            return spawn(prefix->first, full, folder, priority);
        }
    }
    std::optional<std::filesystem::path> program = ownProgram(args[0]);
    if (program && !isExecutableFile(*program))
        return SpawnResult{false, 0, 2, program->string() + " is not installed"};
    if (!program) program = findProgram(args[0], folder);
    if (!program) return SpawnResult{false, 0, 2, "Program not found: " + args[0]};
    return spawn(*program, args, folder, priority);
}

SpawnResult PosixProcess::shellStart(const std::string& file, const std::string& parameters,
                                     const std::filesystem::path& folder, const std::string& verb) {
    if (file.empty()) return SpawnResult{false, 0, 2, "No file"};
    std::optional<std::filesystem::path> program = ownProgram(file);
    if (program && !isExecutableFile(*program)) program.reset();
    if (!program) program = findProgram(file, folder);
    if (program) {
        std::vector<std::string> args{file};
        for (auto& p : splitCommandLine(parameters))
            args.push_back(p);
        return spawn(*program, args, folder, Priority::Normal);
    }
    if (!parameters.empty()) return SpawnResult{false, 0, 2, "Not a program: " + file};
    // A document, folder or link: the desktop opens it with its application.
    std::filesystem::path target(file);
    const bool looksLikeUrl = file.find("://") != std::string::npos || file.rfind("mailto:", 0) == 0;
    if (!looksLikeUrl) {
        if (target.is_relative() && !folder.empty()) target = folder / target;
        std::error_code ec;
        if (!std::filesystem::exists(target, ec)) return SpawnResult{false, 0, 2, "File not found: " + file};
    }
    if (text::lowerAscii(verb) != "open" && !verb.empty())
        return SpawnResult{false, 0, 31, "No application for verb " + verb};
    auto opener = findProgram("xdg-open", {});
    if (!opener) return SpawnResult{false, 0, 31, "xdg-open is not installed"};
    SpawnResult r =
        spawn(*opener, {"xdg-open", looksLikeUrl ? file : target.string()}, folder, Priority::Normal);
    if (!r.ok) return r;
    // xdg-open hands the file to its application and ends; its code says whether
    // an application was found.
    const int code = wait(r.pid, 10000);
    if (code != 0 && code != kStillActive) {
        forget(r.pid);
        return SpawnResult{false, 0, 31, "No application to open " + file};
    }
    return r;
}

SpawnResult PosixProcess::shellStartWithRetries(const std::string& command,
                                                const std::filesystem::path& folder,
                                                const std::string& verb) {
    SpawnResult r = shellStart(command, "", folder, verb);
    if (r.ok) return r;
    std::string file;
    std::string params;
    if (!command.empty() && command[0] == '"') {
        // A quoted program: the one splitting rule finds where it ends, also when
        // its name holds a quote (written as '"' inside the quotes).
        ProgramAndRest split = splitProgram(command);
        file = std::move(split.program);
        params = std::move(split.rest);
    } else {
        const auto blank = command.find(' ');
        if (blank == std::string::npos || blank + 1 >= command.size()) return r;
        // A longer path that exists wins over a program at the first blank.
        if (auto prefix = longestProgramPrefix(command, folder)) {
            const std::size_t end = command.size() - prefix->second.size() - (prefix->second.empty() ? 0 : 1);
            SpawnResult longest = shellStart(command.substr(0, end), prefix->second, folder, verb);
            if (longest.ok) return longest;
        }
        file = command.substr(0, blank);
        params = command.substr(blank + 1);
    }
    params = std::string(text::trimLeft(params));
    SpawnResult second = shellStart(file, params, folder, verb);
    if (second.ok) return second;
    // Every blank from the right end towards the start, down to position 3;
    // only where the part before it is a program of ours or an executable file.
    for (std::size_t i = command.size(); i-- > 3;) {
        if (command[i] != ' ') continue;
        const std::string part = command.substr(0, i);
        const auto own = ownProgram(part);
        if (!(own && isExecutableFile(*own)) && !findProgram(part, folder)) continue;
        SpawnResult attempt = shellStart(command.substr(0, i), command.substr(i + 1), folder, verb);
        if (attempt.ok) return attempt;
    }
    return second;
}

} // namespace qd
