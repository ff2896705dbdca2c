// A task list as a Qt model: the rows of one view of the task table, read a
// page at a time as they are shown, with the row texts, the type and status
// icons and the colours by state. A view longer than a page is counted on a
// thread of its own: the first page shows at once, the rows grow as the list
// is scrolled down (canFetchMore / fetchMore) until the count arrives.
#pragma once

#include "data/DataSet.h"
#include "data/RecordPages.h"
#include "data/Records.h"
#include "schedule/TaskLists.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
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
    // they are shown). The last count stays shown until the new one arrives.
    void refresh();
    // The row count is provisional: the view is being counted.
    bool counting() const { return rows_ && rows_->counting(); }
    // The counting thread the lists of a program share; without one the model
    // makes its own at the first count it needs.
    void setCounter(std::shared_ptr<qd::ViewCounter> counter) { counter_ = std::move(counter); }
    // Called on the counting thread before each count (tests hold it there).
    void setCountHook(std::function<void()> hook);
    // How long a new view waits for its count before it shows a provisional
    // size: a count that quick is taken at once (most views, counted from an
    // index), so only slow counts are seen counting.
    static constexpr int kCountWaitMs = 40;

    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

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

signals:
    // The row count became known, or the view is being counted again.
    void countChanged();

private:
    qd::FileManager::ViewOrder orderFor(int column, Qt::SortOrder order) const;
    // Hands the view's count to the counting thread when it is not known,
    // and takes it at once when it comes back within kCountWaitMs. Called
    // between beginResetModel() and endResetModel().
    void countLater();
    void counted(unsigned long long ticket, long long n);

    qd::DataSet& ds_;
    const std::string& dateFormat_;
    qd::TaskFilter filter_;
    std::unique_ptr<qd::RecordPages<qd::ScheduleRecord>> rows_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    std::function<void()> countHook_;
    unsigned long long ticket_ = 0; // of the count this view waits for
    // The last count delivered, for the short wait of countLater(), and the
    // model it goes to (null once the model is going).
    struct Delivered {
        std::mutex mutex;
        std::condition_variable arrived;
        unsigned long long ticket = 0;
        long long count = -1;
        TaskListModel* model = nullptr;
    };
    std::shared_ptr<Delivered> delivered_ = std::make_shared<Delivered>();
    std::shared_ptr<qd::ViewCounter> counter_;
};

} // namespace qdschedui
