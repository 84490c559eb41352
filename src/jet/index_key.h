// Index keys (docs/format.md, index keys: the encoding per column type). A key is the
// concatenation, over the index's columns in definition order, of a flag byte and the value bytes,
// arranged so that unsigned byte comparison of two keys gives the index order, ascending or
// descending.
#pragma once

#include <vector>

#include "jet/table_def.h"
#include "jet/value.h"

namespace jet {

// Flag bytes that start each column's part of a key.
constexpr uint8_t kKeyAscendingValue = 0x7F;
constexpr uint8_t kKeyAscendingNull = 0x00;
constexpr uint8_t kKeyDescendingValue = 0x80;
constexpr uint8_t kKeyDescendingNull = 0xFF;

// Appends one column's part of a key: the flag byte, then the value bytes unless the value is
// Null. The value should have the column's own type; values of another numeric type are
// converted (an INT column accepts a LONG that fits, a DOUBLE column accepts a float, ...).
// Throws Error 3464 (type mismatch) for a value that cannot be converted, and 3251 for a
// column type that cannot be indexed.
void AppendColumnKey(const ColumnDef& column, const Value& value, bool ascending, Bytes& out);

// True for a key made only of Null flags, one per index column: the key of a row whose index
// columns are all Null (such rows get no entry in an index that ignores Nulls, and never
// collide in a unique one).
bool IsAllNullKey(ByteSpan key, const RealIndexDef& index);

// The key of a row in an index. `row_values` is a row as Table::ReadRow returns it: one value
// per live column, in column-number order (the order of TableDef::columns).
Bytes EncodeIndexKey(const RealIndexDef& index, const TableDef& def,
                     const std::vector<Value>& row_values);
// The same, into `key` (its old contents replaced).
void EncodeIndexKeyTo(const RealIndexDef& index, const TableDef& def,
                      const std::vector<Value>& row_values, Bytes& key);

// The key, or the leading part of a key, for values a caller looks up: `values` holds one value
// for each of the first values.size() columns of the index, in the index's column order. With
// fewer values than index columns the result is a prefix of every matching entry's key.
Bytes EncodeLookupKey(const RealIndexDef& index, const TableDef& def,
                      const std::vector<Value>& values);

}  // namespace jet
