// A task list as a Qt model: the rows of one view of the task table, read a
// page at a time as the view scrolls (canFetchMore / fetchMore), with the row
// texts, the type and status icons and the colours by state.
#pragma once

#include "data/DataSet.h"
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
    // The task's ID, in every column.
    static constexpr int kIdRole = Qt::UserRole + 1;

    // `dateFormat` is the user's date format setting; it must outlive the model.
    TaskListModel(qd::DataSet& ds, const std::string& dateFormat, QObject* parent = nullptr);
    ~TaskListModel() override;

    // Shows another view, from its first page.
    void setFilter(qd::TaskFilter filter);
    // Reads the view again, as many rows as were read before (at least a page).
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    const qd::ScheduleRecord& task(int row) const { return rows_.at(static_cast<std::size_t>(row)); }
    // The row of a task among those read; -1 when it is not (yet) there.
    int rowOfTask(int id) const;
    // Store records read since the view was set (for the benchmarks).
    long long scanned() const { return pager_ ? pager_->scanned() : 0; }
    // Why the last read stopped early; blank when it did not.
    QString error() const;

private:
    void readRows(int count);

    qd::DataSet& ds_;
    const std::string& dateFormat_;
    qd::TaskFilter filter_;
    std::unique_ptr<qd::TaskPager> pager_;
    std::vector<qd::ScheduleRecord> rows_;
};

} // namespace qdschedui
