#include "clipboard/ui/ClipboardMonitor.h"

#include "clipboard/ui/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace qdclipui {

ClipboardMonitor::ClipboardMonitor(qd::ClipboardWriter& writer, const qd::ProgramSettings& settings,
                                   const qd::Clock& clock, qd::WindowSystem& windows, QtClipboard* own,
                                   QObject* parent)
    : QObject(parent), writer_(writer), settings_(settings), clock_(clock), windows_(windows), own_(own) {
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode != QClipboard::Clipboard) return;
        notified_ = true;
        if (monitoring()) check();
    });
}

bool ClipboardMonitor::monitoring() const {
    return settings_.MonitorClipboard && !settings_.CM_UseEx;
}

void ClipboardMonitor::tickCheck() {
    if (!notified_ && monitoring()) check();
}

bool ClipboardMonitor::check() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data && isOwnWrite(data)) {
        last_ = own_ && own_->isTextContent(data) ? own_->lastOwnText() : data->text().toStdString();
        writer_.ignore(last_);
        return false;
    }
    if (data && isSecret(data)) {
        last_ = data->text().toStdString();
        writer_.ignore(last_);
        return false;
    }
    // Formats other than text give an empty text, which is not stored.
    const std::string text = data && data->hasText() ? data->text().toStdString() : std::string();
    if (text == last_) return false;
    last_ = text;
    std::string title;
    if (const qd::WindowHandle w = windows_.foregroundWindow()) title = windows_.windowText(w);
    writer_.capture(text, title, clock_.now(), settings_.MaxClipboardEntries);
    return true;
}

} // namespace qdclipui
