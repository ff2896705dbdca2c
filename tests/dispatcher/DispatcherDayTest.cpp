// A simulated day of the whole engine: one dispatcher, two dispatchers sharing the
// data folder, and one dispatcher restarted halfway perform exactly the same
// occurrences, including tasks that fail in every way a task can.
#include "DispatcherFixture.h"

#include "data/Settings.h"
#include "platform/null/NullDesktop.h"
#include "platform/posix/PosixProcess.h"
#include "runtime/Runtime.h"
#include "script/Values.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <tuple>

using namespace qd;

namespace {

const Date kDay = dateFromMDY(3, 10, 2026);

using Occurrence = std::tuple<int, Date, Time>; // task, its due date and time

ScheduleRecord task(const std::string& name, const std::string& type, int every, const std::string& unit,
                    Time at) {
    ScheduleRecord r{};
    r.Description = name;
    r.TaskType = type;
    r.ScheduleType = "Custom";
    r.Every = every;
    r.EveryType = unit;
    r.Date = kDay;
    r.Time = at;
    r.Command = "N/A";
    return r;
}

// Fills a data folder with varied tasks, some of them broken.
void fill(const std::filesystem::path& folder) {
    ScriptedUserInterface ui;
    ErrorClass errors(&ui);
    DataSet ds(folder, errors);
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    std::vector<ScheduleRecord> tasks = {
        task("Quarter", "Run Program", 15, "minute(s)", timeFromHMS(0, 7, 0)),
        task("Hourly", "Run Program", 1, "hour(s)", timeFromHMS(0, 30, 0)),
        task("Twice a day", "Display Message", 12, "hour(s)", timeFromHMS(6, 0, 0)),
        task("Unknown type", "Sideways", 2, "hour(s)", timeFromHMS(1, 0, 0)),
        task("No command", "Run Program", 3, "hour(s)", timeFromHMS(1, 10, 0)),
        task("Bad command", "Run Program", 4, "hour(s)", timeFromHMS(2, 0, 0)),
        task("Bad alarm", "Both", 5, "hour(s)", timeFromHMS(0, 45, 0)),
        task("Real program", "Run Program", 6, "hour(s)", timeFromHMS(3, 0, 0)),
        task("Bad unit", "Run Program", 1, "fortnights", timeFromHMS(9, 0, 0)),
        task("Weekdays", "Display Message", 1, "day(s)", timeFromHMS(8, 15, 0)),
    };
    tasks[4].Command = "";
    tasks[5].Command = "/no/such/program --now";
    tasks[6].Alarm = 1;
    tasks[6].AlarmFile = "/no/such/alarm.wav";
    tasks[7].Command = "true";
    tasks[9].ScheduleType = "Day of Week";
    tasks[9].Monday = tasks[9].Tuesday = tasks[9].Wednesday = tasks[9].Thursday = tasks[9].Friday = 1;
    for (int i = 0; i < 20; ++i)
        tasks.push_back(task("Daily " + std::to_string(i), "Display Message", 1, "day(s)",
                             timeFromHMS(i % 24, (i * 7) % 60, 0)));
    for (auto& t : tasks) {
        sch.rec = t;
        ASSERT_EQ(sch.insert(), Level::Benign);
    }
    // The first task also runs a script.
    Table<ScriptingRecord> scr(ds, tables::Scripting());
    ASSERT_EQ(scr.open(), Level::Benign);
    scr.rec = {};
    scr.rec.ID = 1;
    scr.rec.Action = "Set Value";
    scr.rec.Path = "RUNS";
    scr.rec.Command = "=[RUNS]+1";
    ASSERT_EQ(scr.insert(), Level::Benign);
    // The message hand-over table cannot be written: a folder stands where its file goes.
    std::filesystem::create_directories(folder / "MSGLINK.TPS");
}

// Answers Yes to every question, after keeping it open for a while.
struct SlowAnswers : ScriptedUserInterface {
    bool ask(const std::string& title, const std::string& text) override {
        if (holdMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        return ScriptedUserInterface::ask(title, text);
    }
    int holdMs = 0;
};

// One engine on a data folder: its own connections, frame and answers.
struct Engine {
    SlowAnswers ui;
    Startup startup;
    qdtest::RecordingFrame frame;
    NullDesktop desktop;
    PosixProcess process;
    Runtime runtime;
    Engine(const std::filesystem::path& folder, const Clock& clock, std::vector<Occurrence>& performed)
        : startup(ui, clock, folder), runtime(startup, frame, desktop, process) {
        ui.defaultAnswer = true;
        runtime.dispatcher().setObserver([&performed](const PerformedTask& p) {
            performed.emplace_back(p.id, p.occurrence.date, p.occurrence.time);
        });
        runtime.open();
        process.setProgramFolder(folder); // no message program there
    }
};

std::map<Occurrence, int> counted(const std::vector<Occurrence>& list) {
    std::map<Occurrence, int> m;
    for (const auto& o : list)
        ++m[o];
    return m;
}

constexpr int kDaySeconds = 24 * 60 * 60;

} // namespace

TEST(DispatcherDayTest, OneTwoAndRestartedDispatchersPerformTheSameOccurrences) {
    const Moment start{kDay, timeFromHMS(0, 0, 0)};
    qdtest::TempDir single, shared, restarted;
    for (const auto* d : {&single, &shared, &restarted})
        fill(d->path());

    std::vector<Occurrence> one;
    {
        ManualClock clock(start);
        Engine e(single.path(), clock, one);
        for (int s = 0; s < kDaySeconds; ++s, clock.advanceSeconds(1))
            e.runtime.tick();
        EXPECT_FALSE(e.frame.windows.empty()); // the messages were shown (the hand-over failed)
        EXPECT_GT(std::stoi(e.runtime.values().variables().text("RUNS")), 90);
    }
    // 96 + 24 + 2 + 12 + 8 + 6 + 5 + 4 occurrences of the repeating tasks, one of the
    // task with a bad unit (it moves a day at a time), one weekday, twenty daily ones.
    ASSERT_EQ(one.size(), 179u);
    for (const auto& [occurrence, n] : counted(one))
        EXPECT_EQ(n, 1) << std::get<0>(occurrence);

    std::vector<Occurrence> two;
    {
        ManualClock clock(start);
        Engine a(shared.path(), clock, two);
        Engine b(shared.path(), clock, two);
        for (int s = 0; s < kDaySeconds; ++s, clock.advanceSeconds(1)) {
            a.runtime.tick();
            b.runtime.tick();
        }
    }
    EXPECT_EQ(counted(two), counted(one));

    std::vector<Occurrence> halves;
    {
        ManualClock clock(start);
        {
            Engine first(restarted.path(), clock, halves);
            for (int s = 0; s < kDaySeconds / 2; ++s, clock.advanceSeconds(1))
                first.runtime.tick();
            first.runtime.close();
        }
        Engine second(restarted.path(), clock, halves);
        for (int s = kDaySeconds / 2; s < kDaySeconds; ++s, clock.advanceSeconds(1))
            second.runtime.tick();
    }
    EXPECT_EQ(counted(halves), counted(one));
}

namespace {

// A session bus that accepts every call and hangs up only after a while: each DDE
// step waits for it.
class SlowBus {
public:
    explicit SlowBus(const std::filesystem::path& socketPath) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", socketPath.c_str());
        ok_ = fd_ >= 0 && ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
              ::listen(fd_, 16) == 0;
        if (ok_) server_ = std::thread([this] { serve(); });
    }
    ~SlowBus() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        if (server_.joinable()) server_.join();
        if (fd_ >= 0) ::close(fd_);
    }
    bool ok() const { return ok_; }
    int calls() const { return calls_; }

private:
    void serve() {
        while (!stop_) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) break;
            ++calls_;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            ::close(c);
        }
    }
    int fd_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> calls_{0};
    std::thread server_;
};

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        const char* v = std::getenv(name);
        had_ = v != nullptr;
        saved_ = v ? v : "";
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_)
            setenv(name_, saved_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    bool had_ = false;
    std::string saved_;
};

