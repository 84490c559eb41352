// Row inserts, one row a call with every row handed to the operating system before its call
// returns, against SQLite inserting the same rows with the same indexes in one transaction;
// then a full scan of the table against mdb-export reading the same file. Peak memory is
// reported after each of our phases (the process's high-water mark, so the insert's figure is
// taken before anything else runs).
//
//   insert_bench [ROWS] [--no-check] [--keep] [--in-memory | --only-in-memory | --only-insert]
//
// --in-memory also times the same inserts into a database image in memory, last (its image
// holds the whole file): the engine's own work, without the writes to the file each commit
// makes.
#include <sqlite3.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "jet/consistency_check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/table.h"
#include "jet/table_writer.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTable = "Readings";

// One row of the benchmark table. Codes are in random order (the TEXT index grows anywhere),
// ids ascending (the primary key grows at its end, as in a bulk load), amounts random with
// many duplicates.
struct Row {
  int32_t id;
  std::string code;
  int32_t amount;
  double price;
  std::string note;
};

class RowSource {
 public:
  Row Next() {
    Row row;
    row.id = ++id_;
    const uint32_t r = random_();
    char code[16];
    std::snprintf(code, sizeof code, "K%08X", r);
    row.code = code;
    row.amount = static_cast<int32_t>(random_() % 50000);
    row.price = static_cast<double>(random_() % 1000000) / 100.0;
    row.note = "reading " + std::to_string(row.id % 977);
    return row;
  }

 private:
  std::mt19937 random_{12345};
  int32_t id_ = 0;
};

// Processor time of this process so far (user and system): on a busy machine the figure that
// other programs' load does not inflate.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double ChildCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The process's own memory now (Linux: RssAnon), without the database's pages that the shared
// mapping of its writes keeps resident: those belong to the operating system's page cache,
// which reclaims them once written back. 0 where unknown.
double PrivateMb() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (status == nullptr) return 0;
  char line[256];
  double kb = 0;
  while (std::fgets(line, sizeof line, status) != nullptr) {
    if (std::sscanf(line, "RssAnon: %lf kB", &kb) == 1) break;
  }
  std::fclose(status);
  return kb / 1024.0;
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

jet::TableDesign BenchTableDesign() {
  jet::TableDesign layout;
  layout.name = kTable;
  layout.columns = {
      {.name = "Id", .type = jet::ColumnType::kLong},
      {.name = "Code", .type = jet::ColumnType::kText, .size = 12},
      {.name = "Amount", .type = jet::ColumnType::kLong},
      {.name = "Price", .type = jet::ColumnType::kDouble},
      {.name = "Note", .type = jet::ColumnType::kText, .size = 40},
  };
  layout.indexes = {
      {.name = "PrimaryKey", .columns = {{"Id"}}, .primary = true},
      {.name = "Code", .columns = {{"Code"}}},
      {.name = "Amount", .columns = {{"Amount"}}},
  };
  return layout;
}

// The inserts return wall-clock seconds and add their processor seconds to `cpu`. An empty
// `path` inserts into an image in memory.
double InsertJet(const std::string& path, uint32_t rows, double& cpu) {
  std::unique_ptr<jet::Database> db;
  if (path.empty()) {
    db = jet::Database::Open(std::make_unique<jet::PageFile>(
        "bench.mdb", jet::CreateDatabaseImage(), jet::OpenMode::kReadWrite));
  } else {
    jet::CreateDatabase(path);
    db = jet::Database::Open(path, jet::OpenMode::kReadWrite);
  }
  jet::CreateTable(*db, BenchTableDesign());
  jet::TableWriter table(*db, kTable);
  RowSource source;
  const double cpu_start = CpuSeconds();
  bench::Stopwatch watch;
  for (uint32_t i = 0; i < rows; ++i) {
    Row row = source.Next();
    table.Insert({row.id, std::move(row.code), row.amount, row.price, std::move(row.note)});
  }
  cpu = CpuSeconds() - cpu_start;
  return watch.Seconds();
}

// One line of the report: rows per second of wall-clock and of processor time.
void PrintRate(const char* label, double rows, double seconds, double cpu) {
  std::printf("%-26s%10.0f  (%6.2f)  %10.0f  (%6.2f)\n", label, rows / seconds, seconds, rows / cpu,
              cpu);
}

