// The rebuild of the main database into a new file: a fresh copy of the empty template that
// receives every instrument with its calibrations, result lines and additional data. Every
// step runs under the skip rule, so the new file gets every row that can still be written.
//
// The rebuild window and `quorbase rebuild` call RebuildDatabase with the path the user gave;
// progress, questions and messages go through the TaskUi.
#pragma once

#include <cstdint>
#include <string>

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
  kRefused,   // empty path or the main database: nothing touched
  kDeclined,  // the user kept the existing file
  kFinished,  // ran to the end (whatever it skipped)
};

struct RebuildOutcome {
  RebuildEnd end = RebuildEnd::kRefused;
  int64_t instruments = 0;  // instrument rows walked, as the final message shows them
  size_t failures_skipped = 0;
};

// "Finding records (" + count + ")".
std::string RebuildStatusText(int64_t instruments);

// Runs the checks, then the rebuild. `seen` is the program's certificate list.
RebuildOutcome RebuildDatabase(const RebuildRequest& request, tasks::TaskUi& ui, SeenList& seen);

}  // namespace rebuild
