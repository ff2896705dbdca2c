// Whole scripts through the step interpreter: the input is script text; its
// steps run (at most 64, at most 400 ticks of one simulated minute) with file
// actions on a fresh tree that holds link loops, links to a parent, a dangling
// link, a FIFO, unreadable files and folders and names with blanks.
//
// File actions may name any path, so the process first locks itself into a
// private root (chroot: as root, or inside a new user namespace otherwise) and
// refuses to run when it cannot. The corpus folders and the dictionary named
// on the command line are copied into that root under the same path, and
// libFuzzer works on those copies; new inputs and crash inputs stay under the
// root, whose path is printed at start.
#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/EventLog.h"
#include "data/UserInterface.h"
#include "platform/fake/FakeWindowSystem.h"
#include "script/FileActions.h"
#include "script/ScriptEngine.h"
#include "script/ScriptFile.h"
#include "script/ScriptText.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <memory>
#include <sched.h>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace qd;

namespace {

constexpr std::size_t kMaxSteps = 64;
constexpr int kMaxTicks = 400;

bool writeText(const char* path, const std::string& text) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    ::close(fd);
    return ok;
}

// Locks the process into `root`; false when no way is open.
bool enterPrivateRoot(const fs::path& root) {
    if (::chroot(root.c_str()) != 0) {
        if (errno != EPERM) return false;
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        writeText("/proc/self/setgroups", "deny");
        if (!writeText("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1\n")) return false;
        if (!writeText("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1\n")) return false;
        if (::chroot(root.c_str()) != 0) return false;
    }
    return ::chdir("/") == 0;
}

void file(const fs::path& p, const std::string& text, mode_t mode = 0644) {
    const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd < 0) return;
    if (::write(fd, text.data(), text.size()) < 0) {
    }
    ::close(fd);
}

void link(const char* target, const fs::path& at) {
    std::error_code ec;
    fs::create_symlink(target, at, ec);
}

// The tree every input starts from, in /work.
void buildTree() {
    std::error_code ec;
    ::chmod("/work/locked", 0700);
    fs::remove_all("/work", ec);
    fs::create_directories("/work/sub/deep", ec);
    fs::create_directories("/work/empty", ec);
    fs::create_directories("/work/locked", ec);
    file("/work/a.txt", "alpha\n");
    file("/work/b.txt", std::string(4096, 'b'));
    file("/work/my report.txt", "report\n");
    file("/work/sub/f.txt", "f\n");
    file("/work/sub/deep/g.dat", "g\n");
    file("/work/unreadable.txt", "secret\n", 0000);
    file("/work/locked/inside.txt", "inside\n");
    ::chmod("/work/locked", 0000);
    file("/work/script.qds", "");
    link("self", "/work/self");
    link("pong", "/work/ping");
    link("ping", "/work/pong");
    link("..", "/work/up");
    link("..", "/work/sub/back");
    link("/work/sub", "/work/alias");
    link("nowhere", "/work/dangling");
    link("/data", "/work/data");
    ::mkfifo("/work/fifo", 0600);
    ::mkfifo("/work/sub/pipe.qds", 0600);
}

struct World {
    ManualClock clock{Moment{dateFromMDY(6, 10, 2026), timeFromHMS(9, 0, 0)}};
    ScriptedUserInterface ui;
    ErrorClass errors{&ui};
    std::unique_ptr<DataSet> ds;
    std::unique_ptr<EventLog> log;
    VariableQueue vars;
    std::unique_ptr<ScriptValues> values;
    FakeWindowSystem windowSystem;
    std::unique_ptr<WindowTargeting> targeting;
    std::unique_ptr<ScriptEngine> engine;

