// The desktop clipboard through QClipboard: the program's own writes carry a
// marker format so the clipboard saver knows them, a snapshot keeps every
// format, and a paste's previous content comes back once the target has taken
// the paste.
#pragma once

#include "platform/Clipboard.h"

#include <QObject>
#include <QTimer>

#include <memory>

class QMimeData;

namespace qdclipui {

// The MIME format that marks a clipboard content this program put there.
inline constexpr const char* kOwnWriteFormat = "application/x-quandrel-own";
// The format password managers use to say the content is secret.
inline constexpr const char* kSecretHintFormat = qd::kPasswordManagerHint;

// Whether a content is this program's own write / marked secret.
bool isOwnWrite(const QMimeData* data);
bool isSecret(const QMimeData* data);

class QtClipboard : public QObject, public qd::Clipboard {
    Q_OBJECT
public:
    explicit QtClipboard(QObject* parent = nullptr);
    ~QtClipboard() override;

    std::string text() override;
    void setText(const std::string& text) override;
    std::unique_ptr<qd::ClipboardSnapshot> save() override;
    void restoreAfterPaste(std::unique_ptr<qd::ClipboardSnapshot> snapshot) override;

    // How long a paste may take to ask for the text before the previous
    // content comes back anyway, and how long after its request.
    int pasteTimeoutMs = 2000;
    int afterRequestMs = 150;

    bool restorePending() const { return pending_ != nullptr; }
    // The text of the last setText() (read without asking the content, which
    // would count as the paste being taken).
    const std::string& lastOwnText() const { return lastOwnText_; }
    // Whether `data` is the content of the last setText().
    bool isTextContent(const QMimeData* data) const { return data && data == pasteData_; }

signals:
    // The previous content is back on the clipboard (or was dropped because the
    // user copied something else meanwhile).
    void restoreDone();

private:
    void finishRestore();

    std::unique_ptr<qd::ClipboardSnapshot> pending_;
    QTimer timer_;
    qint64 pasteStarted_ = 0;
    qint64 requestedAt_ = 0;
    std::string lastOwnText_;
    const QMimeData* pasteData_ = nullptr; // the content the paste is served from (owned by QClipboard)
};

} // namespace qdclipui
