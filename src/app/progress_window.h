// The one shared progress window of the program.
#pragma once

#include <QPointer>
#include <functional>

#include "app/form_progress.h"
#include "tasks/progress.h"

namespace app {

class ProgressWindow : public tasks::Progress {
 public:
  ~ProgressWindow() override;

  void SetCaption(const std::string& caption) override;
  void SetTask(const std::string& text) override;
  void SetStatus(const std::string& text) override;
  void SetBar(double percent) override;
  void Show() override;
  void LetEventsRun() override;
  void Unload() override;

  // The window the progress window belongs to while it is loaded (the task window whose work
  // it shows): it stays above that window. Without one it stands alone.
  void SetOwner(std::function<QWidget*()> owner) { owner_ = std::move(owner); }

  // The loaded window, or nullptr.
  Form_Progress* form() const { return form_; }

 private:
  Form_Progress& Loaded();
  QPointer<Form_Progress> form_;
  std::function<QWidget*()> owner_;
};

}  // namespace app
