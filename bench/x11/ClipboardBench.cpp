// The clipboard saver and the hot keys as a person meets them, on Xvfb with qd
// running (and CopyQ, when installed, for comparison):
//  - QdCaptureLatency: from xclip taking a new text to its record being in the
//    Clipboard table (read by this process through the store).
//  - QdBurst200: 200 distinct texts by xclip at 20 ms intervals; counter
//    "kept" = how many of them are stored.
//  - CopyQCaptureLatency / CopyQBurst200: the same against a private CopyQ
//    server, read through its command line ("copyq read 0", "copyq count";
//    each read costs a process start, which the latency includes).
//  - QdHotKeyToFirstCharacter: from XTest pressing a TYPE hot key to the first
//    character reaching the test window (xdotool's process start and the test
//    window's log included).
//  - QdHotKeyToFirstCharacterDirect: qd's own part alone: this process presses
//    the combination with XTest on its own connection and times until the first
//    typed key reaches a window of its own.
#include "X11TestSupport.h"

// Before Xlib, whose macros (None, Status) clash with their names.
#include <benchmark/benchmark.h>

#include "clipboard/ClipboardSaver.h"
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "data/UserInterface.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

extern char** environ;

namespace {

using Steady = std::chrono::steady_clock;

qdtest::X11Session* session() {
    static qdtest::X11Session* s = [] {
        std::string why;
        auto* made = qdtest::X11Session::shared(&why);
        if (!made) std::fprintf(stderr, "no X session: %s\n", why.c_str());
        return made;
    }();
    return s;
}

pid_t spawnWith(const std::vector<std::string>& argv, int stdinFd = -1, bool quiet = true) {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (stdinFd >= 0) posix_spawn_file_actions_adddup2(&fa, stdinFd, 0);
    if (quiet) {
        posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

int run(const std::vector<std::string>& argv) {
    const pid_t pid = spawnWith(argv);
    if (pid < 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string output(const std::string& command) {
    FILE* p = popen(command.c_str(), "r");
    if (!p) return {};
    std::string out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

// Puts a text on the clipboard with xclip (which then serves it in the background).
void xclip(const std::string& text) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return; // the write end must not stay open in xclip
    const pid_t pid = spawnWith({"xclip", "-selection", "clipboard", "-i"}, fds[0]);
    close(fds[0]);
    [[maybe_unused]] const auto w = write(fds[1], text.data(), text.size());
    close(fds[1]);
    int status = 0;
    if (pid > 0) waitpid(pid, &status, 0);
}

// Three capital letters per number, so every text has its own hash key.
std::string distinct(const char* prefix, int n) {
    std::string s = prefix;
    for (int i = 0; i < 4; ++i, n /= 26)
        s += static_cast<char>('A' + n % 26);
    return s;
}

// qd on a fresh data folder with the clipboard monitored and no limit.
struct Qd {
    std::filesystem::path folder;
    pid_t pid = -1;
    qd::ScriptedUserInterface ui;
    std::unique_ptr<qd::ErrorClass> errors;
    std::unique_ptr<qd::DataSet> ds;

    Qd() {
        std::string t = (std::filesystem::temp_directory_path() / "qdclipbench-XXXXXX").string();
        folder = mkdtemp(t.data());
        const std::string qdctl = qdtest::binPath("qdctl");
        run({qdctl, "--data", folder.string(), "init"});
        run({qdctl, "--data", folder.string(), "config", "set", "MonitorClipboard", "1"});
        run({qdctl, "--data", folder.string(), "config", "set", "MaxClipboardEntries", "0"});
        run({qdctl, "--data", folder.string(), "rec", "add", "SysHotKeys", "HOT:HotKey=Ctrl-Alt-B",
             "HOT:Active=1", "HOT:Description=bench", "HOT:Action=Text", "HOT:TextType=TYPE", "HOT:Text=b"});
        pid = spawnWith({qdtest::binPath("qd"), "--data", folder.string()});
        // Ready when its hot key is registered.
        for (int i = 0; i < 200; ++i) {
            if (output(qdctl + " --data " + folder.string() + " hotkeys list 2>/dev/null")
                    .find("registered") != std::string::npos)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        errors = std::make_unique<qd::ErrorClass>(&ui);
        ds = std::make_unique<qd::DataSet>(folder, *errors);
    }
    ~Qd() {
        ds.reset();
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status = 0;
            waitpid(pid, &status, 0);
        }
        std::filesystem::remove_all(folder);
    }
    bool stored(const std::string& text) {
        qd::Table<qd::ClipboardRecord> t(*ds, qd::tables::Clipboard());
        if (t.open() != qd::Level::Benign) return false;
        t.rec.ClipHashKey = qd::ClipHashKey(text);
        return t.fetch("KeyClipHash") == qd::Level::Benign;
    }
    long long count() {
        qd::Table<qd::ClipboardRecord> t(*ds, qd::tables::Clipboard());
        return t.open() == qd::Level::Benign ? t.recordCount() : 0;
    }
};

struct CopyQ {
    std::filesystem::path config;
    pid_t pid = -1;
    CopyQ() {
        std::string t = (std::filesystem::temp_directory_path() / "copyqbench-XXXXXX").string();
        config = mkdtemp(t.data());
        setenv("COPYQ_SETTINGS_PATH", config.c_str(), 1);
        pid = spawnWith({"copyq"});
        for (int i = 0; i < 100 && run({"copyq", "count"}) != 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        run({"copyq", "config", "maxitems", "10000"});
        // Its clipboard monitor starts a moment after the server answers.
        std::this_thread::sleep_for(std::chrono::seconds(2));
    }
    ~CopyQ() {
        run({"copyq", "exit"});
        if (pid > 0) {
            int status = 0;
            waitpid(pid, &status, 0);
        }
        std::filesystem::remove_all(config);
        unsetenv("COPYQ_SETTINGS_PATH");
    }
    std::string first() { return output("copyq read 0 2>/dev/null"); }
    long long count() { return std::atoll(output("copyq count 2>/dev/null").c_str()); }
};

template <class Saver, class IsStored>
void captureLatency(benchmark::State& state, Saver&, IsStored isStored, const char* prefix) {
    int n = 0;
    for (auto _ : state) {
        const std::string text = distinct(prefix, n++);
        const auto start = Steady::now();
        xclip(text);
        bool seen = false;
        while (!seen && Steady::now() - start < std::chrono::seconds(10)) {
            seen = isStored(text);
            if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto took = std::chrono::duration<double>(Steady::now() - start).count();
        state.SetIterationTime(took);
        if (!seen) state.SkipWithError("a copy was never stored");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

template <class Counter> void burst(benchmark::State& state, Counter countNow, const char* prefix) {
    static int round = 0;
    for (auto _ : state) {
        const long long before = countNow();
        const auto start = Steady::now();
        for (int i = 0; i < 200; ++i) {
            xclip(distinct(prefix, 1000 * ++round + i));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        state.SetIterationTime(std::chrono::duration<double>(Steady::now() - start).count());
        state.counters["kept"] = static_cast<double>(countNow() - before);
    }
}

void QdCaptureLatency(benchmark::State& state) {
    if (!session()) return state.SkipWithError("no X session");
    Qd qd;
    captureLatency(
        state, qd, [&](const std::string& t) { return qd.stored(t); }, "Latency ");
}

void QdBurst200(benchmark::State& state) {
    if (!session()) return state.SkipWithError("no X session");
    Qd qd;
    burst(
        state, [&] { return qd.count(); }, "Burst ");
}

void CopyQCaptureLatency(benchmark::State& state) {
    if (!session()) return state.SkipWithError("no X session");
    if (run({"sh", "-c", "command -v copyq"}) != 0) return state.SkipWithError("copyq is not installed");
    CopyQ copyq;
    captureLatency(
        state, copyq, [&](const std::string& t) { return copyq.first() == t; }, "Latency ");
}

void CopyQBurst200(benchmark::State& state) {
    if (!session()) return state.SkipWithError("no X session");
    if (run({"sh", "-c", "command -v copyq"}) != 0) return state.SkipWithError("copyq is not installed");
    CopyQ copyq;
    burst(
        state, [&] { return copyq.count(); }, "Burst ");
}

void QdHotKeyToFirstCharacter(benchmark::State& state) {
    if (!session()) return state.SkipWithError("no X session");
    Qd qd;
    qdtest::Probe probe(*session(), {"--window", "HotKeyBench"});
    if (!probe.waitReady()) return state.SkipWithError("the test window did not come up");
    const std::string id = std::to_string(probe.window("HotKeyBench"));
    for (auto _ : state) {
        run({"xdotool", "windowactivate", "--sync", id});
        probe.clearLog();
        const auto start = Steady::now();
        run({"xdotool", "key", "ctrl+alt+b"});
        bool seen = false;
        while (!seen && Steady::now() - start < std::chrono::seconds(5)) {
            for (const auto& e : probe.events())
                if (e.press && e.text == "b") seen = true;
            if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        state.SetIterationTime(std::chrono::duration<double>(Steady::now() - start).count());
        if (!seen) state.SkipWithError("the text never arrived");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
}

void QdHotKeyToFirstCharacterDirect(benchmark::State& state) {
    if (!session()) return state.SkipWithError("no X session");
    Qd qd;
    Display* dpy = XOpenDisplay(session()->display.c_str());
    if (!dpy) return state.SkipWithError("no display connection");
    const Window win = XCreateSimpleWindow(dpy, DefaultRootWindow(dpy), 0, 0, 200, 100, 0, 0, 0);
    XStoreName(dpy, win, "HotKeyBenchDirect");
    XSelectInput(dpy, win, KeyPressMask | StructureNotifyMask);
    XMapRaised(dpy, win);
    for (XEvent ev; XNextEvent(dpy, &ev), ev.type != MapNotify;) {
    }
    const KeyCode ctrl = XKeysymToKeycode(dpy, XK_Control_L), alt = XKeysymToKeycode(dpy, XK_Alt_L),
                  b = XKeysymToKeycode(dpy, XK_b);
    for (auto _ : state) {
        XSetInputFocus(dpy, win, RevertToParent, CurrentTime);
        XSync(dpy, False);
        while (XPending(dpy) > 0) {
            XEvent ev;
            XNextEvent(dpy, &ev);
        }
        const auto start = Steady::now();
        for (const auto& [key, down] : std::vector<std::pair<KeyCode, bool>>{
                 {ctrl, true}, {alt, true}, {b, true}, {b, false}, {alt, false}, {ctrl, false}})
            XTestFakeKeyEvent(dpy, key, down ? True : False, CurrentTime);
        XFlush(dpy);
        bool seen = false;
        while (!seen && Steady::now() - start < std::chrono::seconds(5)) {
            if (XPending(dpy) == 0) {
                pollfd p{ConnectionNumber(dpy), POLLIN, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            XEvent ev;
            XNextEvent(dpy, &ev);
            // Our own Ctrl and Alt arrive here too; the hot key's "b" goes to qd.
            if (ev.type == KeyPress && ev.xkey.keycode == b && (ev.xkey.state & (ControlMask | Mod1Mask)) == 0)
                seen = true;
        }
        state.SetIterationTime(std::chrono::duration<double>(Steady::now() - start).count());
        if (!seen) state.SkipWithError("the text never arrived");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    XDestroyWindow(dpy, win);
    XCloseDisplay(dpy);
}

} // namespace

BENCHMARK(QdCaptureLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(CopyQCaptureLatency)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);
BENCHMARK(QdBurst200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(CopyQBurst200)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(QdHotKeyToFirstCharacter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(QdHotKeyToFirstCharacterDirect)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK_MAIN();
