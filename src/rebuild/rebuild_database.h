// The rebuild of the main database into a new file: a fresh copy of the empty template that
// receives every instrument with its calibrations, result lines and additional data. Every
// step runs under the skip rule, so the new file gets every row that can still be written.
//
// Three failures are not skipped, as they would end in "... instruments copied." over a copy
// that holds nothing or lost its rest: an existing target that cannot be deleted (another
// writer holds it, it is read-only) ends the rebuild with "File Error: " + the reason before
// anything is touched; a main database, template or target that cannot be opened, and a new
// file that has reached its largest size (3036), stop it with a message naming the error.
//
// The rebuild window and `quorbase rebuild` call RebuildDatabase with the path the user gave;
// progress, questions and messages go through the TaskUi.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "jet/error.h"
#include "rebuild/export_log.h"
#include "rebuild/seen_list.h"
#include "tasks/task_ui.h"

namespace rebuild {

inline constexpr char kDoneTitle[] = "New database created";
inline constexpr char kDoneSuffix[] = " instruments copied.";

struct RebuildRequest {
  std::string results_folder;      // holds the template "Empty_Quorbase.mdb"
  std::string main_database_path;  // read only
  std::string target_path;         // the path box's text when the button was pressed
  // The log, in the current folder unless a test puts it elsewhere.
  std::string log_path = kExportLogName;
  // The log header's date and time; empty: now, in the general date-time form.
  std::string log_time;
};

enum class RebuildEnd {
  kRefused,       // empty path or the main database: nothing touched
  kDeclined,      // the user kept the existing file
  kDeleteFailed,  // the existing file could not be deleted: "File Error: ..." shown
  kFinished,      // ran to the end (whatever it skipped)
  kStopped,       // a failure that skipping cannot get past; its error was shown
};

struct RebuildOutcome {
  RebuildEnd end = RebuildEnd::kRefused;
  int64_t instruments = 0;  // instrument rows walked, as the final message shows them
  size_t failures_skipped = 0;
  std::optional<jet::Error> failure;  // what stopped the rebuild
};

// "Finding records (" + count + ")".
std::string RebuildStatusText(int64_t instruments);
// The message that reports a stopped rebuild.
std::string StoppedText(const jet::Error& failure, const std::string& target_path,
                        bool target_exists);

// Runs the checks, then the rebuild. `seen` is the program's certificate list.
RebuildOutcome RebuildDatabase(const RebuildRequest& request, tasks::TaskUi& ui, SeenList& seen);

}  // namespace rebuild
