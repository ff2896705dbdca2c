#include "QdctlFixture.h"
#include "support/TempDir.h"

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/EventLog.h"
#include "data/Settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

struct ConfigCommandsTest : qdtest::QdctlFixture {
    ConfigCommandsTest() { leading = {"--now", "2026-03-01 09:00"}; }

    // The stored row as `rec get` shows it ("" when there is none).
    std::string storedRow(const std::string& key) {
        if (run({"--json", "rec", "get", "Configuration", "CF:DataType=" + key}) != 0) return "";
        return out;
    }
};

TEST_F(ConfigCommandsTest, GetShowsTheValueAsTheProgramUsesIt) {
    ASSERT_EQ(run({"config", "get", "StartUpActive"}), 0) << err;
    EXPECT_EQ(out, "1\n");
    ASSERT_EQ(run({"config", "get", "scriptingdelay"}), 0) << err;
    EXPECT_EQ(out, "10\n");
    ASSERT_EQ(run({"--json", "config", "get", "BurstSize"}), 0) << err;
    EXPECT_EQ(out, "{\"key\": \"BurstSize\", \"value\": 7, \"source\": \"default\"}\n");
    ASSERT_EQ(run({"--json", "config", "get", "DateFormat"}), 0) << err;
    EXPECT_EQ(out, "{\"key\": \"DateFormat\", \"value\": \"d3\", \"source\": \"default\"}\n");

    // A legacy value is shown with its source but not copied by reading.
    qdtest::writeFile(dir / "qd98.INI", "[Settings]\nHistoryExpires=30\n");
    ASSERT_EQ(run({"--json", "config", "get", "HistoryExpires"}), 0) << err;
    EXPECT_EQ(out, "{\"key\": \"HistoryExpires\", \"value\": 30, \"source\": \"qd98.INI\"}\n");
    EXPECT_EQ(storedRow("HistoryExpires"), "");
}

TEST_F(ConfigCommandsTest, SetStoresAsTheOptionsWindowDoes) {
    ASSERT_EQ(run({"config", "set", "StartUpSchedule", "off"}), 0) << err;
    EXPECT_EQ(out, "StartUpSchedule=0\n");
    EXPECT_NE(storedRow("StartUpSchedule").find("\"CF:DataValue\": \"1\""), std::string::npos);
    ASSERT_EQ(run({"config", "get", "StartUpSchedule"}), 0);
    EXPECT_EQ(out, "0\n");

    ASSERT_EQ(run({"config", "set", "ScriptingDelay", "5"}), 0) << err;
    EXPECT_EQ(out, "ScriptingDelay=10\n");
    EXPECT_NE(err.find("stored as 5; the program uses 10"), std::string::npos);
    ASSERT_EQ(run({"--json", "config", "set", "CM:Mode", "Auto"}), 0) << err;
    EXPECT_EQ(out, "{\"key\": \"CM:Mode\", \"value\": \"Auto\", \"source\": \"table\"}\n");
    ASSERT_EQ(run({"config", "set", "DateFormat", "@d17"}), 0) << err;
    EXPECT_EQ(out, "DateFormat=d17\n");

    // Debug lives in qd98.INI only.
    ASSERT_EQ(run({"config", "set", "Debug", "1"}), 0) << err;
    EXPECT_NE(qdtest::readFile(dir / "qd98.INI").find("Debug=1"), std::string::npos);
    EXPECT_EQ(storedRow("Debug"), "");
}

TEST_F(ConfigCommandsTest, BadKeysAndValuesChangeNothing) {
    EXPECT_EQ(run({"config", "get", "NoSuchKey"}), 1);
    EXPECT_NE(err.find("unknown setting 'NoSuchKey'"), std::string::npos);
    EXPECT_EQ(run({"config", "set", "NoSuchKey", "1"}), 1);
    EXPECT_EQ(run({"config", "set", "HistoryExpires", "thirty"}), 1);
    EXPECT_NE(err.find("HistoryExpires is a whole number, not 'thirty'"), std::string::npos);
    EXPECT_EQ(run({"config", "set", "LogEvents", "maybe"}), 1);
    EXPECT_EQ(run({"config", "set", "BurstSize", "999"}), 1);
    EXPECT_EQ(run({"config", "set", "DateFormat", "d99"}), 1);
    EXPECT_EQ(run({"config", "set", "Version", "9.9"}), 1);
    EXPECT_EQ(storedRow("HistoryExpires"), "");
    EXPECT_EQ(storedRow("LogEvents"), "");
    EXPECT_EQ(storedRow("Version"), "");
    EXPECT_EQ(run({"config", "set", "HistoryExpires"}), 2);
    EXPECT_EQ(run({"config", "frobnicate"}), 2);
}

