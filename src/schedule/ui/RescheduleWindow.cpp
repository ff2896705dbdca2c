#include "schedule/ui/RescheduleWindow.h"

#include "data/Pictures.h"
#include "schedule/ui/CalendarWindow.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace qdschedui {

namespace {
constexpr const char* kTimePicture = "@t1";
}

// ---------------------------------------------------------------------------

RescheduleWindow::RescheduleWindow(ScheduleUiContext& context, qd::Moment start, QWidget* parent)
    : QDialog(parent), context_(context) {
    setObjectName("RescheduleAllTasks");
    setWindowTitle("Reschedule All Tasks");
    moment_ = qd::rescheduleDefaultMoment(start, context.clock.now());
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel("Every task moves to its first occurrence after this date and time:", this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    auto* dateRow = new QHBoxLayout;
    date_ = new QLineEdit(
        QString::fromStdString(qd::formatUserDate(moment_.date, context.settings.DateFormat)), this);
    date_->setObjectName("Date");
    date_->setAccessibleName("Date");
    dateRow->addWidget(date_, 1);
    auto* pick = new QToolButton(this);
    pick->setObjectName("PickDate");
    pick->setText("...");
    pick->setAccessibleName("Select date");
    pick->setToolTip("Select date");
    dateRow->addWidget(pick);
    auto* dateLabel = new QLabel("&Date:", this);
    dateLabel->setBuddy(date_);
    form->addRow(dateLabel, dateRow);
    time_ = new QLineEdit(QString::fromStdString(qd::formatTime(moment_.time, kTimePicture)), this);
    time_->setObjectName("Time");
    time_->setAccessibleName("Time");
    form->addRow("&Time:", time_);
    layout->addLayout(form);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    ok->setObjectName("OK");
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    cancel->setObjectName("Cancel");
    connect(buttons, &QDialogButtonBox::accepted, this, &RescheduleWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &RescheduleWindow::reject);
    layout->addWidget(buttons);
    connect(pick, &QToolButton::clicked, this, &RescheduleWindow::pickDate);
    resize(340, sizeHint().height());
}

void RescheduleWindow::pickDate() {
    CalendarOptions options;
    options.title = "Select date";
    const auto typed = qd::parseUserDate(date_->text().toStdString(), context_.settings.DateFormat);
    options.date = typed ? *typed : 0;
    const qd::Date day = CalendarWindow::pick(context_.ds, context_.ui, context_.clock,
                                              context_.settings.DateFormat, options, this);
    if (day != 0)
        date_->setText(QString::fromStdString(qd::formatUserDate(day, context_.settings.DateFormat)));
}

void RescheduleWindow::accept() {
    const auto date = qd::parseUserDate(date_->text().trimmed().toStdString(), context_.settings.DateFormat);
    const auto time = qd::parseTime(time_->text().trimmed().toStdString(), kTimePicture);
    const std::string error = date && time ? qd::checkRescheduleMoment(*date, *time, context_.clock.now())
                                           : std::string(qd::kRescheduleNotInFuture);
    if (!error.empty()) {
        context_.ui.message(qd::kRescheduleErrorTitle, error, qd::MessageIcon::Hand);
        date_->setFocus();
        date_->selectAll();
        return;
    }
    moment_ = {*date, *time};
    qdui::QtProgress progress(parentWidget());
    if (onProgress) onProgress(progress);
    completed_ = qd::RescheduleAllTasks(context_.ds, moment_.date, moment_.time, context_.ui, context_.clock,
                                        &progress, &stats_);
    progress.finish();
    if (context_.tasksChanged) context_.tasksChanged();
    QDialog::accept();
}

} // namespace qdschedui
