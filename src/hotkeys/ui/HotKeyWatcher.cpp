#include "hotkeys/ui/HotKeyWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

namespace qdhotkeyui {

HotKeyWatcher::HotKeyWatcher(qd::HotKeyService& service, qd::HotKeys& system, QObject* parent)
    : QObject(parent), service_(service), system_(system) {
    const int fd = system_.eventDescriptor();
    if (fd >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { takePresses(); });
    }
}

HotKeyWatcher::~HotKeyWatcher() = default;

void HotKeyWatcher::registerAll() {
    service_.registerAll();
    emit registered();
    takeSoon();
}

void HotKeyWatcher::takeSoon() {
    // Talking to the desktop may have read events that the descriptor will
    // not signal again.
    if (system_.pressesPending()) QTimer::singleShot(0, this, [this] { takePresses(); });
}

void HotKeyWatcher::takePresses() {
    // An action that shows a message runs a nested event loop: presses that
    // arrive meanwhile wait for this one to finish.
    if (busy_) {
        QTimer::singleShot(50, this, [this] { takePresses(); });
        return;
    }
    busy_ = true;
    const auto outcomes = service_.handleSystemPresses();
    busy_ = false;
    for (qd::HotKeyOutcome o : outcomes)
        emit pressed(o);
    takeSoon();
}

} // namespace qdhotkeyui
