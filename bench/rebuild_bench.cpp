// The rebuild of a synthetic laboratory through RebuildDatabase, against SQLite running the same
// algorithm on the same rows in one transaction (one query per instrument for its calibrations,
// one per calibration for its results and one for its additional data, rows inserted one at a
// time, a certificate repeated within an instrument copied once, the same progress log written
// piece by piece, each piece opening and closing the file as the task's does), and a plain copy
// of the main database file as the floor.
//
//   rebuild_bench [--instruments N] [--folder DIR] [--no-check] [--keep]
//
// The laboratory (default 20,000 instruments) is made in a child process; --folder keeps it
// for the next run of the same size.
#include <cstdio>
#include <filesystem>
#include <set>

#include "bench_support.h"
#include "lab_bench_support.h"
#include "rebuild/rebuild_database.h"

namespace fs = std::filesystem;

namespace {

struct SqliteCounts {
  int64_t instruments = 0;
  int64_t calibrations = 0;
  int64_t results = 0;
  int64_t additional = 0;
};

// One piece of the progress log, appended as the task appends it: open, write, close.
void AppendPiece(const std::string& path, const std::string& piece, bool truncate = false) {
  if (std::FILE* f = std::fopen(path.c_str(), truncate ? "wb" : "ab")) {
    std::fwrite(piece.data(), 1, piece.size(), f);
    std::fclose(f);
  }
}

SqliteCounts SqliteRebuild(const bench::Lab& lab, const std::string& target,
                           const std::string& log_path) {
  fs::copy_file(lab.sqlite_template, target, fs::copy_options::overwrite_existing);
  sqlite3* db = bench::OpenSqlite(target);
  bench::Exec(db, "ATTACH DATABASE '" + lab.sqlite_main + "' AS src");
  bench::Exec(db, "BEGIN");
  bench::Statement instruments(db, "SELECT * FROM src.Instruments");
  bench::Statement calibrations(db, "SELECT * FROM src.Calibrations WHERE Inst_Id = ?");
  bench::Statement results(db, "SELECT * FROM src.Results WHERE Cert_No = ?");
  bench::Statement additional(db,
                              "SELECT * FROM src.\"Additional Data\" WHERE Inst_Id = ? AND "
                              "Cal_Ref = ?");
  bench::Statement new_instrument(db, bench::InsertSql(db, "main", "Instruments"));
  bench::Statement new_calibration(db, bench::InsertSql(db, "main", "Calibrations"));
  bench::Statement new_result(db, bench::InsertSql(db, "main", "Results"));
  bench::Statement new_additional(db, bench::InsertSql(db, "main", "Additional Data"));

  SqliteCounts counts;
  const int inst_id = instruments.Index("Inst_Id");
  int cert_no = -1;
  int cal_inst = -1;
  int cal_ref = -1;
  const int cust_name = instruments.Index("Cust_Name");
  std::set<std::string> seen;
  AppendPiece(log_path, "Export Log\r\n", true);
  instruments.Reset();
  while (instruments.Step()) {
    ++counts.instruments;
    bench::CopyRow(instruments, new_instrument);
    AppendPiece(log_path,
                "Copying " + instruments.Text(cust_name) + " " + instruments.Text(inst_id));
    seen.clear();
    calibrations.Reset().BindValue(1, instruments.Column(inst_id));
    while (calibrations.Step()) {
      if (cert_no < 0) {
        cert_no = calibrations.Index("Cert_No");
        cal_inst = calibrations.Index("Inst_Id");
        cal_ref = calibrations.Index("Cal_Ref");
      }
      const bool has_certificate =
          !calibrations.IsNull(cert_no) && !calibrations.Text(cert_no).empty();
      if (has_certificate && !seen.insert(calibrations.Text(cert_no)).second) {
        AppendPiece(log_path, ".");
        continue;
      }
      if (bench::CopyRow(calibrations, new_calibration)) ++counts.calibrations;
      if (has_certificate) {
        results.Reset().BindValue(1, calibrations.Column(cert_no));
        while (results.Step()) {
          if (bench::CopyRow(results, new_result)) ++counts.results;
        }
      }
      additional.Reset()
          .BindValue(1, calibrations.Column(cal_inst))
          .BindValue(2, calibrations.Column(cal_ref));
      if (additional.Step()) {
        if (bench::CopyRow(additional, new_additional)) ++counts.additional;
        AppendPiece(log_path, "+");
      }
      AppendPiece(log_path, ".");
    }
    AppendPiece(log_path, " Done\r\n");
  }
  bench::Exec(db, "COMMIT");
  sqlite3_close(db);
  return counts;
}

}  // namespace

