#include "ui/SystemLockPrompt.h"

#include "dispatcher/Dispatcher.h"
#include "ui/SystemLock.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace qdui {

SystemLockPrompt::SystemLockPrompt(QWidget* parent) : QDialog(parent) {
    setObjectName("SystemLockPrompt");
    setWindowTitle("Password Required");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel("Enter the system password:", this);
    password_ = new QLineEdit(this);
    password_->setObjectName("SystemPassword");
    password_->setAccessibleName("Enter the system password:");
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(kMaxPassword);
    password_->setMinimumWidth(260);
    label->setBuddy(password_);
    session_ = new QCheckBox("Unlock system for session", this);
    session_->setObjectName("UnlockForSession");
    session_->setAccessibleName("Unlock system for session");
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton("&OK", QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton("&Cancel", QDialogButtonBox::RejectRole);
    ok->setAccessibleName("OK");
    cancel->setAccessibleName("Cancel");
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(label);
    layout->addWidget(password_);
    layout->addWidget(session_);
    layout->addWidget(buttons);
}

QString SystemLockPrompt::password() const {
    return password_->text();
}

bool SystemLockPrompt::unlockForSession() const {
    return session_->isChecked();
}

bool systemLockPrompt(QtUserInterface& ui, const qd::ProgramSettings& settings, qd::Dispatcher& dispatcher,
                      const std::function<void()>& onUnlocked) {
    if (!systemLockNeedsPassword(settings, dispatcher.unlocked())) return true;
    std::string typed;
    bool forSession = false;
    {
        SystemLockPrompt prompt(ui.parentWindow());
        if (ui.runDialog(prompt) != QDialog::Accepted) return false;
        typed = prompt.password().toStdString();
        forSession = prompt.unlockForSession();
    }
    switch (tryUnlock(settings, typed, forSession)) {
    case UnlockOutcome::Denied:
        ui.message(kAccessDeniedTitle, kAccessDeniedText, qd::MessageIcon::Hand);
        return false;
    case UnlockOutcome::Passed:
        return true;
    case UnlockOutcome::UnlockedForSession:
        dispatcher.setUnlocked(true);
        if (onUnlocked) onUnlocked();
        return true;
    }
    return false;
}

} // namespace qdui
