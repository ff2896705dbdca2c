#include "schedule/ui/TaskListWindows.h"

#include "data/FileManager.h"
#include "data/RelationManager.h"
#include "data/TableDefs.h"
#include "data/Text.h"
#include "schedule/Recurrence.h"
#include "schedule/ScheduleTables.h"
#include "schedule/ui/CalendarWindow.h"
#include "schedule/ui/ExceptionsWindow.h"
#include "ui/WindowParts.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace qdschedui {

namespace {

QPushButton* addButton(QWidget* parent, QHBoxLayout* row, const char* name, const char* text,
                       const char* tip) {
    return qdui::namedButton(parent, text, name, row, tip);
}

} // namespace

const std::vector<SnoozeChoice>& snoozeChoices() {
    static const std::vector<SnoozeChoice> choices{{"5 minutes", 5}, {"10 minutes", 10}, {"30 minutes", 30},
                                                   {"1 hour", 60},   {"2 hours", 120},   {"3 hours", 180},
                                                   {"-", 0},         {"Cancel", 0}};
    return choices;
}

QStringList categoryNames(qd::DataSet& ds, const qd::RecordFilter& where) {
    QStringList out;
    qd::Table<qd::CategoriesRecord> t(ds, qd::tables::Categories());
    if (t.open() != qd::Level::Benign) return out;
    t.setOrder(t.def().findKey("KeyCategory"));
    t.setFilter(where);
    while (t.tryNext() == qd::Level::Benign)
        out << QString::fromStdString(t.rec.Category);
    return out;
}

void refillCategories(QComboBox* box, qd::DataSet& ds, const QStringList& leading) {
    const QStringList names = leading + categoryNames(ds);
    QStringList shown;
    for (int i = 0; i < box->count(); ++i)
        shown << box->itemText(i);
    if (names == shown) return;
    const QString chosen = box->currentText();
    const int at = names.indexOf(chosen);
    // A choice that was never made (the list was empty) is made quietly too.
    const bool gone = at < 0 && !chosen.isEmpty();
    {
        const QSignalBlocker quiet(box);
        box->clear();
        box->addItems(names);
        box->setCurrentIndex(gone ? -1 : std::max(at, 0));
    }
    if (gone && !names.isEmpty()) box->setCurrentIndex(0);
}

QDate toQDate(qd::Date d) {
    if (d <= 0) return {};
    const qd::CivilDate c = qd::civilFromDate(d);
    return QDate(c.year, c.month, c.day);
}

qd::Date fromQDate(const QDate& d) {
    return d.isValid() ? qd::dateFromMDY(d.month(), d.day(), d.year()) : 0;
}

// ---------------------------------------------------------------------------

TaskListWindow::TaskListWindow(ScheduleUiContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setAttribute(Qt::WA_DeleteOnClose);
    model_ = new TaskListModel(context.ds, context.settings.DateFormat, this);
    model_->setCounter(context.counter);
}

TaskListWindow::~TaskListWindow() = default;

