// Writing table definitions (tdef pages): the exact inverse of ReadTableDef.
//
// A definition read from a file keeps the bytes it was read from (TableDef::raw). Access
// leaves uninitialised bytes in several places (header bytes 25..39, descriptor offsets 9 and
// 17..20, the flag byte of unused index column slots, real-index bytes 42..45); re-serializing
// such a definition starts from those bytes, so a definition written back differs from the
// stored one only where the TableDef itself changed. New definitions get zeros there.
//
// Format: docs/format.md, table definitions.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"
#include "jet/table_def.h"

namespace jet {

class PageAllocator;
class PageFile;

// The concatenated definition: the first page's 8-byte header, the fixed header, index
// statistics, column descriptors in descriptor order, column names, real and logical index
// definitions, logical index names, long-value column maps and the 0xFFFF terminator. Its
// length is the definition length stored at offset 8. The page-header fields (free space, next
// page) are those of the definition's first page as WriteTableDef lays it out over def.pages.
Bytes SerializeTableDef(const TableDef& def);

// Lays a definition buffer over tdef pages: `pages` first (the first page is the table's id
// and never changes), then newly allocated ones as needed; pages no longer needed are freed.
// Each page gets its 8-byte header (02 01, free space = 4096 - bytes used - 8, next page).
// Returns the pages used, first to last. Inside an operation.
std::vector<uint32_t> WriteTableDefPages(PageFile& file, PageAllocator& allocator,
                                         ByteSpan definition, const std::vector<uint32_t>& pages);

// Serializes `def` and writes it over its pages (def.page first), updating def.pages and
// def.raw to what was written. Inside an operation.
void WriteTableDef(PageFile& file, PageAllocator& allocator, TableDef& def);

}  // namespace jet
