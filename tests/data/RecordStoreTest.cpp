#include "StoreFixture.h"
#include "data/Calendar.h"
#include "data/StoreTransaction.h"

#include <sqlite3.h>

#include <set>

using namespace qd;
using qdtest::StoreTest;

namespace {

const std::pair<const char*, int> kRecordSizes[] = {
    {"Schedule", 1113},
    {"Scripting", 2528},
    {"ScheduleWorkFile", 1113},
    {"QDUSD", 73},
    {"QDSCD", 12},
    {"Categories", 20},
    {"Holidays", 54},
    {"SysHotKeys", 139},
    {"Configuration", 295},
    {"QD_LOG", 182},
    {"Contact", 394},
    {"ContactCategories", 20},
    {"Messages", 2214},
    {"MsgLink", 4435},
    {"Todo", 152},
    {"Clipboard", 169},
    {"ClipboardCategories", 20},
    {"Users", 396},
    {"Favorites", 1072},
    {"Commands", 151},
    {"Actions", 4127},
    {"ScriptTemplates", 319},
    {"ScriptTemplateDetails", 2528},
    {"Export", 1550},
    {"SyncSchedule", 1074},
    {"SyncScripting", 2528},
    {"SyncTodo", 152},
    {"MassMailSent", 48},
};

} // namespace

TEST(Dictionary, EveryTableHasItsRecordSizeKeysAndUniformKeyDirections) {
    ASSERT_EQ(tables::all().size(), 28u);
    for (const auto& [label, size] : kRecordSizes) {
        const TableDef* t = tables::find(label);
        ASSERT_NE(t, nullptr) << label;
        EXPECT_EQ(fixedRecordSize(*t), size) << label;
        for (const auto& k : t->keys) {
            ASSERT_FALSE(k.components.empty()) << k.name;
            for (const auto& c : k.components)
                EXPECT_EQ(c.descending, k.components[0].descending) << k.name;
        }
    }
    EXPECT_EQ(tables::Schedule().keys.size(), 11u);
    EXPECT_EQ(tables::ScheduleWorkFile().keys.size(), 13u);
    EXPECT_EQ(tables::Contact().keys.size(), 9u);
    // The advance-warning key of the per-user table starts with the whole group.
    const KeyDef& adv =
        tables::QDUSD().keys[static_cast<std::size_t>(tables::QDUSD().findKey("US:KeyAdvanced"))];
    EXPECT_EQ(adv.components.size(), 8u);
    EXPECT_EQ(tables::Messages().findField("M_:Mail:Server"), 11);
    EXPECT_EQ(tables::ScriptTemplateDetails().findField("QDD:WIZ_ID"), 0);
    EXPECT_EQ(tables::Schedule().findField("sch:keydate"), -1);
    EXPECT_EQ(tables::Schedule().findField("SCH:Date"), tables::Schedule().findField("date"));
    EXPECT_EQ(tables::relations().size(), 15u);
}

TEST_F(StoreTest, AutoNumberingStartsAtOneAndReusesTheHighestAfterDelete) {
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    for (int i = 1; i <= 3; ++i) {
        sch.rec = {};
        sch.rec.Description = "Task " + std::to_string(i);
        ASSERT_EQ(sch.insert(), Level::Benign);
        EXPECT_EQ(sch.rec.ID, i);
    }
    sch.rec.ID = 3;
    ASSERT_EQ(sch.fetch("SCH:KeyID"), Level::Benign);
    ASSERT_EQ(sch.deleteRecord(), Level::Benign);
    sch.rec = {};
    ASSERT_EQ(sch.insert(), Level::Benign);
    EXPECT_EQ(sch.rec.ID, 3);
    // An explicit ID is kept.
    sch.rec = {};
    sch.rec.ID = 40;
    ASSERT_EQ(sch.insert(), Level::Benign);
    EXPECT_EQ(sch.rec.ID, 40);
}

TEST_F(StoreTest, StepsAreNumberedWithinTheirTask) {
    Table<ScriptingRecord> scr(*ds, tables::Scripting());
    ASSERT_EQ(scr.open(), Level::Benign);
    for (int task : {7, 9, 7, 7, 9}) {
        scr.rec = {};
        scr.rec.ID = task;
        ASSERT_EQ(scr.insert(), Level::Benign);
    }
    EXPECT_EQ(scr.rec.Sequence, 2); // the second step of task 9
    std::vector<std::pair<int, int>> order;
    scr.setOrder(scr.def().findKey("SCR:KeyID"));
    while (scr.next() == Level::Benign)
        order.emplace_back(scr.rec.ID, scr.rec.Sequence);
    EXPECT_EQ(order, (std::vector<std::pair<int, int>>{{7, 1}, {7, 2}, {7, 3}, {9, 1}, {9, 2}}));
}