// Tasks whose performing takes real time, and quick ones around them.
void fillSlow(const std::filesystem::path& folder) {
    ScriptedUserInterface ui;
    ErrorClass errors(&ui);
    DataSet ds(folder, errors);
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    std::vector<ScheduleRecord> tasks = {
        task("Open link", "Run Program", 30, "minute(s)", timeFromHMS(0, 5, 0)),
        task("Ask first", "Run Program", 1, "hour(s)", timeFromHMS(0, 20, 0)),
        task("Talk to editor", "Run Program", 1, "hour(s)", timeFromHMS(0, 40, 0)),
        task("Every ten", "Display Message", 10, "minute(s)", timeFromHMS(0, 1, 0)),
        task("Warned", "Run Program", 2, "hour(s)", timeFromHMS(1, 0, 0)),
    };
    tasks[0].Command = "https://example.invalid/link";
    tasks[1].UserSkip = 1;
    tasks[4].AdvanceWarnDate = kDay;
    tasks[4].AdvanceWarnTime = timeFromHMS(0, 55, 0);
    for (int i = 0; i < 6; ++i) {
        ScheduleRecord once =
            task("Once " + std::to_string(i), "Run Program", 1, "day(s)", timeFromHMS(3 * i + 2, 13, 0));
        once.ScheduleType = "Once";
        once.Command = "https://example.invalid/once";
        tasks.push_back(once);
    }
    for (auto& t : tasks) {
        sch.rec = t;
        ASSERT_EQ(sch.insert(), Level::Benign);
    }
    Table<ScriptingRecord> scr(ds, tables::Scripting());
    ASSERT_EQ(scr.open(), Level::Benign);
    scr.rec = {};
    scr.rec.ID = 3; // "Talk to editor"
    scr.rec.Action = "DDE";
    scr.rec.DDEApplicationName = "Editor";
    scr.rec.DDEApplicationTopic = "System";
    scr.rec.DDECommand = "[Save]";
    ASSERT_EQ(scr.insert(), Level::Benign);
    std::filesystem::create_directories(folder / "MSGLINK.TPS");
}

} // namespace

