#include "script/ui/ScriptRunWindows.h"

#include "data/FileManager.h"
#include "data/Pictures.h"
#include "data/Text.h"
#include "script/ScriptEngine.h"
#include "script/ScriptSteps.h"
#include "script/Values.h"
#include "script/WindowTargeting.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace qdscriptui {

namespace {

constexpr int kMostShown = 500;

QTableWidget* makeTable(QWidget* parent, const QStringList& headers, const char* name,
                        const char* accessible) {
    auto* t = new QTableWidget(0, static_cast<int>(headers.size()), parent);
    t->setObjectName(name);
    t->setAccessibleName(accessible);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->setShowGrid(false);
    t->setWordWrap(false);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRow(QTableWidget* t, int row, const QStringList& cells) {
    for (int c = 0; c < cells.size(); ++c)
        t->setItem(row, c, new QTableWidgetItem(cells[c]));
}

QString dueText(const qd::QueueEntry& e) {
    return q(qd::formatDate(e.dueDate, "@d17") + " " + qd::formatTime(e.dueTime, "@t7"));
}

} // namespace

QString queueEntryState(const qd::QueueEntry& e, bool head, const qd::Moment& now) {
    const qd::Moment due{e.dueDate, e.dueTime};
    const bool isDue = now > due;
    if (!head) return "Queued";
    if (!isDue) return "Due at " + q(qd::formatTime(e.dueTime, "@t7"));
    switch (qd::actionOf(e.step)) {
    case qd::StepAction::Wait: {
        const std::string window = qd::text::trimmedRight(e.step.WaitForWindow);
        if (window.empty()) return "Waiting";
        if (qd::IsWaitForAbsence(window)) return "Waiting for \"" + q(window.substr(1)) + "\" to close";
        return "Waiting for \"" + q(window) + "\"";
    }
    case qd::StepAction::WaitForProgramEnd:
        return "Waiting for the program to end";
    default:
        return "Running";
    }
}

CurrentScriptWindow::CurrentScriptWindow(ScriptUiContext& context, QWidget* parent)
    : QWidget(parent), context_(context) {
    setObjectName("ViewCurrentScript");
    setWindowTitle("Current Script");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    summary_ = new QLabel(this);
    summary_->setObjectName("Summary");
    layout->addWidget(summary_);
    table_ =
        makeTable(this, {"Task", "Action", "Description", "Due", "State"}, "Queue", "Script steps queued");
    table_->horizontalHeader()->resizeSection(0, 160);
    table_->horizontalHeader()->resizeSection(1, 130);
    table_->horizontalHeader()->resizeSection(2, 220);
    table_->horizontalHeader()->resizeSection(3, 150);
    layout->addWidget(table_, 1);
    auto* row = new QHBoxLayout;
    stop_ = new QPushButton("&Stop Active Scripts", this);
    stop_->setObjectName("StopScripts");
    stop_->setAccessibleName("Stop Active Scripts");
    auto* close = new QPushButton("&Close", this);
    close->setObjectName("Close");
    row->addWidget(stop_);
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);
    connect(stop_, &QPushButton::clicked, this, &CurrentScriptWindow::stopAll);
    connect(close, &QPushButton::clicked, this, [this] {
        if (parentWidget() && parentWidget()->inherits("QMdiSubWindow"))
            parentWidget()->close();
        else
            this->close();
    });
    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &CurrentScriptWindow::refresh);
    timer_->start();
    refresh();
}

QString CurrentScriptWindow::taskText(int taskId) {
    if (taskId == 0) return "(by hand)";
    if (const auto it = tasks_.find(taskId); it != tasks_.end()) return it->second;
    QString text = "#" + QString::number(taskId);
    qd::Table<qd::ScheduleRecord> t(context_.ds, qd::tables::Schedule());
    if (t.open() == qd::Level::Benign) {
        t.rec.ID = taskId;
        if (t.fetch("KeyID") == qd::Level::Benign) text += " " + q(qd::text::trimmedRight(t.rec.Description));
    }
    tasks_[taskId] = text;
    return text;
}

