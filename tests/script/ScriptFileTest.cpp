#include "script/ScriptFile.h"
#include "../data/StoreFixture.h"

#include "data/StoreFile.h"
#include "data/TableDefs.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace qd;
using qdtest::readFile;
using qdtest::writeFile;

namespace {

ScriptingRecord step(const std::string& action) {
    ScriptingRecord s;
    s.Action = action;
    return s;
}

TEST(ScriptFileFormat, LinesAreQuotedCommaSeparated) {
    ScriptingRecord w = step("Wait");
    w.SecondsToWait = 30;
    w.WaitForWindow = "Say \"hi\", then";
    w.DDEApplicationName = "Either";
    ScriptingRecord c = step("Comment");
    c.Command = "not written";
    EXPECT_EQ(WriteScriptFileText({w, c, step("...End If")}),
              "\"Wait\",\"30\",\"Say \"\"hi\"\", then\",\"Either\",\"\",\"\",\"\"\r\n"
              "\"...End If\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n");
}

TEST(ScriptFileFormat, ReaderTakesOtherDialectsAndNormalises) {
    const std::string text = "\xEF\xBB\xBF"
                             "Send Keystrokes,hello\n"
                             "\"If Window...\",\"EXISTS\",\"Calc\"\r"
                             "\"If Window...\",\"gone\",\"Calc\"\n"
                             "\"If Time Elapsed...\",\"GREATER\", 45 \n"
                             "\"Wait\",\"5\",\"Win\",\"and\"\n"
                             "\"Wait\",\"5\",\"Win\",\"either\"\n"
                             "\"Wait\",\"5\",\"Win\",\"or\"\n"
                             "\n"
                             "\"Display Message\",\"two\nlines\",\"T\",\"1\"\n"
                             "\"Comment\",\"skipped\"\n"
                             "\"\",\"blank\"\n"
                             "\"Frobnicate\",\"x\"\n";
    ScriptFileContent c = ParseScriptFileText(text);
    ASSERT_EQ(c.steps.size(), 8u);
    EXPECT_EQ(c.steps[0].Action, "Send Keys");
    EXPECT_EQ(c.steps[0].Keystrokes, "hello");
    EXPECT_EQ(c.steps[1].WindowExistance, "Exists");
    EXPECT_EQ(c.steps[2].WindowExistance, "Does not exist");
    EXPECT_EQ(c.steps[3].IfTimeElapsed, "Greater than");
    EXPECT_EQ(c.steps[3].TimeElapsed, 45);
    EXPECT_EQ(c.steps[4].DDEApplicationName, "Both");
    EXPECT_EQ(c.steps[5].DDEApplicationName, "Either");
    EXPECT_EQ(c.steps[6].DDEApplicationName, "or");
    EXPECT_EQ(c.steps[7].DDEApplicationName, "two\nlines");
    EXPECT_EQ(c.steps[7].SecondsToWait, 1);
    EXPECT_EQ(c.steps[7].Sequence, 8);
    EXPECT_EQ(c.unrecognized, (std::vector<std::string>{"Frobnicate"}));
}

TEST(ScriptFileFormat, LongDdeActionSurvivesTheNarrowActionField) {
    ScriptingRecord d = step("DDE (Dynamic Data Exchange)");
    d.DDEType = "Execute";
    d.DDEApplicationName = "app";
    d.DDECommand = "[open]";
    const std::string text = WriteScriptFileText({d});
    EXPECT_EQ(text.substr(0, 23), "\"DDE (Dynamic Data Ex\",");
    ScriptFileContent c = ParseScriptFileText(text);
    ASSERT_EQ(c.steps.size(), 1u);
    EXPECT_EQ(c.steps[0].Action, "DDE (Dynamic Data Exchange)");
    EXPECT_EQ(c.steps[0].DDECommand, "[open]");
    EXPECT_TRUE(c.unrecognized.empty());
}

class ScriptFileStoreTest : public qdtest::StoreTest {};

TEST_F(ScriptFileStoreTest, ExportThenImportIntoAnEmptyTask) {
    std::vector<ScriptingRecord> steps;
    ScriptingRecord a = step("Start Program");
    a.Command = "/usr/bin/gedit notes.txt";
    a.Path = "/tmp";
    a.DDEApplicationName = "1211";
    a.TimeElapsed = 30;
    ScriptingRecord b = step("Comment");
    b.Command = "dropped";
    ScriptingRecord c = step("Set Value");
    c.Path = "COUNT";
    c.Command = "=[COUNT]+1";
    steps = {a, b, c, step("Exit Script")};
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), 1, steps).ok());

    const auto file = dir / "out.qds";
    ASSERT_TRUE(ExportScript(*ds, tables::Scripting(), 1, file, &ui));
    ImportResult r = ImportScript(*ds, tables::Scripting(), 2, file, &ui);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.added, 3);
    StepsResult back = LoadScriptSteps(*ds, 2);
    ASSERT_EQ(back.steps.size(), 3u);
    EXPECT_EQ(back.steps[0].Command, a.Command);
    EXPECT_EQ(back.steps[0].TimeElapsed, 30);
    EXPECT_EQ(back.steps[1].Command, "=[COUNT]+1");
    EXPECT_EQ(back.steps[2].Action, "Exit Script");
    EXPECT_EQ(back.steps[0].Sequence, 1);
    EXPECT_EQ(back.steps[2].Sequence, 3);
    EXPECT_TRUE(ui.shown.empty());

    // Importing again appends after the existing steps.
    ASSERT_TRUE(ImportScript(*ds, tables::Scripting(), 2, file, &ui).ok);
    back = LoadScriptSteps(*ds, 2);
    ASSERT_EQ(back.steps.size(), 6u);
    EXPECT_EQ(back.steps[3].Sequence, 4);
    EXPECT_EQ(back.steps[3].Action, "Start Program");
}

