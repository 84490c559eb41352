// Stand-ins for the prompter, the launcher and the clock, so that task logic runs in tests
// without windows, without starting programs and without waiting.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/prompter.h"

namespace platform::testing {

// Records every box and answers from a script; when the script runs out it presses the
// first button (OK or Yes or Retry), cancels input boxes and file dialogs.
class FakePrompter : public Prompter {
 public:
  Answer Show(const Message& message) override;
  std::string InputBox(std::string_view prompt, std::string_view title,
                       std::string_view initial) override;
  std::optional<std::string> OpenFile(const FileOpenRequest& request) override;

  std::vector<Message> messages;
  std::vector<std::string> input_prompts;
  std::vector<FileOpenRequest> file_requests;
  std::deque<Answer> answers;
  std::deque<std::string> inputs;
  std::deque<std::optional<std::string>> files;
};

class FakeLauncher : public Launcher {
 public:
  bool BrowseFolder(std::string_view folder) override;
  bool EditTextFile(std::string_view file) override;

  std::vector<Command> started;
  bool succeed = true;
};

// Time that moves only when it is read or napped, by `step` seconds a reading.
class FakeClock : public Clock {
 public:
  explicit FakeClock(double start = 0, double step = 0.25)
      : now_(start), start_(start), step_(step) {}
  double Now() override;
  void Nap() override {}

  int readings() const { return readings_; }
  double elapsed() const { return now_ - start_; }

 private:
  double now_;
  double start_;
  double step_;
  int readings_ = 0;
};

}  // namespace platform::testing
