// Table definitions (tdef pages): columns, real and logical indexes, usage-map pointers.
//
// Format: docs/format.md, table definitions.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/bytes.h"

namespace jet {

class PageFile;

enum class ColumnType : uint8_t {
  kBoolean = 0x01,
  kByte = 0x02,
  kInt = 0x03,
  kLong = 0x04,
  kMoney = 0x05,
  kFloat = 0x06,
  kDouble = 0x07,
  kDateTime = 0x08,
  kBinary = 0x09,
  kText = 0x0A,
  kOle = 0x0B,
  kMemo = 0x0C,
  kUnknown0D = 0x0D,
  kGuid = 0x0F,
  kNumeric = 0x10,
};

// "BOOLEAN", "TEXT", ... ; "UNKNOWN(0x11)" for codes Access 2000 does not write.
std::string ColumnTypeName(ColumnType type);

// Column descriptor flags (descriptor offset 15).
constexpr uint8_t kColumnFixed = 0x01;
constexpr uint8_t kColumnAutoLong = 0x04;
constexpr uint8_t kColumnAutoGuid = 0x40;
constexpr uint8_t kColumnHyperlink = 0x80;
// Extended flags (descriptor offset 16).
constexpr uint8_t kColumnCompressedUnicode = 0x01;

struct ColumnDef {
  std::string name;  // UTF-8
  ColumnType type = ColumnType::kText;
  uint16_t number = 0;        // position in the row's null mask; counts deleted columns
  uint16_t var_index = 0;     // position in the row's variable-offset table (var columns)
  uint16_t fixed_offset = 0;  // offset in the row's fixed area (fixed columns)
  uint16_t length = 0;        // fixed size, or maximum bytes (TEXT: 2 x characters)
  uint8_t flags = 0;
  uint8_t ext_flags = 0;
  uint16_t sort_lcid = 0;         // text columns
  uint8_t sort_version = 0;       // text columns
  uint8_t precision = 0;          // NUMERIC
  uint8_t scale = 0;              // NUMERIC
  uint32_t descriptor_index = 0;  // order of the descriptor in the tdef

  bool is_fixed() const { return (flags & kColumnFixed) != 0; }
  bool is_long_value() const { return type == ColumnType::kMemo || type == ColumnType::kOle; }
  bool is_auto_long() const { return (flags & kColumnAutoLong) != 0; }
  bool is_auto_guid() const { return (flags & kColumnAutoGuid) != 0; }
  bool is_compressed_unicode() const { return (ext_flags & kColumnCompressedUnicode) != 0; }
};

// Real-index flags (definition offset 46).
constexpr uint8_t kIndexUnique = 0x01;
constexpr uint8_t kIndexIgnoreNulls = 0x02;
constexpr uint8_t kIndexRequired = 0x08;

struct IndexColumn {
  uint16_t column_number = 0;
  bool ascending = true;
};

// A physical index: one B-tree of keys. Several logical indexes may share one.
struct RealIndexDef {
  uint32_t number = 0;
  std::vector<IndexColumn> columns;
  RowPointer usage_map;    // lists the index's pages
  uint32_t root_page = 0;  // never moves
  uint8_t flags = 0;
  uint32_t unique_entry_count = 0;  // from the statistics block
  uint32_t stats_unknown = 0;       // first u32 of the statistics block, kept as found

  bool is_unique() const { return (flags & kIndexUnique) != 0; }
  bool ignores_nulls() const { return (flags & kIndexIgnoreNulls) != 0; }
  bool is_required() const { return (flags & kIndexRequired) != 0; }
};

enum class LogicalIndexType : uint8_t { kNormal = 0, kPrimaryKey = 1, kForeignKey = 2 };

// A named index as Access shows it, backed by a real index.
struct LogicalIndexDef {
  std::string name;  // UTF-8
  uint32_t number = 0;
  uint32_t real_index = 0;
  uint8_t related_table_type = 0;
  int32_t related_index = -1;
  uint32_t related_table_page = 0;
  uint8_t cascade_updates = 0;
  uint8_t cascade_deletes = 0;
  LogicalIndexType type = LogicalIndexType::kNormal;
};

// Usage maps of a MEMO/OLE column: the pages holding its long values.
struct LongValueMaps {
  uint16_t column_number = 0;
  RowPointer owned;
  RowPointer free_space;
};

struct TableDef {
  uint32_t page = 0;            // first tdef page (the table's id in the catalog)
  std::vector<uint32_t> pages;  // every tdef page, first to last
  uint32_t row_count = 0;
  uint32_t last_autonumber = 0;
  uint8_t table_type = 0;  // 0x4E user, 0x53 system
  uint16_t max_cols = 0;
  uint16_t var_col_count = 0;
  uint16_t col_count = 0;
  RowPointer owned_map;
  RowPointer free_space_map;

  std::vector<ColumnDef> columns;  // sorted by column number
  std::vector<RealIndexDef> real_indexes;
  std::vector<LogicalIndexDef> indexes;
  std::vector<LongValueMaps> long_value_maps;

  // The definition as stored: page 1 whole, then bytes 8.. of each continuation page.
  Bytes raw;

  // The column with this number, or nullptr.
  const ColumnDef* ColumnByNumber(uint16_t number) const;
  // Case-insensitive (ASCII and Latin-1 letters fold as Jet folds names) name lookup.
  const ColumnDef* ColumnByName(std::string_view name) const;
  // Size of the row's fixed area: the end of the furthest fixed column.
  uint32_t FixedAreaSize() const;
};

// Reads and decodes the definition starting at `page`. Throws corrupt on any inconsistency.
TableDef ReadTableDef(PageFile& file, uint32_t page);

// Jet compares object names case-insensitively.
bool NamesEqual(std::string_view a, std::string_view b);

}  // namespace jet
