#include "schedule/TaskEditing.h"

#include "data/Pictures.h"
#include "data/StoreFixture.h"
#include "data/TableDefs.h"
#include "schedule/ScheduleTables.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

Date dmy(int d, int m, int y) {
    return dateFromMDY(m, d, y);
}

// Tuesday 10 March 2026, 09:00.
const Moment kNow{dmy(10, 3, 2026), timeFromHMS(9, 0, 0)};

ScheduleRecord ruleTask(const char* type, Date date, Time time) {
    ScheduleRecord t{};
    t.ScheduleType = type;
    t.Date = date;
    t.Time = time;
    t.TaskType = kTypeDisplayMessage;
    t.Message = "hello";
    t.Every = 1;
    t.EveryType = "day(s)";
    t.MonthRepeat = "Once";
    return t;
}

// --- rules without the store ---------------------------------------------------

TEST(TaskEditingRules, NewTaskStartsOnThePickedDayFiveMinutesAheadOnWeekdays) {
    ManualClock clock(kNow);
    const ScheduleRecord t = newTaskDefaults({"", dmy(20, 3, 2026)}, clock, "Work");
    EXPECT_EQ(t.Date, dmy(20, 3, 2026));
    EXPECT_EQ(t.Time, timeFromHMS(9, 5, 0));
    EXPECT_EQ(t.TaskType, "Both");
    EXPECT_EQ(t.ScheduleType, "Day of Week");
    EXPECT_EQ(
        (std::vector<int>{t.Sunday, t.Monday, t.Tuesday, t.Wednesday, t.Thursday, t.Friday, t.Saturday}),
        (std::vector<int>{0, 1, 1, 1, 1, 1, 0}));
    EXPECT_EQ(t.EveryLast, 1);
    EXPECT_EQ(t.Warn, 1);
    EXPECT_EQ(t.Every, 1);
    EXPECT_EQ(t.EveryType, "hour(s)");
    EXPECT_EQ(t.Category, "Work");
    EXPECT_EQ(t.Disabled + t.Completed + t.AdvanceWarned, 0);

    // No picked day: today. Five minutes before midnight the task starts the next day.
    clock.set({kNow.date, timeFromHMS(23, 58, 0)});
    const ScheduleRecord late = newTaskDefaults({"Run Program", 0}, clock, "");
    EXPECT_EQ(late.Date, kNow.date + 1);
    EXPECT_EQ(late.Time, timeFromHMS(0, 3, 0));
    EXPECT_EQ(late.TaskType, "Run Program");
    // A primed reminder starts at its fixed time.
    EXPECT_EQ(newTaskDefaults({"None", 0}, clock, "").Time, kReminderTime);
    // The word for a special event is no task type.
    EXPECT_EQ(newTaskDefaults({"Reschedule", 0}, clock, "").TaskType, "Both");
}

TEST(TaskEditingRules, PrimedTypesOpenTheirWizard) {
    ASSERT_TRUE(wizardFor("Run Program"));
    EXPECT_EQ(wizardFor("Run Program")->window, "Start Program Wizard");
    EXPECT_EQ(wizardFor("Run Program")->firstPage, "Program Task Basics...");
    EXPECT_EQ(wizardFor("Display Message")->window, "Display Message Wizard");
    EXPECT_EQ(wizardFor("Display Message")->firstPage, "Message Task Basics...");
    EXPECT_FALSE(wizardFor(""));
    EXPECT_FALSE(wizardFor("Both"));
}

TEST(TaskEditingRules, ScriptWizardDefaults) {
    ManualClock clock(kNow);
    const ScheduleRecord t = scriptTaskDefaults(clock);
    EXPECT_EQ(t.Date, kNow.date);
    EXPECT_EQ(t.Time, kNow.time);
    EXPECT_EQ(t.Sunday + t.Monday + t.Tuesday + t.Wednesday + t.Thursday + t.Friday + t.Saturday, 7);
    EXPECT_EQ(t.TaskType, "Run Program");
    EXPECT_EQ(t.Command, "N/A");
    EXPECT_EQ(t.Category, "General");
    EXPECT_EQ(t.EveryType, "hour(s)");
}

