// The export window's customer lists, search, target path, folder button and way back, on a
// main database made with the engine.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/form_export_design.h"
#include "form_export_fixture.h"
#include "platform/launcher.h"

namespace app::testing {
namespace {

using platform::Icon;

TEST_F(ExportWindowTest, LoadFillsTheCustomerListAndProposesTheDatedTarget) {
  MakeFolder("export_window_load");
  ExportWindow& window = Open(ExportDesign());
  EXPECT_EQ(Lines(*window.DBList_Customer), AllCustomerLines());
  EXPECT_EQ(window.List_SelectedCust->count(), 0);
  EXPECT_EQ(window.windowTitle().toStdString(),
            "Export to On-Site Database [Source DB = " + lab_.main_path + "]");
  EXPECT_EQ(window.TargetDBText->text().toStdString(),
            lab_.folder + "\\Quorbase On-Site Export 02-06-2009.mdb");
  EXPECT_EQ(window.Data1.Connect(), "Access 2000;");
  EXPECT_EQ(window.Data1.DatabaseName(), lab_.main_path);
  EXPECT_TRUE(window.isEnabled());
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(prompter_.messages.empty());
  // The loading window is gone once the list is filled.
  for (QWidget* top : QApplication::topLevelWidgets()) {
    EXPECT_FALSE(top->objectName() == "Infoform" && top->isVisible());
  }
}

TEST_F(ExportWindowTest, AnUnreadableMainDatabaseLeavesAnEmptyListAndAUsableWindow) {
  MakeFolder("export_window_unreadable");
  values_.main_database_path = lab_.folder + "/Missing.mdb";
  ExportWindow& window = Open(ExportDesign());
  EXPECT_EQ(window.DBList_Customer->count(), 0);
  EXPECT_TRUE(window.isEnabled());
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_EQ(window.TargetDBText->text().toStdString(),
            lab_.folder + "\\Quorbase On-Site Export 02-06-2009.mdb");
  // Nothing to move, nothing found: every button stays harmless.
  window.Command1->click();
  window.Command_CustomerList->click();
  EXPECT_EQ(window.List_SelectedCust->count(), 0);
}

TEST_F(ExportWindowTest, MoveOneAddsTheSelectedNameOnceAndSkipsNull) {
  MakeFolder("export_window_move_one");
  ExportWindow& window = Open(ExportDesign());
  // Nothing selected: nothing happens.
  window.Command_CustomerList->click();
  EXPECT_TRUE(window.ExportList().empty());

  Select(*window.DBList_Customer, "Velmo Marine");
  window.Command_CustomerList->click();
  window.Command_CustomerList->click();
  EXPECT_EQ(window.ExportList(), std::vector<std::string>{"Velmo Marine"});

  // A double click moves too; a blank name is moved, a Null one is not.
  Select(*window.DBList_Customer, "O'Brien & Sons");
  emit window.DBList_Customer->itemDoubleClicked(window.DBList_Customer->currentItem());
  Select(*window.DBList_Customer, " ");
  window.Command_CustomerList->click();
  Select(*window.DBList_Customer, "");
  window.Command_CustomerList->click();
  Select(*window.DBList_Customer, "Zürich Kalibrier");
  window.Command_CustomerList->click();
  EXPECT_EQ(window.ExportList(),
            (std::vector<std::string>{"Velmo Marine", "O'Brien & Sons", " ", "Zürich Kalibrier"}));
  EXPECT_EQ(Lines(*window.List_SelectedCust), window.ExportList());
}

TEST_F(ExportWindowTest, MoveAllAddsEveryShownNameThatIsNotBlankEachTimeItIsPressed) {
  MakeFolder("export_window_move_all");
  ExportWindow& window = Open(ExportDesign());
  const std::vector<std::string> named{"Acme Test", "O'Brien & Sons", "Velmo Instruments",
                                       "Velmo Marine", "Zürich Kalibrier"};
  window.Command1->click();
  EXPECT_EQ(window.ExportList(), named);
  window.Command1->click();
  std::vector<std::string> twice = named;
  twice.insert(twice.end(), named.begin(), named.end());
  EXPECT_EQ(window.ExportList(), twice);
  // The recordset is back on its first row, so move one still finds its row.
  window.Command_CustomerListDelAll->click();
  Select(*window.DBList_Customer, "Acme Test");
  window.Command_CustomerList->click();
  EXPECT_EQ(window.ExportList(), std::vector<std::string>{"Acme Test"});
}

TEST_F(ExportWindowTest, RemoveOneTakesTheSelectedEntryAndRemoveAllEmptiesTheList) {
  MakeFolder("export_window_remove");
  ExportWindow& window = Open(ExportDesign());
  window.Command1->click();                 // five names
  window.Command_CustomerListDel->click();  // nothing selected
  EXPECT_EQ(window.ExportList().size(), 5u);

  Select(*window.List_SelectedCust, "O'Brien & Sons");
  window.Command_CustomerListDel->click();
  EXPECT_EQ(window.ExportList(), (std::vector<std::string>{"Acme Test", "Velmo Instruments",
                                                           "Velmo Marine", "Zürich Kalibrier"}));
  // The removal leaves nothing selected: a second click removes nothing.
  window.Command_CustomerListDel->click();
  EXPECT_EQ(window.ExportList().size(), 4u);

  Select(*window.List_SelectedCust, "Acme Test");
  emit window.List_SelectedCust->itemDoubleClicked(window.List_SelectedCust->currentItem());
  EXPECT_EQ(window.ExportList(),
            (std::vector<std::string>{"Velmo Instruments", "Velmo Marine", "Zürich Kalibrier"}));

  window.Command_CustomerListDelAll->click();
  EXPECT_TRUE(window.ExportList().empty());
  EXPECT_EQ(window.DBList_Customer->count(), 7);  // the left list is not touched
}

TEST_F(ExportWindowTest, SearchFiltersTheLeftListWithWildcards) {
  MakeFolder("export_window_search");
  ExportWindow& window = Open(ExportDesign());
  Select(*window.DBList_Customer, "Acme Test");
  window.Command_CustomerList->click();

  prompter_.inputs = {"velmo*"};  // LIKE ignores case
  window.SearchBut->click();
  ASSERT_EQ(prompter_.input_prompts.size(), 1u);
  EXPECT_EQ(prompter_.input_prompts[0],
            "Enter a customer to search for\r\rUse wildcard searches (eg. 'Velmo*' or "
            "'Velmo?\?\?\?\?')\rto search for partial customer names");
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_EQ(Lines(*window.DBList_Customer),
            (std::vector<std::string>{"Velmo Instruments", "Velmo Marine"}));
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  // The export list is not changed by a search; move all adds only what was found.
  window.Command1->click();
  EXPECT_EQ(window.ExportList(),
            (std::vector<std::string>{"Acme Test", "Velmo Instruments", "Velmo Marine"}));

  prompter_.inputs = {"O'Brien*"};
  window.SearchBut->click();
  EXPECT_EQ(Lines(*window.DBList_Customer), std::vector<std::string>{"O'Brien & Sons"});

  // An empty (or cancelled) answer shows every customer again, without a message.
  window.SearchBut->click();
  EXPECT_EQ(Lines(*window.DBList_Customer), AllCustomerLines());
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(ExportWindowTest, ASearchWithoutMatchSaysSoAndShowsEveryCustomer) {
  MakeFolder("export_window_no_match");
  ExportWindow& window = Open(ExportDesign());
  prompter_.inputs = {"Nobody?"};
  window.SearchBut->click();
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text,
            "No customers found like 'Nobody?'\rClick OK to view all customers");
  EXPECT_EQ(prompter_.messages[0].title, "No Matching Customer(s)");
  EXPECT_EQ(prompter_.messages[0].icon, Icon::kInformation);
  EXPECT_EQ(prompter_.messages[0].buttons, platform::Buttons::kOk);
  EXPECT_EQ(Lines(*window.DBList_Customer), AllCustomerLines());
}

TEST_F(ExportWindowTest, APatternTheEngineRejectsShowsItsErrorAndLeavesTheListUsable) {
  MakeFolder("export_window_rejected");
  ExportWindow& window = Open(ExportDesign());
  prompter_.inputs = {"Velmo[", "Velmo\"*"};
  window.SearchBut->click();
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text.rfind("Error 3075: ", 0), 0u) << prompter_.messages[0].text;
  EXPECT_EQ(prompter_.messages[0].icon, Icon::kExclamation);
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(Lines(*window.DBList_Customer), AllCustomerLines());
  Select(*window.DBList_Customer, "Velmo Marine");
  window.Command_CustomerList->click();
  window.Command1->click();
  EXPECT_EQ(window.ExportList().size(), 6u);
  EXPECT_EQ(window.ExportList().front(), "Velmo Marine");