void CurrentScriptWindow::refresh() {
    if (!context_.engine) {
        summary_->setText("Scripts do not run in this program.");
        stop_->setEnabled(false);
        return;
    }
    const auto& queue = context_.engine->queue();
    const qd::Moment now = context_.clock.now();
    // Rebuilt only when what it shows changed (the head's state included).
    QString signature = QString::number(queue.size());
    if (!queue.empty())
        signature += q(queue.front().step.Action) + QString::number(queue.front().dueTime) +
                     queueEntryState(queue.front(), true, now);
    if (signature == shown_) return;
    shown_ = signature;
    const int n = static_cast<int>(std::min<std::size_t>(queue.size(), kMostShown));
    table_->setRowCount(n + (static_cast<int>(queue.size()) > n ? 1 : 0));
    int row = 0;
    for (const qd::QueueEntry& e : queue) {
        if (row == n) break;
        const bool end = qd::actionOf(e.step) == qd::StepAction::EndOfScript;
        setRow(table_, row,
               {end ? QString() : taskText(e.step.ID), q(qd::text::trimmedRight(e.step.Action)),
                q(qd::StepDescription(e.step)), dueText(e), queueEntryState(e, row == 0, now)});
        ++row;
    }
    if (static_cast<int>(queue.size()) > n)
        setRow(table_, n, {QString("... and %1 more steps").arg(queue.size() - static_cast<std::size_t>(n))});
    summary_->setText(
        queue.empty()
            ? QString("No script is running.")
            : QString("%1 steps queued; %2").arg(queue.size()).arg(q(context_.engine->statusLine())));
    stop_->setEnabled(!queue.empty());
}

void CurrentScriptWindow::stopAll() {
    if (context_.engine) context_.engine->stopAll();
    shown_.clear();
    refresh();
}

// ---------------------------------------------------------------------------

qd::Moment SteppingClock::now() const {
    const qd::Moment base = base_.now();
    return pushed_ > base ? pushed_ : base;
}

DebugRunWindow::DebugRunWindow(ScriptUiContext& context, int taskId, const QString& title, QWidget* parent)
    : QDialog(parent), context_(context), taskId_(taskId), clock_(context.clock) {
    setObjectName("DebugRun");
    setWindowTitle("Step-by-Step Run - " + title);
    auto* layout = new QVBoxLayout(this);
    next_ = new QLabel(this);
    next_->setObjectName("NextStep");
    next_->setWordWrap(true);
    layout->addWidget(next_);
    steps_ = makeTable(this, {"Action", "Description"}, "RunSteps", "Steps still to run");
    steps_->horizontalHeader()->resizeSection(0, 150);
    layout->addWidget(steps_, 2);
    last_ = new QLabel(this);
    last_->setObjectName("LastStep");
    last_->setAccessibleName("Last step");
    last_->setWordWrap(true);
    last_->setFrameShape(QFrame::StyledPanel);
    last_->setMargin(4);
    layout->addWidget(last_);
    auto* varLabel = new QLabel("Variables after the step:", this);
    layout->addWidget(varLabel);
    variables_ = makeTable(this, {"Name", "Value"}, "Variables", "Variables");
    variables_->horizontalHeader()->resizeSection(0, 160);
    layout->addWidget(variables_, 1);
    auto* row = new QHBoxLayout;
    stepButton_ = new QPushButton("&Step", this);
    stepButton_->setObjectName("Step");
    stepButton_->setDefault(true);
    auto* again = new QPushButton("Start &Again", this);
    again->setObjectName("Restart");
    auto* close = new QPushButton("&Close", this);
    close->setObjectName("Close");
    row->addWidget(stepButton_);
    row->addWidget(again);
    row->addStretch(1);
    row->addWidget(close);
    layout->addLayout(row);
    connect(stepButton_, &QPushButton::clicked, this, [this] { step(); });
    connect(again, &QPushButton::clicked, this, &DebugRunWindow::restart);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    resize(640, 560);
    restart();
}

