#include "script/FileActions.h"
#include "FileActionsFixture.h"
#include "data/IniFile.h"
#include "platform/fake/FakeWindowSystem.h"
#include "remote/PercentEncoding.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

using namespace qd;
namespace fs = std::filesystem;
using qdtest::readFile;
using qdtest::writeFile;

namespace {

using FileActionsTest = qdtest::FileActionsFixture;

TEST_F(FileActionsTest, CopyListOfFilesIntoAFolder) {
    writeFile(work / "a.txt", "A");
    writeFile(work / "b.txt", "B");
    EXPECT_EQ(run("Copy", "a.txt;b.txt", "x"), 0);
    EXPECT_EQ(readFile(work / "x" / "a.txt"), "A");
    EXPECT_EQ(readFile(work / "x" / "b.txt"), "B");
    EXPECT_EQ(var("FileCopy"), "0");
    EXPECT_EQ(var("Errorcode"), "0");
    // "|" separates too, and blanks after a separator are dropped.
    EXPECT_EQ(run("Copy", (work / "a.txt").string() + "| b.txt", "y"), 0);
    EXPECT_TRUE(fs::exists(work / "y" / "b.txt"));
}

TEST_F(FileActionsTest, CopyOneFileToANewNameAndOverAnExistingOne) {
    writeFile(work / "a.txt", "new");
    writeFile(work / "old.txt", "old");
    EXPECT_EQ(run("Copy", "a.txt", "sub/dir/c.txt"), 0);
    EXPECT_EQ(readFile(work / "sub/dir/c.txt"), "new");
    EXPECT_EQ(run("Copy", "a.txt", "old.txt"), 0);
    EXPECT_EQ(readFile(work / "old.txt"), "new");
    EXPECT_EQ(run("Copy", "a.txt", "a.txt"), EINVAL);
    EXPECT_EQ(readFile(work / "a.txt"), "new");
}

TEST_F(FileActionsTest, WildcardsMatchFilesOnly) {
    writeFile(work / "one.log", "1");
    writeFile(work / "two.log", "2");
    writeFile(work / "keep.txt", "k");
    fs::create_directories(work / "dir.log");
    EXPECT_EQ(run("Move", "*.log", "logs"), 0);
    EXPECT_TRUE(fs::exists(work / "logs/one.log"));
    EXPECT_TRUE(fs::exists(work / "logs/two.log"));
    EXPECT_FALSE(fs::exists(work / "one.log"));
    EXPECT_TRUE(fs::is_directory(work / "dir.log"));
    EXPECT_EQ(var("FileMove"), "0");
    EXPECT_EQ(run("Copy", "*.*", "all"), 0);
    EXPECT_TRUE(fs::exists(work / "all/keep.txt"));
    EXPECT_EQ(run("Copy", "*.none", "nothing"), ENOENT);
    EXPECT_EQ(var("FileCopy"), std::to_string(ENOENT));
}

TEST_F(FileActionsTest, MissingSourceFailsAndChangesNothing) {
    writeFile(work / "a.txt", "A");
    EXPECT_EQ(run("Copy", "a.txt;missing.txt", "x"), ENOENT);
    EXPECT_FALSE(fs::exists(work / "x"));
    EXPECT_EQ(var("Errorcode"), std::to_string(ENOENT));
}

TEST_F(FileActionsTest, CopyAndMoveFolders) {
    fs::create_directories(work / "src/inner");
    writeFile(work / "src/inner/f.txt", "F");
    EXPECT_EQ(run("Copy", "src", "copy"), 0);
    EXPECT_EQ(readFile(work / "copy/inner/f.txt"), "F");
    fs::create_directories(work / "into");
    EXPECT_EQ(run("Move", "src", "into"), 0);
    EXPECT_EQ(readFile(work / "into/src/inner/f.txt"), "F");
    EXPECT_FALSE(fs::exists(work / "src"));
}

TEST_F(FileActionsTest, RenameSetsBothVariablesAndNeverReplaces) {
    writeFile(work / "a.txt", "A");
    writeFile(work / "taken.txt", "T");
    EXPECT_EQ(run("Rename", "a.txt", "b.txt"), 0);
    EXPECT_EQ(var("FileCopy"), "0");
    EXPECT_EQ(var("FileRename"), "0");
    EXPECT_EQ(readFile(work / "b.txt"), "A");
    EXPECT_EQ(run("Rename", "b.txt", "taken.txt"), EEXIST);
    EXPECT_EQ(var("FileRename"), std::to_string(EEXIST));
    EXPECT_EQ(readFile(work / "taken.txt"), "T");
    EXPECT_EQ(readFile(work / "b.txt"), "A");
}

TEST_F(FileActionsTest, DeleteRemovesForGoodRecycleMovesToTheTrash) {
    writeFile(work / "gone.txt", "G");
    writeFile(work / "kept me.txt", "K");
    EXPECT_EQ(run("Delete", "gone.txt"), 0);
    EXPECT_EQ(var("FileDelete"), "0");
    EXPECT_FALSE(fs::exists(work / "gone.txt"));
    EXPECT_FALSE(fs::exists(env.trash.homeTrash / "files" / "gone.txt"));

    EXPECT_EQ(run("Recycle", "kept me.txt"), 0);
    EXPECT_FALSE(fs::exists(work / "kept me.txt"));
    EXPECT_EQ(readFile(env.trash.homeTrash / "files" / "kept me.txt"), "K");
    const std::string info = readFile(env.trash.homeTrash / "info" / "kept me.txt.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=", 0), 0u) << info;
    EXPECT_NE(info.find(remote::percentEncodePath((work / "kept me.txt").string())), std::string::npos);
    EXPECT_NE(info.find("kept%20me.txt"), std::string::npos);
    EXPECT_NE(info.find("\nDeletionDate="), std::string::npos);

