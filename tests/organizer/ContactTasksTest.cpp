// Contacts linked to tasks: the rules of a link and what deleting either side does.
#include "organizer/ContactTasks.h"
#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

struct ContactTasks : ::testing::Test {
    ContactTasks() : errors(&ui), ds(dir.path(), errors) {}

    int addTask(const std::string& description) {
        Table<ScheduleRecord> t(ds, tables::Schedule());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.Description = description;
        EXPECT_EQ(t.insert(), Level::Benign);
        return t.rec.ID;
    }
    int addContact(const std::string& last) {
        Table<ContactRecord> t(ds, tables::Contact());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.LastName = last;
        EXPECT_EQ(t.insert(), Level::Benign);
        return t.rec.ClientID;
    }
    template <class R> void deleteThrough(const TableDef& def, const char* key, int R::*field, int id) {
        Table<R> t(ds, def);
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.*field = id;
        ASSERT_EQ(t.fetch(key), Level::Benign);
        ASSERT_EQ(RelationManager(t).deleteRecord(false), Level::Benign);
    }
    long long linkRows() {
        Table<QDSCDRecord> t(ds, tables::QDSCD());
        EXPECT_EQ(t.open(), Level::Benign);
        return t.recordCount();
    }
    static std::vector<int> ids(const std::vector<TaskEntry>& tasks) {
        std::vector<int> out;
        for (const TaskEntry& t : tasks)
            out.push_back(t.taskId);
        return out;
    }

    qdtest::TempDir dir;
    ScriptedUserInterface ui;
    ErrorClass errors;
    DataSet ds;
};

} // namespace

TEST_F(ContactTasks, OneLinkPerPairOnlyBetweenThingsThatExist) {
    const int backup = addTask("Backup   ");
    const int report = addTask("Report");
    const int ann = addContact("Ann");
    const int bob = addContact("Bob");
    EXPECT_EQ(linkContactToTask(ds, ann, report), LinkResult::Linked);
    EXPECT_EQ(linkContactToTask(ds, ann, backup), LinkResult::Linked);
    EXPECT_EQ(linkContactToTask(ds, bob, backup), LinkResult::Linked);
    EXPECT_EQ(linkContactToTask(ds, ann, backup), LinkResult::AlreadyLinked);
    EXPECT_EQ(linkContactToTask(ds, ann, 999), LinkResult::NoSuchTask);
    EXPECT_EQ(linkContactToTask(ds, 999, backup), LinkResult::NoSuchContact);
    EXPECT_EQ(linkRows(), 3);

    const std::vector<TaskEntry> annTasks = tasksOfContact(ds, ann);
    EXPECT_EQ(ids(annTasks), (std::vector<int>{backup, report}));
    EXPECT_EQ(annTasks[0].description, "Backup");
    EXPECT_EQ(contactsOfTask(ds, backup), (std::vector<int>{ann, bob}));

    EXPECT_TRUE(unlinkContactFromTask(ds, ann, backup));
    EXPECT_FALSE(unlinkContactFromTask(ds, ann, backup));
    EXPECT_EQ(ids(tasksOfContact(ds, ann)), (std::vector<int>{report}));
    EXPECT_EQ(contactsOfTask(ds, backup), (std::vector<int>{bob}));
}

TEST_F(ContactTasks, DeletingATaskOrAContactTakesItsLinksAlong) {
    const int backup = addTask("Backup");
    const int report = addTask("Report");
    const int ann = addContact("Ann");
    const int bob = addContact("Bob");
    ASSERT_EQ(linkContactToTask(ds, ann, backup), LinkResult::Linked);
    ASSERT_EQ(linkContactToTask(ds, ann, report), LinkResult::Linked);
    ASSERT_EQ(linkContactToTask(ds, bob, report), LinkResult::Linked);

    deleteThrough(tables::Schedule(), "SCH:KeyID", &ScheduleRecord::ID, report);
    EXPECT_EQ(ids(tasksOfContact(ds, ann)), (std::vector<int>{backup}));
    EXPECT_TRUE(tasksOfContact(ds, bob).empty());
    deleteThrough(tables::Contact(), "C_:KeyClientID", &ContactRecord::ClientID, ann);
    EXPECT_TRUE(contactsOfTask(ds, backup).empty());
    EXPECT_EQ(linkRows(), 0);
}

TEST_F(ContactTasks, TheTaskChoiceFindsByNumberThenByDescription) {
    std::vector<int> made;
    for (int i = 0; i < 30; ++i)
        made.push_back(
            addTask(i % 3 == 0 ? "Weekly Report " + std::to_string(i) : "Backup " + std::to_string(i)));
    EXPECT_EQ(findTasks(ds, "", 5).size(), 5u);
    EXPECT_EQ(findTasks(ds, "weekly report", 100).size(), 10u);
    EXPECT_EQ(findTasks(ds, "REPORT", 4).size(), 4u);
    // A number finds that task first, then descriptions holding the digits.
    const std::string seven = std::to_string(made[7]);
    const std::vector<TaskEntry> byNumber = findTasks(ds, seven, 100);
    ASSERT_FALSE(byNumber.empty());
    EXPECT_EQ(byNumber[0].taskId, made[7]);
    for (std::size_t i = 1; i < byNumber.size(); ++i)
        EXPECT_NE(byNumber[i].description.find(seven), std::string::npos) << byNumber[i].description;
    EXPECT_TRUE(findTasks(ds, "nothing like it", 100).empty());
}
