#include "schedule/ui/ExceptionsWindow.h"

#include "data/Pictures.h"
#include "data/Text.h"
#include "schedule/ui/CalendarWindow.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qdschedui {

namespace {

constexpr const char* kTimePicture = "@t1";
const char* const kShiftTexts[3] = {qd::kShiftSkip, qd::kShiftPrevious, qd::kShiftNext};
const char* const kDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                  "Thursday", "Friday", "Saturday"};

QCheckBox* addCheck(QWidget* parent, QBoxLayout* layout, const char* name, const char* text, bool on) {
    auto* c = new QCheckBox(text, parent);
    c->setObjectName(name);
    c->setAccessibleName(QString(text).remove('&').remove(':'));
    c->setChecked(on);
    layout->addWidget(c);
    return c;
}

QString timeText(qd::Time t) {
    return QString::fromStdString(qd::formatTime(t, kTimePicture));
}

// The time a field stands for: the original value while the text still shows it (so
// seconds the field does not show are kept), otherwise what was typed; blank is 0.
std::optional<qd::Time> readTime(const QLineEdit* field, qd::Time original, std::string* error) {
    const QString text = field->text().trimmed();
    if (text == timeText(original)) return original;
    return qd::parseTime(text.toStdString(), kTimePicture, error);
}

} // namespace

ExceptionsWindow::ExceptionsWindow(HolidayUiContext& context, const qd::ExceptionFields& fields,
                                   QWidget* parent)
    : QDialog(parent), context_(context), original_(fields) {
    setObjectName("ExceptionsWindow");
    setWindowTitle("Exceptions");
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("ExceptionTabs");
    layout->addWidget(tabs_, 1);

    // --- Standard
    auto* standard = new QWidget(tabs_);
    standard->setObjectName("Standard");
    auto* s = new QVBoxLayout(standard);
    auto* action = new QGroupBox("E&xception Action", standard);
    action->setObjectName("ExceptionAction");
    auto* a = new QVBoxLayout(action);
    const char first = qd::text::trimRight(fields.ShiftType).empty() ? ' ' : fields.ShiftType.front();
    const int chosen = first == 'N' ? 2 : first == 'P' ? 1 : 0;
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(kShiftTexts[i], action);
        r->setObjectName(QString("Shift%1").arg(i));
        r->setAccessibleName(kShiftTexts[i]);
        r->setChecked(i == chosen);
        a->addWidget(r);
        shift_[static_cast<std::size_t>(i)] = r;
    }
    s->addWidget(action);

    // Weekdays are never excluded together with weekends: weekends win.
    weekends_ = addCheck(standard, s, "ExceptWeekends", "Except &weekends", fields.ExceptWeekends != 0);
    weekdays_ = addCheck(standard, s, "ExceptWeekdays", "Except week&days",
                         fields.ExceptWeekdays != 0 && fields.ExceptWeekends == 0);
    holidays_ = addCheck(standard, s, "ExceptHolidays", "Except &holidays", fields.ExceptHolidays != 0);
    timeRange_ = addCheck(standard, s, "ExceptTime", "Except &time range:", fields.ExceptTime != 0);
    auto* times = new QFormLayout;
    times->setContentsMargins(24, 0, 0, 0);
    begin_ = new QLineEdit(timeText(fields.ExceptTimeBegin), standard);
    begin_->setObjectName("ExceptTimeBegin");
    begin_->setAccessibleName("Begin");
    end_ = new QLineEdit(timeText(fields.ExceptTimeEnd), standard);
    end_->setObjectName("ExceptTimeEnd");
    end_->setAccessibleName("End");
    end_->setPlaceholderText("end of the day");
    times->addRow("&Begin:", begin_);
    times->addRow("&End:", end_);
    s->addLayout(times);
    auto* holidayRow = new QHBoxLayout;
    auto* holidayList = new QPushButton("Ho&lidays...", standard);
    holidayList->setObjectName("Holidays");
    holidayList->setAccessibleName("Holidays");
    holidayList->setAutoDefault(false);
    holidayRow->addWidget(holidayList);
    holidayRow->addStretch(1);
    s->addLayout(holidayRow);
    s->addStretch(1);
    tabs_->addTab(standard, "Standard");

    // --- Overrides By Day
    auto* overrides = new QWidget(tabs_);
    overrides->setObjectName("OverridesByDay");
    auto* o = new QVBoxLayout(overrides);
    auto* note =
        new QLabel("The days ticked here are not performed on either, in addition to the exceptions of "
                   "the Standard tab.",
                   overrides);
    note->setWordWrap(true);
    o->addWidget(note);
    const std::array<bool, 7> excepted = qd::exceptedWeekdays(fields.ExceptOther);
    for (int w = 0; w < 7; ++w)
        days_[static_cast<std::size_t>(w)] =
            addCheck(overrides, o, kDayNames[w], kDayNames[w], excepted[static_cast<std::size_t>(w)]);
    o->addStretch(1);
    tabs_->addTab(overrides, "Overrides By Day");

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* close = buttons->addButton("Cl&ose", QDialogButtonBox::AcceptRole);
    close->setObjectName("Close");
    close->setAccessibleName("Close");
    close->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExceptionsWindow::accept);
    layout->addWidget(buttons);

    connect(weekends_, &QCheckBox::toggled, this, &ExceptionsWindow::updateEnabled);
    connect(weekdays_, &QCheckBox::toggled, this, &ExceptionsWindow::updateEnabled);
    connect(timeRange_, &QCheckBox::toggled, this, &ExceptionsWindow::updateEnabled);
    connect(holidayList, &QPushButton::clicked, this,
            [this] { BrowseHolidaysWindow::showModal(context_, this); });
    updateEnabled();
    resize(380, sizeHint().height());
}

