// How the on-site export and the rebuild begin their copy, each step under the command's
// failure rule: the window shows itself busy, the main database opens, the template is copied
// to the target and opened, the progress window shows the copy's texts, and the target's
// Instruments table opens for the appends.
#pragma once

#include <string_view>

#include "db/dao.h"
#include "tasks/failure_rule.h"
#include "tasks/task_ui.h"

namespace tasks {

inline constexpr char kCopyProgressCaption[] = "Export Progress";
inline constexpr char kCopyProgressTask[] = "Exporting Database";

struct CopyPaths {
  std::string_view results_folder;  // holds the template
  std::string_view main_database;
  std::string_view target;
};

struct CopyDatabases {
  db::Database main;
  db::Database target;
  db::Recordset new_instruments;  // the target's Instruments, for the appends
};

void StartCopy(FailureRule& rule, TaskUi& ui, const CopyPaths& paths, CopyDatabases& databases);

}  // namespace tasks
