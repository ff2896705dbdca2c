// Walking a key forward and backward, and positioning in it, with equal key
// values (the record number breaks the tie), text keys that ignore letter
// case and keys that run from high to low: every record comes exactly once and
// in order, whatever the step started from.
#include "data/StoreFixture.h"
#include "data/TableDefs.h"
#include "data/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

using namespace qd;

namespace {

using Entry = std::tuple<std::string, std::string, long long>; // folded category, folded description, record

class KeyOrder : public qdtest::StoreTest {
protected:
    void SetUp() override {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        const char* categories[] = {"work", "Work", "HOME", "home", "Rare", "alpha"};
        const char* descriptions[] = {"b", "A", "a", "B", "c"};
        for (int i = 0; i < 60; ++i) {
            t.rec = {};
            t.rec.Category = categories[(i * 7) % 6];
            t.rec.Description = descriptions[(i * 3) % 5];
            ASSERT_EQ(t.insert(), Level::Benign);
        }
    }
    static Entry entry(const Table<ScheduleRecord>& t) {
        return {text::lowerAscii(t.rec.Category), text::lowerAscii(t.rec.Description), t.currentRowId()};
    }
};

TEST_F(KeyOrder, TextKeyIgnoringCaseIsWalkedOnceInOrderBothWays) {
    Table<ScheduleRecord> t(*ds, tables::Schedule());
    ASSERT_EQ(t.open(), Level::Benign);
    const int key = t.def().findKey("KeyCategory");
    std::vector<Entry> forward;
    t.setOrder(key);
    while (t.next() == Level::Benign)
        forward.push_back(entry(t));
    ASSERT_EQ(forward.size(), 60u);
    EXPECT_TRUE(std::is_sorted(forward.begin(), forward.end()));
    EXPECT_EQ(std::adjacent_find(forward.begin(), forward.end()), forward.end());

    std::vector<Entry> backward;
    t.setOrder(key);
    while (t.previous() == Level::Benign)
        backward.push_back(entry(t));
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward);
}

TEST_F(KeyOrder, PositionByLeadingFieldStartsAtItsFirstRecordInAnyCase) {
    Table<ScheduleRecord> t(*ds, tables::Schedule());
    ASSERT_EQ(t.open(), Level::Benign);
    const int key = t.def().findKey("KeyCategory");
    t.clearBuffer();
    t.rec.Category = "RARE";
    t.setPosition(key, 1);
    std::vector<Entry> rare;
    while (t.next() == Level::Benign && text::equalsNoCase(t.rec.Category, "rare"))
        rare.push_back(entry(t));
    EXPECT_EQ(rare.size(), 10u);
    EXPECT_TRUE(std::is_sorted(rare.begin(), rare.end()));
    EXPECT_EQ(text::lowerAscii(t.rec.Category), "work"); // the step after the last one of the group

    // A full position (category and description) between stored values.
    t.clearBuffer();
    t.rec.Category = "home";
    t.rec.Description = "AB";
    t.setPosition(key);
    ASSERT_EQ(t.next(), Level::Benign);
    EXPECT_EQ(text::lowerAscii(t.rec.Category), "home");
    EXPECT_EQ(text::lowerAscii(t.rec.Description), "b");
}

TEST_F(KeyOrder, DescendingKeyWithEqualValuesComesOnceFromNewestToOldest) {
    Table<ClipboardRecord> t(*ds, tables::Clipboard());
    ASSERT_EQ(t.open(), Level::Benign);
    for (int i = 0; i < 30; ++i) {
        t.rec = {};
        t.rec.ClipDate = 80000 + i % 4;
        t.rec.ClipTime = 100 + i % 3;
        t.rec.Abbreviation = "c" + std::to_string(i);
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    using Clip = std::tuple<long long, long long, long long>;
    const int key = t.def().findKey("KeyClipDate");
    std::vector<Clip> forward;
    t.setOrder(key);
    while (t.next() == Level::Benign)
        forward.push_back({t.rec.ClipDate, t.rec.ClipTime, t.currentRowId()});
    ASSERT_EQ(forward.size(), 30u);
    EXPECT_TRUE(std::is_sorted(forward.rbegin(), forward.rend()));
    EXPECT_EQ(std::adjacent_find(forward.begin(), forward.end()), forward.end());

    std::vector<Clip> backward;
    t.setOrder(key);
    while (t.previous() == Level::Benign)
        backward.push_back({t.rec.ClipDate, t.rec.ClipTime, t.currentRowId()});
    std::reverse(backward.begin(), backward.end());
    EXPECT_EQ(backward, forward);
}

} // namespace
