#include "tasks/failure_rule.h"

#include <string>

namespace tasks {
namespace {

constexpr char kCr = '\r';

}  // namespace

bool FailureRule::Retry(const jet::Error& error) {
  if (policy_ == OnFailure::kAskToResume) {
    const std::string text =
        "Error: " + error.description() + std::string(1, kCr) + "Resume Processing?";
    const platform::Answer answer =
        prompter_->Show({text, platform::Buttons::kYesNo, platform::Icon::kNone, ""});
    if (answer != platform::Answer::kYes) stopped_ = true;
    ++skipped_;
    return false;
  }
  if (error.number() == jet::kErrTableLocked && prompter_ != nullptr) {
    const platform::Answer answer = prompter_->Show(
        {error.description(), platform::Buttons::kRetryCancel, platform::Icon::kNone, ""});
    if (answer == platform::Answer::kRetry) return true;
  }
  ++skipped_;
  return false;
}

bool FailureRule::RunEach(std::initializer_list<std::function<void()>> steps) {
  for (const auto& step : steps) {
    if (!Run(step) && stopped_) return false;
  }
  return true;
}

}  // namespace tasks
