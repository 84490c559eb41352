// Writing rows on data pages (type 0x01). Rows are kept as Access keeps them: packed downward
// in slot order (a slot's start never above the previous slot's), free space exactly
// (lowest row start) - (14 + 2 x slot count), at most 255 slots, and slot numbers never
// change while the page lives, because index entries and row pointers name them.
//
// Format: docs/format.md, data pages and rows.
#pragma once

#include <cstdint>
#include <span>

#include "jet/bytes.h"

namespace jet {

class PageFile;

constexpr uint16_t kDataPageEmptyFree = 4082;  // 4096 - 14-byte header
constexpr unsigned kMaxRowsPerPage = 255;      // the row number is one byte in pointers
constexpr size_t kMaxRowSize = 4060;           // the largest row Access accepts

// Writes an empty data page header: 01 01, free 4082, owner, 0, no rows. `owner` is the
// owning tdef page, kLongValuePageTag for long-value pages, 0 for usage-map row pages.
void InitDataPage(uint8_t* page, uint32_t owner);

// The bytes of slot `slot` on a page being changed (rows keep their length: use ReplaceRow
// to change it). Throws std::logic_error for a slot the page does not have.
std::span<uint8_t> MutableRow(uint8_t* page, unsigned slot);

// Free space recorded in the header.
uint16_t DataPageFree(const uint8_t* page);

// True when a new row of `row_size` bytes (plus its 2-byte slot entry) fits and the page
// has fewer than 255 slots.
bool HasRoomFor(const uint8_t* page, size_t row_size);

// Adds a row as slot (row count), just below the lowest row. Throws std::logic_error when it
// does not fit (callers check HasRoomFor first).
// The bytes AddRow changes for a row of `row_size` bytes (HasRoomFor must hold): the header
// and slot table [0, slots_end), and the row's place [row_start, row_start + row_size).
struct NewRowPlace {
  size_t slots_end;
  size_t row_start;
};
NewRowPlace PlaceOfNewRow(const uint8_t* page, size_t row_size);
unsigned AddRow(uint8_t* page, ByteSpan row, uint16_t flags = 0);
// The data page `page` of `file` for AddRow of a row of `row_size` bytes, declaring just the
// bytes AddRow changes (PageFile::MutablePart), inside the caller's operation.
uint8_t* MutableForNewRow(PageFile& file, uint32_t page, size_t row_size);

// Replaces slot `slot`'s bytes and flags (kRowDeleted / kRowOverflow), moving the rows below
// it so that the page stays packed. Other rows keep their bytes and slot numbers. Throws
// std::logic_error when the new bytes do not fit.
void ReplaceRow(uint8_t* page, unsigned slot, ByteSpan row, uint16_t flags);

// Room available to grow slot `slot` in place: its length plus the page's free space.
size_t RoomForReplace(const uint8_t* page, unsigned slot);

// Deletes slot `slot` as Access does: flags 0xC000, zero length, the page compacted.
void DeleteRow(uint8_t* page, unsigned slot);

// True when every slot of the page is deleted (0xC000), or there are none.
bool AllRowsDeleted(const uint8_t* page);

}  // namespace jet
