// The shell every list over one store table shares: the records that meet a
// query, in the order of one of the table's keys, counted by the store and
// read a page at a time as rows are shown (qd::RecordPages). A list adds only
// what it shows of a record (data()) and how it finds one of its records.
#pragma once

#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/RecordFilter.h"
#include "data/RecordPages.h"

#include <QAbstractItemView>
#include <QAbstractTableModel>
#include <QStringList>

#include <string>
#include <utility>

namespace qdui {

class QueryBar;

class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Rows read from the store at a time.
    static constexpr int kPage = 100;

    int rowCount(const QModelIndex& parent = {}) const override;
    // The headings' count; a list without headings has one column (a list view's).
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // index(row) is the row's first column, as in a list view's model.
    QModelIndex index(int row, int column = 0, const QModelIndex& parent = {}) const override;

    // Only the records that meet the query (the "&Query" button); empty: all.
    void setQuery(const qd::RecordFilter& query);
    const qd::RecordFilter& query() const { return query_; }
    // The order of one key of the table; `narrowing` are conditions the list
    // itself adds to the query (the category a list is opened on). A list
    // showing none shows its rows again.
    void setOrder(const std::string& key, const qd::RecordFilter& narrowing = {});
    const std::string& orderKey() const { return key_; }
    // Counts the list again; its rows are read again as they are shown.
    void reload();
    // No rows at all until the order is set again (the contacts of no category).
    void showNone();

protected:
    RecordListModel(const qd::TableDef& def, QStringList headings, QObject* parent);

    const qd::TableDef& table() const { return def_; }

private:
    // The pages, kept by the typed model below.
    virtual void viewPages(const qd::RecordFilter& where, const qd::FileManager::ViewOrder& order) = 0;
    virtual void countPages() = 0;
    virtual long long pageRows() const = 0;

    void setView();

    const qd::TableDef& def_;
    QStringList headings_;
    std::string key_;
    qd::RecordFilter query_;
    qd::RecordFilter narrowing_;
    bool none_ = false;
};

// The list over records of type R: the pages, and a record by its row and a
// row by its record.
template <class R> class RecordListModelOf : public RecordListModel {
public:
    // The record at `row`; an empty one past the end or when it went away
    // since the list was counted.
    R record(int row) const {
        const R* r = recordAt(row);
        return r ? *r : R{};
    }
    // The same, null past the end or when the record went away; good until
    // the next row is read.
    const R* recordAt(int row) const {
        const auto* r = pages_.row(row);
        return r ? &r->record : nullptr;
    }
    // Records read from the store since the list was last counted.
    long long scanned() const { return pages_.scanned(); }
    // Why the last count failed; empty when it did not.
    const std::string& error() const { return pages_.error(); }

protected:
    // A list in the order of key `key`, with a column a heading (none: a list view's one column).
    RecordListModelOf(qd::DataSet& ds, const qd::TableDef& def, const std::string& key,
                      QStringList headings = {}, QObject* parent = nullptr)
        : RecordListModel(def, std::move(headings), parent), ds_(ds), pages_(ds, def, kPage) {
        setOrder(key);
    }

    qd::DataSet& ds() const { return ds_; }

    // The row of the record with store row id `rowId`; -1 when it is not in
    // the list. It is located in the view without reading the rows before it.
    int rowOfStoreRow(long long rowId) const {
        const long long row = pages_.rowOf(rowId);
        return row < 0 ? -1 : static_cast<int>(row);
    }
    // The row of the record the store finds by key `key` from the fields
    // `fill` sets in a record; -1 when it is not in the list.
    template <class Fill> int rowOfKey(const char* key, Fill fill) const {
        if (rowCount() == 0) return -1;
        qd::Table<R> t(ds_, table());
        if (t.open() != qd::Level::Benign) return -1;
        fill(t.rec);
        if (t.fetch(key) != qd::Level::Benign) return -1;
        return rowOfStoreRow(t.currentRowId());
    }
    // The same, looking first among the rows read for one that `held` accepts.
    template <class Fill, class Match> int rowOfKey(const char* key, Fill fill, Match held) const {
        if (rowCount() == 0) return -1;
        const long long row = pages_.findHeld(held);
        return row >= 0 ? static_cast<int>(row) : rowOfKey(key, fill);
    }

private:
    void viewPages(const qd::RecordFilter& where, const qd::FileManager::ViewOrder& order) override {
        pages_.setView(where, order);
    }
    void countPages() override { pages_.count(); }
    long long pageRows() const override { return pages_.size(); }

    qd::DataSet& ds_;
    // Read as rows are asked for, also by the const readers.
    mutable qd::RecordPages<R> pages_;
};

// The list follows the query bar: a new query (or its reset) narrows the
// model, and the view highlights the first row when there is one.
void followQuery(QueryBar* bar, RecordListModel* model, QAbstractItemView* view);

} // namespace qdui
