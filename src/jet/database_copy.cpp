#include "jet/database_copy.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/native_path.h"
#include "jet/page_file.h"
#include "jet/rollback_journal.h"
#include "jet/table.h"
#include "jet/table_def_writer.h"
#include "jet/table_writer.h"

namespace jet {
namespace {

// Column flag 0x02, which Access sets on every user column and which carries no choice.
constexpr uint8_t kColumnUpdatable = 0x02;
constexpr uint8_t kKnownColumnFlags =
    kColumnFixed | kColumnUpdatable | kColumnAutoLong | kColumnAutoGuid | kColumnHyperlink;
// Index flag 0x80, which Access 2000 and later set on every index they write.
constexpr uint8_t kIndexAlways = 0x80;
constexpr uint8_t kKnownIndexFlags =
    kIndexUnique | kIndexIgnoreNulls | kIndexRequired | kIndexAlways;

std::string Hex(unsigned value) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", value);
  return buf;
}

[[noreturn]] void Refuse(const std::string& table, const std::string& what) {
  throw Error(kErrUnsupported, "Table '" + table + "' cannot be copied: " + what + ".");
}

ColumnDesign ColumnDesignOf(const std::string& table, const ColumnDef& c) {
  const std::string field = "field '" + c.name + "'";
  ColumnDesign d;
  d.name = c.name;
  d.type = c.type;
  switch (c.type) {
    case ColumnType::kBoolean:
    case ColumnType::kByte:
    case ColumnType::kInt:
    case ColumnType::kLong:
    case ColumnType::kMoney:
    case ColumnType::kFloat:
    case ColumnType::kDouble:
    case ColumnType::kDateTime:
    case ColumnType::kGuid:
    case ColumnType::kMemo:
    case ColumnType::kOle:
      break;
    case ColumnType::kNumeric:
      // Stored fixed whichever way the source stored it: Access reads both forms.
      d.precision = c.precision;
      d.scale = c.scale;
      break;
    case ColumnType::kText:
      d.size = static_cast<uint16_t>(c.length / 2);
      if (d.size == 0) Refuse(table, field + " is a text field of no characters");
      break;
    case ColumnType::kBinary:
      d.size = c.length;
      if (d.size == 0) Refuse(table, field + " is a binary field of no bytes");
      break;
    default:
      Refuse(table, field + " has the type " + ColumnTypeName(c.type) +
                        ", which Access 2000 does not write and our writer cannot");
  }
  if ((c.flags & ~kKnownColumnFlags) != 0) {
    Refuse(table, field + " carries column flags " + Hex(c.flags & ~kKnownColumnFlags) +
                      ", whose meaning our writer does not know");
  }
  if ((c.ext_flags & ~kColumnCompressedUnicode) != 0) {
    Refuse(table, field + " carries extended flags " +
                      Hex(c.ext_flags & ~kColumnCompressedUnicode) +
                      " (a calculated field or a later format's feature)");
  }
  if (c.is_fixed() && c.is_long_value()) {
    Refuse(table, field + " is a " + ColumnTypeName(c.type) + " field marked fixed-length");
  }
  d.fixed_length = c.is_fixed() && (c.type == ColumnType::kText || c.type == ColumnType::kBinary);
  if (c.is_auto_long() && c.type != ColumnType::kLong) {
    Refuse(table, field + " is marked AutoNumber but is not a LONG field");
  }
  if (c.is_auto_guid() && c.type != ColumnType::kGuid) {
    Refuse(table, field + " is marked as a replication-ID AutoNumber but is not a GUID field");
  }
  d.autonumber = c.is_auto_long() || c.is_auto_guid();
  if ((c.flags & kColumnHyperlink) != 0 && c.type != ColumnType::kMemo) {
    Refuse(table, field + " is marked as a hyperlink but is not a MEMO field");
  }
  d.hyperlink = (c.flags & kColumnHyperlink) != 0;
  d.compressed_unicode = c.is_compressed_unicode();
  return d;
}

const RealIndexDef& RealIndexOf(const std::string& table, const TableDef& def,
                                const LogicalIndexDef& index) {
  for (const RealIndexDef& r : def.real_indexes) {
    if (r.number == index.real_index) return r;
  }
  ThrowCorrupt(def.page, "index '" + index.name + "' of table '" + table +
                             "' names a real index the definition does not hold");
}

// Whether a foreign-key index adds keys of its own: not when another index of the table keeps
// the same B-tree (a non-foreign one, or a foreign one listed before it).
bool ForeignKeyIsRedundant(const TableDef& def, size_t i) {
  const LogicalIndexDef& index = def.indexes[i];
  for (size_t k = 0; k < def.indexes.size(); ++k) {
    const LogicalIndexDef& other = def.indexes[k];
    if (k == i || other.real_index != index.real_index) continue;
    if (other.type != LogicalIndexType::kForeignKey || k < i) return true;
  }
  return false;
}

IndexDesign IndexDesignOf(const std::string& table, const TableDef& def,
                          const LogicalIndexDef& index) {
  const RealIndexDef& real = RealIndexOf(table, def, index);
  const std::string what = "index '" + index.name + "'";
  if ((real.flags & ~kKnownIndexFlags) != 0) {
    Refuse(table, what + " carries index flags " + Hex(real.flags & ~kKnownIndexFlags) +
                      ", whose meaning our writer does not know");
  }
  IndexDesign d;
  d.name = index.name;
  for (const IndexColumn& ic : real.columns) {
    const ColumnDef* column = def.ColumnByNumber(ic.column_number);
    if (column == nullptr) {
      ThrowCorrupt(def.page, what + " of table '" + table + "' names column number " +
                                 std::to_string(ic.column_number) + ", which the table lacks");
    }
    d.columns.push_back({column->name, ic.ascending});
  }
  d.primary = index.type == LogicalIndexType::kPrimaryKey;
  d.unique = real.is_unique();
  d.ignore_nulls = real.ignores_nulls();
  d.required = real.is_required();
  return d;
}

// A table's LONG autonumber column, or nullptr.
const ColumnDef* AutoLongColumn(const TableDef& def) {
  for (const ColumnDef& c : def.columns) {
    if (c.is_auto_long()) return &c;
  }
  return nullptr;
}

void RemoveIfPresent(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove(U8Path(path), ignored);
}

}  // namespace

