// What the import window does, without the window: choosing the on-site file, running the
// update and leaving. Form_Import owns one, forwards its buttons' clicks to it and implements
// ImportView for it.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "import/import_log.h"
#include "import/update_run.h"

namespace import_task {

inline constexpr char kImportCaption[] = "Import from On-Site database";
inline constexpr char kSelectTitle[] = "Select database with mobile on-site data";
inline constexpr char kDatabaseFilter[] = "Database Files (*.mdb)|*.mdb";

// The window's side.
class ImportView {
 public:
  virtual ~ImportView() = default;
  // Text_mobileDB.
  virtual std::string PathText() const = 0;
  virtual void SetPathText(const std::string& text) = 0;
  // Shows the main menu, then unloads the import window.
  virtual void ReturnToMenu() = 0;
};

// The window's caption: the design caption + " [Target = " + main database path + "]".
std::string ImportWindowCaption(const std::string& main_database_path);

// The folder the main database lies in, the results folder, in the system's form: where the
// file dialog of "&Select" opens. Empty for a path without a folder.
std::string ResultsFolderOf(const std::string& main_database_path);

// True when `path` opens as a database whose Instruments, Calibrations and Results tables
// open; [Additional Data] is not required.
bool IsResultsDatabase(const std::string& path);

class ImportController {
 public:
  // `main_database_path`: the database the updates merge into.
  ImportController(std::string main_database_path, ImportView& view,
                   UpdateSurroundings surroundings)
      : main_database_path_(std::move(main_database_path)),
        view_(view),
        surroundings_(surroundings) {}

  // "&Select": the file dialog, then the validity test; an invalid file is refused with a
  // warning and empties the path box.
  void Select();

  // "&Update Main Database". Events are handled while the update runs, so a click here or
  // on "&Main Menu" can arrive during a run: it waits until the run has finished (a completed
  // run returns to the menu, which ends the window and with it any waiting click).
  void Update();

  // "&Main Menu".
  void MainMenu();

  bool running() const { return running_; }
  // The last update's outcome, for the window and its tests.
  const std::optional<UpdateResult>& last_result() const { return last_result_; }
  ImportLog& log() { return log_; }

 private:
  std::string main_database_path_;
  ImportView& view_;
  UpdateSurroundings surroundings_;
  ImportLog log_;
  std::optional<UpdateResult> last_result_;
  bool running_ = false;
  bool update_waiting_ = false;
  bool menu_waiting_ = false;
};

}  // namespace import_task
