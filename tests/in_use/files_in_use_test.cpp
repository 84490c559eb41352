// Two processes at once, as the laboratory runs them: while a second process holds a database
// (as another of our programs does, or as Access/Jet does by its lock file), a rebuild, an
// export or an import that would delete, replace or write that file refuses, names the file and
// who holds it, and leaves the file as it was; and a rebuild or export whose main database
// another process writes still reads it and reports what it really copied.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "export/on_site_database.h"
#include "import/import_controller.h"
#include "import/update_run.h"
#include "interop/run_program.h"
#include "platform/files.h"
#include "platform/test_doubles.h"
#include "rebuild/rebuild_database.h"
#include "support/lab_files.h"
#include "support/task_test_ui.h"

namespace {

namespace fs = std::filesystem;
using platform::Answer;
using tasks::testing::Lab;
using tasks::testing::LabWriter;
using tasks::testing::ReadFile;
using tasks::testing::Rows;
using Strings = std::vector<std::string>;

constexpr char kOurWriter[] = "another of our programs has it open for writing";

// The second process, holding `path` until the test lets it go.
class Holder {
 public:
  explicit Holder(const std::string& path) : program_({QB_HOLD_DATABASE, path}) { Wait(); }
  Holder(const std::string& path, const std::string& computer, const std::string& user)
      : program_({QB_HOLD_DATABASE, "--as-jet", path, computer, user}) {
    Wait();
  }
  bool holding() const { return holding_; }
  int Release() { return program_.Finish(); }

 private:
  void Wait() { holding_ = program_.started() && program_.ReadLine() == "holding"; }
  interop::RunningProgram program_;
  bool holding_ = false;
};

class FilesInUseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    lab_ = tasks::testing::MakeLab("in_use_" + name);
    LabWriter(lab_.main_path).Instrument("I1", "Lab A").Instrument("I2", "Lab B");
    target_ = lab_.folder + "/Copy.mdb";
  }

  rebuild::RebuildOutcome Rebuild(const std::string& target) {
    rebuild::RebuildRequest request;
    request.results_folder = lab_.folder;
    request.main_database_path = lab_.main_path;
    request.target_path = target;
    request.log_path = lab_.folder + "/export_log.txt";
    return rebuild::RebuildDatabase(request, ui_.ui, seen_);
  }

  export_task::OnSiteOutcome Export(const std::string& target) {
    export_task::OnSiteRequest request;
    request.customers = {"Lab A"};
    request.target_path = target;
    request.results_folder = lab_.folder;
    request.main_database_path = lab_.main_path;
    return export_task::CreateOnSiteDatabase(request, ui_.ui);
  }

  // `quorbase rebuild`, run from the lab's folder (it writes export_log.txt there).
  interop::ProgramResult RebuildCommand(const std::string& target) {
    const fs::path before = fs::current_path();
    fs::current_path(lab_.folder);
    interop::ProgramResult result =
        interop::RunProgram({QB_QUORBASE, "rebuild", lab_.folder, target, "--overwrite"});
    fs::current_path(before);
    return result;
  }

  std::string InUseText(const std::string& path, const std::string& holder) {
    return "File Error: Could not use '" + platform::NativePath(path) +
           "'; file already in use: " + holder + ". Nothing was changed.";
  }

  Lab lab_;
  std::string target_;
  tasks::testing::TestUi ui_;
  rebuild::SeenList seen_;
};

TEST_F(FilesInUseTest, RebuildWillNotReplaceATargetAnotherProcessWrites) {
  ASSERT_EQ(Rebuild(target_).end, rebuild::RebuildEnd::kFinished);
  const std::string before = ReadFile(target_);
  Holder holder(target_);
  ASSERT_TRUE(holder.holding());

  ui_.prompter.messages.clear();
  ui_.prompter.answers = {Answer::kYes};
  EXPECT_EQ(Rebuild(target_).end, rebuild::RebuildEnd::kDeleteFailed);
  ASSERT_EQ(ui_.prompter.messages.size(), 2u);  // the overwrite question, then the refusal
  EXPECT_EQ(ui_.prompter.messages[1].text, InUseText(target_, kOurWriter));

  // The same as a second program on the command line: refused, no count, a failing status.
  const interop::ProgramResult command = RebuildCommand(target_);
  EXPECT_EQ(command.exit_code, 1);
  EXPECT_EQ(command.output, "");

  EXPECT_EQ(ReadFile(target_), before);
  EXPECT_EQ(holder.Release(), 0);
  EXPECT_EQ(ReadFile(target_), before);
  EXPECT_EQ(tasks::testing::Problems(target_), "");
}

TEST_F(FilesInUseTest, ExportWillNotReplaceAnOnSiteFileAnotherProcessWrites) {
  ASSERT_EQ(Export(target_).end, export_task::OnSiteEnd::kFinished);
  const std::string before = ReadFile(target_);
  Holder holder(target_);
  ASSERT_TRUE(holder.holding());

  ui_.prompter.messages.clear();
  ui_.prompter.answers = {Answer::kYes};
  EXPECT_EQ(Export(target_).end, export_task::OnSiteEnd::kDeleteFailed);
  ASSERT_EQ(ui_.prompter.messages.size(), 2u);
  EXPECT_EQ(ui_.prompter.messages[1].text, InUseText(target_, kOurWriter));
  EXPECT_EQ(ReadFile(target_), before);
  EXPECT_EQ(holder.Release(), 0);
}

