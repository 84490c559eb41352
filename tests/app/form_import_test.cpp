// The import window opened from the menu as the user opens it: its controls and caption, Select
// through the file dialog, updates on small main and on-site databases made with the engine
// (completed, stopped at the error prompt, offering the log), and clicks that arrive while an
// update runs.
#include "app/form_import.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <functional>

#include "app/form_intro.h"
#include "app/shell.h"
#include "init_files.h"
#include "platform/files.h"
#include "platform/launcher.h"
#include "platform/test_doubles.h"
#include "support/lab_files.h"

namespace app::testing {
namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;
using tasks::testing::LabWriter;

std::string Summary(int instruments, int calibrations, int results) {
  const std::string cr(1, '\r');
  return "Update Complete." + cr + std::to_string(instruments) + " new instruments copied" + cr +
         std::to_string(calibrations) + " new calibrations copied" + cr + std::to_string(results) +
         " new results copied";
}

// A path box, as drawn, shows the end of its path, the file name, however long the path is.
bool ShowsTheEnd(QLineEdit& box) {
  box.grab();  // the box scrolls its text when it is drawn
  return box.cursorPosition() == box.text().size() &&
         box.rect().contains(box.inputMethodQuery(Qt::ImCursorRectangle).toRect().center());
}

bool ShowsBusyPointer(const QWidget& window) { return window.cursor().shape() == Qt::WaitCursor; }

int MenusOnScreen() {
  int menus = 0;
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->objectName() == "Form_Intro" && window->isVisible()) ++menus;
  }
  return menus;
}

class ImportWindowTest : public ::testing::Test {
 protected:
  ImportWindowTest() { RegisterImportWindow(shell_, launcher_); }

