// File actions on what a careless or hostile tree holds: link loops, links to
// a parent folder, FIFOs, foreign or open trash folders. Each must give an
// error number or a sound result, never end or hold the process.
#include "FileActionsFixture.h"
#include "platform/fake/FakeWindowSystem.h"
#include "script/FileActions.h"
#include "script/Trash.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace qd;
namespace fs = std::filesystem;
using qdtest::readFile;
using qdtest::writeFile;

namespace {

using FileActionHazardsTest = qdtest::FileActionsFixture;

TEST_F(FileActionHazardsTest, LinkLoopsGiveErrorNumbersInsteadOfEndingTheProcess) {
    writeFile(work / "a.txt", "A");
    writeFile(work / "b.txt", "B");
    fs::create_symlink("self", work / "self");
    fs::create_symlink("pong", work / "ping");
    fs::create_symlink("ping", work / "pong");

    EXPECT_EQ(run("Copy", "a.txt", "self"), ELOOP);
    EXPECT_EQ(run("Copy", "a.txt;b.txt", "ping"), ELOOP);
    EXPECT_EQ(run("Copy", "*.txt", "self/sub"), ELOOP);
    EXPECT_EQ(run("Copy", "self", "copy"), ELOOP);
    EXPECT_EQ(var("Errorcode"), std::to_string(ELOOP));
    EXPECT_NE(run("Move", "a.txt", "self/x"), 0);
    EXPECT_EQ(readFile(work / "a.txt"), "A");
    EXPECT_EQ(run("Get File Size", "self"), 0);
    EXPECT_EQ(run("Get File Date", "ping"), 0);
    EXPECT_EQ(run("If File Exists", "self"), 1); // the link itself exists
    EXPECT_EQ(run("If File Exists", "self/x"), 0);
    EXPECT_EQ(run("Make Directory", "self/new"), 0);
    EXPECT_EQ(run("Copy", "*.*", "all"), 0); // the loops are not files: left out
    EXPECT_TRUE(fs::exists(work / "all/a.txt"));
    EXPECT_FALSE(fs::is_symlink(work / "all/self"));
    EXPECT_EQ(run("Rename", "ping", "pang"), 0);
    EXPECT_TRUE(fs::is_symlink(work / "pang"));
    EXPECT_EQ(run("Recycle", "pang"), 0);
    EXPECT_EQ(run("Delete", "self"), 0);
    EXPECT_FALSE(fs::is_symlink(work / "self"));
}

TEST_F(FileActionHazardsTest, CopiedFoldersKeepTheirLinksAsLinks) {
    fs::create_directories(work / "tree/sub");
    writeFile(work / "tree/sub/f.txt", "F");
    fs::create_symlink("..", work / "tree/sub/up");
    fs::create_symlink("loop", work / "tree/loop");
    EXPECT_EQ(run("Copy", "tree", "copy"), 0);
    EXPECT_EQ(readFile(work / "copy/sub/f.txt"), "F");
    EXPECT_TRUE(fs::is_symlink(work / "copy/sub/up"));
    EXPECT_EQ(fs::read_symlink(work / "copy/sub/up"), "..");
    EXPECT_TRUE(fs::is_symlink(work / "copy/loop"));
    // A named link to a folder is followed: its contents are copied.
    fs::create_symlink("tree", work / "alias");
    EXPECT_EQ(run("Copy", "alias", "viaLink"), 0);
    EXPECT_FALSE(fs::is_symlink(work / "viaLink"));
    EXPECT_EQ(readFile(work / "viaLink/sub/f.txt"), "F");
}

TEST_F(FileActionHazardsTest, AFolderIsNeverCopiedIntoItself) {
    fs::create_directories(work / "tree/inner");
    writeFile(work / "tree/f.txt", "F");
    EXPECT_EQ(run("Copy", "tree", "tree/inner/copy"), EINVAL);
    EXPECT_FALSE(fs::exists(work / "tree/inner/copy"));
    EXPECT_EQ(run("Copy", "tree", "tree/inner"), EINVAL); // into an existing subfolder
    EXPECT_FALSE(fs::exists(work / "tree/inner/tree"));
    EXPECT_NE(run("Move", "tree", "tree/inner/moved"), 0);
    EXPECT_EQ(readFile(work / "tree/f.txt"), "F");
    EXPECT_EQ(run("Copy", "tree", "tree2"), 0); // a name that only starts the same
    EXPECT_EQ(readFile(work / "tree2/f.txt"), "F");
}

TEST_F(FileActionHazardsTest, FifosNeitherHoldNorBreakTheActions) {
    ASSERT_EQ(::mkfifo((work / "DEBUG.INI").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((work / "pipe").c_str(), 0600), 0);
    writeFile(work / "a.txt", "A");
    EXPECT_EQ(run("Copy", "a.txt", "b.txt"), 0); // the settings file is a FIFO: not read
    EXPECT_EQ(readFile(work / "b.txt"), "A");
    EXPECT_NE(run("Copy", "pipe", "pipe2"), 0);
    EXPECT_EQ(run("Get File Size", "pipe"), 0);
    EXPECT_EQ(run("If File Exists", "pipe"), 1);
    FakeWindowSystem ws;
    ws.add("Editor");
    WindowTargeting targeting(ws);
    env.windows = &targeting;
    EXPECT_EQ(run("Log Windows", "pipe"), -1); // no reader: refused at once
    EXPECT_NE(var("Errorcode"), "0");
    EXPECT_EQ(run("Move", "pipe", "moved"), 0);
    EXPECT_EQ(run("Delete", "moved"), 0);
}

// The trash at the top of another file system, checked on a folder of ours
// standing in for that top.
class TopTrashTest : public ::testing::Test {
protected:
    fs::path shared() const { return top.path() / ".Trash"; }
    fs::path mine() const { return shared() / std::to_string(::getuid()); }
    fs::path own() const { return top.path() / (".Trash-" + std::to_string(::getuid())); }
    void makeShared(mode_t mode) {
        fs::create_directories(shared());
        ::chmod(shared().c_str(), mode);
    }
    qdtest::TempDir top;
};

TEST_F(TopTrashTest, UsesTheStickySharedTrashWithAFolderOfOurOwn) {
    makeShared(01777);
    EXPECT_EQ(topDirectoryTrash(top.path()), mine());
    struct stat st {};
    ASSERT_EQ(::lstat(mine().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(fs::is_directory(mine() / "files"));
}

TEST_F(TopTrashTest, RefusesASharedTrashThatIsNotStickyOrIsALink) {
    makeShared(0777);
    EXPECT_EQ(topDirectoryTrash(top.path()), own());
    fs::remove_all(shared());
    fs::remove_all(own());
    fs::create_directories(top.path() / "elsewhere");
    ::chmod((top.path() / "elsewhere").c_str(), 01777);
    fs::create_symlink("elsewhere", shared());
    EXPECT_EQ(topDirectoryTrash(top.path()), own());
    EXPECT_FALSE(fs::exists(top.path() / "elsewhere" / std::to_string(::getuid())));
}

TEST_F(TopTrashTest, RefusesOurSharedFolderWhenOthersCanWriteItOrItIsALink) {
    makeShared(01777);
    fs::create_directories(mine() / "files");
    fs::create_directories(mine() / "info");
    ::chmod(mine().c_str(), 0777);
    EXPECT_EQ(topDirectoryTrash(top.path()), own());
    ::chmod(mine().c_str(), 0700);
    ::chmod((mine() / "info").c_str(), 0722);
    EXPECT_EQ(topDirectoryTrash(top.path()), own());
    fs::remove_all(mine());
    fs::create_directories(top.path() / "planted/files");
    fs::create_directories(top.path() / "planted/info");
    fs::create_symlink(top.path() / "planted", mine());
    EXPECT_EQ(topDirectoryTrash(top.path()), own());
}

TEST_F(TopTrashTest, RefusesTrashFoldersOwnedBySomeoneElse) {
    makeShared(01777);
    fs::create_directories(mine() / "files");
    fs::create_directories(mine() / "info");
    fs::create_directories(own() / "files");
    fs::create_directories(own() / "info");
    const uid_t other = ::getuid() == 65534 ? 65533 : 65534;
    if (::lchown(mine().c_str(), other, other) != 0 || ::lchown(own().c_str(), other, other) != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    EXPECT_EQ(topDirectoryTrash(top.path()), fs::path());

    // Moving an item there falls back to the home trash.
    qdtest::TempDir home;
    writeFile(top / "item.txt", "I");
    TrashOptions options;
    options.homeTrash = home / "Trash";
    const TrashResult r = moveToTrash(top / "item.txt", options);
    ASSERT_TRUE(r) << r.error;
    EXPECT_EQ(r.trashedAs, home / "Trash/files/item.txt");
    EXPECT_EQ(readFile(r.trashedAs), "I");
}

} // namespace
