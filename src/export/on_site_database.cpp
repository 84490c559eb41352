#include "export/on_site_database.h"

#include "db/dao.h"
#include "db/schema.h"
#include "db/statements.h"
#include "platform/files.h"
#include "tasks/copy_start.h"
#include "tasks/copy_walk.h"
#include "tasks/failure_rule.h"
#include "tasks/rule_steps.h"
#include "tasks/target_checks.h"

namespace export_task {
namespace {

namespace schema = db::schema;
using platform::Buttons;
using platform::Icon;
using tasks::AtEnd;
using tasks::CopyRow;
using tasks::MoveNext;

class OnSiteExport {
 public:
  OnSiteExport(const OnSiteRequest& request, tasks::TaskUi& ui, tasks::FailureRule& rule,
               OnSiteOutcome& outcome)
      : request_(request), ui_(ui), rule_(rule), outcome_(outcome) {}

  // Everything after the checks; a failure passes out while the rule is inactive.
  void Run();
  // After a stopping failure: closes what is open, whatever fails meanwhile.
  void Abandon();

 private:
  void ExportCustomer(const std::string& customer);
  void ExportInstrument(CustomerCounts& counts);
  void ExportResults(const std::string& cert_no, CustomerCounts& counts);

  const OnSiteRequest& request_;
  tasks::TaskUi& ui_;
  tasks::FailureRule& rule_;
  OnSiteOutcome& outcome_;