void TaskListWindow::build(QWidget* filters) {
    auto* layout = new QVBoxLayout(this);
    if (filters) layout->addWidget(filters);

    view_ = new QTableView(this);
    view_->setObjectName("TaskList");
    view_->setAccessibleName("Tasks");
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setShowGrid(false);
    view_->setWordWrap(false);
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    QHeaderView* h = view_->horizontalHeader();
    h->setSectionResizeMode(QHeaderView::Interactive);
    h->resizeSection(qd::kColType, 26);
    h->resizeSection(qd::kColStatus, 26);
    h->resizeSection(qd::kColDate, 90);
    h->resizeSection(qd::kColTime, 80);
    h->resizeSection(qd::kColDescription, 220);
    h->resizeSection(qd::kColCategory, 100);
    h->setStretchLastSection(true);
    // A click on a column's title sorts by it in the store; the type, date,
    // description and category columns can be sorted, the others put the
    // view back in its own order.
    h->setSectionsClickable(true);
    h->setSortIndicatorShown(true);
    h->setSortIndicator(-1, Qt::AscendingOrder);
    connect(h, &QHeaderView::sortIndicatorChanged, this, [this, h](int column, Qt::SortOrder order) {
        if (!TaskListModel::sortable(column)) {
            const QSignalBlocker quiet(h);
            h->setSortIndicator(-1, Qt::AscendingOrder);
            column = -1;
        }
        const int id = selectedTask();
        model_->sort(column, order);
        if (!selectTask(id) && model_->rowCount() > 0) view_->selectRow(0);
    });
    layout->addWidget(view_, 1);
    queryBar_ = new qdui::QueryBar(queryFields(), "tasks", this);
    connect(queryBar_, &qdui::QueryBar::changed, this, [this] { setView(baseView_); });
    layout->addWidget(queryBar_->shown());

    // Two rows of buttons: the task's record (editing, copies, exceptions),
    // then what is done with it and with the list; one row of thirteen does
    // not fit the window.
    auto* row = new QHBoxLayout;
    auto* row2 = new QHBoxLayout;
    QPushButton* insert = addButton(this, row, "Insert", "&Insert", "Add a task");
    QPushButton* change = addButton(this, row, "Change", "&Change", "Change the highlighted task");
    QPushButton* copy = addButton(this, row, "Copy", "Cop&y", "Add a task copied from the highlighted one");
    QPushButton* special = addButton(this, row, "Reschedule", "Rescheduling...",
                                     "Add a special event: a one-time copy of the highlighted task");
    QPushButton* remove = addButton(this, row, "Delete", "&Delete", "Delete the highlighted task");
    QPushButton* except =
        addButton(this, row, "Except", "E&xcept", "Days and times the highlighted task skips");
    row->addStretch(1);
    QPushButton* perform =
        addButton(this, row2, "PerformNow", "Perform &Now", "Perform the highlighted task now");
    QPushButton* snoozeButton =
        addButton(this, row2, "Snooze", "S&nooze", "Perform a copy of the highlighted task a little later");
    QPushButton* scripting =
        addButton(this, row2, "Scripting", "&Scripting", "Edit the script steps of the highlighted task");
    queryBar_->addButtons(row2);
    row2->addStretch(1);
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName("RowCount");
    countLabel_->setAccessibleName("Tasks in the list");
    row2->addWidget(countLabel_);
    QPushButton* refreshButton = addButton(this, row2, "Refresh", "&Refresh", "Read the list again");
    QPushButton* close = addButton(this, row2, "Close", "&Close", "Close this list");
    // The editor buttons work once the editors are set.
    connect(scripting, &QPushButton::clicked, this, &TaskListWindow::editScript);
    layout->addLayout(row);
    layout->addLayout(row2);

    connect(insert, &QPushButton::clicked, this, &TaskListWindow::insertTask);
    connect(change, &QPushButton::clicked, this, &TaskListWindow::changeTask);
    connect(copy, &QPushButton::clicked, this, &TaskListWindow::copyTask);
    connect(special, &QPushButton::clicked, this, &TaskListWindow::rescheduleTask);
    connect(view_, &QTableView::doubleClicked, this, &TaskListWindow::changeTask);
    connect(remove, &QPushButton::clicked, this, &TaskListWindow::deleteTask);
    connect(except, &QPushButton::clicked, this, &TaskListWindow::editExceptions);
    connect(perform, &QPushButton::clicked, this, &TaskListWindow::performNow);
    connect(snoozeButton, &QPushButton::clicked, this, &TaskListWindow::showSnoozePopup);
    connect(refreshButton, &QPushButton::clicked, this, &TaskListWindow::refresh);
    connect(close, &QPushButton::clicked, this, [this] { qdui::closeWindow(this); });
    connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TaskListWindow::updateButtons);
    connect(model_, &QAbstractItemModel::modelReset, this, &TaskListWindow::updateButtons);
    connect(model_, &TaskListModel::countChanged, this, &TaskListWindow::updateCount);

    version_ = qd::taskStoreVersion(context_.ds);
    poll_ = new QTimer(this);
    poll_->setInterval(1000);
    connect(poll_, &QTimer::timeout, this, &TaskListWindow::poll);
    poll_->start();
    updateButtons();
}

