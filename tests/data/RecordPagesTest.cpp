// Numbered list rows: pages read only when a row is asked for, the pages used
// longest ago dropped, and records that went away since the count never
// showing anything but records of the view.
#include "data/RecordPages.h"

#include "data/StoreFixture.h"
#include "data/TableDefs.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

class RecordPagesTest : public qdtest::StoreTest {
protected:
    const TableDef& def = tables::Holidays();
    void addDays(int first, int count) {
        Table<HolidaysRecord> t(*ds, def);
        ASSERT_EQ(t.open(), Level::Benign);
        ASSERT_EQ(ds->fileOf(def)->begin(), kStoreOk);
        for (int i = 0; i < count; ++i) {
            t.rec = {};
            t.rec.HolidayDate = first + i;
            t.rec.Holiday = "Day " + std::to_string(first + i);
            ASSERT_EQ(t.insert(), Level::Benign);
        }
        ASSERT_EQ(ds->fileOf(def)->commit(), kStoreOk);
    }
    FileManager::ViewOrder byDate(bool reverse = false) const {
        return {def.findKey("KeyHolidayDate"), -1, reverse};
    }
};

TEST_F(RecordPagesTest, RowsAreReadAPageAtATimeAndOldPagesAreDropped) {
    addDays(80000, 1000);
    RecordPages<HolidaysRecord> pages(*ds, def, 10, 3);
    pages.setView({}, byDate());
    ASSERT_EQ(pages.size(), 1000);
    // Counting read the first page and one row more (a view that fits on a
    // page is counted by that read alone).
    EXPECT_EQ(pages.scanned(), 11);
    // The last row costs one page, read from the end.
    ASSERT_NE(pages.row(999), nullptr);
    EXPECT_EQ(pages.row(999)->record.HolidayDate, 80999);
    EXPECT_EQ(pages.scanned(), 21);
    // Every row once, front to back: never more than three pages held.
    for (long long i = 0; i < pages.size(); ++i) {
        const auto* r = pages.row(i);
        ASSERT_NE(r, nullptr) << i;
        ASSERT_EQ(r->record.HolidayDate, 80000 + i);
        ASSERT_LE(pages.held(), 30u);
    }
    // The row of a record far from the pages held comes from the store.
    Table<HolidaysRecord> t(*ds, def);
    ASSERT_EQ(t.open(), Level::Benign);
    t.rec.HolidayDate = 80123;
    ASSERT_EQ(t.fetch("KeyHolidayDate"), Level::Benign);
    EXPECT_EQ(pages.rowOf(t.currentRowId()), 123);
    pages.setOrder(byDate(true));
    EXPECT_EQ(pages.rowOf(t.currentRowId()), 999 - 123);
    EXPECT_EQ(pages.row(0)->record.HolidayDate, 80999);
    EXPECT_EQ(pages.row(1000), nullptr);
    EXPECT_EQ(pages.row(-1), nullptr);
}

TEST_F(RecordPagesTest, RecordsRemovedSinceTheCountShowOnlyRecordsOfTheViewUntilCountedAgain) {
    addDays(80000, 50);
    RecordPages<HolidaysRecord> pages(*ds, def, 10, 3);
    pages.setView({{def.findField("HolidayDate"), FieldMatch::Range, 0LL, 80010LL, {}}}, byDate());
    ASSERT_EQ(pages.size(), 40);
    {
        // Another connection removes the first ten of the view.
        DataSet other(dir.path(), errors);
        Table<HolidaysRecord> t(other, def);
        ASSERT_EQ(t.open(), Level::Benign);
        for (int d = 80010; d < 80020; ++d) {
            t.rec.HolidayDate = d;
            ASSERT_EQ(t.fetch("KeyHolidayDate"), Level::Benign);
            ASSERT_EQ(t.deleteRecord(), Level::Benign);
        }
    }
    // Until the next count, the first page shows what was read with the count;
    // every other row is empty or a record still in the view (rows near the
    // end are counted from the end, the others from the front).
    EXPECT_EQ(pages.row(0)->record.HolidayDate, 80010);
    for (long long i = 10; i < 40; ++i)
        if (const auto* r = pages.row(i)) {
            EXPECT_GE(r->record.HolidayDate, 80020) << i;
            EXPECT_LE(r->record.HolidayDate, 80049) << i;
        }
    EXPECT_EQ(pages.row(10)->record.HolidayDate, 80030);
    EXPECT_EQ(pages.row(39)->record.HolidayDate, 80049);
    ASSERT_TRUE(pages.count());
    EXPECT_EQ(pages.size(), 30);
    EXPECT_EQ(pages.row(29)->record.HolidayDate, 80049);
}

} // namespace
