// The task editor's windows: "UpdateSchedule" as a tabbed form (a new task,
// a change, a copy, a special event) and as the step-by-step wizards "Start
// Program Wizard" and "Display Message Wizard", and the script task wizard
// ("New Script Task Wizard"). Each window owns its editing session; OK or
// Finish saves the task in one store transaction, Cancel writes nothing.
#pragma once

#include "schedule/TaskEditing.h"
#include "schedule/ui/TaskEditorForm.h"

#include <QDialog>
#include <QWizard>

#include <functional>
#include <memory>

class QTabWidget;

namespace qdschedui {

// What a list or a menu entry asks the editor for.
struct TaskEditRequest {
    enum Kind { New, Change, Copy, Reschedule, Script };
    Kind kind = New;
    std::int32_t id = 0;       // the task to change, or the source of a copy or special event
    qd::Date day = 0;          // GLO:DateToUse: the day picked in a list (New)
    std::string primeTaskType; // GLO:PrimeTaskType (New)
};

// The tabbed form.
class UpdateScheduleWindow : public QDialog {
    Q_OBJECT
public:
    UpdateScheduleWindow(std::unique_ptr<qd::TaskEditor> editor, qdui::QtUserInterface& ui,
                         const std::string& dateFormat, TaskFormHooks hooks, QWidget* parent = nullptr);
    ~UpdateScheduleWindow() override;

    qd::TaskEditor& editor() { return *editor_; }
    TaskEditorForm& form() { return *form_; }
    QTabWidget* tabs() const { return tabs_; }
    // Shows the tab of a page.
    void showPage(TaskEditorForm::Page page);

    // OK: saves; the window closes only when the task was saved.
    void accept() override;

signals:
    void saved(int id);

private:
    void updateTitle();

    std::unique_ptr<qd::TaskEditor> editor_;
    TaskEditorForm* form_ = nullptr;
    QTabWidget* tabs_ = nullptr;
};

// The wizards: the pages of the form one after the other, the required fields
// of a page checked before the next one.
class TaskWizardWindow : public QWizard {
    Q_OBJECT
public:
    enum Kind { ProgramWizard, MessageWizard, ScriptWizard };
    TaskWizardWindow(Kind kind, std::unique_ptr<qd::TaskEditor> editor, qdui::QtUserInterface& ui,
                     const std::string& dateFormat, TaskFormHooks hooks, QWidget* parent = nullptr);
    ~TaskWizardWindow() override;

    qd::TaskEditor& editor() { return *editor_; }
    TaskEditorForm& form() { return *form_; }
    // The form's page shown on each step, in order.
    const std::vector<TaskEditorForm::Page>& steps() const { return steps_; }

    bool validateCurrentPage() override;
    // Finish: saves; the window closes only when the task was saved.
    void accept() override;

signals:
    void saved(int id);

private:
    std::unique_ptr<qd::TaskEditor> editor_;
    TaskEditorForm* form_ = nullptr;
    std::vector<TaskEditorForm::Page> steps_;
};

// Opens the editor's session for a request: false when the task is gone (the
// message was shown).
bool openSession(qd::TaskEditor& editor, const TaskEditRequest& request);

// The window a request opens, not yet shown: the wizard of a primed type or of
// a script task, otherwise the tabbed form. nullptr when the session could not
// be opened.
QWidget* createTaskEditor(const TaskEditRequest& request, std::unique_ptr<qd::TaskEditor> editor,
                          qdui::QtUserInterface& ui, const std::string& dateFormat, TaskFormHooks hooks,
                          std::function<void(int)> saved, QWidget* parent = nullptr);

} // namespace qdschedui
