#include "clipboard/ui/ClipboardMonitor.h"

#include "clipboard/ui/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <cstdio>

namespace qdclipui {

ClipboardMonitor::ClipboardMonitor(qd::ClipboardWriter& writer, const qd::ProgramSettings& settings,
                                   const qd::Clock& clock, qd::WindowSystem& windows, QtClipboard* own,
                                   qd::ClipboardWatcher* watcher, QObject* parent)
    : QObject(parent), writer_(writer), settings_(settings), clock_(clock), windows_(windows), own_(own),
      watcher_(watcher) {
    if (watcher_)
        watching_ = watcher_->start(
            [this](qd::ClipboardCopy copy) {
                QMetaObject::invokeMethod(
                    this, [this, copy = std::move(copy)] { take(copy); }, Qt::QueuedConnection);
            },
            kOwnWriteFormat);
    if (watching_) {
        notified_ = true;
        return;
    }
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode != QClipboard::Clipboard) return;
        notified_ = true;
        if (monitoring()) check();
    });
}

ClipboardMonitor::~ClipboardMonitor() {
    if (watching_) watcher_->stop();
}

void ClipboardMonitor::take(const qd::ClipboardCopy& copy) {
    if (copy.lost) {
        ++lost_;
        std::fprintf(stderr,
                     "qd: a clipboard copy was replaced by the next one before it could be read (%lu)\n",
                     lost_);
        return;
    }
    if (!monitoring()) return;
    const auto offers = [&copy](const char* format) {
        return std::find(copy.formats.begin(), copy.formats.end(), format) != copy.formats.end();
    };
    if (offers(kOwnWriteFormat)) {
        // Ours: the text we put there, read here without asking the content.
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        if (data && isOwnWrite(data)) {
            last_ = own_ && own_->isTextContent(data) ? own_->lastOwnText() : data->text().toStdString();
            writer_.ignore(last_);
        }
        return;
    }
    if (QByteArray::fromStdString(copy.secretHint).trimmed() == "secret") {
        last_ = copy.text;
        writer_.ignore(last_);
        return;
    }
    consider(copy.hasText ? copy.text : std::string());
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
    return consider(data && data->hasText() ? data->text().toStdString() : std::string());
}

bool ClipboardMonitor::consider(const std::string& text) {
    if (text == last_) return false;
    last_ = text;
    std::string title;
    if (const qd::WindowHandle w = windows_.foregroundWindow()) title = windows_.windowText(w);
    writer_.capture(text, title, clock_.now(), settings_.MaxClipboardEntries);
    return true;
}

} // namespace qdclipui
