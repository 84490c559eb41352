// Writing MEMO and OLE values: the 12-byte definition stored in the row, with the data inline
// (at most 64 bytes, when it fits in the row), in one long-value row (at most 4076 bytes), or
// in a chain of rows of 4072-byte chunks. Long-value rows go on LVAL pages (data pages whose
// owner field reads "LVAL") listed in the column's own usage maps.
//
// Format: docs/format.md, long values.
#pragma once

#include <cstddef>

#include "jet/bytes.h"
#include "jet/table_def.h"

namespace jet {

class PageAllocator;
class PageFile;

constexpr size_t kLongValueInlineMax = 64;
constexpr size_t kLongValueSingleRowMax = 4076;
constexpr size_t kLongValueChunk = 4072;  // data per chained row, after the next pointer

// Stores `data` (the encoded body: see EncodeLongValueBody) and returns what goes in the row:
// the definition, followed by the data when it is inline. `room_in_row` is how many bytes the
// row can spend on this column; the value is inline only when definition + data fit in it.
// Inside an operation.
Bytes WriteLongValue(PageFile& file, PageAllocator& allocator, const TableDef& def,
                     const ColumnDef& column, ByteSpan data, size_t room_in_row);

// Deletes the long-value rows of the value stored as `stored` (its definition and inline
// data, as in the row). A page left with no live rows becomes a type-0x09 page, leaves the
// column's maps and is freed in the global map, as Access does. Inline values need nothing.
// Inside an operation.
void FreeLongValue(PageFile& file, PageAllocator& allocator, const TableDef& def,
                   const ColumnDef& column, ByteSpan stored);

}  // namespace jet
