// Store files on a network folder keep a rollback journal, on a local disk a
// write-ahead log: the file system type is forced through the probe, and the
// mode is read back from the files themselves.
#include "data/FolderJournal.h"

#include "data/Startup.h"
#include "data/StoreFile.h"
#include "support/TempDir.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <fstream>

using namespace qd;

namespace {

constexpr std::uint64_t kExt4 = 0xef53;
constexpr std::uint64_t kTmpfs = 0x01021994;
constexpr std::uint64_t kNfs = 0x6969;
constexpr std::uint64_t kCifs = 0xff534d42;

struct FolderJournalTest : ::testing::Test {
    ~FolderJournalTest() override { setFileSystemProbe({}); }

    void pretend(std::uint64_t type) {
        setFileSystemProbe(
            [type](const std::filesystem::path&) { return std::optional<std::uint64_t>(type); });
    }

    // Opens (creating) a store file in the folder and writes one row, so the
    // journal has been used.
    std::unique_ptr<StoreFile> openAndWrite(const std::string& name, bool encrypted, StoreError& error) {
        auto f = StoreFile::open(dir / name, encrypted, true, error);
        if (!f) return f;
        EXPECT_EQ(f->exec("CREATE TABLE IF NOT EXISTS t (x INTEGER)"), kStoreOk);
        EXPECT_EQ(f->exec("INSERT INTO t VALUES (1)"), kStoreOk);
        return f;
    }

    // Bytes 18 and 19 of a plain database file: 1 for a rollback journal, 2 for WAL.
    std::pair<int, int> headerVersions(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        char header[20] = {};
        in.read(header, sizeof header);
        return {static_cast<unsigned char>(header[18]), static_cast<unsigned char>(header[19])};
    }

