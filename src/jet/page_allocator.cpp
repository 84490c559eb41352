#include "jet/page_allocator.h"

#include <cstring>
#include <vector>

#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

// The inline global map grows by this many bitmap bytes at a time (Access's own files show
// rows of 64 and 96 bitmap bytes).
constexpr size_t kGlobalGrowBytes = 32;
// A promoted global map is a reference row of the usual map-row size: 17 bitmap pages cover
// more pages than a Jet file may hold.
constexpr size_t kReferenceRowSize = 69;

bool BitOf(const uint8_t* bitmap, size_t i) { return (bitmap[i / 8] >> (i % 8)) & 1; }
void PutBit(uint8_t* bitmap, size_t i, bool value) {
  if (value) {
    bitmap[i / 8] |= static_cast<uint8_t>(1u << (i % 8));
  } else {
    bitmap[i / 8] &= static_cast<uint8_t>(~(1u << (i % 8)));
  }
}

// Pages that a growing global map newly covers: those already in the file may be in use by
// anything, so they stay marked used (at worst a page is never reused); pages beyond the end
// of the file are free, as Access marks them.
bool NewlyCoveredFree(PageFile& file, uint32_t page) { return page >= file.page_count(); }

}  // namespace

uint32_t PageAllocator::Allocate() {
  const uint32_t page = file_.AppendPage();
  SetGlobalBit(page, false);
  return page;
}

void PageAllocator::Free(uint32_t page) {
  std::memset(file_.MutablePage(page), 0, 4);
  MarkFree(page);
}

void PageAllocator::MarkFree(uint32_t page) { SetGlobalBit(page, true); }

void PageAllocator::SetGlobalBit(uint32_t page_number, bool free) {
  uint8_t* page1 = file_.MutablePage(kGlobalUsageMap.page);
  std::span<uint8_t> row = MutableRow(page1, kGlobalUsageMap.row);
  if (row.empty()) ThrowCorrupt(kGlobalUsageMap.page, "the global usage map row is missing");
  if (row[0] == kUsageMapReference) {
    SetReferenceBit(page_number, free);
    return;
  }
  if (row[0] != kUsageMapInline || row.size() < 5) {
    ThrowCorrupt(kGlobalUsageMap.page, "the global usage map is malformed");
  }
  const uint32_t start = U32(row.data() + 1);
  const size_t bits = (row.size() - 5) * 8;
  if (page_number >= start && page_number - start < bits) {
    PutBit(row.data() + 5, page_number - start, free);
    return;
  }
  if (page_number >= start) {
    // Lengthen the row in place to cover the page, when page 1 has the room.
    const size_t needed_bytes = (static_cast<size_t>(page_number - start) / 8) + 1;
    const size_t grown_bytes =
        (needed_bytes + kGlobalGrowBytes - 1) / kGlobalGrowBytes * kGlobalGrowBytes;
    if (5 + grown_bytes <= RoomForReplace(page1, kGlobalUsageMap.row)) {
      Bytes grown(row.begin(), row.end());
      grown.resize(5 + grown_bytes, 0);
      for (size_t i = bits; i < grown_bytes * 8; ++i) {
        PutBit(grown.data() + 5, i, NewlyCoveredFree(file_, start + static_cast<uint32_t>(i)));
      }
      PutBit(grown.data() + 5, page_number - start, free);
      const uint16_t flags =
          U16(page1 + kDataOffRowTable + 2 * kGlobalUsageMap.row) & (kRowDeleted | kRowOverflow);
      ReplaceRow(page1, kGlobalUsageMap.row, grown, flags);
      return;
    }
  }
  PromoteGlobalMap();
  SetReferenceBit(page_number, free);
}

void PageAllocator::PromoteGlobalMap() {
  uint8_t* page1 = file_.MutablePage(kGlobalUsageMap.page);
  std::span<uint8_t> row = MutableRow(page1, kGlobalUsageMap.row);
  const uint32_t start = U32(row.data() + 1);
  const Bytes old_bitmap(row.begin() + 5, row.end());
  const uint32_t old_count = file_.page_count();

  Bytes reference(kReferenceRowSize, 0);
  reference[0] = kUsageMapReference;
  const uint16_t flags =
      U16(page1 + kDataOffRowTable + 2 * kGlobalUsageMap.row) & (kRowDeleted | kRowOverflow);
  ReplaceRow(page1, kGlobalUsageMap.row, reference, flags);

  // Bitmap pages for every page of the file; each new bitmap page marks the pages already in
  // the file used (itself included) and later ones free, and the old bits are copied over.
  for (uint32_t k = 0; k <= (file_.page_count() - 1) / kPagesPerMapPage; ++k) {
    SetReferenceBit(k * kPagesPerMapPage, false);  // creates slot k's bitmap page
  }
  for (uint32_t p = 0; p < old_count; ++p) {
    const bool was_free =
        p >= start && (p - start) < old_bitmap.size() * 8 && BitOf(old_bitmap.data(), p - start);
    SetReferenceBit(p, was_free);
  }
}

void PageAllocator::SetReferenceBit(uint32_t page_number, bool free) {
  const uint32_t k = page_number / kPagesPerMapPage;
  uint8_t* page1 = file_.MutablePage(kGlobalUsageMap.page);
  std::span<uint8_t> row = MutableRow(page1, kGlobalUsageMap.row);
  const size_t slots = (row.size() - 1) / 4;
  if (k >= slots) {
    throw Error(kErrDatabaseFull,
                "The database '" + file_.path() + "' has reached its maximum size.");
  }
  uint32_t map_page = U32(row.data() + 1 + 4 * k);
  if (map_page == 0 || map_page >= file_.page_count() || file_.Page(map_page)[0] != kPageUsageMap) {
    // The bitmap page is appended directly rather than through Allocate: marking it used
    // needs this very map. A slot's first bitmap page nearly always covers itself (it is
    // appended as the file grows into the slot's range); when it does not, its own bit is
    // set below, in the slot that covers it.
    map_page = file_.AppendPage();
    uint8_t* bitmap = file_.MutablePage(map_page);
    bitmap[0] = kPageUsageMap;
    bitmap[1] = 0x01;
    for (uint32_t i = 0; i < kPagesPerMapPage; ++i) {
      PutBit(bitmap + 4, i, NewlyCoveredFree(file_, k * kPagesPerMapPage + i));
    }
    PutU32(
        MutableRow(file_.MutablePage(kGlobalUsageMap.page), kGlobalUsageMap.row).data() + 1 + 4 * k,
        map_page);
    if (map_page / kPagesPerMapPage != k) SetReferenceBit(map_page, false);
  }
  PutBit(file_.MutablePage(map_page) + 4, page_number % kPagesPerMapPage, free);
}

}  // namespace jet
