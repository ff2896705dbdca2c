// A data folder holding link loops or FIFOs: listings and settings reads give
// results or clear errors, never an exception or a wait.
#include "data/Backup.h"
#include "data/IniFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace qd;
namespace fs = std::filesystem;
using qdtest::writeFile;

namespace {

TEST(DataFolderHazardsTest, BackupListingsSkipLinkLoops) {
    qdtest::TempDir dir;
    writeFile(dir / "QD97.TPS", "x");
    fs::create_symlink("LOOP.TPS", dir / "LOOP.TPS");
    fs::create_directories(dir / "Backups/20261207-091500");
    writeFile(dir / "Backups/20261207-091500/QD97.TPS", "xy");
    fs::create_symlink("B", dir / "Backups/A");
    fs::create_symlink("A", dir / "Backups/B");
    fs::create_symlink("S.TPS", dir / "Backups/20261207-091500/S.TPS");

    const auto files = dataSetFiles(dir.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.front().filename(), "QD97.TPS");
    const auto backups = listBackups(dir.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups.front().files, std::vector<std::string>{"QD97.TPS"});
    EXPECT_EQ(backups.front().bytes, 2u);
}

TEST(DataFolderHazardsTest, ASettingsFileThatIsAFifoIsRefusedAtOnce) {
    qdtest::TempDir dir;
    ASSERT_EQ(::mkfifo((dir / "QD97.INI").c_str(), 0600), 0);
    IniFile ini(dir.path(), "QD97.INI");
    IniDocument doc;
    const IniStatus status = ini.load(doc);
    EXPECT_FALSE(status);
}

} // namespace
