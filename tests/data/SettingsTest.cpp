#include "data/Settings.h"
#include "data/LockPassword.h"

#include "StoreFixture.h"
#include "data/Clock.h"
#include "data/EventLog.h"
#include "data/Startup.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace qd;
using qdtest::readFile;
using qdtest::writeFile;

namespace {

class SettingsTest : public qdtest::StoreTest {
protected:
    ProgramSettings load(std::vector<std::string> args = {}, std::string networkUser = "ann") {
        SettingsStore store(*ds);
        ProgramSettings s;
        loadAllSettings(store, s,
                        SettingsEnvironment{CommandLineSwitches::parse(args), std::move(networkUser)});
        return s;
    }

    // The stored row of a key; nullopt when there is none.
    std::optional<std::string> row(const std::string& key) {
        Table<ConfigurationRecord> cf(*ds, tables::Configuration());
        if (cf.open() != Level::Benign) return std::nullopt;
        cf.rec.DataType = key;
        if (cf.fetch("CF:KeyDataType") != Level::Benign) return std::nullopt;
        return cf.rec.DataValue;
    }

    void store(const std::string& key, const std::string& value) {
        SettingsStore s(*ds);
        ASSERT_TRUE(s.write(key, value));
    }

    void writeIni(const std::string& text) { writeFile(dir / "qd98.INI", text); }
};

TEST_F(SettingsTest, FreshDataSetHasTheDefaults) {
    const ProgramSettings s = load();
    EXPECT_TRUE(s.StartUpSchedule);
    EXPECT_TRUE(s.StartUpActive);
    EXPECT_TRUE(s.UseQDMsg);
    EXPECT_TRUE(s.CM_OnTop);
    EXPECT_FALSE(s.CM_UseEx);
    EXPECT_EQ(s.DateFormat, "d3");
    EXPECT_EQ(s.CM_Mode, "Normal");
    EXPECT_EQ(s.ScriptingDelay, 10);
    EXPECT_EQ(s.BurstSize, 7);
    EXPECT_EQ(s.MaxClipboardEntries, 50);
    EXPECT_EQ(s.HistoryExpires, 0);
    EXPECT_FALSE(s.LogEvents);
    EXPECT_FALSE(s.Debug);
    EXPECT_EQ(s.ININame, "qd98.INI");
    // Values that are not blank are kept in the table from then on; the inverted
    // options store 0 for "on"; blank texts are not stored.
    EXPECT_EQ(row("StartUpSchedule"), "0");
    EXPECT_EQ(row("UseQDMsg"), "1");
    EXPECT_EQ(row("DateFormat"), "d3");
    EXPECT_EQ(row("Sender"), std::nullopt);
    EXPECT_EQ(row("Debug"), std::nullopt);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SettingsTest, LegacyIniValueIsCopiedOnceAndTheTableWinsAfterwards) {
    writeIni("[Settings]\r\nHistoryExpires=30\r\nUserID=jdoe\r\n");
    EXPECT_EQ(load().HistoryExpires, 30);
    EXPECT_EQ(row("HistoryExpires"), "30");
    std::filesystem::remove(dir / "qd98.INI");
    ProgramSettings s = load();
    EXPECT_EQ(s.HistoryExpires, 30);
    EXPECT_EQ(s.UserID, "jdoe");
    // A later INI value is not consulted for a key the table holds.
    writeIni("[Settings]\nHistoryExpires=99\n");
    EXPECT_EQ(load().HistoryExpires, 30);
}

TEST_F(SettingsTest, KeysOfTheSystemIniAndTableOnlyKeysIgnoreQd98Ini) {
    writeIni("[Settings]\nDateFormat=d1\nSysLock=1\nMaxClipboardEntries=5\n");
    const ProgramSettings s = load();
    EXPECT_EQ(s.DateFormat, "d3");
    EXPECT_FALSE(s.SysLock);
    EXPECT_EQ(s.MaxClipboardEntries, 50);
}

TEST_F(SettingsTest, InactiveSwitchTurnsTheSchedulerOffForThisRunOnly) {
    const ProgramSettings s = load({"/i"});
    EXPECT_FALSE(s.StartUpActive);
    EXPECT_TRUE(s.CommandLine.inactive);
    EXPECT_EQ(row("StartUpActive"), "0"); // stored: still on
    EXPECT_TRUE(load().StartUpActive);

    EXPECT_EQ(optionsOpeningWarning(s.CommandLine),
              (Notice{"Warning",
                      "The task scheduler has been \"inactivated\" using the /I command line parameter."}));
    EXPECT_EQ(optionsOpeningWarning(CommandLineSwitches::parse({"/I", "/config"})), std::nullopt);
    EXPECT_EQ(optionsOpeningWarning(CommandLineSwitches::parse({})), std::nullopt);
}

TEST_F(SettingsTest, CommandLineSwitchesAreWholeArguments) {
    const auto c = CommandLineSwitches::parse({"/Inactive", "user=/I", "/CONFIGURE"});
    EXPECT_FALSE(c.inactive);
    EXPECT_FALSE(c.config);
    EXPECT_EQ(c.user, "/I");
    EXPECT_EQ(CommandLineSwitches::parse({"User="}).user, std::nullopt);
}

TEST_F(SettingsTest, TextWhereNumbersBelongGivesDefaultsAndLosesNothing) {
    store("HistoryExpires", "thirty");
    store("UseQDMsg", "yes");
    store("StartUpActive", "x");
    store("BurstSize", "many");
    store("ScriptingDelay", "5");
    store("SkipIfDaysPassed", "2.9");
    store("MaxClipboardEntries", "");
    store("RepeatAlarmInterval", "99999999999");
    store("Host", "smtp.example.org");
    store("LogEvents", "1");
    const ProgramSettings s = load();
    EXPECT_EQ(s.HistoryExpires, 0);
    EXPECT_TRUE(s.UseQDMsg);
    EXPECT_TRUE(s.StartUpActive);
    EXPECT_EQ(s.BurstSize, 7);
    EXPECT_EQ(s.ScriptingDelay, 10);
    EXPECT_EQ(s.SkipIfDaysPassed, 2);
    EXPECT_EQ(s.MaxClipboardEntries, 0); // blank reads as 0
    EXPECT_EQ(s.RepeatAlarmInterval, 0);
    EXPECT_EQ(s.Host, "smtp.example.org");
    EXPECT_TRUE(s.LogEvents);
    EXPECT_EQ(row("HistoryExpires"), "thirty"); // left as the user wrote it
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(SettingsTest, StoredNumbersAreReadLeniently) {
    EXPECT_EQ(parseStoredNumber(" 42 "), 42);
    EXPECT_EQ(parseStoredNumber("-1"), -1);
    EXPECT_EQ(parseStoredNumber("+3"), 3);
    EXPECT_EQ(parseStoredNumber("7.9"), 7);
    EXPECT_EQ(parseStoredNumber(""), 0);
    EXPECT_EQ(parseStoredNumber("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"abc", "12abc", "1e3", ".", "-", "2147483648", "0x10", "1.2.3"})
        EXPECT_EQ(parseStoredNumber(bad), std::nullopt) << bad;
    const SettingDef& burst = *findSettingDef("burstsize");
    EXPECT_EQ(decodeNumber(burst, "300"), 255);
    EXPECT_EQ(decodeNumber(burst, "-4"), 7);
    EXPECT_EQ(decodeNumber(burst, "3"), 3);
}

TEST_F(SettingsTest, MalformedIniGivesWhatCanBeReadAndDefaultsForTheRest) {
    writeIni(std::string("HistoryExpires=5\n\x01\xff\xfe garbage\n[Settings\nUseQDMsg=0\n[settings]\n"
                         "historyexpires = 12 \nHistoryExpires=13\nSnoozeInterval=\"15\"\nRemoveUncompleted\n"
                         "=7\n[Other]\nBurstSize=3\n"));
    const ProgramSettings s = load();
    EXPECT_EQ(s.HistoryExpires, 12);
    EXPECT_EQ(s.SnoozeInterval, 15);
    EXPECT_TRUE(s.UseQDMsg);
    EXPECT_FALSE(s.RemoveUncompleted);
    EXPECT_EQ(s.BurstSize, 7);

    // An INI "file" that cannot be read at all gives the defaults.
    ASSERT_TRUE(std::filesystem::remove(dir / "qd98.INI"));
    std::filesystem::create_directory(dir / "qd98.INI");
    EXPECT_EQ(load().SnoozeInterval, 15); // already in the table
    EXPECT_EQ(load().MaxAlarmTime, 0);
}

TEST_F(SettingsTest, DebugAndWarningKeysComeFromTheIniOnly) {
    store("Debug", "1");
    EXPECT_FALSE(load().Debug);
    writeIni("[Settings]\nDebug=2\n[Warning]\nActive=1\nDateWarning=3\nTimeWarning=abc\n");
    EXPECT_TRUE(load().Debug);
    const AdvanceWarningDefaults w = readAdvanceWarningDefaults(dir.path());
    EXPECT_TRUE(w.Active);
    EXPECT_EQ(w.DateWarning, 3);
    EXPECT_EQ(w.TimeWarning, 0);
    ASSERT_TRUE(writeAdvanceWarningDefaults(dir.path(), {false, 1, 360000}));
    const AdvanceWarningDefaults back = readAdvanceWarningDefaults(dir.path());
    EXPECT_FALSE(back.Active);
    EXPECT_EQ(back.TimeWarning, 360000);
    EXPECT_NE(readFile(dir / "qd98.INI").find("Debug=2"), std::string::npos);
}

TEST_F(SettingsTest, EverySettingSurvivesWriteAndReload) {
    ProgramSettings edited;
    int n = 0;
    for (const SettingDef& def : settingDefs()) {
        if (def.home != SettingHome::Table) continue;
        ++n;
        if (auto flag = std::get_if<bool ProgramSettings::*>(&def.member))
            edited.*(*flag) = !(edited.*(*flag));
        if (auto number = std::get_if<std::int32_t ProgramSettings::*>(&def.member))
            edited.*(*number) = 11 + n;
        if (auto text = std::get_if<std::string ProgramSettings::*>(&def.member))
            edited.*(*text) = std::string(def.key).substr(0, 4) + "x";
    }
    edited.DateFormat = "d17";
    edited.MultiUser = false; // else the login name would replace UserID
    SettingsStore s(*ds);
    ASSERT_TRUE(writeAllSettings(s, edited));
    const ProgramSettings back = load();
    for (const SettingDef& def : settingDefs()) {
        if (def.home != SettingHome::Table || std::holds_alternative<std::monostate>(def.member)) continue;
        if (def.secret) {
            EXPECT_TRUE(isLockPasswordHash(storedTextOf(back, def))) << def.key;
            EXPECT_TRUE(lockPasswordMatches(storedTextOf(back, def), storedTextOf(edited, def))) << def.key;
        } else {
            EXPECT_EQ(storedTextOf(back, def), storedTextOf(edited, def)) << def.key;
        }
    }
    EXPECT_FALSE(back.StartUpSchedule);
    EXPECT_EQ(row("StartUpSchedule"), "1");
    EXPECT_EQ(row("Version"), std::nullopt); // written by the start-up alone
}

TEST_F(SettingsTest, CurrentUserIsFixedAndAddedToUsersOnce) {
    ProgramSettings s = load({}, "ann");
    EXPECT_EQ(s.User, "ann");
    EXPECT_EQ(s.UserName, "");
    s = load({"User=Bob"}, "ann");
    EXPECT_EQ(s.User, "Bob");
    store("MultiUser", "1");
    store("UserID", "desk7");
    s = load({}, "ANN");
    EXPECT_EQ(s.UserID, "ANN");
    EXPECT_EQ(s.UserName, "ANN");
    EXPECT_EQ(s.User, "ANN");
    s = load({}, ""); // no login name: UserID stays as stored, no user row
    EXPECT_EQ(s.UserID, "desk7");
    EXPECT_EQ(s.User, "");

    Table<UsersRecord> users(*ds, tables::Users());
    ASSERT_EQ(users.open(), Level::Benign);
    EXPECT_EQ(users.recordCount(), 2); // ann (also found as ANN) and Bob
    users.rec.User = "Bob";
    ASSERT_EQ(users.fetch("U_:KeyUser"), Level::Benign);
    EXPECT_EQ(users.rec.SourcePath, dir.str());
}

TEST_F(SettingsTest, UnreadableTableGivesDefaultsAndOneMessage) {
    writeFile(dir / "QD97.TPS", std::string(8192, 'x'));
    const ProgramSettings s = load();
    EXPECT_TRUE(s.StartUpActive);
    EXPECT_EQ(s.BurstSize, 7);
    int retrieval = 0;
    for (const auto& shown : ui.shown)
        if (shown.title == "Error!") {
            ++retrieval;
            EXPECT_EQ(shown.text.rfind("Error retrieving configuration information code SysLock - ", 0), 0u);
        }
    EXPECT_EQ(retrieval, 1);
    SettingsStore st(*ds);
    EXPECT_FALSE(st.write("HistoryExpires", "3"));
    EXPECT_EQ(lastTitle(), "Error!");
    EXPECT_EQ(lastText().rfind("Error writing configuration information.  Code HistoryExpires - ", 0), 0u);
}

TEST_F(SettingsTest, OptionsOkChecksPasswordsWritesAndTellsAboutTheDateFormat) {
    ProgramSettings current = load();
    ProgramSettings edited = current;
    edited.SysLock = true;
    edited.SysPwd = "Secret";
    edited.StartUpSchedule = false;
    edited.MaxClipboardEntries = 80;
    edited.DateFormat = "d1";
    edited.LogEvents = true;
    SettingsStore st(*ds);
    ManualClock clock(Moment{dateFromMDY(10, 31, 1999), timeFromHMS(9, 5, 0)});
    EventLog log(EventLogConfig{}, &clock);

    EXPECT_EQ(acceptOptions(st, current, edited, "secret", ui, &log), OptionsResult::StayOpen);
    EXPECT_EQ(lastTitle(), "Error");
    EXPECT_EQ(lastText(), "The system lock passwords do not match.");
    EXPECT_EQ(row("SysPwd"), std::nullopt);
    EXPECT_TRUE(current.StartUpSchedule);

    EXPECT_EQ(acceptOptions(st, current, edited, "Secret", ui, &log), OptionsResult::Saved);
    EXPECT_EQ(lastTitle(), "Information");
    EXPECT_EQ(row("StartUpSchedule"), "1");
    // Kept as a hash only; it still matches whatever the case.
    ASSERT_TRUE(row("SysPwd").has_value());
    EXPECT_TRUE(isLockPasswordHash(*row("SysPwd")));
    EXPECT_TRUE(lockPasswordMatches(*row("SysPwd"), "sECRET"));
    EXPECT_EQ(current.SysPwd, *row("SysPwd"));
    EXPECT_FALSE(current.StartUpSchedule);
    EXPECT_EQ(load().MaxClipboardEntries, 80);
    // The log follows the new settings at once.
    ASSERT_TRUE(log.log("detail", "Label"));
    EXPECT_EQ(readFile(dir / "QD98Evnt.LOG").substr(0, 12), "10/31/99    ");

    const std::size_t shown = ui.shown.size();
    EXPECT_EQ(acceptOptions(st, current, current, current.SysPwd, ui, nullptr), OptionsResult::Saved);
    EXPECT_EQ(ui.shown.size(), shown); // same date format: no note
}

TEST_F(SettingsTest, UserValuesAreCheckedBeforeTheyAreStored) {
    std::string error;
    const SettingDef& active = *findSettingDef("startupactive");
    EXPECT_EQ(storedTextFor(active, "off", error), "1");
    EXPECT_EQ(storedTextFor(active, "1", error), "0");
    EXPECT_EQ(effectiveText(active, "1"), "0");
    EXPECT_EQ(effectiveText(active, "2"), "1"); // 1 minus 2 is not zero
    EXPECT_EQ(storedTextFor(*findSettingDef("LogEvents"), "Yes", error), "1");
    EXPECT_EQ(storedTextFor(*findSettingDef("LogEvents"), "2", error), std::nullopt);
    EXPECT_EQ(storedTextFor(*findSettingDef("HistoryExpires"), "-1", error), "-1");
    EXPECT_EQ(storedTextFor(*findSettingDef("HistoryExpires"), "ten", error), std::nullopt);
    EXPECT_EQ(error, "HistoryExpires is a whole number, not 'ten'");
    EXPECT_EQ(storedTextFor(*findSettingDef("BurstSize"), "256", error), std::nullopt);
    EXPECT_EQ(storedTextFor(*findSettingDef("DateFormat"), "@D17", error), "d17");
    EXPECT_EQ(storedTextFor(*findSettingDef("DateFormat"), "d9", error), std::nullopt);
    EXPECT_EQ(storedTextFor(*findSettingDef("SysPwd"), std::string(33, 'p'), error), std::nullopt);
    EXPECT_EQ(findSettingDef("NoSuchKey"), nullptr);
    EXPECT_EQ(dateFormatChoices().size(), 15u);
    EXPECT_EQ(findDateFormatChoice("n4b")->shown, "Year Only");
}

TEST(SettingsStartupTest, StartupLoadsSettingsAndConfiguresTheLog) {
    qdtest::TempDir dir;
    ScriptedUserInterface ui;
    ManualClock clock(Moment{dateFromMDY(3, 9, 2026), timeFromHMS(8, 30, 0)});
    Startup s(ui, clock);
    ASSERT_TRUE(s.begin(dir.path(), dir / "install"));
    ASSERT_TRUE(s.openFrame());
    writeFile(s.dataFolder().folder / "qd98.INI", "[Settings]\nDebug=1\nLogEvents=1\n");
    s.loadSettings(CommandLineSwitches::parse({"/I"}));
    const ProgramSettings& settings = s.settings();
    EXPECT_TRUE(settings.Debug);
    EXPECT_TRUE(settings.LogEvents);
    EXPECT_FALSE(settings.StartUpActive);
    const EventLogConfig c = s.log().config();
    EXPECT_TRUE(c.logEvents);
    EXPECT_TRUE(c.debugMode);
    EXPECT_EQ(c.dataFolder, s.dataFolder().folder);
    const LogTail tail = readLogTail(s.dataFolder().folder);
    ASSERT_EQ(tail.lines.size(), 1u);
    const QD_LOGRecord line = parseLogLine(tail.lines[0]);
    EXPECT_EQ(std::string(line.LogLabel), "Debugging Active");
    // The log reads the run's clock, not the machine's.
    EXPECT_NE(std::string(line.LogDate).find("2026"), std::string::npos) << line.LogDate;
    EXPECT_EQ(std::string(line.LogTime).substr(0, 5), "08:30") << line.LogTime;
    s.end();
}

} // namespace

TEST_F(SettingsTest, LockPasswordIsStoredAsASaltedHashAndComparedWithoutCase) {
    std::string error;
    const SettingDef& def = *findSettingDef("SysPwd");
    const auto first = storedTextFor(def, "Open Sesame", error);
    const auto second = storedTextFor(def, "Open Sesame", error);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->find("Sesame"), std::string::npos);
    EXPECT_NE(*first, *second); // salted
    EXPECT_TRUE(lockPasswordMatches(*first, "OPEN SESAME"));
    EXPECT_TRUE(lockPasswordMatches(*first, "open sesame"));
    EXPECT_FALSE(lockPasswordMatches(*first, "open sesame "));
    EXPECT_FALSE(lockPasswordMatches(*first, ""));
    // No password stays no password.
    EXPECT_EQ(storedTextFor(def, "", error), "");
    // Stored and loaded, the hash comes back whole although it is wider than a password.
    store("SysPwd", *first);
    EXPECT_EQ(load().SysPwd, *first);
}

TEST_F(SettingsTest, PlainLockPasswordOfAnOlderDataSetIsReplacedByItsHashOnLoad) {
    store("SysPwd", "Legacy");
    const ProgramSettings s = load();
    ASSERT_TRUE(row("SysPwd").has_value());
    EXPECT_TRUE(isLockPasswordHash(*row("SysPwd")));
    EXPECT_EQ(s.SysPwd, *row("SysPwd"));
    EXPECT_TRUE(lockPasswordMatches(s.SysPwd, "LEGACY"));
    // Loading again changes nothing more.
    EXPECT_EQ(load().SysPwd, s.SysPwd);
    // A plain value still unlocks before it was replaced.
    EXPECT_TRUE(lockPasswordMatches("Legacy", "legacy"));
}