  void TearDown() override {
    // Windows the shell unloaded later still refer to this test's prompter.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }

  // A main database holding instrument I1 with calibration 1 (certificate C-1), an on-site
  // file with empty tables, and the lab folder as the current folder, where the log goes.
  void MakeFiles(const std::string& name) {
    lab_ = tasks::testing::MakeLab(name);
    onsite_ = tasks::testing::MakeLab(name + "_site").main_path;
    LabWriter(lab_.main_path)
        .Instrument("I1", std::string("Acme"))
        .Calibration("I1", 1, std::string("C-1"));
    values_.program_name = "Fendra";
    values_.results_folder = lab_.folder;
    values_.main_database_path = lab_.main_path;
    ASSERT_TRUE(platform::SetCurrentFolder(lab_.folder));
  }

  // Work from the site: a new instrument I2 with a calibration and two result lines.
  void AddNewWork() {
    LabWriter(onsite_)
        .Instrument("I1", std::string("Acme"))
        .Instrument("I2", std::string("Acme"))
        .Calibration("I2", 1, std::string("C-2"))
        .Result("C-2", 1, 1.5)
        .Result("C-2", 2, 2.5);
  }

  // Work from the site that clashes: calibration 1 of I1 under another certificate, which
  // the merge logs as a problem.
  void AddClash() {
    LabWriter(onsite_)
        .Instrument("I1", std::string("Acme"))
        .Calibration("I1", 1, std::string("C-9"));
  }

  // The window as the menu's "Click to Import" opens it.
  Form_Import& OpenFromMenu() {
    shell_.ShowMenu();
    shell_.menu()->Command2->click();
    auto* window = dynamic_cast<Form_Import*>(shell_.task_window());
    EXPECT_NE(window, nullptr);
    window_ = window;
    return *window;
  }

  // The window with the on-site file chosen through the dialog.
  Form_Import& OpenWithOnsiteFile() {
    Form_Import& window = OpenFromMenu();
    prompter_.files.push_back(onsite_);
    window.Command_MobileDB->click();
    EXPECT_EQ(window.Text_mobileDB->text().toStdString(), onsite_);
    return window;
  }

  // Runs `during` inside the update's first yield to the window system.
  void DuringTheRun(std::function<void()> during) {
    QTimer::singleShot(0, window_.data(), [this, during] {
      ran_during_ = true;
      during();
    });
  }

  bool ReturnedToMenu() const {
    return shell_.menu() != nullptr && shell_.menu()->isVisible() && MenusOnScreen() == 1 &&
           !(window_ && window_->isVisible());
  }

  CurrentFolderGuard folder_guard_;
  tasks::testing::Lab lab_;
  std::string onsite_;
  ProgramValues values_;
  platform::testing::FakePrompter prompter_;
  platform::testing::FakeLauncher launcher_;
  Shell shell_{values_, prompter_};
  QPointer<Form_Import> window_;
  bool ran_during_ = false;
};

TEST_F(ImportWindowTest, OpensFromTheMenuCentredWithItsDesignTexts) {
  MakeFiles("import_window_load");
  Form_Import& window = OpenFromMenu();
  EXPECT_EQ(shell_.menu(), nullptr);
  EXPECT_EQ(MenusOnScreen(), 0);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(window.objectName(), "Form_Import");
  EXPECT_EQ(window.windowTitle().toStdString(),
            "Import from On-Site database [Target = " + lab_.main_path + "]");

  const std::vector<std::pair<QWidget*, std::pair<const char*, const char*>>> controls = {
      {window.Label_Step1, {"Label_Step1", "STEP 1 : Select On-Site Database"}},
      {window.Command_MobileDB, {"Command_MobileDB", "&Select"}},
      {window.Text_mobileDB, {"Text_mobileDB", ""}},
      {window.Label_Step2, {"Label_Step2", "STEP 2 : Import data to main database"}},
      {window.Command_Update, {"Command_Update", "&Update Main Database"}},
      {window.Command_Exit, {"Command_Exit", "&Main Menu"}},
  };
  for (const auto& [control, design] : controls) {
    EXPECT_EQ(control->objectName(), design.first);
    EXPECT_EQ(control->property("text").toString(), design.second) << design.first;
    EXPECT_TRUE(control->isVisible()) << design.first;
    EXPECT_TRUE(window.rect().contains(control->geometry())) << design.first;
  }

  const QRect screen = QGuiApplication::primaryScreen()->geometry();
  EXPECT_EQ(window.pos(), QPoint(screen.left() + (screen.width() - window.width()) / 2,
                                 screen.top() + (screen.height() - window.height()) / 2));
  EXPECT_TRUE(prompter_.messages.empty());
}

TEST_F(ImportWindowTest, SelectTakesAResultsDatabaseAndRefusesAnyOtherFile) {
  MakeFiles("import_window_select");
  const std::string junk = lab_.folder + "/notes.mdb";
  tasks::testing::WriteFile(junk, "not a database");
  Form_Import& window = OpenFromMenu();

  prompter_.files = {onsite_, std::nullopt, junk};
  window.Command_MobileDB->click();
  EXPECT_EQ(window.Text_mobileDB->text().toStdString(), onsite_);
  EXPECT_TRUE(ShowsTheEnd(*window.Text_mobileDB));
  ASSERT_EQ(prompter_.file_requests.size(), 1u);
  EXPECT_EQ(prompter_.file_requests[0].title, "Select database with mobile on-site data");
  EXPECT_EQ(prompter_.file_requests[0].filter, "Database Files (*.mdb)|*.mdb");
  // In the results folder, where the on-site files are exported to and come back.
  EXPECT_EQ(prompter_.file_requests[0].initial_folder, platform::NativePath(lab_.folder));

  window.Command_MobileDB->click();  // cancelled: the path stays
  EXPECT_EQ(window.Text_mobileDB->text().toStdString(), onsite_);
  EXPECT_TRUE(prompter_.messages.empty());

  // Refused even though a valid path was there before.
  window.Command_MobileDB->click();
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "Invalid database file " + junk);
  EXPECT_EQ(prompter_.messages[0].buttons, Buttons::kOk);
  EXPECT_EQ(prompter_.messages[0].icon, Icon::kExclamation);
  EXPECT_EQ(prompter_.messages[0].title, "");
  EXPECT_EQ(window.Text_mobileDB->text(), "");
  EXPECT_TRUE(window.isVisible());
}

