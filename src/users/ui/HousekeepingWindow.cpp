#include "users/ui/HousekeepingWindow.h"

#include "ui/ProgressWindow.h"
#include "ui/QtUserInterface.h"
#include "ui/WindowParts.h"
#include "users/Housekeeping.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace qdusersui {
namespace {

constexpr const char* kNotYet = "Not available yet";
constexpr const char* kStopped = "Stopped before the end: what was done so far is kept.";

} // namespace

HousekeepingWindow::HousekeepingWindow(HousekeepingContext context, QWidget* parent)
    : QWidget(parent), context_(std::move(context)) {
    setObjectName("Housekeeping");
    setWindowTitle(kHousekeepingTitle);
    setAttribute(Qt::WA_DeleteOnClose);
    progress_ = new qdui::QtProgress(this);

    auto* layout = new QVBoxLayout(this);
    auto* database = new QGroupBox("Database Housekeeping", this);
    database->setObjectName("DatabaseHousekeeping");
    auto* interface = new QGroupBox("Interface Housekeeping", this);
    interface->setObjectName("InterfaceHousekeeping");
    auto* groups = new QGroupBox("Groups Housekeeping", this);
    groups->setObjectName("GroupsHousekeeping");
    for (QGroupBox* g : {database, interface, groups}) {
        g->setAccessibleName(g->title());
        new QVBoxLayout(g);
        layout->addWidget(g);
    }

    connect(addButton(database, "ClearDisabled", "Clear all disabled tasks",
                      "Remove every disabled task with its script"),
            &QPushButton::clicked, this, &HousekeepingWindow::clearDisabledPressed);
    connect(addButton(database, "ClearCompleted", "Clear all completed tasks",
                      "Remove every disabled task that is completed, with its script"),
            &QPushButton::clicked, this, &HousekeepingWindow::clearCompletedPressed);
    connect(addButton(database, "ClearToDo", "Clear To Do list", "Remove every to do item"),
            &QPushButton::clicked, this, &HousekeepingWindow::clearToDoPressed);
    QPushButton* reschedule = addButton(database, "RescheduleAll", "Reschedule All Tasks",
                                        "Move every task to its first occurrence after a date");
    if (context_.rescheduleAll) {
        connect(reschedule, &QPushButton::clicked, this, [this] { context_.rescheduleAll(); });
    } else {
        reschedule->setEnabled(false);
        reschedule->setToolTip(kNotYet);
    }
    // The button without a label: it finds script steps whose task is gone.
    QPushButton* verify =
        addButton(database, "VerifyLinks", QString(), "Remove script steps whose task no longer exists");
    verify->setAccessibleName("Verify links");
    verify->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    connect(verify, &QPushButton::clicked, this, &HousekeepingWindow::verifyLinksPressed);

    connect(addButton(interface, "ResetWindows", "Reset saved window settings",
                      "Forget where every window was placed"),
            &QPushButton::clicked, this, &HousekeepingWindow::resetWindowsPressed);
    connect(
        addButton(interface, "ClearScriptQueue", "Clear current script queue", "Stop every running script"),
        &QPushButton::clicked, this, &HousekeepingWindow::clearScriptQueuePressed);

    connect(addButton(groups, "AssignUser", "Assign current user to all tasks",
                      "Give the current user a schedule of his own on every task"),
            &QPushButton::clicked, this, &HousekeepingWindow::assignUserPressed);
    QPushButton* users = addButton(groups, "Users", "&Users", "List of users");
    if (context_.openUsers)
        connect(users, &QPushButton::clicked, this, [this] { context_.openUsers(); });
    else
        users->setEnabled(false);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* close = qdui::namedButton(this, "&Close", "Close");
    connect(close, &QPushButton::clicked, this, [this] { qdui::closeWindow(this); });
    row->addWidget(close);
    layout->addLayout(row);
}

HousekeepingWindow::~HousekeepingWindow() {
    delete progress_;
}

QPushButton* HousekeepingWindow::addButton(QWidget* group, const char* name, const QString& text,
                                           const QString& tip) {
    auto* b = qdui::namedButton(group, text, name, nullptr, tip);
    group->layout()->addWidget(b);
    return b;
}

void HousekeepingWindow::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

QPushButton* HousekeepingWindow::button(const char* name) const {
    return findChild<QPushButton*>(name);
}

template <class Pass> void HousekeepingWindow::runPass(const char* question, const char* done, Pass pass) {
    if (running_) return;
    if (question && !context_.ui.ask(kHousekeepingTitle, question)) return;
    running_ = true;
    // The progress lets the program run on: the window may be closed meanwhile.
    QPointer<HousekeepingWindow> self(this);
    const qd::PassResult result = pass(progress_);
    if (!self) return;
    running_ = false;
    if (result.changed > 0 && context_.tasksChanged) context_.tasksChanged();
    // A failure was reported by the record layer already.
    if (result.outcome == qd::PassOutcome::Cancelled)
        context_.ui.message(kHousekeepingTitle, kStopped, qd::MessageIcon::Information);
    else if (result.outcome == qd::PassOutcome::Done && done)
        context_.ui.message(kHousekeepingTitle, done, qd::MessageIcon::Information);
    emit passFinished(result.changed, result.done());
}

void HousekeepingWindow::clearDisabledPressed() {
    runPass("Remove disabled tasks?", "Disabled tasks removed.",
            [this](qd::Progress* p) { return qd::ClearDisabledTasks(context_.ds, false, p); });
}

void HousekeepingWindow::clearCompletedPressed() {
    runPass("Remove completed tasks?", "Completed tasks removed.",
            [this](qd::Progress* p) { return qd::ClearDisabledTasks(context_.ds, true, p); });
}

void HousekeepingWindow::clearToDoPressed() {
    runPass("Clear To Do list?", "To Do list removed.",
            [this](qd::Progress* p) { return qd::ClearToDoList(context_.ds, p); });
}

void HousekeepingWindow::verifyLinksPressed() {
    runPass(nullptr, nullptr, [this](qd::Progress* p) { return qd::VerifyLinks(context_.ds, p); });
}

void HousekeepingWindow::assignUserPressed() {
    runPass(nullptr, nullptr, [this](qd::Progress* p) {
        return qd::AssignCurrentUserToAllTasks(context_.ds, context_.settings.User, p);
    });
}

void HousekeepingWindow::resetWindowsPressed() {
    if (!context_.ui.ask(kHousekeepingTitle, "Reset saved window settings?")) return;
    std::string error;
    if (!qd::ResetWindowSettings(context_.ds.folder(), error)) {
        context_.ui.message(kHousekeepingTitle, "POSITION.INI could not be removed: " + error,
                            qd::MessageIcon::Exclamation);
        return;
    }
    context_.ui.message(kHousekeepingTitle, "All saved window positions have been removed",
                        qd::MessageIcon::Information);
}

void HousekeepingWindow::clearScriptQueuePressed() {
    if (!context_.ui.ask(kHousekeepingTitle, "Remove active scripts?")) return;
    if (context_.clearScriptQueue) context_.clearScriptQueue();
    context_.ui.message(kHousekeepingTitle, "All active scripts have been removed",
                        qd::MessageIcon::Information);
}

} // namespace qdusersui
