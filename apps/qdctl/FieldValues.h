// Reading field values from the command line and writing records out.
#pragma once

#include "data/FileManager.h"
#include "data/TableDefs.h"

#include <optional>
#include <string>

namespace qdctl {

// Parses `text` for a field: dates as YYYY-MM-DD or a day number, times as
// HH:MM[:SS[.cc]] or a time number, other numbers as integers, texts as given.
std::optional<qd::FieldValue> parseValue(const qd::FieldDef& field, const std::string& text,
                                         std::string& error);

// "YYYY-MM-DD" as a day number; "HH:MM[:SS[.cc]]" as a time value.
std::optional<long long> parseIsoDate(const std::string& text);
std::optional<long long> parseClockTime(const std::string& text);

std::string jsonEscape(const std::string& s);
// {"SCH:ID": 1, ...} with numbers as stored and texts without trailing blanks.
std::string recordJson(const qd::FileManager& t);
// SCH:ID=1  SCH:Description=... (fields that are not zero or blank), one line.
std::string recordLine(const qd::FileManager& t);
// One "SCH:ID: 1" line per field.
std::string recordBlock(const qd::FileManager& t);

} // namespace qdctl
