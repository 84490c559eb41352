// What one update did, row by row: the answer to "why was this calibration replaced?". The
// merges record each on-site calibration they look at (with both versions' points and the rules
// that gave them) and every row they write; the update writes it as ImportReport.csv beside
// the import log, and the preview shows it before anything is written.
#pragma once

#include <deque>
#include <string>
#include <vector>

namespace import_task {

inline constexpr char kImportReportName[] = "ImportReport.csv";

enum class CalibrationOutcome {
  kNew,       // absent from the main database: copied
  kReplaced,  // the on-site version scored higher: it took the main version's place
  kKept,      // the versions differ and the main version scored as high or higher
  kEqual,     // the versions are equal in every field: nothing written
  kSkipped,   // a step failed before anything of it was written
};

// One rule of the score that gave a version points: "later Cal_Date", +2.
struct ScorePart {
  std::string rule;
  int points = 0;
};

struct SideScore {
  int points = 0;
  std::vector<ScorePart> parts;
};

struct CalibrationLine {
  std::string inst_id;
  std::string cal_ref;
  std::string main_cert_no;  // empty when there is no main version or its Cert_No is Null
  std::string onsite_cert_no;
  CalibrationOutcome outcome = CalibrationOutcome::kSkipped;
  bool scored = false;
  SideScore main;
  SideScore onsite;
  // Why scoring or the copy stopped short, or what failed after the copy: the engine's text.
  std::string note;
};

enum class RowKind { kInstrument, kAdditionalData, kResult };

// A row the update wrote into the main database.
struct WrittenRow {
  RowKind kind = RowKind::kInstrument;
  std::string inst_id;  // instruments and additional data
  std::string cal_ref;  // additional data
  std::string cert_no;  // result lines
  std::string test_no;  // result lines
  // "added" (instruments, additional data), "appended" (result lines) or
  // "rewritten"/"overwritten" when a main row was written over.
  std::string action;
};

WrittenRow InstrumentRow(std::string inst_id);
WrittenRow AdditionalDataRow(std::string inst_id, std::string cal_ref, bool rewritten);
WrittenRow ResultRow(std::string cert_no, std::string test_no, bool overwritten);

// Deques: a large site visit brings a hundred thousand lines, which a vector would copy, and
// hold up to twice over, each time it grows.
struct ImportReport {
  std::deque<CalibrationLine> calibrations;
  std::deque<WrittenRow> rows;  // in the order they were written
};

const char* OutcomeText(CalibrationOutcome outcome);
// "later Cal_Date +2; Cert_No +1; status D +1".
std::string PartsText(const SideScore& side);

// The report as CSV lines (comma-separated, fields quoted where they need it, CR LF line ends):
// a header, one line per calibration looked at, one per row written, and a last line with the
// update's end, its three counts and the backup it made.
struct ReportEnd {
  std::string end;  // "completed" or "stopped"
  int instruments = 0;
  int calibrations = 0;
  int results = 0;
  std::string backup_path;
};
std::string ReportCsv(const ImportReport& report, const ReportEnd& end);

// Writes the report to `path` in the laboratory's code page; false when it could not be
// written (the update is not stopped by that, as for the log).
bool WriteReport(const std::string& path, const ImportReport& report, const ReportEnd& end);

// The report's path beside a log at `log_path` ("ImportLog.txt" gives "ImportReport.csv").
std::string ReportPathBeside(const std::string& log_path);

}  // namespace import_task
