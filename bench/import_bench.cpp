// The on-site import through RunUpdate, against SQLite running the same per-row algorithm on
// the same rows in one transaction. The on-site file holds every tenth customer of a synthetic
// laboratory (made by CreateOnSiteDatabase) with every fifth calibration changed on site, so
// that the scoring rule lets some on-site versions win and keeps the main version of others:
//
//   - a later Cal_Date (+2 points on site: the on-site version replaces the main one),
//   - a later Test_Time (+1 point on site: replaces it),
//   - an earlier Cal_Date (+2 points in main: the main version stays),
//   - a different Cert_No (a clash: the main version stays, two warning lines are logged),
//   - different Remarks only (a tie: the main version stays).
//
// The import writes into a copy of the main database, so a laboratory kept with --folder is
// left as it was made. What the update adds around the merges is timed on its own: the backup
// (a file copy read back to verify it) and the fingerprint of the file it leaves (one read).
//
//   import_bench [--instruments N] [--folder DIR] [--no-check] [--keep]
//
// --keep also leaves the imported main file (ImportMain.mdb) for comparing two builds.
#include <cstdio>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "bench_support.h"
#include "db/dao.h"
#include "db/schema.h"
#include "db/statements.h"
#include "export/on_site_database.h"
#include "import/import_log.h"
#include "import/main_backup.h"
#include "import/scoring.h"
#include "import/update_run.h"
#include "import/value_compare.h"
#include "lab_bench_support.h"
#include "onsite_changes.h"
#include "platform/launcher.h"
#include "tasks/failure_rule.h"

namespace fs = std::filesystem;
namespace schema = db::schema;

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

// ---- the import through the data layer

class NoLauncher : public platform::Launcher {
 public:
  bool BrowseFolder(std::string_view) override { return true; }
  bool EditTextFile(std::string_view) override { return true; }
};

// ---- the same per-row algorithm on SQLite

// "UPDATE schema.table SET c1 = ?1, ... WHERE rowid = ?N+1", one placeholder per column.
std::string UpdateByRowidSql(sqlite3* db, const std::string& schema_name,
                             const std::string& table) {
  bench::Statement columns(db, "SELECT * FROM " + schema_name + ".\"" + table + "\" LIMIT 0");
  std::string sql = "UPDATE " + schema_name + ".\"" + table + "\" SET ";
  const int count = columns.Columns();
  for (int i = 0; i < count; ++i) {
    if (i > 0) sql += ", ";
    sql += "\"" + std::string(sqlite3_column_name(columns.get(), i)) + "\" = ?" +
           std::to_string(i + 1);
  }
  return sql + " WHERE rowid = ?" + std::to_string(count + 1);
}

// Overwrites row `rowid` with the current row of `from` (columns in the same order).
void OverwriteRow(const bench::Statement& from, bench::Statement& update, int64_t rowid) {
  update.Reset();
  for (int i = 0; i < from.Columns(); ++i) update.BindValue(i + 1, from.Column(i));
  update.Bind(from.Columns() + 1, rowid);
  update.Step();
}

