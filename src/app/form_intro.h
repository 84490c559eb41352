// The main menu: which main database the program works on, and the tasks of the build.
#pragma once

#include <QWidget>

#include "app/program_values.h"

class QLabel;
class QPushButton;

namespace app {

// What the menu's commands do; the shell decides (open a task window, About, Exit).
class MenuActions {
 public:
  virtual ~MenuActions() = default;
  virtual void OpenExport() = 0;
  virtual void OpenImport() = 0;
  virtual void OpenRebuild() = 0;
  virtual void ShowAbout() = 0;
  virtual void ExitProgram() = 0;
};

constexpr char kMenuCaption[] = "Quorvel On-Site Database Manager";

class Form_Intro : public QWidget {
 public:
  // Runs the load steps: the panel shows the main database path; the rebuild program name
  // offers only the rebuild.
  Form_Intro(const ProgramValues& values, MenuActions& actions, QWidget* parent = nullptr);

  QLabel* Label2;
  QLabel* Label3;
  QPushButton* Command1;
  QLabel* Label4;
  QPushButton* Command2;
  QPushButton* Command3;
  QLabel* InfoPanel;
  QPushButton* Command_About;
  QPushButton* Command_Exit;

 private:
  void Load(const ProgramValues& values);
};

}  // namespace app
