// The message window of a task: its title and text, "&Snooze", "&To Do",
// "&Email" and "Cl&ose", and the repeat of its alarm sound while it is open.
// The same window serves the program's normal and modal messages and qdmsg.
#pragma once

#include "perform/Frame.h"

#include <QDialog>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class QPushButton;

namespace qd {
class AlarmRepeat;
class Clock;
} // namespace qd

namespace qdui {

// What the buttons and the alarm do; an empty function leaves its button
// disabled with a tip saying it is not available yet.
struct MessageActions {
    std::function<void(const std::string& detail, const std::string& label)> log;
    std::function<void(const std::string& file)> playSound;
    // Creates the snooze task; false (with the reason shown) when it failed.
    std::function<bool(const std::string& title, const std::string& text, const std::string& alarmFile)>
        snooze;
    std::function<bool(const std::string& title, const std::string& text)> addToDo;
    std::function<void(const std::string& title, const std::string& text)> email;
};

struct AlarmSettings {
    int repeatAlarmInterval = 0; // seconds; 0 = no repeat
    int maxAlarmTime = 0;        // minutes; 0 = no limit
};

class MessageWindow : public QDialog {
    Q_OBJECT
public:
    MessageWindow(const qd::MessageRequest& request, const qd::Clock& clock, AlarmSettings alarm,
                  MessageActions actions, QWidget* parent = nullptr);
    ~MessageWindow() override;

    const qd::MessageRequest& request() const { return request_; }
    // The window's timer: plays the alarm again when its repeat is due.
    void checkAlarm();
    int alarmRepeats() const { return repeats_; }
    bool alarmFinished() const;

    QPushButton* snoozeButton() const { return snooze_; }
    QPushButton* toDoButton() const { return toDo_; }
    QPushButton* emailButton() const { return email_; }
    QPushButton* closeButton() const { return close_; }

private:
    void onSnooze();
    void onToDo();

    qd::MessageRequest request_;
    const qd::Clock& clock_;
    MessageActions actions_;
    std::unique_ptr<qd::AlarmRepeat> alarm_;
    QTimer timer_;
    int repeats_ = 0;
    QPushButton* snooze_ = nullptr;
    QPushButton* toDo_ = nullptr;
    QPushButton* email_ = nullptr;
    QPushButton* close_ = nullptr;
};

} // namespace qdui