class SqliteImport {
 public:
  SqliteImport(sqlite3* db, std::string log_path)
      : db_(db),
        log_path_(std::move(log_path)),
        site_instrument_ids_(db, "SELECT Inst_Id FROM site.Instruments"),
        main_instrument_id_(db, "SELECT Inst_Id FROM main.Instruments WHERE Inst_Id = ?"),
        site_instrument_(db, "SELECT * FROM site.Instruments WHERE Inst_Id = ?"),
        new_instrument_(db, bench::InsertSql(db, "main", "Instruments")),
        site_calibrations_(db, "SELECT * FROM site.Calibrations"),
        main_calibration_(db, "SELECT * FROM main.Calibrations WHERE Inst_Id = ? AND Cal_Ref = ?"),
        site_calibration_(db, "SELECT * FROM site.Calibrations WHERE Inst_Id = ? AND Cal_Ref = ?"),
        delete_calibration_(db, "DELETE FROM main.Calibrations WHERE Inst_Id = ? AND Cal_Ref = ?"),
        new_calibration_(db, bench::InsertSql(db, "main", "Calibrations")),
        site_status_(db, "SELECT Status FROM site.Instruments WHERE Inst_Id = ?"),
        main_status_(db, "SELECT Status FROM main.Instruments WHERE Inst_Id = ?"),
        site_additional_(db,
                         "SELECT * FROM site.\"Additional Data\" WHERE Inst_Id = ? AND "
                         "Cal_Ref = ?"),
        main_additional_(db,
                         "SELECT rowid FROM main.\"Additional Data\" WHERE Inst_Id = ? AND "
                         "Cal_Ref = ? LIMIT 1"),
        new_additional_(db, bench::InsertSql(db, "main", "Additional Data")),
        update_additional_(db, UpdateByRowidSql(db, "main", "Additional Data")),
        site_results_(db, "SELECT * FROM site.Results WHERE Cert_No = ?"),
        main_result_(db,
                     "SELECT rowid, * FROM main.Results WHERE Cert_No = ? AND Test_No = ? "
                     "LIMIT 1"),
        new_result_(db, bench::InsertSql(db, "main", "Results")),
        update_result_(db, UpdateByRowidSql(db, "main", "Results")) {}

  import_task::ImportState Run() {
    bench::Exec(db_, "BEGIN");
    ScanInstruments();
    ScanCalibrations();
    bench::Exec(db_, "COMMIT");
    return state_;
  }

 private:
  // SQLite compares the identifiers exactly where Jet ignores case; the synthetic identifiers
  // are written one way only, so both find the same rows.
  void ScanInstruments() {
    site_instrument_ids_.Reset();
    while (site_instrument_ids_.Step()) {
      main_instrument_id_.Reset().BindValue(1, site_instrument_ids_.Column(0));
      if (main_instrument_id_.Step()) continue;
      import_task::CountOne(state_.NewInstrumentCount);
      site_instrument_.Reset().BindValue(1, site_instrument_ids_.Column(0));
      if (site_instrument_.Step()) bench::CopyRow(site_instrument_, new_instrument_);
    }
  }

  void ScanCalibrations() {
    bench::Statement& list = site_calibrations_;
    list.Reset();
    const int inst_id = list.Index("Inst_Id");
    const int cal_ref = list.Index("Cal_Ref");
    while (list.Step()) {
      main_calibration_.Reset()
          .BindValue(1, list.Column(inst_id))
          .BindValue(2, list.Column(cal_ref));
      bool new_entry = false;
      if (!main_calibration_.Step()) {
        new_entry = true;
      } else {
        bool differ = false;
        if (!rule_.Run([&] { differ = RowsDiffer(list, main_calibration_); })) continue;
        if (!differ) continue;
        const import_task::Scores scores = Score(list, main_calibration_);
        if (scores.mobile <= scores.home) continue;
        // Both tables share one transaction, so a refused insert below cannot lose the main
        // version the way a file without transactions could; no copy of it is kept.
        delete_calibration_.Reset()
            .BindValue(1, list.Column(inst_id))
            .BindValue(2, list.Column(cal_ref));
        delete_calibration_.Step();
      }
      import_task::CountOne(state_.NewCalibrationCount);
      // The on-site version taken afresh by its key, as the data layer's merge does.
      site_calibration_.Reset()
          .BindValue(1, list.Column(inst_id))
          .BindValue(2, list.Column(cal_ref));
      if (!site_calibration_.Step()) continue;
      bench::CopyRow(site_calibration_, new_calibration_);
      FindAdditional(site_calibration_.Column(inst_id), site_calibration_.Column(cal_ref));
      FindResults(site_calibration_.Column(site_calibration_.Index("Cert_No")), new_entry);
    }
  }

  static bool RowsDiffer(const bench::Statement& onsite, const bench::Statement& main) {
    bool differ = false;
    for (int i = 0; i < onsite.Columns(); ++i) {
      if (import_task::VersionsDiffer(onsite.Value(i), main.Value(i))) differ = true;
    }
    return differ;
  }

