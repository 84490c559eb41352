// quorbase rebuild RESULTS_FOLDER TARGET [--overwrite] [--verbose]: the rebuild window's create
// button without the window, for scheduled and scripted use. The main database and the template
// are RESULTS_FOLDER's, joined as the programs join them; export_log.txt is written in the
// current folder. Progress goes to the error stream, the final "... instruments copied." to the
// output. Same code as the window.
#include <iostream>
#include <string>

#include "app/program_values.h"
#include "platform/files.h"
#include "quorbase/command.h"
#include "quorbase/terminal_prompter.h"
#include "rebuild/rebuild_database.h"
#include "tasks/task_ui.h"

namespace quorbase_tool {
namespace {

// Progress lines from this many instruments on, one per step; --verbose shows every one.
constexpr int kProgressStepPercent = 5;

// The progress window's task and status lines on the error stream: the status every
// kProgressStepPercent of the instruments (every instrument with --verbose).
class RebuildProgress : public tasks::Progress {
 public:
  explicit RebuildProgress(bool verbose) : verbose_(verbose) {}

  void SetCaption(const std::string&) override {}
  void SetTask(const std::string& text) override { std::cerr << text << "\n"; }
  void SetStatus(const std::string& text) override { status_ = text; }
  void SetBar(double percent) override { percent_ = percent; }
  void Show() override {}
  void LetEventsRun() override {
    if (status_.empty()) return;
    if (!verbose_ && percent_ < next_percent_) return;
    std::cerr << status_ << "  " << static_cast<int>(percent_) << "%\n";
    while (next_percent_ <= percent_) next_percent_ += kProgressStepPercent;
    status_.clear();
  }
  void Unload() override {}

 private:
  bool verbose_;
  std::string status_;
  double percent_ = 0;
  double next_percent_ = 0;
};

int RunRebuild(const std::vector<std::string>& args) {
  std::vector<std::string> paths;
  bool overwrite = false;
  bool verbose = false;
  for (const std::string& arg : args) {
    if (arg == "--overwrite") {
      overwrite = true;
    } else if (arg == "--verbose") {
      verbose = true;
    } else if (arg.starts_with("--")) {
      throw UsageError{"unknown option " + arg};
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() != 2) throw UsageError{"rebuild needs RESULTS_FOLDER and TARGET"};

  rebuild::RebuildRequest request;
  request.results_folder = paths[0];
  request.main_database_path =
      platform::NativePath(request.results_folder + app::kMainDatabaseName);
  request.target_path = platform::NativePath(paths[1]);

  OverwritePrompter prompter(overwrite);
  RebuildProgress progress(verbose);
  tasks::NoWindow window;
  tasks::TaskUi ui{prompter, progress, window};
  rebuild::SeenList seen;
  const rebuild::RebuildOutcome outcome = rebuild::RebuildDatabase(request, ui, seen);
  if (outcome.end != rebuild::RebuildEnd::kFinished) return 1;
  if (outcome.failures_skipped > 0) {
    std::cerr << outcome.failures_skipped << " failed steps skipped\n";
  }
  // A main database, template or target that cannot be opened stops the rebuild (above); a walk
  // that finds no instrument (none there, or its query failed) still finishes with 0, and a
  // script must learn that nothing arrived.
  if (outcome.instruments == 0 || !platform::FileExists(request.target_path)) return 1;
  return 0;
}

const RegisterCommand kRegister({
    .name = "rebuild",
    .usage = "RESULTS_FOLDER TARGET [--overwrite] [--verbose]",
    .summary = "a fresh copy of RESULTS_FOLDER\\Empty_Quorbase.mdb receiving every readable row "
               "of RESULTS_FOLDER\\Quorbase.mdb; log in export_log.txt; exit status 1 when "
               "nothing could be copied (--verbose: each instrument's progress)",
    .run = RunRebuild,
});

}  // namespace
}  // namespace quorbase_tool
