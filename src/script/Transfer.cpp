#include "script/Transfer.h"

#include "remote/ExitCodes.h"
#include "script/ScriptSteps.h"
#include "script/ScriptStrings.h"
#include "script/Values.h"

#include <cerrno>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qd {

namespace fs = std::filesystem;
using script::rtrim;
using script::trim;
using script::upper;

namespace {

constexpr std::size_t kUserWidth = 128;

std::string firstWordProgram(std::string_view command) {
    const std::vector<std::string> words = SplitCommandLine(command);
    if (words.empty()) return {};
    std::string name = upper(fs::path(words.front()).filename().string());
    if (name.size() > 4 && name.substr(name.size() - 4) == ".EXE") name.resize(name.size() - 4);
    if (name == "QDFTP") return "qdftp";
    if (name == "HTTPGET") return "httpget";
    return {};
}

} // namespace

bool IsTransferOperation(std::string_view op) {
    op = rtrim(op);
    return op == "FTP Upload" || op == "FTP Download" || op == "HTTP Download";
}

std::string QuoteTransferArgument(std::string_view value) {
    std::string_view x = rtrim(value);
    if (x.size() >= 2 && x.front() == '"' && x.back() == '"') x = x.substr(1, x.size() - 2);
    x = rtrim(x);
    if (x.find_first_of(" /\\") != std::string_view::npos) return "\"" + std::string(trim(x)) + "\"";
    if (x.empty()) return "\"\"";
    return std::string(x);
}

std::optional<ScriptingRecord> RewriteTransferStep(const ScriptingRecord& step) {
    if (rtrim(step.Action) != action::FileActions || !IsTransferOperation(step.DDEType)) return std::nullopt;
    const std::string op(rtrim(step.DDEType));
    const std::string_view topic = step.DDEApplicationTopic;
    const std::string user(rtrim(topic.substr(0, std::min(topic.size(), kUserWidth))));
    const std::string password(topic.size() > kUserWidth ? topic.substr(kUserWidth) : std::string_view());
    const auto q = QuoteTransferArgument;
    ScriptingRecord r = step;
    r.Action = action::StartProgram;
    if (op == "FTP Upload")
        r.Command = "QDFTP U " + q(step.Command) + " " + q(step.Path) + " " + q(step.DDEApplicationName) +
                    " " + q(user);
    else if (op == "FTP Download")
        r.Command = "QDFTP D " + q(step.Command) + " " + q(step.Path) + " " + q(step.DDEApplicationName) +
                    " " + q(user);
    else
        r.Command = "HTTPGET " + q(step.Command) + " " + q(step.Path) + " /AUTO";
    r.Command = script::fitField(r.Command, stepwidth::Text);
    r.Path.clear();
    r.DDEApplicationName = "1211";
    r.TimeElapsed = 360000;
    r.DDEApplicationTopic.clear();
    r.DDEType.clear();
    // The password travels with the entry, off the command line.
    r.DDECommand = op == "HTTP Download" ? std::string() : std::string(rtrim(password));
    return r;
}

std::vector<std::string> SplitCommandLine(std::string_view command) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    bool have = false;
    for (char c : command) {
        if (c == '"') {
            quoted = !quoted;
            have = true;
        } else if (c == ' ' && !quoted) {
            if (have) out.push_back(cur);
            cur.clear();
            have = false;
        } else {
            cur += c;
            have = true;
        }
    }
    if (have) out.push_back(cur);
    return out;
}

bool IsTransferCommand(std::string_view command) {
    return !firstWordProgram(command).empty();
}

fs::path ProgramFolder() {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : self.parent_path();
}

