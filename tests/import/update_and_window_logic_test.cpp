// The update's refusals and its error prompt's No, and the import window's logic: Select with
// its validity test, and clicks that arrive while an update runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "app/program_values.h"
#include "import/import_controller.h"
#include "platform/files.h"
#include "platform/test_doubles.h"
#include "scenario.h"
#include "support/fixtures.h"
#include "support/task_test_ui.h"

namespace import_test {
namespace {

using platform::Answer;
using platform::Buttons;
using platform::Icon;

class UpdateFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::TempDir();
    previous_ = platform::CurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(folder_));
    values_.results_folder = folder_;
    values_.main_database_path = folder_ + app::kMainDatabaseName;
    MakeDatabase(folder_ + "/Quorbase.mdb", {});
  }
  void TearDown() override { platform::SetCurrentFolder(previous_); }

  std::string folder_;
  std::string previous_;
  app::ProgramValues values_;
  platform::testing::FakePrompter prompter_;
  platform::testing::FakeLauncher launcher_;
  tasks::testing::RecordingProgress progress_;
  tasks::testing::RecordingWindow window_;
  import_task::UpdateSurroundings surroundings_{prompter_, launcher_, progress_, window_};
  import_task::ImportLog log_{[] { return "now"; }};
};

TEST_F(UpdateFixture, RefusesAMissingFileAndAFileThatIsNoDatabase) {
  const std::string missing = folder_ + "/gone.mdb";
  auto result = import_task::RunUpdate({values_.main_database_path, missing}, surroundings_, log_);
  EXPECT_EQ(result.end, import_task::UpdateEnd::kRefused);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "File not found " + missing);
  EXPECT_EQ(prompter_.messages[0].icon, Icon::kNone);

  const std::string junk = folder_ + "/junk.mdb";
  std::ofstream(junk) << "not a database";
  result = import_task::RunUpdate({values_.main_database_path, junk}, surroundings_, log_);
  EXPECT_EQ(result.end, import_task::UpdateEnd::kRefused);
  ASSERT_EQ(prompter_.messages.size(), 2u);
  EXPECT_TRUE(prompter_.messages[1].text.starts_with("File Error: ")) << prompter_.messages[1].text;
  EXPECT_FALSE(platform::FileExists("ImportLog.txt")) << "the log is not touched";
  EXPECT_TRUE(window_.states.empty());
}

TEST_F(UpdateFixture, NoAtTheErrorPromptClosesTheProgressWindowAndRestoresThePointer) {
  // The instrument merge of an empty on-site file fails, with the progress window shown.
  const std::string onsite = folder_ + "/onsite.mdb";
  MakeDatabase(onsite, {});
  prompter_.answers = {Answer::kNo};
  const auto result =
      import_task::RunUpdate({values_.main_database_path, onsite}, surroundings_, log_);
  EXPECT_EQ(result.end, import_task::UpdateEnd::kStopped);
  EXPECT_EQ(progress_.Last("caption:"), "Import Progress");
  EXPECT_EQ(progress_.With("task:"), std::vector<std::string>{"Importing Instruments"});
  // Set before the window shows: the instrument merge lets no events through to paint it.
  const auto at = [&](const std::string& call) {
    return std::find(progress_.calls.begin(), progress_.calls.end(), call);
  };
  EXPECT_LT(at("task:Importing Instruments"), at("show"));
  EXPECT_FALSE(progress_.shown);
  EXPECT_EQ(window_.states, (std::vector<bool>{true, false}));
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].buttons, Buttons::kYesNo);
}

TEST_F(UpdateFixture, AnOnsiteFileWithoutInstrumentsTableGoesToThePromptBeforeTheLog) {
  const std::string onsite = folder_ + "/onsite.mdb";
  MakeDatabase(onsite, Tables("[Instruments; absent]"));
  prompter_.answers = {Answer::kNo};
  const auto result =
      import_task::RunUpdate({values_.main_database_path, onsite}, surroundings_, log_);
  EXPECT_EQ(result.end, import_task::UpdateEnd::kStopped);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text,
            "Error: Item not found in this collection.\rResume Processing?");
  EXPECT_FALSE(platform::FileExists("ImportLog.txt"));
  EXPECT_TRUE(window_.states.empty());
}