TableCopyPlan PlanTableCopy(const std::string& name, const TableDef& def) {
  TableCopyPlan plan;
  plan.design.name = name;
  for (const ColumnDef& c : def.columns) plan.design.columns.push_back(ColumnDesignOf(name, c));
  for (size_t i = 0; i < def.indexes.size(); ++i) {
    const LogicalIndexDef& index = def.indexes[i];
    if (index.type == LogicalIndexType::kForeignKey) {
      if (ForeignKeyIsRedundant(def, i)) {
        plan.notes.push_back("table '" + name + "': relationship index '" + index.name +
                             "' left out (it shares the keys of another index)");
        continue;
      }
      plan.notes.push_back("table '" + name + "': relationship index '" + index.name +
                           "' copied as a plain index (relationships are not copied)");
    }
    plan.design.indexes.push_back(IndexDesignOf(name, def, index));
  }
  try {
    BuildTableDef(plan.design);
  } catch (const Error& e) {
    throw Error(e.number(), "Table '" + name + "' cannot be copied: " + e.description());
  }
  return plan;
}

uint64_t CopyTable(Database& source, const std::string& name, const TableCopyPlan& plan,
                   Database& target) {
  const Table from = source.OpenTable(name);
  CreateTable(target, plan.design);
  uint64_t rows = 0;
  {
    TableWriter writer(target, plan.design.name);
    for (Table::Cursor cursor = from.Scan(); cursor.Next(); ++rows) writer.Insert(cursor.values());
  }
  // The inserts moved the counter past the highest number copied; Access's own counter may
  // stand further on (rows numbered and deleted since), and new rows must not reuse those.
  if (AutoLongColumn(from.def()) != nullptr) {
    const CatalogEntry* entry = target.FindTable(plan.design.name);
    TableDef& def = target.MutableTableDef(entry->tdef_page());
    if (from.def().last_autonumber > def.last_autonumber) {
      PageFile::Operation op(target.file());
      def.last_autonumber = from.def().last_autonumber;
      WriteTableDef(target.file(), target.allocator(), def);
      op.Commit();
    }
  }
  return rows;
}

CopySummary CopyDatabase(const std::string& source_path, const std::string& target_path,
                         const std::function<void(const CopiedTable&)>& progress) {
  const std::unique_ptr<Database> source = Database::Open(source_path);
  const std::vector<std::string> names = source->TableNames();
  std::vector<TableCopyPlan> plans;
  CopySummary summary;
  for (const std::string& name : names) {
    const CatalogEntry* entry = source->FindTable(name);
    plans.push_back(PlanTableCopy(name, source->TableDefAt(entry->tdef_page())));
    for (const std::string& line : plans.back().notes) summary.notes.push_back(line);
  }
  if (!source->header().UsesGeneralSortOrder()) {
    summary.notes.push_back(
        "text in the copy sorts in the General order (the source's sort order "
        "is LCID " +
        std::to_string(source->header().sort_lcid) + ", version " +
        std::to_string(source->header().sort_version) + ")");
  }

  CreateDatabase(target_path);
  try {
    const std::unique_ptr<Database> target = Database::Open(target_path, OpenMode::kReadWrite);
    for (size_t i = 0; i < names.size(); ++i) {
      const uint64_t rows = CopyTable(*source, names[i], plans[i], *target);
      ++summary.tables;
      summary.rows += rows;
      if (progress) progress({names[i], rows, i + 1, names.size()});
    }
  } catch (...) {
    // The file is ours, made a moment ago: a copy that stopped half-way is no copy.
    RemoveIfPresent(target_path);
    RemoveIfPresent(RollbackJournalPath(target_path));
    throw;
  }
  return summary;
}

}  // namespace jet
