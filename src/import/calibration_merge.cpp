#include "import/calibration_merge.h"

#include <string>
#include <utility>
#include <vector>

#include "db/schema.h"
#include "db/statements.h"
#include "import/results_merge.h"
#include "import/scoring.h"
#include "import/value_compare.h"
#include "jet/error.h"
#include "tasks/failure_rule.h"

namespace import_task {
namespace {

namespace schema = db::schema;

using RowCopy = std::vector<std::pair<std::string, jet::Value>>;

FieldRead TryRead(const db::Recordset& rs, std::string_view field) {
  try {
    return rs.Fields(field).Value();
  } catch (const jet::Error&) {
    return std::nullopt;
  }
}

// True when some field of the on-site version differs from its namesake in the main version.
// A field the main table lacks fails here.
bool RowsDiffer(const db::Recordset& onsite, const db::Recordset& main) {
  const db::Fields fields = onsite.Fields();
  const db::Fields main_fields = main.Fields();
  bool differ = false;
  // Every pair is read, so that a field missing from the main table always shows.
  for (size_t i = 0; i < fields.Count(); ++i) {
    const db::Field field = fields.Item(i);
    if (VersionsDiffer(field.Value(), main_fields.Item(field.Name()).Value())) {
      differ = true;
    }
  }
  return differ;
}

// The Status of the instrument in `database`; Null when it has no row there, so that a
// missing instrument weighs as an empty status rather than as the last one seen.
jet::Value InstrumentStatus(db::Database& database, const jet::Value& inst_id) {
  db::Recordset rs =
      database.OpenRecordset(db::ImportCalibrationInstrumentSql(db::ConcatText(inst_id)));
  jet::Value status;
  if (!rs.Eof()) status = rs.Fields(schema::kStatus).Value();
  rs.Close();
  return status;
}

// A key field as the report shows it; empty when it is Null or cannot be read.
std::string TextOf(const db::Recordset& rs, std::string_view field) {
  const FieldRead value = TryRead(rs, field);
  try {
    return value ? CaptionText(*value) : "";
  } catch (const jet::Error&) {
    return "";
  }
}

RowCopy CopyOfRow(const db::Recordset& rs) {
  RowCopy row;
  const db::Fields fields = rs.Fields();
  for (size_t i = 0; i < fields.Count(); ++i) {
    const db::Field field = fields.Item(i);
    row.emplace_back(field.Name(), field.Value());
  }
  return row;
}

// Puts a deleted main version back as it was.
void Restore(db::Database& homeDB, const RowCopy& row) {
  db::Recordset table = homeDB.OpenRecordset(schema::kCalibrations);
  table.AddNew();
  for (const auto& [name, value] : row) table.Fields(name).SetValue(value);
  table.Update();
  table.Close();
}

// Appends the on-site version, taken afresh by its key, to the main table. Returns it.
db::Recordset AppendOnsiteVersion(db::Database& MobileDB, db::Database& homeDB,
                                  const db::Recordset& list) {
  db::Recordset source = MobileDB.OpenRecordset(db::ImportCalibrationBareSql(
      db::ConcatText(list.Fields(schema::kInstId).Value()), list.Fields(schema::kCalRef).Value()));
  db::Recordset target = homeDB.OpenRecordset(schema::kCalibrations);
  try {
    db::CopyFieldsByName(source, target);
  } catch (const jet::Error&) {
    target.Close();  // the half-made row is not saved
    throw;
  }
  target.Close();
  return source;
}

class CalibrationMerge {
 public:
  CalibrationMerge(db::Database& mobile, db::Database& home, ImportState& state, ImportLog& log,
                   tasks::Progress& progress)
      : MobileDB_(mobile), homeDB_(home), state_(state), log_(log), progress_(progress) {}

  void Run() {
    list_ = MobileDB_.OpenRecordset(db::ImportCalibrationsSql());
    // Fails on an on-site file without calibrations: nothing is merged.
    list_.MoveLast();
    list_.MoveFirst();
    // The list's own moves are not skipped: a list that cannot move on would otherwise be
    // walked for ever. Their failure ends the merge and goes to the update's prompt.
    while (!list_.Eof()) {
      MergeRecorded();
      list_.MoveNext();
    }
    list_.Close();
    if (main_version_.IsOpen()) main_version_.Close();
  }

 private:
  // One on-site calibration, with its line of the report: also when a failure ends the merge.
  void MergeRecorded() {
    CalibrationLine line;
    line.inst_id = TextOf(list_, schema::kInstId);
    line.cal_ref = TextOf(list_, schema::kCalRef);
    line.onsite_cert_no = TextOf(list_, schema::kCertNo);
    try {
      MergeCurrent(line);
    } catch (const jet::Error& e) {
      if (line.note.empty()) line.note = e.description();
      state_.report.calibrations.push_back(std::move(line));
      throw;
    }
    state_.report.calibrations.push_back(std::move(line));
  }

  // A step under the merge's rule; a failure's description goes into the report's note.
  template <typename Step>
  bool Run(CalibrationLine& line, Step&& step) {
    return skip_rule_.Run([&] {
      try {
        step();
      } catch (const jet::Error& e) {
        AddNote(line, e.description());
        throw;
      }
    });
  }

