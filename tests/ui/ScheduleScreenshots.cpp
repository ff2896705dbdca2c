// Draws the task list windows and the categories with sample data into PNG
// files for the documentation: qd_schedule_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "schedule/ui/ScheduleWindows.h"

#include <QApplication>
#include <QHeaderView>
#include <QTableView>
#include <QMdiArea>
#include <QMdiSubWindow>

#include <iostream>

namespace {

bool grabChild(QWidget* w, const QString& file) {
    QApplication::processEvents();
    QWidget* frame = w->parentWidget() ? w->parentWidget() : w;
    return frame->grab().save(file);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_schedule_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    qduitest::Engine e;
    for (const char* c : {"General", "Home", "Work", "Snooze"}) {
        qd::Table<qd::CategoriesRecord> t(e.ds, qd::tables::Categories());
        t.open();
        t.rec.Category = c;
        t.insert();
    }
    const qd::Date today = e.clock.today();
    struct Sample {
        const char* description;
        const char* type;
        const char* category;
        int day;
        int hour;
        const char* rule;
        int flags; // 1 disabled, 2 skip next, 4 completed
    };
    const Sample samples[] = {
        {"Weekly backup", "Run Program", "Work", 0, 17, "Day of Week", 0},
        {"Stand-up meeting", "Display Message", "Work", 0, 9, "Day of Week", 2},
        {"Water the plants", "Display Message", "Home", 1, 8, "Custom", 0},
        {"Pay the rent", "Both", "Home", 2, 10, "Monthly", 0},
        {"Old reminder", "None", "General", -3, 12, "Once", 4},
        {"Archive mail", "Run Program", "Work", 3, 22, "Monthly", 1},
        {"Dentist", "Display Message", "General", 5, 14, "Once", 0},
    };
    for (const Sample& s : samples) {
        qd::ScheduleRecord r{};
        r.Description = s.description;
        r.TaskType = s.type;
        r.Category = s.category;
        r.Date = today + s.day;
        r.Time = qd::timeFromHMS(s.hour, 0, 0);
        r.ScheduleType = s.rule;
        r.Monday = r.Tuesday = r.Wednesday = r.Thursday = r.Friday = 1;
        r.Every = 2;
        r.EveryType = "day(s)";
        r.MonthRepeat = "Once";
        r.Disabled = (s.flags & 1) != 0;
        r.SkipNextTime = (s.flags & 2) != 0;
        r.Completed = (s.flags & 4) != 0;
        e.addTask(r);
    }
    if (!e.runtime->open()) return 1;
    e.runtime->settings().FullSchedule = true;
    qdschedui::ScheduleWindows windows(
        *e.frame, e.ui, {e.ds, e.runtime->settings(), e.runtime->execution(), e.clock, e.ui, {}});
    e.frame->resize(1000, 600);
    e.frame->show();

    bool ok = true;
    auto* list = windows.openBrowse();
    list->parentWidget()->resize(900, 360);
    ok = grabChild(list, out + "/task-list.png") && ok;
    // Sorted by description, the other way round (two clicks on the title).
    list->findChild<QTableView*>("TaskList")->horizontalHeader()->setSortIndicator(qd::kColDescription,
                                                                                 Qt::DescendingOrder);
    ok = grabChild(list, out + "/task-list-sorted.png") && ok;
    list->parentWidget()->close();

    auto* explore = windows.openExplore();
    explore->parentWidget()->resize(960, 360);
    qd::ExploreChoice c;
    c.status = qd::ExploreStatus::Active;
    c.dates = qd::ExploreDates::Custom;
    c.first = today;
    c.last = today + 7;
    explore->choose(c);
    ok = grabChild(explore, out + "/explore-schedule.png") && ok;
    explore->parentWidget()->close();

    auto* categories = windows.openCategories();
    ok = grabChild(categories, out + "/task-categories.png") && ok;
    e.runtime->close();
    return ok ? 0 : 1;
}
