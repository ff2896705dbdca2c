#include "QdctlFixture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>

using QdctlTest = qdtest::QdctlFixture;

TEST_F(QdctlTest, RecordsAreAddedReadChangedListedAndDeleted) {
    ASSERT_EQ(run({"init"}), 0) << err;
    EXPECT_NE(out.find("26 tables ready"), std::string::npos);
    ASSERT_EQ(run({"rec", "add", "Categories", "CAT:Category=Work"}), 0) << err;
    EXPECT_EQ(out, "CAT:Category=Work\n");
    ASSERT_EQ(run({"--json", "rec", "add", "SCH", "sch:description=Back up", "SCH:Category=Work",
                   "SCH:Date=2026-12-24", "SCH:Time=09:30", "Message=two\nlines"}),
              0)
        << err;
    EXPECT_EQ(out, "{\"SCH:ID\": 1}\n");
    ASSERT_EQ(run({"--json", "rec", "get", "Schedule", "SCH:ID=1"}), 0) << err;
    EXPECT_NE(out.find("\"SCH:Description\": \"Back up\""), std::string::npos);
    EXPECT_NE(out.find("\"SCH:Date\": 82541"), std::string::npos);
    EXPECT_NE(out.find("\"SCH:Time\": 3420001"), std::string::npos);
    EXPECT_NE(out.find("\"SCH:Message\": \"two\\nlines\""), std::string::npos);

    ASSERT_EQ(run({"rec", "set", "SCH", "SCH:ID=1", "--", "SCH:Time=10:00:30.5"}), 1);
    EXPECT_NE(err.find("not a time"), std::string::npos);
    ASSERT_EQ(run({"rec", "set", "SCH", "SCH:ID=1", "--", "SCH:Time=10:00:30.50", "SCH:Disabled=1"}), 0)
        << err;
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=Second", "SCH:Date=82000"}), 0);
    ASSERT_EQ(run({"rec", "list", "SCH", "--key", "SCH:KeyDateEnabled"}), 0) << err;
    EXPECT_EQ(out.find("SCH:ID=2"), 0u) << out; // enabled before disabled
    ASSERT_EQ(
        run({"--json", "rec", "list", "SCH", "--key", "KeyDate", "--from", "SCH:Date=82100", "--limit", "5"}),
        0);
    EXPECT_EQ(out.find("{\"SCH:ID\": 1,"), 0u) << out;

    ASSERT_EQ(run({"rec", "del", "SCH", "SCH:ID=2"}), 0) << err;
    EXPECT_EQ(run({"rec", "get", "SCH", "SCH:ID=2"}), 1);
    EXPECT_NE(err.find("no Schedule record with SCH:ID=2"), std::string::npos);
}

TEST_F(QdctlTest, RefusedChangesPrintTheMessageAndChangeNothing) {
    ASSERT_EQ(run({"rec", "add", "CAT", "CAT:Category=Work"}), 0);
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Category=Work"}), 0);
    EXPECT_EQ(run({"rec", "del", "Categories", "CAT:Category=work"}), 1);
    EXPECT_NE(
        err.find("Referential Integrity Delete Error: This record is referenced from the file Schedule."),
        std::string::npos);
    EXPECT_EQ(run({"rec", "set", "Categories", "CAT:Category=Work", "--", "CAT:Category=Job"}), 1);
    EXPECT_NE(err.find("Referential Integrity Update Error"), std::string::npos);
    ASSERT_EQ(run({"rec", "get", "CAT", "CAT:Category=Work"}), 0);
    EXPECT_EQ(run({"rec", "add", "HOL", "HOL:HolidayDate=2026-12-25"}), 0);
    EXPECT_EQ(run({"rec", "add", "HOL", "HOL:HolidayDate=2026-12-25", "HOL:Holiday=Again"}), 1);
    EXPECT_NE(err.find("Duplicate Key Error: Adding this record creates a duplicate entry for the key: "
                       "HOL:KeyHolidayDate"),
              std::string::npos);
    ASSERT_EQ(run({"rec", "list", "HOL"}), 0);
    EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);
}