    World() {
        ds = std::make_unique<DataSet>("/data", errors);
        EventLogConfig config;
        config.dataFolder = "/data";
        config.logEvents = true;
        log = std::make_unique<EventLog>(config, &clock);
        values = std::make_unique<ScriptValues>(vars);
        values->setClock(&clock);
        windowSystem.add("Editor - notes.txt");
        windowSystem.add("Terminal");
        targeting = std::make_unique<WindowTargeting>(windowSystem);

        ScriptEnvironment env;
        env.values = values.get();
        env.windows = targeting.get();
        env.transfers = false; // no programs are started here
        ScriptValues* v = values.get();
        WindowTargeting* t = targeting.get();
        EventLog* l = log.get();
        env.fileAction = [v, t, l](const ScriptingRecord& step) {
            FileActionEnvironment fe;
            fe.values = v;
            fe.windows = t;
            fe.eventLog = l;
            fe.folder = "/work";
            fe.trash.homeTrash = "/trash";
            fe.trash.clock = nullptr;
            DoFileAction(step.DDEType, step.Command, step.Path, step.DDEApplicationName,
                         step.DDEApplicationTopic, fe);
        };
        env.readScriptFile = [](const std::string& name,
                                std::string& error) -> std::optional<std::vector<ScriptingRecord>> {
            fs::path p(name);
            if (p.is_relative()) p = fs::path("/work") / p;
            // Only regular files are read as scripts (a FIFO would hold the run).
            struct stat st {};
            if (::stat(p.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
                error = "Not a script file: " + name;
                return std::nullopt;
            }
            ScriptFileContent content;
            const ScriptFileStatus status = LoadScriptFile(p, content);
            if (!status.ok) {
                error = status.error;
                return std::nullopt;
            }
            return content.steps;
        };
        engine = std::make_unique<ScriptEngine>(*ds, *log, ui, clock, env);
        engine->tempScriptingActive = true;
    }
};

World* world = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    // On tmpfs when there is one: the file actions sync what they write.
    char root[] = "/dev/shm/qd-fuzz-run-XXXXXX";
    char fallback[] = "/tmp/qd-fuzz-run-XXXXXX";
    const char* made = ::mkdtemp(root);
    if (!made) made = ::mkdtemp(fallback);
    if (!made) return 0;
    for (const char* sub : {"data", "work", "trash", "tmp"})
        ::mkdir((std::string(made) + "/" + sub).c_str(), 0700);
    // The corpus folders and the dictionary are read (and new inputs written)
    // after the process is locked in: copy them to the path they will have there.
    for (int i = 1; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        if (arg.rfind("-dict=", 0) == 0)
            arg = arg.substr(6);
        else if (arg[0] == '-')
            continue;
        std::error_code ec;
        if (!fs::exists(arg, ec)) continue;
        const fs::path copy = fs::path(made) / fs::path(arg).relative_path();
        fs::create_directories(copy.parent_path(), ec);
        fs::copy(arg, copy, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
    }
    std::fprintf(stderr, "fuzz_script_run: private root %s\n", made);
    if (!enterPrivateRoot(made)) {
        std::fprintf(stderr, "fuzz_script_run: cannot lock the process into %s (%s); refusing to run\n", made,
                     std::strerror(errno));
        std::abort();
    }
    ::setenv("TMPDIR", "/tmp", 1);
    ::setenv("HOME", "/", 1);
    world = new World;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<ScriptingRecord> steps = TextToSteps(text, 1, nullptr);
    if (steps.size() > kMaxSteps) steps.resize(kMaxSteps);
    buildTree();
    ::unlink("/data/QD98Evnt.LOG");
    World& w = *world;
    w.engine->stopAll();
    w.ui.shown.clear();
    w.vars.clear();
    w.clock.set(Moment{dateFromMDY(6, 10, 2026), timeFromHMS(9, 0, 0)});
    w.engine->queueSteps(steps);
    for (int tick = 0; tick < kMaxTicks && !w.engine->queue().empty(); ++tick) {
        w.clock.advanceSeconds(60);
        w.engine->executeNextStep();
    }
    w.engine->stopAll();
    return 0;
}
