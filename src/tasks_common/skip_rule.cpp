#include "tasks_common/skip_rule.h"

namespace tasks {

bool SkipRule::Retry(const jet::Error& error) {
  if (error.number() == kErrTableLocked && prompter_ != nullptr) {
    const platform::Answer answer = prompter_->Show(
        {error.description(), platform::Buttons::kRetryCancel, platform::Icon::kNone, ""});
    if (answer == platform::Answer::kRetry) return true;
  }
  ++skipped_;
  return false;
}

}  // namespace tasks