    // A second item of the same name gets a name of its own; the first stays.
    writeFile(work / "kept me.txt", "K2");
    EXPECT_EQ(run("Recycle", "kept me.txt"), 0);
    EXPECT_EQ(readFile(env.trash.homeTrash / "files" / "kept me.txt"), "K");
    EXPECT_EQ(readFile(env.trash.homeTrash / "files" / "kept me.txt.2"), "K2");
    EXPECT_TRUE(fs::exists(env.trash.homeTrash / "info" / "kept me.txt.2.trashinfo"));
    EXPECT_EQ(run("Recycle", "nothing.txt"), ENOENT);
}

TEST_F(FileActionsTest, RecycleAFolder) {
    fs::create_directories(work / "folder");
    writeFile(work / "folder/f.txt", "F");
    EXPECT_EQ(run("Recycle", "folder"), 0);
    EXPECT_EQ(readFile(env.trash.homeTrash / "files/folder/f.txt"), "F");
}

TEST_F(FileActionsTest, DebugIniIsWrittenBeforeEachShellOperation) {
    writeFile(work / "a.txt", "A");
    run("Copy", "a.txt; b.txt", "x");
    IniFile ini(work, "DEBUG.INI");
    EXPECT_EQ(ini.get("ShFileOp", "Exec"), "2");
    EXPECT_EQ(ini.get("ShFileOp", "Source"), "a.txt;b.txt");
    EXPECT_EQ(ini.get("ShFileOp", "Target"), "x");
    run("Rename", "a.txt", "c.txt");
    EXPECT_EQ(ini.get("ShFileOp", "Exec"), "4");
    run("Recycle", "c.txt");
    EXPECT_EQ(ini.get("ShFileOp", "Exec"), "3");
    EXPECT_EQ(ini.get("ShFileOp", "Target"), "");
    run("Move", "x", "y");
    EXPECT_EQ(ini.get("ShFileOp", "Exec"), "1");
}

