#include "ui/LogViewer.h"

#include "data/EventLog.h"
#include "data/IniFile.h"

#include <QBrush>
#include <QCloseEvent>
#include <QColor>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace qdui {
namespace {

// Bytes read at a time, when scanning and for the lines the view shows.
constexpr std::int64_t kBlock = 64 * 1024;

// The viewer's place in POSITION.INI.
constexpr const char* kPositionName = "ViewAscii:Log";

QString columnText(const std::string& line, LogFileModel::Column column) {
    // The columns are fixed-width in bytes; parseLogLine cuts them and drops the padding.
    const qd::QD_LOGRecord r = qd::parseLogLine(line);
    switch (column) {
    case LogFileModel::DateColumn:
        return QString::fromUtf8(r.LogDate);
    case LogFileModel::TimeColumn:
        return QString::fromUtf8(r.LogTime);
    case LogFileModel::LabelColumn:
        return QString::fromUtf8(r.LogLabel);
    case LogFileModel::DetailColumn:
        return QString::fromUtf8(r.LogData);
    default:
        return {};
    }
}

} // namespace

LogFileModel::LogFileModel(std::filesystem::path file, QObject* parent)
    : QAbstractTableModel(parent), path_(std::move(file)) {
    refresh();
}

LogFileModel::~LogFileModel() = default;

int LogFileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(starts_.size());
}

int LogFileModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant LogFileModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        const std::string l = readLine(index.row());
        return columnText(l, static_cast<Column>(index.column()));
    }
    if (role == Qt::BackgroundRole && !highlight_.isEmpty()) {
        if (line(index.row()).contains(highlight_, Qt::CaseInsensitive)) return QBrush(QColor(255, 236, 140));
    }
    return {};
}

QVariant LogFileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    switch (section) {
    case DateColumn:
        return QStringLiteral("Date");
    case TimeColumn:
        return QStringLiteral("Time");
    case LabelColumn:
        return QStringLiteral("Event");
    case DetailColumn:
        return QStringLiteral("Detail");
    default:
        return {};
    }
}

void LogFileModel::dropCache() const {
    cache_.clear();
    cacheStart_ = -1;
}

void LogFileModel::refresh() {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (exists_ || !starts_.empty() || note_.isEmpty()) {
            beginResetModel();
            starts_.clear();
            scanned_ = 0;
            fileHandle_.close();
            dropCache();
            exists_ = false;
            note_ = QStringLiteral("The event log %1 does not exist: nothing has been logged yet. "
                                   "Turn on \"Log events\" in the options to keep one.")
                        .arg(QString::fromStdString(path_.string()));
            endResetModel();
        }
        return;
    }
    const bool replaced = !exists_ || st.st_dev != device_ || st.st_ino != inode_;
    if (replaced || st.st_size < scanned_) {
        device_ = st.st_dev;
        inode_ = st.st_ino;
        reindex();
        return;
    }
    if (st.st_size == scanned_) return;
    // New lines at the end: only those bytes are read.
    std::vector<std::int64_t> fresh;
    std::int64_t end = scanned_;
    if (!scanLines(scanned_, fresh, end) || fresh.empty()) return;
    const int before = rowCount();
    beginInsertRows({}, before, before + static_cast<int>(fresh.size()) - 1);
    starts_.insert(starts_.end(), fresh.begin(), fresh.end());
    scanned_ = end;
    endInsertRows();
}

void LogFileModel::reindex() {
    beginResetModel();
    ++fullIndexes_;
    starts_.clear();
    scanned_ = 0;
    dropCache();
    fileHandle_.close();
    fileHandle_.setFileName(QString::fromStdString(path_.string()));
    exists_ = fileHandle_.open(QIODevice::ReadOnly);
    if (!exists_) {
        note_ = QStringLiteral("The event log %1 cannot be read: %2")
                    .arg(QString::fromStdString(path_.string()), fileHandle_.errorString());
    } else if (!scanLines(0, starts_, scanned_)) {
        starts_.clear();
        scanned_ = 0;
        note_ = QStringLiteral("The event log %1 cannot be read: %2")
                    .arg(QString::fromStdString(path_.string()), fileHandle_.errorString());
    } else {
        note_.clear();
    }
    endResetModel();
}

bool LogFileModel::scanLines(std::int64_t offset, std::vector<std::int64_t>& starts, std::int64_t& end) {
    if (!fileHandle_.isOpen() || !fileHandle_.seek(offset)) return false;
    std::vector<char> buffer(static_cast<std::size_t>(kBlock) * 4);
    std::int64_t pos = offset;
    std::int64_t lineStart = offset;
    for (;;) {
        const qint64 n = fileHandle_.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (n < 0) return false;
        if (n == 0) break;
        const char* p = buffer.data();
        const char* stop = p + n;
        while (p < stop) {
            const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(stop - p));
            if (!nl) break;
            const char* at = static_cast<const char*>(nl);
            starts.push_back(lineStart);
            lineStart = pos + (at - buffer.data()) + 1;
            p = at + 1;
        }
        pos += n;
    }
    // A last line still without its line end waits for the next look.
    end = lineStart;
    // A block cached at the old end may be short: the file grew.
    dropCache();
    return true;
}

