// Store filters: what the store reads with a filter must be exactly what the
// same rule accepts in memory, for random filters over random records,
// including texts that look like query syntax or wildcards.
#include "data/RecordFilter.h"

#include "data/Calendar.h"
#include "data/StoreFixture.h"
#include "data/TableDefs.h"
#include "data/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace qd;

namespace {

class RecordFilters : public qdtest::StoreTest {
protected:
    const TableDef& def = tables::Schedule();
    int field(const char* name) const { return def.findField(name); }

    // The descriptions the store reads in key order with the filter.
    std::vector<std::string> read(const RecordFilter& filter, const char* key = "KeyDate") {
        Table<ScheduleRecord> t(*ds, def);
        EXPECT_EQ(t.open(), Level::Benign);
        t.setOrder(def.findKey(key));
        t.setFilter(filter);
        std::vector<std::string> out;
        while (t.tryNext() == Level::Benign)
            out.push_back(t.rec.Description);
        return out;
    }
    void add(const std::string& description, const std::string& category, Date date, Time time,
             int disabled) {
        Table<ScheduleRecord> t(*ds, def);
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.Description = description;
        t.rec.Category = category;
        t.rec.Date = date;
        t.rec.Time = time;
        t.rec.Disabled = static_cast<std::uint8_t>(disabled);
        t.rec.TaskType = "Display Message";
        ASSERT_EQ(t.insert(), Level::Benign);
    }
};

using V = std::vector<std::string>;

TEST_F(RecordFilters, TextConditionsIgnoreCaseAndTakeWildcardsAndQuotesLiterally) {
    add("Pay 100% of rent", "Home", 80000, 100, 0);
    add("pay rent", "home", 80001, 100, 0);
    add("file_a report", "Work", 80002, 100, 1);
    add("fileXa report", "Work", 80003, 100, 0);
    add("it's done'); DROP TABLE x; --", "Work", 80004, 100, 0);
    const int desc = field("Description"), cat = field("Category");
    EXPECT_EQ(read({{desc, FieldMatch::Contains, std::string("100%"), {}, {}}}), V{"Pay 100% of rent"});
    EXPECT_EQ(read({{desc, FieldMatch::Contains, std::string("file_a"), {}, {}}}), V{"file_a report"});
    EXPECT_EQ(read({{desc, FieldMatch::BeginsWith, std::string("PAY"), {}, {}}}),
              (V{"Pay 100% of rent", "pay rent"}));
    EXPECT_EQ(read({{desc, FieldMatch::Contains, std::string("'); DROP"), {}, {}}}),
              V{"it's done'); DROP TABLE x; --"});
    EXPECT_EQ(read({{cat, FieldMatch::Equals, std::string("HOME  "), {}, {}}}),
              (V{"Pay 100% of rent", "pay rent"}));
    EXPECT_EQ(read({{cat, FieldMatch::NotEquals, std::string("work"), {}, {}},
                    {desc, FieldMatch::Contains, std::string("rent"), {}, {}}}),
              (V{"Pay 100% of rent", "pay rent"}));
    // Conditions combine with AND; a flag, a date range with both ends included.
    EXPECT_EQ(read({{cat, FieldMatch::Equals, std::string("work"), {}, {}},
                    {field("Disabled"), FieldMatch::Equals, 0LL, {}, {}},
                    {field("Date"), FieldMatch::Range, 0LL, 80002LL, 80003LL}}),
              V{"fileXa report"});
    EXPECT_EQ(read({}).size(), 5u);
}

TEST_F(RecordFilters, ConditionsThatDoNotFitTheirFieldAreRefusedAndLeftOut) {
    std::string why;
    EXPECT_FALSE(filterValid(def, {{field("Date"), FieldMatch::Contains, std::string("1"), {}, {}}}, &why));
    EXPECT_NE(why.find("Date"), std::string::npos);
    EXPECT_FALSE(filterValid(def, {{field("Category"), FieldMatch::Equals, 5LL, {}, {}}}));
    EXPECT_FALSE(filterValid(def, {{field("Date"), FieldMatch::Range, 0LL, {}, {}}}));
    EXPECT_FALSE(filterValid(def, {{9999, FieldMatch::Equals, 0LL, {}, {}}}));
    EXPECT_TRUE(filterValid(def, {{field("Date"), FieldMatch::Range, 0LL, {}, 5LL}}));
    add("one", "General", 80000, 100, 0);
    EXPECT_EQ(read({{field("Date"), FieldMatch::Contains, std::string("1"), {}, {}}}), V{"one"});
}

// Random filters over random records: the store and the in-memory rule agree
// on every record, in every key order, and the store keeps the key order.
TEST_F(RecordFilters, StoreAgreesWithTheRuleOnRandomFilters) {
    std::mt19937 rng(7);
    const std::vector<std::string> words = {"alpha", "Beta", "GAMMA", "al", "a_b", "a%b", "", "x y"};
    const auto pick = [&](const std::vector<std::string>& from) { return from[rng() % from.size()]; };
    struct Row {
        std::string description, category;
        Date date;
        Time time;
        int disabled;
    };
    std::vector<Row> rows;
    for (int i = 0; i < 300; ++i) {
        Row r{pick(words) + " " + std::to_string(i) + " " + pick(words), pick(words),
              static_cast<Date>(80000 + rng() % 800), static_cast<Time>(1 + rng() % 5),
              static_cast<int>(rng() % 2)};
        add(r.description, r.category, r.date, r.time, r.disabled);
        rows.push_back(r);
    }
    const int desc = field("Description"), cat = field("Category"), date = field("Date"),
              disabled = field("Disabled");
    for (int round = 0; round < 200; ++round) {
        RecordFilter f;
        const int n = 1 + static_cast<int>(rng() % 3);
        for (int k = 0; k < n; ++k) {
            switch (rng() % 7) {
            case 0:
                f.push_back({desc, FieldMatch::Contains, pick(words).substr(0, 1 + rng() % 3), {}, {}});
                break;
            case 1:
                f.push_back({desc, FieldMatch::BeginsWith, pick(words), {}, {}});
                break;
            case 2:
                f.push_back(
                    {cat, rng() % 2 ? FieldMatch::Equals : FieldMatch::NotEquals, pick(words), {}, {}});
                break;
            case 3: {
                const long long a = 80000 + rng() % 800, b = 80000 + rng() % 800;
                FieldCondition c{date, FieldMatch::Range, 0LL, {}, {}};
                if (rng() % 3) c.from = std::min(a, b);
                if (rng() % 3 || !c.from) c.to = std::max(a, b);
                f.push_back(c);
                break;
            }
            case 4:
                f.push_back({disabled, FieldMatch::Equals, static_cast<long long>(rng() % 2), {}, {}});
                break;
            case 5:
                f.push_back({date, FieldMatch::InMonth, static_cast<long long>(1 + rng() % 12), {}, {}});
                break;
            default:
                f.push_back({cat, FieldMatch::Range, 0LL, std::string("B"), std::string("gz")});
                break;
            }
        }
        Table<ScheduleRecord> t(*ds, def);
        ASSERT_EQ(t.open(), Level::Benign);
        t.setOrder(def.findKey("KeyDate"));
        t.setFilter(f);
        std::size_t read = 0;
        Moment last{};
        while (t.tryNext() == Level::Benign) {
            ++read;
            std::vector<std::variant<long long, std::string>> values;
            for (int i = 0; i < def.valueCount(); ++i)
                values.push_back(t.value(i));
            ASSERT_TRUE(filterAccepts(def, f, values)) << "round " << round << ": " << t.rec.Description;
            const Moment m{t.rec.Date, t.rec.Time};
            ASSERT_GE(m, last);
            last = m;
        }
        std::size_t expected = 0;
        for (const Row& r : rows) {
            Table<ScheduleRecord> probe(*ds, def);
            std::vector<std::variant<long long, std::string>> values(
                static_cast<std::size_t>(def.valueCount()));
            for (int i = 0; i < def.valueCount(); ++i)
                values[static_cast<std::size_t>(i)] = probe.value(i);
            // As stored: cut to the field and without trailing blanks.
            values[static_cast<std::size_t>(desc)] =
                fitText(r.description, FieldType::String, def.field(desc).width);
            values[static_cast<std::size_t>(cat)] =
                fitText(r.category, FieldType::String, def.field(cat).width);
            values[static_cast<std::size_t>(date)] = static_cast<long long>(r.date);
            values[static_cast<std::size_t>(field("Time"))] = static_cast<long long>(r.time);
            values[static_cast<std::size_t>(disabled)] = static_cast<long long>(r.disabled);
            values[static_cast<std::size_t>(field("TaskType"))] = std::string("Display Message");
            if (filterAccepts(def, f, values)) ++expected;
        }
        ASSERT_EQ(read, expected) << "round " << round;
    }
}

// Numbered views: the count, any stretch of rows read from the front or from
// the end, the view read in pieces from a cursor, and the row of each record
// agree with walking the key, for random filters, in forward and reverse key
// order and sorted by a field.
TEST_F(RecordFilters, NumberedViewsAgreeWithTheKeyWalk) {
    std::mt19937 rng(11);
    const std::vector<std::string> words = {"alpha", "Beta", "beta", "GAMMA", "al", ""};
    for (int i = 0; i < 400; ++i)
        add(words[rng() % words.size()] + " " + std::to_string(rng() % 50), words[rng() % words.size()],
            static_cast<Date>(80000 + rng() % 400), static_cast<Time>(rng() % 4),
            static_cast<int>(rng() % 2));
    const int cat = field("Category"), date = field("Date"), disabled = field("Disabled");
    const int keyDate = def.findKey("KeyDate"), keyCategory = def.findKey("KeyCategory");
    struct Order {
        FileManager::ViewOrder order;
        int sortedBy; // -1: the key walk itself gives the order
    };
    const std::vector<Order> orders = {
        {{keyDate, -1, false}, -1},
        {{keyDate, -1, true}, -1},
        {{keyCategory, -1, false}, -1},
        {{keyDate, field("Time"), false}, field("Time")},
        {{keyDate, field("Description"), true}, field("Description")},
    };
    for (int round = 0; round < 40; ++round) {
        RecordFilter f;
        if (rng() % 2) f.push_back({disabled, FieldMatch::Equals, static_cast<long long>(rng() % 2), {}, {}});
        if (rng() % 2) f.push_back({cat, FieldMatch::Equals, words[rng() % words.size()], {}, {}});
        if (rng() % 3 == 0)
            f.push_back({date, FieldMatch::InMonth, static_cast<long long>(1 + rng() % 12), {}, {}});
        for (const Order& o : orders) {
            // The key walk: record IDs in key order.
            Table<ScheduleRecord> walk(*ds, def);
            ASSERT_EQ(walk.open(), Level::Benign);
            walk.setOrder(o.order.key);
            walk.setFilter(f);
            std::vector<long long> walked;
            while (walk.tryNext() == Level::Benign)
                walked.push_back(walk.currentRowId());
            if (o.order.reverse) std::reverse(walked.begin(), walked.end());

            Table<ScheduleRecord> t(*ds, def);
            ASSERT_EQ(t.open(), Level::Benign);
            t.setFilter(f);
            const long long total = t.viewCount(o.order);
            ASSERT_EQ(total, static_cast<long long>(walked.size())) << "round " << round;
            std::vector<long long> all(walked.size(), 0);
            std::vector<std::variant<long long, std::string>> sortValues(walked.size());
            ASSERT_EQ(t.readView(o.order, 0, static_cast<int>(total) + 5,
                                 [&](long long row) {
                                     all[static_cast<std::size_t>(row)] = t.currentRowId();
                                     if (o.sortedBy >= 0)
                                         sortValues[static_cast<std::size_t>(row)] = t.value(o.sortedBy);
                                 }),
                      Level::Benign);
            if (o.sortedBy < 0) {
                ASSERT_EQ(all, walked) << "round " << round;
            } else {
                // Sorted: the same records, in the field's order (letter case aside).
                ASSERT_TRUE(std::is_permutation(all.begin(), all.end(), walked.begin(), walked.end()));
                for (std::size_t i = 1; i < sortValues.size(); ++i) {
                    auto a = sortValues[i - 1], b = sortValues[i];
                    if (std::holds_alternative<std::string>(a)) {
                        a = text::lowerAscii(std::get<std::string>(a));
                        b = text::lowerAscii(std::get<std::string>(b));
                    }
                    ASSERT_TRUE(o.order.reverse ? !(a < b) : !(b < a)) << "round " << round << " row " << i;
                }
            }
            // Random stretches, read from the front and (past the middle) from the end.
            for (int k = 0; k < 5 && total > 0; ++k) {
                const long long first = static_cast<long long>(rng() % static_cast<unsigned>(total));
                const int count = 1 + static_cast<int>(rng() % 30);
                std::vector<long long> got;
                std::vector<long long> rows;
                ASSERT_EQ(t.readView(
                              o.order, first, count,
                              [&](long long row) {
                                  rows.push_back(row);
                                  got.push_back(t.currentRowId());
                              },
                              k % 2 ? total : -1),
                          Level::Benign);
                const long long end = std::min(total, first + count);
                ASSERT_EQ(static_cast<long long>(got.size()), end - first);
                for (std::size_t i = 0; i < got.size(); ++i)
                    ASSERT_EQ(got[i], all[static_cast<std::size_t>(rows[i])]) << "row " << rows[i];
            }
            for (std::size_t i = 0; i < all.size(); i += 7)
                ASSERT_EQ(t.viewRow(o.order, all[i]), static_cast<long long>(i)) << "round " << round;
            // In pieces from a cursor: the same rows in the same order.
            FileManager::ViewCursor cursor;
            std::vector<long long> pieces;
            const int piece = 1 + static_cast<int>(rng() % 9);
            for (std::size_t before = 0;; before = pieces.size()) {
                ASSERT_EQ(
                    t.readViewAfter(o.order, cursor, piece, [&] { pieces.push_back(t.currentRowId()); }),
                    Level::Benign);
                if (pieces.size() - before < static_cast<std::size_t>(piece)) break;
            }
            ASSERT_EQ(pieces, all) << "round " << round << " pieces of " << piece;
        }
    }
    // A record deleted between two pieces, the last one read included, shifts nothing.
    {
        Table<ScheduleRecord> t(*ds, def);
        ASSERT_EQ(t.open(), Level::Benign);
        const FileManager::ViewOrder order{keyDate, -1, false};
        std::vector<long long> all;
        std::vector<std::int32_t> ids;
        FileManager::ViewCursor whole;
        ASSERT_EQ(t.readViewAfter(order, whole, 1000000,
                                  [&] {
                                      all.push_back(t.currentRowId());
                                      ids.push_back(t.rec.ID);
                                  }),
                  Level::Benign);
        ASSERT_GT(all.size(), 20u);
        FileManager::ViewCursor cursor;
        std::vector<long long> got;
        ASSERT_EQ(t.readViewAfter(order, cursor, 10, [&] { got.push_back(t.currentRowId()); }),
                  Level::Benign);
        Table<ScheduleRecord> other(*ds, def);
        ASSERT_EQ(other.open(), Level::Benign);
        for (std::int32_t gone : {ids[9], ids[12]}) {
            other.rec.ID = gone;
            ASSERT_EQ(other.fetch("KeyID"), Level::Benign);
            ASSERT_EQ(other.deleteRecord(), Level::Benign);
        }
        ASSERT_EQ(t.readViewAfter(order, cursor, 1000000, [&] { got.push_back(t.currentRowId()); }),
                  Level::Benign);
        all.erase(all.begin() + 12);
        EXPECT_EQ(got, all);
    }
    // A record outside the view has no row.
    Table<ScheduleRecord> t(*ds, def);
    ASSERT_EQ(t.open(), Level::Benign);
    t.setFilter({{disabled, FieldMatch::Equals, 1LL, {}, {}}});
    ASSERT_EQ(t.first(def.findKey("KeyDate")), Level::Benign);
    const long long inView = t.currentRowId();
    t.setFilter({{disabled, FieldMatch::Equals, 0LL, {}, {}}});
    EXPECT_EQ(t.viewRow({keyDate, -1, false}, inView), -1);
}

} // namespace