void TaskListWindow::updateCount() {
    const int n = model_->rowCount();
    countLabel_->setText(model_->counting() ? QString("Counting tasks...")
                         : n == 1           ? QString("1 task")
                                            : QString("%1 tasks").arg(n));
}

void TaskListWindow::setView(qd::TaskFilter filter) {
    baseView_ = filter;
    filter.where.insert(filter.where.end(), query().begin(), query().end());
    model_->setFilter(std::move(filter));
    if (model_->rowCount() > 0) view_->selectRow(0);
    updateTitle();
}

const std::vector<qdui::QueryField>& TaskListWindow::queryFields() {
    using K = qdui::QueryFieldKind;
    static const std::vector<qdui::QueryField> fields = [] {
        const qd::TableDef& t = qd::tables::Schedule();
        return std::vector<qdui::QueryField>{
            {t.findField("Description"), "Description", K::Text},
            {t.findField("Category"), "Category", K::Text},
            {t.findField("TaskType"), "Task type", K::Text},
            {t.findField("ScheduleType"), "Schedule type", K::Text},
            {t.findField("Command"), "Command", K::Text},
            {t.findField("Date"), "Date", K::Date},
            {t.findField("Time"), "Time", K::Time},
            {t.findField("ExpiryDate"), "Expiry date", K::Date},
            {t.findField("LastRunDate"), "Last performed", K::Date},
            {t.findField("ID"), "ID", K::Number},
            {t.findField("Disabled"), "Disabled", K::Flag},
            {t.findField("Completed"), "Completed", K::Flag},
            {t.findField("SkipNextTime"), "Skip next time", K::Flag},
        };
    }();
    return fields;
}

void TaskListWindow::setQuery(const qd::RecordFilter& query) {
    queryBar_->setQuery(query);
}

void TaskListWindow::openQuery() {
    queryBar_->open();
}

QPushButton* TaskListWindow::button(const QString& objectName) const {
    return findChild<QPushButton*>(objectName);
}

void TaskListWindow::updateButtons() {
    const bool any = selectedTask() != 0;
    for (const char* name : {"Delete", "PerformNow", "Snooze", "Except"})
        if (QPushButton* b = button(name)) b->setEnabled(any);
    for (const char* name : {"Change", "Copy", "Reschedule"})
        if (QPushButton* b = button(name)) b->setEnabled(any && editor_);
    if (QPushButton* b = button("Insert")) b->setEnabled(static_cast<bool>(editor_));
    if (QPushButton* b = button("Scripting")) b->setEnabled(any && scriptEditor_);
}

void TaskListWindow::setScriptEditor(std::function<void(int taskId)> editor) {
    scriptEditor_ = std::move(editor);
    updateButtons();
}

void TaskListWindow::editScript() {
    if (const int id = selectedTask(); scriptEditor_ && id != 0) scriptEditor_(id);
}

void TaskListWindow::setEditor(std::function<void(const TaskEditRequest&)> editor) {
    editor_ = std::move(editor);
    updateButtons();
}

void TaskListWindow::insertTask() {
    if (!editor_) return;
    TaskEditRequest r;
    r.kind = TaskEditRequest::New;
    r.day = pickedDay();
    editor_(r);
}

void TaskListWindow::changeTask() {
    if (const int id = selectedTask(); editor_ && id != 0) editor_({TaskEditRequest::Change, id, 0, {}});
}

void TaskListWindow::copyTask() {
    if (const int id = selectedTask(); editor_ && id != 0) editor_({TaskEditRequest::Copy, id, 0, {}});
}

void TaskListWindow::rescheduleTask() {
    if (const int id = selectedTask(); editor_ && id != 0) editor_({TaskEditRequest::Reschedule, id, 0, {}});
}

