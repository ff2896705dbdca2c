#include "clipboard/ClipboardSaver.h"
#include "clipboard/ClipRun.h"
#include "clipboard/ClipboardWriter.h"
#include "data/Calendar.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

TEST(ClipHashKey, OnlyCapitalLettersCountAndAtMost120) {
    EXPECT_EQ(ClipHashKey("Meeting at 10:30 with Bob"), "MB");
    EXPECT_EQ(ClipHashKey("Meeting at 11:45 with Bob!"), "MB");
    EXPECT_EQ(ClipHashKey("no capitals here 123"), "");
    EXPECT_EQ(ClipHashKey("ÄÖÜ ÉA\tZ\n"), "AZ") << "only A to Z, not other capitals";
    EXPECT_EQ(ClipHashKey(std::string(300, 'Q')), std::string(120, 'Q'));
}

TEST(ClipRun, FindsAddressesAndPathsAsTheSearchesCutThem) {
    using V = std::vector<std::string>;
    EXPECT_EQ(clipRunTargets("see http://example.org/a?b=1 for more"), V{"http://example.org/a?b=1"});
    EXPECT_EQ(clipRunTargets("HTTP://Example.org\"quoted"), V{"HTTP://Example.org"});
    EXPECT_EQ(clipRunTargets("write to mailto:ann@example.org today"), V{"mailto:ann@example.org"});
    EXPECT_EQ(clipRunTargets("C:\\Tools\\calc.exe /x /y"), V{"C:\\Tools\\calc.exe"});
    EXPECT_EQ(clipRunTargets("please start C:\\Tools\\calc.exe"), V{"C:\\Tools\\calc.exe"});
    EXPECT_EQ(clipRunTargets("run \"C:\\Program Files\\My App\\app.EXE\" now"),
              V{"C:\\Program Files\\My App\\app.EXE"});
    EXPECT_EQ(clipRunTargets("desktop.lnk"), V{"desktop.lnk"});
    EXPECT_EQ(clipRunTargets("www.example.org  "), V{"http://www.example.org"});
    EXPECT_EQ(clipRunTargets("WWW.example.org"), V{});
    EXPECT_EQ(clipRunTargets("just words"), V{});
    EXPECT_EQ(clipRunTargets("http: mailto:"), (V{"http:", "mailto:"}));
}

TEST(ClipRun, RunnableColourMarkers) {
    EXPECT_TRUE(clipLooksRunnable("Go to HTTP://x"));
    EXPECT_TRUE(clipLooksRunnable("a.LNK"));
    EXPECT_FALSE(clipLooksRunnable("https://x"));
    EXPECT_FALSE(clipLooksRunnable("www.example.org"));
}

class ClipboardSaverTest : public ::testing::Test {
protected:
    ClipboardSaverTest()
        : errors(&ui), ds(dir.path(), errors), clock({dateFromMDY(3, 10, 2026), timeFromHMS(9, 0, 0)}),
          saver(ds, settings, clock) {}

    // Entries oldest first.
    std::vector<ClipboardRecord> entries() {
        std::vector<ClipboardRecord> out;
        Table<ClipboardRecord> t(ds, tables::Clipboard());
        EXPECT_EQ(t.open(), Level::Benign);
        t.setOrder(t.def().findKey("KeyClipDate"));
        while (t.next() == Level::Benign)
            out.insert(out.begin(), t.rec);
        return out;
    }
    std::vector<std::string> texts() {
        std::vector<std::string> out;
        for (const auto& e : entries())
            out.push_back(e.ClipContents);
        return out;
    }
    CaptureOutcome copy(const std::string& text, const std::string& title = "Editor") {
        clock.advanceSeconds(1);
        return saver.capture(text, title);
    }
    void keep(const std::string& text) {
        for (const auto& e : entries())
            if (e.ClipContents == text) {
                ASSERT_TRUE(toggleClipKeep(ds, e));
                return;
            }
        FAIL() << text << " is not stored";
    }
    // Distinct hash keys: a capital-letter name for each number.
    static std::string distinct(int n) {
        std::string s = "Entry ";
        for (int i = 0; i < 3; ++i, n /= 26)
            s += static_cast<char>('A' + n % 26);
        return s;
    }

