#include "schedule/TaskLists.h"

#include "data/Pictures.h"
#include "data/StoreFixture.h"
#include "data/TableDefs.h"

#include <gtest/gtest.h>

using namespace qd;

namespace {

Date dmy(int d, int m, int y) {
    return dateFromMDY(m, d, y);
}

class TaskLists : public qdtest::StoreTest {
protected:
    std::int32_t add(const std::string& description, Date date, Time time,
                     const std::string& category = "General", const std::string& type = "Display Message") {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        EXPECT_EQ(t.open(), Level::Benign);
        t.rec = {};
        t.rec.Description = description;
        t.rec.Date = date;
        t.rec.Time = time;
        t.rec.Category = category;
        t.rec.TaskType = type;
        t.rec.ScheduleType = "Once";
        EXPECT_EQ(t.insert(), Level::Benign);
        return t.rec.ID;
    }
    void set(std::int32_t id, const std::function<void(ScheduleRecord&)>& change) {
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.ID = id;
        ASSERT_EQ(t.fetch("KeyID"), Level::Benign);
        change(t.rec);
        ASSERT_EQ(t.update(), Level::Benign);
    }
    std::vector<std::string> all(TaskFilter f, int page = 2) {
        TaskPager pager(*ds, std::move(f));
        std::vector<std::string> out;
        while (!pager.atEnd())
            for (const auto& r : pager.fetch(page))
                out.push_back(r.Description);
        EXPECT_EQ(pager.error(), "");
        return out;
    }
};

using V = std::vector<std::string>;

TEST_F(TaskLists, ViewsReadTheirStretchInKeyOrderAPageAtATime) {
    add("late", dmy(12, 3, 2026), 100);
    add("early", dmy(10, 3, 2026), 900);
    add("early but later", dmy(10, 3, 2026), 1000);
    add("work one", dmy(11, 3, 2026), 100, "Work");
    add("another", dmy(11, 3, 2026), 200, "Workshop");
    EXPECT_EQ(all(allByDate(false)), (V{"early", "early but later", "work one", "another", "late"}));
    EXPECT_EQ(all(byCategory("work", false)), (V{"work one"}));
    EXPECT_EQ(all(oneDay(dmy(10, 3, 2026), false)), (V{"early", "early but later"}));
    EXPECT_EQ(all(oneDay(dmy(9, 3, 2026), false)), V{});
    EXPECT_EQ(all(byCategory("Nothing", false)), V{});
}

TEST_F(TaskLists, PagerPicksUpATaskInsertedBetweenPagesInItsPlace) {
    add("a", dmy(1, 3, 2026), 100);
    add("b", dmy(2, 3, 2026), 100);
    add("d", dmy(4, 3, 2026), 100);
    TaskPager pager(*ds, allByDate(false));
    ASSERT_EQ(pager.fetch(2).size(), 2u);
    add("c", dmy(3, 3, 2026), 100);
    add("before", dmy(1, 2, 2026), 100); // before the page read: not repeated
    const auto rest = pager.fetch(10);
    ASSERT_EQ(rest.size(), 2u);
    EXPECT_EQ(rest[0].Description, "c");
    EXPECT_EQ(rest[1].Description, "d");
    EXPECT_TRUE(pager.atEnd());
    pager.restart();
    EXPECT_EQ(pager.fetch(1).at(0).Description, "before");
}

TEST_F(TaskLists, ActiveOnlyLeavesOutDisabledAndCompletedTasks) {
    add("plain", dmy(1, 3, 2026), 100);
    set(add("off", dmy(1, 3, 2026), 200), [](ScheduleRecord& r) { r.Disabled = 1; });
    set(add("done", dmy(1, 3, 2026), 300), [](ScheduleRecord& r) { r.Completed = 1; });
    EXPECT_EQ(all(allByDate(true)), V{"plain"});
    EXPECT_EQ(all(allByDate(false)).size(), 3u);
}

TEST_F(TaskLists, ExplorerFiltersCombineAndNeverListHotKeys) {
    const Date today = dmy(10, 3, 2026);
    add("today", today, 100);
    add("yesterday", today - 1, 100, "Work");
    add("tomorrow", today + 1, 100);
    add("in six days", today + 6, 100);
    add("in seven days", today + 7, 100);
    add("march last year", dmy(20, 3, 2025), 100);
    add("hot key", today, 200, "Hot Key", "Hot Key");
    set(add("disabled today", today, 300), [](ScheduleRecord& r) { r.Disabled = 1; });
    set(add("completed", today + 1, 300), [](ScheduleRecord& r) { r.Completed = 1; });

    ExploreChoice c;
    EXPECT_EQ(all(exploreFilter(c, today)).size(), 8u);
    c.dates = ExploreDates::Today;
    EXPECT_EQ(all(exploreFilter(c, today)), (V{"today", "disabled today"}));
    c.status = ExploreStatus::Active;
    EXPECT_EQ(all(exploreFilter(c, today)), V{"today"});
    c.status = ExploreStatus::Disabled;
    EXPECT_EQ(all(exploreFilter(c, today)), V{"disabled today"});
    c = {};
    c.dates = ExploreDates::Yesterday;
    EXPECT_EQ(all(exploreFilter(c, today)), V{"yesterday"});
    c.dates = ExploreDates::Tomorrow;
    c.status = ExploreStatus::Completed;
    EXPECT_EQ(all(exploreFilter(c, today)), V{"completed"});
    c = {};
    c.dates = ExploreDates::ThisWeek;
    EXPECT_EQ(all(exploreFilter(c, today)),
              (V{"today", "disabled today", "tomorrow", "completed", "in six days"}));
    c.dates = ExploreDates::ThisMonth; // the month in any year
    EXPECT_EQ(all(exploreFilter(c, today)).size(), 8u);
    c.category = "work";
    EXPECT_EQ(all(exploreFilter(c, today)), V{"yesterday"});
    c = {};
    c.dates = ExploreDates::Custom;
    c.first = today + 1;
    c.last = today + 7;
    EXPECT_EQ(all(exploreFilter(c, today)), (V{"tomorrow", "completed", "in six days", "in seven days"}));
    c.first = 0; // counts as 1 January 1995
    c.last = today - 1;
    EXPECT_EQ(all(exploreFilter(c, today)), (V{"march last year", "yesterday"}));
}

// The explorer's filters are answered by the store: a filter that shows two
// of many tasks reads two records, not all of them.
TEST_F(TaskLists, ExplorerFiltersAreAnsweredByTheStore) {
    const Date today = dmy(10, 3, 2026);
    for (int i = 0; i < 300; ++i)
        add("task " + std::to_string(i), today + i % 30, 100 + i);
    set(add("done one", today + 3, 50), [](ScheduleRecord& r) { r.Completed = 1; });
    set(add("done two", today + 40, 50), [](ScheduleRecord& r) { r.Completed = 1; });
    add("hot key", today, 50, "Hot Key", "Hot Key");
    ExploreChoice c;
    c.status = ExploreStatus::Completed;
    TaskPager pager(*ds, exploreFilter(c, today));
    std::vector<std::string> got;
    while (!pager.atEnd())
        for (const auto& r : pager.fetch(50))
            got.push_back(r.Description);
    EXPECT_EQ(got, (V{"done one", "done two"}));
    EXPECT_EQ(pager.scanned(), 2);
    // A query added to a view narrows it the same way.
    TaskFilter f = allByDate(false);
    f.where.push_back(
        {tables::Schedule().findField("Description"), FieldMatch::Contains, std::string("task 29"), {}, {}});
    TaskPager queried(*ds, f);
    EXPECT_EQ(queried.fetch(50).size(), 11u); // "task 29" and "task 290" to "task 299"
    EXPECT_EQ(queried.scanned(), 11);
}

// A list numbers its rows with the view's store conditions alone: for every
// view they must pick exactly the rows the pager shows, in the same order.
TEST_F(TaskLists, StoreConditionsDescribeEveryViewExactly) {
    const Date today = dmy(15, 6, 2026);
    int n = 0;
    for (Date d : {today - 400, today - 31, today - 1, today, today, today + 1, today + 5, today + 6,
                   today + 7, today + 30, today + 365, Date(0)}) {
        for (const char* category : {"General", "work", "Work", "Home"}) {
            const std::int32_t id = add("task " + std::to_string(n), d, 100 + n, category,
                                        n % 9 == 0 ? "Hot Key" : "Display Message");
            set(id, [&](ScheduleRecord& r) {
                r.Disabled = n % 3 == 0;
                r.Completed = n % 4 == 0;
            });
            ++n;
        }
    }
    std::vector<TaskFilter> views = {allByDate(false),          allByDate(true),
                                     byCategory("WORK", false), byCategory("Home", true),
                                     oneDay(today, false),      oneDay(today + 1, true)};
    for (auto status :
         {ExploreStatus::All, ExploreStatus::Active, ExploreStatus::Completed, ExploreStatus::Disabled})
        for (auto dates :
             {ExploreDates::All, ExploreDates::Today, ExploreDates::Yesterday, ExploreDates::Tomorrow,
              ExploreDates::ThisWeek, ExploreDates::ThisMonth, ExploreDates::Custom})
            for (const char* category : {"", "work"}) {
                ExploreChoice c;
                c.status = status;
                c.dates = dates;
                c.category = category;
                if (dates == ExploreDates::Custom) c.first = today - 31;
                views.push_back(exploreFilter(c, today));
            }
    for (std::size_t v = 0; v < views.size(); ++v) {
        const V shown = all(views[v], 3);
        Table<ScheduleRecord> t(*ds, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.setFilter(views[v].where);
        const FileManager::ViewOrder order{t.def().findKey(views[v].key), -1, false};
        ASSERT_EQ(t.viewCount(order), static_cast<long long>(shown.size())) << "view " << v;
        V numbered;
        ASSERT_EQ(t.readView(order, 0, 1000, [&](long long) { numbered.push_back(t.rec.Description); }),
                  Level::Benign);
        EXPECT_EQ(numbered, shown) << "view " << v;
    }
}

TEST_F(TaskLists, StoreVersionMovesWhenAnotherConnectionWrites) {
    add("first", dmy(1, 3, 2026), 100);
    const long long before = taskStoreVersion(*ds);
    ASSERT_GE(before, 0);
    add("own write", dmy(1, 3, 2026), 200);
    EXPECT_EQ(taskStoreVersion(*ds), before) << "the list's own connection does not count";
    {
        ErrorClass otherErrors(&ui);
        DataSet other(dir.path(), otherErrors);
        Table<ScheduleRecord> t(other, tables::Schedule());
        ASSERT_EQ(t.open(), Level::Benign);
        t.rec.Description = "elsewhere";
        ASSERT_EQ(t.insert(), Level::Benign);
    }
    EXPECT_NE(taskStoreVersion(*ds), before);
}

TEST(TaskListRows, IconsAndColoursFollowTheStateInOrder) {
    ScheduleRecord r{};
    r.TaskType = "Run Program";
    EXPECT_EQ(taskTypeIcon(r), TaskTypeIcon::Program);
    r.TaskType = "Both";
    EXPECT_EQ(taskTypeIcon(r), TaskTypeIcon::Both);
    r.TaskType = "None";
    EXPECT_EQ(taskTypeIcon(r), TaskTypeIcon::Blank);

    EXPECT_EQ(taskStatusIcon(r), TaskStatusIcon::NotDone);
    EXPECT_EQ(taskRowColour(r), TaskRowColour::Normal);
    r.Disabled = 1;
    EXPECT_EQ(taskStatusIcon(r), TaskStatusIcon::Disabled);
    EXPECT_EQ(taskRowColour(r), TaskRowColour::Grey);
    r.SkipNextTime = 1; // skip-next is tested before the disabled state
    EXPECT_EQ(taskStatusIcon(r), TaskStatusIcon::Skip);
    EXPECT_EQ(taskRowColour(r), TaskRowColour::Grey);
    r.Disabled = 0;
    EXPECT_EQ(taskRowColour(r), TaskRowColour::Blue);
    r.Completed = 1; // completed wins over skip-next
    EXPECT_EQ(taskStatusIcon(r), TaskStatusIcon::Done);
    r.Skipped = 1;
    r.Disabled = 1;
    EXPECT_EQ(taskStatusIcon(r), TaskStatusIcon::Skipped);
}

TEST(TaskListRows, TitlesNameTheDayTheUserAndTheCustomRange) {
    const Date d = dmy(10, 3, 2026);
    EXPECT_EQ(scheduleListTitle(false, "", false, d, "d3"), "View Schedule");
    EXPECT_EQ(scheduleListTitle(false, "", true, d, "d3"), "View Schedule - " + formatUserDate(d, "d3"));
    EXPECT_EQ(scheduleListTitle(true, "anna", true, d, "d3"), "View Schedule - anna");

    ExploreChoice c;
    c.dates = ExploreDates::Today;
    EXPECT_EQ(exploreTitle(c, "d3"), "List of Scheduled Tasks");
    c.dates = ExploreDates::Custom;
    c.first = c.last = d;
    EXPECT_EQ(exploreTitle(c, "d3"), "List of Scheduled Tasks - " + formatUserDate(d, "d3"));
    c.last = d + 2;
    EXPECT_EQ(exploreTitle(c, "d3"),
              "List of Scheduled Tasks - " + formatUserDate(d, "d3") + "-" + formatUserDate(d + 2, "d3"));
}

} // namespace
