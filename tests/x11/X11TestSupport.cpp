#include "X11TestSupport.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef QD_SOURCE_DIR
#error "QD_SOURCE_DIR must name the checkout"
#endif

namespace qdtest {

namespace {

std::string shellQuote(const std::string& s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string valueOf(const std::string& output, const std::string& name) {
    std::istringstream in(output);
    std::string line;
    const std::string prefix = "export " + name + "=";
    while (std::getline(in, line)) {
        if (line.rfind(prefix, 0) != 0) continue;
        std::string v = line.substr(prefix.size());
        if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') v = v.substr(1, v.size() - 2);
        return v;
    }
    return {};
}

pid_t spawn(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    const pid_t pid = fork();
    if (pid != 0) return pid;
    for (const std::string& e : env)
        putenv(const_cast<char*>(e.c_str()));
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
}

} // namespace

std::string binPath(const std::string& name) {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / name).string();
}

std::unique_ptr<X11Session> X11Session::start(bool withWindowManager, std::string* error) {
    const std::string cmd = std::string(QD_SOURCE_DIR) + "/tools/x11-session.sh start" +
                            (withWindowManager ? "" : " --no-wm") + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) {
        if (error) *error = "cannot run tools/x11-session.sh";
        return nullptr;
    }
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    const int rc = pclose(p);
    auto s = std::unique_ptr<X11Session>(new X11Session);
    s->display = valueOf(out, "DISPLAY");
    s->bus = valueOf(out, "DBUS_SESSION_BUS_ADDRESS");
    s->dir_ = valueOf(out, "QD_X11_SESSION");
    if (rc != 0 || s->display.empty()) {
        if (error) *error = "x11-session.sh failed: " + out;
        return nullptr;
    }
    return s;
}

X11Session* X11Session::shared(std::string* error) {
    static std::unique_ptr<X11Session> session;
    static std::string failure;
    if (!session && failure.empty()) {
        const char* display = std::getenv("DISPLAY");
        const char* owned = std::getenv("QD_X11_SESSION");
        if (display && *display && owned && *owned) {
            // Test programs sharing the caller's server take turns: they switch
            // layouts and move the focus. The lock lasts as long as this process.
            const int lock =
                open((std::string(owned) + "/tests.lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
            if (lock >= 0) flock(lock, LOCK_EX);
            session = std::unique_ptr<X11Session>(new X11Session);
            session->display = display;
            if (const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS")) session->bus = bus;
        } else {
            session = start(true, &failure);
            if (session) {
                setenv("DISPLAY", session->display.c_str(), 1);
                if (!session->bus.empty()) setenv("DBUS_SESSION_BUS_ADDRESS", session->bus.c_str(), 1);
            }
        }
    }
    if (!session && error) *error = failure;
    return session.get();
}

X11Session::~X11Session() {
    if (dir_.empty()) return;
    setLayout("us");
    const std::string cmd = std::string(QD_SOURCE_DIR) + "/tools/x11-session.sh stop " + shellQuote(dir_);
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "x11-session.sh stop failed\n");
}

bool X11Session::setLayout(const std::string& args) const {
    const std::string cmd = "setxkbmap -display " + shellQuote(display) + " " + args + " >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

std::string X11Session::keymapDump() const {
    const std::string cmd = "xkbcomp -xkb " + shellQuote(display) + " - 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

int runProgram(const std::vector<std::string>& argv, const std::string& display) {
    const pid_t pid = spawn(argv, {"DISPLAY=" + display});
    if (pid < 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

Probe::Probe(const X11Session& session, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {binPath("qd_keyprobe"), "--log", (dir_ / "keys.log").string(), "--ready",
                                     (dir_ / "ready").string()};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env = {"DISPLAY=" + session.display, "QT_QPA_PLATFORM=xcb",
                                    "QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1", "QT_ACCESSIBILITY=1"};
    if (!session.bus.empty()) env.push_back("DBUS_SESSION_BUS_ADDRESS=" + session.bus);
    pid_ = spawn(argv, env);
}

Probe::~Probe() {
    stop();
}

bool Probe::running() {
    if (pid_ <= 0) return false;
    const pid_t r = waitpid(pid_, &status_, WNOHANG);
    if (r == pid_) {
        pid_ = -1;
        return false;
    }
    return true;
}

void Probe::stop() {
    if (!running()) return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 100 && running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (running()) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status_, 0);
        pid_ = -1;
    }
}

bool Probe::waitReady(std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    const auto file = dir_ / "ready";
    while (!std::filesystem::exists(file)) {
        if (!running() || std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::ifstream in(file);
    std::string line;
    windows_.clear();
    while (std::getline(in, line)) {
        const auto sp = line.find(' ');
        windows_.emplace_back(std::stoul(line.substr(0, sp)), line.substr(sp + 1));
    }
    // Give the window manager a moment to settle focus and stacking.
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    return true;
}

unsigned long Probe::window(const std::string& title) const {
    for (const auto& [id, t] : windows_)
        if (t == title) return id;
    return 0;
}

std::vector<KeyEvent> Probe::events() const {
    std::vector<KeyEvent> out;
    std::ifstream in(dir_ / "keys.log");
    std::string kind, key, mods, hex;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        ls >> kind >> key >> mods;
        hex.clear();
        ls >> hex;
        KeyEvent e;
        e.press = kind == "P";
        e.key = static_cast<int>(std::stoul(key, nullptr, 16));
        e.mods = static_cast<unsigned>(std::stoul(mods, nullptr, 16));
        for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
            e.text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        out.push_back(e);
    }
    return out;
}

std::string Probe::typedText() const {
    std::string text;
    for (const KeyEvent& e : events())
        if (e.press) text += e.text;
    return text;
}

std::string Probe::waitTyped(std::size_t bytes, std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    std::size_t lastCount = 0;
    auto lastChange = std::chrono::steady_clock::now();
    for (;;) {
        const std::size_t count = events().size();
        if (count != lastCount) {
            lastCount = count;
            lastChange = std::chrono::steady_clock::now();
        }
        const auto now = std::chrono::steady_clock::now();
        const std::string text = typedText();
        if ((text.size() >= bytes && now - lastChange > std::chrono::milliseconds(150)) || now >= end)
            return text;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void Probe::clearLog() const {
    std::ofstream(dir_ / "keys.log", std::ios::trunc);
}

} // namespace qdtest