  static import_task::Version VersionOf(const bench::Statement& row) {
    import_task::Version v;
    v.cal_date = row.Value(row.Index("Cal_Date"));
    v.test_time = row.Value(row.Index("Test_Time"));
    v.cert_no = row.Value(row.Index("Cert_No"));
    v.inst_id = row.Value(row.Index("Inst_Id"));
    return v;
  }

  static jet::Value Status(bench::Statement& lookup, const jet::Value& inst_id) {
    lookup.Reset().Bind(1, db::ConcatText(inst_id));
    return lookup.Step() ? lookup.Value(0) : jet::Value();
  }

  // The scoring rule itself, on the values read from SQLite.
  import_task::Scores Score(const bench::Statement& onsite, const bench::Statement& main) {
    import_task::Version mobile = VersionOf(onsite);
    import_task::Version home = VersionOf(main);
    mobile.status = Status(site_status_, *mobile.inst_id);
    home.status = Status(main_status_, *home.inst_id);
    return import_task::ScoreVersions(mobile, home, rule_, [&] {
      Log("Warning: Two simultaneous new calibrations of intrument " +
          db::ConcatText(*home.inst_id));
      Log("(certificate " + db::ConcatText(*home.cert_no) + ") kept, (certificate " +
          db::ConcatText(*mobile.cert_no) + ") not copied from on-site database");
      state_.ProblemDetected = true;
    });
  }

  // Opened and closed for every entry, as the import log is.
  void Log(const std::string& text) {
    if (std::FILE* f = std::fopen(log_path_.c_str(), "ab")) {
      std::fprintf(f, "%s\r\n", text.c_str());
      std::fclose(f);
    }
  }

  void FindAdditional(sqlite3_value* inst_id, sqlite3_value* cal_ref) {
    site_additional_.Reset().BindValue(1, inst_id).BindValue(2, cal_ref);
    if (!site_additional_.Step()) return;
    main_additional_.Reset().BindValue(1, inst_id).BindValue(2, cal_ref);
    if (main_additional_.Step()) {
      OverwriteRow(site_additional_, update_additional_,
                   sqlite3_column_int64(main_additional_.get(), 0));
    } else {
      bench::CopyRow(site_additional_, new_additional_);
    }
  }

  void FindResults(sqlite3_value* cert_no, bool new_entry) {
    if (sqlite3_value_type(cert_no) == SQLITE_NULL) return;
    site_results_.Reset().BindValue(1, cert_no);
    const int test_no = site_results_.Index("Test_No");
    while (site_results_.Step()) {
      if (new_entry) {
        import_task::CountOne(state_.NewResultCount);
        bench::CopyRow(site_results_, new_result_);
        continue;
      }
      main_result_.Reset().BindValue(1, cert_no).BindValue(2, site_results_.Column(test_no));
      const bool found = main_result_.Step();
      bool changed = false;
      if (found) {
        // Column 0 of the main line is its rowid.
        for (int i = 0; i < site_results_.Columns(); ++i) {
          if (import_task::LinesDiffer(site_results_.Value(i), main_result_.Value(i + 1))) {
            changed = true;
          }
        }
      }
      if (found && !changed) continue;
      import_task::CountOne(state_.NewResultCount);
      if (found) {
        OverwriteRow(site_results_, update_result_, sqlite3_column_int64(main_result_.get(), 0));
      } else {
        bench::CopyRow(site_results_, new_result_);
      }
    }
  }

  sqlite3* db_;
  std::string log_path_;
  import_task::ImportState state_;
  tasks::FailureRule rule_{tasks::OnFailure::kPassUp};
  bench::Statement site_instrument_ids_;
  bench::Statement main_instrument_id_;
  bench::Statement site_instrument_;
  bench::Statement new_instrument_;
  bench::Statement site_calibrations_;
  bench::Statement main_calibration_;
  bench::Statement site_calibration_;
  bench::Statement delete_calibration_;
  bench::Statement new_calibration_;
  bench::Statement site_status_;
  bench::Statement main_status_;
  bench::Statement site_additional_;
  bench::Statement main_additional_;
  bench::Statement new_additional_;
  bench::Statement update_additional_;
  bench::Statement site_results_;
  bench::Statement main_result_;
  bench::Statement new_result_;
  bench::Statement update_result_;
};

