// The rows of a list over one table, numbered: the records that meet a filter
// in a store order, counted by the store and read a page at a time only when a
// row is asked for, with the pages used longest ago dropped. A list of a
// million records shows its last rows after reading a page, not the million.
#pragma once

#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/RecordFilter.h"

#include <algorithm>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace qd {

template <class R> class RecordPages {
public:
    struct Row {
        R record{};
        long long rowId = 0;
    };

    RecordPages(DataSet& ds, const TableDef& def, int pageSize = 100, int pagesKept = 30)
        : table_(std::make_unique<Table<R>>(ds, def)), pageSize_(pageSize), pagesKept_(pagesKept) {}

    // Another filter or order; the rows are counted again.
    void setView(const RecordFilter& where, const FileManager::ViewOrder& order) {
        where_ = where;
        order_ = order;
        filterSet_ = false;
        count();
    }
    // Another order for the same rows: nothing is counted again.
    void setOrder(const FileManager::ViewOrder& order) {
        order_ = order;
        forget();
    }
    const FileManager::ViewOrder& order() const { return order_; }

    // Counts the rows again and forgets those read (read again when asked for).
    // False when the store failed (error() says why; the list is then empty).
    bool count() {
        forget();
        error_.clear();
        total_ = 0;
        if (!table_->opened() && table_->open() != Level::Benign) {
            error_ = "The file could not be opened.";
            return false;
        }
        if (!filterSet_) {
            table_->setFilter(where_);
            filterSet_ = true;
        }
        // The first page is read before counting, with one row more: a view
        // of a page or less is then counted by that read alone, and a filter
        // the store can only answer by reading every record reads them once.
        std::vector<Row> first = readRows(0, pageSize_ + 1, -1);
        if (!error_.empty()) return false;
        if (static_cast<int>(first.size()) <= pageSize_) {
            total_ = static_cast<long long>(first.size());
        } else {
            const long long n = table_->viewCount(order_);
            if (n < 0) {
                error_ = table_->lastError().text;
                return false;
            }
            total_ = std::min<long long>(n, std::numeric_limits<int>::max());
            first.resize(static_cast<std::size_t>(pageSize_));
        }
        pages_.emplace(0, std::move(first));
        used_[0] = ++clock_;
        return true;
    }

    long long size() const { return total_; }

    // Row `i`, read with its page when that is not held; null past the end, or
    // when the store failed or the row went away since the count.
    const Row* row(long long i) {
        if (i < 0 || i >= total_) return nullptr;
        const long long page = i / pageSize_;
        auto it = pages_.find(page);
        if (it == pages_.end()) it = pages_.emplace(page, readPage(page)).first;
        used_[page] = ++clock_;
        const auto at = static_cast<std::size_t>(i - page * pageSize_);
        return at < it->second.size() && it->second[at].rowId != 0 ? &it->second[at] : nullptr;
    }

    // The row of the record with store row id `rowId`; -1 when it is not in the view.
    long long rowOf(long long rowId) {
        if (rowId == 0 || !table_->opened()) return -1;
        for (const auto& [page, rows] : pages_)
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (rows[i].rowId == rowId) return page * pageSize_ + static_cast<long long>(i);
        const long long r = table_->viewRow(order_, rowId);
        return r < total_ ? r : -1;
    }
    // The first row held whose record `match` accepts; -1 when none is held.
    template <class Match> long long findHeld(Match match) const {
        for (const auto& [page, rows] : pages_)
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (match(rows[i].record)) return page * pageSize_ + static_cast<long long>(i);
        return -1;
    }

    // Records read from the store since the view was set, and rows held now.
    long long scanned() const { return scanned_; }
    std::size_t held() const {
        std::size_t n = 0;
        for (const auto& entry : pages_)
            n += entry.second.size();
        return n;
    }
    const std::string& error() const { return error_; }
    void resetScanned() { scanned_ = 0; }

private:
    std::vector<Row> readPage(long long page) {
        if (static_cast<int>(pages_.size()) >= pagesKept_) {
            // The page used longest ago goes.
            auto oldest = std::min_element(used_.begin(), used_.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
            pages_.erase(oldest->first);
            used_.erase(oldest);
        }
        const long long first = page * pageSize_;
        std::vector<Row> rows =
            readRows(first, static_cast<int>(std::min<long long>(pageSize_, total_ - first)), total_);
        // Records removed since the count leave rows empty (row id 0) until
        // the next count.
        rows.resize(static_cast<std::size_t>(std::min<long long>(pageSize_, total_ - first)));
        return rows;
    }
    // Rows [first, first + count) as the store has them now (fewer at the end
    // of the view; rows read from the end when `total` says they lie past the
    // middle).
    std::vector<Row> readRows(long long first, int count, long long total) {
        std::vector<Row> rows(static_cast<std::size_t>(std::max(count, 0)));
        long long got = 0;
        long long last = -1;
        const Level l = table_->readView(
            order_, first, count,
            [&](long long r) {
                Row& out = rows[static_cast<std::size_t>(r - first)];
                out.record = table_->rec;
                out.rowId = table_->currentRowId();
                last = std::max(last, r);
                ++got;
            },
            total);
        scanned_ += got;
        if (l != Level::Benign) error_ = table_->lastError().text;
        // Read from the front, the rows end where the view ends.
        if (total < 0) rows.resize(static_cast<std::size_t>(last + 1 - first));
        return rows;
    }
    void forget() {
        pages_.clear();
        used_.clear();
    }

    std::unique_ptr<Table<R>> table_;
    int pageSize_;
    int pagesKept_;
    RecordFilter where_;
    bool filterSet_ = false;
    FileManager::ViewOrder order_;
    long long total_ = 0;
    std::map<long long, std::vector<Row>> pages_;
    std::map<long long, unsigned long long> used_;
    unsigned long long clock_ = 0;
    long long scanned_ = 0;
    std::string error_;
};

} // namespace qd
