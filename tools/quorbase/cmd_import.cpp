// quorbase import RESULTS_FOLDER ONSITE_FILE [--resume-on-error] [--dry-run]: the on-site import
// without a window, by the same steps as the import window's "Update Main Database".
// ImportLog.txt and ImportReport.csv are written in the current folder, the backup beside the
// main database; the messages the window would show are printed instead. The error prompt is
// answered No (the import stops, exit status 1) unless --resume-on-error answers Yes; the offer
// to open the log is declined. --dry-run prints what the update would do and writes nothing.
#include <iostream>
#include <string>

#include "app/program_values.h"
#include "import/import_log.h"
#include "import/import_preview.h"
#include "import/update_run.h"
#include "platform/launcher.h"
#include "quorbase/command.h"
#include "tasks/task_ui.h"

namespace quorbase_tool {
namespace {

std::string Lines(std::string text) {
  for (char& c : text) {
    if (c == '\r') c = '\n';
  }
  return text;
}

class ConsolePrompter : public platform::Prompter {
 public:
  explicit ConsolePrompter(bool resume_on_error) : resume_on_error_(resume_on_error) {}

  platform::Answer Show(const platform::Message& message) override {
    std::cout << Lines(message.text) << "\n";
    if (message.buttons != platform::Buttons::kYesNo) return platform::Answer::kOk;
    // The error prompt has no icon; the only other question offers the log in an editor.
    const bool yes = message.icon == platform::Icon::kNone && resume_on_error_;
    std::cout << (yes ? "Yes" : "No") << "\n";
    return yes ? platform::Answer::kYes : platform::Answer::kNo;
  }
  std::string InputBox(std::string_view, std::string_view, std::string_view) override { return ""; }
  std::optional<std::string> OpenFile(const platform::FileOpenRequest&) override {
    return std::nullopt;
  }

 private:
  bool resume_on_error_;
};

// The progress window's task lines, on the error stream so that the output is the messages.
class ConsoleProgress : public tasks::Progress {
 public:
  void SetCaption(const std::string&) override {}
  void SetTask(const std::string& text) override { std::cerr << text << "\n"; }
  void SetStatus(const std::string&) override {}
  void SetBar(double) override {}
  void Show() override {}
  void LetEventsRun() override {}
  void Unload() override {}
};

int RunImport(const std::vector<std::string>& args) {
  std::vector<std::string> paths;
  bool resume_on_error = false;
  bool dry_run = false;
  for (const std::string& arg : args) {
    if (arg == "--resume-on-error") {
      resume_on_error = true;
    } else if (arg == "--dry-run") {
      dry_run = true;
    } else if (arg.starts_with("--")) {
      throw UsageError{"unknown option " + arg};
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() != 2) throw UsageError{"import needs RESULTS_FOLDER and ONSITE_FILE"};

  app::ProgramValues values;
  values.program_name = "Fendra";
  values.results_folder = paths[0];
  values.main_database_path = values.results_folder + app::kMainDatabaseName;

  ConsolePrompter prompter(resume_on_error);
  const import_task::ImportRequest request{values.main_database_path, paths[1]};
  if (dry_run) {
    const import_task::PreviewResult preview = import_task::PreviewUpdate(request, prompter);
    std::cout << import_task::PreviewText(preview);
    return preview.error.empty() && preview.main_unchanged ? 0 : 1;
  }
  ConsoleProgress progress;
  tasks::NoWindow window;
  platform::SystemLauncher launcher;
  import_task::UpdateSurroundings surroundings{prompter, launcher, progress, window};
  import_task::ImportLog log;
  const import_task::UpdateResult result = import_task::RunUpdate(request, surroundings, log);
  if (!result.backup_path.empty()) std::cerr << "backup: " << result.backup_path << "\n";
  if (result.end == import_task::UpdateEnd::kStopped) {
    // The main database has been changed up to here: say how much, and where the way back is.
    const import_task::ImportState& s = result.state;
    std::cout << "Stopped after writing " << s.NewInstrumentCount << " instruments, "
              << s.NewCalibrationCount << " calibrations and " << s.NewResultCount
              << " result lines; see " << import_task::kImportReportName << "\n";
  }
  return result.end == import_task::UpdateEnd::kCompleted ? 0 : 1;
}

const RegisterCommand kRegister({
    .name = "import",
    .usage = "RESULTS_FOLDER ONSITE_FILE [--resume-on-error] [--dry-run]",
    .summary = "merge an on-site database into RESULTS_FOLDER\\Quorbase.mdb after backing it up; "
               "log in ImportLog.txt, report in ImportReport.csv (--dry-run: what it would do, "
               "nothing written)",
    .run = RunImport,
});

}  // namespace
}  // namespace quorbase_tool