int main(int argc, char** argv) {
  const bench::LabOptions options = bench::ParseLabOptions(
      argc, argv, "[--instruments N] [--folder DIR] [--no-check] [--keep]", 20000);
  const bench::Lab lab = bench::MakeLab(options);
  const std::string jet_target = lab.folder + "/Rebuilt.mdb";
  const std::string sqlite_target = lab.folder + "/rebuilt.sqlite";
  const std::string copy_target = lab.folder + "/Copy.mdb";
  fs::remove(jet_target);

  std::printf("rebuild of %d instruments (main database %.1f MB)\n", options.instruments,
              static_cast<double>(fs::file_size(lab.paths.main_database)) / 1e6);
  bench::Stopwatch copy_watch;
  fs::copy_file(lab.paths.main_database, copy_target, fs::copy_options::overwrite_existing);
  const double copy_seconds = copy_watch.Seconds();
  fs::remove(copy_target);

  bench::SilentUi ui;
  rebuild::SeenList seen;
  rebuild::RebuildRequest request;
  request.results_folder = lab.paths.results_folder;
  request.main_database_path = lab.paths.main_database;
  request.target_path = jet_target;
  request.log_path = lab.folder + "/export_log.txt";
  const double rss_before = bench::PeakRssMb();
  bench::Stopwatch jet_watch;
  const rebuild::RebuildOutcome outcome = rebuild::RebuildDatabase(request, ui.ui, seen);
  const double jet_seconds = jet_watch.Seconds();
  const double jet_cpu = jet_watch.CpuSeconds();
  const double jet_rss = bench::PeakRssMb();

  bench::Stopwatch sqlite_watch;
  const SqliteCounts counts = SqliteRebuild(lab, sqlite_target, lab.folder + "/sqlite_log.txt");
  const double sqlite_seconds = sqlite_watch.Seconds();
  const double sqlite_cpu = sqlite_watch.CpuSeconds();

  std::printf(
      "  %lld instruments copied, %zu failed steps skipped; SQLite: %lld instruments, "
      "%lld calibrations, %lld results, %lld additional data rows\n",
      static_cast<long long>(outcome.instruments), outcome.failures_skipped,
      static_cast<long long>(counts.instruments), static_cast<long long>(counts.calibrations),
      static_cast<long long>(counts.results), static_cast<long long>(counts.additional));
  bench::PrintTime("file copy of the main database", copy_seconds);
  bench::PrintTime("SQLite, same algorithm", sqlite_seconds);
  bench::PrintTime("RebuildDatabase (x SQLite)", jet_seconds, sqlite_seconds);
  std::printf("  processor time: RebuildDatabase %.2f s, SQLite %.2f s (%.2fx)\n", jet_cpu,
              sqlite_cpu, jet_cpu / std::max(sqlite_cpu, 1e-9));
  std::printf("  peak memory: %.0f MB before the rebuild, %.0f MB after it\n", rss_before, jet_rss);
  std::printf("  rebuilt file %.1f MB, SQLite file %.1f MB\n",
              static_cast<double>(fs::file_size(jet_target)) / 1e6,
              static_cast<double>(fs::file_size(sqlite_target)) / 1e6);

  bool sound = true;
  if (options.check) sound = bench::CheckFile(jet_target);
  fs::remove(sqlite_target);
  fs::remove(lab.folder + "/sqlite_log.txt");
  if (!options.keep && options.folder.empty()) fs::remove_all(lab.folder);
  return sound ? 0 : 1;
}
