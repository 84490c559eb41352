// Stand-ins for the window a long command runs from and for its progress window, recording
// what the command did to them. Every task's tests use these.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/test_doubles.h"
#include "tasks/progress.h"
#include "tasks/task_ui.h"

namespace tasks::testing {

// Every call as one text: "caption:...", "task:...", "status:...", "bar:42", "show",
// "events", "unload".
class RecordingProgress : public tasks::Progress {
 public:
  void SetCaption(const std::string& caption) override { calls.push_back("caption:" + caption); }
  void SetTask(const std::string& text) override { calls.push_back("task:" + text); }
  void SetStatus(const std::string& text) override { calls.push_back("status:" + text); }
  void SetBar(double percent) override;
  void Show() override;
  void LetEventsRun() override;
  void Unload() override;

  // The calls starting with `prefix`, prefix removed.
  std::vector<std::string> With(const std::string& prefix) const;
  // The last of them; "" when there is none.
  std::string Last(const std::string& prefix) const;

  std::vector<std::string> calls;
  bool shown = false;  // shown and not unloaded since
  // What the user does while the window system runs (clicks during a command).
  std::function<void()> on_events;
};

class RecordingWindow : public CommandWindow {
 public:
  void SetBusy(bool busy) override { states.push_back(busy); }
  bool busy() const { return !states.empty() && states.back(); }
  std::vector<bool> states;
};

struct TestUi {
  platform::testing::FakePrompter prompter;
  RecordingProgress progress;
  RecordingWindow window;
  TaskUi ui{prompter, progress, window};
};

}  // namespace tasks::testing
