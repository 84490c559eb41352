#include "jet/data_page_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>

#include "jet/data_page.h"
#include "jet/page_file.h"

namespace jet {
namespace {

uint16_t Entry(const uint8_t* page, unsigned slot) {
  return U16(page + kDataOffRowTable + 2 * slot);
}

size_t StartOf(const uint8_t* page, unsigned slot) { return Entry(page, slot) & kRowOffsetMask; }

// Where slot `slot`'s row ends: the start of the slot before it, or the end of the page.
size_t EndOf(const uint8_t* page, unsigned slot) {
  return slot == 0 ? kPageSize : StartOf(page, slot - 1);
}

// The start of the lowest row; rows are packed downward, so that is the last slot's.
size_t LowestStart(const uint8_t* page) {
  const unsigned count = RowCount(page);
  return count == 0 ? kPageSize : StartOf(page, count - 1);
}

void SetEntry(uint8_t* page, unsigned slot, size_t start, uint16_t flags) {
  PutU16(page + kDataOffRowTable + 2 * slot, static_cast<uint16_t>(start | flags));
}

void CheckSlot(const uint8_t* page, unsigned slot) {
  if (slot >= RowCount(page)) {
    throw std::logic_error("data page has no slot " + std::to_string(slot));
  }
}

}  // namespace

void InitDataPage(uint8_t* page, uint32_t owner) {
  std::memset(page, 0, kPageSize);
  page[0] = kPageData;
  page[1] = 0x01;
  PutU16(page + kDataOffFreeSpace, kDataPageEmptyFree);
  PutU32(page + kDataOffOwner, owner);
  PutU16(page + kDataOffRowCount, 0);
}

std::span<uint8_t> MutableRow(uint8_t* page, unsigned slot) {
  CheckSlot(page, slot);
  const size_t start = StartOf(page, slot);
  return std::span<uint8_t>(page + start, EndOf(page, slot) - start);
}

uint16_t DataPageFree(const uint8_t* page) { return U16(page + kDataOffFreeSpace); }

bool HasRoomFor(const uint8_t* page, size_t row_size) {
  return RowCount(page) < kMaxRowsPerPage && DataPageFree(page) >= row_size + 2;
}

NewRowPlace PlaceOfNewRow(const uint8_t* page, size_t row_size) {
  const size_t slots_end = kDataOffRowTable + 2 * (static_cast<size_t>(RowCount(page)) + 1);
  return {slots_end, LowestStart(page) - row_size};
}

unsigned AddRow(uint8_t* page, ByteSpan row, uint16_t flags) {
  if (!HasRoomFor(page, row.size())) throw std::logic_error("row does not fit on the data page");
  const unsigned slot = RowCount(page);
  const size_t start = LowestStart(page) - row.size();
  if (!row.empty()) std::memcpy(page + start, row.data(), row.size());
  SetEntry(page, slot, start, flags);
  PutU16(page + kDataOffRowCount, static_cast<uint16_t>(slot + 1));
  PutU16(page + kDataOffFreeSpace, static_cast<uint16_t>(DataPageFree(page) - row.size() - 2));
  return slot;
}

uint8_t* MutableForNewRow(PageFile& file, uint32_t page, size_t row_size) {
  const NewRowPlace place = PlaceOfNewRow(file.Page(page), row_size);
  file.MutablePart(page, 0, static_cast<uint32_t>(place.slots_end));
  return file.MutablePart(page, static_cast<uint32_t>(place.row_start),
                          static_cast<uint32_t>(place.row_start + std::max<size_t>(row_size, 1)));
}

size_t RoomForReplace(const uint8_t* page, unsigned slot) {
  CheckSlot(page, slot);
  return EndOf(page, slot) - StartOf(page, slot) + DataPageFree(page);
}

void ReplaceRow(uint8_t* page, unsigned slot, ByteSpan row, uint16_t flags) {
  CheckSlot(page, slot);
  const size_t start = StartOf(page, slot);
  const size_t end = EndOf(page, slot);
  const size_t old_length = end - start;
  if (row.size() > old_length + DataPageFree(page)) {
    throw std::logic_error("replacement row does not fit on the data page");
  }
  // The rows of later slots sit below this one; they move together by the change in length,
  // so the page stays packed and every row keeps its bytes and slot number.
  const unsigned count = RowCount(page);
  const size_t lowest = LowestStart(page);
  const ptrdiff_t shift = static_cast<ptrdiff_t>(old_length) - static_cast<ptrdiff_t>(row.size());
  if (shift != 0 && start > lowest) {
    std::memmove(page + lowest + shift, page + lowest, start - lowest);
  }
  const size_t new_start = end - row.size();
  if (!row.empty()) std::memcpy(page + new_start, row.data(), row.size());
  SetEntry(page, slot, new_start, flags);
  for (unsigned s = slot + 1; s < count; ++s) {
    const uint16_t entry = Entry(page, s);
    SetEntry(page, s, (entry & kRowOffsetMask) + shift, entry & (kRowDeleted | kRowOverflow));
  }
  // Bytes uncovered when the rows moved up are no longer part of any row: clear them.
  if (shift > 0) std::memset(page + lowest, 0, static_cast<size_t>(shift));
  PutU16(page + kDataOffFreeSpace, static_cast<uint16_t>(DataPageFree(page) + shift));
}

void DeleteRow(uint8_t* page, unsigned slot) {
  ReplaceRow(page, slot, ByteSpan(), kRowDeleted | kRowOverflow);
}

bool AllRowsDeleted(const uint8_t* page) {
  const unsigned count = RowCount(page);
  for (unsigned s = 0; s < count; ++s) {
    // A slot flagged 0x8000 alone is the target of a relocated row: still live.
    if ((Entry(page, s) & (kRowDeleted | kRowOverflow)) != (kRowDeleted | kRowOverflow)) {
      return false;
    }
  }
  return true;
}

}  // namespace jet
