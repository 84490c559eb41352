// Writing usage maps (table, index and long-value maps; the global map goes through
// PageAllocator): setting and clearing a page's bit. Inline maps shift their window (start
// page a multiple of 8) when every listed page still fits; otherwise they are promoted to
// reference maps whose type-0x05 bitmap pages come from the allocator.
//
// Format: docs/format.md, usage maps and page allocation.
#pragma once

#include <cstdint>

#include "jet/bytes.h"

namespace jet {

class PageAllocator;
class PageFile;

// Lists `page` in the map stored at `map` (bit set). Inside an operation.
void UsageMapAdd(PageFile& file, PageAllocator& allocator, RowPointer map, uint32_t page);
// Removes `page` from the map stored at `map` (bit cleared); a page outside the map is not
// listed and needs nothing. Inside an operation.
void UsageMapRemove(PageFile& file, RowPointer map, uint32_t page);

// True when the map stored at `map` lists `page`.
bool UsageMapContains(PageFile& file, RowPointer map, uint32_t page);

}  // namespace jet
