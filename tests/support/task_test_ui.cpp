#include "tasks/task_test_ui.h"

#include <cmath>

namespace tasks::testing {

void RecordingProgress::SetBar(double percent) {
  calls.push_back("bar:" + std::to_string(static_cast<int>(std::lround(percent))));
}

std::vector<std::string> RecordingProgress::With(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const std::string& call : calls) {
    if (call.rfind(prefix, 0) == 0) out.push_back(call.substr(prefix.size()));
  }
  return out;
}

}  // namespace tasks::testing
