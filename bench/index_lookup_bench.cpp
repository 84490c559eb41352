// Point lookups through an index against the same lookups by scanning the table.
#include <cstdio>
#include <random>

#include "bench_support.h"
#include "jet/database.h"
#include "jet/index_key.h"
#include "jet/index_reader.h"

int main(int argc, char** argv) {
  const uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 200000;
  const std::string path = bench::MakeLargeTable(rows);
  auto db = jet::Database::Open(path);
  jet::Table table = db->OpenTable("Table1");
  const jet::TableDef& def = table.def();
  const jet::RealIndexDef* primary = nullptr;
  for (const auto& logical : def.indexes) {
    if (logical.type == jet::LogicalIndexType::kPrimaryKey) {
      primary = &def.real_indexes[logical.real_index];
    }
  }
  if (primary == nullptr) return 1;

  jet::IndexReader reader(db->file(), *primary);
  std::mt19937 random(1);
  const int lookups = 100000;
  // Warm the caches once, as a running program would be.
  for (int i = 0; i < 1000; ++i) {
    reader.FindEqual(jet::EncodeLookupKey(*primary, def, {static_cast<int32_t>(i + 10)}));
  }
  bench::Stopwatch indexed;
  size_t found = 0;
  for (int i = 0; i < lookups; ++i) {
    const auto id = static_cast<int32_t>(random() % rows + 10);
    for (const auto& where : reader.FindEqual(jet::EncodeLookupKey(*primary, def, {id}))) {
      found += table.ReadRow(where).size();
    }
  }
  const double per_lookup = indexed.Seconds() / lookups;

  const int scans = 5;
  bench::Stopwatch scanned;
  for (int i = 0; i < scans; ++i) {
    const auto id = static_cast<int32_t>(random() % rows + 10);
    for (auto cursor = table.Scan(); cursor.Next();) {
      if (cursor.values()[0] == jet::Value(id)) ++found;
    }
  }
  const double per_scan = scanned.Seconds() / scans;
  std::printf("index lookup + row read: %.2f us (%.0f lookups/s)\n", per_lookup * 1e6,
              1 / per_lookup);
  std::printf("full scan per lookup:    %.2f ms\n", per_scan * 1e3);
  std::printf("ratio scan / index:      %.0fx   (found %zu)\n", per_scan / per_lookup, found);
  return 0;
}
