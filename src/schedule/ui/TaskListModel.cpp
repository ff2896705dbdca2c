#include "schedule/ui/TaskListModel.h"

#include <QBrush>
#include <QColor>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <chrono>
#include <limits>
#include <map>

namespace qdschedui {

namespace {

constexpr int kIconSize = 16;

QPixmap blankPixmap() {
    QPixmap p(kIconSize, kIconSize);
    p.fill(Qt::transparent);
    return p;
}

// A program: a small window with a title bar.
void drawProgram(QPainter& p, QRectF r) {
    p.setPen(QPen(QColor(40, 70, 120), 1));
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.fillRect(QRectF(r.left(), r.top(), r.width(), 3), QColor(40, 90, 170));
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    p.drawLine(QPointF(r.left() + 2, r.top() + 5), QPointF(r.left() + 4.5, r.top() + 7));
    p.drawLine(QPointF(r.left() + 4.5, r.top() + 7), QPointF(r.left() + 2, r.top() + 9));
}

// A message: a speech bubble with two lines of text.
void drawMessage(QPainter& p, QRectF r) {
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(r.left(), r.top(), r.width(), r.height() * 0.75), 2, 2);
    QPolygonF tail;
    tail << QPointF(r.left() + 3, r.top() + r.height() * 0.7) << QPointF(r.left() + 3, r.bottom())
         << QPointF(r.left() + 7, r.top() + r.height() * 0.7);
    bubble.addPolygon(tail);
    p.setPen(QPen(QColor(150, 110, 20), 1));
    p.setBrush(QColor(255, 230, 140));
    p.drawPath(bubble.simplified());
    p.setPen(QPen(QColor(120, 90, 20), 1));
    p.drawLine(QPointF(r.left() + 2, r.top() + 3), QPointF(r.right() - 2, r.top() + 3));
    p.drawLine(QPointF(r.left() + 2, r.top() + 5.5), QPointF(r.right() - 4, r.top() + 5.5));
}

QIcon paint(void (*draw)(QPainter&, QRectF)) {
    QPixmap pm = blankPixmap();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p, QRectF(1.5, 2.5, 13, 11));
    return QIcon(pm);
}

QIcon paintBoth() {
    QPixmap pm = blankPixmap();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawProgram(p, QRectF(0.5, 0.5, 10, 9));
    drawMessage(p, QRectF(6.5, 6.5, 9, 9));
    return QIcon(pm);
}

QIcon paintStatus(qd::TaskStatusIcon s) {
    QPixmap pm = blankPixmap();
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(2.5, 2.5, 11, 11);
    switch (s) {
    case qd::TaskStatusIcon::Done:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(40, 150, 60));
        p.drawEllipse(disc);
        p.setPen(QPen(Qt::white, 2));
        p.drawPolyline(QPolygonF() << QPointF(5, 8) << QPointF(7.5, 10.5) << QPointF(11, 5.5));
        break;
    case qd::TaskStatusIcon::NotDone:
        p.setPen(QPen(QColor(60, 60, 60), 1.2));
        p.setBrush(Qt::white);
        p.drawEllipse(disc);
        p.drawLine(QPointF(8, 8), QPointF(8, 4.5));
        p.drawLine(QPointF(8, 8), QPointF(10.5, 9.5));
        break;
    case qd::TaskStatusIcon::Skip:
        p.setPen(QPen(QColor(30, 80, 200), 2));
        p.drawLine(QPointF(3, 8), QPointF(12, 8));
        p.drawPolyline(QPolygonF() << QPointF(9, 4.5) << QPointF(12.5, 8) << QPointF(9, 11.5));
        break;
    case qd::TaskStatusIcon::Skipped:
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 140, 30));
        p.drawEllipse(disc);
        p.setPen(QPen(Qt::white, 2));
        p.drawLine(QPointF(5, 8), QPointF(11, 8));
        break;
    case qd::TaskStatusIcon::Disabled:
        p.setPen(QPen(QColor(130, 130, 130), 1.5));
        p.setBrush(QColor(235, 235, 235));
        p.drawEllipse(disc);
        p.drawLine(QPointF(4.5, 11.5), QPointF(11.5, 4.5));
        break;
    }
    return QIcon(pm);
}

} // namespace

