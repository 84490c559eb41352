#include "support/task_test_ui.h"

#include <cmath>

namespace tasks::testing {

void RecordingProgress::SetBar(double percent) {
  calls.push_back("bar:" + std::to_string(static_cast<int>(std::lround(percent))));
}

void RecordingProgress::Show() {
  calls.push_back("show");
  shown = true;
}

void RecordingProgress::LetEventsRun() {
  calls.push_back("events");
  if (on_events) on_events();
}

void RecordingProgress::Unload() {
  calls.push_back("unload");
  shown = false;
}

std::vector<std::string> RecordingProgress::With(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& call : calls) {
    if (call.rfind(prefix, 0) == 0) out.push_back(call.substr(prefix.size()));
  }
  return out;
}

std::string RecordingProgress::Last(const std::string& prefix) const {
  const std::vector<std::string> all = With(prefix);
  return all.empty() ? std::string() : all.back();
}

}  // namespace tasks::testing
