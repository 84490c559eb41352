#include "import/import_controller.h"

#include "db/dao.h"
#include "db/schema.h"
#include "jet/error.h"
#include "platform/files.h"

namespace import_task {

std::string ImportWindowCaption(const std::string& main_database_path) {
  return std::string(kImportCaption) + " [Target = " + main_database_path + "]";
}

bool IsResultsDatabase(const std::string& path) {
  try {
    // Read-only: a file another program is writing is still a results database; the update
    // says it is in use when it comes to write.
    db::Database database = db::DBEngine().Workspaces(0).OpenDatabase(platform::NativePath(path),
                                                                      jet::OpenMode::kReadOnly);
    for (std::string_view table :
         {db::schema::kInstruments, db::schema::kCalibrations, db::schema::kResults}) {
      database.OpenRecordset(table).Close();
    }
    database.Close();
    return true;
  } catch (const jet::Error&) {
    // The test's answer: not a results database.
    return false;
  }
}

std::string ResultsFolderOf(const std::string& main_database_path) {
  const size_t last = main_database_path.find_last_of("\\/");
  if (last == std::string::npos) return std::string();
  return platform::NativePath(main_database_path.substr(0, last));
}

void ImportController::Select() {
  // The on-site files come back to the results folder, where the export puts them; the
  // program's own folder, the dialog's default, never holds one.
  const std::optional<std::string> chosen = surroundings_.prompter.OpenFile(
      {kSelectTitle, kDatabaseFilter, ResultsFolderOf(main_database_path_)});
  if (!chosen) return;
  if (IsResultsDatabase(*chosen)) {
    view_.SetPathText(*chosen);
    return;
  }
  surroundings_.prompter.Show({"Invalid database file " + *chosen, platform::Buttons::kOk,
                               platform::Icon::kExclamation, ""});
  view_.SetPathText("");
}

void ImportController::Update() {
  if (running_) {
    update_waiting_ = true;
    return;
  }
  running_ = true;
  bool again = true;
  while (again) {
    update_waiting_ = false;
    last_result_ = RunUpdate({main_database_path_, view_.PathText()}, surroundings_, log_);
    again = update_waiting_ && !menu_waiting_ && last_result_->end != UpdateEnd::kCompleted;
  }
  running_ = false;
  if (last_result_->end == UpdateEnd::kCompleted || menu_waiting_) {
    menu_waiting_ = false;
    update_waiting_ = false;
    view_.ReturnToMenu();
  }
}

void ImportController::MainMenu() {
  if (running_) {
    menu_waiting_ = true;
    return;
  }
  view_.ReturnToMenu();
}

}  // namespace import_task
