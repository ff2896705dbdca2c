// The resident program as a person meets it, measured from outside: qd is
// started as a separate process on a data folder with 100,000 tasks.
//  - QdStartToShownFrame: from starting the process to its frame's first
//    paint; counters: the RSS at that moment (MB) and the time qd itself
//    reports since its process began.
//  - QdIdleCpu: CPU used by qd over an idle stretch, started minimised (hidden
//    in the tray where a tray host runs); QD_BENCH_IDLE_SECONDS (default 60).
//  - TaskToMessage: a "Display Message" task written by a second process for
//    a whole second ahead; the latency from its moment to the qdmsg window's
//    first paint.
// Without DISPLAY the programs run on Qt's offscreen platform; under Xvfb with
// a window manager and tray host the figures include the X server's work.
#include "data/Calendar.h"
#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/Startup.h"
#include "support/BenchData.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace qd;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kTasks = 100000;

using qdbench::Folder;

// Messages and programs spread over the coming year; none is due during a run.
void fillFarTasks(const std::filesystem::path& folder,
                  const std::vector<std::pair<std::string, std::string>>& settings) {
    ScriptedUserInterface ui;
    ErrorClass errors(&ui);
    DataSet ds(folder, errors);
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    const Date first = systemClock().now().date + 2;
    qdbench::addRecords(sch, kTasks, [&](ScheduleRecord& r, int i) {
        r.Description = "Reminder " + std::to_string(i);
        r.TaskType = i % 2 ? "Display Message" : "Run Program";
        r.Message = "Message of reminder " + std::to_string(i);
        r.Command = "true";
        r.ScheduleType = "Custom";
        r.Every = 1 + i % 4;
        r.EveryType = i % 3 ? "week(s)" : "month(s)";
        r.Date = first + i % 365;
        r.Time = timeFromHMS(i % 24, (i * 7) % 60, 0);
    });
    Table<ConfigurationRecord> cf(ds, tables::Configuration());
    cf.open();
    for (const auto& [key, value] : settings)
        writeConfigurationRow(cf, key, value);
}

struct Child {
    pid_t pid = -1;
    int out = -1;
    std::string pending;

    ~Child() { stop(); }

    // Reads whole lines until one starts with `prefix` or the deadline passes.
    std::optional<std::string> waitLine(const std::string& prefix, Steady::time_point deadline) {
        while (true) {
            for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
                std::string line = pending.substr(0, nl);
                pending.erase(0, nl + 1);
                if (line.rfind(prefix, 0) == 0) return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
            if (left.count() <= 0) return std::nullopt;
            pollfd p{out, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
            char buf[4096];
            const ssize_t n = ::read(out, buf, sizeof buf);
            if (n <= 0) return std::nullopt;
            pending.append(buf, static_cast<size_t>(n));
        }
    }

    void stop() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            int status = 0;
            ::waitpid(pid, &status, 0);
            pid = -1;
        }
        if (out >= 0) ::close(out);
        out = -1;
    }
};

std::vector<std::string> childEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    env.emplace_back("QD_REPORT_SHOWN=1");
    if (!std::getenv("DISPLAY")) env.emplace_back("QT_QPA_PLATFORM=offscreen");
    return env;
}

bool startQd(Child& child, const std::filesystem::path& folder) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    const std::string program = std::string(QD_BIN_DIR) + "/qd";
    const std::string data = folder.string();
    std::vector<std::string> envText = childEnvironment();
    std::vector<char*> env;
    for (std::string& e : envText)
        env.push_back(e.data());
    env.push_back(nullptr);
    std::vector<char*> argv = {const_cast<char*>(program.c_str()), const_cast<char*>("--data"),
                               const_cast<char*>(data.c_str()), nullptr};
    const int rc = posix_spawn(&child.pid, program.c_str(), &actions, nullptr, argv.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    child.out = pipeFds[0];
    return rc == 0;
}

std::string readAll(const std::string& file) {
    std::string text;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    ::close(fd);
    return text;
}

double cpuSeconds(pid_t pid) {
    const std::string s = readAll("/proc/" + std::to_string(pid) + "/stat");
    // utime and stime are fields 14 and 15; the name (field 2) may hold spaces.
    size_t pos = s.rfind(')');
    if (pos == std::string::npos) return 0;
    pos += 2;
    for (int field = 3; field < 14; ++field)
        pos = s.find(' ', pos) + 1;
    char* end = nullptr;
    const double utime = std::strtod(s.c_str() + pos, &end);
    const double stime = std::strtod(end, nullptr);
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Ends the message programs qd started on `folder` (they run in the folder).
void endMessagePrograms(const std::filesystem::path& folder) {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        if (readAll(entry.path().string() + "/comm") != "qdmsg\n") continue;
        if (std::filesystem::read_symlink(entry.path() / "cwd", ec) != folder) continue;
        ::kill(std::stoi(name), SIGTERM);
    }
}