TEST_F(StoreTest, DuplicateKeysAreRefusedWithTheKeyDescription) {
    Table<HolidaysRecord> hol(*ds, tables::Holidays());
    ASSERT_EQ(hol.open(), Level::Benign);
    hol.rec.HolidayDate = dateFromMDY(12, 25, 2026);
    hol.rec.Holiday = "Christmas";
    ASSERT_EQ(hol.insert(), Level::Benign);
    hol.rec.Holiday = "Another";
    EXPECT_EQ(hol.insert(), Level::Notify);
    EXPECT_EQ(lastTitle(), "Duplicate Key Error");
    EXPECT_EQ(lastText(), "Adding this record creates a duplicate entry for the key: HOL:KeyHolidayDate");
    EXPECT_EQ(hol.recordCount(), 1);
    // Holidays without a date are left out of the key, so they do not clash.
    hol.rec = {};
    hol.rec.Holiday = "Undated 1";
    EXPECT_EQ(hol.insert(), Level::Benign);
    hol.rec.Holiday = "Undated 2";
    EXPECT_EQ(hol.insert(), Level::Benign);

    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    for (int i = 0; i < 2; ++i) {
        sch.rec = {};
        sch.rec.Date = 80000;
        sch.rec.Time = 100;
        EXPECT_EQ(sch.insert(), Level::Benign);
    }
    EXPECT_EQ(sch.recordCount(), 2);

    // Case-insensitive keys: "work" and "WORK" are the same category.
    Table<CategoriesRecord> cat(*ds, tables::Categories());
    ASSERT_EQ(cat.open(), Level::Benign);
    cat.rec.Category = "work";
    ASSERT_EQ(cat.insert(), Level::Benign);
    cat.rec.Category = "WORK";
    EXPECT_EQ(cat.tryInsert(), Level::Notify);
}

TEST_F(StoreTest, TextsAreCutToTheirWidthWithoutSplittingCharacters) {
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    sch.rec.Description = std::string(50, 'x');
    sch.rec.AlarmFile = std::string(300, 'a');                    // CSTRING(255) holds 254 characters
    sch.rec.Category = std::string(19, 'c') + "\xc3\xa9\xc3\xa9"; // 21 characters, 23 bytes
    sch.rec.User = "padded   ";
    sch.rec.Message = std::string(5000, 'm');
    ASSERT_EQ(sch.insert(), Level::Benign);
    sch.rec = {};
    sch.rec.ID = 1;
    ASSERT_EQ(sch.fetch("SCH:KeyID"), Level::Benign);
    EXPECT_EQ(sch.rec.Description.size(), 40u);
    EXPECT_EQ(sch.rec.AlarmFile.size(), 254u);
    EXPECT_EQ(sch.rec.Category, std::string(19, 'c') + "\xc3\xa9");
    EXPECT_EQ(sch.rec.User, "padded");
    EXPECT_EQ(sch.rec.Message.size(), 4096u);
}

TEST_F(StoreTest, DispatcherKeyListsEnabledTasksInDateOrderAndLeavesOutEmptyOnes) {
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    struct Row {
        int disabled, date, time;
        const char* name;
    };
    const Row rows[] = {{0, 90000, 500, "late"},         {1, 0, 0, "disabled-undated"},
                        {0, 0, 0, "enabled-undated"},    {0, 80000, 900, "early-b"},
                        {1, 70000, 1, "disabled-early"}, {0, 80000, 100, "early-a"}};
    for (const auto& r : rows) {
        sch.rec = {};
        sch.rec.Disabled = static_cast<std::uint8_t>(r.disabled);
        sch.rec.Date = r.date;
        sch.rec.Time = r.time;
        sch.rec.Description = r.name;
        ASSERT_EQ(sch.insert(), Level::Benign);
    }
    std::vector<std::string> seen;
    sch.setOrder(sch.def().findKey("SCH:KeyDateEnabled"));
    while (sch.next() == Level::Benign)
        seen.push_back(sch.rec.Description);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"early-a", "early-b", "late", "disabled-undated", "disabled-early"}));
    ASSERT_EQ(sch.first(sch.def().findKey("SCH:KeyDateEnabled")), Level::Benign);
    EXPECT_EQ(sch.rec.Description, "early-a");
    // Backwards from the end, and from a position.
    seen.clear();
    sch.setOrder(sch.def().findKey("SCH:KeyDateEnabled"));
    while (sch.previous() == Level::Benign)
        seen.push_back(sch.rec.Description);
    EXPECT_EQ(seen.front(), "disabled-early");
    EXPECT_EQ(seen.back(), "early-a");
    sch.rec = {};
    sch.rec.Date = 80000;
    sch.rec.Time = 500;
    sch.setPosition(sch.def().findKey("SCH:KeyDateEnabled"));
    ASSERT_EQ(sch.next(), Level::Benign);
    EXPECT_EQ(sch.rec.Description, "early-b");
}