TEST(TaskEditingRules, HotKeyScriptDefaults) {
    ManualClock clock(kNow);
    const ScheduleRecord t = hotKeyScriptDefaults(clock, "Ctrl+Alt+F5");
    EXPECT_EQ(t.TaskType, "Run Program");
    EXPECT_EQ(t.Command, "N/A");
    EXPECT_EQ(t.Category, "Hot Key");
    EXPECT_EQ(t.Description, "Hot Key Ctrl+Alt+F5");
}

TEST(TaskEditingRules, ChoosingNoneSetsTheReminderTime) {
    ScheduleRecord t = ruleTask("Once", kNow.date, timeFromHMS(8, 0, 0));
    setTaskType(t, "None");
    EXPECT_EQ(t.Time, 8639500);
    setTaskType(t, "Both");
    EXPECT_EQ(t.Time, 8639500); // other types leave the time alone
}

TEST(TaskEditingRules, HoursTickNoHistoryOtherUnitsDoNot) {
    ScheduleRecord t = ruleTask("Custom", kNow.date, kNow.time);
    t.Every = 3;
    t.EveryType = "minute(s)";
    everyAccepted(t);
    EXPECT_EQ(t.NoHistory, 0);
    t.Every = 0;
    t.EveryType = "hour(s)";
    everyAccepted(t);
    EXPECT_EQ(t.NoHistory, 0);
    t.Every = 3;
    everyAccepted(t);
    EXPECT_EQ(t.NoHistory, 1);
}

TEST(TaskEditingRules, DescriptionFollowsMessageOrCommandOnlyWhileBlank) {
    ScheduleRecord t{};
    t.Message = "Call the plumber about the leaking pipe under the sink\nand the tap";
    messageAccepted(t);
    EXPECT_EQ(t.Description, "Call the plumber about the leaking pipe");
    t.Message = "other";
    messageAccepted(t);
    EXPECT_EQ(t.Description, "Call the plumber about the leaking pipe");
    ScheduleRecord p{};
    p.Command = "xterm -e top";
    commandAccepted(p);
    EXPECT_EQ(p.Description, "Program: xterm -e top");
}

TEST(TaskEditingRules, MonthRepeatAndOffset) {
    ScheduleRecord t{};
    monthRepeatAccepted(t);
    EXPECT_EQ(t.MonthRepeat, "Once");
    EXPECT_FALSE(offsetEnabled("Once"));
    EXPECT_TRUE(offsetEnabled("Twice - 1st, 15th"));
    EXPECT_TRUE(offsetEnabled("Twice - 15th, Last"));
    t.LastDayofMonth = 1;
    EXPECT_FALSE(ordinalBoxesEnabled(t));
}

TEST(TaskEditingRules, TwiceMonthlyDateOffTheRuleIsWarnedAndKept) {
    ScriptedUserInterface ui;
    ScheduleRecord t = ruleTask("Monthly", dmy(10, 3, 2026), timeFromHMS(9, 0, 0));
    t.MonthRepeat = "Twice - 1st, 15th";
    startDateAccepted(t, false, {}, ui);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Warning");
    EXPECT_EQ(ui.shown[0].text, "Date given does not match schedule type.");
    EXPECT_EQ(t.Date, dmy(10, 3, 2026));
    EXPECT_EQ(t.AdvanceWarnDate, 0); // no default warning

    ui.shown.clear();
    t.Date = dmy(15, 3, 2026);
    startDateAccepted(t, false, {}, ui);
    EXPECT_TRUE(ui.shown.empty());
    // A special event is not held to the rule.
    t.Date = dmy(10, 3, 2026);
    startDateAccepted(t, true, {}, ui);
    EXPECT_TRUE(ui.shown.empty());
}

TEST(TaskEditingRules, DefaultAdvanceWarningIsSetAheadOfTheTask) {
    ScriptedUserInterface ui;
    ScheduleRecord t = ruleTask("Once", dmy(10, 3, 2026), timeFromHMS(0, 30, 0));
    t.AdvanceWarned = 1;
    startDateAccepted(t, false, {true, 2, timeFromHMS(1, 0, 0) - 1}, ui);
    EXPECT_EQ(t.AdvanceWarned, 0);
    // 00:30 less one hour reaches into the day before: 23:30 of 7 March.
    EXPECT_EQ(t.AdvanceWarnDate, dmy(7, 3, 2026));
    EXPECT_EQ(t.AdvanceWarnTime, timeFromHMS(23, 30, 0));
}