  static void AddNote(CalibrationLine& line, const std::string& text) {
    line.note += (line.note.empty() ? "" : "; ") + text;
  }

  // One on-site calibration. Returns early when a step that later steps depend on failed
  // under the skip rule: nothing is then deleted or copied on values left from an earlier
  // calibration.
  void MergeCurrent(CalibrationLine& line) {
    Run(line, [&] {
      progress_.SetStatus("Importing calibration " +
                          CaptionText(list_.Fields(schema::kCertNo).Value()));
      progress_.SetBar(list_.PercentPosition());
    });
    progress_.LetEventsRun();

    if (!Run(line, [&] {
          main_version_ = homeDB_.OpenRecordset(
              db::ImportCalibrationSql(db::ConcatText(list_.Fields(schema::kInstId).Value()),
                                       list_.Fields(schema::kCalRef).Value()));
        })) {
      return;
    }
    bool NewCal = false;
    bool NewCalEntry = false;
    bool has_main = false;
    if (!Run(line, [&] { has_main = !main_version_.Eof(); })) return;

    RowCopy deleted;  // the main version, while it is replaced
    bool replacing = false;
    if (!has_main) {
      NewCal = true;
      NewCalEntry = true;
    } else {
      line.main_cert_no = TextOf(main_version_, schema::kCertNo);
      bool differ = false;
      if (!Run(line, [&] { differ = RowsDiffer(list_, main_version_); })) return;
      if (!differ) {
        line.outcome = CalibrationOutcome::kEqual;
        return;
      }
      const Scores scores = Score();
      line.scored = true;
      line.main = scores.home_parts;
      line.onsite = scores.mobile_parts;
      if (!scores.dates_failure.empty()) AddNote(line, scores.dates_failure);
      if (scores.mobile > scores.home) {
        // Kept until the on-site version is in: a version that cannot be appended must not
        // cost the laboratory the one it replaces.
        if (!Run(line, [&] { deleted = CopyOfRow(main_version_); })) return;
        // A main version that could not be deleted stays, and the on-site one is not added
        // beside it.
        if (!Run(line, [&] { main_version_.Delete(); })) return;
        replacing = true;
        NewCal = true;
      } else {
        line.outcome = CalibrationOutcome::kKept;
      }
    }
    if (!NewCal) return;

    Run(line, [&] { CountOne(state_.NewCalibrationCount); });
    db::Recordset source;
    try {
      source = AppendOnsiteVersion(MobileDB_, homeDB_, list_);
    } catch (const jet::Error& e) {
      AddNote(line, e.description());
      if (replacing) {
        Restore(homeDB_, deleted);
        AddNote(line, "main version put back");
      }
      if (!skip_rule_.active()) throw;
      return;
    }
    line.outcome = replacing ? CalibrationOutcome::kReplaced : CalibrationOutcome::kNew;
    Run(line, [&] {
      FindAdditional(MobileDB_, homeDB_, source.Fields(schema::kInstId).Value(),
                     source.Fields(schema::kCalRef).Value(), state_);
    });
    Run(line, [&] {
      FindResults(MobileDB_, homeDB_, source.Fields(schema::kCertNo).Value(), NewCalEntry, state_);
    });
  }

  Scores Score() {
    Version mobile = VersionOf(list_);
    Version home = VersionOf(main_version_);
    // Both statuses start empty for every pair: a lookup that finds no row, or fails under
    // the skip rule, must not weigh with the status of an earlier instrument.
    skip_rule_.Run([&] { mobile.status = InstrumentStatus(MobileDB_, Read(mobile.inst_id)); });
    skip_rule_.Run([&] { home.status = InstrumentStatus(homeDB_, Read(home.inst_id)); });
    return ScoreVersions(mobile, home, skip_rule_, [&] {
      log_.LogMessage("Warning: Two simultaneous new calibrations of intrument " +
                      db::ConcatText(Read(home.inst_id)));
      log_.LogMessage("(certificate " + db::ConcatText(Read(home.cert_no)) + ") kept, " +
                      "(certificate " + db::ConcatText(Read(mobile.cert_no)) +
                      ") not copied from on-site database");
      state_.ProblemDetected = true;
    });
  }

  static Version VersionOf(const db::Recordset& rs) {
    Version v;
    v.cal_date = TryRead(rs, schema::kCalDate);
    v.test_time = TryRead(rs, schema::kTestTime);
    v.cert_no = TryRead(rs, schema::kCertNo);
    v.inst_id = TryRead(rs, schema::kInstId);
    return v;
  }

  db::Database& MobileDB_;
  db::Database& homeDB_;
  ImportState& state_;
  ImportLog& log_;
  tasks::Progress& progress_;
  // Inactive until the first pair of versions is scored: until then a failure ends the merge.
  tasks::FailureRule skip_rule_{tasks::OnFailure::kPassUp};
  db::Recordset list_;
  db::Recordset main_version_;
};

}  // namespace

void ScanCalibrations(db::Database& MobileDB, db::Database& homeDB, ImportState& state,
                      ImportLog& log, tasks::Progress& progress) {
  CalibrationMerge(MobileDB, homeDB, state, log, progress).Run();
}

}  // namespace import_task