import_task::ImportState SqliteImportRun(const std::string& main_path,
                                         const std::string& onsite_path,
                                         const std::string& log_path) {
  sqlite3* db = bench::OpenSqlite(main_path);
  bench::Exec(db, "ATTACH DATABASE '" + onsite_path + "' AS site");
  import_task::ImportState state;
  {
    SqliteImport import(db, log_path);
    state = import.Run();
  }
  sqlite3_close(db);
  return state;
}

void PrintCounts(const char* name, const import_task::ImportState& s) {
  std::printf("  %-8s %d new instruments, %d calibrations copied, %d result lines copied%s\n", name,
              s.NewInstrumentCount, s.NewCalibrationCount, s.NewResultCount,
              s.ProblemDetected ? ", problems logged" : "");
}

}  // namespace

int main(int argc, char** argv) {
  const bench::LabOptions options = bench::ParseLabOptions(
      argc, argv, "[--instruments N] [--folder DIR] [--no-check] [--keep]", 20000);
  const bench::Lab lab = bench::MakeLab(options);
  // Absolute, since the import writes its log in the current folder and runs in the lab's.
  const fs::path folder = fs::absolute(lab.folder);
  const std::string onsite_jet = (folder / "OnSite.mdb").string();
  const std::string main_jet = (folder / "ImportMain.mdb").string();
  const std::string onsite_sqlite = (folder / "import_onsite.sqlite").string();
  const std::string main_sqlite = (folder / "import_main.sqlite").string();
  const std::string sqlite_log = (folder / "sqlite_import_log.txt").string();
  for (const std::string& path : {onsite_jet, main_jet, onsite_sqlite, main_sqlite, sqlite_log}) {
    fs::remove(path);
  }

  // The on-site file, changed on site, and both databases' rows in SQLite.
  bench::Stopwatch setup_watch;
  const std::vector<std::string> customers = EveryTenthCustomer(lab);
  bench::Changes changes;
  bench::InChild([&] {
    bench::SilentUi export_ui;
    export_task::OnSiteRequest request;
    request.customers = customers;
    request.results_folder = lab.paths.results_folder;
    request.main_database_path = lab.paths.main_database;
    request.target_path = onsite_jet;
    if (export_task::CreateOnSiteDatabase(request, export_ui.ui).end !=
        export_task::OnSiteEnd::kFinished) {
      throw std::runtime_error("the on-site export did not finish");
    }
  });
  // In this process, for the counts; the data layer's memory counts before the import starts.
  changes = bench::ChangeOnSiteCalibrations(onsite_jet);
  fs::copy_file(lab.paths.main_database, main_jet);
  fs::copy_file(lab.sqlite_main, main_sqlite);
  bench::InChild([&] { bench::CopyToSqlite(onsite_jet, onsite_sqlite, true); });
  std::printf(
      "on-site file of %zu customers: %lld calibrations, %lld changed (%lld later dates, %lld "
      "later times, %lld earlier dates, %lld other certificates, %lld remarks), %lld result lines "
      "remeasured (%.1f s)\n",
      customers.size(), static_cast<long long>(changes.calibrations),
      static_cast<long long>(changes.later_date + changes.later_time + changes.earlier_date +
                             changes.other_certificate + changes.remarks),
      static_cast<long long>(changes.later_date), static_cast<long long>(changes.later_time),
      static_cast<long long>(changes.earlier_date),
      static_cast<long long>(changes.other_certificate), static_cast<long long>(changes.remarks),
      static_cast<long long>(changes.result_lines), setup_watch.Seconds());
  std::printf("import into the main database of %d instruments (%.1f MB)\n", options.instruments,
              static_cast<double>(fs::file_size(main_jet)) / 1e6);

  bench::SilentUi ui;
  NoLauncher launcher;
  import_task::UpdateSurroundings surroundings{ui.prompter, launcher, ui.progress, ui.window};
  import_task::ImportLog log;
  const import_task::ImportRequest request{main_jet, onsite_jet};
  const fs::path home = fs::current_path();
  fs::current_path(folder);
  // The backup, as the update makes it before its first write, measured apart so that the
  // update's own time stays comparable with SQLite's.
  bench::Stopwatch backup_watch;
  const import_task::BackupMade backup =
      import_task::BackupMainDatabase(main_jet, folder.string(), tasks::LocalNow());
  const double backup_seconds = backup_watch.Seconds();
  if (!backup.error.empty()) throw std::runtime_error("backup: " + backup.error);
  fs::remove(backup.path);
  import_task::UpdateSafeguards without_backup;
  without_backup.backup = false;

  const double rss_before = bench::PeakRssMb();
  bench::Stopwatch jet_watch;
  const import_task::UpdateResult result =
      import_task::RunUpdate(request, surroundings, log, without_backup);
  const double jet_seconds = jet_watch.Seconds();
  bench::Stopwatch fingerprint_watch;
  const bool fingerprinted = import_task::FingerprintOf(main_jet).has_value();
  const double fingerprint_seconds = fingerprint_watch.Seconds();
  const double jet_cpu = jet_watch.CpuSeconds();
  const double jet_rss = bench::PeakRssMb();
  fs::current_path(home);

  bench::Stopwatch sqlite_watch;
  const import_task::ImportState sqlite_state =
      SqliteImportRun(main_sqlite, onsite_sqlite, sqlite_log);
  const double sqlite_seconds = sqlite_watch.Seconds();
  const double sqlite_cpu = sqlite_watch.CpuSeconds();

  size_t errors = 0;
  for (const std::string& message : ui.prompter.messages) {
    if (message.starts_with("Error: ")) {
      ++errors;
      std::fprintf(stderr, "import: %s\n", message.c_str());
    }
  }
  PrintCounts("RunUpdate", result.state);
  PrintCounts("SQLite", sqlite_state);
  const bool same_counts = result.state.NewInstrumentCount == sqlite_state.NewInstrumentCount &&
                           result.state.NewCalibrationCount == sqlite_state.NewCalibrationCount &&
                           result.state.NewResultCount == sqlite_state.NewResultCount;
  if (!same_counts) std::printf("  COUNTS DIFFER\n");
  if (errors > 0) std::printf("  %zu error prompts answered Yes\n", errors);
  bench::PrintTime("SQLite, same algorithm", sqlite_seconds);
  bench::PrintTime("RunUpdate (x SQLite)", jet_seconds, sqlite_seconds);
  std::printf("  processor time: RunUpdate %.2f s, SQLite %.2f s (%.2fx)\n", jet_cpu, sqlite_cpu,
              jet_cpu / std::max(sqlite_cpu, 1e-9));
  std::printf("  peak memory: %.0f MB before the import, %.0f MB after it\n", rss_before, jet_rss);
  bench::PrintTime("backup (x RunUpdate)", backup_seconds, jet_seconds);
  bench::PrintTime("fingerprint (x RunUpdate)", fingerprint_seconds, jet_seconds);

  bool sound = result.end == import_task::UpdateEnd::kCompleted && errors == 0 && same_counts &&
               fingerprinted;
  if (options.check) sound = bench::CheckFile(main_jet) && sound;
  // --keep leaves the imported main file too, so that two builds' imports can be compared.
  if (!options.keep) fs::remove(main_jet);
  for (const std::string& path : {onsite_sqlite, main_sqlite, sqlite_log}) {
    fs::remove(path);
  }
  if (!options.keep && options.folder.empty()) fs::remove_all(lab.folder);
  return sound ? 0 : 1;
}
