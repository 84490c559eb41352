#include "jet/usage_map.h"

#include <algorithm>
#include <cstring>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/page_file.h"

namespace jet {
namespace {

// The map's row, checked as far as reading it needs: present, of a known kind, and an inline
// map long enough for its start page.
ByteSpan CheckedRow(const RowSlot& slot, RowPointer where) {
  if (slot.deleted() || slot.bytes.empty()) {
    ThrowCorrupt(where.page, "usage map row " + std::to_string(where.row) + " is missing");
  }
  const uint8_t kind = slot.bytes[0];
  if (kind == kUsageMapInline) {
    if (slot.bytes.size() < 5) ThrowCorrupt(where.page, "inline usage map row is too short");
  } else if (kind != kUsageMapReference) {
    ThrowCorrupt(where.page, "unknown usage map type " + std::to_string(kind));
  }
  return slot.bytes;
}

}  // namespace

UsageMap UsageMap::Read(PageFile& file, RowPointer where) {
  const uint8_t* page = LoadDataPage(file, where.page);
  const RowSlot slot = ReadSlot(page, where.page, where.row);
  CheckedRow(slot, where);
  UsageMap map;
  map.location_ = where;
  map.file_pages_ = file.page_count();
  map.kind_ = slot.bytes[0];
  if (map.kind_ == kUsageMapInline) {
    // Byte 0 kind, u32 start page, then the bitmap to the end of the row.
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

namespace {

// The highest page below `file_pages` whose bit is set in `bytes` bytes of bits from
// `first_page` on, or 0 when there is none. A map's bitmap reaches far past its last page (a
// reference map covers every page the file may have): bits past the file's last page are not
// looked at, and empty stretches are passed over a word at a time.
uint32_t LastSetBit(const uint8_t* bitmap, size_t bytes, uint64_t first_page, uint32_t file_pages) {
  if (file_pages <= first_page) return 0;
  size_t end = std::min<size_t>(bytes, (uint64_t{file_pages} - first_page + 7) / 8);
  while (end >= 8) {
    uint64_t word;
    std::memcpy(&word, bitmap + end - 8, sizeof word);
    if (word != 0) break;
    end -= 8;
  }
  for (size_t byte = end; byte-- > 0;) {
    if (bitmap[byte] == 0) continue;
    for (unsigned bit = 8; bit-- > 0;) {
      if (!((bitmap[byte] >> bit) & 1)) continue;
      const uint64_t page = first_page + static_cast<uint64_t>(byte) * 8 + bit;
      if (page < file_pages) return static_cast<uint32_t>(page);
    }
  }
  return 0;
}

}  // namespace

uint32_t UsageMap::LastSetPage() const {
  return LastSetBit(bitmap_.data(), bitmap_.size(), start_page_, file_pages_);
}

uint32_t UsageMap::LastSetPage(PageFile& file, RowPointer where) {
  // Read(file, where).LastSetPage(), read where the bits lie: a reference map's copy would be
  // megabytes of mostly zeros, and a long value asks for its column's last page every time.
  const uint8_t* page = LoadDataPage(file, where.page);
  const RowSlot slot = ReadSlot(page, where.page, where.row);
  const ByteSpan row = CheckedRow(slot, where);
  const uint32_t file_pages = file.page_count();
  if (row[0] == kUsageMapInline) {
    return LastSetBit(row.data() + 5, row.size() - 5, U32(row.data() + 1), file_pages);
  }
  constexpr size_t kBitmapBytes = kPagesPerMapPage / 8;
  for (size_t k = (row.size() - 1) / 4; k-- > 0;) {
    const uint64_t first_page = uint64_t{k} * kPagesPerMapPage;
    if (first_page >= file_pages) continue;
    const uint32_t map_page = U32(row.data() + 1 + 4 * k);
    if (map_page == 0 || map_page >= file_pages) continue;
    const uint8_t* bitmap = file.Page(map_page);
    if (bitmap[0] != kPageUsageMap) continue;
    if (const uint32_t last = LastSetBit(bitmap + 4, kBitmapBytes, first_page, file_pages)) {
      return last;
    }
  }
  return 0;
}

}  // namespace jet
