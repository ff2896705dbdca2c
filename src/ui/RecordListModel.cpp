#include "ui/RecordListModel.h"

#include "ui/QueryDialog.h"

namespace qdui {

RecordListModel::RecordListModel(const qd::TableDef& def, QStringList headings, QObject* parent)
    : QAbstractTableModel(parent), def_(def), headings_(std::move(headings)) {}

int RecordListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || none_ ? 0 : static_cast<int>(pageRows());
}

int RecordListModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return headings_.isEmpty() ? 1 : static_cast<int>(headings_.size());
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section >= 0 && section < headings_.size() ? QVariant(headings_[section]) : QVariant();
}

QModelIndex RecordListModel::index(int row, int column, const QModelIndex& parent) const {
    return QAbstractTableModel::index(row, column, parent);
}

void RecordListModel::setQuery(const qd::RecordFilter& query) {
    query_ = query;
    setView();
}

void RecordListModel::setOrder(const std::string& key, const qd::RecordFilter& narrowing) {
    key_ = key;
    narrowing_ = narrowing;
    none_ = false;
    setView();
}

void RecordListModel::reload() {
    beginResetModel();
    countPages();
    endResetModel();
}

void RecordListModel::showNone() {
    beginResetModel();
    none_ = true;
    endResetModel();
}

void RecordListModel::setView() {
    qd::RecordFilter where = query_;
    where.insert(where.end(), narrowing_.begin(), narrowing_.end());
    beginResetModel();
    viewPages(where, {def_.findKey(key_.c_str()), -1, false});
    endResetModel();
}

void followQuery(QueryBar* bar, RecordListModel* model, QAbstractItemView* view) {
    QObject::connect(bar, &QueryBar::changed, view, [model, view](const qd::RecordFilter& query) {
        model->setQuery(query);
        if (model->rowCount() > 0) view->setCurrentIndex(model->index(0));
    });
}

} // namespace qdui
