// A task list as a Qt model: the rows of one view of the task table, read a
// page at a time as the view scrolls (canFetchMore / fetchMore), with the row
// texts, the type and status icons and the colours by state.
#pragma once

#include "data/DataSet.h"
#include "data/RecordPages.h"
#include "data/Records.h"
#include "schedule/TaskLists.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <memory>
#include <string>
#include <vector>

namespace qdschedui {

QIcon taskTypeIcon(qd::TaskTypeIcon icon);
QIcon taskStatusIcon(qd::TaskStatusIcon icon);

class TaskListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kPageSize = 100;
    // Pages of rows kept in memory; others are read again when shown.
    static constexpr int kPagesKept = 30;
    // The task's ID, in every column.
    static constexpr int kIdRole = Qt::UserRole + 1;

    // `dateFormat` is the user's date format setting; it must outlive the model.
    TaskListModel(qd::DataSet& ds, const std::string& dateFormat, QObject* parent = nullptr);
    ~TaskListModel() override;

    // Shows another view, from its first row, in its key order.
    void setFilter(qd::TaskFilter filter);
    // Counts the view again and forgets the rows read (they are read again as
    // they are shown).
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // Sorting by a column is a store order: the key that leads with the
    // column (type, date, description, category), so the first rows come
    // from an index however many there are. Column -1, or a column without
    // such a key, gives the view's own key order. The sort stays when another
    // view is set.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    static bool sortable(int column);

    // The task on a row (read from the store when its page is not held).
    qd::ScheduleRecord task(int row) const;
    // The row of a task in the view; -1 when it is not in it.
    int rowOfTask(int id) const;
    // Store records read since the view was set (for the benchmarks).
    long long scanned() const { return rows_ ? rows_->scanned() : 0; }
    // Rows held in memory now (for the benchmarks).
    std::size_t rowsHeld() const { return rows_ ? rows_->held() : 0; }
    // Why the last read failed; blank when it did not.
    QString error() const { return rows_ ? QString::fromStdString(rows_->error()) : QString(); }

private:
    qd::FileManager::ViewOrder orderFor(int column, Qt::SortOrder order) const;

    qd::DataSet& ds_;
    const std::string& dateFormat_;
    qd::TaskFilter filter_;
    std::unique_ptr<qd::RecordPages<qd::ScheduleRecord>> rows_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace qdschedui