class FakeView : public import_task::ImportView {
 public:
  std::string PathText() const override { return path; }
  void SetPathText(const std::string& text) override { path = text; }
  void ReturnToMenu() override { ++returns; }
  std::string path;
  int returns = 0;
};

TEST_F(UpdateFixture, SelectTestsTheThreeTables) {
  FakeView view;
  import_task::ImportController controller(values_.main_database_path, view, surroundings_);
  const std::string good = folder_ + "/good.mdb";
  const std::string no_results = folder_ + "/no_results.mdb";
  MakeDatabase(good, Tables("[Additional Data; absent]"));
  MakeDatabase(no_results, Tables("[Results; absent]"));

  prompter_.files = {good, std::nullopt, no_results};
  controller.Select();
  EXPECT_EQ(view.path, good);
  ASSERT_EQ(prompter_.file_requests.size(), 1u);
  EXPECT_EQ(prompter_.file_requests[0].title, "Select database with mobile on-site data");
  EXPECT_EQ(prompter_.file_requests[0].filter, "Database Files (*.mdb)|*.mdb");
  controller.Select();  // cancelled: the path stays
  EXPECT_EQ(view.path, good);
  controller.Select();
  EXPECT_EQ(view.path, "");
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_EQ(prompter_.messages[0].text, "Invalid database file " + no_results);
  EXPECT_EQ(prompter_.messages[0].icon, Icon::kExclamation);
  EXPECT_EQ(import_task::ImportWindowCaption("D:\\Data\\Quorbase.mdb"),
            "Import from On-Site database [Target = D:\\Data\\Quorbase.mdb]");
}

TEST_F(UpdateFixture, ClicksDuringAnUpdateWaitForIt) {
  FakeView view;
  import_task::ImportController controller(values_.main_database_path, view, surroundings_);
  view.path = folder_ + "/onsite.mdb";
  MakeDatabase(view.path, Tables(R"(
[Instruments]
Inst_Id | Status
A1      | D
[Calibrations]
Inst_Id | Cal_Ref | Cert_No
A1      | 1       | C-1
A1      | 2       | C-2
)"));
  // While the calibrations are merged the user clicks Update and then Main Menu.
  int clicks = 0;
  progress_.on_events = [&] {
    if (clicks++ > 0) return;
    EXPECT_TRUE(controller.running());
    controller.Update();
    controller.MainMenu();
    EXPECT_EQ(view.returns, 0) << "the window must not go while the update runs";
  };
  controller.Update();
  EXPECT_FALSE(controller.running());
  EXPECT_EQ(view.returns, 1);
  ASSERT_TRUE(controller.last_result());
  EXPECT_EQ(controller.last_result()->state.NewCalibrationCount, 2);
  // One update ran: one summary.
  int summaries = 0;
  for (const auto& m : prompter_.messages) summaries += m.text.starts_with("Update Complete.");
  EXPECT_EQ(summaries, 1);
}

TEST_F(UpdateFixture, AnUpdateClickedDuringAStoppedRunRunsAfterIt) {
  FakeView view;
  import_task::ImportController controller(values_.main_database_path, view, surroundings_);
  view.path = folder_ + "/onsite.mdb";
  MakeDatabase(view.path, Tables(R"(
[Instruments]
Inst_Id | Status
A1      | D
[Calibrations; Extra=text(5)]
Inst_Id | Cal_Ref | Cert_No
A1      | 1       | C-1
)"));
  // The append fails (the main table lacks Extra). The first run is stopped by No; the click
  // made during it starts a second run, whose prompt is answered Yes, and which completes.
  int clicks = 0;
  progress_.on_events = [&] {
    if (clicks++ == 0) controller.Update();
  };
  prompter_.answers = {Answer::kNo};
  controller.Update();
  EXPECT_EQ(view.returns, 1);
  EXPECT_EQ(controller.last_result()->end, import_task::UpdateEnd::kCompleted);
}

}  // namespace
}  // namespace import_test
