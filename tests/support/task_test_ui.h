// Stand-ins for the window a long command runs from and for its progress window, recording
// what the command did to them.
#pragma once

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
  void Show() override { calls.push_back("show"); }
  void LetEventsRun() override { calls.push_back("events"); }
  void Unload() override { calls.push_back("unload"); }

  // The calls starting with `prefix`, prefix removed.
  std::vector<std::string> With(const std::string& prefix) const;

  std::vector<std::string> calls;
};

class RecordingWindow : public CommandWindow {
 public:
  void SetBusy(bool busy) override { states.push_back(busy); }
  std::vector<bool> states;
};

struct TestUi {
  platform::testing::FakePrompter prompter;
  RecordingProgress progress;
  RecordingWindow window;
  TaskUi ui{prompter, progress, window};
};

}  // namespace tasks::testing
