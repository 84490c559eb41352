#include "jet/data_page.h"

#include "jet/error.h"
#include "jet/page_file.h"

namespace jet {

RowSlot ReadSlot(const uint8_t* page, uint32_t page_number, unsigned row) {
  const unsigned count = RowCount(page);
  const size_t table_end = kDataOffRowTable + 2 * static_cast<size_t>(count);
  if (table_end > kPageSize) ThrowCorrupt(page_number, "row offset table overruns the page");
  if (row >= count) {
    ThrowCorrupt(page_number, "row " + std::to_string(row) + " does not exist on the page");
  }
  const uint16_t entry = U16(page + kDataOffRowTable + 2 * row);
  // A row ends where the previous slot's row begins: rows are packed downward in slot order.
  const size_t end =
      row == 0 ? kPageSize : (U16(page + kDataOffRowTable + 2 * (row - 1)) & kRowOffsetMask);
  const size_t start = entry & kRowOffsetMask;
  if (start < table_end || start > end || end > kPageSize) {
    ThrowCorrupt(page_number, "row " + std::to_string(row) + " lies outside its page");
  }
  RowSlot slot;
  slot.flags = entry & (kRowDeleted | kRowOverflow);
  slot.bytes = ByteSpan(page + start, end - start);
  return slot;
}

const uint8_t* LoadDataPage(PageFile& file, uint32_t page_number) {
  const uint8_t* page = file.Page(page_number);
  if (page[0] != kPageData) ThrowCorrupt(page_number, "expected a data page");
  return page;
}

}  // namespace jet
