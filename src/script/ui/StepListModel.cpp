#include "script/ui/StepListModel.h"

#include "data/FileManager.h"
#include "data/Text.h"
#include "script/ScriptEngine.h"

namespace qdscriptui {

StepListModel::StepListModel(qd::DataSet& ds, qd::StepOwner owner, QObject* parent)
    : QAbstractTableModel(parent), ds_(ds), owner_(owner) {
    readPage();
}

int StepListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int StepListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant StepListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    const Row& r = rows_[static_cast<std::size_t>(index.row())];
    if (role == kSequenceRole) return r.sequence;
    if (role == Qt::TextAlignmentRole && index.column() == kColSequence)
        return static_cast<int>(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    switch (index.column()) {
    case kColSequence:
        return r.sequence;
    case kColAction:
        return r.action;
    case kColDescription:
        return r.description;
    default:
        return {};
    }
}

QVariant StepListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case kColSequence:
        return QString("#");
    case kColAction:
        return QString("Action");
    case kColDescription:
        return QString("Description");
    default:
        return {};
    }
}

bool StepListModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !atEnd_;
}

void StepListModel::fetchMore(const QModelIndex& parent) {
    if (parent.isValid() || atEnd_) return;
    readPage();
}

void StepListModel::readPage() {
    qd::Table<qd::ScriptingRecord> t(ds_, *owner_.table);
    if (t.open() != qd::Level::Benign) {
        error_ = QString::fromStdString(t.lastError().text);
        atEnd_ = true;
        return;
    }
    t.rec = {};
    t.rec.ID = owner_.id;
    const bool first = rows_.empty();
    t.rec.Sequence = first ? 0 : rows_.back().sequence + 1;
    // From the start: every step of the owner (numbers may be 0 or negative
    // after an import); further on: after the last number read.
    t.setPosition(qd::stepKeyIndex(t.def()), first ? 1 : 2);
    std::vector<Row> page;
    for (;;) {
        if (static_cast<int>(page.size()) == kPageSize) break;
        const qd::Level l = t.next();
        if (l == qd::Level::Notify || (l == qd::Level::Benign && t.rec.ID != owner_.id)) {
            atEnd_ = true;
            break;
        }
        if (l != qd::Level::Benign) {
            error_ = QString::fromStdString(t.lastError().text);
            atEnd_ = true;
            break;
        }
        page.push_back({t.rec.Sequence, QString::fromStdString(qd::text::trimmedRight(t.rec.Action)),
                        QString::fromStdString(qd::StepDescription(t.rec))});
    }
    t.close();
    if (page.empty()) return;
    const int at = static_cast<int>(rows_.size());
    beginInsertRows({}, at, at + static_cast<int>(page.size()) - 1);
    rows_.insert(rows_.end(), page.begin(), page.end());
    endInsertRows();
}

void StepListModel::refresh() {
    beginResetModel();
    rows_.clear();
    atEnd_ = false;
    error_.clear();
    endResetModel();
    readPage();
}

std::int32_t StepListModel::sequenceAt(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return 0;
    return rows_[static_cast<std::size_t>(row)].sequence;
}

int StepListModel::rowOfSequence(std::int32_t sequence) {
    for (;;) {
        for (std::size_t i = 0; i < rows_.size(); ++i)
            if (rows_[i].sequence == sequence) return static_cast<int>(i);
        if (atEnd_ || (!rows_.empty() && rows_.back().sequence > sequence)) return -1;
        const std::size_t before = rows_.size();
        readPage();
        if (rows_.size() == before) return -1;
    }
}

} // namespace qdscriptui
