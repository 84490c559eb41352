// "export_log.txt", the rebuild's progress log: a header line, then one line per instrument
// built up piece by piece as its calibrations are copied, so that after a crash the log shows
// how far the rebuild came. Each piece opens the file, appends and closes it again.
#pragma once

#include <string>
#include <string_view>

namespace rebuild {

inline constexpr char kExportLogName[] = "export_log.txt";

class ExportLog {
 public:
  explicit ExportLog(std::string path) : path_(std::move(path)) {}

  // Creates or empties the file and writes "Export Log" + `date_time` + the line end.
  void Start(std::string_view date_time) const;
  // "Copying " + customer + " " + instrument id, without a line end.
  void InstrumentStart(std::string_view customer, std::string_view inst_id) const;
  // "+": the calibration's additional-data row was copied.
  void AdditionalData() const;
  // ".": one calibration handled, copied or skipped.
  void Calibration() const;
  // " Done" and the line end.
  void InstrumentEnd() const;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace rebuild