TEST_F(QdctlTest, BadInputIsRefusedWithAClearError) {
    EXPECT_EQ(run({"rec", "add", "NoSuchTable", "A=1"}), 1);
    EXPECT_NE(err.find("unknown table 'NoSuchTable'"), std::string::npos);
    EXPECT_EQ(run({"rec", "add", "SCH", "SCH:Nope=1"}), 1);
    EXPECT_NE(err.find("unknown field 'SCH:Nope' of table Schedule"), std::string::npos);
    EXPECT_EQ(run({"rec", "add", "SCH", "SCH:ID=twelve"}), 1);
    EXPECT_NE(err.find("'twelve' is not a whole number"), std::string::npos);
    EXPECT_EQ(run({"rec", "add", "SCH", "SCH:Disabled=300"}), 1);
    EXPECT_NE(err.find("out of range"), std::string::npos);
    EXPECT_EQ(run({"rec", "add", "SCH", "SCH:Date=2026-02-30"}), 1);
    EXPECT_EQ(run({"rec", "add", "SCH", "novalue"}), 2);
    EXPECT_EQ(run({"rec", "get", "SCH", "SCH:Date=2026-01-01"}), 1);
    EXPECT_NE(err.find("no key of Schedule is made of exactly those fields"), std::string::npos);
    EXPECT_EQ(run({"rec", "add", "QD_LOG", "QDL:LogData=x"}), 1);
    EXPECT_EQ(run({"frobnicate"}), 2);
    EXPECT_EQ(run({"--answer", "maybe", "init"}), 2);
    EXPECT_EQ(run({"--data", "", "init"}), 2);
    EXPECT_NE(err.find("--data takes the name of a folder"), std::string::npos);
    EXPECT_EQ(run({"--now", "2026-13-01 10:00", "init"}), 2);
    EXPECT_EQ(run({"--now", "2026-12-01 10:00:00.5", "init"}), 2);
    EXPECT_EQ(qdctl::parseMoment("2026-12-07 09:30:15.25")->time, 9 * 360000 + 30 * 6000 + 1525 + 1);
    EXPECT_EQ(qdctl::parseMoment("2026-12-07")->time, 1);
    // Nothing was stored by any of these.
    ASSERT_EQ(run({"rec", "list", "SCH"}), 0);
    EXPECT_EQ(out, "");

    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Description=" + std::string(60, 'd')}), 0);
    EXPECT_NE(err.find("SCH:Description holds 40 characters; the text was cut"), std::string::npos);
    ASSERT_EQ(run({"--json", "rec", "get", "SCH", "SCH:ID=1"}), 0);
    EXPECT_NE(out.find("\"SCH:Description\": \"" + std::string(40, 'd') + "\""), std::string::npos);
}

TEST_F(QdctlTest, DamagedContainerIsReportedAndLeftAsItWas) {
    qdtest::writeFile(dir / "QD97.TPS", std::string(5000, '\x01'));
    EXPECT_EQ(run({"rec", "list", "SCH"}), 1);
    EXPECT_NE(err.find("File Access Error: File (QD97.TPS) could not be opened.  Error: "), std::string::npos)
        << err;
    EXPECT_NE(err.find("Disk Error"), std::string::npos);
    EXPECT_EQ(qdtest::readFile(dir / "QD97.TPS"), std::string(5000, '\x01'));
}

namespace {

// Permission bits of the folder and of every file in it (recursively).
std::vector<std::pair<std::string, unsigned>> modesIn(const std::filesystem::path& folder) {
    std::vector<std::pair<std::string, unsigned>> out;
    for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
        struct stat st {};
        ::lstat(e.path().c_str(), &st);
        out.emplace_back(e.path().lexically_relative(folder).string(),
                         static_cast<unsigned>(st.st_mode & 07777));
    }
    return out;
}

int qdctlIn(const std::filesystem::path& folder, std::vector<std::string> args, std::string& err) {
    args.insert(args.begin(), {"--data", folder.string(), "--now", "2026-03-01 09:00"});
    std::istringstream in;
    std::ostringstream o;
    std::ostringstream e;
    const int rc = qdctl::run(args, qdctl::Io{in, o, e, false});
    err = e.str();
    return rc;
}

} // namespace

