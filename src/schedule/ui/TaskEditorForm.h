// The pages of the task editor and their bindings to the task being edited:
// each page is a widget that the tabbed form shows as a tab and the wizards as
// a step. Every control writes its field as it is accepted and applies the
// editing rules of qd::TaskEditor (defaults, checks, what a choice stores).
#pragma once

#include "schedule/TaskEditing.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QWidget;

namespace qdui {
class QtUserInterface;
class SoundPlayer;
} // namespace qdui

namespace qdschedui {

// What the form needs besides the task.
struct TaskFormHooks {
    // The exception rules of a task in their own window; true when changed.
    // None: the button stays disabled.
    std::function<bool(qd::ScheduleRecord&)> editExceptions;
};

class TaskEditorForm : public QObject {
    Q_OBJECT
public:
    enum Page { kTask, kSchedule, kAlarm, kWarning, kOptions, kUsers, kPageCount };

    TaskEditorForm(qd::TaskEditor& editor, qdui::QtUserInterface& ui, const std::string& dateFormat,
                   TaskFormHooks hooks, QObject* parent = nullptr);
    ~TaskEditorForm() override;

    // The page widgets (owned by whoever places them) and their titles.
    QWidget* page(Page p) const { return pages_[p]; }
    static QString pageTitle(Page p);

    // Shows the task of the editor in every control.
    void load();
    // The task type choice: the wizards have their type set and hide it.
    void setTypeChoiceShown(bool shown);
    // Takes what is typed but not yet accepted into the task (the OK button
    // accepts the field that has the focus).
    void acceptPending();
    // The required fields of one page: shows "Missing Information" for the
    // first blank one. True when all are there.
    bool checkPage(Page p);

    // The one-line rule description and the next occurrences, as shown.
    QString ruleText() const;
    QString previewText() const;

    // Controls by what they hold, for the windows and their tests.
    QLineEdit* dateField() const { return date_; }
    QLineEdit* timeField() const { return time_; }
    QLineEdit* expiryDateField() const { return expiryDate_; }
    QLineEdit* expiryTimeField() const { return expiryTime_; }
    QLineEdit* warnDateField() const { return warnDate_; }
    QLineEdit* warnTimeField() const { return warnTime_; }
    QLineEdit* descriptionField() const { return description_; }
    QLineEdit* commandField() const { return command_; }
    QPlainTextEdit* messageField() const { return message_; }
    QComboBox* scheduleTypeBox() const { return scheduleType_; }
    QComboBox* monthRepeatBox() const { return monthRepeat_; }
    QComboBox* unitsBox() const { return units_; }
    QComboBox* categoryBox() const { return category_; }
    QSpinBox* everyField() const { return every_; }
    QSpinBox* offsetField() const { return offset_; }
    QRadioButton* typeButton(const char* taskType) const;
    QCheckBox* optionBox(const char* objectName) const;
    QListWidget* allUsersList() const { return allUsers_; }
    QListWidget* taskUsersList() const { return taskUsers_; }
    QPushButton* pageButton(const char* objectName) const;

    // The user buttons.
    void addAllUsers();
    void addSelectedUser();
    void removeSelectedUser();
    void removeAllUsers();
    // "UpdateQDUSD" on the selected row.
    void editSelectedUser();

signals:
    // The task changed in a way the window shows elsewhere (its title).
    void changed();

private:
    QWidget* buildTaskPage();
    QWidget* buildSchedulePage();
    QWidget* buildAlarmPage();
    QWidget* buildWarningPage();
    QWidget* buildOptionsPage();
    QWidget* buildUsersPage();
    QCheckBox* boundBox(QWidget* parent, const char* name, const QString& text,
                        std::uint8_t qd::ScheduleRecord::*field);
    QLineEdit* dateEdit(QWidget* parent, const char* name, const QString& accessible);
    QLineEdit* timeEdit(QWidget* parent, const char* name, const QString& accessible);
    QPushButton* calendarButton(QWidget* parent, QLineEdit* field);

    void showTypeFields();
    void showRuleFields();
    void updatePreview();
    void loadUsers();
    // Reads a date or time field; false (with the field reset) when the text is
    // not a date or time.
    bool readDate(QLineEdit* field, qd::Date& out);
    bool readTime(QLineEdit* field, qd::Time& out);
    void dateAccepted(QLineEdit* field);
    void timeAccepted(QLineEdit* field);
    void browseAlarm();
    void playAlarm();
    // The "..." button of a date field: the calendar, with the task's rule for its date.
    void pickDate(QLineEdit* field);
    QString calendarTitle(QLineEdit* field) const;

    qd::TaskEditor& editor_;
    qdui::QtUserInterface& ui_;
    std::string dateFormat_;
    std::string datePicture_;
    TaskFormHooks hooks_;
    std::unique_ptr<qdui::SoundPlayer> sound_;
    bool loading_ = false;
    std::vector<QWidget*> pages_;

    QButtonGroup* types_ = nullptr;
    QWidget* typeBox_ = nullptr;
    QLabel* otherType_ = nullptr;
    QLineEdit* description_ = nullptr;
    QComboBox* category_ = nullptr;
    QLineEdit* command_ = nullptr;
    QLineEdit* path_ = nullptr;
    QLabel* commandLabel_ = nullptr;
    QLabel* pathLabel_ = nullptr;
    QLabel* tip_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QPlainTextEdit* message_ = nullptr;

    QComboBox* scheduleType_ = nullptr;
    QLineEdit* date_ = nullptr;
    QLineEdit* time_ = nullptr;
    QWidget* weekdays_ = nullptr;
    QWidget* ordinals_ = nullptr;
    QWidget* monthly_ = nullptr;
    QWidget* everyRow_ = nullptr;
    std::vector<QCheckBox*> dayBoxes_;
    std::vector<QCheckBox*> ordinalBoxes_;
    QCheckBox* monthEnd_ = nullptr;
    QComboBox* monthRepeat_ = nullptr;
    QSpinBox* offset_ = nullptr;
    QSpinBox* every_ = nullptr;
    QComboBox* units_ = nullptr;
    QCheckBox* skipNext_ = nullptr;
    QLabel* rule_ = nullptr;
    QLabel* preview_ = nullptr;
    QLabel* specialNote_ = nullptr;

    QCheckBox* alarm_ = nullptr;
    QLineEdit* alarmFile_ = nullptr;
    QPushButton* browse_ = nullptr;
    QPushButton* play_ = nullptr;

    QLineEdit* warnDate_ = nullptr;
    QLineEdit* warnTime_ = nullptr;
    QLineEdit* expiryDate_ = nullptr;
    QLineEdit* expiryTime_ = nullptr;

    QListWidget* allUsers_ = nullptr;
    QListWidget* taskUsers_ = nullptr;
    QComboBox* cascade_ = nullptr;
};

} // namespace qdschedui
