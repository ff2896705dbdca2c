#include "data/Startup.h"
#include "data/FileManager.h"
#include "data/IniFile.h"
#include "data/QD_Files.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

struct StartupTest : ::testing::Test {
    qdtest::TempDir root;
    ScriptedUserInterface ui;
    std::filesystem::path install() const { return root / "install"; }
    std::filesystem::path make(const std::string& name) const {
        std::filesystem::create_directories(root / name);
        return root / name;
    }
};

} // namespace

TEST_F(StartupTest, FolderHoldingTheContainerIsUsedWithoutReadingPathsIni) {
    const auto data = make("data");
    const auto other = make("other");
    qdtest::writeFile(data / "qd97.tps", "");
    IniFile(data, "PATHS.INI").set("DATA", "PATH", other.string());
    const DataFolder f = locateDataFolder(data, ui, install());
    EXPECT_EQ(f.folder, data);
    EXPECT_FALSE(f.chooserShown);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(StartupTest, PathsIniLeadsToTheDataFolder) {
    const auto start = make("start");
    const auto data = make("data");
    qdtest::writeFile(data / "QD97.TPS", "");
    IniFile(start, "paths.ini").set("data", "path", data.string());
    const DataFolder f = locateDataFolder(start, ui, install());
    EXPECT_EQ(f.folder, data);
    EXPECT_TRUE(ui.shown.empty());
}

TEST_F(StartupTest, FirstStartAsksForAFolderAndRemembersIt) {
    const auto start = make("start");
    const auto picked = root / "picked";
    ui.folderAnswer = picked.string();
    const DataFolder f = locateDataFolder(start, ui, install());
    ASSERT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(ui.shown[0].title, "Select data directory");
    EXPECT_EQ(ui.shown[0].text, install().string());
    EXPECT_EQ(f.folder, picked);
    EXPECT_TRUE(f.newDataSet);
    EXPECT_EQ(IniFile(install(), "PATHS.INI").get("DATA", "PATH"), picked.string());

    // Every table is created empty at its first open, in the chosen folder.
    ManualClock clock;
    Startup s(ui, clock);
    ASSERT_TRUE(s.begin(install(), install()));
    EXPECT_EQ(s.dataFolder().folder, picked);
    ASSERT_TRUE(s.openFrame());
    EXPECT_TRUE(std::filesystem::exists(picked / "QD97.TPS"));
    EXPECT_EQ(s.tables().schedule.recordCount(), 0);
    s.tables().configuration.rec.DataType = "Version";
    ASSERT_EQ(s.tables().configuration.fetch(0), Level::Benign);
    EXPECT_EQ(s.tables().configuration.rec.DataValue, "2.04");
    EXPECT_EQ(&QD_Files_ErrorManager(), &s.errors());
    s.end();
    EXPECT_NE(&QD_Files_ErrorManager(), &s.errors());
}

TEST_F(StartupTest, CancellingTheChooserCreatesTheDataInTheInstallFolder) {
    const auto start = make("start");
    IniFile(start, "PATHS.INI").set("DATA", "PATH", (root / "missing").string());
    const DataFolder f = locateDataFolder(start, ui, install());
    ASSERT_EQ(ui.shown.size(), 2u);
    EXPECT_EQ(ui.shown[1].title, "New Database");
    EXPECT_EQ(ui.shown[1].text, "Application data will be created");
    EXPECT_EQ(f.folder, install());
    EXPECT_TRUE(f.newDataSet);
}

TEST(ProductTest, FrameTitleIsProductAndVersion) {
    EXPECT_EQ(frameTitle(), "Quandrel 2000 2.04");
}
