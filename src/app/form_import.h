// The import window: step 1 picks the on-site database that came back from a customer's site,
// step 2 merges it into the main database. What the buttons do lives in ImportController; the
// window holds the controls, forwards the clicks and shows the busy state.
//
// An update lets the window system run once per calibration, so clicks reach the window while
// it runs: its buttons are disabled and the path box, the run's input, is read-only until it
// ends. Closing the window goes back to the menu, as "&Main Menu" does; asked for during a
// run, it waits until the run has finished instead of destroying the window under it.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "app/program_values.h"
#include "import/import_controller.h"
#include "platform/launcher.h"
#include "platform/prompter.h"
#include "tasks/progress.h"
#include "tasks/task_ui.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class Shell;

// What the window reads and drives outside itself.
struct ImportWindowServices {
  ProgramValues& values;
  platform::Prompter& prompter;
  platform::Launcher& launcher;
  tasks::Progress& progress;
  // Shows the main menu, then unloads this window.
  std::function<void(QWidget*)> return_to_menu;
};

class Form_Import : public QWidget, public import_task::ImportView, public tasks::CommandWindow {
 public:
  // Builds the controls with their design texts and runs the load steps: centred on the
  // screen, the main database named in the caption.
  explicit Form_Import(ImportWindowServices services, QWidget* parent = nullptr);
  ~Form_Import() override;

  // import_task::ImportView.
  std::string PathText() const override;
  void SetPathText(const std::string& text) override;
  void ReturnToMenu() override;

  // tasks::CommandWindow: the merges' running state.
  void SetBusy(bool busy) override;

  import_task::ImportController& controller() { return controller_; }

  QLabel* Label_Step1;
  QPushButton* Command_MobileDB;
  QLineEdit* Text_mobileDB;
  QLabel* Label_Step2;
  QPushButton* Command_Update;
  QPushButton* Command_Exit;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Load();

  ImportWindowServices services_;
  import_task::UpdateSurroundings surroundings_;
  import_task::ImportController controller_;
  bool busy_ = false;
  // The control that had the keyboard focus when the run started.
  QPointer<QWidget> focus_before_busy_;
};

// Form_Import, created and loaded, on the shell's progress window and prompter.
Form_Import* NewForm_Import(Shell& shell, platform::Launcher& launcher);

// Lets the menu's import command open the window. `launcher` must live as long as the shell.
void RegisterImportWindow(Shell& shell, platform::Launcher& launcher);

}  // namespace app
