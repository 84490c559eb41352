// Start-up: where the initialisation database is found, what RESULTS_PATH gives the
// program-wide values, the two-second title, and the stops on every kind of unreadable
// initialisation database.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/reconciler.h"
#include "init_files.h"
#include "platform/files.h"
#include "platform/test_doubles.h"

namespace app {
namespace {

using testing::CurrentFolderGuard;
using testing::MakeInitDatabase;
using testing::NewFolder;

// Records what start-up does to its windows, with the clock's time at each step.
class RecordingScreens : public StartUpScreens {
 public:
  explicit RecordingScreens(platform::testing::FakeClock& clock) : clock_(clock) {}
  void ShowTitle() override { Log("title"); }
  void SetTitleInfo(const std::string& text) override {
    info = text;
    Log("info");
  }
  void UnloadTitle() override { Log("unload"); }
  void ShowMenu() override { Log("menu"); }
  void ShowStop(const std::string& message) override {
    stop = message;
    Log("stop");
  }

  void Reset() {
    steps.clear();
    times.clear();
    info.clear();
    stop.clear();
  }

  std::vector<std::string> steps;
  std::vector<double> times;
  std::string info;
  std::string stop;

 private:
  void Log(const char* step) {
    steps.push_back(step);
    times.push_back(clock_.elapsed());
  }
  platform::testing::FakeClock& clock_;
};

class StartUpTest : public ::testing::Test {
 protected:
  // Start-up with `current` as the current folder and `programs` as the default folder.
  void Run(const std::string& current, const std::string& programs) {
    platform::SetCurrentFolder(current);
    Reconciler reconciler("Kestrine", clock_, programs);
    started_ = reconciler.StartUp(screens_);
    values_ = reconciler.values();
    folder_after_ = platform::CurrentFolder();
    opened_ = reconciler.init_database_path();
  }
  // Start-up on an initialisation database in the current folder.
  void RunWith(const testing::InitRecords& records) {
    screens_.Reset();
    const std::string folder = NewFolder("lab");
    MakeInitDatabase(folder, records);
    Run(folder, NewFolder("programs"));
  }