TEST_F(FileActionsTest, Directories) {
    EXPECT_EQ(run("Make Directory", "newdir   "), 1);
    EXPECT_EQ(var("DirCreate"), "1");
    EXPECT_EQ(run("Make Directory", "newdir"), 1); // already there: still 1
    EXPECT_EQ(var("Errorcode"), "0");
    EXPECT_EQ(run("Make Directory", ""), 0);
    EXPECT_EQ(var("DirCreate"), "0");
    EXPECT_EQ(run("Make Directory", "no/such/parent"), 0);
    EXPECT_EQ(var("Errorcode"), std::to_string(ENOENT));

    fs::create_directories(work / "full");
    writeFile(work / "full/f.txt", "F");
    EXPECT_EQ(run("Remove Directory", "full"), 0);
    EXPECT_EQ(var("DirRemove"), "0");
    EXPECT_EQ(run("Remove Directory", "newdir"), 1);
    EXPECT_EQ(var("DirRemove"), "1");
    EXPECT_EQ(run("Remove Directory", ""), 0);
}

TEST_F(FileActionsTest, FileDateTimeSizeAndExists) {
    writeFile(work / "data.bin", std::string(1234, 'x'));
    struct utimbuf times {};
    std::tm tm{};
    tm.tm_year = 2023 - 1900;
    tm.tm_mon = 4;
    tm.tm_mday = 6;
    tm.tm_hour = 7;
    tm.tm_min = 8;
    tm.tm_sec = 9;
    tm.tm_isdst = -1;
    times.actime = times.modtime = std::mktime(&tm);
    ASSERT_EQ(::utime((work / "data.bin").c_str(), &times), 0);

    EXPECT_EQ(run("Get File Size", "data.bin"), 1234);
    EXPECT_EQ(var("FileSize"), "1234");
    EXPECT_EQ(run("Get File Date", "data.*"), 20230506);
    EXPECT_EQ(var("FileDate"), "20230506");
    EXPECT_EQ(run("Get File Time", "data.bin"), 70809);
    EXPECT_EQ(var("FileTime"), "70809");

    vars.set("Errorcode", "99");
    EXPECT_EQ(run("Get File Size", "nomatch*.bin"), 0);
    EXPECT_EQ(var("FileSize"), "0");
    EXPECT_EQ(var("Errorcode"), "0");
    EXPECT_EQ(run("Get File Date", "missing.bin"), 0);
    EXPECT_EQ(var("FileDate"), "0");

    EXPECT_EQ(run("If File Exists", "data.bin"), 1);
    EXPECT_EQ(var("FileExists"), "1");
    EXPECT_EQ(run("File Exists", "missing.bin"), 0);
    EXPECT_EQ(var("FileExists"), "0");
    EXPECT_EQ(run("If File Exists", "*.bin"), 1);
}

TEST_F(FileActionsTest, OperandsAreTranslatedAndUnknownOperationsSetOnlyErrorcode) {
    writeFile(work / "report.txt", "R");
    values.SetValue("NAME", "report");
    EXPECT_EQ(run("Copy", "[NAME].txt", "[NAME]-copy.txt"), 0);
    EXPECT_TRUE(fs::exists(work / "report-copy.txt"));
    vars.clear();
    EXPECT_EQ(run("Frobnicate", "report.txt"), 0);
    EXPECT_EQ(vars.size(), 1u);
    EXPECT_EQ(var("Errorcode"), "0");
    EXPECT_EQ(run("FTP Upload", "report.txt", "x"), 0);
}

TEST_F(FileActionsTest, LogWindowsWritesTheWindowList) {
    FakeWindowSystem ws;
    ws.add("Editor - notes.txt");
    ws.add("Terminal");
    WindowTargeting targeting(ws);
    env.windows = &targeting;
    EXPECT_EQ(run("Log Windows", "windows.txt"), 2);
    const std::string text = readFile(work / "windows.txt");
    EXPECT_NE(text.find("Editor - notes.txt"), std::string::npos);
    EXPECT_EQ(var("Errorcode"), "0");
    env.windows = nullptr;
    EXPECT_EQ(run("Log Windows", "w2.txt"), -1);
    EXPECT_NE(var("Errorcode"), "0");
}

TEST(NameListTest, SplitsAtSemicolonAndBar) {
    EXPECT_EQ(SplitNameList("a;b| c ;;d"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitNameList(" lead"), (std::vector<std::string>{" lead"}));
    EXPECT_TRUE(SplitNameList("").empty());
}

} // namespace