  tasks::CopyDatabases copy_;
  db::Database& main_ = copy_.main;
  db::Database& target_ = copy_.target;
  db::Recordset& new_instruments_ = copy_.new_instruments;
  db::Recordset instruments_;
  db::Recordset calibrations_;
  db::Recordset new_calibrations_;
};

void OnSiteExport::Run() {
  tasks::StartCopy(rule_, ui_,
                   {request_.results_folder, request_.main_database_path, request_.target_path},
                   copy_);

  const size_t customer_count = request_.customers.size();
  for (size_t i = 0; i < customer_count; ++i) ExportCustomer(request_.customers[i]);

  tasks::FinishCopy(rule_, ui_, copy_, instruments_,
                    {outcome_.summary, Buttons::kOk, Icon::kInformation, kDoneTitle});
}

void OnSiteExport::ExportCustomer(const std::string& customer) {
  CustomerCounts counts{customer};
  tasks::Open(rule_, main_, db::ExportInstrumentsSql(customer), instruments_);
  // MoveLast on a customer without instruments would fail; such a customer simply gets its
  // line of zeros, whichever failure rule is in force.
  if (!AtEnd(rule_, instruments_)) {
    rule_.Run([&] { instruments_.MoveLast(); });
    rule_.Run([&] { instruments_.MoveFirst(); });
  }
  while (!AtEnd(rule_, instruments_)) {
    ExportInstrument(counts);
    if (!MoveNext(rule_, instruments_)) break;
  }
  outcome_.summary += SummaryLine(counts);
  outcome_.counts.push_back(std::move(counts));
}

void OnSiteExport::ExportInstrument(CustomerCounts& counts) {
  ++counts.instruments;
  tasks::ShowWalkProgress(rule_, ui_, ExportStatusText(counts.customer, counts.instruments),
                          instruments_);
  CopyRow(rule_, instruments_, new_instruments_);

  // An instrument id that cannot be read leaves its queries unopened: nothing to walk.
  std::string inst_id;
  const bool have_id =
      rule_.Run([&] { inst_id = tasks::FieldText(instruments_, schema::kInstId); });

  calibrations_ = db::Recordset();
  if (have_id) tasks::Open(rule_, main_, db::ExportCalibrationsSql(inst_id), calibrations_);
  tasks::Open(rule_, target_, schema::kCalibrations, new_calibrations_);
  while (!AtEnd(rule_, calibrations_)) {
    ++counts.calibrations;
    CopyRow(rule_, calibrations_, new_calibrations_);
    std::string cert_no;
    bool has_certificate = false;
    rule_.Run([&] {
      if (tasks::HasText(calibrations_, schema::kCertNo)) {
        cert_no = tasks::FieldText(calibrations_, schema::kCertNo);
        has_certificate = true;
      }
    });
    if (has_certificate) ExportResults(cert_no, counts);
    if (!MoveNext(rule_, calibrations_)) break;
  }
  tasks::Close(rule_, new_calibrations_);
  tasks::Close(rule_, calibrations_);

  // All of the instrument's additional data, whatever calibration it belongs to.
  db::Recordset additional;
  db::Recordset new_additional;
  if (have_id) tasks::Open(rule_, main_, db::ExportAdditionalDataSql(inst_id), additional);
  tasks::Open(rule_, target_, schema::kAdditionalData, new_additional);
  tasks::CopyEveryRow(rule_, additional, new_additional);
  tasks::Close(rule_, new_additional);
  tasks::Close(rule_, additional);
}

void OnSiteExport::ExportResults(const std::string& cert_no, CustomerCounts& counts) {
  counts.results +=
      tasks::CopyQueryRows(rule_, main_, db::ExportResultsSql(cert_no), target_, schema::kResults);
}

void OnSiteExport::Abandon() {
  tasks::AbandonCopy(ui_, copy_, {&new_calibrations_, &calibrations_, &instruments_});
}

}  // namespace

std::string SummaryLine(const CustomerCounts& counts) {
  return counts.customer + " : " + std::to_string(counts.instruments) + " instruments " +
         std::to_string(counts.calibrations) + " calibrations " + std::to_string(counts.results) +
         " results " + "\r";
}

std::string ExportStatusText(const std::string& customer, int64_t instruments) {
  return "Finding records for " + customer + "  (" + std::to_string(instruments) + ")";
}

std::string StoppedText(const jet::Error& failure, const std::string& target_path,
                        bool target_exists) {
  return tasks::CopyStoppedText("export", failure, target_path, target_exists);
}

std::string DefaultTargetPath(const std::string& results_folder, const tasks::LocalTime& today) {
  return results_folder + "\\Quorbase On-Site Export " + tasks::DayMonthYear(today) + ".mdb";
}

OnSiteOutcome CreateOnSiteDatabase(const OnSiteRequest& request, tasks::TaskUi& ui) {
  OnSiteOutcome outcome;
  if (request.customers.empty()) {
    ui.prompter.Show({kNoCustomerText, Buttons::kOk, Icon::kNone, ""});
    return outcome;
  }
  const tasks::TargetCheck check =
      tasks::CheckTarget(ui.prompter, request.target_path, request.main_database_path);
  if (check == tasks::TargetCheck::kRefused) return outcome;
  if (check == tasks::TargetCheck::kDeclined) {
    outcome.end = OnSiteEnd::kDeclined;
    return outcome;
  }
  // Replacing an existing file puts the skip rule in force for the rest of the export.
  tasks::FailureRule rule(tasks::OnFailure::kPassUp);
  if (check == tasks::TargetCheck::kReplace) {
    if (!tasks::DeleteReplacedTarget(ui, request.target_path)) {
      outcome.end = OnSiteEnd::kDeleteFailed;
      return outcome;
    }
    rule.SetPolicy(tasks::OnFailure::kSkip);
  }

  OnSiteExport run(request, ui, rule, outcome);
  try {
    run.Run();
    outcome.end = OnSiteEnd::kFinished;
  } catch (const jet::Error& error) {
    run.Abandon();
    outcome.end = OnSiteEnd::kStopped;
    outcome.failure = error;
    const bool exists = platform::FileExists(request.target_path);
    ui.prompter.Show(
        {StoppedText(error, request.target_path, exists), Buttons::kOk, Icon::kExclamation, ""});
    ui.window.SetBusy(false);
  }
  outcome.failures_skipped = rule.skipped();
  return outcome;
}

}  // namespace export_task