TEST_F(StoreTest, ClipboardDateKeyIsNewestFirstAndShowsEveryRecord) {
    Table<ClipboardRecord> cli(*ds, tables::Clipboard());
    ASSERT_EQ(cli.open(), Level::Benign);
    const int dates[][2] = {{100, 5}, {300, 1}, {0, 0}, {300, 9}, {200, 2}};
    int n = 0;
    for (const auto& d : dates) {
        cli.rec = {};
        cli.rec.ClipDate = d[0];
        cli.rec.ClipTime = d[1];
        cli.rec.ClipHashKey = "hash" + std::to_string(n++);
        ASSERT_EQ(cli.insert(), Level::Benign);
    }
    std::vector<int> seen;
    cli.setOrder(cli.def().findKey("CLI:KeyClipDate"));
    while (cli.next() == Level::Benign)
        seen.push_back(cli.rec.ClipDate * 10 + cli.rec.ClipTime);
    EXPECT_EQ(seen, (std::vector<int>{3009, 3001, 2002, 1005, 0}));
    // The same contents are stored once.
    cli.rec.ClipHashKey = "hash1";
    EXPECT_EQ(cli.insert(), Level::Notify);
    EXPECT_EQ(lastTitle(), "Duplicate Key Error");
}

TEST_F(StoreTest, MemosTravelWithTheirRecord) {
    Table<TodoRecord> tdo(*ds, tables::Todo());
    ASSERT_EQ(tdo.open(), Level::Benign);
    tdo.rec.ToDo = "Call";
    tdo.rec.Notes = "line 1\nline 2";
    tdo.rec.Resolution = "done";
    ASSERT_EQ(tdo.insert(), Level::Benign);
    tdo.rec.Notes += "\nline 3";
    ASSERT_EQ(tdo.update(), Level::Benign);
    Table<TodoRecord> other(*ds, tables::Todo());
    ASSERT_EQ(other.open(), Level::Benign);
    ASSERT_EQ(other.first(0), Level::Benign);
    EXPECT_EQ(other.rec.Notes, "line 1\nline 2\nline 3");
    EXPECT_EQ(other.rec.Resolution, "done");
}

TEST_F(StoreTest, SecondOfTwoEditorsIsRefusedAndTheFirstChangeKept) {
    Table<ScheduleRecord> first(*ds, tables::Schedule());
    ASSERT_EQ(first.open(), Level::Benign);
    first.rec.Description = "original";
    ASSERT_EQ(first.insert(), Level::Benign);

    // The second editor works in another process, on its own connection.
    ErrorClass otherErrors(&ui);
    DataSet other(dir.path(), otherErrors);
    Table<ScheduleRecord> second(other, tables::Schedule());
    ASSERT_EQ(second.open(), Level::Benign);
    second.rec.ID = first.rec.ID;
    ASSERT_EQ(second.fetch("SCH:KeyID"), Level::Benign);

    first.rec.Description = "first user's change";
    ASSERT_EQ(first.update(), Level::Benign);
    second.rec.Description = "second user's change";
    EXPECT_EQ(second.update(), Level::Notify);
    EXPECT_EQ(lastTitle(), "Record Was Not Updated");
    EXPECT_EQ(lastText(), "This record was changed by another station.");
    EXPECT_EQ(second.update(7), Level::Notify);
    EXPECT_NE(lastText().find("Ditto Button"), std::string::npos);

    ASSERT_EQ(second.reget(), Level::Benign);
    EXPECT_EQ(second.rec.Description, "first user's change");
    // After reading again, the second editor may save.
    second.rec.Description = "second, after reload";
    EXPECT_EQ(second.update(), Level::Benign);
}