int TaskListWindow::selectedTask() const {
    if (!view_) return 0;
    const QModelIndexList rows = view_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return 0;
    return model_->data(rows.first(), TaskListModel::kIdRole).toInt();
}

bool TaskListWindow::selectTask(int id) {
    if (id == 0) return false;
    const int row = model_->rowOfTask(id);
    if (row < 0) return false;
    view_->selectRow(row);
    view_->scrollTo(model_->index(row, 0));
    return true;
}

void TaskListWindow::refresh() {
    reloadChoices();
    const int id = selectedTask();
    const int row = view_->currentIndex().row();
    const int scroll = view_->verticalScrollBar()->value();
    model_->refresh();
    // The store says where the selected task lies now, however far it moved.
    const int found = model_->rowOfTask(id);
    if (found >= 0)
        view_->selectRow(found);
    else if (model_->rowCount() > 0)
        view_->selectRow(std::min(std::max(row, 0), model_->rowCount() - 1));
    view_->verticalScrollBar()->setValue(scroll);
    version_ = qd::taskStoreVersion(context_.ds);
    // A failing store is reported once, not at every tick, until a read works again.
    if (model_->error().isEmpty()) {
        errorShown_ = false;
    } else if (!errorShown_) {
        errorShown_ = true;
        context_.ui.message("Task List",
                            "The list could not be read completely: " + model_->error().toStdString(),
                            qd::MessageIcon::Exclamation);
    }
}

void TaskListWindow::poll() {
    const long long v = qd::taskStoreVersion(context_.ds);
    if (v != version_) refresh();
}

bool TaskListWindow::readTask(int id, qd::ScheduleRecord& task) {
    qd::Table<qd::ScheduleRecord> t(context_.ds, qd::tables::Schedule());
    if (t.open() != qd::Level::Benign) return false;
    t.rec.ID = id;
    if (t.fetch("KeyID") != qd::Level::Benign) {
        context_.ui.message("Task List", "The highlighted task is not there any more.",
                            qd::MessageIcon::Exclamation);
        refresh();
        return false;
    }
    task = t.rec;
    return true;
}

void TaskListWindow::performNow() {
    qd::ScheduleRecord task;
    if (const int id = selectedTask(); id == 0 || !readTask(id, task)) return;
    context_.execution.performTaskNow(task);
}

void TaskListWindow::snooze(int minutes) {
    qd::ScheduleRecord task;
    if (const int id = selectedTask(); minutes <= 0 || id == 0 || !readTask(id, task)) return;
    if (context_.execution.snoozeTask(task, minutes) == 0) {
        context_.ui.message("Snooze", "The snooze task could not be saved.", qd::MessageIcon::Exclamation);
        return;
    }
    if (context_.tasksChanged)
        context_.tasksChanged();
    else
        refresh();
}

void TaskListWindow::showSnoozePopup() {
    QMenu menu(this);
    menu.setObjectName("SnoozeMenu");
    for (const SnoozeChoice& c : snoozeChoices()) {
        if (QString(c.text) == "-") {
            menu.addSeparator();
            continue;
        }
        QAction* a = menu.addAction(c.text);
        a->setData(c.minutes);
    }
    int minutes = 0;
    connect(&menu, &QMenu::triggered, this, [&minutes](QAction* a) { minutes = a->data().toInt(); });
    QPushButton* b = button("Snooze");
    menu.exec(b ? b->mapToGlobal(QPoint(0, b->height())) : QCursor::pos());
    // "Cancel" and closing the popup do nothing.
    if (minutes > 0) snooze(minutes);
}

