// "Exceptions": the days and the time a task is not performed on, and what happens
// to an occurrence that falls on an excluded day. The window edits a copy of the
// task's exception fields and gives them back on "Cl&ose":
//
//   ExceptionsWindow w(holidayContext, qd::exceptionFieldsOf(task), parent);
//   if (runModal(ui, w) == QDialog::Accepted) qd::setExceptionFields(task, w.fields());
//
// Closing the window in any other way gives nothing back (result Rejected).
#pragma once

#include "schedule/Exceptions.h"
#include "schedule/ui/HolidayWindows.h"

#include <QDialog>

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace qdschedui {

class ExceptionsWindow : public QDialog {
    Q_OBJECT
public:
    ExceptionsWindow(HolidayUiContext& context, const qd::ExceptionFields& fields, QWidget* parent = nullptr);

    // The fields as the window shows them now.
    qd::ExceptionFields fields() const;

    QTabWidget* tabs() const { return tabs_; }
    QRadioButton* shiftChoice(int index) const { return shift_[static_cast<std::size_t>(index)]; }
    QCheckBox* weekends() const { return weekends_; }
    QCheckBox* weekdays() const { return weekdays_; }
    QCheckBox* holidays() const { return holidays_; }
    QCheckBox* timeRange() const { return timeRange_; }
    QLineEdit* begin() const { return begin_; }
    QLineEdit* end() const { return end_; }
    QCheckBox* day(int weekday) const { return days_[static_cast<std::size_t>(weekday)]; }

    // "Cl&ose": a time that cannot be read keeps the window open with a message.
    void accept() override;

private:
    void updateEnabled();

    HolidayUiContext& context_;
    qd::ExceptionFields original_;
    QTabWidget* tabs_ = nullptr;
    std::array<QRadioButton*, 3> shift_{};
    QCheckBox* weekends_ = nullptr;
    QCheckBox* weekdays_ = nullptr;
    QCheckBox* holidays_ = nullptr;
    QCheckBox* timeRange_ = nullptr;
    QLineEdit* begin_ = nullptr;
    QLineEdit* end_ = nullptr;
    std::array<QCheckBox*, 7> days_{};
};

} // namespace qdschedui