TEST(TaskEditingRules, AdvanceWarningAfterTheTaskIsCleared) {
    ScriptedUserInterface ui;
    ScheduleRecord t = ruleTask("Once", dmy(10, 3, 2026), timeFromHMS(9, 0, 0));
    t.AdvanceWarnDate = dmy(10, 3, 2026);
    t.AdvanceWarnTime = timeFromHMS(8, 0, 0);
    EXPECT_TRUE(advanceWarningAccepted(t, ui));
    t.AdvanceWarnTime = timeFromHMS(9, 1, 0);
    EXPECT_FALSE(advanceWarningAccepted(t, ui));
    EXPECT_EQ(t.AdvanceWarnDate, 0);
    EXPECT_EQ(t.AdvanceWarnTime, 0);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "Advanced Warning cannot be after scheduled task.");
}

TEST(TaskEditingRules, ExpiryBeforeTheStartIsClearedButTheStartDayWithoutTimeIsKept) {
    ScriptedUserInterface ui;
    ScheduleRecord t = ruleTask("Custom", dmy(10, 3, 2026), timeFromHMS(9, 0, 0));
    t.ExpiryDate = t.Date;
    t.ExpiryTime = timeFromHMS(8, 59, 0);
    EXPECT_FALSE(expiryAccepted(t, ui));
    EXPECT_EQ(t.ExpiryDate, 0);
    EXPECT_EQ(t.ExpiryTime, 0);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].text, "End date and time must be after the start date and time.");

    t.ExpiryDate = t.Date;
    t.ExpiryTime = 0;
    EXPECT_TRUE(expiryAccepted(t, ui));
    EXPECT_EQ(t.ExpiryDate, dmy(10, 3, 2026));
    t.ExpiryDate = t.Date - 1;
    t.ExpiryTime = timeFromHMS(23, 0, 0);
    EXPECT_FALSE(expiryAccepted(t, ui));
    t.ExpiryDate = t.Date;
    t.ExpiryTime = timeFromHMS(9, 0, 0);
    EXPECT_TRUE(expiryAccepted(t, ui));
    EXPECT_EQ(ui.shown.size(), 2u);
}

TEST(TaskEditingRules, RequiredFieldsInOrder) {
    ScheduleRecord t = ruleTask("Custom", 0, 0);
    t.Message = "";
    t.Every = 0;
    t.Alarm = 1;
    ScriptedUserInterface ui;
    EXPECT_FALSE(checkRequiredFields(t, ui));
    EXPECT_EQ(ui.shown.back().title, "Missing Information");
    EXPECT_EQ(ui.shown.back().text, "Next Date to Perform Task must be entered.");
    t.Date = kNow.date;
    EXPECT_EQ(missingField(t), "Next Time to Perform Task");
    t.Time = kNow.time;
    EXPECT_EQ(missingField(t), "Message to display");
    t.TaskType = "Run Program"; // no message needed
    EXPECT_EQ(missingField(t), "Every");
    t.Every = 2;
    EXPECT_EQ(missingField(t), "Alarm File");
    t.AlarmFile = "bell.wav";
    EXPECT_FALSE(missingField(t));
    t.TaskType = "None";
    EXPECT_EQ(missingField(t), "Message to display");
}