void TaskListWindow::deleteTask() {
    const int id = selectedTask();
    if (id == 0) return;
    qd::Table<qd::ScheduleRecord> t(context_.ds, qd::tables::Schedule());
    if (t.open() != qd::Level::Benign) return;
    t.rec.ID = id;
    if (t.fetch("KeyID") != qd::Level::Benign) {
        context_.ui.message("Task List", "The highlighted task is not there any more.",
                            qd::MessageIcon::Exclamation);
        refresh();
        return;
    }
    // The task goes with its script steps, per-user rows and contact links, in
    // one transaction, after the delete question.
    if (qd::RelationManager(t).deleteRecord(true) != qd::Level::Benign) return;
    if (context_.tasksChanged)
        context_.tasksChanged();
    else
        refresh();
}

void TaskListWindow::editExceptions() {
    qd::ScheduleRecord task;
    if (const int id = selectedTask(); id == 0 || !readTask(id, task)) return;
    // These rules never carry exceptions: a save would clear whatever was ticked.
    const qd::RuleType rule = qd::ruleTypeOf(task.ScheduleType);
    if (rule == qd::RuleType::Once || rule == qd::RuleType::DayOfWeek) {
        context_.ui.message(
            "Exceptions",
            "A task performed once or on chosen days of the week has no exceptions: choose its "
            "days instead.",
            qd::MessageIcon::Information);
        return;
    }
    HolidayUiContext holidays{context_.ds, context_.ui, context_.clock, context_.settings.DateFormat};
    ExceptionsWindow w(holidays, qd::exceptionFieldsOf(task), this);
    if (runModal(context_.ui, w) != QDialog::Accepted) return;
    // Nothing changed (the stored texts lose their trailing blanks): nothing to save.
    qd::ExceptionFields before = qd::exceptionFieldsOf(task), after = w.fields();
    for (qd::ExceptionFields* f : {&before, &after})
        f->ExceptOther = std::string(qd::text::trimRight(f->ExceptOther));
    if (after == before) return;
    if (qd::saveTaskExceptions(context_.ds, task.ID, w.fields(), context_.ui) == qd::ExceptionSave::Gone)
        context_.ui.message("Task List", "The highlighted task is not there any more.",
                            qd::MessageIcon::Exclamation);
    if (context_.tasksChanged)
        context_.tasksChanged();
    else
        refresh();
}

// ---------------------------------------------------------------------------

BrowseScheduleWindow::BrowseScheduleWindow(ScheduleUiContext& context, QWidget* parent)
    : TaskListWindow(context, parent) {
    setObjectName("BrowseSchedule");
    auto* filters = new QWidget(this);
    auto* row = new QHBoxLayout(filters);
    row->setContentsMargins(0, 0, 0, 0);
    tabs_ = new QTabBar(filters);
    tabs_->setObjectName("Views");
    tabs_->addTab("All By Date");
    tabs_->addTab("By Category");
    tabs_->addTab("Day");
    row->addWidget(tabs_);
    category_ = new QComboBox(filters);
    category_->setObjectName("Category");
    category_->setAccessibleName("Category");
    category_->addItems(categoryNames(context.ds));
    row->addWidget(category_);
    day_ = new QDateEdit(filters);
    day_->setObjectName("Day");
    day_->setAccessibleName("Day");
    day_->setCalendarPopup(true);
    day_->setDate(toQDate(context.clock.today()));
    row->addWidget(day_);
    pickDay_ = new QToolButton(filters);
    pickDay_->setObjectName("PickDay");
    pickDay_->setText("...");
    pickDay_->setAccessibleName("Calendar");
    pickDay_->setToolTip("Choose the day from the calendar");
    row->addWidget(pickDay_);
    connect(pickDay_, &QToolButton::clicked, this, &BrowseScheduleWindow::openCalendar);
    activeOnly_ = new QCheckBox("&Active only", filters);
    activeOnly_->setObjectName("ActiveOnly");
    activeOnly_->setToolTip("Only show tasks that are neither disabled nor completed");
    activeOnly_->setChecked(context.settings.ActiveOnly);
    row->addWidget(activeOnly_);
    row->addStretch(1);
    build(filters);

    // The full schedule, or today's tasks, first.
    tabs_->setCurrentIndex(context.settings.FullSchedule ? kAllByDate : kDay);
    connect(tabs_, &QTabBar::currentChanged, this, &BrowseScheduleWindow::applyView);
    connect(category_, &QComboBox::currentTextChanged, this, &BrowseScheduleWindow::applyView);
    connect(day_, &QDateEdit::dateChanged, this, &BrowseScheduleWindow::applyView);
    connect(activeOnly_, &QCheckBox::toggled, this, &BrowseScheduleWindow::applyView);
    applyView();
}

