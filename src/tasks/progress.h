// The progress window as the long commands drive it, record by record. Every write loads the
// window if it is not loaded (centred, with its design texts), so one command's last status
// never shows in the next.
#pragma once

#include <string>

namespace tasks {

class Progress {
 public:
  virtual ~Progress() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetTask(const std::string& text) = 0;    // Label_Task
  virtual void SetStatus(const std::string& text) = 0;  // Label_Status
  // ProgressBar1, from a recordset's PercentPosition: 0 to 100.
  virtual void SetBar(double percent) = 0;
  // Shows the window without blocking; the caller's window stays usable.
  virtual void Show() = 0;
  // Lets the window system process pending messages once, so that windows repaint and
  // clicks are handled during a long command.
  virtual void LetEventsRun() = 0;
  virtual void Unload() = 0;
};

// Progress nobody watches: a preview's hidden run, a benchmark.
class SilentProgress : public Progress {
 public:
  void SetCaption(const std::string&) override {}
  void SetTask(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void SetBar(double) override {}
  void Show() override {}
  void LetEventsRun() override {}
  void Unload() override {}
};

}  // namespace tasks
