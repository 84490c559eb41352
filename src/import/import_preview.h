// What an update would do, found without writing anything near the main database.
//
// The preview runs the update itself, the same code, on a scratch copy of the main database
// in the system's temporary folder, and deletes the copy afterwards. A separate "what if"
// walk would have to repeat every rule of the merges, including what a failing step leaves
// behind for the next one, and would drift from them; on identical bytes the same code finds
// the same rows in the same order, so its counts are those of the real update that follows.
// The price is one file copy, about the cost of the backup a real update makes anyway.
#pragma once

#include <string>
#include <vector>

#include "import/update_run.h"
#include "platform/prompter.h"

namespace import_task {

struct PreviewResult {
  // Empty when the preview ran; otherwise why it could not (no scratch copy could be made).
  std::string error;
  // How the update on the copy ended, with its counts and its report.
  UpdateResult update;
  // The boxes it would show (the summary, "File not found ...", ...), answered as a refusal.
  std::vector<platform::Message> messages;
  // The log entries it would write after the header line.
  std::vector<std::string> log_entries;
  // Why the real update would be refused because another program holds the main database, or
  // empty; the copy does not know it.
  std::string main_in_use;
  // The main file's size, modification time and hash are the same after the preview as before.
  bool main_unchanged = false;
};

// Previews the update of `request`. Error prompts ("Error: ... Resume Processing?") are put to
// `error_prompter`, so that the preview follows the path the real update will follow with the
// same answers; every other box is recorded and answered OK or No.
PreviewResult PreviewUpdate(const ImportRequest& request, platform::Prompter& error_prompter);

// The preview for a person: the instruments it would add, each calibration with its outcome and
// both versions' points, the result lines and additional-data rows it would write, the counts.
std::string PreviewText(const PreviewResult& preview);

}  // namespace import_task
