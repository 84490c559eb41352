// Creating an on-site database: a fresh copy of the empty template that receives, customer by
// customer, every instrument of the chosen customers with its calibrations, their result lines
// and the instrument's additional data.
//
// The export window and `quorbase export` call CreateOnSiteDatabase with the export list and
// the path as they stand when the button is pressed; the request holds copies, so a list
// changed while the export runs does not change the export. Progress, questions and messages
// go through the TaskUi.
//
// Failures: once an existing target has been replaced, every failing step is skipped and the
// export goes on. On a new target a failure stops the export: the engine's error is shown, the
// window returns to idle and the partly written file is left in place. Whatever the rule, a
// main database, template or target that cannot be opened, and a target full to its largest
// size, stop the export the same way: a summary of zeros would read as customers without
// instruments.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/error.h"
#include "tasks/date_text.h"
#include "tasks/target_checks.h"
#include "tasks/task_ui.h"

namespace export_task {

inline constexpr char kNoCustomerText[] = "Please select at least one customer";
using tasks::kFileErrorPrefix;
inline constexpr char kDoneTitle[] = "On-site database created";

struct OnSiteRequest {
  std::vector<std::string> customers;  // the export list, in list order
  std::string target_path;             // the path box's text when the button was pressed
  std::string results_folder;          // holds the template "Empty_Quorbase.mdb"
  std::string main_database_path;      // read only
};

struct CustomerCounts {
  std::string customer;
  int64_t instruments = 0;
  int64_t calibrations = 0;
  int64_t results = 0;
};

enum class OnSiteEnd {
  kRefused,       // a check failed: nothing touched
  kDeclined,      // the user kept the existing file
  kDeleteFailed,  // the existing file could not be deleted: "File Error: ..." shown
  kFinished,      // the summary was shown
  kStopped,       // a failure on a new target stopped the export; its error was shown
};

struct OnSiteOutcome {
  OnSiteEnd end = OnSiteEnd::kRefused;
  std::vector<CustomerCounts> counts;  // one per export-list entry walked
  std::string summary;                 // as shown in the final message
  std::optional<jet::Error> failure;   // what stopped the export
  size_t failures_skipped = 0;
};

// customer + " : " + n + " instruments " + n + " calibrations " + n + " results " + CR.
std::string SummaryLine(const CustomerCounts& counts);
// "Finding records for " + customer + "  (" + instruments so far + ")".
std::string ExportStatusText(const std::string& customer, int64_t instruments);
// The message that reports a stopped export.
std::string StoppedText(const jet::Error& failure, const std::string& target_path,
                        bool target_exists);
// The target path the export window proposes: results folder + "\Quorbase On-Site Export " +
// the day as dd-mm-yyyy + ".mdb".
std::string DefaultTargetPath(const std::string& results_folder, const tasks::LocalTime& today);

OnSiteOutcome CreateOnSiteDatabase(const OnSiteRequest& request, tasks::TaskUi& ui);

}  // namespace export_task