// The same inserts into an image in memory: the engine's own work, without the file.
void ReportInMemory(uint32_t rows) {
  double cpu = 0;
  const double seconds = InsertJet("", rows, cpu);
  PrintRate("insert into memory image:", rows, seconds, cpu);
}

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
    std::fprintf(stderr, "sqlite: %s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

double InsertSqlite(const std::string& path, uint32_t rows, double& cpu) {
  fs::remove(path);
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  // The id is the table's own key (INTEGER PRIMARY KEY), as Jet's primary key is an index of
  // the table; the two secondary indexes are the same as ours.
  Check(sqlite3_exec(db,
                     "CREATE TABLE Readings (Id INTEGER PRIMARY KEY, Code TEXT, Amount INTEGER, "
                     "Price REAL, Note TEXT);"
                     "CREATE INDEX Code ON Readings (Code);"
                     "CREATE INDEX Amount ON Readings (Amount);",
                     nullptr, nullptr, nullptr),
        db, "create");
  sqlite3_stmt* insert = nullptr;
  Check(sqlite3_prepare_v2(db, "INSERT INTO Readings VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr),
        db, "prepare");
  RowSource source;
  const double cpu_start = CpuSeconds();
  bench::Stopwatch watch;
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  for (uint32_t i = 0; i < rows; ++i) {
    const Row row = source.Next();
    sqlite3_bind_int(insert, 1, row.id);
    sqlite3_bind_text(insert, 2, row.code.data(), static_cast<int>(row.code.size()),
                      SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 3, row.amount);
    sqlite3_bind_double(insert, 4, row.price);
    sqlite3_bind_text(insert, 5, row.note.data(), static_cast<int>(row.note.size()),
                      SQLITE_TRANSIENT);
    Check(sqlite3_step(insert), db, "insert");
    sqlite3_reset(insert);
  }
  Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
  const double seconds = watch.Seconds();
  cpu = CpuSeconds() - cpu_start;
  sqlite3_finalize(insert);
  sqlite3_close(db);
  return seconds;
}

// Reads every row with every value decoded; returns the rows seen.
uint64_t ScanJet(const std::string& path, double& checksum) {
  auto db = jet::Database::Open(path);
  const jet::Table table = db->OpenTable(kTable);
  uint64_t count = 0;
  for (auto cursor = table.Scan(); cursor.Next();) {
    ++count;
    const auto& values = cursor.values();
    checksum += values[3].Is<double>() ? values[3].As<double>() : 0;
  }
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  uint32_t rows = 1000000;
  bool check = true;
  bool keep = false;
  bool in_memory = false;
  // For profiling: only the inserts into memory (the engine's own work), or into the file.
  bool only_in_memory = false;
  bool only_insert = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--no-check") == 0) {
      check = false;
    } else if (std::strcmp(argv[i], "--in-memory") == 0) {
      in_memory = true;
    } else if (std::strcmp(argv[i], "--only-in-memory") == 0) {
      only_in_memory = true;
    } else if (std::strcmp(argv[i], "--only-insert") == 0) {
      only_insert = true;
    } else if (std::strcmp(argv[i], "--keep") == 0) {
      keep = true;
    } else {
      rows = static_cast<uint32_t>(std::stoul(argv[i]));
    }
  }
  if (only_in_memory) {
    ReportInMemory(rows);
    return 0;
  }
  const fs::path folder =
      fs::temp_directory_path() / ("qb-insert-bench-" + std::to_string(getpid()));
  fs::create_directories(folder);
  const std::string mdb = (folder / "bench.mdb").string();
  const std::string sqlite = (folder / "bench.sqlite").string();

  // Ours first, so that the peak memory figures are our own.
  double jet_cpu = 0, sqlite_cpu = 0;
  const double jet_seconds = InsertJet(mdb, rows, jet_cpu);
  const double insert_rss = PeakRssMb();
  const double insert_private = PrivateMb();
  if (only_insert) {
    PrintRate("insert, one row a call:", rows, jet_seconds, jet_cpu);
    fs::remove_all(folder);
    return 0;
  }
  double checksum = 0;
  const double scan_cpu_start = CpuSeconds();
  bench::Stopwatch scan_watch;
  const uint64_t scanned = ScanJet(mdb, checksum);
  const double scan_seconds = scan_watch.Seconds();
  const double scan_cpu = CpuSeconds() - scan_cpu_start;
  const double scan_rss = PeakRssMb();

  const double sqlite_seconds = InsertSqlite(sqlite, rows, sqlite_cpu);

  const std::string export_command = "mdb-export '" + mdb + "' " + kTable + " > /dev/null";
  bench::Stopwatch export_watch;
  const int export_status = std::system(export_command.c_str());
  const double export_seconds = export_watch.Seconds();
  const double export_cpu = ChildCpuSeconds();

  const double file_mb = static_cast<double>(fs::file_size(mdb)) / (1024.0 * 1024.0);
  std::printf("rows: %u (file %.1f MB)\n", rows, file_mb);
  std::printf("                           rows/s wall  (s)      rows/s cpu  (s)\n");
  PrintRate("insert, one row a call:", rows, jet_seconds, jet_cpu);
  PrintRate("SQLite, one transaction:", rows, sqlite_seconds, sqlite_cpu);
  std::printf("ratio ours / SQLite:      %10.2fx            %10.2fx\n",
              sqlite_seconds / jet_seconds, sqlite_cpu / jet_cpu);
  std::printf("peak RSS after insert:    %10.1f MB  (private %.1f MB, the rest the file's pages)\n",
              insert_rss, insert_private);
  std::printf("full scan:                %10.0f  (%6.2f)  %10.0f  (%6.2f)  %llu rows, sum %.0f\n",
              scanned / scan_seconds, scan_seconds, scanned / scan_cpu, scan_cpu,
              static_cast<unsigned long long>(scanned), checksum);
  if (export_status == 0) {
    PrintRate("mdb-export:", rows, export_seconds, export_cpu);
    std::printf("ratio scan / mdb-export:  %10.2fx            %10.2fx\n",
                export_seconds / scan_seconds, export_cpu / scan_cpu);
  } else {
    std::printf("mdb-export failed (status %d)\n", export_status);
  }
  std::printf("peak RSS after scan:      %10.1f MB\n", scan_rss);

  int status = scanned == rows && export_status == 0 ? 0 : 1;
  if (check) {
    bench::Stopwatch check_watch;
    auto db = jet::Database::Open(mdb);
    const auto problems = jet::CheckDatabase(*db);
    for (const auto& p : problems) std::printf("check: %s\n", p.c_str());
    std::printf("consistency check:        %s (%.2f s)\n", problems.empty() ? "clean" : "FAILED",
                check_watch.Seconds());
    if (!problems.empty()) status = 1;
  }
  if (in_memory) {
    ReportInMemory(rows);
  }
  if (keep) {
    std::printf("kept %s\n", folder.c_str());
  } else {
    fs::remove_all(folder);
  }
  return status;
}