    qdtest::TempDir dir;
    ScriptedUserInterface ui;
    ErrorClass errors;
    DataSet ds;
    ManualClock clock;
    ProgramSettings settings;
    ClipboardSaver saver;
};

using V = std::vector<std::string>;

TEST_F(ClipboardSaverTest, StoresNewTextsWithMomentAndWindowTitle) {
    EXPECT_EQ(copy("First Note", "A very long window title of a text editor"), CaptureOutcome::Stored);
    EXPECT_EQ(copy("Second Note", ""), CaptureOutcome::Stored);
    const auto e = entries();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].Category, "A very long window t");
    EXPECT_EQ(e[1].Category, "General");
    EXPECT_EQ(e[0].ClipHashKey, "FN");
    EXPECT_EQ(e[0].ClipDate, dateFromMDY(3, 10, 2026));
    EXPECT_EQ(e[0].ClipTime, timeFromHMS(9, 0, 1));
    EXPECT_EQ(e[0].ClipKeep, 0);
    EXPECT_TRUE(e[0].Abbreviation.empty());
}

TEST_F(ClipboardSaverTest, SameTextTwiceAndSameHashKeyAreStoredOnce) {
    EXPECT_EQ(copy("Call Bob at 10:30"), CaptureOutcome::Stored);
    EXPECT_EQ(copy("Call Bob at 10:30"), CaptureOutcome::Unchanged);
    EXPECT_EQ(copy("Call Bob at 11:45!"), CaptureOutcome::NotStored) << "differs only in digits";
    // Texts without a capital letter have a blank hash key, which the unique
    // key leaves out: each of them is kept.
    EXPECT_EQ(copy("lower case only"), CaptureOutcome::Stored);
    EXPECT_EQ(copy("another lower case text"), CaptureOutcome::Stored);
    EXPECT_EQ(texts(), (V{"Call Bob at 10:30", "lower case only", "another lower case text"}));
    // Back to an earlier text after another: it matches a stored hash key.
    EXPECT_EQ(copy("Call Bob at 10:30"), CaptureOutcome::NotStored);
    EXPECT_EQ(entries().size(), 3u);
}

TEST_F(ClipboardSaverTest, BlankTextsAreNotStoredButATextAfterATabIs) {
    EXPECT_EQ(copy(""), CaptureOutcome::Unchanged) << "the same as nothing seen yet";
    EXPECT_EQ(copy("    "), CaptureOutcome::Unchanged) << "compared without trailing blanks";
    EXPECT_EQ(copy(" \t\r\n"), CaptureOutcome::Blank);
    EXPECT_EQ(copy("\tName\tCity"), CaptureOutcome::Stored);
    EXPECT_EQ(texts(), V{"\tName\tCity"});
}

TEST_F(ClipboardSaverTest, TrimmingDeletesTheOldestUnkeptFirst) {
    settings.MaxClipboardEntries = 50;
    for (int i = 0; i < 51; ++i)
        ASSERT_EQ(copy(distinct(i)), CaptureOutcome::Stored);
    EXPECT_EQ(entries().size(), 51u);
    ASSERT_EQ(copy(distinct(51)), CaptureOutcome::Stored);
    const auto t = texts();
    EXPECT_EQ(t.size(), 51u);
    EXPECT_EQ(t.front(), distinct(1)) << "the oldest went";
    EXPECT_EQ(t.back(), distinct(51));
}

