#include "PerformFixture.h"

#include <thread>

using namespace qd;
using TaskExecutionTest = qdtest::PerformTest;

TEST_F(TaskExecutionTest, NotApplicableCommandStartsNothingButQueuesTheScript) {
    ProgramStartRequest r;
    r.command = "n/a";
    r.taskId = 12;
    const StartOutcome o = exec.startProgram(r);
    EXPECT_TRUE(o.started);
    EXPECT_EQ(o.pid, 0);
    EXPECT_EQ(scripts.queued, std::vector<int>{12});
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(TaskExecutionTest, FailedStartIsShownAndQueuesNothing) {
    ProgramStartRequest r;
    r.command = "/no/such/program --flag";
    r.taskId = 4;
    const StartOutcome o = exec.startProgram(r);
    EXPECT_FALSE(o.started);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Error Code 2");
    EXPECT_EQ(ui.shown[0].text, "Could not start /no/such/program --flag.");
    EXPECT_TRUE(scripts.queued.empty());
}

TEST_F(TaskExecutionTest, ProgramPathWithBlanksIsRetriedAtEachBlank) {
    // "<dir>/my tools/show doc" runs the program "show doc" in "my tools" with one argument.
    const auto tools = dir / "my tools";
    std::filesystem::create_directories(tools);
    const auto program = tools / "show doc";
    std::ofstream(program) << "#!/bin/sh\necho \"$1\" > \"" << (dir / "shown").string() << "\"\n";
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const std::string command = program.string() + " letter.txt";
    const SpawnResult s = launcher.shellStartWithRetries(command, dir.path());
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(launcher.wait(s.pid, 5000), 0);
    EXPECT_EQ(qdtest::readFile(dir / "shown"), "letter.txt\n");
}

TEST_F(TaskExecutionTest, ATaskCommandReachesItsProgramSplitByTheOneRuleAndUntranslated) {
    // The task's own program start puts no values in: brackets stay as they are,
    // and both ways of starting split the command the same way.
    writeScript("args", "printf '%s\\0' \"$@\" > \"$0.out\"");
    const auto program = dir / "bin" / "args";
    const std::string command = program.string() + " \"a b\" 'c\td' Bob's [DATE] \"\" x\"y z\"";
    const std::vector<std::string> expected{"a b", "c\td", "Bob's", "[DATE]", "", "xy z"};
    for (const bool direct : {true, false}) {
        SCOPED_TRACE(direct ? "direct" : "shell");
        settings.LogEvents = direct;
        ProgramStartRequest r;
        r.command = command;
        r.taskId = 3;
        ASSERT_TRUE(exec.startProgram(r).started);
        const auto out = program.string() + ".out";
        for (int i = 0; i < 2000 && !std::filesystem::exists(out); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::vector<std::string> got;
        std::ifstream in(out, std::ios::binary);
        for (std::string a; std::getline(in, a, '\0');)
            got.push_back(a);
        EXPECT_EQ(got, expected);
        std::filesystem::remove(out);
    }
}

TEST_F(TaskExecutionTest, DirectStartHonoursFolderPriorityAndReportsTheExitCode) {
    const auto work = dir / "work";
    std::filesystem::create_directories(work);
    ProgramStartRequest r;
    r.command = "sh -c \"pwd > where; nice > niceness; exit 7\"";
    r.folder = work.string();
    r.wantHandle = true;
    r.usePriority = true;
    r.priority = Priority::Low;
    const StartOutcome o = exec.startProgram(r);
    ASSERT_TRUE(o.started);
    ASSERT_GT(o.pid, 0);
    EXPECT_EQ(launcher.wait(o.pid, 5000), 7);
    EXPECT_EQ(qdtest::readFile(work / "where"), work.string() + "\n");
    EXPECT_EQ(qdtest::readFile(work / "niceness"), "19\n");
}

TEST_F(TaskExecutionTest, OwnProgramsAreFoundInAnyCaseWithOrWithoutExe) {
    writeScript("klvback", "exit 0");
    EXPECT_EQ(launcher.ownProgram("KLVBACK.EXE"), dir / "bin" / "klvback");
    EXPECT_EQ(launcher.ownProgram("QDMsg.exe"), dir / "bin" / "qdmsg");
    EXPECT_EQ(launcher.ownProgram("KillProc"), dir / "bin" / "killproc");
    EXPECT_FALSE(launcher.ownProgram("notepad.exe"));
    const SpawnResult s = launcher.createProcess("KlvBack.Exe QD97.TPS", dir.path());
    ASSERT_TRUE(s.ok);
    EXPECT_EQ(launcher.wait(s.pid, 5000), 0);
}

TEST_F(TaskExecutionTest, MessagesFallBackWhenTheMessageProgramCannotStart) {
    settings.UseQDMsg = true; // no qdmsg in the program folder
    ScheduleRecord t{};
    t.Description = "Call home";
    t.Message = "Before six";
    exec.showTaskMessage(t);
    ASSERT_EQ(frame.windows.size(), 1u);
    EXPECT_EQ(frame.windows[0].title, "Call home");
    EXPECT_EQ(frame.windows[0].text, "Before six");
    EXPECT_FALSE(frame.windows[0].modal);
    // The hand-over record of the failed start is not left behind.
    Table<MsgLinkRecord> ml(ds, tables::MsgLink());
    ASSERT_EQ(ml.open(), Level::Benign);
    EXPECT_EQ(ml.recordCount(), 0);

    // With the message program present, the message goes to it through MsgLink.
    writeScript("qdmsg", "echo \"$@\" > \"" + (dir / "qdmsg-args").string() + "\"");
    exec.showTaskMessage(t);
    EXPECT_EQ(frame.windows.size(), 1u);
    ASSERT_EQ(ml.first(0), Level::Benign);
    EXPECT_EQ(ml.rec.Title, "Call home");
    EXPECT_EQ(ml.rec.Message, "Before six");
    for (int i = 0; i < 200 && qdtest::readFile(dir / "qdmsg-args").empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(qdtest::readFile(dir / "qdmsg-args"), "ID=" + std::to_string(ml.rec.ID) + "\n");
}

TEST_F(TaskExecutionTest, MessageRoutes) {
    ScheduleRecord t{};
    t.Description = "Meeting";
    t.Message = "Room 4";
    settings.UseModalMessage = true;
    exec.showTaskMessage(t);
    ASSERT_EQ(frame.windows.size(), 1u);
    EXPECT_TRUE(frame.windows[0].modal);
    settings.UseModalMessage = false;
    settings.UseWinMessage = true;
    exec.showTaskMessage(t);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Meeting");
    settings.UseWinMessage = false;
    frame.openWindows = 60;
    exec.showTaskMessage(t);
    EXPECT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(frame.windows.size(), 1u);
}

TEST_F(TaskExecutionTest, SnoozeCreatesOneTimeTasks) {
    clock.set({dateFromMDY(3, 10, 2026), timeFromHMS(23, 55, 0)});
    const int id = exec.snoozeMessage("Tea", "Kettle", "");
    ASSERT_GT(id, 0);
    ScheduleRecord s = allTasks().back();
    EXPECT_EQ(s.Category, "Snooze");
    EXPECT_EQ(s.ScheduleType, "Once");
    EXPECT_EQ(s.TaskType, "Display Message");
    EXPECT_EQ(s.Date, dateFromMDY(3, 11, 2026));
    EXPECT_EQ(s.Time, timeFromHMS(0, 5, 0));
    EXPECT_EQ(s.SkipIfMissed, 1);
    EXPECT_EQ(s.Alarm, 0);

    const int copy = exec.snoozeTask(s, 30);
    ASSERT_GT(copy, id);
    const ScheduleRecord c = allTasks().back();
    EXPECT_EQ(c.Time, timeFromHMS(0, 25, 1));
    EXPECT_EQ(c.Description, "Tea");
}

TEST(AlarmRepeatTest, RepeatsEveryIntervalUntilTheMaximumTime) {
    const Date d = dateFromMDY(5, 1, 2026);
    const Time t0 = timeFromHMS(10, 0, 0);
    AlarmRepeat alarm({d, t0}, 30, 2);
    int sounded = 0;
    for (int s = 1; s <= 200; ++s)
        if (alarm.due({d, t0 + s * kTimeSecond})) ++sounded;
    EXPECT_EQ(sounded, 3); // after 31, 62 and 93 seconds; the next would be after two minutes
    EXPECT_TRUE(alarm.finished());
    AlarmRepeat none({d, t0}, 0, 0);
    EXPECT_FALSE(none.due({d, t0 + 100000}));
}

TEST_F(TaskExecutionTest, ChainCommandStartsTheNextProgramAndEndsThisOne) {
    ProgramStartRequest r;
    r.command = "qdchain " + (dir / "bin" / "next").string();
    r.taskId = 3;
    exec.startProgram(r);
    EXPECT_EQ(frame.shutdowns, 1);
    EXPECT_TRUE(scripts.queued.empty()); // nothing else of the request is done
    EXPECT_FALSE(logged("Run Program"));
}
