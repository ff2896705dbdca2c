// Draws the holiday list and form, the exceptions window, the calendar and the
// reschedule window with sample data into PNG files for the documentation:
// qd_holiday_screenshots OUTPUT_FOLDER
#include "UiTestSupport.h"

#include "schedule/Holidays.h"
#include "schedule/ScheduleTables.h"
#include "schedule/ui/CalendarWindow.h"
#include "schedule/ui/ExceptionsWindow.h"
#include "schedule/ui/ScheduleWindows.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTabWidget>

#include <iostream>

namespace {

bool grab(QWidget* w, const QString& file) {
    w->show();
    QApplication::processEvents();
    QWidget* frame = w->parentWidget() ? w->parentWidget() : w;
    return frame->grab().save(file);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::cerr << "usage: qd_holiday_screenshots OUTPUT_FOLDER\n";
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    qduitest::Engine e;
    e.clock.set({qd::dateFromMDY(12, 7, 2026), qd::timeFromHMS(10, 15, 0)});
    qd::TableHolidayStore holidays(e.ds);
    qd::TableSettingStore settings(e.ds);
    qd::RollHolidaysForward(holidays, settings, e.clock.today());

    auto task = [&](const char* description, int day, int hour, const char* rule) {
        qd::ScheduleRecord r = qduitest::Engine::messageTask(
            description, description, {qd::dateFromMDY(12, day, 2026), qd::timeFromHMS(hour, 0, 0)});
        r.ScheduleType = rule;
        r.Every = 1;
        r.EveryType = "week(s)";
        r.MonthRepeat = "Once";
        r.Monday = r.Wednesday = r.Friday = 1;
        return r;
    };
    e.addTask(task("Team meeting", 7, 9, "Day of Week"));
    e.addTask(task("Backup", 12, 22, "Custom"));
    e.addTask(task("Dentist", 17, 14, "Once"));
    qd::ScheduleRecord done = task("Old reminder", 3, 12, "Once");
    done.Completed = 1;
    done.Disabled = 1;
    e.addTask(done);

    if (!e.runtime->open()) return 1;
    qdschedui::ScheduleWindows windows(
        *e.frame, e.ui, {e.ds, e.runtime->settings(), e.runtime->execution(), e.clock, e.ui, {}});
    e.frame->resize(1000, 600);
    e.frame->show();
    qdschedui::HolidayUiContext& ctx = windows.holidayContext();

    bool ok = true;
    auto* list = windows.openHolidays();
    list->parentWidget()->resize(420, 380);
    ok = grab(list, out + "/holiday-list.png") && ok;
    list->parentWidget()->close();

    qd::HolidaysRecord good;
    good.HolidayDate = qd::EasterDate(2027) - 2;
    good.Holiday = "Good Friday";
    good.HolidayType = "Easter";
    {
        qdschedui::HolidayForm form(ctx, good);
        ok = grab(&form, out + "/holiday-form.png") && ok;
    }
    {
        qd::ExceptionFields f;
        f.ShiftType = qd::kShiftNext;
        f.ExceptWeekends = 1;
        f.ExceptHolidays = 1;
        f.ExceptTime = 1;
        f.ExceptTimeBegin = qd::timeFromHMS(22, 0, 0);
        f.ExceptTimeEnd = qd::timeFromHMS(6, 0, 0);
        f.ExceptOther = "   Y   ";
        qdschedui::ExceptionsWindow w(ctx, f);
        ok = grab(&w, out + "/exceptions-standard.png") && ok;
        w.tabs()->setCurrentIndex(1);
        ok = grab(&w, out + "/exceptions-overrides.png") && ok;
    }
    {
        qdschedui::CalendarOptions o;
        o.date = e.clock.today();
        o.marks = true;
        o.offerNewTask = true;
        qdschedui::CalendarWindow w(e.ds, e.ui, e.clock, e.runtime->settings().DateFormat, o);
        w.resize(580, 360);
        ok = grab(&w, out + "/calendar.png") && ok;
    }
    {
        qdschedui::ScheduleUiContext context{
            e.ds, e.runtime->settings(), e.runtime->execution(), e.clock, e.ui, {}};
        qdschedui::RescheduleWindow w(context, {});
        ok = grab(&w, out + "/reschedule-date.png") && ok;
    }
    e.runtime->close();
    return ok ? 0 : 1;
}
