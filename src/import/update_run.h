// "Update Main Database": opens the main and the on-site database, starts the log, runs the
// instrument and the calibration merge under the progress window, and reports the counts.
// The import window and the command-line tool run the same steps through RunUpdate.
#pragma once

#include <string>

#include "import/import_log.h"
#include "import/import_state.h"
#include "platform/launcher.h"
#include "platform/prompter.h"
#include "tasks/progress.h"
#include "tasks/task_ui.h"

namespace import_task {

inline constexpr char kImportTitle[] = "On-site Database Import";
inline constexpr char kProgressCaption[] = "Import Progress";
inline constexpr char kImportingInstruments[] = "Importing Instruments";
inline constexpr char kImportingCalibrations[] = "Importing Calibrations";
inline constexpr char kProblemQuestion[] =
    "Problem detected during import. View log file for details?";
// The refusal when the main database cannot be copied before the update writes to it.
inline constexpr char kBackupFailed[] =
    "The main database was not changed: no backup of it could be made.";

// What the update works on: the window's input when "&Update Main Database" is pressed.
struct ImportRequest {
  std::string main_database_path;  // receives the merges
  std::string onsite_path;         // the path box's text: the on-site file, read only
};

// What the update shows and starts.
struct UpdateSurroundings {
  platform::Prompter& prompter;
  platform::Launcher& launcher;
  tasks::Progress& progress;
  // The import window: busy (hourglass) from the start of the merges to their end.
  tasks::CommandWindow& window;
};

// What surrounds the merges so that an update can be trusted: a verified copy of the main
// database before its first write (main_backup.h), and ImportReport.csv beside the log after
// it. The preview runs the update on a scratch copy without either.
struct UpdateSafeguards {
  bool backup = true;
  std::string backup_folder;  // operating-system form; empty: the main database's own folder
  bool report = true;
};

enum class UpdateEnd {
  kRefused,    // the path or a database was refused: nothing written, the log untouched
  kStopped,    // "No" at the error prompt
  kCompleted,  // the summary was shown: the window returns to the main menu
};

struct UpdateResult {
  UpdateEnd end = UpdateEnd::kRefused;
  ImportState state;
  std::string summary;  // on completion
  // The copy made before the first write (operating-system form); empty when none was made.
  std::string backup_path;
};

// Runs the update of the request's main database from its on-site file.
// Once both databases are open and before anything is written, the main database is copied
// (see UpdateSafeguards); when that fails the update shows kBackupFailed with the reason and
// ends refused. When it ends after writing (completed, or No at the prompt), the main file's
// fingerprint is recorded beside the backup and the report written beside the log, counts so
// far included, so that a stopped update still says what it changed and where the copy is.
// Every failure after both databases are open goes to the prompt "Error: " + description +
// CR + "Resume Processing?": Yes goes on with the next step (after a failed merge, with the
// step after that merge), No ends the update at once, closing both databases and the
// progress window and restoring the pointer, with no summary and nothing more logged.
UpdateResult RunUpdate(const ImportRequest& request, UpdateSurroundings& surroundings,
                       ImportLog& log, const UpdateSafeguards& safeguards = {});

// "Update Complete." and the three counts, one a line, separated by single CRs.
std::string SummaryText(const ImportState& state);

}  // namespace import_task
