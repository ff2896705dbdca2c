#include "data/IniFile.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

using namespace qd;
namespace fs = std::filesystem;
using qdtest::readFile;
using qdtest::TempDir;
using qdtest::writeFile;

namespace {

std::vector<std::string> folderEntries(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(IniDocument, LookupsFollowProfileRules) {
    const IniDocument doc = IniDocument::parse("stray=before any section\n"
                                               "; a comment\n"
                                               "[Settings]\n"
                                               "  Debug =  1  \n"
                                               "Path=\"C:\\some folder\"\n"
                                               "Quote='x'\n"
                                               "DEBUG=2\n"
                                               "no equals sign here\n"
                                               "Empty=\n"
                                               "[settings]\n"
                                               "Other=ignored, the first section wins\n"
                                               "[Warning]\n"
                                               "Active=Yes\n");
    EXPECT_EQ(doc.get("SETTINGS", "debug"), "1");
    EXPECT_EQ(doc.get("Settings", "Path"), "C:\\some folder");
    EXPECT_EQ(doc.get("Settings", "Quote"), "x");
    EXPECT_EQ(doc.find("Settings", "Empty"), "");
    EXPECT_EQ(doc.get("Settings", "Other", "dflt"), "dflt");
    EXPECT_EQ(doc.get("Settings", "stray", "dflt"), "dflt");
    EXPECT_EQ(doc.get("warning", "ACTIVE"), "Yes");
    EXPECT_EQ(doc.get("Missing", "Key", "dflt"), "dflt");
    EXPECT_FALSE(doc.find("Settings", "no equals sign here").has_value());
    EXPECT_EQ(doc.sections(), (std::vector<std::string>{"Settings", "Warning"}));
    const auto entries = doc.entries("settings");
    ASSERT_EQ(entries.size(), 5u);
    EXPECT_EQ(entries[0], (std::pair<std::string, std::string>{"Debug", "1"}));
}

TEST(IniDocument, EditsTouchOnlyTheirOwnLines) {
    const std::string original = "; top comment\n"
                                 "[A]\n"
                                 "one=1\n"
                                 "; comment in A\n"
                                 "two=2\n"
                                 "\n"
                                 "[B]\n"
                                 "three=3\n";
    IniDocument doc = IniDocument::parse(original);
    EXPECT_EQ(doc.text(), original);

    EXPECT_TRUE(doc.set("a", "TWO", "22"));
    EXPECT_FALSE(doc.set("A", "two", "22")); // no change, nothing to write
    EXPECT_TRUE(doc.set("A", "new", "n"));
    EXPECT_TRUE(doc.set("C", "four", "4"));
    EXPECT_EQ(doc.text(), "; top comment\n"
                          "[A]\n"
                          "one=1\n"
                          "; comment in A\n"
                          "two=22\n"
                          "new=n\n"
                          "\n"
                          "[B]\n"
                          "three=3\n"
                          "[C]\n"
                          "four=4\n");

    EXPECT_TRUE(doc.removeKey("A", "ONE"));
    EXPECT_FALSE(doc.removeKey("A", "one"));
    EXPECT_TRUE(doc.removeSection("b"));
    EXPECT_FALSE(doc.removeSection("B"));
    EXPECT_EQ(doc.text(), "; top comment\n"
                          "[A]\n"
                          "; comment in A\n"
                          "two=22\n"
                          "new=n\n"
                          "\n"
                          "[C]\n"
                          "four=4\n");
}

TEST(IniDocument, LineEndsAndUnfinishedLastLinesAreKept) {
    IniDocument crlf = IniDocument::parse("[S]\r\nk=v\r\n");
    crlf.set("S", "x", "1");
    crlf.set("T", "y", "2");
    EXPECT_EQ(crlf.text(), "[S]\r\nk=v\r\nx=1\r\n[T]\r\ny=2\r\n");

    IniDocument open = IniDocument::parse("[S]\nk=v");
    open.set("S", "x", "1");
    EXPECT_EQ(open.text(), "[S]\nk=v\nx=1\n");

    IniDocument bom = IniDocument::parse("\xEF\xBB\xBF[S]\nk=v\n");
    EXPECT_EQ(bom.get("S", "k"), "v");
    bom.set("S", "k", "w");
    EXPECT_EQ(bom.text(), "\xEF\xBB\xBF[S]\nk=w\n");
}

TEST(IniDocument, MalformedTextNeverBreaksLookupsOrEdits) {
    // No sections at all.
    IniDocument none = IniDocument::parse("just some text\nkey=value\n");
    EXPECT_EQ(none.get("Settings", "key", "d"), "d");
    none.set("Settings", "key", "v");
    EXPECT_EQ(none.text(), "just some text\nkey=value\n[Settings]\nkey=v\n");

    // Every byte value, NULs included, inside and around a section.
    std::string binary;
    for (int i = 0; i < 256; ++i)
        binary += static_cast<char>(i);
    const std::string withBinary = binary + "\n[S]\n" + binary + "\nk=v\n" + binary;
    IniDocument bin = IniDocument::parse(withBinary);
    EXPECT_EQ(bin.text(), withBinary);
    EXPECT_EQ(bin.get("S", "k"), "v");
    bin.set("S", "k", "w");
    EXPECT_EQ(bin.get("S", "k"), "w");
    EXPECT_NE(bin.text().find(binary + "\nk=w\n"), std::string::npos);

    // A 1 MB line, an unclosed header and stray brackets.
    const std::string huge(1 << 20, 'x');
    IniDocument big = IniDocument::parse("[S]\n" + huge + "\n[unclosed\n]odd[\nk=v\n");
    EXPECT_EQ(big.get("S", "k"), "v");
    big.set("S", huge.substr(0, 1000), "long key");
    EXPECT_EQ(big.get("S", huge.substr(0, 1000)), "long key");
}

TEST(IniDocument, EntriesThatCannotBeWrittenAreRefused) {
    IniDocument doc = IniDocument::parse("[S]\nk=v\n");
    EXPECT_FALSE(doc.set("S", "k", "two\nlines"));
    EXPECT_FALSE(doc.set("S", "a=b", "v"));
    EXPECT_FALSE(doc.set("S]", "k", "v"));
    EXPECT_FALSE(doc.set("", "k", "v"));
    EXPECT_FALSE(doc.set("S", " ", "v"));
    EXPECT_FALSE(doc.set("S", "[k", "v"));
    EXPECT_EQ(doc.text(), "[S]\nk=v\n");
    EXPECT_EQ(IniDocument::checkEntry("S", "k", "a\rb"), "the value of \"k\" contains a line break");
}

TEST(IniFile, ReadsWritesAndCreatesFiles) {
    TempDir dir;
    IniFile ini(dir.path(), "qd98.INI");
    EXPECT_EQ(ini.get("Settings", "Debug", "0"), "0"); // no file yet
    EXPECT_FALSE(fs::exists(dir / "qd98.INI"));

    ASSERT_TRUE(ini.set("Settings", "Debug", "1"));
    EXPECT_EQ(readFile(dir / "qd98.INI"), "[Settings]\nDebug=1\n");
    ASSERT_TRUE(ini.set("Warning", "Active", "1"));
    ASSERT_TRUE(ini.removeKey("Settings", "Debug"));
    EXPECT_EQ(readFile(dir / "qd98.INI"), "[Settings]\n[Warning]\nActive=1\n");
    ASSERT_TRUE(ini.removeSection("Settings"));
    EXPECT_EQ(readFile(dir / "qd98.INI"), "[Warning]\nActive=1\n");
    EXPECT_TRUE(ini.removeKey("Nothing", "Here")); // nothing to delete is no error

    // The writes left no temporary files behind.
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"qd98.INI"});
}