std::string LogFileModel::readLine(int row) const {
    if (row < 0 || row >= rowCount()) return {};
    const std::int64_t start = starts_[static_cast<std::size_t>(row)];
    const std::int64_t end =
        (row + 1 < rowCount() ? starts_[static_cast<std::size_t>(row) + 1] : scanned_) - 1;
    const std::int64_t length = std::max<std::int64_t>(0, end - start);
    auto inCache = [&] {
        return cacheStart_ >= 0 && start >= cacheStart_ &&
               start + length <= cacheStart_ + static_cast<std::int64_t>(cache_.size());
    };
    if (!inCache()) {
        // A block around the line, so that the rows next to it (either way) need no read.
        const std::int64_t want = std::max(kBlock, length);
        std::int64_t from = std::max<std::int64_t>(0, start - want / 2);
        if (from + want < start + length) from = start;
        auto& file = const_cast<QFile&>(fileHandle_);
        if (!file.isOpen() || !file.seek(from)) return {};
        const std::int64_t size = std::min(want, scanned_ - from);
        cache_.resize(static_cast<std::size_t>(std::max<std::int64_t>(0, size)));
        const qint64 n = file.read(cache_.data(), static_cast<qint64>(cache_.size()));
        cache_.resize(static_cast<std::size_t>(std::max<qint64>(0, n)));
        cacheStart_ = from;
        if (!inCache()) return {};
    }
    std::string l =
        cache_.substr(static_cast<std::size_t>(start - cacheStart_), static_cast<std::size_t>(length));
    if (!l.empty() && l.back() == '\r') l.pop_back();
    return l;
}

QString LogFileModel::line(int row) const {
    return QString::fromUtf8(readLine(row));
}

int LogFileModel::find(const QString& text, int from, bool forward) const {
    const int n = rowCount();
    if (text.isEmpty() || n == 0) return -1;
    const QByteArray needle = text.toUtf8();
    for (int step = 1; step <= n; ++step) {
        int row = forward ? from + step : from - step;
        row = ((row % n) + n) % n;
        const std::string l = readLine(row);
        // Most lines are plain ASCII: test the bytes first, then the text.
        if (QByteArrayView(l).contains(needle) || QString::fromUtf8(l).contains(text, Qt::CaseInsensitive))
            return row;
    }
    return -1;
}

void LogFileModel::setHighlight(const QString& text) {
    if (text == highlight_) return;
    highlight_ = text;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1), {Qt::BackgroundRole});
}

bool printLog(const LogFileModel& model, QPrinter& printer) {
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(7.5);
    painter.setFont(font);
    const QFontMetrics metrics(font, painter.device());
    const int lineHeight = std::max(1, metrics.lineSpacing());
    const QRect page = painter.viewport();
    const int perPage = std::max(1, page.height() / lineHeight - 2);
    const QString title = QString::fromStdString(model.file().filename().string());
    const int rows = model.rowCount();
    const int pages = std::max(1, (rows + perPage - 1) / perPage);
    for (int p = 0; p < pages; ++p) {
        if (p > 0 && !printer.newPage()) return false;
        painter.drawText(0, metrics.ascent(),
                         QStringLiteral("%1 - page %2 of %3").arg(title).arg(p + 1).arg(pages));
        for (int i = 0; i < perPage; ++i) {
            const int row = p * perPage + i;
            if (row >= rows) break;
            painter.drawText(0, metrics.ascent() + (i + 2) * lineHeight, model.line(row).trimmed());
        }
    }
    return painter.end();
}

