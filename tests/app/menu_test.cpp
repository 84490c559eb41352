// The main menu and About under both program names, the title window's load steps, and the
// shell's moves between windows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPointer>
#include <QPushButton>

#include "app/form_intro.h"
#include "app/infoform.h"
#include "app/loading_splash.h"
#include "app/passform.h"
#include "app/shell.h"
#include "platform/test_doubles.h"

namespace app {
namespace {

ProgramValues Values(const std::string& name, const std::string& main_path) {
  ProgramValues values;
  values.program_name = name;
  values.version_text = kVersionText;
  values.main_database_path = main_path;
  return values;
}

// The visible buttons' texts, in the menu's order.
std::vector<std::string> Offered(const Form_Intro& menu) {
  std::vector<std::string> out;
  for (QPushButton* button :
       {menu.Command1, menu.Command2, menu.Command3, menu.Command_About, menu.Command_Exit}) {
    if (!button->isHidden()) out.push_back(button->text().toStdString());
  }
  return out;
}

class CountingActions : public MenuActions {
 public:
  void OpenExport() override { calls.push_back("export"); }
  void OpenImport() override { calls.push_back("import"); }
  void OpenRebuild() override { calls.push_back("rebuild"); }
  void ShowAbout() override { calls.push_back("about"); }
  void ExitProgram() override { calls.push_back("exit"); }
  std::vector<std::string> calls;
};

TEST(MenuTest, RebuildProgramOffersOnlyTheRebuild) {
  CountingActions actions;
  // The menu's test ignores case.
  for (const std::string name : {"Kestrine", "KESTRINE", "kestrine"}) {
    const ProgramValues values = Values(name, "D:\\Data\\Quorbase.mdb");
    Form_Intro menu(values, actions);
    EXPECT_EQ(menu.windowTitle().toStdString(), name);
    EXPECT_EQ(Offered(menu), (std::vector<std::string>{"REBUILD DATABASE", "&About", "&Exit"}));
    EXPECT_TRUE(menu.Label3->isHidden());
    EXPECT_TRUE(menu.Label4->isHidden());
    EXPECT_FALSE(menu.Label2->isHidden());
    EXPECT_EQ(menu.InfoPanel->text(), "Source Database = D:\\Data\\Quorbase.mdb");
  }
}

TEST(MenuTest, OnSiteProgramOffersExportAndImport) {
  CountingActions actions;
  const ProgramValues values = Values("Fendra", "/srv/lab\\Quorbase.mdb");
  Form_Intro menu(values, actions);
  EXPECT_EQ(menu.windowTitle(), "Quorvel On-Site Database Manager");
  EXPECT_EQ(Offered(menu),
            (std::vector<std::string>{"Click to Export", "Click to Import", "&About", "&Exit"}));
  EXPECT_EQ(menu.Label2->text(), "Please Select a Task :");
  EXPECT_EQ(menu.Label3->text(),
            "CREATE database for on-site use containing data for selected customers");
  EXPECT_EQ(menu.Label4->text(),
            "IMPORT data from an on-site database to add new and updated calibration results "
            "to the main database");
  EXPECT_EQ(menu.InfoPanel->text(), "Source Database = /srv/lab\\Quorbase.mdb");

  menu.Command1->click();
  menu.Command2->click();
  menu.Command_About->click();
  menu.Command_Exit->click();
  EXPECT_EQ(actions.calls, (std::vector<std::string>{"export", "import", "about", "exit"}));
}

TEST(MenuTest, ControlsCarryTheirNamesAndAnEmptyPathShowsNothingAfterThePanelText) {
  CountingActions actions;
  const ProgramValues values = Values("Kestrine", "");
  Form_Intro menu(values, actions);
  EXPECT_EQ(menu.objectName(), "Form_Intro");
  for (const char* name : {"Label2", "Label3", "Command1", "Label4", "Command2", "Command3",
                           "InfoPanel", "Command_About", "Command_Exit"}) {
    EXPECT_NE(menu.findChild<QWidget*>(name), nullptr) << name;
  }
  EXPECT_EQ(menu.InfoPanel->text(), "Source Database = ");
  menu.Command3->click();
  EXPECT_EQ(actions.calls, std::vector<std::string>{"rebuild"});
}

TEST(TitleWindowTest, TitlesFollowTheProgramNameCaseSensitively) {
  struct Case {
    std::string name, title0, title1;
  };
  for (const Case& c : std::vector<Case>{
           {"Kestrine", "KESTRINE", "QUORVEL DATABASE REBUILDER"},
           {"Fendra", "FENDRA", "QUORVEL ON-SITE DATABASE MANAGER"},
           // Only the exact name keeps the on-site title, unlike the menu's test.
           {"FENDRA", "FENDRA", "QUORVEL DATABASE REBUILDER"},
       }) {
    SCOPED_TRACE(c.name);
    const ProgramValues values = Values(c.name, "x");
    PASSFORM title(values);
    EXPECT_EQ(title.windowTitle(), "Tarvane");
    EXPECT_EQ(title.TitleLab[0]->text().toStdString(), c.title0);
    EXPECT_EQ(title.TitleLab[1]->text().toStdString(), c.title1);
    EXPECT_EQ(title.VerLab->text(), "V2.00 : 02/06/2009");
    EXPECT_EQ(title.InfoLab->text(), "");
    EXPECT_TRUE(title.OKBut->isHidden());
    EXPECT_EQ(title.OKBut->text(), "&OK");
  }
}

TEST(TitleWindowTest, TitlesVersionFrameAndLinesAreInTheTitleColour) {
  const ProgramValues values = Values("Kestrine", "");
  PASSFORM title(values);
  const QColor blue(0, 97, 165);
  EXPECT_EQ(title.VerLab->palette().color(QPalette::WindowText), blue);
  EXPECT_EQ(title.Shape1->palette().color(QPalette::WindowText), blue);
  const auto labels = title.findChildren<QLabel*>("TitleLab");
  ASSERT_EQ(labels.size(), 2);
  for (QLabel* label : labels) EXPECT_EQ(label->palette().color(QPalette::WindowText), blue);
  const auto lines = title.findChildren<QFrame*>("TitleLine");
  ASSERT_EQ(lines.size(), 2);
  for (QFrame* line : lines) EXPECT_EQ(line->palette().color(QPalette::Window), blue);
  EXPECT_TRUE(title.TitleLab[0]->font().families().contains("Arial Black"));
  EXPECT_TRUE(title.InfoLab->font().families().contains("Arial"));
}

TEST(LoadingWindowTest, ShowsLoadingInBold) {
  Infoform loading;
  EXPECT_EQ(loading.windowTitle(), "Loading...");
  EXPECT_EQ(loading.InfoLab->text(), "Loading...");
  EXPECT_TRUE(loading.InfoLab->font().bold());
  EXPECT_EQ(loading.InfoLab->objectName(), "InfoLab");
}

class ShellTest : public ::testing::Test {
 protected:
  ProgramValues values_ = Values("Kestrine", "D:\\Data\\Quorbase.mdb");
  platform::testing::FakePrompter prompter_;
  Shell shell_{values_, prompter_};
};

TEST_F(ShellTest, AboutShowsTheTitleModallyWithOkAndWithoutThePath) {
  shell_.ShowMenu();
  ASSERT_NE(shell_.menu(), nullptr);
  bool seen = false;
  shell_.SetAboutHook([&](PASSFORM& about) {
    seen = true;
    EXPECT_TRUE(about.isModal());
    EXPECT_TRUE(about.isVisible());
    EXPECT_FALSE(about.OKBut->isHidden());
    EXPECT_EQ(about.InfoLab->text(), "");
    EXPECT_EQ(about.TitleLab[0]->text(), "KESTRINE");
    EXPECT_EQ(about.VerLab->text(), "V2.00 : 02/06/2009");
    about.OKBut->click();
  });
  shell_.menu()->Command_About->click();  // returns once OK closed the window
  EXPECT_TRUE(seen);
  ASSERT_NE(shell_.menu(), nullptr);
  EXPECT_TRUE(shell_.menu()->isVisible());
  // About does not leave a title window behind.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(window->objectName() == "PASSFORM" && window->isVisible());
  }
}

TEST_F(ShellTest, TaskCommandsSayTheirWindowIsNotAvailableYetAndKeepTheMenu) {
  values_.program_name = "Fendra";
  shell_.ShowMenu();
  shell_.menu()->Command1->click();
  shell_.menu()->Command2->click();
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_EQ(prompter_.messages[0].text, NotYetAvailableText("Export"));
  EXPECT_NE(prompter_.messages[1].text.find("not available yet"), std::string::npos);
  EXPECT_EQ(prompter_.messages[1].icon, platform::Icon::kInformation);
  EXPECT_TRUE(shell_.menu()->isVisible());
}

TEST_F(ShellTest, ShowingTheMenuAgainCreatesItAfresh) {
  shell_.ShowMenu();
  shell_.menu()->setWindowTitle("changed");
  shell_.ShowMenu();
  EXPECT_EQ(shell_.menu()->windowTitle(), "Kestrine");
  int menus = 0;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == "Form_Intro" && window->isVisible()) ++menus;
  }
  EXPECT_EQ(menus, 1);
}

