#include "jet/usage_map.h"

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/page_file.h"

namespace jet {

UsageMap UsageMap::Read(PageFile& file, RowPointer where) {
  const uint8_t* page = LoadDataPage(file, where.page);
  const RowSlot slot = ReadSlot(page, where.page, where.row);
  if (slot.deleted() || slot.bytes.empty()) {
    ThrowCorrupt(where.page, "usage map row " + std::to_string(where.row) + " is missing");
  }
  UsageMap map;
  map.location_ = where;
  map.file_pages_ = file.page_count();
  map.kind_ = slot.bytes[0];
  if (map.kind_ == kUsageMapInline) {
    // Byte 0 kind, u32 start page, then the bitmap to the end of the row.
    if (slot.bytes.size() < 5) ThrowCorrupt(where.page, "inline usage map row is too short");
    map.start_page_ = U32(slot.bytes.data() + 1);
    const ByteSpan bitmap = slot.bytes.subspan(5);
    map.bits_.resize(bitmap.size() * 8);
    for (size_t i = 0; i < map.bits_.size(); ++i) {
      map.bits_[i] = (bitmap[i / 8] >> (i % 8)) & 1;
    }
  } else if (map.kind_ == kUsageMapReference) {
    // Byte 0 kind, then u32 page numbers of bitmap pages; slot k covers pages from
    // k * kPagesPerMapPage. Access may leave garbage in unused slots: only pointers to real
    // bitmap pages count.
    const size_t slots = (slot.bytes.size() - 1) / 4;
    map.map_pages_.resize(slots);
    map.bits_.resize(slots * static_cast<size_t>(kPagesPerMapPage));
    for (size_t k = 0; k < slots; ++k) {
      const uint32_t map_page = U32(slot.bytes.data() + 1 + 4 * k);
      if (map_page == 0 || map_page >= file.page_count()) continue;
      const uint8_t* bitmap = file.Page(map_page);
      if (bitmap[0] != kPageUsageMap) continue;
      map.map_pages_[k] = map_page;
      for (size_t i = 0; i < kPagesPerMapPage; ++i) {
        map.bits_[k * kPagesPerMapPage + i] = (bitmap[4 + i / 8] >> (i % 8)) & 1;
      }
    }
  } else {
    ThrowCorrupt(where.page, "unknown usage map type " + std::to_string(map.kind_));
  }
  return map;
}

bool UsageMap::Test(uint32_t page) const {
  if (page < start_page_) return false;
  const uint64_t i = static_cast<uint64_t>(page) - start_page_;
  return i < bits_.size() && bits_[i];
}

std::vector<uint32_t> UsageMap::SetPages() const {
  std::vector<uint32_t> pages;
  for (size_t i = 0; i < bits_.size(); ++i) {
    if (!bits_[i]) continue;
    const uint64_t page = start_page_ + static_cast<uint64_t>(i);
    if (page >= file_pages_) break;
    pages.push_back(static_cast<uint32_t>(page));
  }
  return pages;
}

}  // namespace jet