TEST(IniFile, FileNamesMatchWithoutRegardToCase) {
    TempDir dir;
    writeFile(dir / "paths.ini", "[DATA]\nPATH=/srv/qd\n");
    IniFile ini(dir.path(), "PATHS.INI");
    EXPECT_EQ(ini.path(), dir / "paths.ini");
    EXPECT_EQ(ini.get("data", "path"), "/srv/qd");
    ASSERT_TRUE(ini.set("DATA", "PATH", "/srv/other"));
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"paths.ini"});
    EXPECT_EQ(readFile(dir / "paths.ini"), "[DATA]\nPATH=/srv/other\n");
    EXPECT_EQ(findFileNoCase(dir.path(), "NOSUCH.INI"), dir / "NOSUCH.INI");
    // A path given whole is matched the same way.
    EXPECT_EQ(IniFile(dir / "Paths.Ini").get("DATA", "PATH"), "/srv/other");
}

TEST(IniFile, WritesKeepPermissionsAndWriteThroughLinks) {
    TempDir dir;
    writeFile(dir / "real.ini", "[S]\nk=v\n");
    ASSERT_EQ(::chmod((dir / "real.ini").c_str(), 0640), 0);
    fs::create_symlink(dir / "real.ini", dir / "QDMSG.INI");
    IniFile ini(dir.path(), "QDMSG.INI");
    ASSERT_TRUE(ini.set("S", "k", "w"));
    EXPECT_TRUE(fs::is_symlink(dir / "QDMSG.INI"));
    EXPECT_EQ(readFile(dir / "real.ini"), "[S]\nk=w\n");
    struct stat st {};
    ASSERT_EQ(::stat((dir / "real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST(IniFile, UnwritableFilesGiveAClearErrorAndKeepTheirContents) {
    TempDir dir;
    // The folder is really a file.
    writeFile(dir / "notafolder", "data");
    IniFile inFile(dir / "notafolder", "DEBUG.INI");
    const IniStatus s = inFile.set("ShFileOp", "Exec", "1");
    EXPECT_FALSE(s.ok);
    EXPECT_NE(s.message.find("DEBUG.INI"), std::string::npos) << s.message;
    EXPECT_EQ(readFile(dir / "notafolder"), "data");

    // The file is really a folder.
    fs::create_directory(dir / "POSITION.INI");
    IniFile asFolder(dir.path(), "POSITION.INI");
    const IniStatus t = asFolder.set("Main", "XPos", "1");
    EXPECT_FALSE(t.ok);
    EXPECT_NE(t.message.find("POSITION.INI"), std::string::npos) << t.message;
    EXPECT_EQ(asFolder.get("Main", "XPos", "dflt"), "dflt");
    EXPECT_TRUE(fs::is_directory(dir / "POSITION.INI"));

    // A value that would break the file is refused, the file stays as it was.
    writeFile(dir / "qd98.INI", "[Settings]\nk=v\n");
    IniFile ini(dir.path(), "qd98.INI");
    const IniStatus u = ini.set("Settings", "k", "a\nb");
    EXPECT_FALSE(u.ok);
    EXPECT_NE(u.message.find("line break"), std::string::npos);
    EXPECT_EQ(readFile(dir / "qd98.INI"), "[Settings]\nk=v\n");
}

TEST(IniFile, ConcurrentWritersLoseNoEntry) {
    TempDir dir;
    constexpr int kKeys = 150;
    auto writer = [&](const std::string& prefix) {
        IniFile ini(dir.path(), "DEBUG.INI");
        for (int i = 0; i < kKeys; ++i)
            ASSERT_TRUE(ini.set("S", prefix + std::to_string(i), std::to_string(i)));
    };
    std::thread a(writer, "a");
    std::thread b(writer, "b");
    a.join();
    b.join();
    IniDocument doc;
    ASSERT_TRUE(IniFile(dir.path(), "DEBUG.INI").load(doc));
    EXPECT_EQ(doc.entries("S").size(), 2u * kKeys);
    EXPECT_EQ(doc.get("S", "a149"), "149");
    EXPECT_EQ(doc.get("S", "b0"), "0");
}

TEST(INIClass, AWindowClosedMaximisedReopensMaximised) {
    TempDir dir;
    {
        INIClass positions(dir.path());
        WindowPosition closed;
        closed.maximized = true;
        closed.x = -20;
        closed.y = 40;
        closed.width = 800;
        closed.height = 600;
        ASSERT_TRUE(positions.update("BrowseSchedule", closed, true));
        ASSERT_TRUE(positions.update("Main", closed, false));
    }
    EXPECT_EQ(readFile(dir / "POSITION.INI"), "[BrowseSchedule]\nMaximize=Yes\nXPos=-20\nYPos=40\nWidth=800\n"
                                              "Height=600\n[Main]\nMaximize=Yes\nXPos=-20\nYPos=40\n");
    INIClass reopened(dir.path());
    const auto pos = reopened.fetch("browseschedule", true);
    ASSERT_TRUE(pos.has_value());
    EXPECT_TRUE(pos->maximized);
    EXPECT_EQ(pos->x, -20);
    EXPECT_EQ(pos->y, 40);
    EXPECT_EQ(pos->width, 800);
    EXPECT_EQ(pos->height, 600);
    const auto main = reopened.fetch("Main", true);
    ASSERT_TRUE(main.has_value());
    EXPECT_EQ(main->width, 0); // saved as a fixed-size window: no size

    // Restored to normal size: the next opening is not maximised.
    WindowPosition normal = *pos;
    normal.maximized = false;
    ASSERT_TRUE(reopened.update("BrowseSchedule", normal, true));
    EXPECT_FALSE(reopened.fetch("BrowseSchedule", true)->maximized);
}

TEST(INIClass, MissingOrDamagedPositionsAreNotUsed) {
    TempDir dir;
    writeFile(dir / "position.ini", "[A]\nXPos=10\n"
                                    "[B]\nMaximize=yes\nXPos=abc\nYPos=5\n"
                                    "[C]\nMaximize=YES\nXPos= 7 \nYPos=8\nWidth=-3\nHeight=100\n");
    INIClass positions(dir.path());
    EXPECT_FALSE(positions.fetch("A", false).has_value());
    EXPECT_FALSE(positions.fetch("B", false).has_value());
    EXPECT_FALSE(positions.fetch("Nowhere", false).has_value());
    const auto c = positions.fetch("C", true);
    ASSERT_TRUE(c.has_value());
    EXPECT_TRUE(c->maximized);
    EXPECT_EQ(c->x, 7);
    EXPECT_EQ(c->width, 0);
    ASSERT_TRUE(positions.updateValue("ViewAscii:Log", "Font", "Mono"));
    EXPECT_EQ(positions.fetchValue("viewascii:log", "font"), "Mono");
    EXPECT_EQ(folderEntries(dir.path()), std::vector<std::string>{"position.ini"});
}
