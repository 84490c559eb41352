// Stand-ins for the progress window and the import window that remember what they were told.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "tasks/progress.h"
#include "tasks/task_ui.h"

namespace import_test {

class RecordingProgress : public tasks::Progress {
 public:
  void SetCaption(const std::string& caption) override { this->caption = caption; }
  void SetTask(const std::string& text) override { tasks.push_back(text); }
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void SetBar(double percent) override { bars.push_back(percent); }
  void Show() override { shown = true; }
  void LetEventsRun() override {
    ++event_runs;
    if (on_events) on_events();
  }
  void Unload() override { shown = false; }

  std::string caption;
  std::vector<std::string> tasks;
  std::vector<std::string> statuses;
  std::vector<double> bars;
  bool shown = false;
  int event_runs = 0;
  // What the user does while the window system runs (clicks during an update).
  std::function<void()> on_events;
};

class RecordingWindow : public tasks::CommandWindow {
 public:
  void SetBusy(bool busy) override {
    this->busy = busy;
    changes.push_back(busy);
  }
  bool busy = false;
  std::vector<bool> changes;
};

}  // namespace import_test
