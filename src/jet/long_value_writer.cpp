#include "jet/long_value_writer.h"

#include <set>
#include <vector>

#include "jet/data_page.h"
#include "jet/data_page_writer.h"
#include "jet/error.h"
#include "jet/long_value.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

namespace jet {
namespace {

// Emptied long-value pages: Access retypes them and frees them in the global map.
constexpr uint8_t kPageFreedLongValue = 0x09;

const LongValueMaps& MapsOf(const TableDef& def, const ColumnDef& column) {
  for (const LongValueMaps& maps : def.long_value_maps) {
    if (maps.column_number == column.number) return maps;
  }
  ThrowCorrupt(def.page, "long-value column '" + column.name + "' has no usage maps");
}

bool HasFreeSpaceMap(const LongValueMaps& maps) { return maps.free_space.ToU32() != 0; }

bool IsLongValuePage(const uint8_t* page) {
  return page[0] == kPageData && U32(page + kDataOffOwner) == kLongValuePageTag;
}

// Places long-value rows on the column's pages: on the last page that still has room, else on
// a new page added to both of the column's maps.
class RowPlacer {
 public:
  RowPlacer(PageFile& file, PageAllocator& allocator, const LongValueMaps& maps)
      : file_(file), allocator_(allocator), maps_(maps) {
    current_ = UsageMap::LastSetPage(file_, maps_.owned);
  }

  RowPointer Place(ByteSpan row) {
    if (current_ != 0) {
      const uint8_t* page = file_.Page(current_);
      if (!IsLongValuePage(page) || !HasRoomFor(page, row.size())) {
        // Full: it leaves the free-space map, which lists pages that take new rows.
        if (IsLongValuePage(page) && HasFreeSpaceMap(maps_)) {
          UsageMapRemove(file_, maps_.free_space, current_);
        }
        current_ = 0;
      }
    }
    if (current_ == 0) {
      current_ = allocator_.Allocate();
      InitDataPage(file_.MutablePage(current_), kLongValuePageTag);
      UsageMapAdd(file_, allocator_, maps_.owned, current_);
      if (HasFreeSpaceMap(maps_)) UsageMapAdd(file_, allocator_, maps_.free_space, current_);
    }
    // Only the slot table and the row's place are declared: a long value's page is not copied
    // and compared whole for each row it gains.
    const unsigned slot = AddRow(MutableForNewRow(file_, current_, row.size()), row);
    return RowPointer{current_, static_cast<uint8_t>(slot)};
  }

 private:
  PageFile& file_;
  PageAllocator& allocator_;
  const LongValueMaps& maps_;
  uint32_t current_ = 0;
};

Bytes Definition(uint32_t header, RowPointer first) {
  Bytes out(kLongValueDefinitionSize, 0);
  PutU32(out.data(), header);
  PutU32(out.data() + 4, first.ToU32());
  return out;
}

}  // namespace

Bytes WriteLongValue(PageFile& file, PageAllocator& allocator, const TableDef& def,
                     const ColumnDef& column, ByteSpan data, size_t room_in_row) {
  if (data.size() > kLongValueLengthMask) {
    throw Error(kErrFieldTooSmall, "The value of field '" + column.name + "' is too large.");
  }
  const uint32_t length = static_cast<uint32_t>(data.size());
  if (data.size() <= kLongValueInlineMax && kLongValueDefinitionSize + data.size() <= room_in_row) {
    Bytes out = Definition(kLongValueInline | length, RowPointer{});
    out.insert(out.end(), data.begin(), data.end());
    return out;
  }
  const LongValueMaps& maps = MapsOf(def, column);
  RowPlacer placer(file, allocator, maps);
  if (data.size() <= kLongValueSingleRowMax) {
    return Definition(kLongValueSinglePage | length, placer.Place(data));
  }
  // A chain, written first chunk first: each row starts with the pointer to the next, patched
  // in once the next row has its place; the last chunk is exactly the rest.
  RowPointer first;
  RowPointer previous;
  Bytes row;
  for (size_t pos = 0; pos < data.size(); pos += kLongValueChunk) {
    const size_t take = std::min(kLongValueChunk, data.size() - pos);
    row.assign(4, 0);
    row.insert(row.end(), data.begin() + pos, data.begin() + pos + take);
    const RowPointer at = placer.Place(row);
    if (pos == 0) {
      first = at;
    } else {
      PutU32(MutableRow(file.MutablePage(previous.page), previous.row).data(), at.ToU32());
    }
    previous = at;
  }
  return Definition(length, first);
}

void FreeLongValue(PageFile& file, PageAllocator& allocator, const TableDef& def,
                   const ColumnDef& column, ByteSpan stored) {
  if (stored.size() < kLongValueDefinitionSize) return;  // an empty value stores nothing
  if (U32(stored.data()) & kLongValueInline) return;
  const LongValueMaps& maps = MapsOf(def, column);
  std::vector<RowPointer> rows;
  ReadLongValue(file, stored, def.page, &rows);
  std::set<uint32_t> touched;
  for (const RowPointer& at : rows) {
    DeleteRow(file.MutablePage(at.page), at.row);
    touched.insert(at.page);
  }
  for (uint32_t page_number : touched) {
    uint8_t* page = file.MutablePage(page_number);
    if (AllRowsDeleted(page)) {
      // As Access leaves an emptied long-value page: type 0x09, still tagged, all slots
      // deleted, out of the column's maps and free in the global map.
      page[0] = kPageFreedLongValue;
      UsageMapRemove(file, maps.owned, page_number);
      if (HasFreeSpaceMap(maps)) UsageMapRemove(file, maps.free_space, page_number);
      allocator.MarkFree(page_number);
    } else if (HasFreeSpaceMap(maps)) {
      UsageMapAdd(file, allocator, maps.free_space, page_number);
    }
  }
}

}  // namespace jet
