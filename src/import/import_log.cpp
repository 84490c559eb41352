#include "import/import_log.h"

#include "jet/error.h"
#include "tasks/ansi_text.h"
#include "tasks/date_text.h"

namespace import_task {

ImportLog::ImportLog() : now_([] { return tasks::GeneralDateTime(tasks::LocalNow()); }) {}

void ImportLog::StartLog() {
  LogFilePath_ = path_;
  Append(now_(), true);
  Append(kImportLogHeader, false);
}

void ImportLog::LogMessage(std::string_view text) { Append(text, false); }

void ImportLog::Append(std::string_view text, bool truncate) {
  if (LogFilePath_.empty()) return;
  try {
    tasks::AppendAnsi(LogFilePath_, std::string(text) + "\r\n", truncate);
  } catch (const jet::Error&) {
    // The log never stops an import: the entry is lost.
  }
}

}  // namespace import_task