void ExceptionsWindow::updateEnabled() {
    weekdays_->setEnabled(!weekends_->isChecked());
    weekends_->setEnabled(!weekdays_->isChecked());
    begin_->setEnabled(timeRange_->isChecked());
    end_->setEnabled(timeRange_->isChecked());
}

qd::ExceptionFields ExceptionsWindow::fields() const {
    qd::ExceptionFields f = original_;
    for (std::size_t i = 0; i < shift_.size(); ++i)
        if (shift_[i]->isChecked()) f.ShiftType = kShiftTexts[i];
    f.ExceptWeekends = weekends_->isChecked() ? 1 : 0;
    f.ExceptWeekdays = weekdays_->isChecked() && !weekends_->isChecked() ? 1 : 0;
    f.ExceptHolidays = holidays_->isChecked() ? 1 : 0;
    f.ExceptTime = timeRange_->isChecked() ? 1 : 0;
    std::string error;
    if (const auto b = readTime(begin_, original_.ExceptTimeBegin, &error)) f.ExceptTimeBegin = *b;
    if (const auto e = readTime(end_, original_.ExceptTimeEnd, &error)) f.ExceptTimeEnd = *e;
    std::array<bool, 7> days{};
    for (std::size_t w = 0; w < days.size(); ++w)
        days[w] = days_[w]->isChecked();
    f.ExceptOther = qd::exceptOtherText(days);
    return f;
}

void ExceptionsWindow::accept() {
    for (auto [field, original, name] : {std::tuple{begin_, original_.ExceptTimeBegin, "Begin"},
                                         std::tuple{end_, original_.ExceptTimeEnd, "End"}}) {
        std::string error;
        if (readTime(field, original, &error)) continue;
        context_.ui.message("Invalid Time",
                            std::string(name) + ": \"" + field->text().toStdString() + "\" is not a time. " +
                                error,
                            qd::MessageIcon::Exclamation);
        tabs_->setCurrentIndex(0);
        field->setFocus();
        field->selectAll();
        return;
    }
    QDialog::accept();
}

} // namespace qdschedui
