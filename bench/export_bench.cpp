// The on-site export of every tenth customer of a synthetic laboratory through
// CreateOnSiteDatabase, against SQLite running the same per-row queries on the same rows in one
// transaction: per customer its instruments, per instrument its calibrations and its
// additional data, per certificate its results, each row inserted on its own.
//
//   export_bench [--instruments N] [--folder DIR] [--no-check] [--keep]
#include <cstdio>
#include <filesystem>

#include "bench_support.h"
#include "export/on_site_database.h"
#include "lab_bench_support.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> EveryTenthCustomer(const bench::Lab& lab) {
  sqlite3* db = bench::OpenSqlite(lab.sqlite_main);
  bench::Statement names(db,
                         "SELECT DISTINCT Cust_Name FROM Instruments WHERE Cust_Name IS NOT NULL "
                         "ORDER BY Cust_Name");
  std::vector<std::string> customers;
  for (size_t i = 0; names.Step(); ++i) {
    if (i % 10 == 0) customers.push_back(names.Text(0));
  }
  sqlite3_close(db);
  return customers;
}

int64_t SqliteExport(const bench::Lab& lab, const std::vector<std::string>& customers,
                     const std::string& target) {
  fs::copy_file(lab.sqlite_template, target, fs::copy_options::overwrite_existing);
  sqlite3* db = bench::OpenSqlite(target);
  bench::Exec(db, "ATTACH DATABASE '" + lab.sqlite_main + "' AS src");
  bench::Exec(db, "BEGIN");
  bench::Statement instruments(db, "SELECT * FROM src.Instruments WHERE Cust_Name = ?");
  bench::Statement calibrations(db, "SELECT * FROM src.Calibrations WHERE Inst_Id = ?");
  bench::Statement results(db, "SELECT * FROM src.Results WHERE Cert_No = ?");
  bench::Statement additional(db, "SELECT * FROM src.\"Additional Data\" WHERE Inst_Id = ?");
  bench::Statement new_instrument(db, bench::InsertSql(db, "main", "Instruments"));
  bench::Statement new_calibration(db, bench::InsertSql(db, "main", "Calibrations"));
  bench::Statement new_result(db, bench::InsertSql(db, "main", "Results"));
  bench::Statement new_additional(db, bench::InsertSql(db, "main", "Additional Data"));
  int64_t rows = 0;
  for (const std::string& customer : customers) {
    instruments.Reset().Bind(1, customer);
    const int inst_id = instruments.Index("Inst_Id");
    while (instruments.Step()) {
      rows += bench::CopyRow(instruments, new_instrument);
      calibrations.Reset().BindValue(1, instruments.Column(inst_id));
      const int cert_no = calibrations.Index("Cert_No");
      while (calibrations.Step()) {
        rows += bench::CopyRow(calibrations, new_calibration);
        if (calibrations.IsNull(cert_no) || calibrations.Text(cert_no).empty()) continue;
        results.Reset().BindValue(1, calibrations.Column(cert_no));
        while (results.Step()) rows += bench::CopyRow(results, new_result);
      }
      additional.Reset().BindValue(1, instruments.Column(inst_id));
      while (additional.Step()) rows += bench::CopyRow(additional, new_additional);
    }
  }
  bench::Exec(db, "COMMIT");
  sqlite3_close(db);
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::LabOptions options = bench::ParseLabOptions(
      argc, argv, "[--instruments N] [--folder DIR] [--no-check] [--keep]", 20000);
  const bench::Lab lab = bench::MakeLab(options);
  const std::vector<std::string> customers = EveryTenthCustomer(lab);
  const std::string jet_target = lab.folder + "/OnSite.mdb";
  const std::string sqlite_target = lab.folder + "/onsite.sqlite";
  fs::remove(jet_target);
  std::printf("on-site export of %zu customers of %d instruments' laboratory\n", customers.size(),
              options.instruments);

  bench::SilentUi ui;
  export_task::OnSiteRequest request;
  request.customers = customers;
  request.results_folder = lab.paths.results_folder;
  request.main_database_path = lab.paths.main_database;
  request.target_path = jet_target;
  bench::Stopwatch jet_watch;
  const export_task::OnSiteOutcome outcome = export_task::CreateOnSiteDatabase(request, ui.ui);
  const double jet_seconds = jet_watch.Seconds();
  const double jet_cpu = jet_watch.CpuSeconds();
  const double jet_rss = bench::PeakRssMb();
  int64_t jet_rows = 0;
  for (const export_task::CustomerCounts& c : outcome.counts) {
    jet_rows += c.instruments + c.calibrations + c.results;
  }

  bench::Stopwatch sqlite_watch;
  const int64_t sqlite_rows = SqliteExport(lab, customers, sqlite_target);
  const double sqlite_seconds = sqlite_watch.Seconds();
  const double sqlite_cpu = sqlite_watch.CpuSeconds();

  std::printf(
      "  export: %lld instruments, calibrations and results counted, %zu failed steps "
      "skipped; SQLite: %lld rows written (additional data included)\n",
      static_cast<long long>(jet_rows), outcome.failures_skipped,
      static_cast<long long>(sqlite_rows));
  bench::PrintTime("SQLite, same queries", sqlite_seconds);
  bench::PrintTime("CreateOnSiteDatabase (x SQLite)", jet_seconds, sqlite_seconds);
  std::printf("  processor time: export %.2f s, SQLite %.2f s (%.2fx); peak memory %.0f MB\n",
              jet_cpu, sqlite_cpu, jet_cpu / std::max(sqlite_cpu, 1e-9), jet_rss);

  bool sound = outcome.end == export_task::OnSiteEnd::kFinished;
  if (options.check) sound = bench::CheckFile(jet_target) && sound;
  fs::remove(sqlite_target);
  if (!options.keep && options.folder.empty()) fs::remove_all(lab.folder);
  return sound ? 0 : 1;
}
