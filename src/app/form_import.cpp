#include "app/form_import.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPalette>
#include <QPushButton>
#include <QScreen>

#include "app/shell.h"
#include "app/twips.h"

namespace app {
namespace {

// The client area, in twips.
constexpr int kWidth = 7500;
constexpr int kHeight = 2940;

QLabel* MakeHeading(QWidget* parent, const char* name, const char* text, int left, int top,
                    int width, int height) {
  auto* label = new QLabel(QString::fromUtf8(text), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  label->setGeometry(Px(left), Px(top), Px(width), Px(height));
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, int left, int top,
                        int width, int height) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setObjectName(name);
  button->setGeometry(Px(left), Px(top), Px(width), Px(height));
  return button;
}

// The background picture carries no information: a quiet gradient stands in for it.
void PaintBackground(QWidget* window) {
  QLinearGradient gradient(0, 0, 0, window->height());
  gradient.setColorAt(0, QColor(232, 240, 248));
  gradient.setColorAt(1, QColor(198, 216, 234));
  QPalette palette = window->palette();
  palette.setBrush(QPalette::Window, gradient);
  window->setPalette(palette);
  window->setAutoFillBackground(true);
}

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

  Label_Step1 =
      MakeHeading(this, "Label_Step1", "STEP 1 : Select On-Site Database", 240, 240, 6960, 300);
  Command_MobileDB = MakeButton(this, "Command_MobileDB", "&Select", 240, 660, 1500, 495);
  Text_mobileDB = new QLineEdit(this);
  Text_mobileDB->setObjectName("Text_mobileDB");
  Text_mobileDB->setGeometry(Px(1920), Px(765), Px(5280), Px(285));
  Label_Step2 = MakeHeading(this, "Label_Step2", "STEP 2 : Import data to main database", 240, 1440,
                            6960, 300);
  Command_Update =
      MakeButton(this, "Command_Update", "&Update Main Database", 240, 1860, 3000, 795);
  Command_Exit = MakeButton(this, "Command_Exit", "&Main Menu", 5700, 1860, 1500, 795);

  connect(Command_MobileDB, &QPushButton::clicked, this, [this] { controller_.Select(); });
  connect(Command_Update, &QPushButton::clicked, this, [this] { Update(); });
  connect(Command_Exit, &QPushButton::clicked, this, [this] { controller_.MainMenu(); });

  Load();
}

Form_Import::~Form_Import() = default;

void Form_Import::Load() {
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
  }
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
