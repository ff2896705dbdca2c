#include "clipboard/ui/ClipboardMonitor.h"

#include "clipboard/ui/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace qdclipui {

ClipboardMonitor::ClipboardMonitor(qd::ClipboardSaver& saver, const qd::ProgramSettings& settings,
                                   qd::WindowSystem& windows, QtClipboard* own, QObject* parent)
    : QObject(parent), saver_(saver), settings_(settings), windows_(windows), own_(own) {
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode != QClipboard::Clipboard) return;
        notified_ = true;
        if (monitoring()) check();
    });
}

void ClipboardMonitor::tickCheck() {
    if (!notified_ && monitoring()) check();
}

bool ClipboardMonitor::monitoring() const {
    return settings_.MonitorClipboard && !settings_.CM_UseEx;
}

qd::CaptureOutcome ClipboardMonitor::check() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    qd::CaptureOutcome outcome;
    if (!data) {
        outcome = saver_.capture({}, {});
    } else if (isOwnWrite(data)) {
        outcome = saver_.ignore(own_ && own_->isTextContent(data) ? own_->lastOwnText()
                                                                  : data->text().toStdString());
    } else if (isSecret(data)) {
        outcome = saver_.ignore(data->text().toStdString());
    } else {
        const std::string text = data->hasText() ? data->text().toStdString() : std::string();
        if (text == saver_.lastText()) return qd::CaptureOutcome::Unchanged;
        std::string title;
        if (const qd::WindowHandle w = windows_.foregroundWindow()) title = windows_.windowText(w);
        outcome = saver_.capture(text, title);
    }
    emit captured(outcome);
    return outcome;
}

} // namespace qdclipui