TEST_F(StoreTest, OperationsOnATableNeverOpenedRaiseMessage39) {
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    EXPECT_EQ(sch.next(), Level::Program);
    EXPECT_EQ(lastTitle(), "File Usage Error");
    EXPECT_EQ(lastText(),
              "Attempt to use file (Schedule) before it was opened  Press OK to end this application");
}

TEST_F(StoreTest, EncryptedContainerNeedsThePasswordWhileMessageLinkIsPlain) {
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    Table<MsgLinkRecord> ml(*ds, tables::MsgLink());
    ASSERT_EQ(sch.open(), Level::Benign);
    ASSERT_EQ(ml.open(), Level::Benign);
    sch.rec.Description = "secret task";
    ASSERT_EQ(sch.insert(), Level::Benign);
    ml.rec.Title = "Hello";
    ml.rec.Message = "Readable by the message program";
    ASSERT_EQ(ml.insert(), Level::Benign);
    ds->closeAll();

    auto plainCount = [](const std::filesystem::path& p, const char* q) {
        sqlite3* db = nullptr;
        sqlite3_open_v2(p.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        long long n = -1;
        if (sqlite3_prepare_v2(db, q, -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
            n = sqlite3_column_int64(s, 0);
        sqlite3_finalize(s);
        sqlite3_close(db);
        return n;
    };
    EXPECT_EQ(plainCount(dir / "QD97.TPS", "SELECT count(*) FROM sqlite_master"), -1);
    EXPECT_EQ(plainCount(dir / "MSGLINK.TPS", "SELECT count(*) FROM \"MsgLink\" WHERE Title='Hello'"), 1);
    const std::string raw = qdtest::readFile(dir / "QD97.TPS");
    EXPECT_EQ(raw.find("secret task"), std::string::npos);
}

TEST_F(StoreTest, StorageNamesAreCaseInsensitiveAndShareOneContainer) {
    Table<ContactRecord> c(*ds, tables::Contact());                      // "Qd97.TPS\!Contact"
    Table<ContactCategoriesRecord> cc(*ds, tables::ContactCategories()); // "qd97\!ConCat"
    ASSERT_EQ(c.open(), Level::Benign);
    ASSERT_EQ(cc.open(), Level::Benign);
    EXPECT_EQ(ds->locate(tables::Contact()).file, ds->locate(tables::Schedule()).file);
    EXPECT_EQ(ds->locate(tables::ContactCategories()).file.filename(), "QD97.TPS");
    EXPECT_EQ(ds->locate(tables::ScheduleWorkFile()).file.filename(), "qdWrkFil.TPS");
    GLO_ScheduleWorkFileName = "QD123456";
    EXPECT_EQ(ds->locate(tables::ScheduleWorkFile()).file.filename(), "QD123456.TPS");
    GLO_ScheduleWorkFileName = "qdWrkFil";
}

// A table created inside a transaction that is then rolled back is gone: the
// next open must create it again instead of trusting that it exists, or every
// later write to it fails.
namespace {
TEST_F(StoreTest, TableCreatedInARolledBackTransactionIsCreatedAgainWhenOpened) {
    ASSERT_EQ(ds->locate(tables::Scripting()).file, ds->locate(tables::Schedule()).file);
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    {
        StoreTransaction tx(sch);
        ASSERT_TRUE(tx.started());
        Table<ScriptingRecord> steps(*ds, tables::Scripting());
        ASSERT_EQ(steps.open(), Level::Benign); // created inside the transaction
        steps.rec.ID = 1;
        steps.rec.Action = "Type";
        ASSERT_EQ(steps.insert(), Level::Benign);
        tx.rollback();
    }
    Table<ScriptingRecord> again(*ds, tables::Scripting());
    ASSERT_EQ(again.open(), Level::Benign);
    again.rec.ID = 2;
    again.rec.Action = "Type";
    EXPECT_EQ(again.insert(), Level::Benign) << lastText();
    EXPECT_EQ(again.recordCount(), 1);
    // A table that outlived a rollback is taken as it is.
    {
        StoreTransaction tx(sch);
        sch.rec = {};
        sch.rec.Description = "undone";
        ASSERT_EQ(sch.insert(), Level::Benign);
        tx.rollback();
    }
    Table<ScriptingRecord> third(*ds, tables::Scripting());
    ASSERT_EQ(third.open(), Level::Benign);
    EXPECT_EQ(third.recordCount(), 1);
}
} // namespace
