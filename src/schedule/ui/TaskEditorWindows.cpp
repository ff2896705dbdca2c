#include "schedule/ui/TaskEditorWindows.h"

#include "data/Text.h"
#include "ui/QtUserInterface.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWizardPage>

#include <algorithm>
#include <map>

namespace qdschedui {
namespace {

// A save from a window: the window stays open unless the task was saved; a
// task changed meanwhile by someone else is shown as it is stored now.
bool saveFrom(qd::TaskEditor& editor, TaskEditorForm& form) {
    form.acceptPending();
    switch (editor.save()) {
    case qd::SaveResult::Saved:
        return true;
    case qd::SaveResult::ChangedByOther:
        form.load();
        return false;
    case qd::SaveResult::Refused:
    case qd::SaveResult::Failed:
        return false;
    }
    return false;
}

} // namespace

// --- tabbed form -----------------------------------------------------------------------

UpdateScheduleWindow::UpdateScheduleWindow(std::unique_ptr<qd::TaskEditor> editor, qdui::QtUserInterface& ui,
                                           const std::string& dateFormat, TaskFormHooks hooks,
                                           QWidget* parent)
    : QDialog(parent), editor_(std::move(editor)) {
    setObjectName("UpdateSchedule");
    setAttribute(Qt::WA_DeleteOnClose);
    form_ = new TaskEditorForm(*editor_, ui, dateFormat, std::move(hooks), this);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("Pages");
    for (int p = 0; p < TaskEditorForm::kPageCount; ++p) {
        const auto page = static_cast<TaskEditorForm::Page>(p);
        tabs_->addTab(form_->page(page), TaskEditorForm::pageTitle(page));
    }
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName("Buttons");
    buttons->button(QDialogButtonBox::Ok)->setObjectName("OK");
    buttons->button(QDialogButtonBox::Cancel)->setObjectName("Cancel");
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &UpdateScheduleWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &UpdateScheduleWindow::reject);
    connect(form_, &TaskEditorForm::changed, this, &UpdateScheduleWindow::updateTitle);
    form_->load();
    updateTitle();
    if (editor_->specialEvent()) showPage(TaskEditorForm::kSchedule);
}

UpdateScheduleWindow::~UpdateScheduleWindow() = default;

void UpdateScheduleWindow::showPage(TaskEditorForm::Page page) {
    tabs_->setCurrentWidget(form_->page(page));
}

void UpdateScheduleWindow::updateTitle() {
    switch (editor_->mode()) {
    case qd::EditMode::Insert:
        setWindowTitle("Adding a Scheduled Task");
        break;
    case qd::EditMode::Change:
        setWindowTitle("Changing a Scheduled Task");
        break;
    case qd::EditMode::Copy:
        setWindowTitle("Copying a Scheduled Task");
        break;
    case qd::EditMode::Reschedule:
        setWindowTitle("Rescheduling...");
        break;
    }
}

void UpdateScheduleWindow::accept() {
    if (!saveFrom(*editor_, *form_)) return;
    emit saved(editor_->savedId());
    QDialog::accept();
}

// --- wizards -----------------------------------------------------------------------------

