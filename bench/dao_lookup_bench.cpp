// One query per row, as the laboratory's tasks run them: "SELECT * from Results Where
// Cert_No='...'" through the data layer, on a Results table with an index on Cert_No and on
// the same rows without one, and FindFirst on the whole table; SQLite runs the same lookups
// on the same rows in the same process.
#include <sqlite3.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "bench_support.h"
#include "db/dao.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/table_writer.h"

namespace fs = std::filesystem;

namespace {

// Certificates of ten lines each, numbered so that lookups can pick one at random.
std::string Certificate(uint32_t n) { return "C" + std::to_string(100000 + n); }

jet::TableDesign ResultsDesign(const std::string& name, bool indexed) {
  jet::TableDesign layout;
  layout.name = name;
  layout.columns = {{"Cert_No", jet::ColumnType::kText, 20},
                    {"Test_No", jet::ColumnType::kLong},
                    {"Nominal", jet::ColumnType::kDouble},
                    {"Measured", jet::ColumnType::kDouble},
                    {"Units", jet::ColumnType::kText, 10}};
  if (indexed) layout.indexes = {{"Cert_Test", {{"Cert_No"}, {"Test_No"}}}};
  return layout;
}

void Fill(jet::Database& db, const std::string& table, uint32_t rows) {
  jet::TableWriter writer(db, table);
  for (uint32_t i = 0; i < rows;) {
    jet::PageFile::Operation op(db.file());  // a few thousand rows a commit, for speed
    for (uint32_t end = std::min(rows, i + 5000); i < end; ++i) {
      writer.Insert({Certificate(i / 10), static_cast<int32_t>(i % 10 + 1), i * 0.5, i * 0.5 + 0.01,
                     std::string("mm")});
    }
    op.Commit();
  }
}

double DaoLookups(db::Database& database, const std::string& table, uint32_t certificates,
                  int lookups, double& checksum) {
  std::mt19937 random(3);
  bench::Stopwatch watch;
  for (int i = 0; i < lookups; ++i) {
    db::Recordset rs = database.OpenRecordset("SELECT * from " + table + " Where Cert_No='" +
                                              Certificate(random() % certificates) + "'");
    for (; !rs.Eof(); rs.MoveNext()) checksum += rs.Fields("Measured").Value().As<double>();
    rs.Close();
  }
  return watch.CpuSeconds() / lookups;
}

double DaoFindFirst(db::Database& database, const std::string& table, uint32_t certificates,
                    int lookups, double& checksum) {
  std::mt19937 random(4);
  db::Recordset rs = database.OpenRecordset(table);
  bench::Stopwatch watch;
  for (int i = 0; i < lookups; ++i) {
    rs.FindFirst("Cert_No='" + Certificate(random() % certificates) +
                 "' AND Test_No=" + std::to_string(random() % 10 + 1));
    if (!rs.NoMatch()) checksum += rs.Fields("Measured").Value().As<double>();
  }
  return watch.CpuSeconds() / lookups;
}

double SqliteLookups(const std::string& path, uint32_t rows, int lookups, double& checksum) {
  sqlite3* db = nullptr;
  sqlite3_open(path.c_str(), &db);
  sqlite3_exec(db,
               "CREATE TABLE Results (Cert_No TEXT, Test_No INTEGER, Nominal REAL, Measured REAL,"
               " Units TEXT); CREATE INDEX Cert_Test ON Results (Cert_No, Test_No); BEGIN;",
               nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO Results VALUES (?, ?, ?, ?, 'mm')", -1, &insert, nullptr);
  for (uint32_t i = 0; i < rows; ++i) {
    const std::string cert = Certificate(i / 10);
    sqlite3_bind_text(insert, 1, cert.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int(insert, 2, static_cast<int>(i % 10 + 1));
    sqlite3_bind_double(insert, 3, i * 0.5);
    sqlite3_bind_double(insert, 4, i * 0.5 + 0.01);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  std::mt19937 random(3);
  bench::Stopwatch watch;
  for (int i = 0; i < lookups; ++i) {
    // The statement text is built and prepared per lookup, as the tasks build theirs.
    const std::string sql =
        "SELECT * FROM Results WHERE Cert_No='" + Certificate(random() % (rows / 10)) + "'";
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), -1, &select, nullptr);
    while (sqlite3_step(select) == SQLITE_ROW) checksum += sqlite3_column_double(select, 3);
    sqlite3_finalize(select);
  }
  const double per_lookup = watch.CpuSeconds() / lookups;
  sqlite3_close(db);
  return per_lookup;
}

}  // namespace

int main(int argc, char** argv) {
  const uint32_t rows = argc > 1 ? static_cast<uint32_t>(std::stoul(argv[1])) : 1000000;
  const int lookups = argc > 2 ? std::stoi(argv[2]) : 100000;
  const fs::path folder = fs::temp_directory_path() / "qb-dao-lookup-bench";
  fs::remove_all(folder);
  fs::create_directories(folder);
  const std::string path = (folder / "results.mdb").string();

  bench::Stopwatch build;
  jet::CreateDatabase(path);
  {
    auto db = jet::Database::Open(path, jet::OpenMode::kReadWrite);
    jet::CreateTable(*db, ResultsDesign("Results", true));
    jet::CreateTable(*db, ResultsDesign("ResultsNoIndex", false));
    Fill(*db, "Results", rows);
    Fill(*db, "ResultsNoIndex", rows);
  }
  std::printf("built two tables of %u rows in %.1f s\n", rows, build.Seconds());

  double checksum = 0;
  db::Database database = db::DBEngine().Workspaces(0).OpenDatabase(path);
  const uint32_t certificates = rows / 10;
  const double indexed = DaoLookups(database, "Results", certificates, lookups, checksum);
  const double hashed = DaoLookups(database, "ResultsNoIndex", certificates, lookups, checksum);
  const double find_indexed = DaoFindFirst(database, "Results", certificates, lookups, checksum);
  const double find_hashed =
      DaoFindFirst(database, "ResultsNoIndex", certificates, lookups, checksum);
  const double sqlite =
      SqliteLookups((folder / "results.sqlite").string(), rows, lookups, checksum);

  std::printf("processor time per lookup (%d lookups, 10 rows each, %u rows a table):\n", lookups,
              rows);
  std::printf("  SELECT ... Where Cert_No=, index on Cert_No:   %7.2f us\n", indexed * 1e6);
  std::printf("  SELECT ... Where Cert_No=, no index (hashed): %7.2f us\n", hashed * 1e6);
  std::printf("  FindFirst Cert_No AND Test_No, indexed:        %7.2f us\n", find_indexed * 1e6);
  std::printf("  FindFirst Cert_No AND Test_No, no index:       %7.2f us\n", find_hashed * 1e6);
  std::printf("  SQLite, same SELECT, indexed:                  %7.2f us\n", sqlite * 1e6);
  std::printf("ratio ours (indexed SELECT) / SQLite: %.2f   (checksum %.0f)\n", indexed / sqlite,
              checksum);
  fs::remove_all(folder);
  return 0;
}
