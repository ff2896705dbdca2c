// A filter over the fields of one table: conditions on single fields, all of
// which a record must meet. The record layer turns it into a query with bound
// values, so what a user types is never read as query text.
#pragma once

#include "data/TableDefs.h"

#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace qd {

enum class FieldMatch {
    Equals,     // text: without regard to letter case
    NotEquals,  // text: without regard to letter case
    Contains,   // text only
    BeginsWith, // text only
    Range,      // from and/or to, both included
    InMonth,    // a day number (date field) in month `value` (1-12) of any year; day 0 never
};

struct FieldCondition {
    int field = -1; // value index in the table
    FieldMatch match = FieldMatch::Equals;
    std::variant<long long, std::string> value;                   // Equals, NotEquals, Contains, BeginsWith
    std::optional<std::variant<long long, std::string>> from, to; // Range
};

using RecordFilter = std::vector<FieldCondition>;

// The condition as query text with numbered parameters from `firstParam` on
// ("" for an empty filter), and the values to bind to them in order. A
// condition that does not fit its field (an unknown field, text matching on a
// number, a range with neither end) makes filterValid false; filterQuery
// leaves such conditions out.
struct FilterQuery {
    std::string where;
    std::vector<std::variant<long long, std::string>> values;
};
bool filterValid(const TableDef& table, const RecordFilter& filter, std::string* why = nullptr);
FilterQuery filterQuery(const TableDef& table, const RecordFilter& filter, int firstParam);

// Whether a record meets the filter, tested in memory with the same rules as
// the query (for rows already read, and to check the query in tests).
bool filterAccepts(const TableDef& table, const RecordFilter& filter,
                   const std::vector<std::variant<long long, std::string>>& values);

} // namespace qd
