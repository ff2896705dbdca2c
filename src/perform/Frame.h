// What the dispatcher asks of the program's main window and of the desktop.
// The Qt frame implements it for the program; qdctl's headless runner for the
// terminal; tests record the calls.
#pragma once

#include <string>

namespace qd {

struct MessageRequest {
    std::string title;     // expanded task description
    std::string text;      // expanded message, at most 1024 characters
    std::string alarmFile; // repeated by the window while it is open; blank for none
    bool modal = false;    // stays on top and holds the dispatcher until closed
};

class Frame {
public:
    virtual ~Frame() = default;
    virtual void bringToFront() = 0;
    virtual bool isMinimized() const = 0;
    // Plays a WAV file without waiting.
    virtual void playSound(const std::string& file) = 0;
    virtual void beep() = 0;
    // The message window of a task (modal: returns when it is closed).
    virtual void showMessageWindow(const MessageRequest& request) = 0;
    // Message windows open now (message boxes take over at 60).
    virtual int openMessageWindows() const = 0;
    // Ends the program (a "QDCHAIN" command hands over to another program).
    virtual void requestShutdown() = 0;
    // Tells every open task list to read its view again.
    virtual void refreshTaskLists() = 0;
};

} // namespace qd