void BrowseScheduleWindow::applyView() {
    const bool active = activeOnly_->isChecked();
    const int tab = tabs_->currentIndex();
    category_->setVisible(tab == kByCategory);
    day_->setVisible(tab == kDay);
    pickDay_->setVisible(tab == kDay);
    if (tab == kByCategory)
        setView(qd::byCategory(category_->currentText().toStdString(), active));
    else if (tab == kDay)
        setView(qd::oneDay(fromQDate(day_->date()), active));
    else
        setView(qd::allByDate(active));
}

void BrowseScheduleWindow::reloadChoices() {
    if (category_) refillCategories(category_, context_.ds);
}

void BrowseScheduleWindow::updateTitle() {
    setWindowTitle(QString::fromStdString(qd::scheduleListTitle(
        context_.settings.MultiUser, context_.settings.UserID, tabs_->currentIndex() == kDay,
        fromQDate(day_->date()), context_.settings.DateFormat)));
}

qd::Date BrowseScheduleWindow::pickedDay() const {
    return tabs_->currentIndex() == kDay ? fromQDate(day_->date()) : 0;
}

void BrowseScheduleWindow::showTab(Tab tab) {
    tabs_->setCurrentIndex(tab);
}

void BrowseScheduleWindow::pickDay(qd::Date day) {
    day_->setDate(toQDate(day));
    tabs_->setCurrentIndex(kDay);
}

void BrowseScheduleWindow::pickCategory(const QString& category) {
    const int i = category_->findText(category, Qt::MatchFixedString);
    if (i >= 0) category_->setCurrentIndex(i);
    tabs_->setCurrentIndex(kByCategory);
    applyView();
}

void BrowseScheduleWindow::setActiveOnly(bool on) {
    activeOnly_->setChecked(on);
}

void BrowseScheduleWindow::openCalendar() {
    CalendarOptions options;
    options.date = fromQDate(day_->date());
    options.marks = true;
    options.offerNewTask = true;
    CalendarWindow calendar(context_.ds, context_.ui, context_.clock, context_.settings.DateFormat, options,
                            this);
    if (runModal(context_.ui, calendar) != QDialog::Accepted) return;
    pickDay(calendar.chosenDate());
    if (calendar.newTaskChosen()) emit newTaskForDay(toQDate(calendar.chosenDate()));
}

// ---------------------------------------------------------------------------