// Two dispatchers on their own threads and connections, started at random
// offsets and each free to run up to half a minute ahead of the other, while
// performing takes real time: the opener waits on a slow program, a question
// stays open, a DDE call waits for its bus. Every occurrence is performed once.
TEST(DispatcherDayTest, TwoDispatchersWithSlowActionsPerformEachOccurrenceOnce) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    qdtest::TempDir folder;
    fillSlow(folder.path());
    const auto bin = folder / "bin";
    std::filesystem::create_directories(bin);
    const auto opened = folder / "opened";
    {
        std::ofstream(bin / "xdg-open")
            << "#!/bin/sh\nsleep 0.2\necho \"$1\" >> \"" << opened.string() << "\"\n";
        std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    }
    SlowBus bus(folder / "bus");
    ASSERT_TRUE(bus.ok());
    ScopedEnv path("PATH", bin.string() + ":" + std::string(std::getenv("PATH") ? std::getenv("PATH") : ""));
    ScopedEnv dbus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (folder / "bus").string());

    constexpr int kSkew = 30; // seconds one dispatcher may run ahead of the other
    const int offsets[2] = {0, std::uniform_int_distribution<int>(1, 1800)(random)};
    const int delaysMs[2] = {0, std::uniform_int_distribution<int>(0, 200)(random)};
    std::atomic<int> progress[2] = {offsets[0], offsets[1]};
    std::atomic<bool> finished[2] = {false, false};
    std::vector<Occurrence> performed;
    std::vector<std::string> warnings;
    int questions[2] = {0, 0};
    int messages[2] = {0, 0};
    std::mutex mutex;

    auto station = [&](int me) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delaysMs[me]));
        const int other = 1 - me;
        ManualClock clock({kDay, timeFromHMS(0, 0, 0) + offsets[me] * kTimeSecond});
        std::vector<Occurrence> mine;
        Engine e(folder.path(), clock, mine);
        e.ui.holdMs = 150;
        for (int s = offsets[me]; s < kDaySeconds; ++s, clock.advanceSeconds(1)) {
            while (s > progress[other] + kSkew && !finished[other])
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            e.runtime.tick();
            progress[me] = s;
        }
        finished[me] = true;
        e.runtime.close();
        std::lock_guard<std::mutex> lock(mutex);
        performed.insert(performed.end(), mine.begin(), mine.end());
        for (const auto& m : e.ui.shown) {
            if (m.kind == "ask") ++questions[me];
            if (m.title.rfind("Advanced Warning", 0) == 0) warnings.push_back(m.text);
        }
        for (const auto& w : e.frame.windows)
            if (w.title == "Every ten") ++messages[me];
    };
    std::thread a(station, 0);
    std::thread b(station, 1);
    a.join();
    b.join();

    const auto counts = counted(performed);
    EXPECT_GE(counts.size(), 200u);
    std::map<int, int> perTask;
    for (const auto& [occurrence, n] : counts) {
        EXPECT_EQ(n, 1) << "task " << std::get<0>(occurrence) << " at " << std::get<1>(occurrence) << " "
                        << std::get<2>(occurrence);
        ++perTask[std::get<0>(occurrence)];
    }
    EXPECT_EQ(perTask[1], 48);
    EXPECT_EQ(perTask[2], 24);
    EXPECT_EQ(perTask[3], 24);
    EXPECT_EQ(perTask[4], 144);
    EXPECT_EQ(perTask[5], 12);
    // What was really done, once per occurrence.
    const std::string opens = qdtest::readFile(opened);
    EXPECT_EQ(std::count(opens.begin(), opens.end(), '\n'), 48 + 6);
    EXPECT_EQ(questions[0] + questions[1], 24);
    EXPECT_EQ(messages[0] + messages[1], 144);
    std::set<std::string> distinct(warnings.begin(), warnings.end());
    EXPECT_EQ(warnings.size(), distinct.size());
    EXPECT_EQ(warnings.size(), 12u);
    // The DDE steps ran on whichever dispatcher performed their task.
    for (int i = 0; i < 100 && bus.calls() < 24; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(bus.calls(), 24);
}
