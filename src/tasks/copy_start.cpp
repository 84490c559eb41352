#include "tasks/copy_start.h"

#include "db/schema.h"
#include "tasks/rule_steps.h"
#include "tasks/target_checks.h"

namespace tasks {

void StartCopy(FailureRule& rule, TaskUi& ui, const CopyPaths& paths, CopyDatabases& databases) {
  rule.Run([&] { ui.window.SetBusy(true); });
  // OpenDatabase takes the laboratory's backslash-joined paths as they are.
  rule.Run([&] { databases.main = db::DBEngine().OpenDatabase(std::string(paths.main_database)); });
  rule.Run([&] { CopyTemplate(paths.results_folder, paths.target); });
  rule.Run([&] { databases.target = db::DBEngine().OpenDatabase(std::string(paths.target)); });
  rule.Run([&] { ui.progress.SetCaption(kCopyProgressCaption); });
  rule.Run([&] { ui.progress.SetTask(kCopyProgressTask); });
  rule.Run([&] { ui.progress.Show(); });
  rule.Run([&] { ui.progress.LetEventsRun(); });
  Open(rule, databases.target, db::schema::kInstruments, databases.new_instruments);
}

}  // namespace tasks
