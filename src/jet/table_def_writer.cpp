#include "jet/table_def_writer.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "jet/data_page.h"
#include "jet/page_allocator.h"
#include "jet/page_file.h"
#include "jet/table_def_format.h"
#include "jet/text.h"

namespace jet {
namespace {

using namespace tdef;  // NOLINT: the layout constants read best unqualified here

constexpr size_t kPageHeaderSize = 8;
constexpr size_t kOffFreeSpace = 2;

// Where each section of a stored definition starts, so that its bytes can serve as the
// template of the element written at the same position.
struct RawLayout {
  const uint8_t* base = nullptr;
  size_t real_count = 0, col_count = 0, logical_count = 0;
  size_t stats = 0, columns = 0, real = 0, logical = 0;

  explicit RawLayout(const Bytes& raw) {
    if (raw.size() < kHeaderSize) return;
    const uint8_t* h = raw.data();
    const size_t end = std::min<size_t>(U32(h + kOffDefLength), raw.size());
    const size_t cols = U16(h + kOffColCount);
    const size_t reals = U32(h + kOffRealIndexCount);
    const size_t logicals = U32(h + kOffLogicalIndexCount);
    size_t pos = kHeaderSize;
    const size_t stats_at = pos;
    pos += reals * kRealIndexStatsSize;
    const size_t columns_at = pos;
    pos += cols * kColumnSize;
    for (size_t i = 0; i < cols; ++i) {
      if (!InBounds(pos, 2, end)) return;
      pos += 2 + U16(h + pos);
    }
    const size_t real_at = pos;
    pos += reals * kRealIndexSize;
    const size_t logical_at = pos;
    pos += logicals * kLogicalIndexSize;
    if (pos > end) return;
    base = h;
    real_count = reals;
    col_count = cols;
    logical_count = logicals;
    stats = stats_at;
    columns = columns_at;
    real = real_at;
    logical = logical_at;
  }

