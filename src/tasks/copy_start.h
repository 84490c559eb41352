// How the on-site export and the rebuild begin their copy: the window shows itself busy, the
// main database opens, the template is copied to the target and opened, the progress window
// shows the copy's texts, and the target's Instruments table opens for the appends.
//
// Opening the main database, copying the template and opening the target are not left to the
// command's failure rule: without them there is nothing to copy from or into, and skipping them
// would end in a success message over an empty or missing file. Their failure passes up
// (jet::Error, naming the file and the reason) for the command to stop with a message. The
// main database is opened read-only: the copy only reads it, and so it opens also while another
// program writes it.
#pragma once

#include <initializer_list>
#include <string>
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

// Deletes the existing target the user agreed to replace. When it cannot (another writer holds
// it, it is read-only), shows "File Error: " + the description, restores the window and returns
// false: the command ends there and nothing is touched.
bool DeleteReplacedTarget(TaskUi& ui, std::string_view target);

void StartCopy(FailureRule& rule, TaskUi& ui, const CopyPaths& paths, CopyDatabases& databases);

// After a failure that stopped the copy: closes `open` (the command's own recordsets) and what
// StartCopy opened, and unloads the progress window, whatever fails meanwhile.
void AbandonCopy(TaskUi& ui, CopyDatabases& databases, std::initializer_list<db::Recordset*> open);

// The message of a copy that stopped: "Error " + number + ": " + description, an empty line,
// "The " + `command` + " has stopped." and what became of the target (left in place, partly
// written, or never written).
std::string CopyStoppedText(std::string_view command, const jet::Error& failure,
                            std::string_view target_path, bool target_exists);

}  // namespace tasks