TEST(TaskEditingRules, SaveFillsDescriptionCommandCategoryAndStamp) {
    const SaveStamp stamp{"ann", kNow, "d17"};
    struct Case {
        const char* type;
        const char* command;
        const char* message;
        std::string description;
    };
    const std::string today = formatUserDate(kNow.date, "d17");
    const Case cases[] = {
        {"Display Message", "", "Water the plants in the living room today",
         "Message: Water the plants in the living"},
        {"None", "", "Dentist", "Reminder: Dentist"},
        {"Both", "", "x", "Message/Run Program"},
        {"Run Program", "gedit notes.txt", "", "Run: gedit notes.txt"},
        {"Run Program", "n/a", "", "Script: " + today},
        {"Run Program", "", "", "Script: " + today},
        {"Hot Key", "", "", "Hot Key 42"},
    };
    for (const Case& c : cases) {
        ScheduleRecord t{};
        t.ID = 42;
        t.TaskType = c.type;
        t.Command = c.command;
        t.Message = c.message;
        fillOnSave(t, stamp);
        EXPECT_EQ(t.Description, c.description) << c.type;
        EXPECT_EQ(t.Category, "General");
        EXPECT_EQ(t.NetworkUser, "ann");
        EXPECT_EQ(t.LastChangeDate, kNow.date);
        EXPECT_EQ(t.LastChangeTime, kNow.time);
        EXPECT_EQ(t.OriginalID, 42);
        if (std::string(c.type) != "Display Message" && std::string(c.type) != "None" && c.command[0] == 0) {
            EXPECT_EQ(t.Command, "N/A") << c.type;
        }
    }
    // What the user entered stays.
    ScheduleRecord t{};
    t.ID = 5;
    t.OriginalID = 3;
    t.TaskType = "Display Message";
    t.Description = "Mine";
    t.Category = "Work";
    fillOnSave(t, stamp);
    EXPECT_EQ(t.Description, "Mine");
    EXPECT_EQ(t.Category, "Work");
    EXPECT_EQ(t.OriginalID, 3);
    EXPECT_EQ(t.Command, ""); // a message task starts no program
}

TEST(TaskEditingRules, UpcomingOccurrencesFollowTheRule) {
    // Friday 13 March 2026, Monday to Friday.
    ScheduleRecord t = ruleTask("Day of Week", dmy(13, 3, 2026), timeFromHMS(9, 0, 0));
    t.Monday = t.Tuesday = t.Wednesday = t.Thursday = t.Friday = 1;
    const auto next = upcomingOccurrences(t, 5);
    ASSERT_EQ(next.size(), 5u);
    EXPECT_EQ(next[0].date, dmy(13, 3, 2026));
    EXPECT_EQ(next[1].date, dmy(16, 3, 2026));
    EXPECT_EQ(next[4].date, dmy(19, 3, 2026));

    EXPECT_EQ(upcomingOccurrences(ruleTask("Once", kNow.date, kNow.time), 5).size(), 1u);
    ScheduleRecord broken = ruleTask("Custom", kNow.date, kNow.time);
    broken.EveryType = "fortnights";
    EXPECT_TRUE(upcomingOccurrences(broken, 5).empty());
    // An expiry ends the series.
    ScheduleRecord daily = ruleTask("Custom", kNow.date, kNow.time);
    daily.ExpiryDate = kNow.date + 2;
    daily.ExpiryTime = kNow.time;
    EXPECT_EQ(upcomingOccurrences(daily, 5).size(), 3u);
}

// --- the editor over the store ------------------------------------------------------

class TaskEditorTest : public qdtest::StoreTest {
protected:
    TaskEditorTest() : clock(kNow) {}

