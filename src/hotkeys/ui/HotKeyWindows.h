// The hot-key windows: the list of hot keys with their registration state, and
// the form of one hot key, whose combination is chosen with the four modifier
// boxes and a key name or captured by pressing it (with a warning when another
// program holds it).
#pragma once

#include "data/Clock.h"
#include "data/DataSet.h"
#include "data/Globals.h"
#include "data/Records.h"
#include "hotkeys/HotKeyService.h"
#include "platform/HotKeys.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QLineEdit>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace qdui {
class QtUserInterface;
}

namespace qdhotkeyui {

struct HotKeyUiContext {
    qd::DataSet& ds;
    qdui::QtUserInterface& ui;
    const qd::ProgramSettings& settings;
    const qd::Clock& clock;
    qd::HotKeyService* service = nullptr; // the registration state; null: unknown
    qd::HotKeys* system = nullptr;        // to tell whether another program holds a combination
    // The re-register event after a change.
    std::function<void()> reregister;
    // Opens the script wizard for the task of a hot key (`taskId` 0: a new
    // one); the ID of the saved task, 0 when it was cancelled.
    std::function<int(int taskId, const std::string& hotKeyName)> editScript;
};

// The key name of a Qt key ("A", "F5", "PgDn", "Pad7" ...); "" for a key the
// hot keys cannot use (a modifier alone, say).
std::string hotKeyNameForQtKey(int qtKey, bool keypad);

// A field that shows the combination pressed while it has the focus.
class KeyCaptureEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit KeyCaptureEdit(QWidget* parent = nullptr);

signals:
    void captured(bool win, bool ctrl, bool alt, bool shift, const QString& keyName);

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class HotKeyForm : public QDialog {
    Q_OBJECT
public:
    HotKeyForm(HotKeyUiContext& context, const qd::SysHotKeysRecord& record, bool inserting,
               QWidget* parent = nullptr);

    const qd::SysHotKeysRecord& record() const { return record_; }
    // The combination text the boxes and the key name make now.
    std::string combination() const;
    void accept() override;

    QCheckBox* winBox() const { return win_; }
    QCheckBox* ctrlBox() const { return ctrl_; }
    QCheckBox* altBox() const { return alt_; }
    QCheckBox* shiftBox() const { return shift_; }
    QComboBox* keyName() const { return key_; }
    KeyCaptureEdit* capture() const { return capture_; }
    QLabel* warning() const { return warning_; }
    QLineEdit* description() const { return description_; }
    QComboBox* action() const { return action_; }
    QComboBox* textType() const { return textType_; }
    QPlainTextEdit* text() const { return text_; }
    QPushButton* taskButton() const { return taskButton_; }
    QCheckBox* active() const { return active_; }

private:
    void combinationChanged();
    void actionChanged();
    void taskPressed();

    HotKeyUiContext& context_;
    qd::SysHotKeysRecord record_;
    bool inserting_;
    QCheckBox* win_ = nullptr;
    QCheckBox* ctrl_ = nullptr;
    QCheckBox* alt_ = nullptr;
    QCheckBox* shift_ = nullptr;
    QComboBox* key_ = nullptr;
    KeyCaptureEdit* capture_ = nullptr;
    QLabel* warning_ = nullptr;
    QCheckBox* active_ = nullptr;
    QLineEdit* description_ = nullptr;
    QComboBox* action_ = nullptr;
    QWidget* taskRow_ = nullptr;
    QPushButton* taskButton_ = nullptr;
    QLabel* taskLabel_ = nullptr;
    QWidget* textRow_ = nullptr;
    QComboBox* textType_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
};

class HotKeyListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HotKeyListModel(HotKeyUiContext& context, QObject* parent = nullptr);
    void refresh();
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    const qd::SysHotKeysRecord& hotKey(int row) const {
        return rows_.at(static_cast<std::size_t>(row)).record;
    }
    int rowOf(const std::string& combination) const;

private:
    HotKeyUiContext& context_;
    std::vector<qd::HotKeyState> rows_;
};

// "Hot Keys": every hot key, what it does and whether it is registered.
class BrowseHotKeysWindow : public QWidget {
    Q_OBJECT
public:
    explicit BrowseHotKeysWindow(HotKeyUiContext& context, QWidget* parent = nullptr);

    HotKeyListModel* model() const { return model_; }
    QTableView* view() const { return view_; }
    void refresh();
    void insertPressed();
    void changePressed();
    void deletePressed();

private:
    int currentRow() const;
    void select(const std::string& combination);

    HotKeyUiContext& context_;
    HotKeyListModel* model_ = nullptr;
    QTableView* view_ = nullptr;
};

// Saves a hot key from the form's values (a new one when `original` is blank):
// the description defaults to the combination, the summary is rebuilt. False,
// with the record layer's message, when the store refused (a combination
// already used).
bool saveHotKey(qd::DataSet& ds, const std::string& original, qd::SysHotKeysRecord& record);

} // namespace qdhotkeyui