  // The stored bytes of element `i` of a section, or nullptr when there is none.
  const uint8_t* At(size_t section, size_t count, size_t size, size_t i) const {
    return base != nullptr && i < count ? base + section + i * size : nullptr;
  }
};

// Appends `size` bytes copied from `from` (zeros when null) and returns them for patching.
uint8_t* Append(Bytes& out, size_t size, const uint8_t* from) {
  const size_t at = out.size();
  out.resize(at + size, 0);
  if (from != nullptr) std::memcpy(out.data() + at, from, size);
  return out.data() + at;
}

void AppendName(Bytes& out, const std::string& name) {
  const std::u16string text = Utf8ToUtf16(name);
  if (text.size() * 2 > 0xFFFF) throw std::length_error("object name too long");
  uint8_t* p = Append(out, 2 + text.size() * 2, nullptr);
  PutU16(p, static_cast<uint16_t>(text.size() * 2));
  for (size_t i = 0; i < text.size(); ++i) PutU16(p + 2 + 2 * i, text[i]);
}

size_t PagesFor(size_t length) {
  if (length <= kPageSize) return 1;
  const size_t per_page = kPageSize - kPageHeaderSize;
  return 1 + (length - kPageSize + per_page - 1) / per_page;
}

// Bytes of the definition on page `k` of its chain, the page header included.
size_t BytesOnPage(size_t length, size_t k) {
  if (k == 0) return std::min(length, static_cast<size_t>(kPageSize));
  const size_t per_page = kPageSize - kPageHeaderSize;
  const size_t before = kPageSize + (k - 1) * per_page;
  return kPageHeaderSize + std::min(per_page, length - before);
}

uint16_t FreeField(size_t used) {
  return used + 8 >= kPageSize ? 0 : static_cast<uint16_t>(kPageSize - used - 8);
}

}  // namespace

Bytes SerializeTableDef(const TableDef& def) {
  const RawLayout raw(def.raw);
  Bytes out;
  out.reserve(def.raw.empty() ? kPageSize : def.raw.size());

  uint8_t* h = Append(out, kHeaderSize, raw.base);
  h[0] = kPageTableDef;
  h[1] = 0x01;
  PutU32(h + kOffMagic, kTableMagic);
  PutU32(h + kOffRowCount, def.row_count);
  PutU32(h + kOffLastAutonumber, def.last_autonumber);
  if (raw.base == nullptr) h[kOffAutonumberEnabled] = 0x01;
  h[kOffTableType] = def.table_type;
  PutU16(h + kOffMaxCols, def.max_cols);
  PutU16(h + kOffVarCols, def.var_col_count);
  PutU16(h + kOffColCount, static_cast<uint16_t>(def.columns.size()));
  PutU32(h + kOffLogicalIndexCount, static_cast<uint32_t>(def.indexes.size()));
  PutU32(h + kOffRealIndexCount, static_cast<uint32_t>(def.real_indexes.size()));
  PutU32(h + kOffOwnedMap, def.owned_map.ToU32());
  PutU32(h + kOffFreeSpaceMap, def.free_space_map.ToU32());

  for (size_t i = 0; i < def.real_indexes.size(); ++i) {
    const RealIndexDef& x = def.real_indexes[i];
    uint8_t* p =
        Append(out, kRealIndexStatsSize, raw.At(raw.stats, raw.real_count, kRealIndexStatsSize, i));
    PutU32(p, x.stats_unknown);
    PutU32(p + 4, x.unique_entry_count);
  }

  // Descriptors go back in the order they were stored, which is not column-number order.
  std::vector<const ColumnDef*> order;
  for (const ColumnDef& c : def.columns) order.push_back(&c);
  std::stable_sort(order.begin(), order.end(), [](const ColumnDef* a, const ColumnDef* b) {
    return a->descriptor_index < b->descriptor_index;
  });
  for (const ColumnDef* c : order) {
    uint8_t* p = Append(out, kColumnSize,
                        raw.At(raw.columns, raw.col_count, kColumnSize, c->descriptor_index));
    const bool from_raw = raw.At(raw.columns, raw.col_count, kColumnSize, c->descriptor_index);
    p[0] = static_cast<uint8_t>(c->type);
    PutU32(p + 1, kTableMagic);
    PutU16(p + 5, c->number);
    PutU16(p + 7, c->var_index);
    if (!from_raw) PutU16(p + 9, c->number);
    if (c->type == ColumnType::kNumeric) {
      p[11] = c->precision;
      p[12] = c->scale;
    } else {
      PutU16(p + 11, c->sort_lcid);
      p[14] = c->sort_version;
    }
    p[15] = c->flags;
    p[16] = c->ext_flags;
    PutU16(p + 21, c->fixed_offset);
    PutU16(p + 23, c->length);
  }
  for (const ColumnDef* c : order) AppendName(out, c->name);

  for (size_t i = 0; i < def.real_indexes.size(); ++i) {
    const RealIndexDef& x = def.real_indexes[i];
    if (x.columns.size() > kMaxIndexColumns) {
      throw std::length_error("an index has more than 10 columns");
    }
    uint8_t* p = Append(out, kRealIndexSize, raw.At(raw.real, raw.real_count, kRealIndexSize, i));
    PutU32(p, kRealIndexMagic);
    for (size_t k = 0; k < kMaxIndexColumns; ++k) {
      uint8_t* slot = p + 4 + 3 * k;
      if (k < x.columns.size()) {
        PutU16(slot, x.columns[k].column_number);
        slot[2] = x.columns[k].ascending ? 0x01 : 0x00;
      } else if (U16(slot) != kNoColumn) {
        // An unused slot keeps whatever flag byte Access left in it; a new one gets 0.
        PutU16(slot, kNoColumn);
        slot[2] = 0;
      }
    }
    PutU32(p + 34, x.usage_map.ToU32());
    PutU32(p + 38, x.root_page);
    p[46] = x.flags;
  }

  for (size_t i = 0; i < def.indexes.size(); ++i) {
    const LogicalIndexDef& x = def.indexes[i];
    uint8_t* p = Append(out, kLogicalIndexSize,
                        raw.At(raw.logical, raw.logical_count, kLogicalIndexSize, i));
    PutU32(p, kTableMagic);
    PutU32(p + 4, x.number);
    PutU32(p + 8, x.real_index);
    p[12] = x.related_table_type;
    PutU32(p + 13, static_cast<uint32_t>(x.related_index));
    PutU32(p + 17, x.related_table_page);
    p[21] = x.cascade_updates;
    p[22] = x.cascade_deletes;
    p[23] = static_cast<uint8_t>(x.type);
  }
  for (const LogicalIndexDef& x : def.indexes) AppendName(out, x.name);

  for (const LongValueMaps& m : def.long_value_maps) {
    uint8_t* p = Append(out, 10, nullptr);
    PutU16(p, m.column_number);
    PutU32(p + 2, m.owned.ToU32());
    PutU32(p + 6, m.free_space.ToU32());
  }
  PutU16(Append(out, 2, nullptr), 0xFFFF);

  uint8_t* first = out.data();
  PutU32(first + kOffDefLength, static_cast<uint32_t>(out.size()));
  PutU16(first + kOffFreeSpace, FreeField(BytesOnPage(out.size(), 0)));
  PutU32(first + kOffNextPage, PagesFor(out.size()) > 1 && def.pages.size() > 1 ? def.pages[1] : 0);
  return out;
}

std::vector<uint32_t> WriteTableDefPages(PageFile& file, PageAllocator& allocator,
                                         ByteSpan definition, const std::vector<uint32_t>& pages) {
  if (pages.empty()) throw std::logic_error("a table definition needs its first page");
  if (definition.size() < kHeaderSize) throw std::logic_error("table definition too short");
  const size_t needed = PagesFor(definition.size());
  std::vector<uint32_t> used(pages.begin(), pages.begin() + std::min(needed, pages.size()));
  while (used.size() < needed) used.push_back(allocator.Allocate());
  for (size_t k = needed; k < pages.size(); ++k) allocator.Free(pages[k]);

  size_t pos = 0;
  for (size_t k = 0; k < needed; ++k) {
    uint8_t* page = file.MutablePage(used[k]);
    const size_t on_page = BytesOnPage(definition.size(), k);
    std::memset(page, 0, kPageSize);
    if (k == 0) {
      std::memcpy(page, definition.data(), on_page);
    } else {
      std::memcpy(page + kPageHeaderSize, definition.data() + pos, on_page - kPageHeaderSize);
    }
    pos += k == 0 ? on_page : on_page - kPageHeaderSize;
    page[0] = kPageTableDef;
    page[1] = 0x01;
    PutU16(page + kOffFreeSpace, FreeField(on_page));
    PutU32(page + kOffNextPage, k + 1 < needed ? used[k + 1] : 0);
  }
  return used;
}

void WriteTableDef(PageFile& file, PageAllocator& allocator, TableDef& def) {
  std::vector<uint32_t> pages = def.pages;
  if (pages.empty() || pages.front() != def.page) pages.assign(1, def.page);
  const Bytes definition = SerializeTableDef(def);
  def.pages = WriteTableDefPages(file, allocator, definition, pages);
  // What a fresh read would keep: page 1 whole, then bytes 8.. of each continuation page.
  def.raw.clear();
  for (size_t k = 0; k < def.pages.size(); ++k) {
    const uint8_t* page = file.Page(def.pages[k]);
    def.raw.insert(def.raw.end(), page + (k == 0 ? 0 : kPageHeaderSize), page + kPageSize);
  }
}

}  // namespace jet
