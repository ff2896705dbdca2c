#include "schedule/ui/CalendarWindow.h"

#include "data/Pictures.h"
#include "ui/QtUserInterface.h"
#include "ui/WindowParts.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qdschedui {

namespace {

const char* const kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kDateProperty = "calendarDate";

QPushButton* addButton(QWidget* parent, QBoxLayout* row, const char* name, const char* text) {
    QPushButton* b = qdui::namedButton(parent, text, name, row);
    b->setAutoDefault(false);
    return b;
}

QString marksDescription(const qd::DayMarks& m) {
    QStringList parts;
    if (!m.holiday.empty()) parts << "Holiday: " + QString::fromStdString(m.holiday);
    if (m.due > 0) parts << QString::number(m.due) + (m.due == 1 ? " task due" : " tasks due");
    if (m.done > 0) parts << QString::number(m.done) + " done";
    return parts.join("; ");
}

} // namespace

int runModal(qd::UserInterface& ui, QDialog& dialog) {
    if (auto* qt = dynamic_cast<qdui::QtUserInterface*>(&ui)) return qt->runDialog(dialog);
    return dialog.exec();
}

CalendarWindow::CalendarWindow(qd::DataSet& ds, qd::UserInterface& ui, const qd::Clock& clock,
                               const std::string& dateFormat, CalendarOptions options, QWidget* parent)
    : QDialog(parent), ds_(ds), ui_(ui), clock_(clock), dateFormat_(dateFormat),
      options_(std::move(options)) {
    setObjectName("Calendar");
    given_ = options_.date != 0 ? options_.date : clock_.today();
    chosen_ = given_;
    focus_ = given_;
    month_ = qd::calendarMonthOf(given_);
    const qd::ScheduleRecord* rule = options_.rule ? &*options_.rule : nullptr;
    setWindowTitle(QString::fromStdString(qd::calendarWindowTitle(options_.title, rule)));

    auto* layout = new QVBoxLayout(this);
    monthLabel_ = new QLabel(this);
    monthLabel_->setObjectName("Month");
    monthLabel_->setAlignment(Qt::AlignCenter);
    QFont bold = monthLabel_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    monthLabel_->setFont(bold);
    layout->addWidget(monthLabel_);
    auto* top = new QHBoxLayout;
    QPushButton* prevYear = addButton(this, top, "PreviousYear", "Previous Year");
    QPushButton* prevMonth = addButton(this, top, "PreviousMonth", "Previous month");
    top->addStretch(1);
    QPushButton* nextMonthButton = addButton(this, top, "NextMonth", "Next month");
    QPushButton* nextYearButton = addButton(this, top, "NextYear", "Next year");
    layout->addLayout(top);

    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    for (int w = 0; w < 7; ++w) {
        auto* head = new QLabel(kWeekdays[w], this);
        head->setAlignment(Qt::AlignCenter);
        grid->addWidget(head, 0, w);
    }
    for (int i = 0; i < qd::kCalendarDays; ++i) {
        auto* b = new QToolButton(this);
        b->setMinimumSize(40, 34);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setAutoRaise(false);
        b->installEventFilter(this);
        if (options_.offerNewTask) b->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(b, &QToolButton::clicked, this, [this, b] { chooseDay(b->property(kDateProperty).toInt()); });
        connect(b, &QToolButton::customContextMenuRequested, this, [this, b](const QPoint& at) {
            QMenu menu(this);
            QAction* add = menu.addAction("&New Task on This Day");
            if (menu.exec(b->mapToGlobal(at)) != add) return;
            setFocusDay(b->property(kDateProperty).toInt());
            button("NewTask")->click();
        });
        grid->addWidget(b, 1 + i / 7, i % 7);
        days_.push_back(b);
    }
    if (options_.marks) {
        // The month with, beside it, the tasks of the day in focus or under the mouse.
        auto* body = new QHBoxLayout;
        body->addLayout(grid, 3);
        auto* side = new QVBoxLayout;
        dayTitle_ = new QLabel(this);
        dayTitle_->setObjectName("DayTitle");
        side->addWidget(dayTitle_);
        dayTasks_ = new QListWidget(this);
        dayTasks_->setObjectName("DayTasks");
        dayTasks_->setAccessibleName("Tasks of the day");
        dayTasks_->setFocusPolicy(Qt::NoFocus);
        dayTasks_->setMinimumWidth(190);
        side->addWidget(dayTasks_, 1);
        body->addLayout(side, 2);
        layout->addLayout(body, 1);
    } else {
        layout->addLayout(grid, 1);
    }

    if (options_.marks) {
        auto* legend =
            new QLabel("<b>Bold</b>: tasks due &nbsp; <span style='color:#c00000'>Red</span>: holiday "
                       "&nbsp; <u>Underlined</u>: tasks done",
                       this);
        legend->setObjectName("Legend");
        layout->addWidget(legend);
    }

    auto* bottom = new QHBoxLayout;
    QPushButton* today = addButton(this, bottom, "Today", "&Today");
    if (options_.offerNewTask) {
        QPushButton* add = addButton(this, bottom, "NewTask", "&New Task");
        add->setToolTip("Add a task on the day in focus");
        // The signal carries the day; it is emitted once the window is closed.
        connect(add, &QPushButton::clicked, this, [this] {
            chosen_ = focus_;
            newTask_ = true;
            accept();
            const qd::CivilDate c = qd::civilFromDate(chosen_);
            emit newTaskForDay(QDate(c.year, c.month, c.day));
        });
    }
    bottom->addStretch(1);
    QPushButton* cancel = addButton(this, bottom, "Cancel", "Cancel");
    layout->addLayout(bottom);

    connect(prevYear, &QPushButton::clicked, this, [this] { showMonth(qd::previousYear(month_)); });
    connect(nextYearButton, &QPushButton::clicked, this, [this] { showMonth(qd::nextYear(month_)); });
    connect(prevMonth, &QPushButton::clicked, this, [this] { showMonth(qd::previousMonth(month_)); });
    connect(nextMonthButton, &QPushButton::clicked, this, [this] { showMonth(qd::nextMonth(month_)); });
    connect(today, &QPushButton::clicked, this, [this] {
        chosen_ = clock_.today();
        accept();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { chosen_ = given_; });

    fillPage();
    if (QToolButton* b = dayButton(given_)) b->setFocus();
}

QPushButton* CalendarWindow::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

QString CalendarWindow::monthText() const {
    return monthLabel_->text();
}

void CalendarWindow::showMonth(qd::CalendarMonth month) {
    month_ = month;
    fillPage();
}

QToolButton* CalendarWindow::dayButton(qd::Date day) const {
    const qd::Date first = qd::firstShownDay(month_);
    if (day < first || day >= first + qd::kCalendarDays) return nullptr;
    return days_[static_cast<std::size_t>(day - first)];
}

qd::DayMarks CalendarWindow::marksOf(qd::Date day) const {
    const auto it = marks_.find(day);
    return it == marks_.end() ? qd::DayMarks{} : it->second;
}

void CalendarWindow::fillPage() {
    monthLabel_->setText(QString::fromStdString(qd::calendarMonthText(month_)));
    const qd::Date first = qd::firstShownDay(month_);
    const qd::ScheduleRecord* rule = options_.rule ? &*options_.rule : nullptr;
    for (int i = 0; i < qd::kCalendarDays; ++i) {
        const qd::Date day = first + i;
        QToolButton* b = days_[static_cast<std::size_t>(i)];
        b->setProperty(kDateProperty, day);
        b->setText(QString::number(qd::dayOfMonth(day)));
        b->setObjectName(QString("Day%1").arg(i));
        const QString dateText = QString::fromStdString(qd::formatUserDate(day, dateFormat_));
        b->setToolTip(dateText);
        b->setAccessibleName(dateText);
        b->setEnabled(qd::calendarDayAllowed(rule, day));
    }
    shownDay_ = dayButton(focus_) ? focus_ : qd::dateFromMDY(month_.month, 1, month_.year);
    marks_.clear();
    marker_.reset();
    ++generation_;
    if (options_.marks)
        marker_ = std::make_unique<qd::CalendarMarker>(ds_, first, first + qd::kCalendarDays - 1);
    markSome();
}

void CalendarWindow::markSome() {
    // A slice of the task table at a time: a large table is marked while the window
    // goes on answering.
    constexpr int kTasksPerStep = 200;
    constexpr qint64 kSliceMs = 40;
    if (marker_) {
        QElapsedTimer slice;
        slice.start();
        while (!marker_->step(kTasksPerStep) && slice.elapsed() < kSliceMs) {
        }
        marks_ = marker_->marks();
        if (!marker_->done()) {
            const int generation = generation_;
            QTimer::singleShot(0, this, [this, generation] {
                if (generation == generation_) markSome();
            });
        }
    }
    paintMarks();
}

bool CalendarWindow::marksComplete() const {
    return !marker_ || marker_->done();
}

void CalendarWindow::finishMarks() {
    if (!marker_) return;
    while (!marker_->step(1000)) {
    }
    marks_ = marker_->marks();
    paintMarks();
}

void CalendarWindow::showDay(qd::Date day) {
    shownDay_ = day;
    if (!dayTasks_) return;
    dayTitle_->setText("Tasks on " + QString::fromStdString(qd::formatUserDate(day, dateFormat_)) + ":");
    dayTasks_->clear();
    const qd::DayMarks m = marksOf(day);
    if (!m.holiday.empty()) dayTasks_->addItem("Holiday: " + QString::fromStdString(m.holiday));
    for (const qd::DayEntry& e : m.entries)
        dayTasks_->addItem(QString::fromStdString(qd::formatTime(e.time, "@t1")) + "  " +
                           QString::fromStdString(e.description) + (e.done ? " (done)" : ""));
    const int more = m.due + m.done - static_cast<int>(m.entries.size());
    if (more > 0 && m.entries.size() >= qd::kListedPerDay)
        dayTasks_->addItem(QString("... and %1 more").arg(more));
    if (dayTasks_->count() == 0) dayTasks_->addItem(marksComplete() ? "Nothing" : "Reading the tasks...");
}

QStringList CalendarWindow::dayListing() const {
    QStringList out;
    if (!dayTasks_) return out;
    for (int i = 0; i < dayTasks_->count(); ++i)
        out << dayTasks_->item(i)->text();
    return out;
}

void CalendarWindow::paintMarks() {
    const qd::Date first = qd::firstShownDay(month_);
    const qd::Date today = clock_.today();
    for (int i = 0; i < qd::kCalendarDays; ++i) {
        const qd::Date day = first + i;
        QToolButton* b = days_[static_cast<std::size_t>(i)];
        const qd::DayMarks m = marksOf(day);
        b->setAccessibleDescription(marksDescription(m));
        QStringList style;
        if (qd::monthOf(day) != month_.month) style << "color: #909090";
        if (!m.holiday.empty()) style << "color: #c00000";
        if (m.due > 0)
            style << "font-weight: bold"
                  << "background-color: #fff1b8";
        if (m.done > 0) style << "text-decoration: underline";
        if (day == today) style << "border: 2px solid #3070c0";
        b->setStyleSheet(style.isEmpty() ? QString() : "QToolButton { " + style.join("; ") + " }");
    }
    showDay(shownDay_);
}

void CalendarWindow::setFocusDay(qd::Date day) {
    if (!dayButton(day)) showMonth(qd::calendarMonthOf(day));
    if (QToolButton* b = dayButton(day)) b->setFocus();
    focus_ = day;
}

bool CalendarWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::Enter) {
        const QVariant d = watched->property(kDateProperty);
        if (d.isValid()) {
            if (event->type() == QEvent::FocusIn) focus_ = d.toInt();
            showDay(d.toInt());
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool CalendarWindow::chooseDay(qd::Date day) {
    const qd::ScheduleRecord* rule = options_.rule ? &*options_.rule : nullptr;
    if (day <= 0 || !qd::calendarDayAllowed(rule, day)) return false;
    focus_ = day;
    if (day < clock_.today() && !ui_.ask(qd::kEarlierDateTitle, qd::kEarlierDateText)) return false;
    chosen_ = day;
    accept();
    return true;
}

qd::Date CalendarWindow::pick(qd::DataSet& ds, qd::UserInterface& ui, const qd::Clock& clock,
                              const std::string& dateFormat, CalendarOptions options, QWidget* parent) {
    CalendarWindow w(ds, ui, clock, dateFormat, std::move(options), parent);
    runModal(ui, w);
    return w.chosenDate();
}

} // namespace qdschedui
