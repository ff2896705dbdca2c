// The data folder and the record-store files open in it.
//
// Storage names follow the dictionary: "QD97\!s" is table "s" inside the
// container file QD97.TPS; a name without "\!" is a single-table file. File
// and table names are not case-sensitive, and a record-store file name without
// an extension gets ".TPS".
#pragma once

#include "data/ErrorClass.h"
#include "data/StoreFile.h"
#include "data/TableDefs.h"

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>

namespace qd {

struct OpenOptions {
    bool createIfMissing = true;
    bool neverCreate = false;
    bool shared = true;
};

enum class OpenStatus {
    Opened,   // ready to use
    NotFound, // missing and not to be created (never-create)
    Declined, // the user declined to rebuild a damaged key; the table stays unopened
    Fatal,    // a warning that ends the program was shown (ErrorClass::haltText says with what)
};

struct OpenResult {
    OpenStatus status = OpenStatus::Opened;
    StoreError error;
    bool ok() const { return status == OpenStatus::Opened; }
};

struct TableLocation {
    std::filesystem::path file;
    std::string table; // SQL table name inside the file
};

class DataSet {
public:
    DataSet(std::filesystem::path folder, ErrorClass& errors);
    ~DataSet();
    DataSet(const DataSet&) = delete;
    DataSet& operator=(const DataSet&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    ErrorClass& errors() const { return errors_; }

    // A file name in the data folder, matched without regard to case; the given
    // spelling when no such file exists yet. Absolute names are kept.
    std::filesystem::path resolve(const std::string& name) const;
    TableLocation locate(const TableDef& t) const;

    // The table open operation: opens the table's file (creating it and the
    // table when missing and allowed), recovers a lock once, offers to rebuild a
    // damaged key and upgrades an older stored layout.
    OpenResult openTable(const TableDef& t, const OpenOptions& options = {});
    // The open file of a table that openTable opened; nullptr otherwise.
    StoreFile* fileOf(const TableDef& t);
    bool isOpen(const TableDef& t) const;
    // Closes every file (statements included). Tables must be reopened afterwards.
    void closeAll();
    // Forgets that a table was checked, so the next open inspects it again.
    void forget(const TableDef& t);
    // Changes whenever files are closed, so cached file pointers can be checked.
    unsigned generation() const { return generation_; }

    // The passphrase of a protected data set: the key of its encrypted files
    // instead of the owner password. Set before the first table is opened.
    void setPassphrase(std::string passphrase) { passphrase_ = std::move(passphrase); }
    const std::string& passphrase() const { return passphrase_; }

private:
    OpenResult upgradeFailed(const TableDef& t, const StoreError& e);
    std::string tableKey(const TableDef& t) const;

    std::filesystem::path folder_;
    ErrorClass& errors_;
    std::map<std::string, std::unique_ptr<StoreFile>> files_; // by file path, lower case
    // "file|table" inspected this process, with the file's tablesUndone() then.
    std::map<std::string, unsigned long> ready_;
    // True when the table was inspected and no rollback since took away a
    // table of its file that was created inside the rolled-back transaction.
    bool readyNow(const std::string& key, const TableDef& t) const;
    unsigned generation_ = 1;
    std::string passphrase_;
};

} // namespace qd
