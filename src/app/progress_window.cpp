#include "app/progress_window.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>
#include <cmath>

#include "app/paint_now.h"
#include "app/window_probe.h"
#include "platform/display_text.h"

namespace app {

ProgressWindow::~ProgressWindow() { Unload(); }

Form_Progress& ProgressWindow::Loaded() {
  if (!form_) form_ = new Form_Progress(owner_ ? owner_() : nullptr);
  return *form_;
}

void ProgressWindow::SetCaption(const std::string& caption) {
  Loaded().setWindowTitle(QString::fromStdString(caption));
}

void ProgressWindow::SetTask(const std::string& text) {
  Loaded().Label_Task->setText(platform::DisplayText(text));
  // A new phase shows at once: the work of a phase may let no events through before its
  // first record, or at all (the instrument merge of the import).
  if (form_->isVisible()) PaintNow(form_);
}

void ProgressWindow::SetStatus(const std::string& text) {
  Loaded().Label_Status->setText(platform::DisplayText(text));
}

void ProgressWindow::SetBar(double percent) {
  // PercentPosition is a real number; the bar shows whole percents.
  const double clamped = std::clamp(std::isnan(percent) ? 0.0 : percent, 0.0, 100.0);
  Loaded().ProgressBar1->setValue(static_cast<int>(clamped));
}

void ProgressWindow::Show() {
  // The work starts at once and lets events run only between its records.
  ShowAndPaintNow(&Loaded());
  ProbeWindow(form_, "progress");
}

void ProgressWindow::LetEventsRun() { QCoreApplication::processEvents(); }

void ProgressWindow::Unload() {
  if (form_) {
    form_->hide();
    delete form_.data();
  }
  form_ = nullptr;
}

}  // namespace app