    std::unique_ptr<TaskEditor> editor() {
        return std::make_unique<TaskEditor>(*ds, EditorEnvironment{clock, ui, "ann", "Ann", "d17"});
    }
    template <class R> std::vector<R> rows(const TableDef& def) {
        Table<R> t(*ds, def);
        EXPECT_EQ(t.open(), Level::Benign);
        std::vector<R> out;
        t.setOrder(0);
        while (t.next() == Level::Benign)
            out.push_back(t.rec);
        return out;
    }
    std::vector<ScheduleRecord> tasks() { return rows<ScheduleRecord>(tables::Schedule()); }
    void addCategory(const char* name) {
        Table<CategoriesRecord> t(*ds, tables::Categories());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.Category = name;
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    void addUser(const char* name) {
        Table<UsersRecord> t(*ds, tables::Users());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.User = name;
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    std::int32_t addTask(ScheduleRecord r) {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = r;
        EXPECT_EQ(t.insert(), Level::Benign);
        return t.rec.ID;
    }
    void addStep(std::int32_t task, const char* keys) {
        Table<ScriptingRecord> t(*ds, tables::Scripting());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.ID = task;
        t.rec.Action = "Send Keys";
        t.rec.Keystrokes = keys;
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    std::vector<std::string> steps(std::int32_t task) {
        std::vector<std::string> out;
        for (const auto& s : rows<ScriptingRecord>(tables::Scripting()))
            if (s.ID == task) out.push_back(s.Keystrokes);
        return out;
    }
    ScheduleRecord stored(std::int32_t id) {
        for (const auto& t : tasks())
            if (t.ID == id) return t;
        return {};
    }

    ManualClock clock;
};

TEST_F(TaskEditorTest, NewTaskIsSavedWithItsCategoryRememberedAndCancelWritesNothing) {
    addCategory("Home");
    addCategory("Work");
    {
        auto e = editor();
        e->openNew({});
        EXPECT_EQ(e->task.Category, "Home"); // the first, nothing remembered yet
        EXPECT_EQ(e->task.User, "Ann");
        // Closed without saving.
    }
    EXPECT_TRUE(tasks().empty());
    EXPECT_TRUE(rows<ConfigurationRecord>(tables::Configuration()).empty());

    auto e = editor();
    e->openNew({"Display Message", 0});
    e->task.Message = "Stand up";
    e->task.Category = "Work";
    ASSERT_EQ(e->save(), SaveResult::Saved);
    const auto all = tasks();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].ID, e->savedId());
    EXPECT_EQ(all[0].Description, "Message: Stand up");
    EXPECT_EQ(all[0].NetworkUser, "ann");
    EXPECT_EQ(all[0].OriginalID, all[0].ID);
    EXPECT_EQ(all[0].Disabled, 0);
    // The next new message task starts in the category used last for messages.
    auto next = editor();
    next->openNew({"Display Message", 0});
    EXPECT_EQ(next->task.Category, "Work");
    next->openNew({});
    EXPECT_EQ(next->task.Category, "Home");
}

TEST_F(TaskEditorTest, AlarmFileIsRememberedForTheNextAlarm) {
    auto e = editor();
    e->openNew({"Display Message", 0});
    EXPECT_EQ(e->rememberedWavFile(), "");
    e->task.Message = "Ring";
    e->task.Alarm = 1;
    EXPECT_EQ(e->save(), SaveResult::Refused);
    EXPECT_EQ(lastText(), "Alarm File must be entered.");
    e->task.AlarmFile = "sounds/bell.wav";
    ASSERT_EQ(e->save(), SaveResult::Saved);
    EXPECT_EQ(editor()->rememberedWavFile(), "sounds/bell.wav");
    // The system beep is no file to remember.
    auto beep = editor();
    beep->openNew({"Display Message", 0});
    beep->task.Message = "Beep";
    beep->task.Alarm = 1;
    beep->task.AlarmFile = "BEEP";
    ASSERT_EQ(beep->save(), SaveResult::Saved);
    EXPECT_EQ(editor()->rememberedWavFile(), "sounds/bell.wav");
}

TEST_F(TaskEditorTest, MissingFieldKeepsTheFormAndWritesNothing) {
    auto e = editor();
    e->openNew({"Display Message", 0});
    EXPECT_EQ(e->save(), SaveResult::Refused);
    EXPECT_EQ(lastTitle(), "Missing Information");
    EXPECT_EQ(lastText(), "Message to display must be entered.");
    EXPECT_TRUE(tasks().empty());
}

TEST_F(TaskEditorTest, BlankCategoryBecomesGeneralAndIsAddedToTheCategories) {
    auto e = editor();
    e->openScriptTask();
    e->task.Category = "";
    ASSERT_EQ(e->save(), SaveResult::Saved);
    EXPECT_EQ(stored(e->savedId()).Category, "General");
    const auto cats = rows<CategoriesRecord>(tables::Categories());
    ASSERT_EQ(cats.size(), 1u);
    EXPECT_EQ(cats[0].Category, "General");
    EXPECT_EQ(stored(e->savedId()).Description, "Script: " + formatUserDate(kNow.date, "d17"));
}

TEST_F(TaskEditorTest, ChangeMadeMeanwhileByAnotherProcessIsKept) {
    ScheduleRecord r = ruleTask("Custom", kNow.date, kNow.time);
    r.Description = "Original";
    const std::int32_t id = addTask(r);
    auto e = editor();
    ASSERT_TRUE(e->openChange(id));
    e->task.Description = "Edited in the form";

    // Another process (the dispatcher performing the task) moves it on.
    ErrorClass otherErrors(&ui);
    DataSet other(dir.path(), otherErrors);
    {
        Table<ScheduleRecord> t(other, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.ID = id;
        ASSERT_EQ(t.fetch("KeyID"), Level::Benign);
        t.rec.Date += 1;
        t.rec.LastRunDate = kNow.date;
        ASSERT_EQ(t.update(), Level::Benign);
    }
    other.closeAll();

    EXPECT_EQ(e->save(), SaveResult::ChangedByOther);
    EXPECT_EQ(lastTitle(), "Record Was Not Updated");
    EXPECT_EQ(lastText(), "This record was changed by another station.");
    const ScheduleRecord kept = stored(id);
    EXPECT_EQ(kept.Description, "Original");
    EXPECT_EQ(kept.Date, kNow.date + 1);
    // The form now shows the stored task; saving again changes it on top.
    EXPECT_EQ(e->task.Date, kNow.date + 1);
    e->task.Description = "Second try";
    ASSERT_EQ(e->save(), SaveResult::Saved) << lastTitle() << ": " << lastText();
    EXPECT_EQ(stored(id).Description, "Second try");
    EXPECT_EQ(stored(id).LastRunDate, kNow.date);
    EXPECT_EQ(tasks().size(), 1u);
}

TEST_F(TaskEditorTest, CopyTakesTheScriptStepsAlongAsANewTask) {
    ScheduleRecord r = ruleTask("Custom", kNow.date, kNow.time);
    r.Description = "Source";
    r.OriginalID = 77;
    const std::int32_t source = addTask(r);
    addStep(source, "one");
    addStep(source, "two");
    auto e = editor();
    ASSERT_TRUE(e->openCopy(source));
    EXPECT_EQ(e->task.ID, 0);
    e->task.Description = "Copy";
    ASSERT_EQ(e->save(), SaveResult::Saved);
    const std::int32_t copy = e->savedId();
    EXPECT_NE(copy, source);
    EXPECT_EQ(steps(copy), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(steps(source), (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(stored(copy).OriginalID, copy);
    EXPECT_EQ(stored(source).Description, "Source");
}

TEST_F(TaskEditorTest, SpecialEventIsAOneTimeCopyThatCanSkipTheSourcesNextOccurrence) {
    ScheduleRecord r = ruleTask("Day of Week", kNow.date, kNow.time);
    r.Monday = r.Tuesday = 1;
    const std::int32_t source = addTask(r);
    addStep(source, "keys");
    auto e = editor();
    ASSERT_TRUE(e->openReschedule(source));
    EXPECT_TRUE(e->specialEvent());
    EXPECT_FALSE(e->skipSourceNextTime);
    e->task.Date = kNow.date + 1; // a Wednesday: not a rule day, and no warning for a special event
    startDateAccepted(e->task, e->specialEvent(), {}, ui);
    EXPECT_TRUE(ui.shown.empty());
    e->skipSourceNextTime = true;
    ASSERT_EQ(e->save(), SaveResult::Saved);
    const ScheduleRecord event = stored(e->savedId());
    EXPECT_EQ(event.ScheduleType, "Once");
    EXPECT_EQ(event.SkipNextTime, 0);
    EXPECT_EQ(event.Date, kNow.date + 1);
    EXPECT_EQ(steps(e->savedId()), (std::vector<std::string>{"keys"}));
    EXPECT_EQ(stored(source).SkipNextTime, 1);
    EXPECT_EQ(stored(source).ScheduleType, "Day of Week");
}

TEST_F(TaskEditorTest, DayOfMonthTaskOnAHolidayGetsItsNextDayCopyAtSave) {
    {
        TableHolidayStore h(*ds);
        HolidaysRecord hol{};
        hol.HolidayDate = dmy(10, 3, 2026);
        hol.Holiday = "Founders' Day";
        ASSERT_TRUE(h.addHoliday(hol));
    }
    auto e = editor();
    e->openNew({"Display Message", dmy(10, 3, 2026)});
    e->task.Message = "Report";
    e->task.ScheduleType = "Day of Month";
    e->task.Tuesday = 1;
    e->task.Every1st = e->task.Every2nd = e->task.Every3rd = e->task.Every4th = 1;
    e->task.ExceptHolidays = 1;
    e->task.ShiftType = "Next day";
    ASSERT_EQ(e->save(), SaveResult::Saved);
    const ScheduleRecord saved = stored(e->savedId());
    EXPECT_EQ(saved.SkipNextTime, 1);
    ASSERT_NE(saved.ExceptionLink, 0);
    const ScheduleRecord copy = stored(saved.ExceptionLink);
    EXPECT_EQ(copy.ScheduleType, "Once");
    EXPECT_EQ(copy.Date, dmy(11, 3, 2026));
    EXPECT_EQ(tasks().size(), 2u);
}

TEST_F(TaskEditorTest, UserRowsAreWrittenOnceAndFollowTheTask) {
    addUser("Ann");
    addUser("Bob");
    auto e = editor();
    e->openNew({"Display Message", 0});
    e->task.Message = "Shared";
    e->addAllUsers();
    e->addAllUsers();
    EXPECT_FALSE(e->addUser("bob"));
    ASSERT_EQ(e->userRows().size(), 2u);
    ASSERT_EQ(e->save(), SaveResult::Saved);
    const std::int32_t id = e->savedId();
    auto usd = rows<QDUSDRecord>(tables::QDUSD());
    ASSERT_EQ(usd.size(), 2u);
    for (const auto& row : usd) {
        EXPECT_EQ(row.ID, id);
        EXPECT_EQ(row.Date, e->task.Date);
        EXPECT_EQ(row.LastRunDate, 0);
    }

    // Changed: Bob leaves, the new date reaches Ann's row, Ann's own warning stays unless cascaded.
    auto c = editor();
    ASSERT_TRUE(c->openChange(id));
    ASSERT_EQ(c->userRows().size(), 2u);
    c->removeUser("BOB");
    c->cascade = TaskEditor::Cascade::All;
    c->task.Date += 7;
    ASSERT_EQ(c->save(), SaveResult::Saved);
    usd = rows<QDUSDRecord>(tables::QDUSD());
    ASSERT_EQ(usd.size(), 1u);
    EXPECT_EQ(usd[0].User, "Ann");
    EXPECT_EQ(usd[0].Date, stored(id).Date);

    // "None" leaves the rows alone; "<<" removes them all.
    c->cascade = TaskEditor::Cascade::None;
    c->task.Date += 7;
    ASSERT_EQ(c->save(), SaveResult::Saved);
    EXPECT_EQ(rows<QDUSDRecord>(tables::QDUSD())[0].Date, stored(id).Date - 7);
    c->removeAllUsers();
    ASSERT_EQ(c->save(), SaveResult::Saved);
    EXPECT_TRUE(rows<QDUSDRecord>(tables::QDUSD()).empty());
}

TEST_F(TaskEditorTest, EditedUserRowIsStored) {
    addUser("Ann");
    const std::int32_t id = addTask(ruleTask("Custom", kNow.date, kNow.time));
    auto e = editor();
    ASSERT_TRUE(e->openChange(id));
    ASSERT_TRUE(e->addUser("Ann"));
    QDUSDRecord row = e->userRows()[0];
    row.Disabled = 1;
    row.Time = timeFromHMS(18, 0, 0);
    ASSERT_TRUE(e->changeUserRow(row));
    EXPECT_FALSE(e->changeUserRow(userRowFor(e->task, "Nobody")));
    ASSERT_EQ(e->save(), SaveResult::Saved);
    const auto usd = rows<QDUSDRecord>(tables::QDUSD());
    ASSERT_EQ(usd.size(), 1u);
    EXPECT_EQ(usd[0].Disabled, 1);
    EXPECT_EQ(usd[0].Time, timeFromHMS(18, 0, 0));
}

TEST_F(TaskEditorTest, DeletedTaskCannotBeOpened) {
    auto e = editor();
    EXPECT_FALSE(e->openChange(99));
    EXPECT_FALSE(e->openCopy(99));
    EXPECT_EQ(lastText(), "The task is not there any more.");
}

} // namespace
