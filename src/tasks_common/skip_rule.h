// The failure rule a long command runs its steps under.
//
// A rebuild must deliver every row that can still be read, so a failing step (opening a file,
// a move, setting a field, an Update, writing the log, painting the progress window) is
// skipped without a message and the command goes on with the next step. One error is treated
// apart where the command asks for it: a table another user holds exclusively (3261) is often
// free again a moment later, so the user may retry the step.
//
// The same helper runs the on-site export, whose steps only go on past a failure once an
// existing target has been replaced; before that the rule is inactive and a failure passes to
// the caller, which stops the export.
#pragma once

#include <cstddef>

#include "jet/error.h"
#include "platform/prompter.h"

namespace tasks {

// A table locked exclusively by another user.
constexpr int kErrTableLocked = 3261;

class SkipRule {
 public:
  // `locked_table_prompter`: when given, a step failing with 3261 shows the error's text with
  // Retry and Cancel; Retry runs the step again, Cancel skips it.
  explicit SkipRule(bool active = true, platform::Prompter* locked_table_prompter = nullptr)
      : active_(active), prompter_(locked_table_prompter) {}

  void SetActive(bool active) { active_ = active; }
  bool active() const { return active_; }

  // Runs one step. True when it completed, false when it failed and was skipped. While the
  // rule is inactive a failure passes to the caller.
  template <typename Step>
  bool Run(Step&& step) {
    for (;;) {
      try {
        step();
        return true;
      } catch (const jet::Error& error) {
        if (!active_) throw;
        if (!Retry(error)) return false;
      }
    }
  }

  // Failures skipped so far (never shown or logged; tests and diagnostics read it).
  size_t skipped() const { return skipped_; }

 private:
  // Decides after a failure: true to run the step again; false to skip it (counted).
  bool Retry(const jet::Error& error);

  bool active_;
  platform::Prompter* prompter_;
  size_t skipped_ = 0;
};

}  // namespace tasks