TEST_F(ImportWindowTest, UpdateMergesShowsTheCountsLogsThemAndReturnsToTheMenu) {
  MakeFiles("import_window_update");
  AddNewWork();
  Form_Import& window = OpenWithOnsiteFile();
  QApplication::setActiveWindow(&window);
  window.Command_Update->setFocus();
  bool busy_during_run = false;
  bool progress_during_run = false;
  std::vector<std::string> enabled_during_run;
  bool path_selected_during_run = true;
  DuringTheRun([&] {
    busy_during_run = ShowsBusyPointer(window);
    progress_during_run = shell_.progress().form() && shell_.progress().form()->isVisible();
    for (QPushButton* button :
         {window.Command_MobileDB, window.Command_Update, window.Command_Exit}) {
      if (button->isEnabled()) enabled_during_run.push_back(button->objectName().toStdString());
    }
    path_selected_during_run = window.Text_mobileDB->hasSelectedText();
  });

  window.Command_Update->click();
  EXPECT_TRUE(ran_during_);
  EXPECT_TRUE(busy_during_run);
  EXPECT_TRUE(progress_during_run);
  EXPECT_TRUE(enabled_during_run.empty()) << "buttons that do nothing look disabled";
  // The focus leaving the disabled buttons does not land in the path box, selecting it all.
  EXPECT_FALSE(path_selected_during_run);

  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, Summary(1, 1, 2));
  EXPECT_EQ(prompter_.messages[0].icon, Icon::kInformation);
  EXPECT_EQ(prompter_.messages[0].title, "On-site Database Import");
  EXPECT_TRUE(launcher_.started.empty()) << "no problem, no question about the log";
  EXPECT_EQ(shell_.progress().form(), nullptr);
  EXPECT_TRUE(ReturnedToMenu());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window_.isNull()) << "the window is unloaded";

  EXPECT_EQ(tasks::testing::Rows(lab_.main_path, "Instruments", {"Inst_Id"}),
            (std::vector<std::string>{"I1", "I2"}));
  EXPECT_EQ(tasks::testing::Rows(lab_.main_path, "Results", {"Cert_No", "Test_No"}),
            (std::vector<std::string>{"C-2|1", "C-2|2"}));
  const std::string log = tasks::testing::ReadFile(lab_.folder + "/ImportLog.txt");
  EXPECT_TRUE(
      log.ends_with("\r\nQuorvel on-site database import log\r\n" + Summary(1, 1, 2) + "\r\n"))
      << log;
}

TEST_F(ImportWindowTest, AProblemOffersTheLogInTheTextEditorThenReturnsToTheMenu) {
  MakeFiles("import_window_problem");
  AddClash();
  Form_Import& window = OpenWithOnsiteFile();
  window.Command_Update->click();
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_EQ(prompter_.messages[0].text, Summary(0, 0, 0));
  EXPECT_EQ(prompter_.messages[1].text,
            "Problem detected during import. View log file for details?");
  EXPECT_EQ(prompter_.messages[1].buttons, Buttons::kYesNo);
  EXPECT_EQ(prompter_.messages[1].icon, Icon::kExclamation);
  EXPECT_EQ(launcher_.started,
            std::vector<platform::Command>{platform::EditTextFileCommand("ImportLog.txt")});
  EXPECT_TRUE(ReturnedToMenu());
}

TEST_F(ImportWindowTest, NoAtTheErrorPromptKeepsTheWindowAndClearsTheBusyState) {
  MakeFiles("import_window_no");  // the on-site tables are empty: the merges fail
  Form_Import& window = OpenWithOnsiteFile();
  prompter_.answers = {Answer::kNo};
  window.Command_Update->click();

  ASSERT_EQ(prompter_.messages.size(), 1u);
  const platform::Message& prompt = prompter_.messages[0];
  EXPECT_TRUE(prompt.text.starts_with("Error: ")) << prompt.text;
  EXPECT_TRUE(prompt.text.ends_with("\rResume Processing?")) << prompt.text;
  EXPECT_EQ(prompt.buttons, Buttons::kYesNo);
  EXPECT_EQ(prompt.icon, Icon::kNone);
  EXPECT_EQ(shell_.progress().form(), nullptr) << "the progress window is closed";
  EXPECT_FALSE(ShowsBusyPointer(window)) << "the pointer is restored";
  EXPECT_TRUE(window.Command_MobileDB->isEnabled());
  EXPECT_TRUE(window.Command_Update->isEnabled());
  EXPECT_TRUE(window.Command_Exit->isEnabled());
  EXPECT_FALSE(window.Text_mobileDB->isReadOnly());
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(shell_.menu(), nullptr);
  EXPECT_EQ(shell_.task_window(), &window);

  // The update may run again; going on at every prompt, it completes with nothing copied.
  window.Command_Update->click();
  ASSERT_GE(prompter_.messages.size(), 3u);
  EXPECT_EQ(prompter_.messages.back().text, Summary(0, 0, 0));
  EXPECT_TRUE(ReturnedToMenu());
}

