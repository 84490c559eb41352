#include "bench_support.h"

#include <cstdio>
#include <filesystem>
#include <random>

#include "jet/database.h"
#include "jet/table_writer.h"

namespace fs = std::filesystem;

namespace bench {

std::string MakeLargeTable(uint32_t rows) {
  const fs::path source = fs::path(QB_SHARED_DIR) / "fixtures/access-made/indexTestV2000.mdb";
  const fs::path target = fs::temp_directory_path() / "qb-bench-large.mdb";
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  auto db = jet::Database::Open(target.string(), jet::OpenMode::kReadWrite);
  jet::TableWriter table(*db, "Table1");
  // Table1 holds ids 0..3; start above them.
  std::mt19937 random(7);
  Stopwatch watch;
  for (uint32_t i = 0; i < rows; ++i) {
    const auto id = static_cast<int32_t>(i + 10);
    table.Insert({id, static_cast<int32_t>(random() % 1000), static_cast<int32_t>(random()),
                  std::string("row ") + std::to_string(id), int32_t{0}});
  }
  const double seconds = watch.Seconds();
  std::printf("made %u rows in %.2f s (%.0f inserts/s, 4 indexes each)\n", rows, seconds,
              rows / seconds);
  return target.string();
}

}  // namespace bench