LogViewer::LogViewer(std::filesystem::path file, std::filesystem::path dataFolder, QWidget* parent)
    : QWidget(parent), model_(new LogFileModel(std::move(file), this)), folder_(std::move(dataFolder)) {
    setObjectName("LogViewer");
    setWindowTitle(
        QStringLiteral("Event Log - %1").arg(QString::fromStdString(model_->file().filename().string())));
    // At least 328 by 166 dialog units at the usual 8-point font.
    setMinimumSize(490, 270);

    note_ = new QLabel(this);
    note_->setObjectName("LogNote");
    note_->setWordWrap(true);
    search_ = new QLineEdit(this);
    search_->setObjectName("LogSearch");
    search_->setPlaceholderText("Find text");
    search_->setClearButtonEnabled(true);
    auto* next = new QPushButton("Find &Next", this);
    auto* previous = new QPushButton("Find &Previous", this);
    auto* print = new QPushButton("P&rint...", this);
    next->setObjectName("FindNext");
    previous->setObjectName("FindPrevious");
    print->setObjectName("Print");

    view_ = new QTableView(this);
    view_->setObjectName("LogLines");
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setWordWrap(false);
    view_->setShowGrid(false);
    view_->setAlternatingRowColors(true);
    // Fixed row heights: the view never measures the rows it does not show.
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 4);
    view_->verticalHeader()->hide();
    view_->horizontalHeader()->setStretchLastSection(true);
    view_->setColumnWidth(LogFileModel::DateColumn, 100);
    view_->setColumnWidth(LogFileModel::TimeColumn, 90);
    view_->setColumnWidth(LogFileModel::LabelColumn, 200);

    auto* tools = new QHBoxLayout;
    tools->addWidget(search_, 1);
    tools->addWidget(next);
    tools->addWidget(previous);
    tools->addSpacing(12);
    tools->addWidget(print);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(note_);
    layout->addWidget(view_, 1);

    connect(next, &QPushButton::clicked, this, [this] { findNext(true); });
    connect(previous, &QPushButton::clicked, this, [this] { findNext(false); });
    connect(search_, &QLineEdit::returnPressed, this, [this] { findNext(true); });
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& t) {
        model_->setHighlight(t);
        showNote();
    });
    connect(print, &QPushButton::clicked, this, &LogViewer::printWithDialog);
    auto* f3 = new QShortcut(QKeySequence::FindNext, this);
    auto* shiftF3 = new QShortcut(QKeySequence::FindPrevious, this);
    connect(f3, &QShortcut::activated, this, [this] { findNext(true); });
    connect(shiftF3, &QShortcut::activated, this, [this] { findNext(false); });
    connect(view_->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this](int v) { followEnd_ = v == view_->verticalScrollBar()->maximum(); });

    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &LogViewer::refresh);
    timer_->start();
    showNote();
    view_->scrollToBottom();
}

LogViewer::~LogViewer() = default;

int LogViewer::currentRow() const {
    return view_->currentIndex().isValid() ? view_->currentIndex().row() : -1;
}

void LogViewer::refresh() {
    const int before = model_->rowCount();
    const bool atEnd = followEnd_;
    model_->refresh();
    if (model_->rowCount() != before || !model_->note().isEmpty()) showNote();
    // The newest lines stay in sight while the user has not scrolled away.
    if (atEnd && model_->rowCount() > before) view_->scrollToBottom();
}

bool LogViewer::findNext(bool forward) {
    const QString text = search_->text();
    if (text.isEmpty()) {
        search_->setFocus();
        return false;
    }
    model_->setHighlight(text);
    int from = currentRow();
    if (from < 0) from = forward ? model_->rowCount() - 1 : 0;
    const int row = model_->find(text, from, forward);
    if (row < 0) {
        note_->setText(QStringLiteral("\"%1\" is not in the log.").arg(text));
        note_->show();
        return false;
    }
    showNote();
    followEnd_ = false;
    const QModelIndex at = model_->index(row, LogFileModel::LabelColumn);
    view_->setCurrentIndex(at);
    view_->scrollTo(at, QAbstractItemView::PositionAtCenter);
    return true;
}

void LogViewer::printWithDialog() {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle("Print the Event Log");
    if (dialog.exec() != QDialog::Accepted) return;
    if (!printLog(*model_, printer)) {
        note_->setText("The printer could not be started.");
        note_->show();
    }
}

void LogViewer::showNote() {
    const QString text = model_->note();
    note_->setText(text);
    note_->setVisible(!text.isEmpty());
}

void LogViewer::closeEvent(QCloseEvent* event) {
    // An MDI child's place is that of its sub-window.
    QWidget* frame = qobject_cast<QMdiSubWindow*>(parentWidget()) ? parentWidget() : this;
    if (!folder_.empty()) {
        const QRect r = frame->geometry();
        qd::WindowPosition p;
        p.maximized = frame->isMaximized();
        p.x = r.x();
        p.y = r.y();
        p.width = r.width();
        p.height = r.height();
        qd::INIClass(folder_).update(kPositionName, p, true);
    }
    QWidget::closeEvent(event);
}

LogViewer* showLogViewer(QMdiArea* area, const std::filesystem::path& file,
                         const std::filesystem::path& dataFolder) {
    for (QMdiSubWindow* w : area->subWindowList()) {
        if (auto* viewer = qobject_cast<LogViewer*>(w->widget())) {
            if (w->isMinimized()) w->showNormal();
            area->setActiveSubWindow(w);
            viewer->refresh();
            return viewer;
        }
    }
    auto* viewer = new LogViewer(file, dataFolder);
    QMdiSubWindow* sub = area->addSubWindow(viewer);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->resize(760, 420);
    if (const auto saved = qd::INIClass(dataFolder).fetch(kPositionName, true)) {
        if (saved->width > 0 && saved->height > 0) sub->resize(QSize(saved->width, saved->height));
        // Only a place that lies within the area is used again.
        const QRect r(saved->x, saved->y, sub->width(), sub->height());
        if (area->viewport()->rect().intersects(r) && saved->x >= 0 && saved->y >= 0)
            sub->move(saved->x, saved->y);
    }
    sub->show();
    area->setActiveSubWindow(sub);
    return viewer;
}

} // namespace qdui