    // The mode an encrypted file keeps, as a fresh connection that sets nothing reads it.
    std::string storedModeOfEncrypted(const std::string& name) {
        sqlite3* db = nullptr;
        std::string mode;
        if (sqlite3_open_v2((dir / name).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
            sqlite3_key(db, kOwnerPassword, 9) == SQLITE_OK) {
            sqlite3_exec(db, "PRAGMA cipher_page_size = 4096", nullptr, nullptr, nullptr);
            sqlite3_stmt* s = nullptr;
            if (sqlite3_prepare_v2(db, "PRAGMA journal_mode", -1, &s, nullptr) == SQLITE_OK &&
                sqlite3_step(s) == SQLITE_ROW)
                mode = reinterpret_cast<const char*>(sqlite3_column_text(s, 0));
            sqlite3_finalize(s);
        }
        sqlite3_close(db);
        return mode;
    }

    qdtest::TempDir dir;
};

} // namespace

TEST_F(FolderJournalTest, NetworkFileSystemsAreToldFromLocalOnes) {
    EXPECT_EQ(networkFileSystemName(kNfs), "nfs");
    EXPECT_EQ(networkFileSystemName(kCifs), "smb/cifs");
    EXPECT_EQ(networkFileSystemName(0xfe534d42), "smb/cifs"); // SMB2
    EXPECT_EQ(networkFileSystemName(0x517b), "smb/cifs");     // old smbfs
    EXPECT_EQ(networkFileSystemName(0x01021997), "9p");
    EXPECT_EQ(networkFileSystemName(0x65735546), "fuse");
    // f_type sign-extended from a signed 32-bit word still names CIFS.
    EXPECT_EQ(networkFileSystemName(0xffffffffff534d42ull), "smb/cifs");
    for (std::uint64_t local : {kExt4, kTmpfs, std::uint64_t{0x9123683e} /* btrfs */,
                                std::uint64_t{0x58465342} /* xfs */, std::uint64_t{0}})
        EXPECT_EQ(networkFileSystemName(local), "") << std::hex << local;
}

TEST_F(FolderJournalTest, NetworkFolderStoresUseARollbackJournalReadBackFromTheFiles) {
    pretend(kNfs);
    const JournalChoice choice = journalFor(dir.path());
    EXPECT_TRUE(choice.rollback());
    EXPECT_EQ(choice.reason, "nfs");
    EXPECT_EQ(networkFolderNote(choice), "Data folder on nfs: store files use a rollback journal");

    StoreError error;
    {
        auto plain = openAndWrite("MSGLINK.TPS", false, error);
        ASSERT_TRUE(plain) << error.text;
        EXPECT_EQ(plain->journalMode(), "delete");
        auto encrypted = openAndWrite("QD97.TPS", true, error);
        ASSERT_TRUE(encrypted) << error.text;
        EXPECT_EQ(encrypted->journalMode(), "delete");
        // No log beside the files, and so no shared-memory index either.
        EXPECT_FALSE(std::filesystem::exists(dir / "QD97.TPS-wal"));
        EXPECT_FALSE(std::filesystem::exists(dir / "QD97.TPS-shm"));
    }
    EXPECT_EQ(headerVersions("MSGLINK.TPS"), std::make_pair(1, 1));
    EXPECT_EQ(storedModeOfEncrypted("QD97.TPS"), "delete");
    // The folder remembers it, for the machine that serves it as a local disk.
    EXPECT_EQ(qdtest::readFile(dir / kJournalMarkerFile), "rollback\n");
}

TEST_F(FolderJournalTest, LocalFolderStoresKeepTheWriteAheadLog) {
    pretend(kExt4);
    EXPECT_FALSE(journalFor(dir.path()).rollback());
    EXPECT_EQ(networkFolderNote(journalFor(dir.path())), "");
    StoreError error;
    {
        auto plain = openAndWrite("MSGLINK.TPS", false, error);
        ASSERT_TRUE(plain) << error.text;
        EXPECT_EQ(plain->journalMode(), "wal");
        auto encrypted = openAndWrite("QD97.TPS", true, error);
        ASSERT_TRUE(encrypted) << error.text;
    }
    EXPECT_EQ(headerVersions("MSGLINK.TPS"), std::make_pair(2, 2));
    EXPECT_EQ(storedModeOfEncrypted("QD97.TPS"), "wal");
    EXPECT_FALSE(std::filesystem::exists(dir / kJournalMarkerFile));
    // An unreadable file system type counts as local.
    setFileSystemProbe([](const std::filesystem::path&) { return std::optional<std::uint64_t>(); });
    EXPECT_FALSE(journalFor(dir.path()).rollback());
}

TEST_F(FolderJournalTest, TheMarkerKeepsTheServingMachineInRollbackModeAndConvertsOlderFiles) {
    StoreError error;
    pretend(kExt4);
    ASSERT_TRUE(openAndWrite("QD97.TPS", true, error)) << error.text;
    EXPECT_EQ(storedModeOfEncrypted("QD97.TPS"), "wal");

    // A client reaches the folder over SMB: the file leaves WAL mode.
    pretend(kCifs);
    ASSERT_TRUE(openAndWrite("QD97.TPS", true, error)) << error.text;
    EXPECT_EQ(storedModeOfEncrypted("QD97.TPS"), "delete");

    // The serving machine sees its own disk, and the marker.
    pretend(kExt4);
    const JournalChoice choice = journalFor(dir.path());
    EXPECT_TRUE(choice.rollback());
    EXPECT_EQ(choice.reason, kJournalMarkerFile);
    auto f = openAndWrite("QD97.TPS", true, error);
    ASSERT_TRUE(f) << error.text;
    EXPECT_EQ(f->journalMode(), "delete");

    // A marker that asks for anything else is not obeyed.
    f.reset();
    qdtest::writeFile(dir / kJournalMarkerFile, "wal\n");
    EXPECT_FALSE(journalFor(dir.path()).rollback());
}

TEST_F(FolderJournalTest, AFileStillInUseWithTheLogIsRefusedOnANetworkFolder) {
    StoreError error;
    pretend(kExt4);
    auto local = openAndWrite("QD97.TPS", true, error);
    ASSERT_TRUE(local) << error.text;

    pretend(kNfs);
    auto remote = StoreFile::open(dir / "QD97.TPS", true, false, error);
    EXPECT_FALSE(remote);
    EXPECT_NE(error.text.find("write-ahead"), std::string::npos) << error.text;
    // The program that holds it goes on working, and its rows are all there.
    EXPECT_EQ(local->exec("INSERT INTO t VALUES (2)"), kStoreOk);
    local.reset();
    auto again = StoreFile::open(dir / "QD97.TPS", true, false, error);
    ASSERT_TRUE(again) << error.text;
    EXPECT_EQ(again->journalMode(), "delete");
    StoreError countError;
    EXPECT_EQ(again->countRecords("t", countError), 2);
}

TEST_F(FolderJournalTest, StartupSaysOnceThatTheFolderIsOnTheNetwork) {
    pretend(kNfs);
    ScriptedUserInterface ui;
    ManualClock clock;
    Startup s(ui, clock, dir.path());
    ASSERT_TRUE(s.openFrame());
    std::vector<std::string> events;
    s.log().setObserver([&](std::string_view detail, std::string_view label) {
        events.push_back(std::string(label) + "|" + std::string(detail));
    });
    s.loadSettings({});
    EXPECT_EQ(std::count(events.begin(), events.end(),
                         std::string(kNetworkFolderLabel) +
                             "|Data folder on nfs: store files use a rollback journal"),
              1);
    EXPECT_EQ(s.dataSet().fileOf(tables::Schedule())->journalMode(), "delete");
}
