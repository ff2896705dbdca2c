// A simulated day of the whole engine: one dispatcher, two dispatchers sharing the
// data folder, and one dispatcher restarted halfway perform exactly the same
// occurrences, including tasks that fail in every way a task can.
#include "DispatcherFixture.h"

#include "data/Settings.h"
#include "platform/null/NullDesktop.h"
#include "platform/posix/PosixProcess.h"
#include "runtime/Runtime.h"
#include "script/Values.h"

#include <map>
#include <set>
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

// One engine on a data folder: its own connections, frame and answers.
struct Engine {
    ScriptedUserInterface ui;
    ErrorClass errors{&ui};
    DataSet ds;
    qdtest::RecordingFrame frame;
    NullDesktop desktop;
    PosixProcess process;
    Runtime runtime;
    Engine(const std::filesystem::path& folder, const Clock& clock, std::vector<Occurrence>& performed)
        : ds(folder, errors), runtime(ds, ui, frame, clock, desktop, process) {
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
