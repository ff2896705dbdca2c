#include "schedule/ScheduleTables.h"

#include "data/StoreFixture.h"
#include "data/TableDefs.h"
#include "schedule/Exceptions.h"
#include "schedule/Holidays.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

Date dmy(int d, int m, int y) {
    return dateFromMDY(m, d, y);
}

class ScheduleTables : public qdtest::StoreTest {
protected:
    std::int32_t addTask(ScheduleRecord r) {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = r;
        EXPECT_EQ(t.insert(), Level::Benign);
        return t.rec.ID;
    }
    void addSteps(std::int32_t task, int count) {
        Table<ScriptingRecord> t(*ds, tables::Scripting());
        ASSERT_EQ(t.open(), Level::Benign);
        for (int i = 0; i < count; ++i) {
            t.rec = {};
            t.rec.ID = task;
            t.rec.Action = "Send Keys";
            t.rec.Keystrokes = "step " + std::to_string(i + 1);
            ASSERT_EQ(t.insert(), Level::Benign);
        }
    }
    // Keystrokes of the task's steps in sequence order, with their sequence numbers.
    std::vector<std::string> steps(std::int32_t task) {
        Table<ScriptingRecord> t(*ds, tables::Scripting());
        EXPECT_EQ(t.open(), Level::Benign);
        std::vector<std::string> out;
        t.setOrder(t.def().findKey("SCR:KeyID"));
        while (t.next() == Level::Benign)
            if (t.rec.ID == task) out.push_back(std::to_string(t.rec.Sequence) + ":" + t.rec.Keystrokes);
        return out;
    }
    long long taskCount() {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        EXPECT_EQ(t.open(), Level::Benign);
        return t.recordCount();
    }
    bool addHoliday(Date d, const char* name, const char* type = "Annual") {
        HolidaysRecord h;
        h.HolidayDate = d;
        h.Holiday = name;
        h.HolidayType = type;
        return holidays().addHoliday(h);
    }
    TableHolidayStore& holidays() {
        if (!holidays_) holidays_ = std::make_unique<TableHolidayStore>(*ds);
        return *holidays_;
    }

    std::unique_ptr<TableHolidayStore> holidays_;
};

// "Day of Month" on the second Monday, shifting an excluded day to the next one.
ScheduleRecord monthlyOnHolidays(Date date) {
    ScheduleRecord r;
    r.ScheduleType = "Day of Month";
    r.Monday = 1;
    r.Every2nd = 1;
    r.Description = "Report";
    r.TaskType = "Run Program";
    r.Command = "report.sh";
    r.Date = date;
    r.Time = timeFromHMS(9, 0, 0);
    r.ExceptHolidays = 1;
    r.ShiftType = "Next day";
    return r;
}

} // namespace

TEST_F(ScheduleTables, ExceptionCopyIsWrittenWithTheScriptAndReplacedNextTime) {
    const Date monday = dmy(12, 10, 2026); // second Monday of October
    ASSERT_TRUE(addHoliday(monday, "Thanksgiving (Canada)"));
    ScheduleRecord task = monthlyOnHolidays(monday);
    task.ID = addTask(task);
    task.OriginalID = task.ID;
    addSteps(task.ID, 3);

    TableTaskStore store(*ds);
    ExceptionOutcome out = ApplyExceptions(task, store, holidays(), ui);
    ASSERT_NE(out.copyId, 0);
    EXPECT_EQ(task.ExceptionLink, out.copyId);
    EXPECT_EQ(task.SkipNextTime, 1);

    ScheduleRecord copy;
    ASSERT_TRUE(store.fetchTask(out.copyId, copy));
    EXPECT_EQ(copy.ScheduleType, "Once");
    EXPECT_EQ(copy.Date, monday + 1);
    EXPECT_EQ(copy.Time, task.Time);
    EXPECT_EQ(copy.Command, "report.sh");
    EXPECT_EQ(copy.SkipNextTime, 0);
    EXPECT_EQ(copy.ExceptionLink, 0);
    EXPECT_EQ(steps(out.copyId), (std::vector<std::string>{"1:step 1", "2:step 2", "3:step 3"}));
    EXPECT_EQ(steps(task.ID).size(), 3u);

    // The next excluded occurrence replaces the copy: the old one goes with its steps.
    const std::int32_t firstCopy = out.copyId;
    out = ApplyExceptions(task, store, holidays(), ui);
    EXPECT_EQ(out.removedCopyId, firstCopy);
    ASSERT_NE(out.copyId, 0);
    EXPECT_EQ(task.ExceptionLink, out.copyId);
    EXPECT_EQ(taskCount(), 2);
    EXPECT_EQ(steps(out.copyId).size(), 3u);
    if (out.copyId != firstCopy) {
        EXPECT_TRUE(steps(firstCopy).empty());
    }
}

TEST_F(ScheduleTables, StaleLinkToAnUnrelatedTaskLeavesThatTaskAlone) {
    const Date monday = dmy(12, 10, 2026);
    ASSERT_TRUE(addHoliday(monday, "Holiday"));
    ScheduleRecord other;
    other.ScheduleType = "Once";
    other.Description = "Dentist";
    other.OriginalID = 99;
    const std::int32_t otherId = addTask(other);
    addSteps(otherId, 2);

    ScheduleRecord task = monthlyOnHolidays(monday);
    task.ID = addTask(task);
    task.OriginalID = task.ID;
    task.ExceptionLink = otherId; // its own copy was deleted and the ID given to another task

    TableTaskStore store(*ds);
    const ExceptionOutcome out = ApplyExceptions(task, store, holidays(), ui);
    EXPECT_EQ(out.removedCopyId, 0);
    ScheduleRecord kept;
    ASSERT_TRUE(store.fetchTask(otherId, kept));
    EXPECT_EQ(kept.Description, "Dentist");
    EXPECT_EQ(steps(otherId).size(), 2u);
    EXPECT_NE(out.copyId, 0);
}

