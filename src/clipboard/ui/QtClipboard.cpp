#include "clipboard/ui/QtClipboard.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QMimeData>

#include <atomic>
#include <vector>

namespace qdclipui {

namespace {

struct QtSnapshot : qd::ClipboardSnapshot {
    std::vector<std::pair<QString, QByteArray>> formats;
};

// The text a paste is served from; notes when a target asks for it.
class PasteData : public QMimeData {
public:
    mutable std::atomic<qint64> requested{0};

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override {
        if (mimeType.startsWith("text/") && mimeType != kOwnWriteFormat) {
            qint64 expected = 0;
            requested.compare_exchange_strong(expected, QDateTime::currentMSecsSinceEpoch());
        }
        return QMimeData::retrieveData(mimeType, type);
    }
};

QMimeData* ownContent(QMimeData* data) {
    data->setData(kOwnWriteFormat, "1");
    return data;
}

} // namespace

bool isOwnWrite(const QMimeData* data) {
    return data && data->hasFormat(kOwnWriteFormat);
}

bool isSecret(const QMimeData* data) {
    return data && data->hasFormat(kSecretHintFormat) &&
           data->data(kSecretHintFormat).trimmed() == QByteArray("secret");
}

QtClipboard::QtClipboard(QObject* parent) : QObject(parent) {
    timer_.setInterval(20);
    connect(&timer_, &QTimer::timeout, this, [this] {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QClipboard* cb = QGuiApplication::clipboard();
        // The user copied something else meanwhile: theirs stays.
        if (cb->mimeData() != pasteData_) {
            pending_.reset();
            finishRestore();
            return;
        }
        const qint64 asked = static_cast<const PasteData*>(pasteData_)->requested.load();
        if ((asked != 0 && now - asked >= afterRequestMs) || now - pasteStarted_ >= pasteTimeoutMs)
            finishRestore();
    });
}

QtClipboard::~QtClipboard() = default;

std::string QtClipboard::text() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || !data->hasText()) return {};
    return data->text().toStdString();
}

void QtClipboard::setText(const std::string& text) {
    lastOwnText_ = text;
    auto* data = new PasteData;
    data->setText(QString::fromStdString(text));
    QGuiApplication::clipboard()->setMimeData(ownContent(data));
    pasteData_ = data;
}

std::unique_ptr<qd::ClipboardSnapshot> QtClipboard::save() {
    // A restore still waiting holds the user's real content: that is what to
    // save, and the new paste takes over its restore.
    if (pending_) {
        timer_.stop();
        return std::move(pending_);
    }
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (!data || data->formats().isEmpty()) return nullptr;
    auto s = std::make_unique<QtSnapshot>();
    for (const QString& f : data->formats())
        if (f != kOwnWriteFormat) s->formats.emplace_back(f, data->data(f));
    if (s->formats.empty()) return nullptr;
    return s;
}

void QtClipboard::restoreAfterPaste(std::unique_ptr<qd::ClipboardSnapshot> snapshot) {
    if (!snapshot) return;
    pending_ = std::move(snapshot);
    pasteStarted_ = QDateTime::currentMSecsSinceEpoch();
    timer_.start();
}

void QtClipboard::finishRestore() {
    timer_.stop();
    if (auto* s = dynamic_cast<QtSnapshot*>(pending_.get())) {
        auto* data = new QMimeData;
        for (const auto& [format, bytes] : s->formats)
            data->setData(format, bytes);
        QGuiApplication::clipboard()->setMimeData(ownContent(data));
    }
    pending_.reset();
    pasteData_ = nullptr;
    emit restoreDone();
}

} // namespace qdclipui
