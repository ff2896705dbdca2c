// Feeds the clipboard saver from QClipboard's change notifications, so every
// change is seen when it happens (two copies within one second both count);
// the dispatcher's once-a-second check stays as a safety net. The program's
// own writes and contents marked secret by a password manager are never
// stored.
#pragma once

#include "clipboard/ClipboardSaver.h"
#include "data/Globals.h"
#include "platform/WindowSystem.h"

#include <QObject>

#include <functional>

namespace qdclipui {

class QtClipboard;

class ClipboardMonitor : public QObject {
    Q_OBJECT
public:
    ClipboardMonitor(qd::ClipboardSaver& saver, const qd::ProgramSettings& settings,
                     qd::WindowSystem& windows, QtClipboard* own, QObject* parent = nullptr);

    // Looks at the clipboard now (each change).
    qd::CaptureOutcome check();
    // The dispatcher's once-a-second look: only where the desktop does not
    // tell about changes (asking a foreign owner every second costs a round
    // trip, and a hung owner would stall the program each time).
    void tickCheck();
    bool monitoring() const;

signals:
    void captured(qd::CaptureOutcome outcome);

private:
    qd::ClipboardSaver& saver_;
    const qd::ProgramSettings& settings_;
    qd::WindowSystem& windows_;
    QtClipboard* own_;
    bool notified_ = false;
};

} // namespace qdclipui