TEST_F(ScheduleTables, CopyThatCannotTakeItsStepsWritesNothing) {
    ScheduleRecord task = monthlyOnHolidays(dmy(12, 10, 2026));
    task.ID = addTask(task);
    addSteps(task.ID, 2);
    // Steps left behind under the ID the copy will receive make the step copy fail.
    addSteps(task.ID + 1, 1);

    TableTaskStore store(*ds);
    ScheduleRecord copy = task;
    EXPECT_EQ(store.insertTaskCopy(copy, task.ID), 0);
    EXPECT_EQ(copy.ID, 0);
    EXPECT_EQ(taskCount(), 1);
    EXPECT_EQ(steps(task.ID + 1).size(), 1u);

    // Deleting the task takes its steps along.
    ASSERT_TRUE(store.deleteTask(task.ID));
    EXPECT_TRUE(steps(task.ID).empty());
    EXPECT_FALSE(store.deleteTask(task.ID));
    ScheduleRecord again;
    EXPECT_FALSE(store.fetchTask(task.ID, again));
}

TEST_F(ScheduleTables, HolidaysAreKeyedByTheirDate) {
    const Date d = dmy(25, 12, 2026);
    EXPECT_TRUE(addHoliday(d, "Christmas Day"));
    EXPECT_FALSE(addHoliday(d, "Second on the same day"));
    EXPECT_TRUE(addHoliday(d - 1, "Christmas Eve"));
    EXPECT_TRUE(addHoliday(dmy(1, 1, 2026), "New Year's Day"));
    EXPECT_FALSE(addHoliday(0, "No date"));

    TableHolidayStore& h = holidays();
    EXPECT_TRUE(h.isHoliday(d));
    EXPECT_FALSE(h.isHoliday(d + 1));
    EXPECT_FALSE(h.isHoliday(0));
    const auto before = h.holidaysBefore(d);
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].Holiday, "New Year's Day");
    EXPECT_EQ(before[1].Holiday, "Christmas Eve");

    // Moving onto a taken date is refused and changes nothing.
    HolidaysRecord moved = before[1];
    moved.HolidayDate = d;
    EXPECT_FALSE(h.changeHoliday(d - 1, moved));
    EXPECT_TRUE(h.isHoliday(d - 1));
    moved.HolidayDate = d + 6;
    EXPECT_TRUE(h.changeHoliday(d - 1, moved));
    EXPECT_FALSE(h.isHoliday(d - 1));
    EXPECT_TRUE(h.isHoliday(d + 6));
    EXPECT_FALSE(h.changeHoliday(d - 1, moved));
    EXPECT_TRUE(h.removeHoliday(d + 6));
    EXPECT_FALSE(h.removeHoliday(d + 6));
    EXPECT_EQ(h.allHolidays().size(), 2u);
    EXPECT_TRUE(ui.shown.empty()) << "refused holiday writes are not shown to the user";
}

TEST_F(ScheduleTables, DefaultHolidaysAreLoadedOnceAndPastOnesRolled) {
    TableSettingStore settings(*ds);
    EXPECT_EQ(settings.value(kDefaultHolidaysSetting), "");
    const Date today = dmy(1, 3, 2026);
    ASSERT_TRUE(addHoliday(dmy(10, 2, 2026), "Once gone", "Once"));
    ASSERT_TRUE(addHoliday(dmy(3, 2, 2024), "Founders", "Annual"));

    const HolidayRollResult first = RollHolidaysForward(holidays(), settings, today);
    // Veteran's Day and Remembrance Day share their first date; the key keeps one.
    EXPECT_EQ(first.defaultsAdded, 16);
    EXPECT_EQ(first.deleted, 1);
    EXPECT_EQ(first.failed, 0);
    EXPECT_EQ(settings.value(kDefaultHolidaysSetting), "Y");
    for (const HolidaysRecord& h : holidays().allHolidays())
        EXPECT_GE(h.HolidayDate, today) << h.Holiday;
    EXPECT_TRUE(holidays().isHoliday(dmy(18, 5, 2026))); // Victoria Day: third Monday of May
    EXPECT_TRUE(holidays().isHoliday(dmy(3, 4, 2026)));  // Good Friday
    EXPECT_TRUE(holidays().isHoliday(dmy(3, 2, 2027)));  // Founders, this year's already past
    EXPECT_FALSE(holidays().isHoliday(dmy(10, 2, 2026)));

    const auto count = holidays().allHolidays().size();
    const HolidayRollResult second = RollHolidaysForward(holidays(), settings, today);
    EXPECT_EQ(second.defaultsAdded, 0);
    EXPECT_EQ(second.moved, 0);
    EXPECT_EQ(holidays().allHolidays().size(), count);
}

TEST_F(ScheduleTables, SettingsAreConfigurationRows) {
    TableSettingStore settings(*ds);
    EXPECT_EQ(settings.value("HistoryExpires"), "");
    EXPECT_TRUE(settings.setValue("HistoryExpires", "30"));
    EXPECT_TRUE(settings.setValue("HistoryExpires", "45 "));
    EXPECT_EQ(settings.value("historyexpires"), "45");
    Table<ConfigurationRecord> cf(*ds, tables::Configuration());
    ASSERT_EQ(cf.open(), Level::Benign);
    EXPECT_EQ(cf.recordCount(), 1);
}
