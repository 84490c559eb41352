#include "rebuild/export_log.h"

#include "tasks/ansi_text.h"

namespace rebuild {

namespace {
constexpr char kLineEnd[] = "\r\n";
}  // namespace

void ExportLog::Start(std::string_view date_time) const {
  tasks::AppendAnsi(path_, "Export Log" + std::string(date_time) + kLineEnd, true);
}

void ExportLog::InstrumentStart(std::string_view customer, std::string_view inst_id) const {
  tasks::AppendAnsi(path_, "Copying " + std::string(customer) + " " + std::string(inst_id));
}

void ExportLog::AdditionalData() const { tasks::AppendAnsi(path_, "+"); }

void ExportLog::Calibration() const { tasks::AppendAnsi(path_, "."); }

void ExportLog::InstrumentEnd() const { tasks::AppendAnsi(path_, std::string(" Done") + kLineEnd); }

}  // namespace rebuild
