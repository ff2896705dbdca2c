// The window helpers of the step editor: a list of the open windows (front to
// back) to pick a title pattern from, the control texts of a window to pick a
// "containing" text from, the count of open windows a pattern matches, and the
// window and control under the mouse pointer.
#pragma once

#include "platform/WindowSystem.h"
#include "script/WindowTargeting.h"

#include <QDialog>
#include <QGroupBox>

#include <string>
#include <vector>

class QLineEdit;
class QListWidget;
class QTimer;

namespace qdscriptui {

// How many of the windows a pattern matches, as the editor shows it:
// "matches no window", "matches 1 window", "matches 2 windows".
int countMatches(const std::vector<qd::WindowListEntry>& windows, const std::string& pattern);
QString matchText(int count);

// "Pick a Window": the open windows with a title, front to back.
class WindowPickerDialog : public QDialog {
    Q_OBJECT
public:
    WindowPickerDialog(qd::WindowTargeting& windows, QWidget* parent = nullptr);
    // Reads the window list again.
    void reload();
    QListWidget* list() const { return list_; }
    std::string chosenTitle() const;
    qd::WindowHandle chosenHandle() const;

private:
    qd::WindowTargeting& windows_;
    QListWidget* list_ = nullptr;
    std::vector<qd::WindowListEntry> shown_;
};

// "Pick a Control Text": the texts of the controls of one window.
class ChildPickerDialog : public QDialog {
    Q_OBJECT
public:
    ChildPickerDialog(qd::WindowTargeting& windows, qd::WindowHandle window, const QString& title,
                      QWidget* parent = nullptr);
    QListWidget* list() const { return list_; }
    std::string chosenText() const;

private:
    QListWidget* list_ = nullptr;
    std::vector<qd::ChildListEntry> shown_;
};

// The window and control under the mouse pointer, sampled on a timer: four
// read-only fields, each rewritten only when its text changed.
class PointerDisplay : public QGroupBox {
    Q_OBJECT
public:
    PointerDisplay(qd::WindowTargeting& windows, QWidget* parent = nullptr);
    // One sample now (the timer calls it).
    void sample();
    QLineEdit* field(int i) const { return fields_[i]; }

signals:
    // "&Use": the window title under the pointer is wanted as the pattern.
    void useTitle(const QString& title);

private:
    qd::WindowTargeting& windows_;
    QLineEdit* fields_[4] = {};
    QTimer* timer_ = nullptr;
    qd::PointerTarget last_;
};

} // namespace qdscriptui