QIcon taskTypeIcon(qd::TaskTypeIcon icon) {
    static std::map<qd::TaskTypeIcon, QIcon> cache;
    auto it = cache.find(icon);
    if (it != cache.end()) return it->second;
    QIcon made;
    switch (icon) {
    case qd::TaskTypeIcon::Program:
        made = paint(drawProgram);
        break;
    case qd::TaskTypeIcon::Message:
        made = paint(drawMessage);
        break;
    case qd::TaskTypeIcon::Both:
        made = paintBoth();
        break;
    case qd::TaskTypeIcon::Blank:
        made = QIcon(blankPixmap());
        break;
    }
    return cache.emplace(icon, made).first->second;
}

QIcon taskStatusIcon(qd::TaskStatusIcon icon) {
    static std::map<qd::TaskStatusIcon, QIcon> cache;
    auto it = cache.find(icon);
    if (it != cache.end()) return it->second;
    return cache.emplace(icon, paintStatus(icon)).first->second;
}

TaskListModel::TaskListModel(qd::DataSet& ds, const std::string& dateFormat, QObject* parent)
    : QAbstractTableModel(parent), ds_(ds), dateFormat_(dateFormat) {
    delivered_->model = this;
}

TaskListModel::~TaskListModel() {
    {
        std::lock_guard lock(delivered_->mutex);
        delivered_->model = nullptr; // no count is handed on from now
    }
    if (counter_) counter_->cancel(this);
}

void TaskListModel::setFilter(qd::TaskFilter filter) {
    beginResetModel();
    filter_ = std::move(filter);
    rows_ = std::make_unique<qd::RecordPages<qd::ScheduleRecord>>(ds_, qd::tables::Schedule(), kPageSize,
                                                                  kPagesKept);
    rows_->setView(filter_.where, orderFor(sortColumn_, sortOrder_), true);
    countLater();
    endResetModel();
    emit countChanged();
}

void TaskListModel::refresh() {
    if (!rows_) return;
    beginResetModel();
    rows_->count(true);
    countLater();
    endResetModel();
    emit countChanged();
}

void TaskListModel::setCountHook(std::function<void()> hook) {
    countHook_ = std::move(hook);
    if (counter_) counter_->setBeforeCount([hook = countHook_](unsigned long long) { hook(); });
}

void TaskListModel::countLater() {
    ticket_ = 0;
    if (!rows_->counting()) return;
    if (!counter_) {
        counter_ = std::make_shared<qd::ViewCounter>(ds_.folder(), ds_.passphrase());
        if (countHook_) counter_->setBeforeCount([hook = countHook_](unsigned long long) { hook(); });
    }
    // Answered on the counting thread: noted for the wait below, and taken
    // up on this thread, where a newer view's ticket turns it away.
    ticket_ = counter_->post(
        this, rows_->countJob(), [delivered = delivered_](unsigned long long ticket, long long n) {
            std::lock_guard lock(delivered->mutex);
            delivered->ticket = ticket;
            delivered->count = n;
            delivered->arrived.notify_all();
            if (TaskListModel* model = delivered->model)
                QMetaObject::invokeMethod(
                    model, [model, ticket, n] { model->counted(ticket, n); }, Qt::QueuedConnection);
        });
    std::unique_lock lock(delivered_->mutex);
    if (!delivered_->arrived.wait_for(lock, std::chrono::milliseconds(kCountWaitMs),
                                      [this] { return delivered_->ticket == ticket_; }))
        return;
    const long long n = delivered_->count;
    lock.unlock();
    ticket_ = 0;
    // Counted here instead when the other connection failed.
    if (!rows_->setCounted(n)) rows_->count();
}

void TaskListModel::counted(unsigned long long ticket, long long n) {
    if (ticket != ticket_ || !rows_ || !rows_->counting()) return;
    ticket_ = 0;
    if (n < 0) {
        // The other connection failed (or was interrupted): counted here instead.
        beginResetModel();
        rows_->count();
        endResetModel();
        emit countChanged();
        return;
    }
    const int before = rowCount();
    const int after = static_cast<int>(std::min<long long>(n, std::numeric_limits<int>::max()));
    if (after > before) {
        beginInsertRows({}, before, after - 1);
        rows_->setCounted(n);
        endInsertRows();
    } else if (after < before) {
        beginRemoveRows({}, after, before - 1);
        rows_->setCounted(n);
        endRemoveRows();
    } else {
        rows_->setCounted(n);
    }
    emit countChanged();
}

