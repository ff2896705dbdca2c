// Two dispatchers on one data folder, each with its own connection, and the
// exact moments at which a task becomes overdue or its warning due.
#include "DispatcherFixture.h"

#include "data/Pictures.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <thread>

using namespace qd;
using qdtest::DispatcherTest;

namespace {

const Date kDay = dateFromMDY(3, 10, 2026);

// Answers Yes, after running `whileOpen` as if time passed with the question on screen.
struct HeldQuestions : ScriptedUserInterface {
    HeldQuestions() { defaultAnswer = true; }
    bool ask(const std::string& title, const std::string& text) override {
        if (whileOpen) whileOpen();
        return ScriptedUserInterface::ask(title, text);
    }
    std::function<void()> whileOpen;
};

// A dispatcher of its own on the fixture's data folder.
struct Station {
    HeldQuestions ui;
    ErrorClass errors{&ui};
    DataSet ds;
    qdtest::RecordingFrame frame;
    qdtest::CountingScripts scripts;
    EventLog log;
    PosixProcess launcher;
    TaskExecution exec;
    Dispatcher dispatcher;
    Station(const std::filesystem::path& folder, const ProgramSettings& settings, const Clock& clock)
        : ds(folder, errors), log(EventLogConfig{folder, "d3", true, false}, &clock),
          exec(ds, settings, frame, ui, log, launcher, clock),
          dispatcher(ds, settings, frame, ui, log, exec, scripts, clock) {
        exec.setScriptHost(&scripts);
        launcher.setProgramFolder(folder / "bin");
        dispatcher.open();
    }
    int questions() const {
        return static_cast<int>(
            std::count_if(ui.shown.begin(), ui.shown.end(), [](const auto& s) { return s.kind == "ask"; }));
    }
};

// Puts a folder first on PATH for the life of the object.
class PathPrefix {
public:
    explicit PathPrefix(const std::filesystem::path& folder) {
        const char* p = std::getenv("PATH");
        saved_ = p ? p : "";
        setenv("PATH", (folder.string() + ":" + saved_).c_str(), 1);
    }
    ~PathPrefix() { setenv("PATH", saved_.c_str(), 1); }

private:
    std::string saved_;
};

} // namespace