ExploreScheduleWindow::ExploreScheduleWindow(ScheduleUiContext& context, QWidget* parent)
    : TaskListWindow(context, parent) {
    setObjectName("ExploreSchedule");
    auto* filters = new QWidget(this);
    auto* row = new QHBoxLayout(filters);
    row->setContentsMargins(0, 0, 0, 0);
    auto label = [&](const char* text, QWidget* buddy) {
        auto* l = new QLabel(text, filters);
        l->setBuddy(buddy);
        row->addWidget(l);
        row->addWidget(buddy);
    };
    status_ = new QComboBox(filters);
    status_->setObjectName("Status");
    status_->setAccessibleName("Status");
    status_->addItems({"All", "Active", "Completed", "Disabled"});
    label("S&tatus:", status_);
    dates_ = new QComboBox(filters);
    dates_->setObjectName("Dates");
    dates_->setAccessibleName("Date");
    dates_->addItems({"All", "Today", "Yesterday", "Tomorrow", "This Week", "This Month", "Custom"});
    label("D&ate:", dates_);
    first_ = new QDateEdit(QDate(1999, 1, 1), filters);
    first_->setObjectName("FirstDate");
    first_->setAccessibleName("First date");
    first_->setCalendarPopup(true);
    row->addWidget(first_);
    last_ = new QDateEdit(QDate(2099, 1, 1), filters);
    last_->setObjectName("LastDate");
    last_->setAccessibleName("Last date");
    last_->setCalendarPopup(true);
    row->addWidget(last_);
    auto* pickDay = new QToolButton(filters);
    pickDay->setObjectName("PickDay");
    pickDay->setText("...");
    pickDay->setAccessibleName("Calendar");
    pickDay->setToolTip("Show the tasks of one day chosen from the calendar");
    row->addWidget(pickDay);
    connect(pickDay, &QToolButton::clicked, this, &ExploreScheduleWindow::openCalendar);
    category_ = new QComboBox(filters);
    category_->setObjectName("Category");
    category_->setAccessibleName("Category");
    category_->addItem("All");
    category_->addItems(categoryNames(context.ds));
    label("Cate&gory:", category_);
    row->addStretch(1);
    build(filters);

    for (QComboBox* c : {status_, dates_, category_})
        connect(c, &QComboBox::currentIndexChanged, this, &ExploreScheduleWindow::readControls);
    for (QDateEdit* d : {first_, last_})
        connect(d, &QDateEdit::dateChanged, this, &ExploreScheduleWindow::readControls);
    readControls();
}

void ExploreScheduleWindow::readControls() {
    if (updating_) return;
    qd::ExploreChoice c;
    c.status = static_cast<qd::ExploreStatus>(std::max(0, status_->currentIndex()));
    c.dates = static_cast<qd::ExploreDates>(std::max(0, dates_->currentIndex()));
    if (c.dates == qd::ExploreDates::Custom) {
        c.first = fromQDate(first_->date());
        c.last = fromQDate(last_->date());
    }
    if (category_->currentIndex() > 0) c.category = category_->currentText().toStdString();
    first_->setVisible(c.dates == qd::ExploreDates::Custom);
    last_->setVisible(c.dates == qd::ExploreDates::Custom);
    choice_ = c;
    setView(qd::exploreFilter(choice_, context_.clock.today()));
}

void ExploreScheduleWindow::choose(const qd::ExploreChoice& choice) {
    updating_ = true;
    status_->setCurrentIndex(static_cast<int>(choice.status));
    dates_->setCurrentIndex(static_cast<int>(choice.dates));
    if (choice.first != 0) first_->setDate(toQDate(choice.first));
    if (choice.last != 0) last_->setDate(toQDate(choice.last));
    const int i = choice.category.empty()
                      ? 0
                      : category_->findText(QString::fromStdString(choice.category), Qt::MatchFixedString);
    category_->setCurrentIndex(std::max(0, i));
    updating_ = false;
    readControls();
}

void ExploreScheduleWindow::pickDay(qd::Date day) {
    if (day == 0) return;
    qd::ExploreChoice c = choice_;
    const bool today = day == context_.clock.today();
    c.dates = today ? qd::ExploreDates::Today : qd::ExploreDates::Custom;
    c.first = c.last = today ? 0 : day;
    choose(c);
}

void ExploreScheduleWindow::openCalendar() {
    CalendarOptions options;
    options.date = choice_.dates == qd::ExploreDates::Custom && choice_.first != 0 ? choice_.first
                                                                                   : context_.clock.today();
    options.marks = true;
    CalendarWindow calendar(context_.ds, context_.ui, context_.clock, context_.settings.DateFormat, options,
                            this);
    if (runModal(context_.ui, calendar) == QDialog::Accepted) pickDay(calendar.chosenDate());
}

void ExploreScheduleWindow::reloadChoices() {
    if (category_) refillCategories(category_, context_.ds, {"All"});
}

void ExploreScheduleWindow::updateTitle() {
    setWindowTitle(QString::fromStdString(qd::exploreTitle(choice_, context_.settings.DateFormat)));
}

} // namespace qdschedui