TEST_F(ConfigCommandsTest, ListShowsEverySettingWithItsSource) {
    qdtest::writeFile(dir / "qd98.INI", "[Settings]\nHistoryExpires=30\n");
    ASSERT_EQ(run({"config", "set", "MaxClipboardEntries", "80"}), 0) << err;
    ASSERT_EQ(run({"--json", "config", "list"}), 0) << err;
    const auto lines = static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n'));
    EXPECT_EQ(lines, qd::settingDefs().size());
    EXPECT_NE(out.find("{\"key\": \"MaxClipboardEntries\", \"value\": 80, \"source\": \"table\"}\n"),
              std::string::npos);
    EXPECT_NE(out.find("{\"key\": \"HistoryExpires\", \"value\": 30, \"source\": \"qd98.INI\"}\n"),
              std::string::npos);
    EXPECT_NE(out.find("{\"key\": \"UseQDMsg\", \"value\": 1, \"source\": \"default\"}\n"),
              std::string::npos);
    ASSERT_EQ(run({"config", "list"}), 0) << err;
    EXPECT_NE(out.find("\nHistoryExpires         qd98.INI 30\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("SysLock                default  0\n"), 0u) << out;
}

TEST_F(ConfigCommandsTest, LogShowPrintsTheLinesTheSettingsFormat) {
    ASSERT_EQ(run({"log", "show"}), 0) << err; // no log yet: nothing, no error
    EXPECT_EQ(out, "");
    ASSERT_EQ(run({"config", "set", "LogEvents", "1"}), 0) << err;
    ASSERT_EQ(run({"config", "set", "DateFormat", "d2"}), 0) << err;

    // The program's log configured from the loaded settings.
    qd::ScriptedUserInterface ui;
    qd::ErrorClass errors(&ui);
    qd::DataSet ds(dir.path(), errors);
    qd::SettingsStore store(ds);
    qd::ProgramSettings settings;
    qd::loadAllSettings(store, settings, {});
    qd::ManualClock clock(qd::Moment{qd::dateFromMDY(3, 1, 2026), qd::timeFromHMS(9, 30, 0)});
    qd::EventLog log(qd::eventLogConfig(settings, ds.folder()), &clock);
    ASSERT_TRUE(log.log("Quandrel 2000 2.04", "Started"));
    ASSERT_TRUE(log.log("Checked for tasks needing removal", "History"));
    log.close();

    ASSERT_EQ(run({"log", "show", "--tail", "1"}), 0) << err;
    EXPECT_EQ(out.rfind("03/01/2026  ", 0), 0u) << out;
    EXPECT_NE(out.find("History                         Checked for tasks needing removal\n"),
              std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
    ASSERT_EQ(run({"--json", "log", "show"}), 0) << err;
    EXPECT_EQ(out.find("{\"QDL:LogDate\": \"03/01/2026\", \"QDL:LogTime\": "), 0u) << out;
    EXPECT_NE(out.find("\"QDL:LogLabel\": \"Started\", \"QDL:LogData\": \"Quandrel 2000 2.04\"}\n"),
              std::string::npos);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 2);

    EXPECT_EQ(run({"log", "show", "--tail", "many"}), 1);
    EXPECT_NE(err.find("--tail takes a number of lines, not 'many'"), std::string::npos);
    EXPECT_EQ(run({"log", "erase"}), 2);
}

} // namespace

TEST_F(ConfigCommandsTest, LockPasswordIsNeverShownOnlyWhetherItIsSet) {
    ASSERT_EQ(run({"config", "get", "SysPwd"}), 0) << err;
    EXPECT_EQ(out, "(not set)\n");
    ASSERT_EQ(run({"config", "set", "SysPwd", "Hunter2"}), 0) << err;
    EXPECT_EQ(out, "SysPwd=(set)\n");
    ASSERT_EQ(run({"config", "get", "SysPwd"}), 0) << err;
    EXPECT_EQ(out, "(set)\n");
    ASSERT_EQ(run({"--json", "config", "get", "SysPwd"}), 0) << err;
    EXPECT_EQ(out, "{\"key\": \"SysPwd\", \"value\": \"(set)\", \"source\": \"table\"}\n");
    ASSERT_EQ(run({"config", "list"}), 0) << err;
    EXPECT_EQ(out.find("Hunter2"), std::string::npos);
    EXPECT_NE(out.find("(set)"), std::string::npos);
    // The row holds a hash, not the password.
    const std::string row = storedRow("SysPwd");
    EXPECT_EQ(row.find("Hunter2"), std::string::npos);
    EXPECT_NE(row.find("$argon2"), std::string::npos);
}
