// "Password Required": asked before a window that changes tasks, scripts or
// the settings opens while the system is locked.
#pragma once

#include "ui/QtUserInterface.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace qd {
class Dispatcher;
struct ProgramSettings;
} // namespace qd

namespace qdui {

class SystemLockPrompt : public QDialog {
    Q_OBJECT
public:
    explicit SystemLockPrompt(QWidget* parent = nullptr);

    QString password() const;
    bool unlockForSession() const;

    // The most characters the password field takes.
    static constexpr int kMaxPassword = 128;

private:
    QLineEdit* password_ = nullptr;
    QCheckBox* session_ = nullptr;
};

// The check every guarded window makes before it opens. Passes without a window
// when the system is not locked or was unlocked for the session; otherwise asks
// through `ui` (so tests can answer). A wrong password shows "Access Denied" and
// fails; Cancel fails. "Unlock system for session" marks the running program
// unlocked in the dispatcher, which then shows " (Unlocked)" in the title;
// `onUnlocked` (when given) lets the caller show that at once.
bool systemLockPrompt(QtUserInterface& ui, const qd::ProgramSettings& settings, qd::Dispatcher& dispatcher,
                      const std::function<void()>& onUnlocked = {});

} // namespace qdui