  CurrentFolderGuard guard_;
  platform::testing::FakeClock clock_;
  RecordingScreens screens_{clock_};
  bool started_ = false;
  ProgramValues values_;
  std::string folder_after_;
  std::string opened_;
};

TEST_F(StartUpTest, ReadsTheInitialisationDatabaseInTheCurrentFolderAndLeavesTheFolder) {
  const std::string lab = NewFolder("lab");
  const std::string programs = NewFolder("programs");
  MakeInitDatabase(lab, {"D:\\Data"});
  MakeInitDatabase(programs, {"E:\\Elsewhere"});
  Run(lab, programs);

  ASSERT_TRUE(started_) << screens_.stop;
  EXPECT_EQ(folder_after_, platform::CurrentFolder());
  EXPECT_EQ(std::filesystem::path(folder_after_), std::filesystem::path(lab));
  EXPECT_EQ(opened_, lab + "\\Quorinit.MDB");
  EXPECT_EQ(values_.results_folder, "D:\\Data");
  EXPECT_EQ(values_.main_database_path, "D:\\Data\\Quorbase.mdb");
  EXPECT_EQ(values_.version_text, "V2.00 : 02/06/2009");
  EXPECT_EQ(values_.program_name, "Kestrine");
}

TEST_F(StartUpTest, FallsBackToTheDefaultProgramFolderAndStaysThere) {
  const std::string lab = NewFolder("empty-lab");
  const std::string programs = NewFolder("programs");
  MakeInitDatabase(programs, {"/srv/lab/results"});
  Run(lab, programs);

  ASSERT_TRUE(started_) << screens_.stop;
  EXPECT_EQ(std::filesystem::path(folder_after_), std::filesystem::path(programs));
  EXPECT_EQ(values_.main_database_path, "/srv/lab/results\\Quorbase.mdb");
#ifndef _WIN32
  // The program's path text reaches the file system with the backslash as a separator.
  EXPECT_EQ(platform::NativePath(values_.main_database_path), "/srv/lab/results/Quorbase.mdb");
#endif
}

TEST_F(StartUpTest, ResultsPathIsTrimmedOfSpacesOnlyAndNeverNormalised) {
  RunWith({"   D:\\Data  "});
  EXPECT_EQ(values_.results_folder, "D:\\Data");
  EXPECT_EQ(values_.main_database_path, "D:\\Data\\Quorbase.mdb");

  RunWith({"D:\\Data\\"});
  EXPECT_EQ(values_.results_folder, "D:\\Data\\");
  EXPECT_EQ(values_.main_database_path, "D:\\Data\\\\Quorbase.mdb");

  RunWith({"\tD:\\Tabbed\t"});
  EXPECT_EQ(values_.results_folder, "\tD:\\Tabbed\t");
}

TEST_F(StartUpTest, NullResultsPathLeavesBothPathsEmptyAndStillOpensTheMenu) {
  RunWith({std::nullopt});
  ASSERT_TRUE(started_) << screens_.stop;
  EXPECT_EQ(values_.results_folder, "");
  EXPECT_EQ(values_.main_database_path, "");
  EXPECT_EQ(screens_.info, "Certificates Database Path = \r\r");
  EXPECT_EQ(screens_.steps.back(), "menu");
}

TEST_F(StartUpTest, OnlyTheFirstRecordCounts) {
  RunWith({"C:\\First", "C:\\Second", std::nullopt});
  EXPECT_EQ(values_.results_folder, "C:\\First");
}

TEST_F(StartUpTest, TitleShowsThePathForMoreThanTwoSecondsThenTheMenuOpens) {
  RunWith({"D:\\Data"});
  ASSERT_EQ(screens_.steps, (std::vector<std::string>{"title", "info", "unload", "menu"}));
  EXPECT_EQ(screens_.info, "Certificates Database Path = \r\rD:\\Data\\Quorbase.mdb");
  EXPECT_GT(screens_.times[2] - screens_.times[1], 2.0);
}

// Each unreadable initialisation database stops start-up with the engine's own message while
// the title window is up; the menu never opens.
TEST_F(StartUpTest, StopsWithTheEnginesMessageWhenTheInitialisationDatabaseIsUnusable) {
  struct Case {
    const char* what;
    std::function<void(const std::string&)> make;
    const char* message_part;
  };
  const std::vector<Case> cases = {
      {"absent everywhere", [](const std::string&) {}, "Quorinit.MDB"},
      {"not a database", [](const std::string& f) { testing::MakeNonDatabase(f); }, ""},
      {"no INITIALIZE table",
       [](const std::string& f) { testing::MakeInitDatabaseWithoutTable(f); }, "INITIALIZE"},
      {"no record", [](const std::string& f) { MakeInitDatabase(f, {}); }, "No current record"},
      {"no RESULTS_PATH field",
       [](const std::string& f) { testing::MakeInitDatabaseWithoutField(f); }, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string lab = NewFolder("lab");
    c.make(lab);
    screens_.Reset();
    Run(lab, NewFolder("programs"));
    EXPECT_FALSE(started_);
    EXPECT_EQ(screens_.steps, (std::vector<std::string>{"title", "stop"}));
    EXPECT_FALSE(screens_.stop.empty());
    EXPECT_NE(screens_.stop.find(c.message_part), std::string::npos) << screens_.stop;
  }
}

TEST_F(StartUpTest, MissingDefaultFolderStillNamesTheFileTheProgramLookedFor) {
  const std::string lab = NewFolder("lab");
  const std::string programs = lab + "/not-installed";
  Run(lab, programs);
  EXPECT_FALSE(started_);
  EXPECT_EQ(opened_, programs + "\\Quorinit.MDB");
  EXPECT_EQ(std::filesystem::path(folder_after_), std::filesystem::path(lab));
}

}  // namespace
}  // namespace app