TEST_F(FilesInUseTest, AFileAccessHoldsIsRefusedNamingItsComputerAndUser) {
  ASSERT_EQ(Rebuild(target_).end, rebuild::RebuildEnd::kFinished);
  const std::string before = ReadFile(target_);
  Holder access(target_, "LAB-PC7", "Admin");
  ASSERT_TRUE(access.holding());

  ui_.prompter.messages.clear();
  ui_.prompter.answers = {Answer::kYes};
  EXPECT_EQ(Rebuild(target_).end, rebuild::RebuildEnd::kDeleteFailed);
  ASSERT_EQ(ui_.prompter.messages.size(), 2u);
  const std::string& text = ui_.prompter.messages[1].text;
  EXPECT_TRUE(text.starts_with("File Error: Could not use '" + platform::NativePath(target_) +
                               "'; file already in use: its lock file '"))
      << text;
  EXPECT_NE(text.find("Copy.ldb"), std::string::npos) << text;
  EXPECT_NE(text.find("(computer LAB-PC7, user Admin)"), std::string::npos) << text;
  EXPECT_EQ(ReadFile(target_), before);
  EXPECT_EQ(access.Release(), 0);
}

TEST_F(FilesInUseTest, RebuildAndExportReadAMainDatabaseAnotherProcessWrites) {
  const std::string main_before = ReadFile(lab_.main_path);
  Holder holder(lab_.main_path);
  ASSERT_TRUE(holder.holding());

  const rebuild::RebuildOutcome rebuilt = Rebuild(target_);
  EXPECT_EQ(rebuilt.end, rebuild::RebuildEnd::kFinished);
  EXPECT_EQ(ui_.prompter.messages.back().text, "2 instruments copied.");
  EXPECT_EQ(Rows(target_, "Instruments", {"Inst_Id"}), (Strings{"I1", "I2"}));

  const std::string command_target = lab_.folder + "/ByCommand.mdb";
  const interop::ProgramResult command = RebuildCommand(command_target);
  EXPECT_EQ(command.exit_code, 0);
  EXPECT_EQ(command.output, "2 instruments copied.\n");
  EXPECT_EQ(Rows(command_target, "Instruments", {"Inst_Id"}), (Strings{"I1", "I2"}));

  const std::string onsite = lab_.folder + "/OnSite.mdb";
  const export_task::OnSiteOutcome exported = Export(onsite);
  EXPECT_EQ(exported.end, export_task::OnSiteEnd::kFinished);
  EXPECT_EQ(exported.summary, "Lab A : 1 instruments 0 calibrations 0 results \r");

  EXPECT_EQ(holder.Release(), 0);
  EXPECT_EQ(ReadFile(lab_.main_path), main_before) << "neither command writes the main database";
}

TEST_F(FilesInUseTest, ImportRefusesAMainDatabaseOrOnSiteFileAnotherProcessWrites) {
  const std::string onsite = lab_.folder + "/OnSite.mdb";
  fs::copy_file(lab_.template_path, onsite);
  LabWriter(onsite).Instrument("I9", "Lab C");
  const std::string previous = platform::CurrentFolder();
  ASSERT_TRUE(platform::SetCurrentFolder(lab_.folder));  // where ImportLog.txt would go

  for (const std::string& held : {lab_.main_path, onsite}) {
    SCOPED_TRACE(held);
    const std::string main_before = ReadFile(lab_.main_path);
    const std::string onsite_before = ReadFile(onsite);
    Holder holder(held);
    ASSERT_TRUE(holder.holding());
    EXPECT_TRUE(import_task::IsResultsDatabase(onsite)) << "Select still accepts the file";

    platform::testing::FakePrompter prompter;
    platform::testing::FakeLauncher launcher;
    tasks::testing::RecordingProgress progress;
    tasks::testing::RecordingWindow window;
    import_task::UpdateSurroundings surroundings{prompter, launcher, progress, window};
    import_task::ImportLog log([] { return "now"; });
    const import_task::UpdateResult result =
        import_task::RunUpdate({lab_.main_path, onsite}, surroundings, log);

    EXPECT_EQ(result.end, import_task::UpdateEnd::kRefused);
    ASSERT_EQ(prompter.messages.size(), 1u);
    const std::string& text = prompter.messages[0].text;
    EXPECT_TRUE(text.starts_with("File Error: Could not use '" + platform::NativePath(held) +
                                 "'; file already in use: " + kOurWriter))
        << text;
    EXPECT_EQ(ReadFile(lab_.main_path), main_before);
    EXPECT_EQ(ReadFile(onsite), onsite_before);
    EXPECT_FALSE(fs::exists(lab_.folder + "/ImportLog.txt"));
    EXPECT_EQ(holder.Release(), 0);
  }
  platform::SetCurrentFolder(previous);
}

}  // namespace
