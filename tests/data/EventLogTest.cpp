#include "data/EventLog.h"
#include "data/Clock.h"
#include "data/Pictures.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace qd;
namespace fs = std::filesystem;
using qdtest::readFile;
using qdtest::TempDir;
using qdtest::writeFile;

namespace {

const Moment kHalloween{dateFromMDY(10, 31, 1959), timeFromHMS(17, 30, 15)};

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t nl = text.find('\n', pos);
        if (nl == std::string::npos) {
            lines.push_back(text.substr(pos)); // an unfinished last line
            break;
        }
        lines.push_back(text.substr(pos, nl - pos));
        pos = nl + 1;
    }
    return lines;
}

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override { setPictureLocale(PictureLocale{}); }

    EventLogConfig config(bool on = true) const {
        EventLogConfig c;
        c.dataFolder = dir.path();
        c.logEvents = on;
        return c;
    }
    std::vector<std::string> logLines() const { return splitLines(readFile(dir / EventLog::kFileName)); }

    TempDir dir;
    ManualClock clock{kHalloween};
};

} // namespace

TEST_F(EventLogTest, LinesHaveTheFixedColumns) {
    EventLog log(config(), &clock);
    ASSERT_TRUE(log.log("Quandrel 2.04", "Started"));
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    const std::string expected = std::string("OCT 31,1959 ") + "17:30     " + "Started" +
                                 std::string(25, ' ') + "Quandrel 2.04" + std::string(115, ' ');
    EXPECT_EQ(lines[0], expected);
    EXPECT_EQ(lines[0].size(), EventLog::kLineWidth);
    EXPECT_EQ(readFile(dir / EventLog::kFileName).back(), '\n');

    const QD_LOGRecord r = parseLogLine(lines[0]);
    EXPECT_EQ(r.LogDate, "OCT 31,1959");
    EXPECT_EQ(r.LogTime, "17:30");
    EXPECT_EQ(r.LogLabel, "Started");
    EXPECT_EQ(r.LogData, "Quandrel 2.04");
}

TEST_F(EventLogTest, LabelsAndDetailsAreCutToTheirColumns) {
    const std::string label40(40, 'L');
    const std::string detail300 = std::string(127, 'd') + "XYZ" + std::string(170, 'e');
    const std::string line = formatLogLine(kHalloween, "d3", label40, detail300);
    ASSERT_EQ(line.size(), 182u);
    const QD_LOGRecord r = parseLogLine(line);
    EXPECT_EQ(r.LogLabel, std::string(32, 'L'));
    EXPECT_EQ(r.LogData, std::string(127, 'd') + "X");

    // Line breaks and tabs cannot split an event over two lines.
    const QD_LOGRecord broken =
        parseLogLine(formatLogLine(kHalloween, "d3", "Mes\tsage", "Title\r\nalarm.wav"));
    EXPECT_EQ(broken.LogLabel, "Mes sage");
    EXPECT_EQ(broken.LogData, "Title  alarm.wav");

    // A cut never splits a UTF-8 character; the line keeps its width in bytes.
    const std::string euros = std::string(31, 'a') + "\xE2\x82\xAC";
    const std::string utf = formatLogLine(kHalloween, "d3", euros, "");
    EXPECT_EQ(utf.size(), 182u);
    EXPECT_EQ(parseLogLine(utf).LogLabel, std::string(31, 'a'));
}

TEST_F(EventLogTest, TheDateColumnFollowsTheUsersFormatWhenItFits) {
    auto dateColumn = [](const char* format) {
        return parseLogLine(formatLogLine(kHalloween, format, "", "")).LogDate;
    };
    EXPECT_EQ(dateColumn("d4"), "OCT 31,1959"); // "October 31, 1959" does not fit in 12
    EXPECT_EQ(dateColumn("d18"), "OCT 31,1959");
    EXPECT_EQ(dateColumn("d17"), "10/31/1959");
    EXPECT_EQ(dateColumn("d6"), "31/10/1959");
    EXPECT_EQ(dateColumn("d7"), "31 OCT 59");
    EXPECT_EQ(dateColumn("n4b"), "1959");
    EXPECT_EQ(dateColumn("bogus"), "OCT 31,1959");
    EXPECT_EQ(dateColumn(""), "OCT 31,1959");
    EXPECT_EQ(parseLogLine(formatLogLine(Moment{0, 1}, "d3", "", "")).LogDate, "");
}

