// A write transaction around several record operations on one table's file:
// all of them are kept, or none. A failure to start or to commit shows message
// 21 ("Transaction cancelled") naming the file; anything not committed is
// rolled back when the object goes.
#pragma once

#include "data/FileManager.h"

namespace qd {

class StoreTransaction {
public:
    // Starts the transaction on the file of `table` (opened already).
    explicit StoreTransaction(FileManager& table);
    ~StoreTransaction();
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;

    // Benign when the transaction is open.
    Level status() const { return status_; }
    bool started() const { return status_ == Level::Benign && file_ != nullptr; }
    // Keeps every change; Benign, or the level of the message shown.
    Level commit();
    // Drops every change (also what happens when the object goes uncommitted).
    void rollback();

private:
    Level cancelled();

    FileManager& table_;
    StoreFile* file_ = nullptr;
    Level status_ = Level::Benign;
    bool open_ = false;
};

} // namespace qd
