// Delivers hot-key presses to the main window's thread: the desktop's
// descriptor is watched by the event loop (no polling), and presses that were
// read while something else talked to the desktop are taken on the next turn
// of the loop.
#pragma once

#include "hotkeys/HotKeyService.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace qdhotkeyui {

class HotKeyWatcher : public QObject {
    Q_OBJECT
public:
    HotKeyWatcher(qd::HotKeyService& service, qd::HotKeys& system, QObject* parent = nullptr);
    ~HotKeyWatcher() override;

    // Registers every hot key (start, and the re-register event).
    void registerAll();
    // Takes and performs what the desktop delivered.
    void takePresses();

signals:
    void pressed(qd::HotKeyOutcome outcome);
    void registered();

private:
    void takeSoon();

    qd::HotKeyService& service_;
    qd::HotKeys& system_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool busy_ = false;
};

} // namespace qdhotkeyui