TEST_F(EventLogTest, NothingIsWrittenWhileLoggingIsOff) {
    EventLog log(config(false), &clock);
    EXPECT_TRUE(log.log("detail", "label"));
    EXPECT_FALSE(fs::exists(dir / EventLog::kFileName));
    EXPECT_FALSE(log.isOpen());

    // Opening the viewer writes the one line that says why the log is empty.
    const EventLog::View view = log.prepareView();
    EXPECT_TRUE(view.status);
    EXPECT_EQ(view.path, dir / EventLog::kFileName);
    auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(parseLogLine(lines[0]).LogLabel, "View Log - Logging disabled");
    EXPECT_EQ(parseLogLine(lines[0]).LogData, "Logging is not enabled in configuration.");
    EXPECT_TRUE(log.log("still off", "label"));
    EXPECT_EQ(logLines().size(), 1u);

    // With logging on the viewer adds nothing.
    log.configure(config(true));
    log.prepareView();
    EXPECT_EQ(logLines().size(), 1u);
}

TEST_F(EventLogTest, DebugLinesNeedDebugMode) {
    EventLog log(config(), &clock);
    log.logDebug("hidden", "Debug");
    EventLogConfig c = config();
    c.debugMode = true;
    log.configure(c);
    log.logDebug("shown", "Debug");
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(parseLogLine(lines[0]).LogData, "shown");
}

TEST_F(EventLogTest, TheFileIsClosedAfter101WritesAndReopenedOnTheNext) {
    EventLog log(config(), &clock);
    for (int i = 1; i <= 100; ++i)
        ASSERT_TRUE(log.log("line " + std::to_string(i), "Count"));
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(log.writeCount(), 100);
    ASSERT_TRUE(log.log("line 101", "Count"));
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(log.writeCount(), 0);
    ASSERT_TRUE(log.log("line 102", "Count"));
    EXPECT_TRUE(log.isOpen());
    EXPECT_EQ(log.writeCount(), 1);
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 102u);
    for (int i = 0; i < 102; ++i)
        EXPECT_EQ(parseLogLine(lines[static_cast<std::size_t>(i)]).LogData, "line " + std::to_string(i + 1));
}

TEST_F(EventLogTest, ALogDeletedWhileOpenIsCreatedAgain) {
    EventLog log(config(), &clock);
    ASSERT_TRUE(log.log("before", "x"));
    fs::remove(dir / EventLog::kFileName);
    ASSERT_TRUE(log.log("after", "x"));
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(parseLogLine(lines[0]).LogData, "after");
}

TEST_F(EventLogTest, AnExistingLogIsFoundWithoutRegardToCase) {
    writeFile(dir / "QD98EVNT.LOG", "");
    EventLog log(config(), &clock);
    ASSERT_TRUE(log.log("x", "y"));
    EXPECT_FALSE(fs::exists(dir / EventLog::kFileName));
    EXPECT_EQ(splitLines(readFile(dir / "QD98EVNT.LOG")).size(), 1u);
    EXPECT_EQ(log.prepareView().path, dir / "QD98EVNT.LOG");
}

TEST_F(EventLogTest, AnUnwritableLogGivesAClearErrorAndLosesNothingElse) {
    writeFile(dir / "QD97.TPS", "tables");
    fs::create_directory(dir / EventLog::kFileName); // a folder where the file should be
    EventLog log(config(), &clock);
    const LogStatus s = log.log("lost", "Message");
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.message.find(EventLog::kFileName), std::string::npos) << s.message;
    EXPECT_FALSE(log.isOpen());
    EXPECT_EQ(readFile(dir / "QD97.TPS"), "tables");

    // Once the obstacle is gone the next event is written.
    fs::remove(dir / EventLog::kFileName);
    ASSERT_TRUE(log.log("kept", "Message"));
    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(parseLogLine(lines[0]).LogData, "kept");

    // A data folder that does not exist.
    EventLogConfig gone = config();
    gone.dataFolder = dir / "missing";
    log.configure(gone);
    EXPECT_FALSE(log.log("lost", "Message").ok);
    gone.logEvents = false;
    log.configure(gone);
    EXPECT_FALSE(log.prepareView().status.ok); // the viewer still gets its path
    EXPECT_EQ(log.prepareView().path, dir / "missing" / EventLog::kFileName);
}

