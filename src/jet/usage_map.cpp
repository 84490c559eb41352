#include "jet/usage_map.h"

#include <algorithm>
#include <cstring>

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
    map.bitmap_.assign(bitmap.begin(), bitmap.end());
  } else if (map.kind_ == kUsageMapReference) {
    // Byte 0 kind, then u32 page numbers of bitmap pages; slot k covers pages from
    // k * kPagesPerMapPage. Access may leave garbage in unused slots: only pointers to real
    // bitmap pages count.
    const size_t slots = (slot.bytes.size() - 1) / 4;
    map.map_pages_.resize(slots);
    constexpr size_t kBitmapBytes = kPagesPerMapPage / 8;
    map.bitmap_.assign(slots * kBitmapBytes, 0);
    for (size_t k = 0; k < slots; ++k) {
      const uint32_t map_page = U32(slot.bytes.data() + 1 + 4 * k);
      if (map_page == 0 || map_page >= file.page_count()) continue;
      const uint8_t* bitmap = file.Page(map_page);
      if (bitmap[0] != kPageUsageMap) continue;
      map.map_pages_[k] = map_page;
      std::copy(bitmap + 4, bitmap + 4 + kBitmapBytes, map.bitmap_.begin() + k * kBitmapBytes);
    }
  } else {
    ThrowCorrupt(where.page, "unknown usage map type " + std::to_string(map.kind_));
  }
  return map;
}

bool UsageMap::Test(uint32_t page) const {
  if (page < start_page_) return false;
  const uint64_t i = static_cast<uint64_t>(page) - start_page_;
  return i / 8 < bitmap_.size() && ((bitmap_[i / 8] >> (i % 8)) & 1);
}

std::vector<uint32_t> UsageMap::SetPages() const {
  std::vector<uint32_t> pages;
  for (size_t byte = 0; byte < bitmap_.size(); ++byte) {
    if (bitmap_[byte] == 0) continue;
    for (unsigned bit = 0; bit < 8; ++bit) {
      if (!((bitmap_[byte] >> bit) & 1)) continue;
      const uint64_t page = start_page_ + static_cast<uint64_t>(byte) * 8 + bit;
      if (page >= file_pages_) return pages;
      pages.push_back(static_cast<uint32_t>(page));
    }
  }
  return pages;
}

uint32_t UsageMap::LastSetPage() const {
  // A map's bitmap reaches far past its last page (a reference map covers every page the file
  // may have): bits past the file's last page are not looked at, and empty stretches are
  // passed over a word at a time.
  if (file_pages_ <= start_page_) return 0;
  size_t end = std::min<size_t>(bitmap_.size(), (uint64_t{file_pages_} - start_page_ + 7) / 8);
  while (end >= 8) {
    uint64_t word;
    std::memcpy(&word, bitmap_.data() + end - 8, sizeof word);
    if (word != 0) break;
    end -= 8;
  }
  for (size_t byte = end; byte-- > 0;) {
    if (bitmap_[byte] == 0) continue;
    for (unsigned bit = 8; bit-- > 0;) {
      if (!((bitmap_[byte] >> bit) & 1)) continue;
      const uint64_t page = start_page_ + static_cast<uint64_t>(byte) * 8 + bit;
      if (page < file_pages_) return static_cast<uint32_t>(page);
    }
  }
  return 0;
}

}  // namespace jet
