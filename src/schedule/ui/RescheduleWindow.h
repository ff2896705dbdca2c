// "Reschedule All Tasks": asks for a moment in the future and moves every task to its
// first occurrence after it, behind a progress window that can be cancelled. A
// cancelled run leaves every task either moved or as it was.
#pragma once

#include "data/Calendar.h"
#include "schedule/BatchOperations.h"
#include "schedule/ui/TaskListWindows.h"
#include "ui/ProgressWindow.h"

#include <QDialog>

#include <memory>

class QLineEdit;

namespace qdschedui {

class RescheduleWindow : public QDialog {
    Q_OBJECT
public:
    // The moment offered is `start` (GLO:Date, GLO:Time), or now plus a minute when
    // that is not later.
    RescheduleWindow(ScheduleUiContext& context, qd::Moment start, QWidget* parent = nullptr);

    QLineEdit* dateField() const { return date_; }
    QLineEdit* timeField() const { return time_; }
    // The moment the run used (after OK).
    qd::Moment moment() const { return moment_; }
    const qd::RescheduleStats& stats() const { return stats_; }
    // The run finished (not cancelled, no failed write).
    bool completed() const { return completed_; }
    void pickDate();

    // Checks the moment and runs; a moment that is not in the future keeps the window
    // open with the date selected.
    void accept() override;

    // Called with the progress before the run starts (tests cancel through it).
    std::function<void(qdui::QtProgress&)> onProgress;

private:
    ScheduleUiContext& context_;
    QLineEdit* date_ = nullptr;
    QLineEdit* time_ = nullptr;
    qd::Moment moment_;
    qd::RescheduleStats stats_;
    bool completed_ = false;
};

} // namespace qdschedui
