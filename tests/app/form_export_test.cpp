// The two windows built on the export window: their texts and layouts, the create button's
// action and the window's state while it runs, and the way in from the menu and back.
#include "app/form_export.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <filesystem>

#include "app/form_export_design.h"
#include "app/shell.h"
#include "app/twips.h"
#include "form_export_fixture.h"
#include "glyphs.h"
#include "init_files.h"
#include "jet/error.h"
#include "platform/files.h"

namespace app::testing {
namespace {

using platform::Icon;
using testing::InspectInk;
using testing::LooksLikeText;
using testing::Render;

// The customer-selection controls, which the rebuild window keeps out of sight.
std::vector<QWidget*> CustomerControls(ExportWindow& w) {
  return {w.Label_Step2,
          w.Label1,
          w.DBList_Customer,
          w.Label2,
          w.List_SelectedCust,
          w.Command_CustomerList,
          w.Command1,
          w.Command_CustomerListDel,
          w.Command_CustomerListDelAll,
          w.SearchBut,
          w.Label_Help1,
          w.Label_Help2};
}

std::vector<QWidget*> CreateControls(ExportWindow& w) {
  return {w.Label_Step3, w.Command_CreateMobileDB, w.Label5, w.TargetDBText, w.Line2,
          w.Label3,      w.Command_Explorer,       w.Label4, w.Command_Exit};
}

TEST_F(ExportWindowTest, TheExportWindowShowsItsThreeSteps) {
  MakeFolder("export_design");
  ExportWindow& w = Open(ExportDesign());
  EXPECT_EQ(w.objectName(), "Form_Export");
  EXPECT_EQ(w.size(), QSize(Px(9360), Px(7980)));
  EXPECT_EQ(w.Label_Step2->text(),
            "STEP 1 : Select Customers for which to export instruments and calibration data");
  EXPECT_EQ(w.Label1->text(), "All Customers");
  EXPECT_EQ(w.Label2->text(), "Customers to Export");
  EXPECT_EQ(w.Command_CustomerList->toolTip(), "Move Selected Customer to Export List");
  EXPECT_EQ(w.Command1->toolTip(), "Move ALL Customers to Export List");
  EXPECT_EQ(w.Command_CustomerListDel->toolTip(), "Remove Selected Customer from Export List");
  EXPECT_EQ(w.Command_CustomerListDelAll->toolTip(), "Remove ALL Customers from Export List");
  EXPECT_EQ(w.SearchBut->toolTip(), "Search for specific customers");
  EXPECT_EQ(w.Label_Help1->text(),
            "Select Customer and click > (or double click the customer) to add to the export "
            "list ");
  EXPECT_EQ(w.Label_Help2->text(),
            "Select Customer and click <- (or double click the customer) to remove from the "
            "export list ");
  EXPECT_EQ(w.Label_Step3->text(), "STEP 2 : Create On-Site Database");
  EXPECT_EQ(w.Command_CreateMobileDB->text(), "&Create On-Site Database");
  EXPECT_EQ(w.Label5->text(), "Target Database Path:");
  EXPECT_EQ(w.Label3->text(), "STEP 3 : Display Database in Windows Explorer");
  EXPECT_EQ(w.Label4->text(),
            "This function displays the database in Windows explorer. The file can then be "
            "copied to your On-Site PC either via a network or USB memory stick / CD etc.");
  EXPECT_EQ(w.Command_Explorer->text(), "Show Database Folder ");
  EXPECT_EQ(w.Command_Exit->text(), "&Main Menu");
  ASSERT_NE(w.Line1, nullptr);
  // Every control lies inside the window, named as the system names it.
  std::vector<QWidget*> all = CustomerControls(w);
  for (QWidget* c : CreateControls(w)) all.push_back(c);
  all.push_back(w.Line1);
  for (QWidget* c : all) {
    EXPECT_TRUE(w.rect().contains(c->geometry())) << c->objectName().toStdString();
    EXPECT_EQ(w.findChild<QWidget*>(c->objectName()), c);
  }
  // Column of picture buttons between the lists: move all, move one, remove one, remove all.
  EXPECT_LT(w.Command1->y(), w.Command_CustomerList->y());
  EXPECT_LT(w.Command_CustomerList->y(), w.Command_CustomerListDel->y());
  EXPECT_LT(w.Command_CustomerListDel->y(), w.Command_CustomerListDelAll->y());
  EXPECT_GT(w.Command1->x(), w.DBList_Customer->geometry().right());
  EXPECT_LT(w.Command1->geometry().right(), w.List_SelectedCust->x());
}

TEST_F(ExportWindowTest, TheRebuildWindowShowsTwoStepsAndKeepsTheCustomerControlsOutOfSight) {
  MakeFolder("export_all_design");
  ExportWindow& w = Open(ExportAllDesign());
  EXPECT_EQ(w.objectName(), "Form_Export_All");
  EXPECT_EQ(w.windowTitle().toStdString(),
            "Export to New Database [Source DB = " + lab_.main_path + "]");
  EXPECT_EQ(w.size(), QSize(Px(9660), Px(2850)));
  EXPECT_EQ(w.Label_Step3->text(), "STEP 1 : Create New Database");
  EXPECT_EQ(w.Command_CreateMobileDB->text(), "&Create New Database");
  EXPECT_EQ(w.Label3->text(), "STEP 2 : Display Database in Windows Explorer");
  EXPECT_EQ(w.Label5->text(), "Target Database Path:");
  EXPECT_EQ(w.Command_Explorer->text(), "Show Database Folder ");
  EXPECT_EQ(w.Command_Exit->text(), "&Main Menu");
  EXPECT_EQ(w.Label_Step2->text(),
            "STEP 1 : Select Customers for which to export instruments and calibration data");
  EXPECT_EQ(w.Line1, nullptr);
  EXPECT_EQ(w.findChild<QWidget*>("Line1"), nullptr);
  // The visible controls where the design puts them.
  EXPECT_EQ(w.Command_CreateMobileDB->geometry(), QRect(Px(120), Px(585), Px(3870), Px(795)));
  EXPECT_EQ(w.TargetDBText->geometry(), QRect(Px(4140), Px(1095), Px(4365), Px(285)));
  EXPECT_EQ(w.Command_Exit->geometry(), QRect(Px(7155), Px(1920), Px(1500), Px(795)));
  for (QWidget* c : CreateControls(w)) {
    EXPECT_TRUE(w.rect().contains(c->geometry())) << c->objectName().toStdString();
  }
  // Present, filled, but beyond the right edge.
  for (QWidget* c : CustomerControls(w)) {
    EXPECT_GE(c->x(), Px(10050)) << c->objectName().toStdString();
    EXPECT_FALSE(w.rect().intersects(c->geometry())) << c->objectName().toStdString();
  }
  EXPECT_EQ(Lines(*w.DBList_Customer), AllCustomerLines());
  EXPECT_EQ(w.TargetDBText->text().toStdString(),
            lab_.folder + "\\Quorbase On-Site Export 02-06-2009.mdb");
  // Longer than the box: the box shows its end, the file name.
  EXPECT_GT(w.TargetDBText->fontMetrics().horizontalAdvance(w.TargetDBText->text()),
            w.TargetDBText->width());
  w.TargetDBText->grab();  // the box scrolls its text when it is drawn
  EXPECT_EQ(w.TargetDBText->cursorPosition(), w.TargetDBText->text().size());
  EXPECT_TRUE(w.TargetDBText->rect().contains(
      w.TargetDBText->inputMethodQuery(Qt::ImCursorRectangle).toRect().center()));
}

TEST_F(ExportWindowTest, TheRebuildWindowsTextsRenderAsLettersInTheirBoxes) {
  MakeFolder("export_all_render");
  ExportWindow& w = Open(ExportAllDesign());
  QApplication::processEvents();
  const QImage image = Render(w);
  // The small print beside the folder button included: its last words must fit too.
  for (QWidget* c : std::initializer_list<QWidget*>{w.Label_Step3, w.Label5, w.Label3, w.Label4}) {
    EXPECT_TRUE(LooksLikeText(InspectInk(image, c->geometry()))) << c->objectName().toStdString();
  }
  auto* small = static_cast<QLabel*>(w.Label4);
  const QRect needed = small->fontMetrics().boundingRect(QRect(0, 0, small->width(), 10000),
                                                         Qt::TextWordWrap, small->text());
  EXPECT_LE(needed.height(), small->height());
  // Readable: not far below the size of the window's other texts, and clear of its neighbours.
  EXPECT_GE(small->font().pointSizeF(), w.Label5->font().pointSizeF() * 0.85);
  EXPECT_LT(small->geometry().right(), w.Command_Exit->x());
  EXPECT_GT(small->y(), w.Label3->geometry().bottom());
  EXPECT_GT(small->x(), w.Command_Explorer->geometry().right());
}

// What a fake action saw of its window while it ran.
struct BusyView {
  bool busy = false;
  std::vector<std::string> enabled;  // controls still enabled
  bool read_only = false;
  bool path_selected = true;
  Qt::CursorShape cursor = Qt::ArrowCursor;
  bool closed = false;
  size_t returned = 0;
  size_t exports = 0;
};

TEST_F(ExportWindowTest, WhileTheActionRunsTheWindowHoldsEveryClickAndRefusesToClose) {
  MakeFolder("export_busy");
  BusyView view;
  CreateRequest seen;
  ExportWindow* window = nullptr;
  ExportWindow& w = Open(ExportDesign(), [&](const CreateRequest& request, tasks::TaskUi& ui) {
    seen = request;
    ui.window.SetBusy(true);
    view.busy = window->busy();
    for (QWidget* c : std::initializer_list<QWidget*>{
             window->DBList_Customer, window->List_SelectedCust, window->Command1,
             window->Command_CustomerList, window->Command_CustomerListDel,
             window->Command_CustomerListDelAll, window->SearchBut, window->Command_CreateMobileDB,
             window->Command_Explorer, window->Command_Exit}) {
      if (c->isEnabled()) view.enabled.push_back(c->objectName().toStdString());
    }
    view.read_only = window->TargetDBText->isReadOnly();
    view.path_selected = window->TargetDBText->hasSelectedText();
    view.cursor = window->cursor().shape();
    // What the user might try meanwhile, as the events let through by the action arrive.
    window->close();
    view.closed = !window->isVisible();
    window->Command_Exit->click();
    window->Command_CustomerListDelAll->click();
    window->Command_CreateMobileDB->click();
    view.returned = returned_to_.size();
    view.exports = window->ExportList().size();
    ui.window.SetBusy(false);
  });
  window = &w;
  Select(*w.DBList_Customer, "Velmo Marine");
  w.Command_CustomerList->click();
  Select(*w.DBList_Customer, "Acme Test");
  w.Command_CustomerList->click();
  w.TargetDBText->setText("D:\\Site\\Velmo.mdb");
  QApplication::setActiveWindow(&w);
  w.Command_CreateMobileDB->setFocus();

  w.Command_CreateMobileDB->click();
  EXPECT_EQ(seen.customers, (std::vector<std::string>{"Velmo Marine", "Acme Test"}));
  EXPECT_EQ(seen.target_path, "D:\\Site\\Velmo.mdb");
  EXPECT_TRUE(view.busy);
  EXPECT_TRUE(view.enabled.empty()) << view.enabled.front();
  EXPECT_TRUE(view.read_only);
  // The focus leaving the disabled buttons does not land in the path box, selecting it all.
  EXPECT_FALSE(view.path_selected);
  EXPECT_EQ(view.cursor, Qt::WaitCursor);
  EXPECT_FALSE(view.closed);
  EXPECT_EQ(view.returned, 0u);
  EXPECT_EQ(view.exports, 2u);

  // Idle again: everything usable, and the window may close.
  EXPECT_FALSE(w.busy());
  EXPECT_TRUE(w.Command_CreateMobileDB->isEnabled());
  EXPECT_TRUE(w.Command_CreateMobileDB->hasFocus()) << "the focus is back where it was";
  EXPECT_TRUE(w.Command_Exit->isEnabled());
  EXPECT_TRUE(w.DBList_Customer->isEnabled());
  EXPECT_FALSE(w.TargetDBText->isReadOnly());
  EXPECT_EQ(w.cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(w.ExportList().size(), 2u);
  // Closing it now is the way back to the menu, as "&Main Menu" is.
  w.close();
  EXPECT_EQ(returned_to_, std::vector<QWidget*>{&w});
}

TEST_F(ExportWindowTest, AnActionThatThrowsIsReportedAndLeavesTheWindowIdle) {
  MakeFolder("export_throws");
  ExportWindow& w = Open(ExportAllDesign(), [](const CreateRequest&, tasks::TaskUi& ui) {
    ui.window.SetBusy(true);
    ui.progress.Show();
    throw jet::Error(3043, "Disk or network error.");
  });
  w.Command_CreateMobileDB->click();
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "Error 3043: Disk or network error.");
  EXPECT_EQ(progress_.calls.back(), "unload");
  EXPECT_FALSE(w.busy());
  EXPECT_TRUE(w.Command_CreateMobileDB->isEnabled());
}

// The real actions behind the two create buttons, on the window's own input.
TEST_F(ExportWindowTest, TheOnSiteWindowExportsTheListedCustomersAndStaysUsable) {
  MakeFolder("export_real_on_site");
  tasks::testing::LabWriter(lab_.main_path)
      .Calibration("I-2", 1, std::string("C-21"))
      .Result("C-21", 1, 4.5)
      .Additional("I-2", 1, "bench 3");
  // Paths as the laboratory writes them, folder + backslash + name.
  values_.main_database_path = lab_.folder + "\\Quorbase.mdb";
  ExportWindow& w = Open(ExportDesign(), OnSiteAction(values_));
  Select(*w.DBList_Customer, "Velmo Marine");
  w.Command_CustomerList->click();
  Select(*w.DBList_Customer, "O'Brien & Sons");
  w.Command_CustomerList->click();
  const std::string target = lab_.folder + "/on-site.mdb";
  w.TargetDBText->setText(QString::fromStdString(lab_.folder + "\\on-site.mdb"));
  w.Command_CreateMobileDB->click();

  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].title, "On-site database created");
  EXPECT_EQ(prompter_.messages[0].text,
            "Velmo Marine : 1 instruments 1 calibrations 1 results \r"
            "O'Brien & Sons : 1 instruments 0 calibrations 0 results \r");
  EXPECT_EQ(tasks::testing::Rows(target, "Instruments", {"Inst_Id", "Cust_Name"}),
            (std::vector<std::string>{"I-2|Velmo Marine", "I-4|O'Brien & Sons"}));
  // The action drove the window: busy while the bar moved, idle afterwards.
  EXPECT_EQ(progress_.With("caption:"), std::vector<std::string>{"Export Progress"});
  EXPECT_FALSE(w.busy());
  EXPECT_TRUE(w.Command_CreateMobileDB->isEnabled());
  EXPECT_EQ(w.ExportList().size(), 2u);
  EXPECT_EQ(w.TargetDBText->text().toStdString(), lab_.folder + "\\on-site.mdb");

