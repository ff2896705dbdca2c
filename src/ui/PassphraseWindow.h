// The passphrase of a protected data set typed into a small window (the typing
// is never shown). Header-only, so the backup program and the data tool use it
// without linking the whole GUI tier.
#pragma once

#include <QInputDialog>
#include <QLineEdit>
#include <QString>

#include <functional>
#include <optional>
#include <string>

namespace qdui {

// An asker for the passphrase sources: nullopt when the user cancels.
inline std::function<std::optional<std::string>(const std::string&)> passphraseWindow(const QString& title) {
    return [title](const std::string& prompt) -> std::optional<std::string> {
        bool ok = false;
        const QString typed = QInputDialog::getText(nullptr, title, QString::fromStdString(prompt),
                                                    QLineEdit::Password, QString(), &ok);
        if (!ok) return std::nullopt;
        return typed.toStdString();
    };
}

} // namespace qdui
