#include "app/form_intro.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include "app/controls.h"
#include "app/twips.h"

namespace app {
namespace {}  // namespace

Form_Intro::Form_Intro(const ProgramValues& values, MenuActions& actions, QWidget* parent)
    : QWidget(parent) {
  setObjectName("Form_Intro");
  setWindowTitle(kMenuCaption);
  setFixedSize(Px(7200), Px(5850));
  PaintBackground(this);

  Label2 = MakeLabel(this, "Label2", "Please Select a Task :", TwipsRect(360, 240, 6480, 360),
                     Wrap::kWords);
  QFont heading = Label2->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * 1.2);
  Label2->setFont(heading);

  Label3 = MakeLabel(this, "Label3",
                     "CREATE database for on-site use containing data for selected customers",
                     TwipsRect(360, 840, 4440, 720), Wrap::kWords);
  Command1 = MakeButton(this, "Command1", "Click to Export", TwipsRect(5040, 900, 1800, 480));
  Label4 = MakeLabel(this, "Label4",
                     "IMPORT data from an on-site database to add new and updated calibration "
                     "results to the main database",
                     TwipsRect(360, 1800, 4440, 960), Wrap::kWords);
  Command2 = MakeButton(this, "Command2", "Click to Import", TwipsRect(5040, 1980, 1800, 480));
  Command3 = MakeButton(this, "Command3", "REBUILD DATABASE", TwipsRect(2100, 1260, 3000, 720));
  Command3->setHidden(true);

  InfoPanel = MakeLabel(this, "InfoPanel", "", TwipsRect(360, 3600, 6480, 900), Wrap::kWords);
  InfoPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  InfoPanel->setLineWidth(2);
  InfoPanel->setMargin(Px(90));
  InfoPanel->setAutoFillBackground(true);
  InfoPanel->setBackgroundRole(QPalette::Button);

  Command_About = MakeButton(this, "Command_About", "&About", TwipsRect(360, 4860, 1500, 480));
  Command_Exit = MakeButton(this, "Command_Exit", "&Exit", TwipsRect(5340, 4860, 1500, 480));

  QObject::connect(Command1, &QPushButton::clicked, [&actions] { actions.OpenExport(); });
  QObject::connect(Command2, &QPushButton::clicked, [&actions] { actions.OpenImport(); });
  QObject::connect(Command3, &QPushButton::clicked, [&actions] { actions.OpenRebuild(); });
  QObject::connect(Command_About, &QPushButton::clicked, [&actions] { actions.ShowAbout(); });
  QObject::connect(Command_Exit, &QPushButton::clicked, [&actions] { actions.ExitProgram(); });

  Load(values);
}

void Form_Intro::Load(const ProgramValues& values) {
  InfoPanel->setText(QString::fromStdString("Source Database = " + values.main_database_path));
  // This test ignores case; the title window's does not.
  if (QString::fromStdString(values.program_name).toLower() == "kestrine") {
    setWindowTitle(QString::fromStdString(values.program_name));
    Label3->setHidden(true);
    Label4->setHidden(true);
    Command1->setHidden(true);
    Command2->setHidden(true);
    Command3->setHidden(false);
  }
}

}  // namespace app
