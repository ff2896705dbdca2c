#include "QdctlFixture.h"
#include "support/TempDir.h"

#include "data/Calendar.h"
#include "schedule/BatchOperations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const std::string kNow = "2026-06-10 10:00";
const qd::Date kToday = qd::dateFromMDY(6, 10, 2026);
const qd::Time kNine = qd::timeFromHMS(9, 0, 0);

struct ScheduleCommands : qdtest::QdctlFixture {
    ScheduleCommands() { leading = {"--now", kNow}; }
    int lines() const { return static_cast<int>(std::count(out.begin(), out.end(), '\n')); }
    bool has(const std::string& text, const std::string& what) const {
        return text.find(what) != std::string::npos;
    }
    // A daily task at 09:00 on the given date; returns its ID as text.
    std::string addDaily(const std::string& date, const std::vector<std::string>& more = {}) {
        std::vector<std::string> args = {"rec",
                                         "add",
                                         "SCH",
                                         "SCH:ScheduleType=Custom",
                                         "SCH:Every=1",
                                         "SCH:EveryType=day(s)",
                                         "SCH:Date=" + date,
                                         "SCH:Time=09:00",
                                         "SCH:TaskType=Display Message"};
        args.insert(args.end(), more.begin(), more.end());
        EXPECT_EQ(run(args), 0) << err;
        return out.substr(out.find('=') + 1, out.find('\n') - out.find('=') - 1);
    }
};

std::string occurrence(qd::Date d, qd::Time t, int completed, int every) {
    return std::to_string(d) + " " + std::to_string(t) + " " + std::to_string(completed) + " " +
           std::to_string(every) + "\n";
}

} // namespace