  // A double quote in the pattern is taken as a character, not as the statement's end.
  window.SearchBut->click();
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_EQ(prompter_.messages[1].title, "No Matching Customer(s)");
  EXPECT_EQ(Lines(*window.DBList_Customer), AllCustomerLines());
}

TEST(FolderPartTest, TakesTheTextUpToTheLastBackslash) {
  EXPECT_EQ(FolderPart("D:\\Lab\\Exports\\On-Site.mdb"), "D:\\Lab\\Exports\\");
  EXPECT_EQ(FolderPart("D:\\Lab\\Exports\\"), "D:\\Lab\\Exports\\");
  EXPECT_EQ(FolderPart("On-Site.mdb"), "");
  EXPECT_EQ(FolderPart(""), "");
  EXPECT_EQ(FolderPart("/srv/lab\\Quorbase.mdb"), "/srv/lab\\");
  // A path typed with slashes, or with both separators.
  EXPECT_EQ(FolderPart("/srv/lab/exports/On-Site.mdb"), "/srv/lab/exports/");
  EXPECT_EQ(FolderPart("D:/Lab\\Exports/On-Site.mdb"), "D:/Lab\\Exports/");
  EXPECT_EQ(FolderPart("D:\\Lab/Exports\\On-Site.mdb"), "D:\\Lab/Exports\\");
}

TEST_F(ExportWindowTest, ShowFolderBrowsesTheFolderOfWhateverPathTheBoxHolds) {
  MakeFolder("export_window_folder");
  ExportWindow& window = Open(ExportDesign());
  window.Command_Explorer->click();
  window.TargetDBText->setText("D:\\Lab\\Exports\\Site 4.mdb");
  window.Command_Explorer->click();
  window.TargetDBText->setText("Site 4.mdb");
  window.Command_Explorer->click();
  EXPECT_EQ(launcher_.started,
            (std::vector<platform::Command>{platform::BrowseFolderCommand(lab_.folder + "\\"),
                                            platform::BrowseFolderCommand("D:\\Lab\\Exports\\"),
                                            platform::BrowseFolderCommand("")}));
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(ExportWindowTest, MainMenuAsksTheShellToGoBack) {
  MakeFolder("export_window_menu");
  ExportWindow& window = Open(ExportDesign());
  window.Command_Exit->click();
  EXPECT_EQ(returned_to_, std::vector<QWidget*>{&window});
}

}  // namespace
}  // namespace app::testing
