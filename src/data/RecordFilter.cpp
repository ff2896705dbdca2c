#include "data/RecordFilter.h"

#include "data/Calendar.h"
#include "data/StoreFile.h"

#include <algorithm>

namespace qd {

namespace {

using Value = std::variant<long long, std::string>;

bool isText(const FieldDef& f) {
    return f.type == FieldType::String || f.type == FieldType::CString || f.type == FieldType::Memo;
}

// Letter case folded as the store's NOCASE collation and LIKE fold it: ASCII
// letters only.
std::string folded(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string trimmedRight(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

// LIKE treats % and _ as wildcards: a typed one stands for itself.
std::string likeEscaped(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '%' || c == '_' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

bool holdsRightKind(const FieldDef& f, const Value& v) {
    return isText(f) == std::holds_alternative<std::string>(v);
}

std::string conditionProblem(const TableDef& table, const FieldCondition& c) {
    if (c.field < 0 || c.field >= table.valueCount()) return "unknown field";
    const FieldDef& f = table.field(c.field);
    switch (c.match) {
    case FieldMatch::Contains:
    case FieldMatch::BeginsWith:
        if (!isText(f)) return f.name + ": only text fields can contain or begin with a text";
        [[fallthrough]];
    case FieldMatch::Equals:
    case FieldMatch::NotEquals:
        if (!holdsRightKind(f, c.value)) return f.name + ": the value is not of the field's kind";
        return {};
    case FieldMatch::Range:
        if (!c.from && !c.to) return f.name + ": a range needs a first or a last value";
        if ((c.from && !holdsRightKind(f, *c.from)) || (c.to && !holdsRightKind(f, *c.to)))
            return f.name + ": the range is not of the field's kind";
        return {};
    case FieldMatch::InMonth:
        if (isText(f) || !std::holds_alternative<long long>(c.value))
            return f.name + ": only dates lie in a month";
        return {};
    }
    return "unknown condition";
}

// -1, 0 or 1 as the store orders two values of a field.
int compareValues(const FieldDef& f, const Value& a, const Value& b) {
    if (isText(f)) {
        const std::string x = folded(std::get<std::string>(a)), y = folded(std::get<std::string>(b));
        return x < y ? -1 : (x == y ? 0 : 1);
    }
    const long long x = std::get<long long>(a), y = std::get<long long>(b);
    return x < y ? -1 : (x == y ? 0 : 1);
}

Value normalised(const FieldDef& f, const Value& v) {
    if (std::holds_alternative<std::string>(v) && isText(f)) return trimmedRight(std::get<std::string>(v));
    return v;
}

} // namespace

bool filterValid(const TableDef& table, const RecordFilter& filter, std::string* why) {
    for (const FieldCondition& c : filter) {
        const std::string problem = conditionProblem(table, c);
        if (!problem.empty()) {
            if (why) *why = problem;
            return false;
        }
    }
    return true;
}

FilterQuery filterQuery(const TableDef& table, const RecordFilter& filter, int firstParam) {
    FilterQuery q;
    int n = firstParam;
    const auto param = [&](Value v) {
        q.values.push_back(std::move(v));
        return "?" + std::to_string(n++);
    };
    for (const FieldCondition& c : filter) {
        if (!conditionProblem(table, c).empty()) continue;
        const FieldDef& f = table.field(c.field);
        const std::string col = sql::columnName(table, c.field);
        const std::string collate = isText(f) ? " COLLATE NOCASE" : "";
        std::string term;
        switch (c.match) {
        case FieldMatch::Equals:
            term = col + " = " + param(normalised(f, c.value)) + collate;
            break;
        case FieldMatch::NotEquals:
            term = col + " <> " + param(normalised(f, c.value)) + collate;
            break;
        case FieldMatch::Contains:
            term = col + " LIKE " + param("%" + likeEscaped(std::get<std::string>(c.value)) + "%") +
                   " ESCAPE '\\'";
            break;
        case FieldMatch::BeginsWith:
            term = col + " LIKE " + param(likeEscaped(std::get<std::string>(c.value)) + "%") + " ESCAPE '\\'";
            break;
        case FieldMatch::Range:
            if (c.from) term = col + " >= " + param(normalised(f, *c.from)) + collate;
            if (c.to)
                term += (term.empty() ? "" : " AND ") + col + " <= " + param(normalised(f, *c.to)) + collate;
            break;
        case FieldMatch::InMonth:
            // Day 4 is 1 January 1801: as a Julian day a day number is 2378857.5
            // further on, which the store's date functions read.
            term = col + " <> 0 AND CAST(strftime('%m', " + col + " + 2378857.5) AS INTEGER) = " +
                   param(c.value);
            break;
        }
        q.where += (q.where.empty() ? "(" : " AND (") + term + ")";
    }
    return q;
}

bool filterAccepts(const TableDef& table, const RecordFilter& filter, const std::vector<Value>& values) {
    for (const FieldCondition& c : filter) {
        if (!conditionProblem(table, c).empty()) continue;
        if (static_cast<std::size_t>(c.field) >= values.size()) return false;
        const FieldDef& f = table.field(c.field);
        const Value& v = values[static_cast<std::size_t>(c.field)];
        if (!holdsRightKind(f, v)) return false;
        switch (c.match) {
        case FieldMatch::Equals:
            if (compareValues(f, v, normalised(f, c.value)) != 0) return false;
            break;
        case FieldMatch::NotEquals:
            if (compareValues(f, v, normalised(f, c.value)) == 0) return false;
            break;
        case FieldMatch::Contains:
            if (folded(std::get<std::string>(v)).find(folded(std::get<std::string>(c.value))) ==
                std::string::npos)
                return false;
            break;
        case FieldMatch::BeginsWith:
            if (!folded(std::get<std::string>(v)).starts_with(folded(std::get<std::string>(c.value))))
                return false;
            break;
        case FieldMatch::Range:
            if (c.from && compareValues(f, v, normalised(f, *c.from)) < 0) return false;
            if (c.to && compareValues(f, v, normalised(f, *c.to)) > 0) return false;
            break;
        case FieldMatch::InMonth: {
            const long long day = std::get<long long>(v);
            if (day == 0 || monthOf(static_cast<Date>(day)) != std::get<long long>(c.value)) return false;
            break;
        }
        }
    }
    return true;
}

} // namespace qd
