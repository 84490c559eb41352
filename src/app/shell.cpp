#include "app/shell.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "app/paint_now.h"
#include "app/window_probe.h"
#include "platform/display_text.h"

namespace app {
Shell::Shell(ProgramValues& values, platform::Prompter& prompter)
    : values_(values), prompter_(prompter), exit_handler_([] { QCoreApplication::exit(0); }) {
  progress_.SetOwner([this] { return CurrentWindow(); });
}

Shell::~Shell() {
  delete title_.data();
  delete menu_.data();
  delete task_window_.data();
}

void Shell::ShowTitle() {
  delete title_.data();
  title_ = new PASSFORM(values_);
  // Start-up handles no input while the title window is up.
  ShowAndPaintNow(title_);
}

void Shell::SetTitleInfo(const std::string& text) {
  if (!title_) return;
  title_->InfoLab->setText(platform::DisplayText(text));
  PaintNow(title_);
  ProbeWindow(title_, "title");
}

void Shell::UnloadTitle() {
  delete title_.data();
  title_ = nullptr;
}

void Shell::ShowMenu() {
  // Unloaded later, not at once: this may run inside one of the old menu's own clicks.
  if (menu_) {
    menu_->hide();
    menu_->deleteLater();
  }
  menu_ = new Form_Intro(values_, *this);
  menu_->setAttribute(Qt::WA_DeleteOnClose);
  ShowAndPaintNow(menu_);
  ProbeWindow(menu_, "menu");
}

void Shell::ShowStop(const std::string& message) {
  prompter_.Show({message, platform::Buttons::kOk, platform::Icon::kCritical, ""});
}

std::string NotYetAvailableText(const std::string& task) {
  return task + " is not available yet in this version." + platform::kCr +
         "The window for this task comes with a later version of the program.";
}

void Shell::NotYetAvailable(const std::string& task) {
  prompter_.Show({NotYetAvailableText(task), platform::Buttons::kOk, platform::Icon::kInformation,
                  "Not yet available"});
}

void Shell::RegisterTaskWindow(Task task, TaskWindowFactory factory) {
  task_factories_[task] = std::move(factory);
}

void Shell::OpenTask(Task task, const std::string& name) {
  const auto factory = task_factories_.find(task);
  if (factory == task_factories_.end()) {
    NotYetAvailable(name);
    return;
  }
  // The menu goes before the task window loads: a window that fills its lists on opening
  // would otherwise load under the menu. The click that got here is still running in the
  // menu's button, so the menu is unloaded later.
  if (menu_) {
    menu_->hide();
    menu_->deleteLater();
    menu_ = nullptr;
  }
  QWidget* window = factory->second(*this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  task_window_ = window;
  ShowAndPaintNow(window);
  ProbeWindow(window, "task");
}

void Shell::ReturnToMenu(QWidget* task_window) {
  if (task_window) task_window->hide();
  ShowMenu();
  QCoreApplication::processEvents();
  if (task_window) task_window->deleteLater();
  if (task_window_ == task_window) task_window_ = nullptr;
}

QWidget* Shell::CurrentWindow() const {
  if (task_window_ && task_window_->isVisible()) return task_window_;
  if (menu_ && menu_->isVisible()) return menu_;
  return nullptr;
}

void Shell::OpenExport() { OpenTask(Task::kExport, "Export"); }
void Shell::OpenImport() { OpenTask(Task::kImport, "Import"); }
void Shell::OpenRebuild() { OpenTask(Task::kRebuild, "Rebuild"); }

void Shell::ShowAbout() {
  PASSFORM about(values_, menu_);
  about.OKBut->setVisible(true);
  if (about_hook_) {
    QTimer::singleShot(0, &about, [this, &about] { about_hook_(about); });
  }
  about.exec();
}

void Shell::ExitProgram() {
  if (exit_handler_) exit_handler_();
}

}  // namespace app
