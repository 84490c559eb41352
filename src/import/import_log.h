// The import log, "ImportLog.txt" in the current folder: the date and time the update started,
// a header line, the problems the merges found and the update's summary. The file is closed
// after every entry, so that it is complete on disk whatever happens to the update; a log that
// cannot be written is never a reason to stop an import, so every failure here is ignored.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace import_task {

inline constexpr char kImportLogName[] = "ImportLog.txt";
inline constexpr char kImportLogHeader[] = "Quorvel on-site database import log";

class ImportLog {
 public:
  // The date-time line's text.
  using DateTimeText = std::function<std::string()>;

  // The date-time line shows the local time as the laboratory's Windows writes it.
  ImportLog();
  explicit ImportLog(DateTimeText now) : now_(std::move(now)) {}
  // A log written elsewhere than "ImportLog.txt" in the current folder: the preview's, which
  // must leave the laboratory's log of the last real update alone.
  ImportLog(DateTimeText now, std::string path) : now_(std::move(now)), path_(std::move(path)) {}

  // Sets the log's path to "ImportLog.txt" and writes the file afresh: the date-time line and
  // the header line.
  void StartLog();
  // Appends `text` as one entry, followed by CR LF, in the laboratory's code page. Lines that
  // cannot be written are lost.
  void LogMessage(std::string_view text);

  // "ImportLog.txt" once StartLog has run; relative to the current folder.
  const std::string& LogFilePath() const { return LogFilePath_; }

 private:
  void Append(std::string_view text, bool truncate);

  DateTimeText now_;
  std::string path_ = kImportLogName;
  std::string LogFilePath_;
};

}  // namespace import_task
