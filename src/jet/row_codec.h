// The Jet 4 row format: column count, fixed area, variable data, the variable-offset table
// (stored last column first) and the null mask, whose bit is also a BOOLEAN's value.
//
// Format: docs/format.md, data pages and rows; values and text.
#pragma once

#include <vector>

#include "jet/bytes.h"
#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

class PageFile;

// One column's part of a stored row: its bytes, or absent (Null; for BOOLEAN, false).
struct StoredField {
  bool present = false;
  ByteSpan bytes;
};

// Splits the row bytes into one stored field per live column, in column-number order, with
// every offset checked against the row. Throws corrupt naming `page`.
std::vector<StoredField> SplitRow(const TableDef& def, ByteSpan row, uint32_t page);
// The same into `fields`, whose memory is reused: for readers that split row after row.
void SplitRowInto(const TableDef& def, ByteSpan row, uint32_t page,
                  std::vector<StoredField>& fields);

// Decodes the row bytes into one value per live column, in column-number order (the order of
// def.columns). Long values are read through `file`. `page` names the row's page in errors.
// With `wanted` (one flag per column), the other columns are left Null, unread.
std::vector<Value> DecodeRow(PageFile& file, const TableDef& def, ByteSpan row, uint32_t page,
                             const std::vector<bool>* wanted = nullptr);

// Decodes one stored value of a fixed-size or variable column (not BOOLEAN, not long values).
Value DecodeScalar(const ColumnDef& column, ByteSpan bytes, uint32_t page);

}  // namespace jet
