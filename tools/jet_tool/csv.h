// CSV (RFC 4180) text for engine values, shared by the tools that export tables.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jet/value.h"

namespace jet_tool {

// Lines end in CR LF, as RFC 4180 asks, on every platform.
inline constexpr std::string_view kCsvLineEnd = "\r\n";

// Text in double quotes, inner quotes doubled.
std::string CsvQuote(std::string_view text);

// A column name for the header line: bare, unless it holds a comma, quote or line break.
std::string CsvName(std::string_view name);

// One value as a field: Null is an empty unquoted field, every text (also empty) is quoted,
// numbers are in shortest round-trip decimal, dates "YYYY-MM-DD HH:MM:SS", booleans 1/0,
// binary and OLE as upper-case hex (zero bytes as ""), replication IDs as {8-4-4-4-12}.
std::string CsvField(const jet::Value& value);

// Fields joined with commas, with the line end.
std::string CsvRecord(const std::vector<std::string>& fields);

}  // namespace jet_tool
