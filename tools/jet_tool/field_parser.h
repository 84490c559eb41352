// Values from text, the inverse of the CSV fields `jet-tool export` writes (csv.h): what
// `import` and `delete` read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/table_def.h"
#include "jet/value.h"

namespace jet_tool {

// One CSV field as read: its text, and whether it was quoted (an unquoted empty field is
// Null, a quoted one is empty text or zero bytes).
struct CsvText {
  std::string text;
  bool quoted = false;
};

// Splits RFC 4180 text into records of fields (quotes doubled inside quoted fields; CR LF or LF
// between records; a final line end optional). Throws jet::Error 3421 for a quote left open.
std::vector<std::vector<CsvText>> ParseCsv(std::string_view text);

// The value a field stands for in `column`: integers (range-checked), decimals ("12.5",
// exponent allowed for FLOAT/DOUBLE), currency and NUMERIC exactly from their digits, dates
// "YYYY-MM-DD[ HH:MM[:SS]]", booleans 1/0/true/false/yes/no, binary and OLE as hex,
// replication IDs as {8-4-4-4-12}, text as it is. Throws jet::Error 3421 ("Data type
// conversion error") naming the field when the text is not such a value.
jet::Value ParseField(const jet::ColumnDef& column, const CsvText& field);

}  // namespace jet_tool