DebugRunWindow::~DebugRunWindow() = default;

void DebugRunWindow::restart() {
    lastText_.clear();
    // A queue of its own on the program's desktop and variables: the
    // program's running scripts are not touched.
    qd::ScriptEnvironment env;
    if (context_.engine) env = context_.engine->environment();
    engine_ = std::make_unique<qd::ScriptEngine>(context_.ds, *context_.log, context_.ui, clock_, env);
    if (context_.engine) {
        engine_->globalDelay = context_.engine->globalDelay;
        engine_->translateFilenames = context_.engine->translateFilenames;
    }
    engine_->tempScriptingActive = true;
    engine_->setObserver([this](const qd::QueueEntry& e, const std::string& note) {
        QString t = "Done: " + q(qd::text::trimmedRight(e.step.Action));
        const std::string d = qd::StepDescription(e.step);
        if (!d.empty()) t += "  " + q(d);
        const qd::BlockRole role = qd::blockRoleOf(e.step);
        if (role == qd::BlockRole::Opens && (note == "true" || note == "false"))
            t += note == "true" ? "\nCondition true: the block runs."
                                : "\nCondition false: the block is skipped.";
        else if (!note.empty())
            t += "\n" + q(note);
        lastText_ = t;
    });
    const qd::StepsResult r = qd::LoadScriptSteps(context_.ds, taskId_);
    if (!r.ok())
        context_.ui.message("Scripting", "The steps could not be read: " + r.error,
                            qd::MessageIcon::Exclamation);
    engine_->queueSteps(r.steps);
    showState();
}

int DebugRunWindow::remaining() const {
    return engine_ ? static_cast<int>(engine_->queue().size()) : 0;
}

bool DebugRunWindow::step() {
    if (!engine_ || engine_->queue().empty()) return false;
    const qd::QueueEntry& head = engine_->queue().front();
    // The head falls due now: waits for seconds pass at once in a run by hand.
    qd::Moment due{head.dueDate, head.dueTime + 1};
    if (due.time > 8640000) {
        due.date += 1;
        due.time = 1;
    }
    clock_.pushTo(due);
    const std::size_t before = engine_->queue().size();
    const qd::ScriptingRecord was = head.step;
    lastText_.clear();
    engine_->executeNextStep();
    if (lastText_.isEmpty() && engine_->queue().size() == before && !engine_->queue().empty() &&
        engine_->queue().front().step.Action == was.Action)
        lastText_ = "Still at: " + q(qd::text::trimmedRight(was.Action)) +
                    " (it waits; press Step again to look once more)";
    showState();
    return true;
}

void DebugRunWindow::showState() {
    const auto& queue = engine_->queue();
    const int n = static_cast<int>(std::min<std::size_t>(queue.size(), kMostShown));
    steps_->setRowCount(n);
    int row = 0;
    for (const qd::QueueEntry& e : queue) {
        if (row == n) break;
        setRow(steps_, row++, {q(qd::text::trimmedRight(e.step.Action)), q(qd::StepDescription(e.step))});
    }
    if (n > 0) steps_->selectRow(0);
    next_->setText(queue.empty() ? QString("The script has ended.")
                                 : "Next: " + q(qd::text::trimmedRight(queue.front().step.Action)) + "  " +
                                       q(qd::StepDescription(queue.front().step)));
    last_->setText(lastText_.isEmpty() ? QString("No step run yet.") : lastText_);
    const auto vars = qd::VARQ().entries();
    variables_->setRowCount(static_cast<int>(vars.size()));
    for (std::size_t i = 0; i < vars.size(); ++i)
        setRow(variables_, static_cast<int>(i), {q(vars[i].NAME), q(vars[i].STRINGVALUE)});
    stepButton_->setEnabled(!queue.empty());
}

} // namespace qdscriptui
