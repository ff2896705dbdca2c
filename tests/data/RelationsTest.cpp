#include "StoreFixture.h"

using namespace qd;
using qdtest::StoreTest;

namespace {

template <class R> long long countOf(DataSet& ds, const TableDef& def) {
    Table<R> t(ds, def);
    t.open();
    return t.recordCount();
}

} // namespace

TEST_F(StoreTest, DeletingATaskDeletesItsStepsUserRecordsAndContactLinks) {
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    Table<ScriptingRecord> scr(*ds, tables::Scripting());
    Table<QDUSDRecord> usd(*ds, tables::QDUSD());
    Table<QDSCDRecord> scd(*ds, tables::QDSCD());
    for (FileManager* t : std::initializer_list<FileManager*>{&sch, &scr, &usd, &scd})
        ASSERT_EQ(t->open(), Level::Benign);
    for (int task = 1; task <= 2; ++task) {
        sch.rec = {};
        ASSERT_EQ(sch.insert(), Level::Benign);
        for (int i = 0; i < 12; ++i) {
            scr.rec = {};
            scr.rec.ID = sch.rec.ID;
            ASSERT_EQ(scr.insert(), Level::Benign);
        }
        for (const char* user : {"ann", "bob"}) {
            usd.rec = {};
            usd.rec.ID = sch.rec.ID;
            usd.rec.User = user;
            ASSERT_EQ(usd.insert(), Level::Benign);
        }
        scd.rec = {};
        scd.rec.ID = sch.rec.ID;
        scd.rec.ClientID = 5;
        ASSERT_EQ(scd.insert(), Level::Benign);
    }
    sch.rec.ID = 1;
    ASSERT_EQ(sch.fetch("SCH:KeyID"), Level::Benign);
    ASSERT_EQ(RelationManager(sch).deleteRecord(), Level::Benign);
    EXPECT_EQ(sch.recordCount(), 1);
    EXPECT_EQ(scr.recordCount(), 12);
    EXPECT_EQ(usd.recordCount(), 2);
    EXPECT_EQ(scd.recordCount(), 1);
    scr.setOrder(0);
    while (scr.next() == Level::Benign)
        EXPECT_EQ(scr.rec.ID, 2);
}

TEST_F(StoreTest, RestrictRefusesDeletingAUsedCategoryAndDeletesNothing) {
    Table<CategoriesRecord> cat(*ds, tables::Categories());
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    Table<TodoRecord> tdo(*ds, tables::Todo());
    ASSERT_EQ(cat.open(), Level::Benign);
    ASSERT_EQ(sch.open(), Level::Benign);
    ASSERT_EQ(tdo.open(), Level::Benign);
    for (const char* c : {"Work", "Home"}) {
        cat.rec.Category = c;
        ASSERT_EQ(cat.insert(), Level::Benign);
    }
    sch.rec.Category = "work"; // keys compare without regard to case
    ASSERT_EQ(sch.insert(), Level::Benign);
    tdo.rec.Category = "Home";
    tdo.rec.ToDo = "Paint";
    ASSERT_EQ(tdo.insert(), Level::Benign);

    cat.rec.Category = "Work";
    ASSERT_EQ(cat.fetch(0), Level::Benign);
    EXPECT_EQ(RelationManager(cat).deleteRecord(), Level::Notify);
    EXPECT_EQ(lastTitle(), "Referential Integrity Delete Error");
    EXPECT_EQ(lastText(),
              "This record is referenced from the file Schedule. This record cannot be deleted while "
              "these references exist.");
    EXPECT_EQ(cat.recordCount(), 2);
    EXPECT_EQ(sch.recordCount(), 1);

    // Renaming it is refused too, and the old name is put back in the buffer.
    cat.rec.Category = "Job";
    EXPECT_EQ(RelationManager(cat).update(), Level::Notify);
    EXPECT_EQ(lastTitle(), "Referential Integrity Update Error");
    EXPECT_EQ(cat.rec.Category, "Work");

    // A category used only by to-do items goes; the items keep the text.
    cat.rec.Category = "Home";
    ASSERT_EQ(cat.fetch(0), Level::Benign);
    EXPECT_EQ(RelationManager(cat).deleteRecord(), Level::Benign);
    EXPECT_EQ(cat.recordCount(), 1);
    ASSERT_EQ(tdo.first(0), Level::Benign);
    EXPECT_EQ(tdo.rec.Category, "Home");
}

TEST_F(StoreTest, RestrictDeepInACascadeRollsBackEverything) {
    // Deleting a hot key deletes its task, whose steps cascade; a step that sends
    // a stored message does not stop that. A message used by a step cannot go.
    Table<SysHotKeysRecord> hot(*ds, tables::SysHotKeys());
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    Table<ScriptingRecord> scr(*ds, tables::Scripting());
    Table<MessagesRecord> msg(*ds, tables::Messages());
    for (FileManager* t : std::initializer_list<FileManager*>{&hot, &sch, &scr, &msg})
        ASSERT_EQ(t->open(), Level::Benign);
    msg.rec.Subject = "Report";
    ASSERT_EQ(msg.insert(), Level::Benign);
    sch.rec.TaskType = "Hot Key";
    ASSERT_EQ(sch.insert(), Level::Benign);
    scr.rec.ID = sch.rec.ID;
    scr.rec.EmailID = msg.rec.EmailID;
    ASSERT_EQ(scr.insert(), Level::Benign);
    hot.rec.HotKey = "Ctrl+Alt+R";
    hot.rec.ID = sch.rec.ID;
    ASSERT_EQ(hot.insert(), Level::Benign);

    EXPECT_EQ(RelationManager(msg).deleteRecord(), Level::Notify);
    EXPECT_NE(lastText().find("from the file Scripting."), std::string::npos);
    EXPECT_EQ(countOf<MessagesRecord>(*ds, tables::Messages()), 1);

    ASSERT_EQ(RelationManager(hot).deleteRecord(), Level::Benign);
    EXPECT_EQ(hot.recordCount(), 0);
    EXPECT_EQ(sch.recordCount(), 0);
    EXPECT_EQ(scr.recordCount(), 0);
    EXPECT_EQ(RelationManager(msg).deleteRecord(), Level::Benign);
}

