// "BrowseScripting": the steps of one task (or, while the template list is
// open, one template) in sequence order, with the step editor for insert,
// change and copy, delete, the four moves and renumbering, "Clear All",
// import from and export to a script file, printing, inserting a template,
// the script as text and a step-by-step run.
#pragma once

#include "script/ScriptEditing.h"
#include "script/ui/ScriptUiContext.h"
#include "script/ui/StepListModel.h"

#include <QWidget>

#include <functional>

class QPrinter;
class QPushButton;
class QTableView;

namespace qdscriptui {

class BrowseScriptingWindow : public QWidget {
    Q_OBJECT
public:
    BrowseScriptingWindow(ScriptUiContext& context, const qd::StepOwner& owner, const QString& title,
                          QWidget* parent = nullptr);
    // The list of a task's steps, titled after the task; nullptr (with the
    // message shown) for task 0 or a task that is not there.
    static BrowseScriptingWindow* forTask(ScriptUiContext& context, int taskId, QWidget* parent = nullptr);

    StepListModel& model() { return *model_; }
    QTableView* view() const { return view_; }
    const qd::StepOwner& owner() const { return owner_; }
    QPushButton* button(const QString& objectName) const;

    // The highlighted row (-1: none) and its step's number.
    int selectedRow() const;
    std::int32_t selectedSequence() const;
    bool selectSequence(std::int32_t sequence);
    void refresh();

    void insertStep();
    void changeStep();
    void copyStep();
    void deleteStep();
    void moveStep(qd::StepMove move);
    void renumber();
    void clearAll();
    void importFile();
    void exportFile();
    void print();
    // Prints the steps on a printer that is set up already.
    bool printTo(QPrinter& printer);
    void insertTemplate();
    void editAsText();
    void debugRun();

signals:
    // The steps were changed from this window.
    void stepsChanged();

private:
    // Opens the step editor; true with `step` filled when OK was pressed.
    bool edit(qd::ScriptingRecord& step, bool isNew);
    bool readStep(std::int32_t sequence, qd::ScriptingRecord& step);
    void changed(std::int32_t select);
    void updateButtons();

    ScriptUiContext& context_;
    qd::StepOwner owner_;
    StepListModel* model_ = nullptr;
    QTableView* view_ = nullptr;
};

} // namespace qdscriptui
