// Feeds the clipboard saver with every change. Where the desktop has a
// clipboard watcher, it reads each copy on its own thread the moment the copy
// is made, so a busy event loop here cannot lose one; otherwise QClipboard's
// change notifications are read on the event loop. Either way the writer
// stores them on its own thread, so reading the next change never waits for
// the store, and the dispatcher's once-a-second look stays as a safety net
// where nothing tells about changes. The program's own writes and contents
// marked secret by a password manager are never stored.
#pragma once

#include "clipboard/ClipboardWriter.h"
#include "data/Clock.h"
#include "data/Globals.h"
#include "platform/Clipboard.h"
#include "platform/WindowSystem.h"

#include <QObject>

#include <string>

namespace qdclipui {

class QtClipboard;

class ClipboardMonitor : public QObject {
    Q_OBJECT
public:
    ClipboardMonitor(qd::ClipboardWriter& writer, const qd::ProgramSettings& settings, const qd::Clock& clock,
                     qd::WindowSystem& windows, QtClipboard* own, qd::ClipboardWatcher* watcher = nullptr,
                     QObject* parent = nullptr);
    ~ClipboardMonitor() override;

    // Looks at the clipboard now (each change); true when a new text was
    // handed to the writer.
    bool check();
    // The dispatcher's once-a-second look: only where the desktop does not
    // tell about changes (asking a foreign owner every second costs a round
    // trip, and a hung owner would stall the program each time).
    void tickCheck();
    bool monitoring() const;
    // Whether copies come from the desktop's watcher.
    bool watching() const { return watching_; }
    // Copies the watcher could not read because the next copy replaced them
    // before its request reached the display.
    unsigned long lostCopies() const { return lost_; }

private:
    // A copy the watcher read (on the event loop).
    void take(const qd::ClipboardCopy& copy);
    // The rules of a text seen on the clipboard that is neither ours nor secret.
    bool consider(const std::string& text);

    qd::ClipboardWriter& writer_;
    const qd::ProgramSettings& settings_;
    const qd::Clock& clock_;
    qd::WindowSystem& windows_;
    QtClipboard* own_;
    qd::ClipboardWatcher* watcher_;
    std::string last_;
    bool notified_ = false;
    bool watching_ = false;
    unsigned long lost_ = 0;
};

} // namespace qdclipui
