// Which windows are open and what moves between them: the title window during start-up, the
// main menu, About, the shared progress window. Exactly one of the menu and the task windows
// is open at a time; each showing creates a window afresh so that its load steps run again.
#pragma once

#include <QPointer>
#include <functional>
#include <map>
#include <string>

#include "app/form_intro.h"
#include "app/passform.h"
#include "app/progress_window.h"
#include "app/reconciler.h"
#include "platform/prompter.h"

namespace app {

enum class Task { kExport, kImport, kRebuild };

class Shell;
// Creates a task window (Form_Export, Form_Import, Form_Export_All) afresh; the shell shows it.
using TaskWindowFactory = std::function<QWidget*(Shell&)>;

class Shell : public StartUpScreens, public MenuActions {
 public:
  Shell(ProgramValues& values, platform::Prompter& prompter);
  ~Shell() override;

  // Start-up's windows.
  void ShowTitle() override;
  void SetTitleInfo(const std::string& text) override;
  void UnloadTitle() override;
  void ShowMenu() override;
  void ShowStop(const std::string& message) override;

  // The menu's commands: show the task's window without blocking, then unload the menu. A
  // task whose window is not registered says that it is not available yet, and the menu
  // stays.
  void OpenExport() override;
  void OpenImport() override;
  void OpenRebuild() override;
  // The title window, modal over the menu, with its OK button.
  void ShowAbout() override;
  // Ends the program at once, without the windows' own closing steps.
  void ExitProgram() override;

  void RegisterTaskWindow(Task task, TaskWindowFactory factory);
  // A task window's way back ("&Main Menu", or the import after its update): hides the task
  // window, shows the menu afresh, lets pending events run, then unloads the task window.
  void ReturnToMenu(QWidget* task_window);

  // What ending the program means; the installed program leaves the event loop.
  void SetExitHandler(std::function<void()> handler) { exit_handler_ = std::move(handler); }
  // Runs while About is open, after the title window is shown (tests press OK here).
  void SetAboutHook(std::function<void(PASSFORM&)> hook) { about_hook_ = std::move(hook); }

  // The window the user works in now: the task window, else the menu, else none. Messages
  // and the progress window belong to it.
  QWidget* CurrentWindow() const;

  Form_Intro* menu() const { return menu_; }
  QWidget* task_window() const { return task_window_; }
  PASSFORM* title() const { return title_; }
  ProgressWindow& progress() { return progress_; }
  ProgramValues& values() { return values_; }
  platform::Prompter& prompter() { return prompter_; }

 private:
  void OpenTask(Task task, const std::string& name);
  void NotYetAvailable(const std::string& task);

  ProgramValues& values_;
  platform::Prompter& prompter_;
  ProgressWindow progress_;
  QPointer<Form_Intro> menu_;
  QPointer<PASSFORM> title_;
  QPointer<QWidget> task_window_;
  std::map<Task, TaskWindowFactory> task_factories_;
  std::function<void()> exit_handler_;
  std::function<void(PASSFORM&)> about_hook_;
};

// The text of a menu command whose task window this version does not have yet.
std::string NotYetAvailableText(const std::string& task);

}  // namespace app