TEST_F(ImportWindowTest, MainMenuUpdateAndCloseDuringARunWaitForItsEnd) {
  MakeFiles("import_window_wait");
  AddNewWork();
  Form_Import& window = OpenWithOnsiteFile();
  bool closed_during_run = true;
  bool select_held_back = false;
  size_t boxes_during_run = 99;
  DuringTheRun([&] {
    // The buttons are disabled; what still reaches the controller waits.
    window.Command_Update->click();
    window.Command_Exit->click();
    window.controller().Update();
    window.controller().MainMenu();
    closed_during_run = window.close();
    select_held_back = !window.Command_MobileDB->isEnabled() && window.Text_mobileDB->isReadOnly();
    boxes_during_run = prompter_.messages.size();
  });

  window.Command_Update->click();
  EXPECT_TRUE(ran_during_);
  EXPECT_FALSE(closed_during_run);
  EXPECT_TRUE(select_held_back);
  EXPECT_EQ(boxes_during_run, 0u) << "no second update ran inside the first";
  // One run, one summary, one way back to the menu.
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, Summary(1, 1, 2));
  EXPECT_TRUE(ReturnedToMenu());
  EXPECT_EQ(tasks::testing::Rows(lab_.main_path, "Results", {"Cert_No"}).size(), 2u);
}

TEST_F(ImportWindowTest, AnUpdateAskedForDuringAStoppedRunRunsAfterIt) {
  MakeFiles("import_window_wait_update");
  AddClash();
  // Opening the log fails and goes to the error prompt, where the first run stops.
  launcher_.succeed = false;
  Form_Import& window = OpenWithOnsiteFile();
  prompter_.answers = {Answer::kOk, Answer::kYes, Answer::kNo};
  DuringTheRun([&] { window.controller().Update(); });

  window.Command_Update->click();
  EXPECT_TRUE(ran_during_);
  // The second run goes on at its error prompt and completes.
  std::vector<std::string> texts;
  for (const platform::Message& message : prompter_.messages) texts.push_back(message.text);
  const std::string question = "Problem detected during import. View log file for details?";
  const std::string error = "Error: File not found\rResume Processing?";
  EXPECT_EQ(texts, (std::vector<std::string>{Summary(0, 0, 0), question, error, Summary(0, 0, 0),
                                             question, error}));
  EXPECT_TRUE(ReturnedToMenu());
}

TEST_F(ImportWindowTest, ClosingDuringAStoppedRunReturnsToTheMenuAfterIt) {
  MakeFiles("import_window_wait_close");
  AddClash();
  launcher_.succeed = false;
  Form_Import& window = OpenWithOnsiteFile();
  prompter_.answers = {Answer::kOk, Answer::kYes, Answer::kNo};
  bool closed_during_run = true;
  DuringTheRun([&] { closed_during_run = window.close(); });

  window.Command_Update->click();
  EXPECT_TRUE(ran_during_);
  EXPECT_FALSE(closed_during_run);
  EXPECT_EQ(prompter_.messages.size(), 3u);
  EXPECT_TRUE(ReturnedToMenu());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window_.isNull());
}

TEST_F(ImportWindowTest, ClosingTheWindowReturnsToTheMenuInsteadOfEndingTheProgram) {
  MakeFiles("import_window_close");
  bool last_window_closed = false;
  const QMetaObject::Connection watch = QObject::connect(qApp, &QGuiApplication::lastWindowClosed,
                                                         [&] { last_window_closed = true; });
  Form_Import& window = OpenFromMenu();
  EXPECT_FALSE(window.close());
  QObject::disconnect(watch);
  EXPECT_FALSE(last_window_closed);
  EXPECT_TRUE(ReturnedToMenu());
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window_.isNull());
}

}  // namespace
}  // namespace app::testing
