// `quorbase rebuild` on a demo results folder: the built tool rebuilds exactly what the window's
// code path rebuilds, the new file is sound, and scripts can tell from the exit status whether
// anything arrived.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "db/schema.h"
#include "demo/demo_folder.h"
#include "demo/demo_schema.h"
#include "interop/run_program.h"
#include "jet/consistency_check.h"
#include "jet/database.h"
#include "rebuild/rebuild_database.h"
#include "support/fixtures.h"
#include "support/lab_files.h"
#include "support/task_test_ui.h"

namespace rebuild {
namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<jet::Value>>;

std::map<std::string, Rows> ReadTables(const std::string& path) {
  auto db = jet::Database::Open(path);
  std::map<std::string, Rows> tables;
  for (const jet::TableDesign& layout : demo::ResultsTableDesigns()) {
    Rows& rows = tables[layout.name];
    const jet::Table table = db->OpenTable(layout.name);
    for (auto cursor = table.Scan(); cursor.Next();) rows.push_back(cursor.values());
  }
  return tables;
}

std::vector<std::string> CheckProblems(const std::string& path) {
  auto db = jet::Database::Open(path);
  return jet::CheckDatabase(*db);
}

// The tool writes export_log.txt in the current folder: run it from the test's folder.
interop::ProgramResult RunIn(const std::string& folder, std::vector<std::string> args) {
  args.insert(args.begin(), {QB_QUORBASE, "rebuild"});
  const fs::path before = fs::current_path();
  fs::current_path(folder);
  interop::ProgramResult result = interop::RunProgram(args);
  fs::current_path(before);
  return result;
}

class RebuildCommandTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new std::string(testing_support::TempDir() + "/rebuild_command");
    fs::remove_all(*folder_);
    fs::create_directories(*folder_);
    demo::DemoFolderOptions options;
    options.folder = *folder_ + "/lab";
    options.instruments = demo::kInstrumentsForEveryCase;
    options.seed = 11;
    counts_ = demo::MakeDemoFolder(options);
    paths_ = new demo::DemoFolderPaths(demo::DemoPaths(options.folder));
  }
  static void TearDownTestSuite() {
    delete folder_;
    delete paths_;
  }

  static std::string* folder_;
  static demo::DemoFolderPaths* paths_;
  static demo::DemoCounts counts_;
};

std::string* RebuildCommandTest::folder_ = nullptr;
demo::DemoFolderPaths* RebuildCommandTest::paths_ = nullptr;
demo::DemoCounts RebuildCommandTest::counts_;

TEST_F(RebuildCommandTest, RebuildsWhatTheWindowsCodeRebuildsIntoASoundFile) {
  const std::string target = *folder_ + "/Rebuilt.mdb";
  fs::remove(target);
  const interop::ProgramResult run = RunIn(*folder_, {paths_->results_folder, target});
  ASSERT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.output, std::to_string(counts_.instruments) + " instruments copied.\n");
  EXPECT_EQ(CheckProblems(target), std::vector<std::string>{});

  // The same request run in this process, as the window runs it.
  const std::string reference = *folder_ + "/Reference.mdb";
  fs::remove(reference);
  tasks::testing::TestUi ui;
  SeenList seen;
  RebuildRequest request;
  request.results_folder = paths_->results_folder;
  request.main_database_path = paths_->main_database;
  request.target_path = reference;
  request.log_path = *folder_ + "/reference_log.txt";
  ASSERT_EQ(RebuildDatabase(request, ui.ui, seen).end, RebuildEnd::kFinished);

  const auto rebuilt = ReadTables(target);
  const auto expected = ReadTables(reference);
  for (const auto& [name, rows] : expected) {
    SCOPED_TRACE(name);
    EXPECT_EQ(rebuilt.at(name), rows);
    EXPECT_FALSE(rows.empty());
  }
  EXPECT_EQ(rebuilt.at(std::string(db::schema::kInstruments)).size(),
            static_cast<size_t>(counts_.instruments));

  // The log in the current folder: a header and one finished line per instrument.
  const std::string log = tasks::testing::ReadFile(*folder_ + "/export_log.txt");
  EXPECT_TRUE(log.starts_with("Export Log"));
  size_t done_lines = 0;
  for (size_t at = 0; (at = log.find(" Done\r\n", at)) != std::string::npos; ++at) ++done_lines;
  EXPECT_EQ(done_lines, static_cast<size_t>(counts_.instruments));
}

TEST_F(RebuildCommandTest, AnExistingTargetIsReplacedOnlyWithOverwrite) {
  const std::string target = *folder_ + "/Existing.mdb";
  tasks::testing::WriteFile(target, "keep me");

  const interop::ProgramResult kept = RunIn(*folder_, {paths_->results_folder, target});
  EXPECT_EQ(kept.exit_code, 1);
  EXPECT_EQ(kept.output, "");
  EXPECT_EQ(tasks::testing::ReadFile(target), "keep me");

  const interop::ProgramResult replaced =
      RunIn(*folder_, {paths_->results_folder, target, "--overwrite"});
  EXPECT_EQ(replaced.exit_code, 0);
  EXPECT_EQ(CheckProblems(target), std::vector<std::string>{});
  EXPECT_EQ(ReadTables(target).at(std::string(db::schema::kInstruments)).size(),
            static_cast<size_t>(counts_.instruments));
}

TEST_F(RebuildCommandTest, RefusesTheMainDatabaseUnderAnySpellingAndTouchesNothing) {
  const std::string main_bytes = tasks::testing::ReadFile(paths_->main_database);
  for (const std::string& target : {paths_->main_database, paths_->results_folder + "/quorbase.MDB",
                                    paths_->results_folder + "\\.\\Quorbase.mdb"}) {
    SCOPED_TRACE(target);
    const interop::ProgramResult run =
        RunIn(*folder_, {paths_->results_folder, target, "--overwrite"});
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.output, "");
  }
  EXPECT_EQ(tasks::testing::ReadFile(paths_->main_database), main_bytes);
}

TEST_F(RebuildCommandTest, ExitsWithOneWhenNothingCouldBeCopied) {
  // A folder without the main database or the template: the rebuild stops with the error on the
  // error stream and never claims a count.
  const std::string empty_folder = *folder_ + "/no_results";
  fs::create_directories(empty_folder);
  const interop::ProgramResult nothing = RunIn(*folder_, {empty_folder, *folder_ + "/None.mdb"});
  EXPECT_EQ(nothing.exit_code, 1);
  EXPECT_EQ(nothing.output, "");
  EXPECT_FALSE(fs::exists(*folder_ + "/None.mdb"));

  // An empty path is refused with the window's message; bad arguments are usage errors.
  EXPECT_EQ(RunIn(*folder_, {paths_->results_folder, ""}).exit_code, 1);
  EXPECT_EQ(RunIn(*folder_, {paths_->results_folder}).exit_code, 2);
  EXPECT_EQ(RunIn(*folder_, {paths_->results_folder, "x.mdb", "--bogus"}).exit_code, 2);
}

}  // namespace
}  // namespace rebuild
