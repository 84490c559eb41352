#include "import/import_report.h"

#include <initializer_list>
#include <string_view>
#include <utility>

#include "jet/error.h"
#include "tasks/ansi_text.h"

namespace import_task {
namespace {

constexpr char kLineEnd[] = "\r\n";

// Bare unless the text holds a comma, a quote or a line break (RFC 4180); laboratory
// identifiers may hold any of them.
void AppendField(std::string& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

// One line of the report, appended to it: the fields are written where they lie.
void AppendLine(std::string& out, std::initializer_list<std::string_view> fields) {
  bool first = true;
  for (std::string_view field : fields) {
    if (!first) out += ',';
    first = false;
    AppendField(out, field);
  }
  out += kLineEnd;
}

const char* KindText(RowKind kind) {
  switch (kind) {
    case RowKind::kInstrument:
      return "instrument";
    case RowKind::kAdditionalData:
      return "additional data";
    case RowKind::kResult:
      return "result";
  }
  return "";
}

std::string Signed(int points) { return (points > 0 ? "+" : "") + std::to_string(points); }

}  // namespace

WrittenRow InstrumentRow(std::string inst_id) {
  WrittenRow row;
  row.kind = RowKind::kInstrument;
  row.inst_id = std::move(inst_id);
  row.action = "added";
  return row;
}

WrittenRow AdditionalDataRow(std::string inst_id, std::string cal_ref, bool rewritten) {
  WrittenRow row;
  row.kind = RowKind::kAdditionalData;
  row.inst_id = std::move(inst_id);
  row.cal_ref = std::move(cal_ref);
  row.action = rewritten ? "rewritten" : "added";
  return row;
}

WrittenRow ResultRow(std::string cert_no, std::string test_no, bool overwritten) {
  WrittenRow row;
  row.kind = RowKind::kResult;
  row.cert_no = std::move(cert_no);
  row.test_no = std::move(test_no);
  row.action = overwritten ? "overwritten" : "appended";
  return row;
}

const char* OutcomeText(CalibrationOutcome outcome) {
  switch (outcome) {
    case CalibrationOutcome::kNew:
      return "new";
    case CalibrationOutcome::kReplaced:
      return "replaced";
    case CalibrationOutcome::kKept:
      return "kept";
    case CalibrationOutcome::kEqual:
      return "equal";
    case CalibrationOutcome::kSkipped:
      return "skipped after a failure";
  }
  return "";
}

std::string PartsText(const SideScore& side) {
  std::string text;
  for (const ScorePart& part : side.parts) {
    if (!text.empty()) text += "; ";
    text += part.rule + " " + Signed(part.points);
  }
  return text;
}

std::string ReportCsv(const ImportReport& report, const ReportEnd& end) {
  std::string csv;
  AppendLine(csv,
             {"Line", "Inst_Id", "Cal_Ref", "Main Cert_No", "On-site Cert_No", "Outcome",
              "Main points", "Main rules", "On-site points", "On-site rules", "Test_No", "Note"});
  for (const CalibrationLine& c : report.calibrations) {
    const auto points = [&](const SideScore& side) {
      return c.scored ? std::to_string(side.points) : std::string();
    };
    AppendLine(csv, {"calibration", c.inst_id, c.cal_ref, c.main_cert_no, c.onsite_cert_no,
                     OutcomeText(c.outcome), points(c.main), PartsText(c.main), points(c.onsite),
                     PartsText(c.onsite), "", c.note});
  }
  for (const WrittenRow& r : report.rows) {
    AppendLine(csv, {KindText(r.kind), r.inst_id, r.cal_ref, "", r.cert_no, r.action, "", "", "",
                     "", r.test_no, ""});
  }
  AppendLine(csv, {"update " + end.end, "", "", "", "", "", "", "", "", "", "",
                   std::to_string(end.instruments) + " new instruments copied; " +
                       std::to_string(end.calibrations) + " new calibrations copied; " +
                       std::to_string(end.results) + " new results copied; backup: " +
                       (end.backup_path.empty() ? "none" : end.backup_path)});
  return csv;
}

bool WriteReport(const std::string& path, const ImportReport& report, const ReportEnd& end) {
  try {
    tasks::AppendAnsi(path, ReportCsv(report, end), /*truncate=*/true);
    return true;
  } catch (const jet::Error&) {
    return false;
  }
}

std::string ReportPathBeside(const std::string& log_path) {
  const size_t slash = log_path.find_last_of("/\\");
  return (slash == std::string::npos ? "" : log_path.substr(0, slash + 1)) + kImportReportName;
}

}  // namespace import_task
