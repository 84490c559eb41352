#include "rebuild/rebuild_database.h"

#include "db/dao.h"
#include "db/schema.h"
#include "db/statements.h"
#include "platform/files.h"
#include "tasks/copy_start.h"
#include "tasks/copy_walk.h"
#include "tasks/date_text.h"
#include "tasks/failure_rule.h"
#include "tasks/rule_steps.h"
#include "tasks/target_checks.h"

namespace rebuild {
namespace {

namespace schema = db::schema;
using tasks::AtEnd;
using tasks::CopyRow;
using tasks::MoveNext;

// A Null customer or instrument id shows as the empty text in the log.
std::string TextOrEmpty(const db::Recordset& rs, std::string_view field) {
  const jet::Value value = rs.Fields(field).Value();
  return value.IsNull() ? std::string() : db::ConcatText(value);
}

class Rebuild {
 public:
  Rebuild(const RebuildRequest& request, tasks::TaskUi& ui, SeenList& seen)
      : request_(request),
        ui_(ui),
        seen_(seen),
        rule_(tasks::OnFailure::kSkip, &ui.prompter),
        log_(request.log_path) {}

  RebuildOutcome Run();

 private:
  void Copy();
  void CopyInstrument();
  void CopyCalibrations(const std::string& inst_id);
  void CopyCalibration();

  const RebuildRequest& request_;
  tasks::TaskUi& ui_;
  SeenList& seen_;
  tasks::FailureRule rule_;
  ExportLog log_;

  tasks::CopyDatabases copy_;
  db::Database& main_ = copy_.main;
  db::Database& target_ = copy_.target;
  db::Recordset instruments_;
  db::Recordset& new_instruments_ = copy_.new_instruments;
  db::Recordset calibrations_;
  db::Recordset new_calibrations_;
  // A calibration's additional-data query and table stay open until the next calibration's
  // replace them, and close with their databases.
  db::Recordset additional_;
  db::Recordset new_additional_;
  int64_t count_ = 0;
};

RebuildOutcome Rebuild::Run() {
  RebuildOutcome outcome;
  const tasks::TargetCheck check =
      tasks::CheckTarget(ui_.prompter, request_.target_path, request_.main_database_path);
  if (check == tasks::TargetCheck::kRefused) return outcome;
  if (check == tasks::TargetCheck::kDeclined) {
    outcome.end = RebuildEnd::kDeclined;
    return outcome;
  }
  if (check == tasks::TargetCheck::kReplace &&
      !tasks::DeleteReplacedTarget(ui_, request_.target_path)) {
    outcome.end = RebuildEnd::kDeleteFailed;
    return outcome;
  }

  try {
    Copy();
    outcome.end = RebuildEnd::kFinished;
  } catch (const jet::Error& error) {
    tasks::AbandonCopy(
        ui_, copy_,
        {&instruments_, &calibrations_, &new_calibrations_, &additional_, &new_additional_});
    outcome.end = RebuildEnd::kStopped;
    outcome.failure = error;
    const bool exists = platform::FileExists(request_.target_path);
    ui_.prompter.Show({StoppedText(error, request_.target_path, exists), platform::Buttons::kOk,
                       platform::Icon::kExclamation, ""});
    ui_.window.SetBusy(false);
  }
  outcome.instruments = count_;
  outcome.failures_skipped = rule_.skipped();
  return outcome;
}

void Rebuild::Copy() {
  tasks::StartCopy(rule_, ui_,
                   {request_.results_folder, request_.main_database_path, request_.target_path},
                   copy_);
  rule_.Run([&] {
    log_.Start(request_.log_time.empty() ? tasks::GeneralDateTime(tasks::LocalNow())
                                         : request_.log_time);
  });
  count_ = 0;
  tasks::OpenCounted(rule_, main_, db::RebuildInstrumentsSql(), instruments_);

  while (!AtEnd(rule_, instruments_)) {
    CopyInstrument();
    if (!MoveNext(rule_, instruments_)) break;
  }

  tasks::FinishCopy(rule_, ui_, copy_, instruments_,
                    {std::to_string(count_) + kDoneSuffix, platform::Buttons::kOk,
                     platform::Icon::kInformation, kDoneTitle});
}

void Rebuild::CopyInstrument() {
  ++count_;
  tasks::ShowWalkProgress(rule_, ui_, RebuildStatusText(count_), instruments_);
  CopyRow(rule_, instruments_, new_instruments_);
  rule_.Run([&] {
    log_.InstrumentStart(TextOrEmpty(instruments_, schema::kCustName),
                         TextOrEmpty(instruments_, schema::kInstId));
  });

  // An instrument id that cannot be read leaves its calibrations query unopened; the walk
  // below then ends at once.
  std::string inst_id;
  bool have_id = rule_.Run([&] { inst_id = tasks::FieldText(instruments_, schema::kInstId); });
  calibrations_ = db::Recordset();
  if (have_id) tasks::Open(rule_, main_, db::RebuildCalibrationsSql(inst_id), calibrations_);
  tasks::Open(rule_, target_, schema::kCalibrations, new_calibrations_);
  rule_.Run([&] { seen_.ClearSeenList(); });

  while (!AtEnd(rule_, calibrations_)) {
    CopyCalibration();
    const bool moved = MoveNext(rule_, calibrations_);
    rule_.Run([&] { log_.Calibration(); });
    if (!moved) break;
  }

  tasks::Close(rule_, new_calibrations_);
  tasks::Close(rule_, calibrations_);
  rule_.Run([&] { log_.InstrumentEnd(); });
}

void Rebuild::CopyCalibration() {
  // A calibration whose certificate cannot be read is treated as one without a certificate:
  // copied, with no results query.
  bool has_certificate = false;
  std::string cert_no;
  rule_.Run([&] {
    if (tasks::HasText(calibrations_, schema::kCertNo)) {
      cert_no = tasks::FieldText(calibrations_, schema::kCertNo);
      has_certificate = true;
    }
  });
  bool repeats = false;
  if (has_certificate) rule_.Run([&] { repeats = seen_.AddIfAbsent(cert_no); });
  if (repeats) return;

  CopyRow(rule_, calibrations_, new_calibrations_);

  if (has_certificate) {
    tasks::CopyQueryRows(rule_, main_, db::RebuildResultsSql(cert_no), target_, schema::kResults);
  }

  std::string statement;
  additional_ = db::Recordset();
  if (rule_.Run([&] {
        statement = db::RebuildAdditionalDataSql(tasks::FieldText(calibrations_, schema::kInstId),
                                                 calibrations_.Fields(schema::kCalRef).Value());
      })) {
    tasks::Open(rule_, main_, statement, additional_);
  }
  tasks::Open(rule_, target_, schema::kAdditionalData, new_additional_);
  if (!AtEnd(rule_, additional_)) {
    CopyRow(rule_, additional_, new_additional_);
    rule_.Run([&] { log_.AdditionalData(); });
  }
}

}  // namespace

std::string StoppedText(const jet::Error& failure, const std::string& target_path,
                        bool target_exists) {
  return tasks::CopyStoppedText("rebuild", failure, target_path, target_exists);
}

std::string RebuildStatusText(int64_t instruments) {
  return "Finding records (" + std::to_string(instruments) + ")";
}

RebuildOutcome RebuildDatabase(const RebuildRequest& request, tasks::TaskUi& ui, SeenList& seen) {
  return Rebuild(request, ui, seen).Run();
}

}  // namespace rebuild