TEST_F(ScriptFileStoreTest, ImportReportsUnrecognisedActions) {
    const auto file = dir / "in.qds";
    writeFile(file, "\"Bogus\",\"1\"\r\n\"Exit Script\"\r\n");
    ImportResult r = ImportScript(*ds, tables::Scripting(), 3, file, &ui);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.added, 1);
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Import Error");
    EXPECT_EQ(ui.shown[0].text, "Unrecognized script action: Bogus");
    EXPECT_FALSE(ImportScript(*ds, tables::Scripting(), 3, dir / "missing.qds", &ui).ok);
}

TEST_F(ScriptFileStoreTest, FailedExportLeavesTheOldFile) {
    const auto file = dir / "keep.qds";
    writeFile(file, "old");
    EXPECT_FALSE(ExportScript(*ds, tables::Scripting(), 1, dir / "no" / "such" / "x.qds", &ui));
    EXPECT_EQ(lastTitle(), "Error!");
    EXPECT_EQ(lastText().rfind("Error exporting script item ", 0), 0u);
    EXPECT_EQ(readFile(file), "old");
}

TEST(ScriptFileReading, OnlyRegularFilesUpToTheLimitAreRead) {
    qdtest::TempDir dir;
    ScriptFileContent content;
    // A FIFO is refused at once instead of waiting for a writer.
    const auto fifo = dir.path() / "pipe.qds";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ScriptFileStatus st = LoadScriptFile(fifo, content);
    EXPECT_FALSE(st.ok);
    EXPECT_NE(st.error.find("not a regular file"), std::string::npos) << st.error;
    // An endless device and a folder are refused too.
    EXPECT_FALSE(LoadScriptFile("/dev/zero", content).ok);
    EXPECT_FALSE(LoadScriptFile(dir.path(), content).ok);
    // A file over 16 MB is refused with a message that says so.
    const auto big = dir.path() / "big.qds";
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(kMaxScriptFileBytes) + 1), 0);
    ::close(fd);
    st = LoadScriptFile(big, content);
    EXPECT_FALSE(st.ok);
    EXPECT_NE(st.error.find("16 MB"), std::string::npos) << st.error;
    EXPECT_TRUE(content.steps.empty());
    // A link to a regular file is read.
    writeFile(dir.path() / "real.qds", "\"Exit Script\"\r\n");
    std::filesystem::create_symlink(dir.path() / "real.qds", dir.path() / "link.qds");
    ASSERT_TRUE(LoadScriptFile(dir.path() / "link.qds", content).ok);
    EXPECT_EQ(content.steps.size(), 1u);
}

TEST(ScriptFileReading, ManyUnrecognisedLinesAreCountedNotListed) {
    std::string text;
    for (int i = 0; i < 200000; ++i)
        text += "\"Bogus" + std::to_string(i % 7) + "\"\r\n";
    text += "\"Exit Script\"\r\n";
    const ScriptFileContent c = ParseScriptFileText(text);
    EXPECT_EQ(c.steps.size(), 1u);
    EXPECT_EQ(c.unrecognizedLines, 200000u);
    EXPECT_EQ(c.unrecognized.size(), 5u);
    EXPECT_EQ(UnrecognizedReport(c),
              "Unrecognized script action: Bogus0, Bogus1, Bogus2, Bogus3, Bogus4, ... "
              "(200000 lines left out)");
    // More steps than a script may have is an error, not a huge queue.
    std::string steps;
    for (std::size_t i = 0; i <= kMaxScriptFileSteps; ++i)
        steps += "Exit Script\n";
    EXPECT_TRUE(ParseScriptFileText(steps).tooManySteps);
}

TEST_F(ScriptFileStoreTest, ImportAddsAllStepsOrNone) {
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), 4, {step("Exit Script")}).ok());
    // The store refuses the third step: the first two must not stay behind.
    Table<ScriptingRecord> t(*ds, tables::Scripting());
    ASSERT_EQ(t.open(), Level::Benign);
    const TableDef& def = tables::Scripting();
    ASSERT_EQ(t.file()->exec("CREATE TEMP TRIGGER refuse BEFORE INSERT ON " +
                             sql::quote(ds->locate(def).table) + " WHEN NEW." +
                             sql::columnName(def, def.findField("SCR:Command")) +
                             " = 'boom' BEGIN SELECT RAISE(ABORT, 'refused'); END"),
              0);
    const auto file = dir / "in.qds";
    writeFile(file, "\"Close Program\",\"a\"\r\n\"Close Program\",\"b\"\r\n\"Close Program\",\"boom\"\r\n");
    ImportResult r = ImportScript(*ds, tables::Scripting(), 4, file, &ui);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.added, 0);
    EXPECT_EQ(lastTitle(), "Error!");
    EXPECT_EQ(LoadScriptSteps(*ds, 4).steps.size(), 1u);
    t.close();
}

TEST_F(ScriptFileStoreTest, ExportIsPrivateAndReplacesAWorldReadableFile) {
    ScriptingRecord ftp = step("File Actions");
    ftp.DDEType = "FTP Upload";
    ftp.DDEApplicationTopic = std::string("bob") + std::string(125, ' ') + "secret";
    ASSERT_TRUE(ReplaceScriptSteps(*ds, tables::Scripting(), 5, {ftp}).ok());
    const auto file = dir / "out.qds";
    writeFile(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    ASSERT_TRUE(ExportScript(*ds, tables::Scripting(), 5, file, &ui));
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_NE(readFile(file).find("secret"), std::string::npos);
    // No temporary file is left beside it.
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.path()))
        entries += e.path().filename().string().find("out.qds") != std::string::npos;
    EXPECT_EQ(entries, 1);
}

} // namespace