TEST_F(DispatcherTest, QuestionHeldOpenLetsNoOtherDispatcherPerformTheOccurrence) {
    for (const std::string type : {"Once", "Custom"}) {
        SCOPED_TRACE(type);
        qdtest::TempDir folder;
        std::filesystem::create_directories(folder / "bin");
        Station a(folder.path(), settings, clock);
        Station b(folder.path(), settings, clock);
        ScheduleRecord r = daily("Ask first", kDay, timeFromHMS(8, 0, 0));
        r.ScheduleType = type;
        r.UserSkip = 1;
        r.TaskType = "Run Program";
        r.Command = "N/A";
        {
            Table<ScheduleRecord> t(a.ds, tables::Schedule());
            ASSERT_EQ(t.open(), Level::Benign);
            t.rec = r;
            ASSERT_EQ(t.insert(), Level::Benign);
        }
        // While A's question is open, B checks again and again.
        a.ui.whileOpen = [&] {
            for (int i = 0; i < 3; ++i)
                b.dispatcher.checkDueTask();
        };
        a.dispatcher.checkDueTask();
        for (int i = 0; i < 3; ++i) {
            a.dispatcher.checkDueTask();
            b.dispatcher.checkDueTask();
        }
        EXPECT_EQ(a.scripts.queued.size() + b.scripts.queued.size(), 1u);
        EXPECT_EQ(a.questions() + b.questions(), 1);
        EXPECT_TRUE(b.ui.shown.empty()); // no "changed by another station" either

        Table<ScheduleRecord> t(a.ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.setOrder(0);
        std::vector<ScheduleRecord> rows;
        while (t.next() == Level::Benign)
            rows.push_back(t.rec);
        if (type == "Once") {
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_TRUE(rows[0].Completed && rows[0].Disabled);
        } else {
            ASSERT_EQ(rows.size(), 2u); // the task a day later and one history copy
            EXPECT_EQ(rows[0].Date, kDay + 1);
            EXPECT_EQ(rows[1].Date, kDay);
            EXPECT_TRUE(rows[1].Completed && rows[1].Disabled);
        }
    }
}

TEST_F(DispatcherTest, SlowProgramStartLetsNoOtherDispatcherPerformTheOccurrence) {
    // The desktop's opener takes a second to hand the link over.
    const auto opened = dir / "opened";
    const auto busy = dir / "busy";
    writeScript("xdg-open",
                "touch \"" + busy.string() + "\"; sleep 1; echo \"$1\" >> \"" + opened.string() + "\"");
    PathPrefix path(dir / "bin");
    ScheduleRecord r = daily("Open the report", kDay, timeFromHMS(8, 0, 0));
    r.ScheduleType = "Once";
    r.TaskType = "Run Program";
    r.Command = "https://example.invalid/report";
    addTask(r);
    Station a(dir.path(), settings, clock);
    Station b(dir.path(), settings, clock);
    // Both have their tables open before the task is due.
    clock.set({kDay, timeFromHMS(7, 59, 0)});
    a.dispatcher.checkDueTask();
    b.dispatcher.checkDueTask();
    clock.set({kDay, timeFromHMS(8, 0, 5)});
    std::atomic<bool> done{false};
    std::thread first([&] {
        a.dispatcher.checkDueTask();
        done = true;
    });
    // B checks again and again while A waits for the opener.
    for (int i = 0; i < 1000 && !std::filesystem::exists(busy); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int checks = 0;
    while (!done) {
        b.dispatcher.checkDueTask();
        ++checks;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    first.join();
    a.dispatcher.checkDueTask();
    b.dispatcher.checkDueTask();
    EXPECT_GT(checks, 3);
    EXPECT_EQ(qdtest::readFile(opened), "https://example.invalid/report\n");
    EXPECT_EQ(a.scripts.queued.size() + b.scripts.queued.size(), 1u);
    EXPECT_TRUE(a.ui.shown.empty());
    EXPECT_TRUE(b.ui.shown.empty());
}

TEST_F(DispatcherTest, NoToTheQuestionKeepsTheOccurrenceAsSkippedHistory) {
    ScheduleRecord r = daily("Report", kDay, timeFromHMS(8, 0, 0));
    r.UserSkip = 1;
    r.TaskType = "Run Program";
    r.Command = "N/A";
    const int id = addTask(r);
    ui.answers = {false};
    dispatcher().checkDueTask();
    EXPECT_TRUE(scripts.queued.empty());
    const auto tasks = allTasks();
    ASSERT_EQ(tasks.size(), 2u);
    EXPECT_EQ(tasks[0].ID, id);
    EXPECT_EQ(tasks[0].Date, kDay + 1);
    EXPECT_EQ(tasks[1].Description, "(Skipped) Report");
    EXPECT_EQ(tasks[1].Skipped, 1);
    EXPECT_EQ(tasks[1].Date, kDay);
}

TEST_F(DispatcherTest, ClaimTheStoreCannotCommitPerformsNothing) {
    ScheduleRecord r = daily("Blocked", kDay, timeFromHMS(8, 0, 0));
    r.TaskType = "Run Program";
    r.Command = "N/A";
    addTask(r);
    // Another connection holds the write lock longer than the store waits for it.
    Station other(dir.path(), settings, clock);
    Table<ScheduleRecord> t(other.ds, tables::Schedule());
    ASSERT_EQ(t.open(), Level::Benign);
    ASSERT_EQ(t.file()->begin(), 0);
    dispatcher().checkDueTask();
    EXPECT_TRUE(scripts.queued.empty());
    EXPECT_TRUE(logged("Task not performed"));
    t.file()->rollback();
    dispatcher().checkDueTask(); // free again: performed now
    EXPECT_EQ(scripts.queued.size(), 1u);
    EXPECT_EQ(allTasks().size(), 2u);
}

TEST_F(DispatcherTest, OverdueMarginIsExactlyTenMinutes) {
    ScheduleRecord r = daily("Hourly", kDay, timeFromHMS(10, 0, 0));
    r.EveryType = "hour(s)";
    r.SkipIfMissed = 1;
    r.TaskType = "Run Program";
    r.Command = "N/A";
    const int id = addTask(r);
    clock.set({kDay, timeFromHMS(10, 10, 0)}); // 10:10:00.00: ten minutes late, still run
    dispatcher().checkDueTask();
    EXPECT_EQ(scripts.queued, std::vector<int>{id});
    EXPECT_FALSE(logged("Overdue task skipped"));

    clock.set({kDay, timeFromHMS(11, 10, 0) + 1}); // 11:10:00.01: the 11:00 one is skipped
    dispatcher().checkDueTask();
    EXPECT_EQ(scripts.queued.size(), 1u);
    EXPECT_TRUE(logged("Overdue task skipped"));
}

TEST_F(DispatcherTest, AdvanceWarningComesOnlyAfterItsMoment) {
    ScheduleRecord r = daily("Dentist", kDay, timeFromHMS(14, 0, 0));
    r.AdvanceWarnDate = kDay;
    r.AdvanceWarnTime = timeFromHMS(8, 0, 0);
    addTask(r);
    clock.set({kDay, timeFromHMS(8, 0, 0)}); // exactly the warning time: not yet
    dispatcher().checkAdvanceWarnings();
    EXPECT_TRUE(ui.shown.empty());
    clock.set({kDay, timeFromHMS(8, 0, 0) + 1});
    dispatcher().checkAdvanceWarnings();
    dispatcher().checkAdvanceWarnings();
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Advanced Warning: Dentist");
}
