#include "schedule/ui/UserScheduleDetails.h"

#include "data/Pictures.h"
#include "schedule/TaskEditing.h"
#include "ui/QtUserInterface.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <optional>

namespace qdschedui {
namespace {

constexpr const char* kTimePicture = "@t4";

QLineEdit* addField(QFormLayout* form, QWidget* parent, const char* name, const QString& label,
                    const QString& value, bool readOnly = false) {
    auto* f = new QLineEdit(value, parent);
    f->setObjectName(name);
    f->setAccessibleName(QString(label).remove('&').remove(':'));
    f->setReadOnly(readOnly);
    auto* l = new QLabel(label, parent);
    l->setBuddy(f);
    form->addRow(l, f);
    return f;
}

QString dateText(qd::Date d, const std::string& picture) {
    return d == 0 ? QString() : QString::fromStdString(qd::formatDate(d, picture));
}

QString timeText(qd::Time t) {
    return t == 0 ? QString() : QString::fromStdString(qd::formatTime(t, kTimePicture));
}

} // namespace

UserScheduleDetails::UserScheduleDetails(const qd::QDUSDRecord& row, bool insert, qd::UserInterface& ui,
                                         std::string datePicture, QWidget* parent)
    : QDialog(parent), row_(row), ui_(ui), datePicture_(std::move(datePicture)) {
    setObjectName("UpdateQDUSD");
    setWindowTitle(insert ? "NewSchedule Details" : "Edit User Schedule Details");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Changes made here only affect this user:", this));
    auto* who = new QLabel(QString::fromStdString(row.User), this);
    who->setObjectName("User");
    QFont bold = who->font();
    bold.setBold(true);
    who->setFont(bold);
    layout->addWidget(who);
    auto* form = new QFormLayout;
    date_ = addField(form, this, "Date", "&Start:", dateText(row.Date, datePicture_));
    time_ = addField(form, this, "Time", "&Time:", timeText(row.Time));
    addField(form, this, "LastRunDate", "Last performed on:", dateText(row.LastRunDate, datePicture_), true);
    addField(form, this, "LastRunTime", "Last performed at:", timeText(row.LastRunTime), true);
    warnDate_ = addField(form, this, "AdvanceWarnDate",
                         "&Advance warning date:", dateText(row.AdvanceWarnDate, datePicture_));
    warnTime_ =
        addField(form, this, "AdvanceWarnTime", "Advance &warning time:", timeText(row.AdvanceWarnTime));
    layout->addLayout(form);
    disabled_ = new QCheckBox("&Disabled", this);
    disabled_->setObjectName("Disabled");
    disabled_->setAccessibleName("Disabled");
    disabled_->setToolTip("Do not perform this task");
    disabled_->setChecked(row.Disabled != 0);
    layout->addWidget(disabled_);
    skipNext_ = new QCheckBox("Skip &Next Time", this);
    skipNext_->setObjectName("SkipNextTime");
    skipNext_->setAccessibleName("Skip Next Time");
    skipNext_->setChecked(row.SkipNextTime != 0);
    layout->addWidget(skipNext_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &UserScheduleDetails::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &UserScheduleDetails::reject);
}

QLineEdit* UserScheduleDetails::field(const char* objectName) const {
    return findChild<QLineEdit*>(objectName);
}

void UserScheduleDetails::accept() {
    struct Read {
        QLineEdit* field;
        bool isDate;
        const char* required; // the prompt when the field must be entered
        std::int32_t* into;
    };
    qd::QDUSDRecord r = row_;
    const Read reads[] = {{date_, true, "Start", &r.Date},
                          {time_, false, "Time", &r.Time},
                          {warnDate_, true, nullptr, &r.AdvanceWarnDate},
                          {warnTime_, false, nullptr, &r.AdvanceWarnTime}};
    for (const Read& rd : reads) {
        const std::string text = rd.field->text().trimmed().toStdString();
        if (text.empty()) {
            if (rd.required) {
                ui_.message(qd::kMissingTitle, qd::mustBeEntered(rd.required), qd::MessageIcon::Exclamation);
                rd.field->setFocus();
                return;
            }
            *rd.into = 0;
            continue;
        }
        const std::optional<std::int32_t> v =
            rd.isDate ? qd::parseDate(text, datePicture_) : qd::parseTime(text, kTimePicture);
        if (!v) {
            ui_.message(rd.isDate ? "Date" : "Time",
                        "\"" + text + "\" is not a " + (rd.isDate ? "date." : "time."),
                        qd::MessageIcon::Exclamation);
            rd.field->setFocus();
            return;
        }
        *rd.into = *v;
    }
    r.Disabled = disabled_->isChecked() ? 1 : 0;
    r.SkipNextTime = skipNext_->isChecked() ? 1 : 0;
    row_ = r;
    QDialog::accept();
}

bool editUserScheduleDetails(qd::QDUSDRecord& row, bool insert, qdui::QtUserInterface& ui,
                             const std::string& datePicture) {
    UserScheduleDetails form(row, insert, ui, datePicture, ui.parentWindow());
    if (ui.runDialog(form) != QDialog::Accepted) return false;
    row = form.row();
    return true;
}

} // namespace qdschedui
