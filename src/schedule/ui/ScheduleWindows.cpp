#include "schedule/ui/ScheduleWindows.h"

#include "schedule/ui/CalendarWindow.h"
#include "schedule/ui/ExceptionsWindow.h"
#include "schedule/ui/TaskEditorWindows.h"
#include "ui/MainFrame.h"

#include <QMdiArea>
#include <QMdiSubWindow>

namespace qdschedui {

ScheduleWindows::ScheduleWindows(qdui::MainFrame& frame, qdui::QtUserInterface& ui, ScheduleUiContext context)
    : QObject(&frame), frame_(frame), ui_(ui),
      context_(std::move(context)), holidays_{context_.ds, context_.ui, context_.clock,
                                              context_.settings.DateFormat} {
    if (!context_.tasksChanged) context_.tasksChanged = [&frame] { frame.refreshTaskLists(); };
    if (!context_.counter) {
        context_.counter = std::make_shared<qd::ViewCounter>(context_.ds.folder(), context_.ds.passphrase());
        // Keyed and opened now, in the background: the first list's count does not wait for it.
        context_.counter->post(
            context_.counter.get(),
            [](qd::DataSet& ds, const qd::ViewCounter::Started&) {
                qd::Table<qd::ScheduleRecord> t(ds, qd::tables::Schedule());
                return t.open() == qd::Level::Benign ? 0LL : -1LL;
            },
            [](unsigned long long, long long) {});
    }
    frame.setHandler("ScheduledTasks", [this] { openSchedule(); });
    frame.setHandler("ExploreSchedule", [this] { openExplore(); });
    frame.setHandler("TaskCategories", [this] { openCategories(); });
    frame.setHandler("SetupTaskCategories", [this] { openCategories(); });
    frame.setHandler("NewMessage", [this] {
        openEditor({TaskEditRequest::New, 0, 0, qd::kTypeDisplayMessage});
    });
    frame.setHandler("NewProgram", [this] { openEditor({TaskEditRequest::New, 0, 0, qd::kTypeRunProgram}); });
    frame.setHandler("NewScript", [this] { openEditor({TaskEditRequest::Script, 0, 0, {}}); });
    frame.setHandler("NewTask", [this] { openEditor({TaskEditRequest::New, 0, 0, {}}); });
    frame.setHandler("Holidays", [this] { openHolidays(); });
    // "&New Task" on a day picked in a list's calendar.
    connect(this, &ScheduleWindows::newTaskForDay, this, [this](QDate day) {
        openEditor({TaskEditRequest::New, 0, fromQDate(day), {}});
    });
    // The editor's "E&xceptions..." button: the exceptions window on the task being edited.
    editExceptions_ = [this](qd::ScheduleRecord& task) {
        ExceptionsWindow w(holidays_, qd::exceptionFieldsOf(task), nullptr);
        if (ui_.runDialog(w) != QDialog::Accepted) return false;
        qd::setExceptionFields(task, w.fields());
        return true;
    };
}

QWidget* ScheduleWindows::openEditor(const TaskEditRequest& request) {
    if (!mayEdit()) return nullptr;
    const qd::ProgramSettings& s = context_.settings;
    auto editor = std::make_unique<qd::TaskEditor>(
        context_.ds, qd::EditorEnvironment{context_.clock, ui_, s.UserID, s.User, s.DateFormat});
    QWidget* w = createTaskEditor(
        request, std::move(editor), ui_, s.DateFormat, TaskFormHooks{editExceptions_},
        [this](int) { context_.tasksChanged(); }, &frame_);
    if (!w) return nullptr;
    w->setWindowFlag(Qt::Window);
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

int ScheduleWindows::openHotKeyScript(int taskId, const std::string& hotKeyName) {
    if (!mayEdit()) return 0;
    const qd::ProgramSettings& s = context_.settings;
    auto editor = std::make_unique<qd::TaskEditor>(
        context_.ds, qd::EditorEnvironment{context_.clock, ui_, s.UserID, s.User, s.DateFormat});
    if (taskId == 0 || !editor->openChange(taskId)) editor->openHotKeyScript(hotKeyName);
    TaskWizardWindow wizard(TaskWizardWindow::ScriptWizard, std::move(editor), ui_, s.DateFormat,
                            TaskFormHooks{editExceptions_}, &frame_);
    // Held here, not deleted by its own close.
    wizard.setAttribute(Qt::WA_DeleteOnClose, false);
    int saved = 0;
    connect(&wizard, &TaskWizardWindow::saved, &wizard, [&saved](int id) { saved = id; });
    ui_.runDialog(wizard);
    if (saved != 0) context_.tasksChanged();
    return saved;
}

void ScheduleWindows::editScript(int taskId) {
    if (scriptEditor_ && mayEdit()) scriptEditor_(taskId);
}

void ScheduleWindows::addChild(QWidget* w, QSize size) {
    QMdiSubWindow* sub = frame_.mdiArea()->addSubWindow(w);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(size);
    sub->show();
    frame_.mdiArea()->setActiveSubWindow(sub);
}

TaskListWindow* ScheduleWindows::openSchedule() {
    if (context_.settings.AltFmt) return openExplore();
    return openBrowse();
}

BrowseScheduleWindow* ScheduleWindows::openBrowse() {
    auto* w = new BrowseScheduleWindow(context_);
    w->setEditor([this](const TaskEditRequest& r) { openEditor(r); });
    if (scriptEditor_) w->setScriptEditor([this](int taskId) { editScript(taskId); });
    connect(&frame_, &qdui::MainFrame::taskListsChanged, w, &TaskListWindow::refresh);
    connect(w, &BrowseScheduleWindow::newTaskForDay, this, &ScheduleWindows::newTaskForDay);
    addChild(w, QSize(860, 420));
    return w;
}

ExploreScheduleWindow* ScheduleWindows::openExplore() {
    auto* w = new ExploreScheduleWindow(context_);
    w->setEditor([this](const TaskEditRequest& r) { openEditor(r); });
    if (scriptEditor_) w->setScriptEditor([this](int taskId) { editScript(taskId); });
    connect(&frame_, &qdui::MainFrame::taskListsChanged, w, &TaskListWindow::refresh);
    addChild(w, QSize(900, 420));
    return w;
}

CategoriesWindow* ScheduleWindows::openCategories() {
    auto* w = new CategoriesWindow(context_.ds, ui_);
    addChild(w, QSize(360, 300));
    return w;
}

BrowseHolidaysWindow* ScheduleWindows::openHolidays() {
    auto* w = new BrowseHolidaysWindow(holidays_);
    addChild(w, QSize(420, 360));
    return w;
}

bool ScheduleWindows::openReschedule(QWidget* parent) {
    // The window offers the moment of the last run while that is still ahead.
    RescheduleWindow w(context_, lastReschedule_, parent ? parent : &frame_);
    if (runModal(context_.ui, w) != QDialog::Accepted) return false;
    lastReschedule_ = w.moment();
    return w.completed();
}

} // namespace qdschedui