TEST_F(ScheduleCommands, NextAndPrevStepThroughOccurrencesWithoutSaving) {
    const std::vector<std::string> task = {"--task",
                                           "SCH:ScheduleType=Custom",
                                           "SCH:Every=0",
                                           "SCH:EveryType=day(s)",
                                           "SCH:Date=2026-06-10",
                                           "SCH:Time=09:00"};
    auto with = [&](const char* verb, std::vector<std::string> tail) {
        std::vector<std::string> args{verb};
        args.insert(args.end(), task.begin(), task.end());
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    ASSERT_EQ(run(with("next", {"--from", "2026-06-10", "09:00", "--count", "3"})), 0) << err;
    EXPECT_EQ(out, occurrence(kToday + 1, kNine, 0, 1) + occurrence(kToday + 2, kNine, 0, 1) +
                       occurrence(kToday + 3, kNine, 0, 1));
    ASSERT_EQ(run(with("prev", {"--from", std::to_string(kToday), std::to_string(kNine), "--count", "2"})), 0)
        << err;
    EXPECT_EQ(out, occurrence(kToday - 1, kNine, 0, 1) + occurrence(kToday - 2, kNine, 0, 1));
    ASSERT_EQ(run({"--json", "next", "--task", "SCH:ScheduleType=Once", "SCH:Date=2026-06-10",
                   "SCH:Time=09:00", "--from", "2026-06-10", "08:00"}),
              0);
    EXPECT_EQ(out, "{\"SCH:Date\": " + std::to_string(kToday) + ", \"SCH:Time\": " + std::to_string(kNine) +
                       ", \"SCH:Completed\": 1, \"SCH:Every\": 0}\n");

    const std::string id = addDaily("2026-06-10");
    ASSERT_EQ(run({"next", id, "--from", "2026-07-01", "12:00"}), 0) << err;
    EXPECT_EQ(out, occurrence(qd::dateFromMDY(7, 2, 2026), kNine, 0, 1));
    ASSERT_EQ(run({"--json", "rec", "get", "SCH", "SCH:ID=" + id}), 0);
    EXPECT_TRUE(has(out, "\"SCH:Date\": " + std::to_string(kToday))) << "next never saves";

    EXPECT_EQ(run({"next", id}), 2);
    EXPECT_TRUE(has(err, "next needs --from DATE TIME"));
    EXPECT_EQ(run({"next", "99", "--from", "2026-07-01", "12:00"}), 1);
    EXPECT_TRUE(has(err, "no Schedule record with SCH:ID=99"));
    EXPECT_EQ(run({"next", "--task", "SCH:Nope=1", "--from", "2026-07-01", "12:00"}), 1);
    EXPECT_EQ(run({"next", id, "--from", "2026-07-01", "25:00"}), 1);
    EXPECT_TRUE(has(err, "not a time"));
}

TEST_F(ScheduleCommands, MatchesDescribeAndEaster) {
    const std::vector<std::string> mondays = {"--task", "SCH:ScheduleType=Day of Week", "SCH:Monday=1",
                                              "SCH:Friday=1"};
    auto with = [&](const char* verb, const std::vector<std::string>& tail) {
        std::vector<std::string> args{verb};
        args.insert(args.end(), mondays.begin(), mondays.end());
        args.insert(args.end(), tail.begin(), tail.end());
        return args;
    };
    ASSERT_EQ(run(with("matches", {"2026-06-08"})), 0) << err; // a Monday
    EXPECT_EQ(out, "yes\n");
    ASSERT_EQ(run(with("matches", {"2026-06-09"})), 0);
    EXPECT_EQ(out, "no\n");
    ASSERT_EQ(run(with("describe", {})), 0);
    EXPECT_EQ(out, "Days: Mon, Fri\n");
    ASSERT_EQ(run({"--json", "easter", "2024"}), 0);
    EXPECT_EQ(out, "{\"year\": 2024, \"date\": " + std::to_string(qd::dateFromMDY(3, 31, 2024)) +
                       ", \"text\": \"2024-03-31\"}\n");
    ASSERT_EQ(run({"easter", "2001"}), 0);
    EXPECT_EQ(out, "2001-04-15\n");
    EXPECT_EQ(run({"easter", "soon"}), 2);
}

TEST_F(ScheduleCommands, ExceptionsApplyMakesAndSavesTheOneTimeCopy) {
    ASSERT_EQ(run({"rec", "add", "HOL", "HOL:HolidayDate=2026-06-11", "HOL:Holiday=Founders"}), 0) << err;
    const std::string id = addDaily("2026-06-11", {"SCH:ExceptHolidays=1", "SCH:ShiftType=Next day"});
    ASSERT_EQ(run({"exceptions", "apply", id}), 0) << err;
    EXPECT_TRUE(has(out, "task: SCH:ID=" + id)) << out;
    EXPECT_TRUE(has(out, "copy: SCH:ID=2")) << out;
    EXPECT_TRUE(has(out, "SCH:ScheduleType=Once  "));
    ASSERT_EQ(run({"--json", "rec", "get", "SCH", "SCH:ID=" + id}), 0);
    EXPECT_TRUE(has(out, "\"SCH:ExceptionLink\": 2"));
    EXPECT_TRUE(has(out, "\"SCH:SkipNextTime\": 1"));
    ASSERT_EQ(run({"--json", "rec", "get", "SCH", "SCH:ID=2"}), 0);
    EXPECT_TRUE(has(out, "\"SCH:Date\": " + std::to_string(kToday + 2)));
    EXPECT_EQ(run({"exceptions", "apply", "7"}), 1);
}

TEST_F(ScheduleCommands, HolidaysRollOnceAndList) {
    ASSERT_EQ(
        run({"rec", "add", "HOL", "HOL:HolidayDate=2025-06-01", "HOL:Holiday=Last year", "HOL:HolidayType="}),
        0);
    ASSERT_EQ(run({"holidays", "roll"}), 0) << err;
    EXPECT_EQ(out, "16 default holidays added, 13 moved, 0 deleted, 0 failed\n");
    ASSERT_EQ(run({"--json", "holidays", "roll"}), 0);
    EXPECT_EQ(out, "{\"defaultsAdded\": 0, \"moved\": 0, \"deleted\": 0, \"failed\": 0}\n");
    ASSERT_EQ(run({"holidays", "list"}), 0);
    EXPECT_EQ(lines(), 17);
    EXPECT_TRUE(has(out, "HOL:HolidayDate=" + std::to_string(qd::dateFromMDY(6, 1, 2027)) +
                             "  HOL:Holiday=Last year  HOL:HolidayType=Annual"))
        << out;
    EXPECT_EQ(run({"holidays"}), 2);
}

TEST_F(ScheduleCommands, WorkfilePrintsTheRowsAndLeavesNoFileBehind) {
    addDaily("2026-06-10");
    addDaily("2026-06-01");
    ASSERT_EQ(run({"workfile", "--from", "2026-06-10", "--to", "2026-06-12"}), 0) << err;
    EXPECT_EQ(lines(), 3);
    EXPECT_EQ(out.find("SCW:ID=1  "), 0u) << out;
    EXPECT_TRUE(has(err, "Creating future occurance information"));
    EXPECT_TRUE(has(err, "100% Completed"));
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("QD97", 0), 0u) << entry.path();
    EXPECT_EQ(run({"workfile", "--from", "2026-06-10"}), 2);
}