// A registered task window replaces the menu; its way back brings a fresh menu.
TEST_F(ShellTest, TaskWindowReplacesTheMenuAndReturnsToAFreshOne) {
  QPointer<QWidget> opened;
  shell_.RegisterTaskWindow(Task::kRebuild, [&](Shell&) {
    auto* window = new QWidget();
    window->setObjectName("Form_Export_All");
    opened = window;
    return window;
  });
  shell_.ShowMenu();
  QPointer<Form_Intro> first_menu = shell_.menu();
  first_menu->Command3->click();
  ASSERT_FALSE(opened.isNull());
  EXPECT_TRUE(opened->isVisible());
  EXPECT_EQ(shell_.menu(), nullptr);
  EXPECT_FALSE(first_menu && first_menu->isVisible());
  EXPECT_TRUE(prompter_.messages.empty());

  shell_.ReturnToMenu(opened);
  ASSERT_NE(shell_.menu(), nullptr);
  EXPECT_TRUE(shell_.menu()->isVisible());
  EXPECT_EQ(shell_.menu()->windowTitle(), "Kestrine");
  EXPECT_FALSE(opened && opened->isVisible());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(opened.isNull());
  EXPECT_TRUE(first_menu.isNull());
}

TEST(LoadingSplashTest, ShowsTheCallersTextWhileItLives) {
  QPointer<Infoform> form;
  {
    LoadingSplash splash("Loading Customers...");
    form = splash.form();
    ASSERT_FALSE(form.isNull());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->InfoLab->text(), "Loading Customers...");
  }
  EXPECT_TRUE(form.isNull());
}