bool TaskListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && rows_ && rows_->mayHaveMore();
}

void TaskListModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) return;
    // Read first: how many rows there are is only known then.
    const int before = rowCount();
    const long long added = rows_->readMore();
    if (added <= 0) return;
    beginInsertRows({}, before, before + static_cast<int>(added) - 1);
    rows_->showMore();
    endInsertRows();
    emit countChanged();
}

bool TaskListModel::sortable(int column) {
    switch (column) {
    case qd::kColType:
    case qd::kColDate:
    case qd::kColDescription:
    case qd::kColCategory:
        return true;
    default:
        return false;
    }
}

qd::FileManager::ViewOrder TaskListModel::orderFor(int column, Qt::SortOrder order) const {
    const qd::TableDef& def = qd::tables::Schedule();
    qd::FileManager::ViewOrder o{std::max(def.findKey(filter_.key), 0), -1, order == Qt::DescendingOrder};
    switch (sortable(column) ? column : -1) {
    case qd::kColType:
        o.key = def.findKey("KeyTaskDate");
        break;
    case qd::kColDate:
        o.key = def.findKey("KeyDate");
        break;
    case qd::kColDescription:
        o.key = def.findKey("KeyTaskName");
        break;
    case qd::kColCategory:
        o.key = def.findKey("KeyCategoryDate");
        break;
    default:
        o.reverse = false;
        break;
    }
    return o;
}

void TaskListModel::sort(int column, Qt::SortOrder order) {
    sortColumn_ = sortable(column) ? column : -1;
    sortOrder_ = order;
    if (!rows_) return;
    const qd::FileManager::ViewOrder o = orderFor(sortColumn_, sortOrder_);
    const qd::FileManager::ViewOrder& now = rows_->order();
    if (o.key == now.key && o.sortField == now.sortField && o.reverse == now.reverse) return;
    emit layoutAboutToBeChanged();
    rows_->setOrder(o);
    emit layoutChanged();
}

int TaskListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !rows_ ? 0 : static_cast<int>(rows_->size());
}

int TaskListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : qd::kColCount;
}

qd::ScheduleRecord TaskListModel::task(int row) const {
    const auto* r = rows_ ? rows_->row(row) : nullptr;
    return r ? r->record : qd::ScheduleRecord{};
}

QVariant TaskListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const auto* r = rows_->row(index.row());
    if (!r) return {};
    const qd::ScheduleRecord& t = r->record;
    switch (role) {
    case Qt::DisplayRole:
        return QString::fromStdString(qd::taskColumnText(t, index.column(), dateFormat_));
    case Qt::DecorationRole:
        if (index.column() == qd::kColType) return taskTypeIcon(qd::taskTypeIcon(t));
        if (index.column() == qd::kColStatus) return taskStatusIcon(qd::taskStatusIcon(t));
        return {};
    case Qt::ToolTipRole:
        if (index.column() == qd::kColType) return QString::fromStdString(t.TaskType);
        return {};
    case Qt::ForegroundRole:
        switch (qd::taskRowColour(t)) {
        case qd::TaskRowColour::Grey:
            return QBrush(QColor(128, 128, 128));
        case qd::TaskRowColour::Blue:
            return QBrush(QColor(0, 0, 255));
        case qd::TaskRowColour::Normal:
            return {};
        }
        return {};
    case Qt::BackgroundRole:
        if (qd::taskRowColour(t) != qd::TaskRowColour::Normal) return QBrush(Qt::white);
        return {};
    case kIdRole:
        return t.ID;
    default:
        return {};
    }
}

QVariant TaskListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    if (section == qd::kColType || section == qd::kColStatus) return QString();
    return QString(qd::taskColumnTitle(section));
}

int TaskListModel::rowOfTask(int id) const {
    if (!rows_ || id == 0) return -1;
    if (const long long held = rows_->findHeld([id](const qd::ScheduleRecord& t) { return t.ID == id; });
        held >= 0)
        return static_cast<int>(held);
    // Not among the rows held: the store says where it lies.
    qd::Table<qd::ScheduleRecord> probe(ds_, qd::tables::Schedule());
    if (probe.open() != qd::Level::Benign) return -1;
    probe.rec.ID = id;
    if (probe.fetch("KeyID") != qd::Level::Benign) return -1;
    return static_cast<int>(rows_->rowOf(probe.currentRowId()));
}

} // namespace qdschedui