TEST_F(StoreTest, CascadeOnChangeRenamesChildren) {
    Table<ClipboardCategoriesRecord> clc(*ds, tables::ClipboardCategories());
    Table<ClipboardRecord> cli(*ds, tables::Clipboard());
    Table<UsersRecord> usr(*ds, tables::Users());
    Table<QDUSDRecord> usd(*ds, tables::QDUSD());
    for (FileManager* t : std::initializer_list<FileManager*>{&clc, &cli, &usr, &usd})
        ASSERT_EQ(t->open(), Level::Benign);
    clc.rec.Category = "Snippets";
    ASSERT_EQ(clc.insert(), Level::Benign);
    for (int i = 0; i < 3; ++i) {
        cli.rec = {};
        cli.rec.Category = "Snippets";
        cli.rec.ClipHashKey = "h" + std::to_string(i);
        ASSERT_EQ(cli.insert(), Level::Benign);
    }
    clc.rec.Category = "Code";
    ASSERT_EQ(RelationManager(clc).update(), Level::Benign);
    cli.setOrder(0);
    int renamed = 0;
    while (cli.next() == Level::Benign)
        renamed += cli.rec.Category == "Code";
    EXPECT_EQ(renamed, 3);
    // A clipboard category with entries cannot be deleted.
    EXPECT_EQ(RelationManager(clc).deleteRecord(), Level::Notify);

    usr.rec.User = "ann";
    ASSERT_EQ(usr.insert(), Level::Benign);
    usd.rec.User = "ann";
    usd.rec.ID = 4;
    ASSERT_EQ(usd.insert(), Level::Benign);
    usr.rec.User = "anne";
    ASSERT_EQ(RelationManager(usr).update(), Level::Benign);
    ASSERT_EQ(usd.first(0), Level::Benign);
    EXPECT_EQ(usd.rec.User, "anne");
    ASSERT_EQ(RelationManager(usr).deleteRecord(), Level::Benign);
    EXPECT_EQ(usd.recordCount(), 0);
}

TEST_F(StoreTest, DeletingAHotKeyDeletesItsTaskAndTheTasksChildrenOnly) {
    // Three levels: hot key -> task -> steps, user records and contact links.
    Table<SysHotKeysRecord> hot(*ds, tables::SysHotKeys());
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    Table<ScriptingRecord> scr(*ds, tables::Scripting());
    Table<QDUSDRecord> usd(*ds, tables::QDUSD());
    Table<QDSCDRecord> scd(*ds, tables::QDSCD());
    for (FileManager* t : std::initializer_list<FileManager*>{&hot, &sch, &scr, &usd, &scd})
        ASSERT_EQ(t->open(), Level::Benign);
    for (int task = 1; task <= 2; ++task) {
        sch.rec = {};
        sch.rec.TaskType = "Hot Key";
        ASSERT_EQ(sch.insert(), Level::Benign);
        for (int i = 1; i <= 3; ++i) {
            scr.rec = {};
            scr.rec.ID = sch.rec.ID;
            scr.rec.Sequence = i;
            ASSERT_EQ(scr.insert(), Level::Benign);
        }
        usd.rec = {};
        usd.rec.ID = sch.rec.ID;
        usd.rec.User = "ann";
        ASSERT_EQ(usd.insert(), Level::Benign);
        scd.rec = {};
        scd.rec.ID = sch.rec.ID;
        scd.rec.ClientID = 7;
        ASSERT_EQ(scd.insert(), Level::Benign);
        hot.rec = {};
        hot.rec.ID = sch.rec.ID;
        hot.rec.HotKey = "Ctrl+Alt+" + std::to_string(task);
        ASSERT_EQ(hot.insert(), Level::Benign);
    }
    hot.rec.ID = 1;
    ASSERT_EQ(hot.fetch("K_ID"), Level::Benign);
    ASSERT_EQ(RelationManager(hot).deleteRecord(), Level::Benign);

    EXPECT_EQ(hot.recordCount(), 1);
    EXPECT_EQ(sch.recordCount(), 1);
    EXPECT_EQ(scr.recordCount(), 3);
    EXPECT_EQ(usd.recordCount(), 1);
    EXPECT_EQ(scd.recordCount(), 1);
    // What is left belongs to the other hot key's task, whole.
    for (FileManager* t : std::initializer_list<FileManager*>{&hot, &sch, &scr, &usd, &scd}) {
        t->setOrder(0);
        const int id = t->def().findField("ID");
        while (t->next() == Level::Benign)
            EXPECT_EQ(std::get<long long>(t->value(id)), 2) << t->def().label;
    }
}
