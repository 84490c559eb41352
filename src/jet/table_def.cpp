// Table definition pages (type 0x02): the fixed header, then in order the real-index
// statistics, column descriptors, column names, real-index and logical-index definitions,
// logical-index names and the long-value column usage maps.
#include "jet/table_def.h"

#include <algorithm>
#include <unordered_set>

#include "jet/data_page.h"
#include "jet/error.h"
#include "jet/page_file.h"
#include "jet/table_def_format.h"
#include "jet/text.h"

namespace jet {
namespace {

using namespace tdef;  // NOLINT: the layout constants read best unqualified here

// Fixed header offsets in the concatenated definition.

// Reads a definition buffer with every access checked against its end.
class DefReader {
 public:
  DefReader(const Bytes& buf, size_t end, uint32_t page) : buf_(buf), end_(end), page_(page) {}

  const uint8_t* Take(size_t n, const char* what) {
    if (!InBounds(pos_, n, end_))
      ThrowCorrupt(page_, std::string("table definition ends inside ") + what);
    const uint8_t* p = buf_.data() + pos_;
    pos_ += n;
    return p;
  }
  bool AtEnd(size_t n) const { return !InBounds(pos_, n, end_); }
  std::string Name(const char* what) {
    const uint16_t len = U16(Take(2, what));
    const uint8_t* p = Take(len, what);
    return Utf16ToUtf8(DecodeUcs2(ByteSpan(p, len)));
  }

 private:
  const Bytes& buf_;
  size_t end_;
  uint32_t page_;
  size_t pos_ = kHeaderSize;
};

char16_t FoldCase(char16_t c) {
  if (c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
  // Latin-1 lower-case letters fold like ASCII, except the division sign and y-diaeresis.
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return static_cast<char16_t>(c - 32);
  return c;
}

}  // namespace

std::string ColumnTypeName(ColumnType type) {
  switch (type) {
    case ColumnType::kBoolean:
      return "BOOLEAN";
    case ColumnType::kByte:
      return "BYTE";
    case ColumnType::kInt:
      return "INT";
    case ColumnType::kLong:
      return "LONG";
    case ColumnType::kMoney:
      return "MONEY";
    case ColumnType::kFloat:
      return "FLOAT";
    case ColumnType::kDouble:
      return "DOUBLE";
    case ColumnType::kDateTime:
      return "DATETIME";
    case ColumnType::kBinary:
      return "BINARY";
    case ColumnType::kText:
      return "TEXT";
    case ColumnType::kOle:
      return "OLE";
    case ColumnType::kMemo:
      return "MEMO";
    case ColumnType::kGuid:
      return "GUID";
    case ColumnType::kNumeric:
      return "NUMERIC";
    default:
      break;
  }
  static const char* kHex = "0123456789ABCDEF";
  const auto code = static_cast<uint8_t>(type);
  return std::string("UNKNOWN(0x") + kHex[code >> 4] + kHex[code & 15] + ")";
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        const auto ux = static_cast<unsigned char>(x), uy = static_cast<unsigned char>(y);
        if (ux >= 0x80 || uy >= 0x80) return x == y;
        return FoldCase(ux) == FoldCase(uy);
      })) {
    return true;
  }
  // Names of plain ASCII have their answer above; only others need the wide comparison, and
  // lookups compare a name with every table or column before the one that matches.
  const auto ascii = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  };
  if (ascii(a) && ascii(b)) return false;
  const std::u16string ua = Utf8ToUtf16(a), ub = Utf8ToUtf16(b);
  return ua.size() == ub.size() &&
         std::equal(ua.begin(), ua.end(), ub.begin(),
                    [](char16_t x, char16_t y) { return FoldCase(x) == FoldCase(y); });
}

const ColumnDef* TableDef::ColumnByNumber(uint16_t number) const {
  for (const auto& c : columns) {
    if (c.number == number) return &c;
  }
  return nullptr;
}

const ColumnDef* TableDef::ColumnByName(std::string_view name) const {
  for (const auto& c : columns) {
    if (NamesEqual(c.name, name)) return &c;
  }
  return nullptr;
}

uint32_t TableDef::FixedAreaSize() const {
  uint32_t end = 0;
  for (const auto& c : columns) {
    if (c.is_fixed() && c.type != ColumnType::kBoolean) {
      end = std::max<uint32_t>(end, c.fixed_offset + c.length);
    }
  }
  return end;
}

