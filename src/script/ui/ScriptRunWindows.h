// The windows of running scripts: "View Current Script", the step queue of
// the program refreshed every tick with "Stop Active Scripts"; and a
// step-by-step run of one task's script, one step per press, showing each
// step, the variables after it and the result of its condition.
#pragma once

#include "data/Clock.h"
#include "script/ui/ScriptUiContext.h"

#include <QDialog>
#include <QWidget>

#include <map>
#include <memory>

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

namespace qd {
class ScriptEngine;
struct QueueEntry;
} // namespace qd

namespace qdscriptui {

// What a queue entry is doing, as the running-script view shows it.
QString queueEntryState(const qd::QueueEntry& entry, bool head, const qd::Moment& now);

class CurrentScriptWindow : public QWidget {
    Q_OBJECT
public:
    CurrentScriptWindow(ScriptUiContext& context, QWidget* parent = nullptr);
    QTableWidget* table() const { return table_; }
    // Reads the queue again (every tick).
    void refresh();
    void stopAll();

private:
    QString taskText(int taskId);

    ScriptUiContext& context_;
    QTableWidget* table_ = nullptr;
    QLabel* summary_ = nullptr;
    QPushButton* stop_ = nullptr;
    QTimer* timer_ = nullptr;
    std::map<int, QString> tasks_;
    QString shown_;
};

// A clock that runs with another one but can be pushed to a moment, so a
// step-by-step run executes each step when asked, not when it falls due.
class SteppingClock : public qd::Clock {
public:
    explicit SteppingClock(const qd::Clock& base) : base_(base) {}
    qd::Moment now() const override;
    void pushTo(qd::Moment m) { pushed_ = m; }

private:
    const qd::Clock& base_;
    qd::Moment pushed_{};
};

class DebugRunWindow : public QDialog {
    Q_OBJECT
public:
    DebugRunWindow(ScriptUiContext& context, int taskId, const QString& title, QWidget* parent = nullptr);
    ~DebugRunWindow() override;

    // Executes the step at the head of this run's queue; false when none is left.
    bool step();
    // Starts the run again from the first step.
    void restart();
    QTableWidget* steps() const { return steps_; }
    QTableWidget* variables() const { return variables_; }
    QLabel* lastStep() const { return last_; }
    int remaining() const;

private:
    void showState();

    ScriptUiContext& context_;
    int taskId_ = 0;
    SteppingClock clock_;
    std::unique_ptr<qd::ScriptEngine> engine_;
    QTableWidget* steps_ = nullptr;
    QTableWidget* variables_ = nullptr;
    QLabel* next_ = nullptr;
    QLabel* last_ = nullptr;
    QPushButton* stepButton_ = nullptr;
    QString lastText_;
};

} // namespace qdscriptui
