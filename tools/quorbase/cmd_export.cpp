// quorbase export RESULTS_FOLDER TARGET --customer NAME [--customer NAME ...] [--overwrite]:
// the on-site database of the export window, made without it for scripted use. The customers
// are the export list in the order given; the summary lines are printed as the window shows
// them. Same code as the window's create button.
#include <iostream>
#include <string>

#include "app/program_values.h"
#include "export/on_site_database.h"
#include "quorbase/command.h"
#include "quorbase/terminal_prompter.h"
#include "tasks/task_ui.h"

namespace quorbase_tool {
namespace {

// The progress window's status line, on the error stream, once per instrument.
class ExportProgress : public tasks::Progress {
 public:
  void SetCaption(const std::string&) override {}
  void SetTask(const std::string&) override {}
  void SetStatus(const std::string& text) override { status_ = text; }
  void SetBar(double) override {}
  void Show() override {}
  void LetEventsRun() override {
    if (verbose_ && !status_.empty()) std::cerr << status_ << "\n";
  }
  void Unload() override {}
  bool verbose_ = false;

 private:
  std::string status_;
};

int RunExport(const std::vector<std::string>& args) {
  std::vector<std::string> paths;
  export_task::OnSiteRequest request;
  bool overwrite = false;
  bool verbose = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--customer") {
      if (i + 1 >= args.size()) throw UsageError{"--customer needs a name"};
      request.customers.push_back(args[++i]);
    } else if (arg == "--overwrite") {
      overwrite = true;
    } else if (arg == "--verbose") {
      verbose = true;
    } else if (arg.starts_with("--")) {
      throw UsageError{"unknown option " + arg};
    } else {
      paths.push_back(arg);
    }
  }
  if (paths.size() != 2) throw UsageError{"export needs RESULTS_FOLDER and TARGET"};
  if (request.customers.empty()) throw UsageError{"give at least one --customer NAME"};

  request.results_folder = paths[0];
  request.main_database_path = request.results_folder + app::kMainDatabaseName;
  request.target_path = paths[1];

  OverwritePrompter prompter(overwrite);
  ExportProgress progress;
  progress.verbose_ = verbose;
  tasks::NoWindow window;
  tasks::TaskUi ui{prompter, progress, window};
  const export_task::OnSiteOutcome outcome = export_task::CreateOnSiteDatabase(request, ui);
  return outcome.end == export_task::OnSiteEnd::kFinished ? 0 : 1;
}

const RegisterCommand kExport{
    {"export", "RESULTS_FOLDER TARGET --customer NAME [--customer NAME ...] [--overwrite]",
     "an on-site database holding the named customers' instruments, calibrations, results and "
     "additional data; prints one summary line per customer (--verbose: each instrument too)",
     RunExport}};

}  // namespace
}  // namespace quorbase_tool
