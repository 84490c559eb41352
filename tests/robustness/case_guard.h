// Names the damaged case being read, so that a crash, a sanitizer report or a hang reports
// which case (and seed) to run again. Assertion failures say it through the test's message.
#pragma once

#include <string>

namespace robustness {

// Seconds one case may take before the run is stopped as hung.
constexpr int kCaseDeadlineSeconds = 30;

class CaseGuard {
 public:
  explicit CaseGuard(const std::string& description);
  ~CaseGuard();
  CaseGuard(const CaseGuard&) = delete;
  CaseGuard& operator=(const CaseGuard&) = delete;
};

}  // namespace robustness
