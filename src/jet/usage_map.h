// Usage maps: which pages belong to a table, an index or a long-value column, and (page 1)
// which pages of the file are free. A map is a row on a data page, inline (a bitmap with a
// start page) or by reference (pointers to type-0x05 bitmap pages).
//
// Format: docs/format.md, usage maps and page allocation.
#pragma once

#include <cstdint>
#include <vector>

#include "jet/bytes.h"

namespace jet {

class PageFile;

constexpr uint8_t kUsageMapInline = 0x00;
constexpr uint8_t kUsageMapReference = 0x01;
// Pages covered by one type-0x05 bitmap page: (4096 - 4) bytes of bits.
constexpr uint32_t kPagesPerMapPage = (4096 - 4) * 8;

class UsageMap {
 public:
  // Reads the map stored at `where`. Throws corrupt naming the page for a malformed map.
  static UsageMap Read(PageFile& file, RowPointer where);

  uint8_t kind() const { return kind_; }
  RowPointer location() const { return location_; }
  // Inline maps: the page of bit 0, and the pages the bitmap spans.
  uint32_t start_page() const { return start_page_; }
  uint32_t span() const { return static_cast<uint32_t>(bitmap_.size() * 8); }
  // Reference maps: the bitmap page behind each slot (0 where none).
  const std::vector<uint32_t>& map_pages() const { return map_pages_; }

  // True when the page's bit is set (for table maps: the page belongs to the map; for the
  // global map: the page is free). Pages outside the map's span read as clear.
  bool Test(uint32_t page) const;
  // The pages whose bit is set, ascending, limited to pages inside the file.
  std::vector<uint32_t> SetPages() const;
  // The highest page inside the file whose bit is set, or 0 when there is none.
  uint32_t LastSetPage() const;
  // Read(file, where).LastSetPage(), without copying the map.
  static uint32_t LastSetPage(PageFile& file, RowPointer where);

 private:
  uint8_t kind_ = kUsageMapInline;
  RowPointer location_;
  uint32_t start_page_ = 0;
  // Bit i (LSB first) is page start_page_ + i. Kept as bytes: maps are read on every new
  // page, and whole bytes of clear bits are skipped in one step.
  Bytes bitmap_;
  std::vector<uint32_t> map_pages_;
  uint32_t file_pages_ = 0;
};

// The database-wide map on page 1, row 0: here a set bit means the page is free.
constexpr RowPointer kGlobalUsageMap{1, 0};

}  // namespace jet
