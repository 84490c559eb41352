// The one failure rule every command runs its steps under, with the policies the commands
// choose between:
//
// - pass up: a failure leaves the step and goes to the caller's rule;
// - skip: a failing step is skipped without a message and work goes on with the next step. A
//   rebuild must deliver every row that can still be read, and a window's load must still show
//   what it can. A table another user holds exclusively (3261) is often free again a moment
//   later, so where the command gives a prompter the user may retry that step. A database that
//   has reached its largest size (3036) is not skipped: every later row would fail the same way,
//   and a rebuild that skipped them would report as done a copy that lost the rest; it passes
//   up, to stop the command with a message;
// - ask to resume: "Error: " + the description, a CR, "Resume Processing?" with Yes and No;
//   Yes goes on with the next step, No stops the command (the import).
//
// Only the engine's errors (jet::Error, which the data-access layer and the tasks' own file
// steps throw too) are handled. Anything else is a fault of the program, not of the data: it
// passes up, under every policy, to the one place that reports it.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>

#include "jet/error.h"
#include "platform/prompter.h"

namespace tasks {

enum class OnFailure {
  kPassUp,
  kSkip,
  kAskToResume,
};

class FailureRule {
 public:
  // `prompter`: under kSkip optional (retry of locked tables); under kAskToResume required.
  explicit FailureRule(OnFailure policy = OnFailure::kSkip, platform::Prompter* prompter = nullptr)
      : policy_(policy), prompter_(prompter) {}

  void SetPolicy(OnFailure policy) { policy_ = policy; }
  OnFailure policy() const { return policy_; }
  // True while failures are handled here rather than passed up.
  bool active() const { return policy_ != OnFailure::kPassUp; }

  // Runs one step. True when it completed; false when it failed and was skipped, or the user
  // chose not to resume (then stopped() is true). Under kPassUp a failure is rethrown.
  template <typename Step>
  bool Run(Step&& step) {
    for (;;) {
      try {
        step();
        return true;
      } catch (const jet::Error& error) {
        if (policy_ == OnFailure::kPassUp) throw;
        if (policy_ == OnFailure::kSkip && error.number() == jet::kErrDatabaseFull) throw;
        if (!Retry(error)) return false;
      }
    }
  }

  // Runs the steps in order, each under the rule; false as soon as the user chose not to
  // resume, true when every step ran or was skipped.
  bool RunEach(std::initializer_list<std::function<void()>> steps);

  // Failures skipped or resumed after so far (never shown or logged; tests and diagnostics
  // read it).
  size_t skipped() const { return skipped_; }
  // The user answered No to "Resume Processing?".
  bool stopped() const { return stopped_; }

 private:
  // Decides after a failure: true to run the step again; false to go on without it.
  bool Retry(const jet::Error& error);

  OnFailure policy_;
  platform::Prompter* prompter_;
  size_t skipped_ = 0;
  bool stopped_ = false;
};

// The windows' load steps and other chains of independent steps: each runs, a failing one is
// skipped without a message.
inline void SkipFailures(std::initializer_list<std::function<void()>> steps) {
  FailureRule(OnFailure::kSkip).RunEach(steps);
}

}  // namespace tasks
