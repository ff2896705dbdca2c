// The rows of a list over one table, numbered: the records that meet a filter
// in a store order, counted by the store and read a page at a time only when a
// row is asked for, with the pages used longest ago dropped. A list of a
// million records shows its last rows after reading a page, not the million.
#pragma once

#include "data/DataSet.h"
#include "data/FileManager.h"
#include "data/RecordFilter.h"
#include "data/ViewCounter.h"

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

    // Another filter or order; the rows are counted again (`later`: see count()).
    void setView(const RecordFilter& where, const FileManager::ViewOrder& order, bool later = false) {
        where_ = where;
        order_ = order;
        filterSet_ = false;
        known_ = -1;
        count(later);
    }
    // Another order for the same rows: nothing is counted again.
    void setOrder(const FileManager::ViewOrder& order) {
        order_ = order;
        forget();
    }
    const FileManager::ViewOrder& order() const { return order_; }

    // Counts the rows again and forgets those read (read again when asked for).
    // False when the store failed (error() says why; the list is then empty).
    // With `later` a view of more than a page is not counted here: its size is
    // provisional (one page, or the last count of the same view) and
    // counting() holds until setCounted() brings the count made elsewhere
    // (countJob() on another connection); readMore() meanwhile reads on.
    bool count(bool later = false) {
        forget();
        error_.clear();
        total_ = 0;
        counting_ = false;
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
            known_ = total_;
        } else if (later) {
            counting_ = true;
            more_ = true;
            total_ = std::max<long long>(pageSize_, known_);
            first.resize(static_cast<std::size_t>(pageSize_));
        } else {
            const long long n = table_->viewCount(order_);
            if (n < 0) {
                error_ = table_->lastError().text;
                return false;
            }
            total_ = std::min<long long>(n, std::numeric_limits<int>::max());
            known_ = total_;
            first.resize(static_cast<std::size_t>(pageSize_));
        }
        pages_.emplace(0, std::move(first));
        used_[0] = ++clock_;
        return true;
    }

    long long size() const { return total_; }

    // The size is provisional: the count is being made elsewhere.
    bool counting() const { return counting_; }
    // The count of this view as a job for another connection: the same
    // table, filter and order, read there.
    ViewCounter::Job countJob() const {
        return [def = &table_->def(), where = where_, order = order_](DataSet& ds,
                                                                      const ViewCounter::Started& started) {
            Table<R> t(ds, *def);
            if (t.open() != Level::Benign) return -1LL;
            if (StoreFile* f = ds.fileOf(*def)) started(f);
            t.setFilter(where);
            return t.viewCount(order);
        };
    }
    // The count made elsewhere arrived: the size is exact again. False (the
    // provisional size kept, error() set) when that count failed.
    bool setCounted(long long n) {
        counting_ = false;
        if (n < 0) {
            error_ = "The list could not be counted.";
            return false;
        }
        total_ = std::min<long long>(n, std::numeric_limits<int>::max());
        known_ = total_;
        return true;
    }
    // While counting: reads the page after the rows shown so far, from the
    // front, and holds it; the rows found (0 at the end of the view). They
    // join the size at showMore(), so a model can announce them first.
    long long readMore() {
        if (!mayHaveMore()) return 0;
        std::vector<Row> next = readRows(total_, pageSize_ + 1, -1);
        more_ = static_cast<int>(next.size()) > pageSize_;
        next.resize(std::min<std::size_t>(next.size(), static_cast<std::size_t>(pageSize_)));
        found_ = static_cast<long long>(next.size());
        if (found_ > 0) {
            makeRoom();
            const long long page = total_ / pageSize_;
            pages_[page] = std::move(next);
            used_[page] = ++clock_;
        }
        return found_;
    }
    void showMore() {
        total_ += found_;
        found_ = 0;
    }
    // More rows may follow the provisional ones (readMore() would find them).
    bool mayHaveMore() const { return counting_ && more_ && total_ % pageSize_ == 0; }

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
    // The page used longest ago goes when as many as are kept are held.
    void makeRoom() {
        if (static_cast<int>(pages_.size()) < pagesKept_) return;
        auto oldest = std::min_element(used_.begin(), used_.end(),
                                       [](const auto& a, const auto& b) { return a.second < b.second; });
        pages_.erase(oldest->first);
        used_.erase(oldest);
    }
    std::vector<Row> readPage(long long page) {
        makeRoom();
        const long long first = page * pageSize_;
        // A provisional size says nothing about where the view ends: read from the front.
        std::vector<Row> rows = readRows(
            first, static_cast<int>(std::min<long long>(pageSize_, total_ - first)), counting_ ? -1 : total_);
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
        if (total < 0) rows.resize(static_cast<std::size_t>(std::max<long long>(last + 1 - first, 0)));
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
    long long known_ = -1; // the last exact count of this view; -1 when none
    bool counting_ = false;
    bool more_ = false;
    long long found_ = 0; // rows readMore() found, not yet shown
    std::map<long long, std::vector<Row>> pages_;
    std::map<long long, unsigned long long> used_;
    unsigned long long clock_ = 0;
    long long scanned_ = 0;
    std::string error_;
};

} // namespace qd
