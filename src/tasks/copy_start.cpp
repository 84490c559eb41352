#include "tasks/copy_start.h"

#include "db/schema.h"
#include "tasks/rule_steps.h"
#include "tasks/target_checks.h"

namespace tasks {

bool DeleteReplacedTarget(TaskUi& ui, std::string_view target) {
  try {
    DeleteTarget(target);
    return true;
  } catch (const jet::Error& error) {
    ui.prompter.Show({kFileErrorPrefix + error.description(), platform::Buttons::kOk,
                      platform::Icon::kNone, ""});
    ui.window.SetBusy(false);
    return false;
  }
}

void AbandonCopy(TaskUi& ui, CopyDatabases& databases, std::initializer_list<db::Recordset*> open) {
  FailureRule quiet;
  for (db::Recordset* rs : open) Close(quiet, *rs);
  Close(quiet, databases.new_instruments);
  Close(quiet, databases.main);
  Close(quiet, databases.target);
  quiet.Run([&] { ui.progress.Unload(); });
}

void StartCopy(FailureRule& rule, TaskUi& ui, const CopyPaths& paths, CopyDatabases& databases) {
  rule.Run([&] { ui.window.SetBusy(true); });
  // OpenDatabase takes the laboratory's backslash-joined paths as they are.
  databases.main =
      db::DBEngine().OpenDatabase(std::string(paths.main_database), jet::OpenMode::kReadOnly);
  CopyTemplate(paths.results_folder, paths.target);
  databases.target = db::DBEngine().OpenDatabase(std::string(paths.target));
  rule.Run([&] { ui.progress.SetCaption(kCopyProgressCaption); });
  rule.Run([&] { ui.progress.SetTask(kCopyProgressTask); });
  rule.Run([&] { ui.progress.Show(); });
  rule.Run([&] { ui.progress.LetEventsRun(); });
  Open(rule, databases.target, db::schema::kInstruments, databases.new_instruments);
}

std::string CopyStoppedText(std::string_view command, const jet::Error& failure,
                            std::string_view target_path, bool target_exists) {
  std::string text = "Error " + std::to_string(failure.number()) + ": " + failure.description() +
                     "\r\rThe " + std::string(command) + " has stopped.";
  if (target_exists) {
    text += " The partly written database " + std::string(target_path) + " has been left in place.";
  } else {
    text += " No database was written.";
  }
  return text;
}

}  // namespace tasks
