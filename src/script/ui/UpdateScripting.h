// The step editor ("New Script Action", "Edit Script Action"): the action
// list with its "Other" entry, a form of the chosen action's fields built from
// the editor's action table, the action's help paragraph, a key-name picker and
// a preview of how keystrokes are sent, window and control pickers, the live
// count of open windows a pattern matches and, for the window steps, the window
// under the mouse pointer.
#pragma once

#include "script/ScriptEditing.h"
#include "script/WindowTargeting.h"
#include "script/ui/ScriptUiContext.h"

#include <QDialog>

#include <functional>
#include <vector>

class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTimer;

namespace qdscriptui {

class PointerDisplay;

// "Key Names": modifiers and a key name, giving the bracketed text to insert.
class KeyPickerDialog : public QDialog {
    Q_OBJECT
public:
    explicit KeyPickerDialog(QWidget* parent = nullptr);
    // "[CtrlS]", "[ENTER]" ...; empty when no name is chosen.
    QString bracketed() const;
    QListWidget* list() const { return list_; }
    QCheckBox* modifier(int i) const { return modifiers_[i]; }

private:
    QListWidget* list_ = nullptr;
    QCheckBox* modifiers_[3] = {};
};

class UpdateScriptingDialog : public QDialog {
    Q_OBJECT
public:
    UpdateScriptingDialog(ScriptUiContext& context, const qd::StepOwner& owner,
                          const qd::ScriptingRecord& step, bool isNew, QWidget* parent = nullptr);
    ~UpdateScriptingDialog() override;

    // The step as edited (after OK: as it is to be stored).
    qd::ScriptingRecord step();

    // Chooses an entry of the action list (an action name or "Other") and,
    // for "Other", an entry of the second list.
    void chooseAction(const QString& name, const QString& other = {});
    QComboBox* actionBox() const { return action_; }
    QComboBox* otherBox() const { return other_; }
    // The editing widget of a field by its prompt ("Keystrokes", "Window" ...).
    QWidget* field(const QString& prompt) const;
    // Sets a field's value as typed (line, text box, choice or flag "1"/"0").
    void setField(const QString& prompt, const QString& value);
    QString help() const;
    QLabel* preview() const { return preview_; }
    QLabel* matchCount() const { return matches_; }
    PointerDisplay* pointerDisplay() const { return pointer_; }
    // Reads the open windows again for the match count.
    void refreshWindows();

    // OK: the checks of a save; the dialog stays open on a failed check.
    void accept() override;

private:
    struct FieldWidget {
        const qd::EditorField* field = nullptr;
        QWidget* widget = nullptr;  // the line, box or composite
        QLineEdit* line = nullptr;  // text-like fields
        QComboBox* combo = nullptr; // choices
        QCheckBox* check = nullptr; // flags
        QPlainTextEdit* text = nullptr;
        QCheckBox* wait = nullptr; // start options
        QComboBox* priority = nullptr;
        QComboBox* show = nullptr;
        QCheckBox* translate = nullptr;
    };

    void rebuild();
    void collect();
    void actionChosen();
    void addField(const qd::EditorField& f);
    QWidget* withButton(QLineEdit* line, const QString& text, const QString& name,
                        const std::function<void()>& fn);
    void pickKeys(QLineEdit* line);
    void pickWindow(QLineEdit* line);
    void pickChild(QLineEdit* line);
    void pickFile(QLineEdit* line, qd::FieldKind kind);
    void pickMessage(QLineEdit* line);
    void updatePreview();
    void updateMatches();
    QLineEdit* windowLine() const;
    const FieldWidget* find(const QString& prompt) const;

    ScriptUiContext& context_;
    qd::StepOwner owner_;
    qd::ScriptingRecord step_;
    QComboBox* action_ = nullptr;
    QComboBox* other_ = nullptr;
    QWidget* formHost_ = nullptr;
    QFormLayout* form_ = nullptr;
    QLabel* help_ = nullptr;
    QLabel* preview_ = nullptr;
    QLabel* matches_ = nullptr;
    PointerDisplay* pointer_ = nullptr;
    QTimer* windowTimer_ = nullptr;
    std::vector<FieldWidget> fields_;
    std::vector<qd::WindowListEntry> openWindows_;
    bool building_ = false;
};

} // namespace qdscriptui