TEST_F(ClipboardSaverTest, TrimmingKeepsSavedEntriesAndTheCurrentText) {
    settings.MaxClipboardEntries = 3;
    for (int i = 0; i < 4; ++i)
        copy(distinct(i));
    keep(distinct(0));
    copy(distinct(4));
    // The kept entry stays; the unkept oldest went.
    EXPECT_EQ(texts(), (V{distinct(0), distinct(2), distinct(3), distinct(4)}));

    // All kept: nothing is deleted.
    for (int i : {2, 3, 4})
        keep(distinct(i));
    copy(distinct(5));
    EXPECT_EQ(entries().size(), 5u);

    // The current clipboard text survives the trimming.
    Table<ClipboardRecord> t(ds, tables::Clipboard());
    ASSERT_EQ(t.open(), Level::Benign);
    settings.MaxClipboardEntries = 1;
    saver.TrimClipboard(distinct(5));
    EXPECT_EQ(texts(), (V{distinct(0), distinct(2), distinct(3), distinct(4), distinct(5)}));
}

TEST_F(ClipboardSaverTest, NoLimitMeansNothingIsDeleted) {
    settings.MaxClipboardEntries = 0;
    for (int i = 0; i < 60; ++i)
        copy(distinct(i));
    EXPECT_EQ(entries().size(), 60u);
}

TEST_F(ClipboardSaverTest, EntriesWithoutCapitalsCanBeToggledToo) {
    copy("no capitals one");
    copy("no capitals two");
    keep("no capitals two");
    const auto e = entries();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].ClipKeep, 0);
    EXPECT_EQ(e[1].ClipKeep, 1);
}

TEST_F(ClipboardSaverTest, IgnoredTextsAreRememberedNotStored) {
    EXPECT_EQ(saver.ignore("Secret Password"), CaptureOutcome::Ignored);
    EXPECT_EQ(copy("Secret Password"), CaptureOutcome::Unchanged);
    EXPECT_TRUE(entries().empty());
}

TEST_F(ClipboardSaverTest, LongAndBinaryTextsAreCutNotLost) {
    std::string big(9000, 'x');
    big[0] = 'B';
    EXPECT_EQ(copy(big), CaptureOutcome::Stored);
    EXPECT_EQ(copy(big), CaptureOutcome::Unchanged) << "compared after the cut";
    std::string binary("Bin\0ary\xff\xfe\x01 Data", 15);
    EXPECT_EQ(copy(binary), CaptureOutcome::Stored);
    const auto e = entries();
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].ClipContents.size(), kMaxClipText);
}

TEST_F(ClipboardSaverTest, HandAddedEntriesFollowTheSameRules) {
    EXPECT_EQ(addClipboardEntry(ds, settings, clock, "Added By Hand"), CaptureOutcome::Stored);
    EXPECT_EQ(addClipboardEntry(ds, settings, clock, "added by hand ABH"), CaptureOutcome::NotStored);
    EXPECT_EQ(addClipboardEntry(ds, settings, clock, "  "), CaptureOutcome::Blank);
    EXPECT_EQ(entries().at(0).Category, "General");
}

} // namespace

namespace {

TEST_F(ClipboardSaverTest, TheWriterStoresInTheOrderSeenWithTheMomentSeen) {
    ClipboardWriter writer(dir.path(), {}, clock);
    const Moment first{dateFromMDY(3, 10, 2026), timeFromHMS(8, 0, 0)};
    for (int i = 0; i < 30; ++i)
        writer.capture(distinct(i), "Editor", {first.date, first.time + i}, 0);
    writer.ignore("Own Paste");
    writer.capture("Own Paste", "Editor", first, 0); // the same as the last seen: not stored
    writer.capture("   ", "Editor", first, 0);
    writer.flush();
    const auto e = entries();
    ASSERT_EQ(e.size(), 30u);
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(e[static_cast<std::size_t>(i)].ClipContents, distinct(i));
        EXPECT_EQ(e[static_cast<std::size_t>(i)].ClipTime, first.time + i);
    }
}

} // namespace
