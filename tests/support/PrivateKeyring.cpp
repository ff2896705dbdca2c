#include "support/PrivateKeyring.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qdtest {
namespace {

// Runs a program with `input` on its stdin; its stdout is returned. -1 exit on failure to start.
int runProgram(const std::vector<std::string>& argv, const std::string& input, std::string& output) {
    int in[2], out[2];
    if (::pipe(in) != 0) return -1;
    if (::pipe(out) != 0) return -1;
    const pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::close(in[0]);
        ::close(in[1]);
        ::close(out[0]);
        ::close(out[1]);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execvp(args[0], args.data());
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0) {
        // The program reports what it missed.
    }
    ::close(in[1]);
    char buf[512];
    ssize_t n;
    while ((n = ::read(out[0], buf, sizeof buf)) > 0)
        output.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void save(const char* name, std::string& value, bool& had) {
    const char* v = std::getenv(name);
    had = v != nullptr;
    if (v) value = v;
}

void restore(const char* name, const std::string& value, bool had) {
    if (had)
        ::setenv(name, value.c_str(), 1);
    else
        ::unsetenv(name);
}

} // namespace

PrivateKeyring::PrivateKeyring() {
    save("DBUS_SESSION_BUS_ADDRESS", savedBus_, hadBus_);
    save("HOME", savedHome_, hadHome_);
    save("XDG_RUNTIME_DIR", savedRuntime_, hadRuntime_);
    save("XDG_DATA_HOME", savedData_, hadData_);
    const std::filesystem::path runtime = home_ / "run";
    std::filesystem::create_directories(runtime);
    ::chmod(runtime.c_str(), 0700);
    ::setenv("HOME", home_.str().c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);

    std::string busOut;
    if (runProgram({"dbus-daemon", "--session", "--fork", "--print-address=1", "--print-pid=1"}, "",
                   busOut) != 0) {
        failure_ = "dbus-daemon did not start";
        return;
    }
    const auto nl = busOut.find('\n');
    if (nl == std::string::npos) {
        failure_ = "dbus-daemon printed no address";
        return;
    }
    const std::string address = busOut.substr(0, nl);
    busPid_ = std::atoi(busOut.c_str() + nl + 1);
    ::setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    std::string gkdOut;
    const int rc = runProgram({"gnome-keyring-daemon", "--unlock", "--components=secrets",
                               "--control-directory=" + (runtime / "keyring").string()},
                              "qd-test-password", gkdOut);
    if (rc != 0) failure_ = "gnome-keyring-daemon --unlock failed with " + std::to_string(rc);
}

PrivateKeyring::~PrivateKeyring() {
    if (busPid_ > 0) ::kill(busPid_, SIGTERM);
    restore("DBUS_SESSION_BUS_ADDRESS", savedBus_, hadBus_);
    restore("HOME", savedHome_, hadHome_);
    restore("XDG_RUNTIME_DIR", savedRuntime_, hadRuntime_);
    restore("XDG_DATA_HOME", savedData_, hadData_);
}

} // namespace qdtest
