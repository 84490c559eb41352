// Data pages (type 0x01): the row offset table and the bytes of one row.
//
// Format: docs/format.md, data pages and rows.
#pragma once

#include <cstdint>

#include "jet/bytes.h"

namespace jet {

class PageFile;

// Page types (byte 0 of every page).
constexpr uint8_t kPageDatabaseHeader = 0x00;
constexpr uint8_t kPageData = 0x01;
constexpr uint8_t kPageTableDef = 0x02;
constexpr uint8_t kPageIndexNode = 0x03;
constexpr uint8_t kPageIndexLeaf = 0x04;
constexpr uint8_t kPageUsageMap = 0x05;

// Data page header (14 bytes), then the row offset table.
constexpr size_t kDataOffFreeSpace = 2;
constexpr size_t kDataOffOwner = 4;  // owning tdef page; "LVAL" on long-value pages
constexpr size_t kDataOffRowCount = 12;
constexpr size_t kDataOffRowTable = 14;

// Row offset table entry bits.
constexpr uint16_t kRowOffsetMask = 0x1FFF;
constexpr uint16_t kRowDeleted = 0x8000;   // also set on the target slot of a relocated row
constexpr uint16_t kRowOverflow = 0x4000;  // the slot holds a pointer to where the row moved

constexpr uint32_t kLongValuePageTag = 0x4C41564C;  // "LVAL" read as a little-endian u32

struct RowSlot {
  uint16_t flags = 0;  // kRowDeleted / kRowOverflow bits of the entry
  ByteSpan bytes;      // the row's bytes on the page (empty for compacted deleted rows)

  bool deleted() const { return (flags & kRowDeleted) != 0; }
  bool overflow() const { return (flags & kRowOverflow) != 0; }
};

inline uint16_t RowCount(const uint8_t* page) { return U16(page + kDataOffRowCount); }

// The slot `row` of data page `page_number` (whose bytes are `page`), with its bounds checked
// against the page and the row offset table. Throws corrupt naming the page.
RowSlot ReadSlot(const uint8_t* page, uint32_t page_number, unsigned row);

// Loads a data page, checking its type. Throws corrupt naming the page.
const uint8_t* LoadDataPage(PageFile& file, uint32_t page_number);

}  // namespace jet
