// What a long command shows the user, all through interfaces, so that the windows, a command
// line tool and the tests drive the same code.
#pragma once

#include "platform/prompter.h"
#include "tasks/progress.h"

namespace tasks {

// The window a long command runs from.
class CommandWindow {
 public:
  virtual ~CommandWindow() = default;
  // true: the create button disabled and the hourglass pointer shown while the command runs;
  // false: the default pointer and the button enabled again. A window also holds back the
  // clicks that would change the command's input or close it until it is told false.
  virtual void SetBusy(bool busy) = 0;
};

// For commands run without a window.
class NoWindow : public CommandWindow {
 public:
  void SetBusy(bool) override {}
};

struct TaskUi {
  platform::Prompter& prompter;
  tasks::Progress& progress;
  CommandWindow& window;
};

}  // namespace tasks
