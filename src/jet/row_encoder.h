// Encoding rows: the exact inverse of row_codec's SplitRow/DecodeRow, laid out as Access lays
// rows out (column count = max_cols, every fixed slot allocated even when Null, a var-offset
// entry for every var index up to the highest live one, EOD, the offsets stored last column
// first, the var count and the null mask whose bit is also a BOOLEAN's value).
//
// Format: docs/format.md, data pages and rows; values and text.
#pragma once

#include <vector>

#include "jet/bytes.h"
#include "jet/row_codec.h"
#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

// The stored bytes of a non-Null value of a fixed-size or variable column (not BOOLEAN, not
// MEMO/OLE: see EncodeLongValueBody and long_value_writer.h). Compatible numeric values are
// converted (an Integer into a Long field, ...). Text is stored compressed exactly where
// Access compresses it. Throws 3163 for text or binary longer than the field and 3421 for a
// value of the wrong type, naming the field.
Bytes EncodeScalar(const ColumnDef& column, const Value& value);
// The same, into `out` (its old contents replaced), so that a caller encoding row after row
// reuses one buffer.
void EncodeScalarTo(const ColumnDef& column, const Value& value, Bytes& out);

// The body of a MEMO (text, compressed under the same rule as TEXT, at most 1024 characters
// compressed) or OLE (raw bytes) value, before it is split into the row and long-value rows.
// Throws 3421 for a value of the wrong type, naming the field.
Bytes EncodeLongValueBody(const ColumnDef& column, const Value& value);

// Text as Access stores it in a column: compressed (FF FE, one byte a character) when the
// column allows it (extended flag 0x01), every character is in 0x01..0xFF and there are more
// than 2 and at most 1024 of them; plain UCS-2 LE otherwise.
Bytes EncodeJetText(const ColumnDef& column, std::u16string_view text);

// Lays out a row from one stored field per live column, in column-number order (the order of
// def.columns), as SplitRow returns them. A BOOLEAN's value is `present`. Long-value columns
// carry their definition bytes (long_value_writer.h). Throws 3047 when the row is longer than
// 4060 bytes.
Bytes EncodeRow(const TableDef& def, const std::vector<StoredField>& fields);
// The same, into `row` (its old contents replaced).
void EncodeRowTo(const TableDef& def, const std::vector<StoredField>& fields, Bytes& row);

}  // namespace jet