std::optional<ProgramLaunch> PrepareTransferLaunch(const ScriptingRecord& entry,
                                                   const TransferStartOptions& options) {
    std::string folder = entry.Path;
    std::string password = entry.DDECommand;
    const bool translate = (entry.DDEApplicationName.size() >= 4 && entry.DDEApplicationName[3] == '1') ||
                           options.translateFilenames;
    // Split first, then translate inside each argument, once: a value with
    // blanks or quotes stays one argument, and is not read for names again.
    std::vector<std::string> words = SplitCommandLine(entry.Command);
    if (translate && options.values) {
        for (std::string& w : words)
            w = options.values->TranslateText(w);
        folder = options.values->TranslateText(folder);
        password = options.values->TranslateText(password);
    }
    if (words.empty()) return std::nullopt;
    const std::string program = firstWordProgram(QuoteTransferArgument(words.front()));
    if (program.empty()) return std::nullopt;
    ProgramLaunch l;
    const fs::path dir = options.programFolder.empty() ? ProgramFolder() : options.programFolder;
    l.program = dir / program;
    l.arguments.assign(words.begin() + 1, words.end());
    if (program == "qdftp" && !password.empty())
        l.environment.push_back(std::string(remote::kFtpPasswordVariable) + "=" + password);
    l.workingFolder =
        !options.workingFolder.empty() ? options.workingFolder : fs::path(std::string(rtrim(folder)));
    for (const std::string& w : words)
        l.visibleCommand += (l.visibleCommand.empty() ? "" : " ") + QuoteTransferArgument(w);
    return l;
}

ChildProcess::~ChildProcess() = default;

ChildProcess::ChildProcess(ChildProcess&& other) noexcept : pid_(other.pid_), exitCode_(other.exitCode_) {
    other.pid_ = 0;
    other.exitCode_.reset();
}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    pid_ = other.pid_;
    exitCode_ = other.exitCode_;
    other.pid_ = 0;
    other.exitCode_.reset();
    return *this;
}

int ChildProcess::start(const ProgramLaunch& launch) {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        // A password variable of our own environment is never handed on.
        if (std::strncmp(*e, remote::kFtpPasswordVariable, std::strlen(remote::kFtpPasswordVariable)) == 0 &&
            (*e)[std::strlen(remote::kFtpPasswordVariable)] == '=')
            continue;
        env.emplace_back(*e);
    }
    env.insert(env.end(), launch.environment.begin(), launch.environment.end());
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    std::vector<std::string> args;
    args.push_back(launch.program.string());
    args.insert(args.end(), launch.arguments.begin(), launch.arguments.end());
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!launch.workingFolder.empty())
        posix_spawn_file_actions_addchdir_np(&actions, launch.workingFolder.c_str());
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, launch.program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return rc;
    pid_ = pid;
    exitCode_.reset();
    return 0;
}

std::optional<int> ChildProcess::poll() {
    if (exitCode_ || pid_ <= 0) return exitCode_;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0) return std::nullopt;
    if (r < 0) {
        exitCode_ = -1;
    } else if (WIFEXITED(status)) {
        exitCode_ = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        exitCode_ = 128 + WTERMSIG(status);
    } else {
        return std::nullopt;
    }
    return exitCode_;
}

int ChildProcess::wait() {
    if (pid_ <= 0) return -1;
    while (!exitCode_) {
        int status = 0;
        const pid_t r = ::waitpid(pid_, &status, 0);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0)
            exitCode_ = -1;
        else if (WIFEXITED(status))
            exitCode_ = WEXITSTATUS(status);
        else if (WIFSIGNALED(status))
            exitCode_ = 128 + WTERMSIG(status);
    }
    return *exitCode_;
}

std::optional<ChildProcess> StartTransfer(const ScriptingRecord& entry, const TransferStartOptions& options,
                                          std::string* error) {
    auto launch = PrepareTransferLaunch(entry, options);
    if (!launch) {
        if (error) *error = "Not a transfer command: " + entry.Command;
        return std::nullopt;
    }
    ChildProcess p;
    if (int e = p.start(*launch)) {
        if (error) *error = "Cannot start " + launch->program.string() + ": " + std::strerror(e);
        return std::nullopt;
    }
    return p;
}

int RunTransfer(const ScriptingRecord& entry, const TransferStartOptions& options) {
    auto p = StartTransfer(entry, options);
    return p ? p->wait() : -1;
}

} // namespace qd