TEST_F(QdctlTest, DataFolderIsCreatedPrivateAndEveryFileTakesItsPermissions) {
    const mode_t oldMask = ::umask(0); // the most permissive umask must not matter
    const std::filesystem::path data = dir / "new" / "data";
    std::string e;
    ASSERT_EQ(qdctlIn(data, {"init"}, e), 0) << e;
    ASSERT_EQ(qdctlIn(data, {"config", "set", "LogEvents", "1"}, e), 0) << e;
    ASSERT_EQ(qdctlIn(data, {"config", "set", "Debug", "1"}, e), 0) << e;         // qd98.INI
    ASSERT_EQ(qdctlIn(data, {"rec", "add", "MSGLINK", "ML:Title=x"}, e), 0) << e; // a plain file
    ASSERT_EQ(qdctlIn(data, {"run", "--ticks", "1"}, e), 0) << e;                 // the event log
    struct stat st {};
    ASSERT_EQ(::stat(data.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(::stat(data.parent_path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    const auto modes = modesIn(data);
    EXPECT_GE(modes.size(), 4u);
    for (const auto& [name, mode] : modes)
        EXPECT_EQ(mode, 0600u) << name;

    // A folder its owner made group-shared gives group-shared files.
    const std::filesystem::path shared = dir / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 0770);
    ASSERT_EQ(qdctlIn(shared, {"init"}, e), 0) << e;
    ASSERT_EQ(qdctlIn(shared, {"config", "set", "Debug", "1"}, e), 0) << e;
    for (const auto& [name, mode] : modesIn(shared))
        EXPECT_EQ(mode, 0660u) << name;
    ::umask(oldMask);
}

TEST_F(QdctlTest, DataFolderOrMainFileWritableByEveryoneIsRefused) {
    std::string e;
    ASSERT_EQ(qdctlIn(dir.path(), {"init"}, e), 0) << e;
    ::chmod((dir / "QD97.TPS").c_str(), 0666);
    EXPECT_EQ(qdctlIn(dir.path(), {"table", "list"}, e), 1);
    EXPECT_NE(e.find("QD97.TPS is writable by every user"), std::string::npos) << e;
    ::chmod((dir / "QD97.TPS").c_str(), 0600);
    ::chmod(dir.path().c_str(), 0777);
    EXPECT_EQ(qdctlIn(dir.path(), {"table", "list"}, e), 1);
    EXPECT_NE(e.find("is writable by every user"), std::string::npos) << e;
    ::chmod(dir.path().c_str(), 0700);
    EXPECT_EQ(qdctlIn(dir.path(), {"table", "list"}, e), 0) << e;
}

TEST_F(QdctlTest, DatesAndTimesOutsideTheCalendarAreRefused) {
    ASSERT_EQ(run({"init"}), 0) << err;
    for (const char* bad : {"SCH:Date=2147483647", "SCH:Date=-5", "SCH:Date=3", "SCH:Time=8640001",
                            "SCH:Time=-1", "SCH:Time=2147483647"}) {
        EXPECT_EQ(run({"rec", "add", "SCH", "SCH:Description=x", bad}), 1) << bad;
        EXPECT_NE(err.find("is outside the"), std::string::npos) << bad << ": " << err;
    }
    EXPECT_EQ(run({"rec", "get", "SCH", "SCH:ID=1"}), 1); // nothing was added
    // The edges are kept.
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Date=9999-12-31", "SCH:Time=8640000"}), 0) << err;
    ASSERT_EQ(run({"rec", "add", "SCH", "SCH:Date=1801-01-01", "SCH:Time=0"}), 0) << err;
    ASSERT_EQ(run({"rec", "set", "SCH", "SCH:ID=1", "--", "SCH:Date=99999999"}), 1);
    EXPECT_NE(err.find("is outside the dates kept"), std::string::npos) << err;
}

TEST_F(QdctlTest, JsonOutputStaysValidWithBytesThatAreNotUtf8) {
    ASSERT_EQ(run({"init"}), 0) << err;
    ASSERT_EQ(run({"rec", "add", "SCH", std::string("SCH:Description=a\xff") + "b\xc3\xa9" + "c\xe2\x82"}), 0)
        << err;
    ASSERT_EQ(run({"--json", "rec", "get", "SCH", "SCH:ID=1"}), 0) << err;
    EXPECT_NE(out.find("\"SCH:Description\": \"a\\ufffdb\xc3\xa9"
                       "c\\ufffd\\ufffd\""),
              std::string::npos)
        << out;
    for (unsigned char c : out)
        EXPECT_TRUE(c < 0x80 || c == 0xc3 || c == 0xa9) << static_cast<int>(c);
}