double rssMegabytes(pid_t pid) {
    const std::string s = readAll("/proc/" + std::to_string(pid) + "/status");
    const size_t at = s.find("VmRSS:");
    return at == std::string::npos ? -1 : std::strtod(s.c_str() + at + 6, nullptr) / 1024.0;
}

void BM_QdStartToShownFrame_100000Tasks(benchmark::State& state) {
    Folder folder;
    fillFarTasks(folder.path, {});
    double rss = 0, reported = 0;
    for (auto _ : state) {
        Child qd;
        const auto begin = Steady::now();
        if (!startQd(qd, folder.path)) {
            state.SkipWithError("qd could not be started");
            return;
        }
        const auto line = qd.waitLine("qd shown", begin + std::chrono::seconds(60));
        const auto end = Steady::now();
        if (!line) {
            state.SkipWithError("qd did not show its frame within a minute");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - begin).count());
        rss = rssMegabytes(qd.pid);
        reported = std::stod(line->substr(9));
    }
    state.counters["rss_MB"] = rss;
    state.counters["reported_ms"] = reported;
}

void BM_QdIdleCpu_100000Tasks(benchmark::State& state) {
    Folder folder;
    fillFarTasks(folder.path, {{"StartUpMinimized", "1"}});
    const char* secondsText = std::getenv("QD_BENCH_IDLE_SECONDS");
    const int seconds = secondsText ? std::max(1, std::atoi(secondsText)) : 60;
    double percent = 0, rss = 0;
    for (auto _ : state) {
        Child qd;
        if (!startQd(qd, folder.path)) {
            state.SkipWithError("qd could not be started");
            return;
        }
        // Hidden in the tray there is no paint: the start line says it is up.
        if (!qd.waitLine("qd shown", Steady::now() + std::chrono::seconds(60))) {
            state.SkipWithError("qd did not start within a minute");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(5)); // settle
        const double before = cpuSeconds(qd.pid);
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double used = cpuSeconds(qd.pid) - before;
        percent = 100.0 * used / seconds;
        rss = rssMegabytes(qd.pid);
        state.SetIterationTime(used);
    }
    state.counters["cpu_percent"] = percent;
    state.counters["rss_MB"] = rss;
}

void BM_TaskToMessage(benchmark::State& state) {
    Folder folder;
    fillFarTasks(folder.path, {{"StartUpMinimized", "1"}});
    Child qd;
    if (!startQd(qd, folder.path) || !qd.waitLine("qd shown", Steady::now() + std::chrono::seconds(60))) {
        state.SkipWithError("qd did not start");
        return;
    }
    ScriptedUserInterface ui;
    ErrorClass errors(&ui);
    DataSet ds(folder.path, errors);
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    sch.open();
    double worst = 0;
    for (auto _ : state) {
        // A whole second, divisible by four, at least two seconds ahead (a
        // reminder set for a whole minute is one of these).
        const Moment now = systemClock().now();
        const int intoSecond = (now.time - 1) % kTimeSecond;
        const int second = (now.time - 1) / kTimeSecond;
        const int target = (second + 2 + 3) / 4 * 4;
        const long long ahead = static_cast<long long>(target - second) * kTimeSecond - intoSecond;
        Moment at{now.date, static_cast<Time>(now.time + ahead)};
        if (at.time > kTimeDay) {
            at.time -= kTimeDay;
            ++at.date;
        }
        const auto due = Steady::now() + std::chrono::milliseconds(ahead * 10);
        sch.rec = {};
        sch.rec.Description = "Benchmark reminder";
        sch.rec.TaskType = "Display Message";
        sch.rec.Message = "Time to measure";
        sch.rec.ScheduleType = "Once";
        sch.rec.Date = at.date;
        sch.rec.Time = at.time;
        if (sch.insert() != Level::Benign) {
            state.SkipWithError("the task could not be written");
            return;
        }
        const auto line = qd.waitLine("qdmsg shown", due + std::chrono::seconds(30));
        const auto end = Steady::now();
        if (!line) {
            state.SkipWithError("no message window within 30 s of the task's moment");
            return;
        }
        const double latency = std::chrono::duration<double>(end - due).count();
        worst = std::max(worst, latency);
        state.SetIterationTime(latency);
        endMessagePrograms(folder.path);
    }
    state.counters["worst_s"] = worst;
}

} // namespace

BENCHMARK(BM_QdStartToShownFrame_100000Tasks)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QdIdleCpu_100000Tasks)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TaskToMessage)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
