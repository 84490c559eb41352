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
  connect(Command_Update, &QPushButton::clicked, this, [this] { Update(); });
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
  // A long path shows its drive and first folders, as the laboratory's text boxes do.
  Text_mobileDB->setCursorPosition(0);
}

void Form_Import::ReturnToMenu() {
  returned_ = true;
  if (services_.return_to_menu) services_.return_to_menu(this);
}

void Form_Import::Update() {
  controller_.Update();
  // Only the click that ran the update gets here with the run over; clicks that arrived
  // during it returned at once, leaving their wish with the controller or with this window.
  if (close_waiting_ && !controller_.running()) {
    close_waiting_ = false;
    // A completed update has already left for the menu and taken the window with it.
    if (!returned_) close();
  }
}

void Form_Import::SetBusy(bool busy) {
  Command_MobileDB->setEnabled(!busy);
  Text_mobileDB->setReadOnly(busy);
  if (busy) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
  }
}

void Form_Import::closeEvent(QCloseEvent* event) {
  // The merges run inside this window's click: it may only go once they have ended.
  if (controller_.running()) {
    close_waiting_ = true;
    event->ignore();
    return;
  }
  event->accept();
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