TEST_F(EventLogTest, TwoProcessesAppendingAtOnceWriteWholeLines) {
    constexpr int kPerProcess = 5000;
    std::vector<pid_t> children;
    for (const char* who : {"alpha", "beta"}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            EventLog log(config(), &clock);
            bool ok = true;
            for (int i = 0; i < kPerProcess; ++i)
                ok = log.log(std::string(who) + " " + std::to_string(i) + " " + std::string(100, '.'), who)
                         .ok &&
                     ok;
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string text = readFile(dir / EventLog::kFileName);
    EXPECT_EQ(text.size(), 2u * kPerProcess * (EventLog::kLineWidth + 1));
    const auto lines = splitLines(text);
    ASSERT_EQ(lines.size(), 2u * kPerProcess);
    std::map<std::string, int> next{{"alpha", 0}, {"beta", 0}};
    for (const std::string& line : lines) {
        ASSERT_EQ(line.size(), EventLog::kLineWidth);
        const QD_LOGRecord r = parseLogLine(line);
        ASSERT_TRUE(next.count(r.LogLabel)) << line;
        // Each process's lines arrive whole and in its own order.
        const std::string expected =
            r.LogLabel + " " + std::to_string(next[r.LogLabel]++) + " " + std::string(100, '.');
        ASSERT_EQ(r.LogData, expected);
    }
    EXPECT_EQ(next["alpha"], kPerProcess);
    EXPECT_EQ(next["beta"], kPerProcess);
}

TEST_F(EventLogTest, TheTailOfTheLogIsReadBack) {
    EXPECT_TRUE(readLogTail(dir.path(), 10).lines.empty()); // no log yet: no lines, no error
    EXPECT_TRUE(readLogTail(dir.path(), 10).status.ok);
    EventLog log(config(), &clock);
    constexpr int kLines = 2000; // more than one 64 KB block
    for (int i = 0; i < kLines; ++i)
        ASSERT_TRUE(log.log(std::to_string(i), "Tail"));

    const LogTail ten = readLogTail(dir.path(), 10);
    ASSERT_TRUE(ten.status.ok);
    ASSERT_EQ(ten.lines.size(), 10u);
    EXPECT_EQ(parseLogLine(ten.lines.front()).LogData, "1990");
    EXPECT_EQ(parseLogLine(ten.lines.back()).LogData, "1999");

    const LogTail many = readLogTail(dir.path(), 1500);
    ASSERT_EQ(many.lines.size(), 1500u);
    EXPECT_EQ(parseLogLine(many.lines.front()).LogData, "500");
    EXPECT_EQ(readLogTail(dir.path()).lines.size(), static_cast<std::size_t>(kLines));
    EXPECT_TRUE(readLogTail(dir.path(), 0).lines.empty());

    // Lines written elsewhere with CRLF ends, or short, still read.
    writeFile(dir / EventLog::kFileName, "short\r\n" + std::string(182, 'x') + "\r\n");
    const LogTail mixed = readLogTail(dir.path(), 5);
    ASSERT_EQ(mixed.lines.size(), 2u);
    EXPECT_EQ(mixed.lines[0], "short");
    EXPECT_EQ(parseLogLine(mixed.lines[0]).LogDate, "short");
    EXPECT_EQ(parseLogLine(mixed.lines[0]).LogLabel, "");
}

TEST_F(EventLogTest, FullLogMovesToDotOneAndStartsAnewKeepingOnlyOnePrevious) {
    EventLogConfig c = config();
    c.maxBytes = 10 * (EventLog::kLineWidth + 1); // ten lines
    // Two writers, as two processes would have: each must follow the other's rotation.
    EventLog first(c, &clock);
    EventLog second(c, &clock);
    for (int i = 1; i <= 35; ++i)
        ASSERT_TRUE((i % 2 ? first : second).log("line " + std::to_string(i), "Test"));
    const auto current = logLines();
    const auto previous = splitLines(readFile(dir / (std::string(EventLog::kFileName) + ".1")));
    ASSERT_EQ(current.size(), 5u);
    ASSERT_EQ(previous.size(), 10u);
    // Nothing lost between the two, nothing torn, in order.
    for (std::size_t i = 0; i < previous.size(); ++i)
        EXPECT_EQ(parseLogLine(previous[i]).LogData, "line " + std::to_string(21 + i));
    for (std::size_t i = 0; i < current.size(); ++i)
        EXPECT_EQ(parseLogLine(current[i]).LogData, "line " + std::to_string(31 + i));
    // Only one previous file is kept.
    EXPECT_FALSE(std::filesystem::exists(dir / (std::string(EventLog::kFileName) + ".2")));
    // The tail shows the current file.
    EXPECT_EQ(readLogTail(dir.path(), 2).lines.size(), 2u);
}
