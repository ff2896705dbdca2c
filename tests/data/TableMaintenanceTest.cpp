#include "StoreFixture.h"

#include "data/DataFolderLock.h"
#include "data/DataTool.h"

#include <sqlite3.h>

#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <memory>
#include <set>
#include <thread>

using namespace qd;
using qdtest::StoreTest;

namespace {

// A raw connection to a record-store file, keyed like the store does it.
struct Raw {
    sqlite3* db = nullptr;
    Raw(const std::filesystem::path& p, bool encrypted) {
        sqlite3_open_v2(p.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (encrypted) {
            sqlite3_key(db, kOwnerPassword, 9);
            exec("PRAGMA cipher_page_size = 4096");
        }
    }
    ~Raw() { sqlite3_close(db); }
    int exec(const std::string& q) { return sqlite3_exec(db, q.c_str(), nullptr, nullptr, nullptr); }
    std::string text(const std::string& q) {
        sqlite3_stmt* s = nullptr;
        std::string out;
        if (sqlite3_prepare_v2(db, q.c_str(), -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW && sqlite3_column_text(s, 0))
            out = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
        return out;
    }
};

void addTasks(DataSet& ds, int n) {
    Table<ScheduleRecord> sch(ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    for (int i = 0; i < n; ++i) {
        sch.rec = {};
        sch.rec.Date = 80000 + i;
        ASSERT_EQ(sch.insert(), Level::Benign);
    }
}

// Leaves the key SCH:KeyDate without the records added behind its back, as a
// crash between writing a record and its key would.
void damageDateKey(const std::filesystem::path& container) {
    std::string name, table, root, sqlText;
    {
        Raw raw(container, true);
        name = "SCH:KeyDate";
        root = raw.text("SELECT rootpage FROM sqlite_master WHERE name='SCH:KeyDate'");
        sqlText = raw.text("SELECT sql FROM sqlite_master WHERE name='SCH:KeyDate'");
        ASSERT_FALSE(root.empty());
        raw.exec("PRAGMA writable_schema = ON");
        ASSERT_EQ(raw.exec("DELETE FROM sqlite_master WHERE name='SCH:KeyDate'"), SQLITE_OK);
    }
    {
        Raw raw(container, true);
        ASSERT_EQ(raw.exec("INSERT INTO s (\"_rev\", \"ID\", \"Date\") VALUES (1, 900, 81234)"), SQLITE_OK);
        raw.exec("PRAGMA writable_schema = ON");
        std::string q = "INSERT INTO sqlite_master (type, name, tbl_name, rootpage, sql) VALUES ('index', "
                        "'SCH:KeyDate', 's', " +
                        root + ", '";
        for (char c : sqlText)
            q += c == '\'' ? std::string("''") : std::string(1, c);
        q += "')";
        ASSERT_EQ(raw.exec(q), SQLITE_OK);
    }
}

} // namespace

TEST_F(StoreTest, DamagedKeyIsDetectedAndRebuiltAfterYes) {
    addTasks(*ds, 20);
    reopen();
    damageDateKey(dir / "QD97.TPS");

    ui.answers = {true};
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Invalid Key");
    EXPECT_EQ(ui.shown[0].text, "Schedule key file is invalid.  Do you want to rebuild the key?");
    // The rebuilt key finds the record it was missing.
    sch.rec.Date = 81234;
    sch.setPosition(sch.def().findKey("SCH:KeyDate"));
    ASSERT_EQ(sch.next(), Level::Benign);
    EXPECT_EQ(sch.rec.ID, 900);
    EXPECT_EQ(sch.recordCount(), 21);
}

TEST_F(StoreTest, DamagedKeyLeftUnopenedAfterNo) {
    addTasks(*ds, 5);
    reopen();
    damageDateKey(dir / "QD97.TPS");
    ui.answers = {false};
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    EXPECT_NE(sch.open(), Level::Benign);
    EXPECT_EQ(sch.openStatus(), OpenStatus::Declined);
    EXPECT_FALSE(sch.opened());
    // Other tables of the same container still open.
    Table<CategoriesRecord> cat(*ds, tables::Categories());
    EXPECT_EQ(cat.open(), Level::Benign);
}

TEST_F(StoreTest, OlderTemplateLayoutCarriesFilenameIntoDOSFilename) {
    {
        Raw raw(dir / "QDTpl.TPS", true);
        ASSERT_EQ(
            raw.exec(
                "CREATE TABLE \"_qd_tables\" (name TEXT PRIMARY KEY COLLATE NOCASE, label TEXT NOT NULL, "
                "version INTEGER NOT NULL)"),
            SQLITE_OK);
        raw.exec("INSERT INTO \"_qd_tables\" VALUES ('ScriptTemplates', 'ScriptTemplates', 1)");
        ASSERT_EQ(raw.exec("CREATE TABLE ScriptTemplates (WIZ_ID INTEGER, Description TEXT, Filename TEXT, "
                           "Obsolete INTEGER)"),
                  SQLITE_OK);
        raw.exec("INSERT INTO ScriptTemplates VALUES (3, 'Backup', 'C:\\backup.qds', 7)");
    }
    Table<ScriptTemplatesRecord> qdt(*ds, tables::ScriptTemplates());
    ASSERT_EQ(qdt.open(), Level::Benign);
    ASSERT_EQ(qdt.first(0), Level::Benign);
    EXPECT_EQ(qdt.rec.WIZ_ID, 3);
    EXPECT_EQ(qdt.rec.Description, "Backup");
    EXPECT_EQ(qdt.rec.DOSFilename, "C:\\backup.qds");
    qdt.rec = {};
    qdt.rec.Description = "Next";
    ASSERT_EQ(qdt.insert(), Level::Benign);
    EXPECT_EQ(qdt.rec.WIZ_ID, 4);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(StoreTest, NewerStoredLayoutStopsWithTheUpgradeError) {
    addTasks(*ds, 1);
    reopen();
    {
        Raw raw(dir / "QD97.TPS", true);
        ASSERT_EQ(raw.exec("UPDATE \"_qd_tables\" SET version = 99 WHERE name = 's'"), SQLITE_OK);
    }
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    EXPECT_EQ(sch.open(), Level::Fatal);
    ASSERT_EQ(ui.shown.size(), 3u);
    EXPECT_EQ(ui.shown[0].title, "Upgrade Error");
    EXPECT_EQ(ui.shown[1].kind, "clipboard");
    EXPECT_EQ(ui.clipboard.rfind("\r\nError:  ", 0), 0u);
    EXPECT_NE(ui.clipboard.find("\r\nPath:  " + dir.str() + "\r\n"), std::string::npos);
    EXPECT_EQ(ui.shown[2].title, "Assistant");
    EXPECT_EQ(errors.haltText(), "Cannot proceed.");
}

TEST_F(StoreTest, DamagedOrForeignFilesGiveFileAccessErrorAndStayUntouched) {
    const std::string garbage(9000, '\x5a');
    for (const std::string& content : {garbage, std::string("not a database at all\n")}) {
        qdtest::writeFile(dir / "QD97.TPS", content);
        reopen();
        ui.shown.clear();
        Table<ScheduleRecord> sch(*ds, tables::Schedule());
        EXPECT_EQ(sch.open(), Level::Fatal);
        ASSERT_FALSE(ui.shown.empty());
        EXPECT_EQ(ui.shown.back().title, "File Access Error");
        EXPECT_EQ(ui.shown.back().text.rfind("File (QD97.TPS) could not be opened.  Error: ", 0), 0u);
        EXPECT_EQ(errors.haltText(), "Disk Error");
        EXPECT_EQ(qdtest::readFile(dir / "QD97.TPS"), content);
    }
    // A real container cut in half.
    std::filesystem::remove(dir / "QD97.TPS");
    reopen();
    addTasks(*ds, 300);
    reopen();
    std::filesystem::remove(dir / "QD97.TPS-wal");
    std::filesystem::remove(dir / "QD97.TPS-shm");
    const auto size = std::filesystem::file_size(dir / "QD97.TPS");
    std::filesystem::resize_file(dir / "QD97.TPS", size / 2);
    const std::string before = qdtest::readFile(dir / "QD97.TPS");
    ui.shown.clear();
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    EXPECT_NE(sch.open(), Level::Benign);
    EXPECT_FALSE(sch.opened());
    EXPECT_EQ(qdtest::readFile(dir / "QD97.TPS"), before);
}

TEST_F(StoreTest, TwoProcessesInsertingAtOnceLoseNothing) {
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign); // create the table before the race
    std::vector<pid_t> children;
    for (int p = 0; p < 2; ++p) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ScriptedUserInterface childUi;
            ErrorClass childErrors(&childUi);
            DataSet childDs(dir.path(), childErrors);
            Table<ScheduleRecord> t(childDs, tables::Schedule());
            int failures = t.open() == Level::Benign ? 0 : 1;
            for (int i = 0; i < 1000 && failures == 0; ++i) {
                t.rec = {};
                t.rec.Description = "p" + std::to_string(p) + "-" + std::to_string(i);
                if (t.insert() != Level::Benign) ++failures;
            }
            if (failures) fprintf(stderr, "process %d: %s\n", p, childErrors.last().text.c_str());
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::set<int> ids;
    std::set<std::string> names;
    sch.setOrder(0);
    while (sch.next() == Level::Benign) {
        ids.insert(sch.rec.ID);
        names.insert(sch.rec.Description);
    }
    EXPECT_EQ(ids.size(), 2000u);
    EXPECT_EQ(names.size(), 2000u);
    EXPECT_EQ(*ids.rbegin(), 2000);
}

TEST_F(StoreTest, RecordLocksAreWaitedForFiveSecondsThenReported) {
    addTasks(*ds, 1);
    Table<ScheduleRecord> sch(*ds, tables::Schedule());
    ASSERT_EQ(sch.open(), Level::Benign);
    // Starts a holder and returns once it has the lock (opening a keyed file takes
    // a while, longer still in a sanitizer build).
    auto holdLock = [this](int ms) {
        auto locked = std::make_shared<std::promise<void>>();
        std::thread t([this, ms, locked] {
            Raw raw(dir / "QD97.TPS", true);
            raw.exec("BEGIN IMMEDIATE");
            locked->set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            raw.exec("COMMIT");
        });
        locked->get_future().wait();
        return t;
    };
    // Another process holds the file for a second: the insert waits and succeeds.
    std::thread holder = holdLock(1000);
    sch.rec = {};
    EXPECT_EQ(sch.insert(), Level::Benign);
    holder.join();
    // Held longer than the five seconds: the insert fails with its message, nothing written.
    holder = holdLock(6500);
    sch.rec = {};
    EXPECT_EQ(sch.insert(), Level::Notify);
    EXPECT_EQ(lastTitle(), "Record Insert Error");
    EXPECT_NE(lastText().find("locked"), std::string::npos) << lastText();
    holder.join();
    EXPECT_EQ(sch.recordCount(), 2);
}

// The data tool: what it lists, what its check finds, and its two repairs.
TEST_F(StoreTest, DataToolListsChecksAndRepairsWithoutCreatingFiles) {
    addTasks(*ds, 20);
    reopen();
    const auto contactFile = ds->locate(tables::Contact()).file;
    const bool contactFileBefore = std::filesystem::exists(contactFile);

    auto find = [](const std::vector<TableSurvey>& all, const std::string& label) {
        for (const TableSurvey& s : all)
            if (s.def->label == label) return s;
        return TableSurvey{};
    };
    std::vector<TableSurvey> survey = surveyTables(*ds);
    const TableSurvey schedule = find(survey, "Schedule");
    ASSERT_NE(schedule.def, nullptr);
    EXPECT_TRUE(schedule.fileExists && schedule.tableExists);
    EXPECT_EQ(schedule.records, 20);
    EXPECT_GT(schedule.fileBytes, 0u);
    EXPECT_EQ(find(survey, "ScheduleWorkFile").def, nullptr) << "work files are named at run time";
    // Nothing is created by looking.
    EXPECT_EQ(std::filesystem::exists(contactFile), contactFileBefore);

    ToolReport healthy = verifyDataSet(*ds);
    EXPECT_EQ(healthy.problems, 0) << healthy.text();
    EXPECT_NE(healthy.text().find("Schedule: 20 records, keys agree"), std::string::npos) << healthy.text();

    // A key that lost records is found, and the rebuild mends it.
    ds.reset();
    damageDateKey(dir / "QD97.TPS");
    reopen();
    std::vector<std::string> seen;
    ToolReport damaged = verifyDataSet(*ds, [&](int percent, const std::string& what) {
        EXPECT_GE(percent, 0);
        EXPECT_LE(percent, 100);
        seen.push_back(what);
        return true;
    });
    EXPECT_EQ(damaged.problems, 2) << damaged.text(); // the file's own check and the table's keys
    EXPECT_NE(damaged.text().find("Schedule: keys disagree with the records"), std::string::npos);
    EXPECT_FALSE(seen.empty());
    EXPECT_TRUE(ui.shown.empty()) << "the tool reports, it never asks";

    // While a scheduler holds the folder the repairs are refused and nothing changes.
    {
        DataFolderLock running;
        std::string why;
        ASSERT_TRUE(running.acquire(dir.path(), DataFolderLock::Mode::Shared, why)) << why;
        const ToolReport refused = rebuildAllKeys(*ds);
        EXPECT_TRUE(refused.refused);
        ASSERT_FALSE(refused.lines.empty());
        EXPECT_EQ(verifyDataSet(*ds).problems, 2);
        EXPECT_TRUE(compactDataSet(*ds).refused);
    }
    const ToolReport rebuilt = rebuildAllKeys(*ds);
    EXPECT_EQ(rebuilt.problems, 0) << rebuilt.text();
    EXPECT_EQ(verifyDataSet(*ds).problems, 0);
    EXPECT_EQ(find(surveyTables(*ds), "Schedule").records, 21);

    // Compacting gives back the space of deleted records and keeps the rest.
    {
        Table<ScheduleRecord> sch(*ds, tables::Schedule());
        ASSERT_EQ(sch.open(), Level::Benign);
        sch.setOrder(sch.def().findKey("SCH:KeyID"));
        int kept = 0;
        while (sch.next() == Level::Benign) {
            if (kept++ >= 1) {
                ASSERT_EQ(sch.deleteRecord(), Level::Benign);
            }
        }
    }
    addTasks(*ds, 0);
    ds.reset();
    reopen();
    const ToolReport compacted = compactDataSet(*ds);
    EXPECT_EQ(compacted.problems, 0) << compacted.text();
    EXPECT_NE(compacted.text().find("QD97.TPS: "), std::string::npos) << compacted.text();
    EXPECT_EQ(find(surveyTables(*ds), "Schedule").records, 1);
    EXPECT_EQ(verifyDataSet(*ds).problems, 0);

    // A stop asked for through the progress ends the run before the next file.
    const ToolReport stopped = verifyDataSet(*ds, [](int, const std::string&) { return false; });
    EXPECT_TRUE(stopped.cancelled);
}
