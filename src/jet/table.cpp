#include "jet/table.h"

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/row_codec.h"
#include "jet/usage_map.h"

namespace jet {
namespace {

// Jet relocates a row at most once per update; a longer chain of forwarding slots can only
// come from damage, so we stop following after a few hops.
constexpr int kMaxRelocationHops = 8;
// Row numbers are one byte in row pointers: Jet never puts more rows on a page.
constexpr int kRowNumberLimit = 255;

bool OwnedBy(const uint8_t* page, uint32_t tdef_page) {
  return page[0] == kPageData && U32(page + kDataOffOwner) == tdef_page;
}

}  // namespace

std::optional<RowPlace> LocateRow(PageFile& file, const TableDef& def, RowLocator where) {
  RowPointer at = where;
  for (int hop = 0; hop <= kMaxRelocationHops; ++hop) {
    const uint8_t* page = file.Page(at.page);
    if (!OwnedBy(page, def.page)) {
      ThrowCorrupt(at.page, "a row of table page " + std::to_string(def.page) +
                                " points to a page the table does not own");
    }
    const RowSlot slot = ReadSlot(page, at.page, at.row);
    if (slot.overflow() && !slot.deleted()) {
      // The slot's first bytes point to where the row now lives: row byte, then 3-byte page.
      if (slot.bytes.size() < 4) ThrowCorrupt(at.page, "a relocated row's pointer is cut short");
      at = RowPointer::FromU32(U32(slot.bytes.data()));
      continue;
    }
    // The header slot itself deleted means no row; a relocation target carries the deleted
    // bit and is read only through its header slot.
    if (slot.deleted() && hop == 0) return std::nullopt;
    return RowPlace{where, at, slot.bytes};
  }
  ThrowCorrupt(where.page, "a relocated row's chain of pointers is too long");
}

std::vector<uint32_t> Table::DataPages() const {
  return UsageMap::Read(*file_, def_->owned_map).SetPages();
}

std::vector<Value> Table::ReadRow(RowLocator where) const {
  const auto place = LocateRow(*file_, *def_, where);
  if (!place) throw Error(kErrNoCurrentRecord, "No current record: the row has been deleted.");
  return DecodeRow(*file_, *def_, place->bytes, place->data.page);
}

Table::Cursor::Cursor(const Table& table)
    : file_(table.file_), def_(table.def_), pages_(table.DataPages()) {}

Table::Cursor::Cursor(const Table& table, std::vector<bool> wanted) : Cursor(table) {
  wanted_ = std::move(wanted);
}

Table::Cursor::Cursor(const Table& table, std::vector<bool> wanted, RowFilter filter)
    : Cursor(table, std::move(wanted)) {
  filter_ = std::move(filter);
}

bool Table::Cursor::Next() {
  PageFile& file = *file_;
  while (page_index_ < pages_.size()) {
    const uint32_t page_number = pages_[page_index_];
    const uint8_t* page = file.Page(page_number);
    // A page in the map that is no longer this table's (freed and reused) holds none of its
    // rows.
    if (OwnedBy(page, def_->page)) {
      const int count = RowCount(page);
      // The offset table is read here before ReadSlot checks it: a count from a damaged page
      // must not take us past the page.
      if (count > kRowNumberLimit ||
          kDataOffRowTable + 2 * static_cast<size_t>(count) > kPageSize) {
        ThrowCorrupt(page_number, "row offset table overruns the page");
      }
      while (++slot_ < count) {
        const uint16_t entry = U16(page + kDataOffRowTable + 2 * slot_);
        if (entry & kRowDeleted) continue;  // deleted, or the target of a relocated row
        const RowLocator here{page_number, static_cast<uint8_t>(slot_)};
        const auto place = LocateRow(file, *def_, here);
        if (!place) continue;
        if (filter_ && !filter_(place->bytes, place->data.page)) continue;
        values_ = DecodeRow(file, *def_, place->bytes, place->data.page,
                            wanted_.empty() ? nullptr : &wanted_);
        locator_ = here;
        stored_.assign(place->bytes.begin(), place->bytes.end());
        stored_page_ = place->data.page;
        return true;
      }
    }
    ++page_index_;
    slot_ = -1;
  }
  return false;
}

}  // namespace jet