  // An empty export list is refused before anything else.
  w.Command_CustomerListDelAll->click();
  w.Command_CreateMobileDB->click();
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_EQ(prompter_.messages[1].text, "Please select at least one customer");
}

TEST_F(ExportWindowTest, TheRebuildWindowCopiesEveryInstrumentWhateverTheLists) {
  MakeFolder("export_real_rebuild");
  CurrentFolderGuard guard;
  ASSERT_TRUE(platform::SetCurrentFolder(lab_.folder));
  rebuild::SeenList seen;
  values_.main_database_path = lab_.folder + "\\Quorbase.mdb";
  ExportWindow& w = Open(ExportAllDesign(), RebuildAction(values_, seen));
  EXPECT_EQ(Lines(*w.DBList_Customer), AllCustomerLines());
  const std::string target = lab_.folder + "/rebuilt.mdb";
  w.TargetDBText->setText(QString::fromStdString(lab_.folder + "\\rebuilt.mdb"));
  w.Command_CreateMobileDB->click();
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "8 instruments copied.");
  EXPECT_EQ(prompter_.messages[0].title, "New database created");
  EXPECT_EQ(tasks::testing::Rows(target, "Instruments", {"Inst_Id"}).size(), 8u);
  EXPECT_TRUE(std::filesystem::exists(lab_.folder + "/export_log.txt"));
  EXPECT_FALSE(w.busy());

  // The main database itself is refused in either spelling, and the list keeps its
  // connection.
  for (const std::string& main : {values_.main_database_path, lab_.main_path}) {
    w.TargetDBText->setText(QString::fromStdString(main));
    w.Command_CreateMobileDB->click();
    EXPECT_EQ(prompter_.messages.back().text, "Don't overwrite the main database");
  }
  EXPECT_EQ(prompter_.messages.size(), 3u);
  EXPECT_EQ(tasks::testing::Rows(lab_.main_path, "Instruments", {"Inst_Id"}).size(), 8u);
  EXPECT_EQ(Lines(*w.DBList_Customer), AllCustomerLines());
}