TEST_F(ScheduleCommands, RescheduleRefusesThePastAndMovesEveryTask) {
    const std::string id = addDaily("2026-06-01");
    EXPECT_EQ(run({"reschedule", "--at", "2026-06-10", "10:00:30"}), 1);
    EXPECT_TRUE(has(err, "Error: The date and time entered must be in the future.")) << err;
    ASSERT_EQ(run({"reschedule", "--at", "2026-06-11", "08:00"}), 0) << err;
    EXPECT_EQ(out, "1 tasks rescheduled, 0 left as they were\n");
    ASSERT_EQ(run({"--json", "rec", "get", "SCH", "SCH:ID=" + id}), 0);
    EXPECT_TRUE(has(out, "\"SCH:Date\": " + std::to_string(kToday + 1)));
}

// A backward search too long to finish quietly is reported with --now's moment.
TEST_F(ScheduleCommands, LongBackwardSearchReportsTheMomentOfNow) {
    ASSERT_EQ(run({"prev", "--task", "SCH:ScheduleType=Custom", "SCH:EveryType=minute(s)", "SCH:Every=1",
                   "SCH:Date=2026-06-01", "SCH:Time=09:00", "--from", "2026-01-01", "12:00"}),
              0)
        << err;
    EXPECT_TRUE(has(err, "Debug Previous")) << err;
    EXPECT_TRUE(has(err, "Failed on Custom(minute(s),")) << err;
    EXPECT_TRUE(has(err, "2026,10:00)")) << err;
}

TEST_F(ScheduleCommands, HistoryRemoveNeedsItsLimit) {
    const std::string old = addDaily("2026-05-01", {"SCH:Disabled=1", "SCH:Completed=1"});
    ASSERT_EQ(run({"history", "remove"}), 0) << err;
    EXPECT_EQ(out, "History not checked: the number of days to keep history is 0\n");
    ASSERT_EQ(run({"history", "remove", "--expires", "30"}), 0) << err;
    EXPECT_EQ(out, "History checked: 1 tasks removed\n");
    EXPECT_EQ(run({"rec", "get", "SCH", "SCH:ID=" + old}), 1);
    EXPECT_EQ(run({"history", "remove", "--expires", "x"}), 2);
    // Without the option the data set's own setting decides.
    const std::string older = addDaily("2026-04-01", {"SCH:Disabled=1", "SCH:Completed=1"});
    ASSERT_EQ(run({"config", "set", "HistoryExpires", "30"}), 0) << err;
    ASSERT_EQ(run({"history", "remove"}), 0) << err;
    EXPECT_EQ(out, "History checked: 1 tasks removed\n");
    EXPECT_EQ(run({"rec", "get", "SCH", "SCH:ID=" + older}), 1);
}

// The qdctl program itself, interrupted while it fills the work file.
TEST_F(ScheduleCommands, WorkfileInterruptedBySignalRemovesItsFile) {
    addDaily("2026-06-10", {"SCH:EveryType=minute(s)"});
    const char* bin = std::getenv("QD_BIN_DIR");
    if (!bin) GTEST_SKIP() << "QD_BIN_DIR names the folder of the programs";
    const std::string program = std::string(bin) + "/qdctl";
    for (const int sig : {SIGINT, SIGTERM}) {
        int errPipe[2];
        ASSERT_EQ(::pipe(errPipe), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::dup2(errPipe[1], 2);
            const int devNull = ::open("/dev/null", O_WRONLY);
            ::dup2(devNull, 1);
            ::close(errPipe[0]);
            ::execl(program.c_str(), program.c_str(), "--data", dir.str().c_str(), "--now", kNow.c_str(),
                    "workfile", "--from", "2026-06-10", "--to", "9999-12-31", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(errPipe[1]);
        // Wait until the rows are being written, then interrupt.
        std::string text;
        char buf[256];
        while (text.find("Creating future occurance information") == std::string::npos) {
            const ssize_t n = ::read(errPipe[0], buf, sizeof buf);
            if (n <= 0) break;
            text.append(buf, static_cast<std::size_t>(n));
        }
        ASSERT_NE(text.find("Creating future occurance information"), std::string::npos) << text;
        ::kill(child, sig);
        ssize_t n;
        while ((n = ::read(errPipe[0], buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
        ::close(errPipe[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status << " " << text;
        EXPECT_TRUE(has(text, "interrupted")) << text;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_EQ(entry.path().filename().string().rfind("QD97", 0), 0u) << entry.path();
    }
}

TEST_F(ScheduleCommands, WorkfileOverItsLimitSaysSoAndLeavesNoFile) {
    addDaily("2026-06-10", {"SCH:EveryType=minute(s)"});
    EXPECT_EQ(run({"workfile", "--from", "2026-06-10", "--to", "9999-12-31"}), 1);
    EXPECT_TRUE(has(err, qd::workfileLimitText(qd::kWorkfileRowLimit))) << err;
    EXPECT_EQ(out, "");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().rfind("QD97", 0), 0u) << entry.path();
}
