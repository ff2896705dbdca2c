// The relation manager of a table: deletes and updates that honour the
// referential rules of the dictionary (restrict, cascade, clear, none), depth
// first, inside one transaction that is rolled back as a whole when any step fails.
#pragma once

#include "data/FileManager.h"

namespace qd {

class RelationManager {
public:
    explicit RelationManager(FileManager& table) : table_(table) {}

    FileManager& table() const { return table_; }

    // Deletes the record last read by the table, with its relations. A parent
    // with children under a restrict rule raises message 30 naming the child
    // table, and nothing is deleted. With ask, message 9 asks first.
    Level deleteRecord(bool ask = false);
    // Writes the buffer back. When a linking field changed: restrict raises
    // message 31 and restores the old values (nothing is written); cascade writes
    // the new value into every child; clear empties the children's field.
    Level update(int concurrencyMessage = 6);

private:
    Level deleteChildren(FileManager& parent, int depth);
    Level updateChildren(FileManager& parent, int depth);
    Level inTransaction(FileManager& t, Level (RelationManager::*work)(FileManager&, int), bool thenUpdate,
                        int concurrencyMessage);

    FileManager& table_;
};

} // namespace qd
