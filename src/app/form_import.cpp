#include "app/form_import.h"

#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/controls.h"
#include "app/placement.h"
#include "app/shell.h"
#include "app/twips.h"

namespace app {
namespace {

// The client area, in twips.
constexpr int kWidth = 7500;
constexpr int kHeight = 2940;

}  // namespace

Form_Import::Form_Import(ImportWindowServices services, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      surroundings_{services_.prompter, services_.launcher, services_.progress, *this},
      controller_(services_.values.main_database_path, *this, surroundings_) {
  setObjectName("Form_Import");
  setWindowTitle(import_task::kImportCaption);
  setFixedSize(Px(kWidth), Px(kHeight));
  PaintBackground(this);

  Label_Step1 = MakeHeading(this, "Label_Step1", "STEP 1 : Select On-Site Database",
                            TwipsRect(240, 240, 6960, 300), Wrap::kNo);
  Command_MobileDB =
      MakeButton(this, "Command_MobileDB", "&Select", TwipsRect(240, 660, 1500, 495));
  Text_mobileDB = new QLineEdit(this);
  Text_mobileDB->setObjectName("Text_mobileDB");
  Text_mobileDB->setGeometry(Px(1920), Px(765), Px(5280), Px(285));
  Label_Step2 = MakeHeading(this, "Label_Step2", "STEP 2 : Import data to main database",
                            TwipsRect(240, 1440, 6960, 300), Wrap::kNo);
  Command_Update =
      MakeButton(this, "Command_Update", "&Update Main Database", TwipsRect(240, 1860, 3000, 795));
  Command_Exit = MakeButton(this, "Command_Exit", "&Main Menu", TwipsRect(5700, 1860, 1500, 795));

  connect(Command_MobileDB, &QPushButton::clicked, this, [this] { controller_.Select(); });
  connect(Command_Update, &QPushButton::clicked, this, [this] { controller_.Update(); });
  connect(Command_Exit, &QPushButton::clicked, this, [this] { controller_.MainMenu(); });

  Load();
}

Form_Import::~Form_Import() = default;

void Form_Import::Load() {
  CentreOnScreen(this);
  setWindowTitle(QString::fromStdString(
      import_task::ImportWindowCaption(services_.values.main_database_path)));
}

std::string Form_Import::PathText() const { return Text_mobileDB->text().toStdString(); }

void Form_Import::SetPathText(const std::string& text) {
  Text_mobileDB->setText(QString::fromStdString(text));
  // A long path shows its end: the file name tells one on-site database from another, the
  // folders before it are the same for all of them.
  Text_mobileDB->end(false);
}

void Form_Import::ReturnToMenu() {
  if (services_.return_to_menu) services_.return_to_menu(this);
}

void Form_Import::SetBusy(bool busy) {
  if (busy && !busy_) focus_before_busy_ = ParkFocus(this);
  // Every button waits for the run: a click on one would only be remembered until it ends,
  // and a button that looks usable while doing nothing tells the user the program hangs.
  for (QPushButton* button : {Command_MobileDB, Command_Update, Command_Exit}) {
    button->setEnabled(!busy);
  }
  Text_mobileDB->setReadOnly(busy);
  if (busy) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
    if (busy_) RestoreFocus(focus_before_busy_);
  }
  busy_ = busy;
}

void Form_Import::closeEvent(QCloseEvent* event) {
  if (!services_.return_to_menu) {
    event->accept();
    return;
  }
  // The title bar's close button is the way back to the menu, as "&Main Menu" is: closing
  // the only window would end the program. During an update the controller keeps the wish
  // until the merges, which run inside this window's click, have ended.
  event->ignore();
  controller_.MainMenu();
}

Form_Import* NewForm_Import(Shell& shell, platform::Launcher& launcher) {
  return new Form_Import(
      {.values = shell.values(),
       .prompter = shell.prompter(),
       .launcher = launcher,
       .progress = shell.progress(),
       .return_to_menu = [&shell](QWidget* window) { shell.ReturnToMenu(window); }});
}

void RegisterImportWindow(Shell& shell, platform::Launcher& launcher) {
  shell.RegisterTaskWindow(Task::kImport,
                           [&launcher](Shell& s) { return NewForm_Import(s, launcher); });
}

}  // namespace app