TaskWizardWindow::TaskWizardWindow(Kind kind, std::unique_ptr<qd::TaskEditor> editor,
                                   qdui::QtUserInterface& ui, const std::string& dateFormat,
                                   TaskFormHooks hooks, QWidget* parent)
    : QWizard(parent), editor_(std::move(editor)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWizardStyle(QWizard::ClassicStyle);
    setOption(QWizard::NoBackButtonOnStartPage);
    form_ = new TaskEditorForm(*editor_, ui, dateFormat, std::move(hooks), this);
    form_->setTypeChoiceShown(false);
    // "&Before performing task, give option to skip" has the B.
    setButtonText(QWizard::BackButton, "< Bac&k");
    QString first;
    switch (kind) {
    case ProgramWizard:
        setObjectName("ProgramWizard");
        setWindowTitle("Start Program Wizard");
        first = "Program Task Basics...";
        break;
    case MessageWizard:
        setObjectName("MessageWizard");
        setWindowTitle("Display Message Wizard");
        first = "Message Task Basics...";
        break;
    case ScriptWizard:
        setObjectName("ScriptWizard");
        setWindowTitle(editor_->mode() == qd::EditMode::Insert ? "New Script Task Wizard"
                                                               : "Edit Script Task Wizard");
        first = "Script Task Basics...";
        break;
    }
    steps_ = kind == ScriptWizard
                 ? std::vector<TaskEditorForm::Page>{TaskEditorForm::kTask, TaskEditorForm::kSchedule,
                                                     TaskEditorForm::kOptions}
                 : std::vector<TaskEditorForm::Page>{TaskEditorForm::kTask, TaskEditorForm::kSchedule,
                                                     TaskEditorForm::kAlarm, TaskEditorForm::kWarning,
                                                     TaskEditorForm::kOptions};
    const std::map<TaskEditorForm::Page, QString> titles{
        {TaskEditorForm::kTask, first},
        {TaskEditorForm::kSchedule, "When should the task be performed?"},
        {TaskEditorForm::kAlarm, "Should an alarm sound?"},
        {TaskEditorForm::kWarning, "Advance warning and end"},
        {TaskEditorForm::kOptions, "Finally..."}};
    for (TaskEditorForm::Page p : steps_) {
        auto* page = new QWizardPage(this);
        page->setObjectName(form_->page(p)->objectName() + "Step");
        page->setTitle(titles.at(p));
        auto* layout = new QVBoxLayout(page);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(form_->page(p));
        addPage(page);
    }
    // The pages a wizard does not ask go with the window.
    for (int p = 0; p < TaskEditorForm::kPageCount; ++p)
        if (std::find(steps_.begin(), steps_.end(), p) == steps_.end()) {
            form_->page(static_cast<TaskEditorForm::Page>(p))->setParent(this);
            form_->page(static_cast<TaskEditorForm::Page>(p))->hide();
        }
    form_->load();
}

TaskWizardWindow::~TaskWizardWindow() = default;

bool TaskWizardWindow::validateCurrentPage() {
    const int step = currentId();
    if (step < 0 || step >= static_cast<int>(steps_.size())) return true;
    form_->acceptPending();
    return form_->checkPage(steps_[static_cast<std::size_t>(step)]);
}

void TaskWizardWindow::accept() {
    if (!saveFrom(*editor_, *form_)) return;
    emit saved(editor_->savedId());
    QWizard::accept();
}

// --- opening ---------------------------------------------------------------------------

bool openSession(qd::TaskEditor& editor, const TaskEditRequest& request) {
    switch (request.kind) {
    case TaskEditRequest::New:
        editor.openNew({request.primeTaskType, request.day});
        return true;
    case TaskEditRequest::Script:
        // A stored script task is changed in the same wizard ("Edit Script Task Wizard").
        if (request.id != 0) return editor.openChange(request.id);
        editor.openScriptTask();
        return true;
    case TaskEditRequest::Change:
        return editor.openChange(request.id);
    case TaskEditRequest::Copy:
        return editor.openCopy(request.id);
    case TaskEditRequest::Reschedule:
        return editor.openReschedule(request.id);
    }
    return false;
}

QWidget* createTaskEditor(const TaskEditRequest& request, std::unique_ptr<qd::TaskEditor> editor,
                          qdui::QtUserInterface& ui, const std::string& dateFormat, TaskFormHooks hooks,
                          std::function<void(int)> saved, QWidget* parent) {
    if (!openSession(*editor, request)) return nullptr;
    const auto wizard =
        request.kind == TaskEditRequest::New ? qd::wizardFor(request.primeTaskType) : std::nullopt;
    if (request.kind == TaskEditRequest::Script || wizard) {
        const TaskWizardWindow::Kind kind =
            request.kind == TaskEditRequest::Script ? TaskWizardWindow::ScriptWizard
            : qd::text::trimRight(request.primeTaskType) == qd::kTypeRunProgram
                ? TaskWizardWindow::ProgramWizard
                : TaskWizardWindow::MessageWizard;
        auto* w = new TaskWizardWindow(kind, std::move(editor), ui, dateFormat, std::move(hooks), parent);
        if (saved) QObject::connect(w, &TaskWizardWindow::saved, w, saved);
        return w;
    }
    auto* w = new UpdateScheduleWindow(std::move(editor), ui, dateFormat, std::move(hooks), parent);
    if (saved) QObject::connect(w, &UpdateScheduleWindow::saved, w, saved);
    return w;
}

} // namespace qdschedui
