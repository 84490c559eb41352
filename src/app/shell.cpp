#include "app/shell.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "platform/display_text.h"

namespace app {
namespace {

// Paints a window now. Start-up handles no input, so only the window system's own messages
// (mapping and exposing the window) are let through.
void PaintNow(QWidget* window) {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  window->repaint();
}

}  // namespace

Shell::Shell(ProgramValues& values, platform::Prompter& prompter)
    : values_(values), prompter_(prompter), exit_handler_([] { QCoreApplication::exit(0); }) {}

Shell::~Shell() {
  delete title_.data();
  delete menu_.data();
  delete task_window_.data();
}

void Shell::ShowTitle() {
  delete title_.data();
  title_ = new PASSFORM(values_);
  title_->show();
  PaintNow(title_);
}

void Shell::SetTitleInfo(const std::string& text) {
  if (!title_) return;
  title_->InfoLab->setText(platform::DisplayText(text));
  PaintNow(title_);
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
  menu_->show();
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
  QWidget* window = factory->second(*this);
  window->setAttribute(Qt::WA_DeleteOnClose);
  task_window_ = window;
  window->show();
  // The click that got here is still running in the menu's button.
  if (menu_) {
    menu_->hide();
    menu_->deleteLater();
    menu_ = nullptr;
  }
}

void Shell::ReturnToMenu(QWidget* task_window) {
  if (task_window) task_window->hide();
  ShowMenu();
  QCoreApplication::processEvents();
  if (task_window) task_window->deleteLater();
  if (task_window_ == task_window) task_window_ = nullptr;
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
