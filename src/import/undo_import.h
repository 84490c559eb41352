// One step back: the main database as it was before the last update, from the copy that update
// made (main_backup.h).
//
// Only when nobody has changed the main file since that update ended (its size, modification
// time and hash equal the fingerprint recorded then): otherwise the laboratory's later work would
// be lost without a word. Never while another program has the file open. The copy is first
// written beside the main file under another name, verified, and then renamed over it, so that
// the main database is at every moment either the old or the restored file, never half of each.
// The restored backup's fingerprint is set aside, so that the same copy is never put back twice;
// one step back only: an older update's fingerprint no longer matches the restored file (its
// time is the restore's), and older copies are kept for restoring by hand.
#pragma once

#include <string>

namespace import_task {

struct UndoOutcome {
  bool restored = false;
  // What was done, or why nothing was: for the user.
  std::string message;
};

// `main_path` in the operating-system form; its backups lie in the same folder.
UndoOutcome UndoLastImport(const std::string& main_path);

}  // namespace import_task