TEST_F(ShellTest, ExitEndsTheProgramThroughTheExitHandler) {
  int exits = 0;
  shell_.SetExitHandler([&] { ++exits; });
  shell_.ShowMenu();
  shell_.menu()->Command_Exit->click();
  EXPECT_EQ(exits, 1);
}

TEST_F(ShellTest, StartUpWindowsShowThePathOnSeparateLinesThenGiveWayToTheMenu) {
  shell_.ShowTitle();
  ASSERT_NE(shell_.title(), nullptr);
  EXPECT_TRUE(shell_.title()->isVisible());
  EXPECT_TRUE(shell_.title()->OKBut->isHidden());
  shell_.SetTitleInfo("Certificates Database Path = \r\rD:\\Data\\Quorbase.mdb");
  EXPECT_EQ(shell_.title()->InfoLab->text(),
            "Certificates Database Path = \n\nD:\\Data\\Quorbase.mdb");
  shell_.UnloadTitle();
  EXPECT_EQ(shell_.title(), nullptr);
  shell_.ShowMenu();
  EXPECT_TRUE(shell_.menu()->isVisible());

  shell_.ShowStop("Could not find file 'x'.");
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "Could not find file 'x'.");
  EXPECT_EQ(prompter_.messages[0].title, "");  // the program name titles it
}

}  // namespace
}  // namespace app
