// Feeds the clipboard saver from QClipboard's change notifications, so every
// change is read when it happens (two copies within one second both count);
// the writer stores them on its own thread, so reading the next change never
// waits for the store. The dispatcher's once-a-second look stays as a safety
// net. The program's own writes and contents marked secret by a password
// manager are never stored.
#pragma once

#include "clipboard/ClipboardWriter.h"
#include "data/Clock.h"
#include "data/Globals.h"
#include "platform/WindowSystem.h"

#include <QObject>

#include <string>

namespace qdclipui {

class QtClipboard;

class ClipboardMonitor : public QObject {
    Q_OBJECT
public:
    ClipboardMonitor(qd::ClipboardWriter& writer, const qd::ProgramSettings& settings, const qd::Clock& clock,
                     qd::WindowSystem& windows, QtClipboard* own, QObject* parent = nullptr);

    // Looks at the clipboard now (each change); true when a new text was
    // handed to the writer.
    bool check();
    // The dispatcher's once-a-second look: only where the desktop does not
    // tell about changes (asking a foreign owner every second costs a round
    // trip, and a hung owner would stall the program each time).
    void tickCheck();
    bool monitoring() const;

private:
    qd::ClipboardWriter& writer_;
    const qd::ProgramSettings& settings_;
    const qd::Clock& clock_;
    qd::WindowSystem& windows_;
    QtClipboard* own_;
    std::string last_;
    bool notified_ = false;
};

} // namespace qdclipui
