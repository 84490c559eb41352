#include "import/update_run.h"

#include <filesystem>

#include "db/dao.h"
#include "db/schema.h"
#include "import/calibration_merge.h"
#include "import/import_report.h"
#include "import/instrument_merge.h"
#include "import/main_backup.h"
#include "jet/error.h"
#include "platform/files.h"
#include "tasks/date_text.h"
#include "tasks/failure_rule.h"
#include "tasks/runtime_errors.h"

namespace import_task {
namespace {

constexpr char kCr = '\r';

using platform::Buttons;
using platform::Icon;

class Update {
 public:
  Update(const ImportRequest& request, UpdateSurroundings& s, ImportLog& log,
         const UpdateSafeguards& safeguards)
      : request_(request), s_(s), log_(log), safeguards_(safeguards) {}

  UpdateResult Run() {
    const std::string& path = request_.onsite_path;
    if (path.empty() || !platform::FileExists(path)) {
      s_.prompter.Show({"File not found " + path, Buttons::kOk, Icon::kNone, ""});
      return result_;
    }
    try {
      main_ = db::DBEngine().Workspaces(0).OpenDatabase(
          platform::NativePath(request_.main_database_path));
      onsite_ = db::DBEngine().Workspaces(0).OpenDatabase(platform::NativePath(path));
    } catch (const jet::Error& e) {
      s_.prompter.Show({"File Error: " + e.description(), Buttons::kOk, Icon::kNone, ""});
      Release();
      return result_;
    }
    if (safeguards_.backup && !Backup()) {
      Release();
      return result_;
    }

    // From here on every failure goes to the error prompt.
    tasks::FailureRule ask(tasks::OnFailure::kAskToResume, &s_.prompter);
    const bool completed = ask.RunEach({
        [&] { onsite_.TableDefs(db::schema::kInstruments); },
        [&] { log_.StartLog(); },
        [&] {
          busy_ = true;
          s_.window.SetBusy(true);
        },
        [&] {
          progress_shown_ = true;
          // The first phase's name goes in before the window shows: the instrument merge
          // lets no events through, so the window keeps whatever it painted on showing.
          s_.progress.SetCaption(kProgressCaption);
          s_.progress.SetTask(kImportingInstruments);
          s_.progress.Show();
        },
        [&] { result_.state.Reset(); },
        [&] { ScanInstruments(onsite_, main_, result_.state); },
        [&] {
          s_.progress.SetTask(kImportingCalibrations);
          ScanCalibrations(onsite_, main_, result_.state, log_, s_.progress);
        },
        [&] {
          main_.Close();
          onsite_.Close();
        },
        [&] {
          progress_shown_ = false;
          s_.progress.Unload();
          busy_ = false;
          s_.window.SetBusy(false);
        },
        [&] { result_.summary = SummaryText(result_.state); },
        [&] {
          s_.prompter.Show({result_.summary, Buttons::kOk, Icon::kInformation, kImportTitle});
        },
        [&] { log_.LogMessage(result_.summary); },
        [&] {
          if (!result_.state.ProblemDetected) return;
          const platform::Answer answer = s_.prompter.Show(
              {kProblemQuestion, Buttons::kYesNo, Icon::kExclamation, kImportTitle});
          if (answer == platform::Answer::kYes && !s_.launcher.EditTextFile(log_.LogFilePath())) {
            // A program that could not be started.
            tasks::ThrowRuntimeError(tasks::kVbFileNotFound);
          }
        },
    });
    if (!completed) {
      StopHere();
      result_.end = UpdateEnd::kStopped;
      return result_;
    }
    Release();
    result_.end = UpdateEnd::kCompleted;
    return result_;
  }

 private:
  // Copies the main database before anything is written; shows why when it cannot.
  bool Backup() {
    const std::string main = platform::NativePath(request_.main_database_path);
    const std::string folder = safeguards_.backup_folder.empty()
                                   ? std::filesystem::path(main).parent_path().string()
                                   : safeguards_.backup_folder;
    const BackupMade made =
        BackupMainDatabase(main, folder.empty() ? "." : folder, tasks::LocalNow());
    if (made.path.empty()) {
      s_.prompter.Show({std::string(kBackupFailed) + kCr + made.error, Buttons::kOk,
                        Icon::kExclamation, kImportTitle});
      return false;
    }
    result_.backup_path = made.path;
    return true;
  }

  // "No" at the error prompt: the databases are released, and the progress window and the busy
  // pointer do not outlive the update that showed them.
  void StopHere() {
    Release();
    if (progress_shown_) s_.progress.Unload();
    if (busy_) s_.window.SetBusy(false);
  }

  void Release() {
    for (db::Database* database : {&main_, &onsite_}) {
      try {
        if (database->IsOpen()) database->Close();
      } catch (const jet::Error&) {
        // Releasing after a failure: the file is let go with the handle whatever Close says.
      }
      *database = db::Database();
    }
  }

  const ImportRequest& request_;
  UpdateSurroundings& s_;
  ImportLog& log_;
  const UpdateSafeguards& safeguards_;
  db::Database main_;
  db::Database onsite_;
  UpdateResult result_;
  bool busy_ = false;
  bool progress_shown_ = false;
};

}  // namespace

UpdateResult RunUpdate(const ImportRequest& request, UpdateSurroundings& surroundings,
                       ImportLog& log, const UpdateSafeguards& safeguards) {
  UpdateResult result = Update(request, surroundings, log, safeguards).Run();
  if (result.end == UpdateEnd::kRefused) return result;
  // Both databases are closed by now: the fingerprint is of the file as the update left it.
  if (!result.backup_path.empty()) {
    if (const auto after = FingerprintOf(platform::NativePath(request.main_database_path))) {
      WriteFingerprint(FingerprintPathOf(result.backup_path), *after);
    }
  }
  if (safeguards.report) {
    const ImportState& s = result.state;
    WriteReport(
        ReportPathBeside(log.LogFilePath()), s.report,
        {result.end == UpdateEnd::kCompleted ? "completed" : "stopped", s.NewInstrumentCount,
         s.NewCalibrationCount, s.NewResultCount, result.backup_path});
  }
  return result;
}

std::string SummaryText(const ImportState& state) {
  const std::string cr(1, kCr);
  return "Update Complete." + cr + std::to_string(state.NewInstrumentCount) +
         " new instruments copied" + cr + std::to_string(state.NewCalibrationCount) +
         " new calibrations copied" + cr + std::to_string(state.NewResultCount) +
         " new results copied";
}

}  // namespace import_task