TableDef ReadTableDef(PageFile& file, uint32_t first_page) {
  TableDef def;
  def.page = first_page;

  // Page 1 whole, then bytes 8.. of each continuation page.
  std::unordered_set<uint32_t> seen;
  for (uint32_t page_number = first_page; page_number != 0;) {
    if (!seen.insert(page_number).second) {
      ThrowCorrupt(page_number, "the table definition's page chain loops");
    }
    const uint8_t* page = file.Page(page_number);
    if (page[0] != kPageTableDef) ThrowCorrupt(page_number, "expected a table definition page");
    def.pages.push_back(page_number);
    if (def.raw.empty()) {
      def.raw.assign(page, page + kPageSize);
    } else {
      def.raw.insert(def.raw.end(), page + 8, page + kPageSize);
    }
    page_number = U32(page + kOffNextPage);
  }

  // Page 0 is the database header: a catalog row naming it names no definition.
  if (def.raw.empty()) ThrowCorrupt(first_page, "a table definition is said to start on page 0");
  const uint8_t* h = def.raw.data();
  // The logical length covers the whole definition; never trust it beyond what we read.
  const size_t end = std::min<size_t>(U32(h + kOffDefLength), def.raw.size());
  if (end < kHeaderSize) ThrowCorrupt(first_page, "table definition is too short");
  def.row_count = U32(h + kOffRowCount);
  def.last_autonumber = U32(h + kOffLastAutonumber);
  def.table_type = h[kOffTableType];
  def.max_cols = U16(h + kOffMaxCols);
  def.var_col_count = U16(h + kOffVarCols);
  def.col_count = U16(h + kOffColCount);
  const uint32_t logical_count = U32(h + kOffLogicalIndexCount);
  const uint32_t real_count = U32(h + kOffRealIndexCount);
  def.owned_map = RowPointer::FromU32(U32(h + kOffOwnedMap));
  def.free_space_map = RowPointer::FromU32(U32(h + kOffFreeSpaceMap));

  // Counts from a damaged page must not make us allocate wildly: each entry needs its bytes.
  if (static_cast<uint64_t>(def.col_count) * kColumnSize > end ||
      static_cast<uint64_t>(real_count) * (kRealIndexStatsSize + kRealIndexSize) > end ||
      static_cast<uint64_t>(logical_count) * kLogicalIndexSize > end) {
    ThrowCorrupt(first_page, "table definition counts exceed its length");
  }

  DefReader r(def.raw, end, first_page);
  def.real_indexes.resize(real_count);
  for (uint32_t i = 0; i < real_count; ++i) {
    const uint8_t* p = r.Take(kRealIndexStatsSize, "index statistics");
    def.real_indexes[i].stats_unknown = U32(p);
    def.real_indexes[i].unique_entry_count = U32(p + 4);
  }

  def.columns.resize(def.col_count);
  for (uint32_t i = 0; i < def.col_count; ++i) {
    const uint8_t* p = r.Take(kColumnSize, "column descriptors");
    ColumnDef& c = def.columns[i];
    c.type = static_cast<ColumnType>(p[0]);
    c.number = U16(p + 5);
    c.var_index = U16(p + 7);
    if (c.type == ColumnType::kNumeric) {
      c.precision = p[11];
      c.scale = p[12];
    } else {
      c.sort_lcid = U16(p + 11);
      c.sort_version = p[14];
    }
    c.flags = p[15];
    c.ext_flags = p[16];
    c.fixed_offset = U16(p + 21);
    c.length = U16(p + 23);
    c.descriptor_index = i;
  }
  for (uint32_t i = 0; i < def.col_count; ++i) def.columns[i].name = r.Name("column names");

  for (uint32_t i = 0; i < real_count; ++i) {
    const uint8_t* p = r.Take(kRealIndexSize, "index definitions");
    RealIndexDef& x = def.real_indexes[i];
    x.number = i;
    for (size_t k = 0; k < kMaxIndexColumns; ++k) {
      const uint16_t column_number = U16(p + 4 + 3 * k);
      if (column_number == 0xFFFF) continue;
      x.columns.push_back({column_number, p[4 + 3 * k + 2] == 0x01});
    }
    x.usage_map = RowPointer::FromU32(U32(p + 34));
    x.root_page = U32(p + 38);
    x.flags = p[46];
  }

  def.indexes.resize(logical_count);
  for (uint32_t i = 0; i < logical_count; ++i) {
    const uint8_t* p = r.Take(kLogicalIndexSize, "logical index definitions");
    LogicalIndexDef& x = def.indexes[i];
    x.number = U32(p + 4);
    x.real_index = U32(p + 8);
    x.related_table_type = p[12];
    x.related_index = static_cast<int32_t>(U32(p + 13));
    x.related_table_page = U32(p + 17);
    x.cascade_updates = p[21];
    x.cascade_deletes = p[22];
    x.type = static_cast<LogicalIndexType>(p[23]);
    if (x.real_index >= real_count) {
      ThrowCorrupt(first_page, "an index refers to a real index that does not exist");
    }
  }
  for (uint32_t i = 0; i < logical_count; ++i) def.indexes[i].name = r.Name("index names");

  // Long-value column usage maps, to a 0xFFFF terminator (absent in some short definitions).
  while (!r.AtEnd(2)) {
    const uint16_t column_number = U16(r.Take(2, "long-value maps"));
    if (column_number == 0xFFFF) break;
    const uint8_t* p = r.Take(8, "long-value maps");
    def.long_value_maps.push_back(
        {column_number, RowPointer::FromU32(U32(p)), RowPointer::FromU32(U32(p + 4))});
  }

  // Rows are decoded by column number; descriptor order is not column order.
  std::sort(def.columns.begin(), def.columns.end(),
            [](const ColumnDef& a, const ColumnDef& b) { return a.number < b.number; });
  for (size_t i = 1; i < def.columns.size(); ++i) {
    if (def.columns[i].number == def.columns[i - 1].number) {
      ThrowCorrupt(first_page, "two columns share a column number");
    }
  }
  for (const auto& c : def.columns) {
    if (c.number >= std::max<uint32_t>(def.max_cols, def.col_count)) {
      ThrowCorrupt(first_page, "a column number exceeds the table's column count");
    }
  }
  return def;
}

}  // namespace jet
