// killproc: ends the program that owns a window.
//
//   killproc [--grace-ms=N] [--] PATTERN...
//
// The words of the command line form one window title pattern (exact title,
// "Begin*", "*phrase", a leading "~" ignored). The first top-level window that
// matches, front to back, names its process through _NET_WM_PID; that process
// gets SIGTERM and, when it is still there after the grace period (default
// 3000 ms), SIGKILL.
//
// Exit codes:
//   0  the process was ended
//   1  no window matches the pattern
//   2  refused: the window names no process, runs on another machine, or is
//      this program, its parent or init; or the signal was not permitted
//   3  no X display
//   4  usage error (no pattern)
//   5  the process was still running after SIGKILL
#include "platform/x11/X11Desktop.h"
#include "script/WindowTargeting.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

enum Exit { kEnded = 0, kNoMatch = 1, kRefused = 2, kNoDisplay = 3, kUsage = 4, kSurvived = 5 };

// True while the process exists and is not a zombie waiting for its parent.
bool alive(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno == ESRCH) return false;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return false;
    const auto close = line.rfind(')');
    return close == std::string::npos || close + 2 >= line.size() || line[close + 2] != 'Z';
}

bool waitGone(pid_t pid, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (alive(pid)) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::string hostName() {
    char buf[256] = {};
    if (gethostname(buf, sizeof buf - 1) != 0) return {};
    return buf;
}

} // namespace

int main(int argc, char** argv) {
    int argi = 1;
    long graceMs = 3000;
    const std::string graceOpt = "--grace-ms=";
    if (argi < argc && std::string(argv[argi]).rfind(graceOpt, 0) == 0) {
        graceMs = std::strtol(argv[argi] + graceOpt.size(), nullptr, 10);
        if (graceMs < 0) graceMs = 0;
        ++argi;
    }
    // "--" ends the options: whatever follows is the pattern, even when it
    // starts with "--grace-ms=" (a window title may).
    if (argi < argc && std::string(argv[argi]) == "--") ++argi;
    std::string pattern;
    for (; argi < argc; ++argi)
        pattern += (pattern.empty() ? "" : " ") + std::string(argv[argi]);
    if (pattern.empty()) {
        std::fprintf(stderr, "usage: killproc [--grace-ms=N] [--] WINDOW-TITLE-PATTERN\n");
        return kUsage;
    }

    qd::X11Desktop desktop = qd::openX11Desktop();
    if (!desktop.connected()) {
        std::fprintf(stderr, "killproc: no X display\n");
        return kNoDisplay;
    }
    desktop.windows->setUseAccessibility(false);
    qd::WindowTargeting targeting(*desktop.windows);
    const qd::WindowHandle window = targeting.FindWindowByPattern(pattern, "");
    if (window == 0) {
        std::fprintf(stderr, "killproc: no window matches \"%s\"\n", pattern.c_str());
        return kNoMatch;
    }
    const pid_t pid = desktop.windows->windowPid(window);
    if (pid <= 1 || pid == getpid() || pid == getppid()) {
        std::fprintf(stderr, "killproc: refusing: the window names no process that may be ended\n");
        return kRefused;
    }
    // A process id is only meaningful on the machine the program runs on.
    const std::string machine = desktop.windows->clientMachine(window);
    if (!machine.empty() && machine != hostName()) {
        std::fprintf(stderr, "killproc: refusing: the window's program runs on %s\n", machine.c_str());
        return kRefused;
    }
    if (::kill(pid, SIGTERM) != 0) {
        if (errno == ESRCH) return kEnded;
        std::perror("killproc: SIGTERM");
        return kRefused;
    }
    if (waitGone(pid, std::chrono::milliseconds(graceMs))) return kEnded;
    if (::kill(pid, SIGKILL) != 0 && errno != ESRCH) {
        std::perror("killproc: SIGKILL");
        return kRefused;
    }
    return waitGone(pid, std::chrono::milliseconds(2000)) ? kEnded : kSurvived;
}