// The menu's commands open the windows; "&Main Menu" comes back.
class ExportShellTest : public ExportWindowTest {
 protected:
  void SetUp() override {
    shell_.SetExitHandler([] {});
  }
  void DeleteLater() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

  rebuild::SeenList seen_;
  Shell shell_{values_, prompter_};
};

TEST_F(ExportShellTest, TheMenuOpensEachProgramsWindowAndMainMenuReturns) {
  MakeFolder("export_shell");
  RegisterExportWindows(shell_, launcher_, seen_);
  struct Case {
    const char* program;
    const char* window;
    const char* caption;
  };
  for (const Case& c : {Case{"Fendra", "Form_Export", "Export to On-Site Database"},
                        Case{"Kestrine", "Form_Export_All", "Export to New Database"}}) {
    SCOPED_TRACE(c.program);
    values_.program_name = c.program;
    shell_.ShowMenu();
    QPushButton* command =
        values_.program_name == "Fendra" ? shell_.menu()->Command1 : shell_.menu()->Command3;
    command->click();
    DeleteLater();
    EXPECT_TRUE(prompter_.messages.empty());
    EXPECT_EQ(shell_.menu(), nullptr);
    QPointer<QWidget> opened = shell_.task_window();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->objectName(), c.window);
    EXPECT_TRUE(opened->isVisible());
    EXPECT_EQ(opened->windowTitle().toStdString(),
              std::string(c.caption) + " [Source DB = " + lab_.main_path + "]");
    auto* window = static_cast<ExportWindow*>(opened.data());
    EXPECT_EQ(window->DBList_Customer->count(), 7);

    window->Command_Explorer->click();
    EXPECT_EQ(launcher_.started.back(), platform::BrowseFolderCommand(lab_.folder + "\\"));

    window->Command_Exit->click();
    DeleteLater();
    EXPECT_EQ(opened, nullptr);
    ASSERT_NE(shell_.menu(), nullptr);
    EXPECT_TRUE(shell_.menu()->isVisible());
    EXPECT_EQ(shell_.task_window(), nullptr);

    // The title bar's close button goes back the same way; it must not close the program's
    // last window, which would end the program.
    bool last_window_closed = false;
    const QMetaObject::Connection watch = QObject::connect(qApp, &QGuiApplication::lastWindowClosed,
                                                           [&] { last_window_closed = true; });
    command = values_.program_name == "Fendra" ? shell_.menu()->Command1 : shell_.menu()->Command3;
    command->click();
    DeleteLater();
    opened = shell_.task_window();
    ASSERT_NE(opened, nullptr);
    EXPECT_FALSE(opened->close());
    DeleteLater();
    QObject::disconnect(watch);
    EXPECT_FALSE(last_window_closed);
    EXPECT_EQ(opened, nullptr);
    ASSERT_NE(shell_.menu(), nullptr);
    EXPECT_TRUE(shell_.menu()->isVisible());
    EXPECT_EQ(shell_.task_window(), nullptr);
  }
}

TEST_F(ExportShellTest, ARebuildFromTheMenuDrivesTheSharedProgressWindow) {
  MakeFolder("export_shell_rebuild");
  CurrentFolderGuard guard;
  ASSERT_TRUE(platform::SetCurrentFolder(lab_.folder));
  values_.program_name = "Kestrine";
  values_.main_database_path = lab_.folder + "\\Quorbase.mdb";
  RegisterExportWindows(shell_, launcher_, seen_);
  shell_.ShowMenu();
  shell_.menu()->Command3->click();
  auto* window = static_cast<ExportWindow*>(shell_.task_window());
  ASSERT_NE(window, nullptr);
  window->TargetDBText->setText(QString::fromStdString(lab_.folder + "\\rebuilt.mdb"));
  window->Command_CreateMobileDB->click();
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "8 instruments copied.");
  EXPECT_EQ(shell_.progress().form(), nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_TRUE(window->Command_CreateMobileDB->isEnabled());
  EXPECT_EQ(tasks::testing::Rows(lab_.folder + "/rebuilt.mdb", "Instruments", {"Inst_Id"}).size(),
            8u);
}

}  // namespace
}  // namespace app::testing
