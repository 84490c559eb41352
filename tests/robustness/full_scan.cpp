#include "robustness/full_scan.h"

#include "jet/table.h"
#include "jet/usage_map.h"
#include "jet/value.h"

namespace robustness {
namespace {

// Walks a map's pages so that its bitmaps are really read. A zero pointer means no map.
size_t PagesOf(jet::PageFile& file, jet::RowPointer where) {
  if (where.page == 0) return 0;
  return jet::UsageMap::Read(file, where).SetPages().size();
}

void ScanTable(jet::Database& db, const jet::CatalogEntry& entry, ScanCounts& counts) {
  const jet::TableDef& def = db.TableDefAt(entry.tdef_page());
  const jet::Table table(db.file(), def, entry.name);
  ++counts.tables;
  size_t text_bytes = 0;
  for (auto cursor = table.Scan(); cursor.Next();) {
    ++counts.rows;
    for (const jet::Value& v : cursor.values()) {
      // Formatting touches every byte of the value, as an export would.
      text_bytes += jet::DebugString(v).size();
      ++counts.values;
    }
    // The same row again through its locator, as a bookmark would reach it.
    counts.values += table.ReadRow(cursor.locator()).size();
  }
  PagesOf(db.file(), def.free_space_map);
  for (const auto& maps : def.long_value_maps) {
    PagesOf(db.file(), maps.owned);
    PagesOf(db.file(), maps.free_space);
  }
  for (const auto& index : def.real_indexes) PagesOf(db.file(), index.usage_map);
  (void)text_bytes;
}

}  // namespace

ScanCounts ScanEverything(jet::Database& db,
                          const std::function<void(const jet::Error&)>& on_error) {
  ScanCounts counts;
  auto guarded = [&](const auto& step) {
    try {
      step();
    } catch (const jet::Error& e) {
      ++counts.errors;
      if (on_error) on_error(e);
    }
  };
  guarded([&] { PagesOf(db.file(), jet::kGlobalUsageMap); });
  for (const jet::CatalogEntry& entry : db.catalog()) {
    if (entry.type != jet::kObjectTypeTable) continue;
    guarded([&] { ScanTable(db, entry, counts); });
  }
  return counts;
}

}  // namespace robustness
