#include "jet/usage_map_writer.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/error.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

// Inline row: byte 0 kind, u32 start page at 1, bitmap from 5.
constexpr size_t kInlineOffStart = 1;
constexpr size_t kInlineOffBitmap = 5;
// Bitmap pages: 05 01 00 00, bitmap from 4.
constexpr size_t kMapPageOffBitmap = 4;

void PutBit(uint8_t* bitmap, size_t i, bool value) {
  if (value) {
    bitmap[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  } else {
    bitmap[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
  }
}

std::span<uint8_t> MapRow(PageFile& file, RowPointer map) {
  if (map == kGlobalUsageMap) {
    throw std::logic_error("the global usage map is changed through PageAllocator");
  }
  ReadSlot(LoadDataPage(file, map.page), map.page, map.row);  // type and bounds checks
  std::span<uint8_t> row = MutableRow(file.MutablePage(map.page), map.row);
  if (row.empty()) ThrowCorrupt(map.page, "usage map row " + std::to_string(map.row) + " is empty");
  if (row[0] == kUsageMapInline && row.size() < kInlineOffBitmap) {
    ThrowCorrupt(map.page, "inline usage map row is too short");
  }
  if (row[0] != kUsageMapInline && row[0] != kUsageMapReference) {
    ThrowCorrupt(map.page, "unknown usage map type " + std::to_string(row[0]));
  }
  return row;
}

bool ValidMapPage(PageFile& file, uint32_t map_page) {
  return map_page != 0 && map_page < file.page_count() && file.Page(map_page)[0] == kPageUsageMap;
}

// Sets or clears a page's bit in a reference map; a bitmap page is added (from the allocator)
// only when a bit must be set in a range that has none.
void SetReferenceBit(PageFile& file, PageAllocator* allocator, RowPointer map, uint32_t page,
                     bool value) {
  std::span<uint8_t> row = MapRow(file, map);
  const size_t slots = (row.size() - 1) / 4;
  const uint32_t k = page / kPagesPerMapPage;
  if (k >= slots) {
    if (!value) return;
    ThrowCorrupt(map.page, "page " + std::to_string(page) + " lies beyond the usage map's reach");
  }
  uint32_t map_page = U32(row.data() + 1 + 4 * k);
  if (!ValidMapPage(file, map_page)) {
    if (!value) return;
    map_page = allocator->Allocate();
    uint8_t* bitmap = file.MutablePage(map_page);
    bitmap[0] = kPageUsageMap;
    bitmap[1] = 0x01;
    PutU32(MapRow(file, map).data() + 1 + 4 * k, map_page);
  }
  PutBit(file.MutablePage(map_page) + kMapPageOffBitmap, page % kPagesPerMapPage, value);
}

// Turns an inline map into a reference map listing the same pages plus `extra`.
void Promote(PageFile& file, PageAllocator& allocator, RowPointer map, uint32_t extra) {
  std::vector<uint32_t> pages = UsageMap::Read(file, map).SetPages();
  pages.push_back(extra);
  std::span<uint8_t> row = MapRow(file, map);
  std::fill(row.begin(), row.end(), 0);
  row[0] = kUsageMapReference;
  for (uint32_t p : pages) SetReferenceBit(file, &allocator, map, p, true);
}

void SetInlineBit(PageFile& file, PageAllocator* allocator, RowPointer map, uint32_t page,
                  bool value) {
  std::span<uint8_t> row = MapRow(file, map);
  const uint32_t start = U32(row.data() + kInlineOffStart);
  const size_t bits = (row.size() - kInlineOffBitmap) * 8;
  if (page >= start && page - start < bits) {
    PutBit(row.data() + kInlineOffBitmap, page - start, value);
    return;
  }
  if (!value) return;  // outside the window: not listed

  // Shift the window (its start a multiple of 8) when every listed page still fits.
  std::vector<uint32_t> pages = UsageMap::Read(file, map).SetPages();
  pages.push_back(page);
  const auto [lo, hi] = std::minmax_element(pages.begin(), pages.end());
  const uint32_t new_start = *lo & ~7u;
  if (*hi - new_start < bits) {
    PutU32(row.data() + kInlineOffStart, new_start);
    std::fill(row.begin() + kInlineOffBitmap, row.end(), 0);
    for (uint32_t p : pages) PutBit(row.data() + kInlineOffBitmap, p - new_start, true);
    return;
  }
  Promote(file, *allocator, map, page);
}

void SetBit(PageFile& file, PageAllocator* allocator, RowPointer map, uint32_t page, bool value) {
  const std::span<uint8_t> row = MapRow(file, map);
  if (row[0] == kUsageMapReference) {
    SetReferenceBit(file, allocator, map, page, value);
  } else {
    SetInlineBit(file, allocator, map, page, value);
  }
}

}  // namespace

void UsageMapAdd(PageFile& file, PageAllocator& allocator, RowPointer map, uint32_t page) {
  SetBit(file, &allocator, map, page, true);
}

void UsageMapRemove(PageFile& file, RowPointer map, uint32_t page) {
  SetBit(file, nullptr, map, page, false);
}

bool UsageMapContains(PageFile& file, RowPointer map, uint32_t page) {
  return UsageMap::Read(file, map).Test(page);
}

}  // namespace jet
