// The way back from an update: the backup made before its first write (and the update that
// does not start without one), the few backups kept, and the undo with its refusals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/program_values.h"
#include "db/dao.h"
#include "import/import_preview.h"
#include "import/main_backup.h"
#include "import/undo_import.h"
#include "import/update_run.h"
#include "platform/files.h"
#include "platform/test_doubles.h"
#include "scenario.h"
#include "support/fixtures.h"
#include "support/task_test_ui.h"

namespace import_test {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

class BackupAndUndo : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::TempDir();
    previous_ = platform::CurrentFolder();
    ASSERT_TRUE(platform::SetCurrentFolder(folder_));
    main_ = folder_ + "/Quorbase.mdb";
    onsite_ = folder_ + "/onsite.mdb";
    // The worked example: the on-site version replaces the main one, with its result lines.
    const ScenarioCase c = ReadCase(CasePath("worked_example"));
    MakeDatabase(main_, c.main);
    MakeDatabase(onsite_, c.onsite);
  }
  void TearDown() override { platform::SetCurrentFolder(previous_); }

  import_task::UpdateResult Update(const import_task::UpdateSafeguards& safeguards = {}) {
    import_task::ImportLog log([] { return "now"; });
    return import_task::RunUpdate({folder_ + app::kMainDatabaseName, onsite_}, surroundings_, log,
                                  safeguards);
  }

  std::string folder_;
  std::string previous_;
  std::string main_;
  std::string onsite_;
  platform::testing::FakePrompter prompter_;
  platform::testing::FakeLauncher launcher_;
  tasks::testing::RecordingProgress progress_;
  tasks::testing::RecordingWindow window_;
  import_task::UpdateSurroundings surroundings_{prompter_, launcher_, progress_, window_};
};

TEST_F(BackupAndUndo, UndoAfterAnUpdateGivesBackTheFileByteForByte) {
  const std::string before = Bytes(main_);
  const auto result = Update();
  ASSERT_EQ(result.end, import_task::UpdateEnd::kCompleted);
  ASSERT_EQ(result.state.NewCalibrationCount, 1);
  EXPECT_EQ(Bytes(result.backup_path), before);
  ASSERT_NE(Bytes(main_), before);

  const import_task::UndoOutcome undo = import_task::UndoLastImport(main_);
  EXPECT_TRUE(undo.restored) << undo.message;
  EXPECT_TRUE(Bytes(main_) == before) << "the main database is not as it was before the update";
  EXPECT_FALSE(fs::exists(main_ + ".restoring"));
  // The same copy is not put back twice.
  const import_task::UndoOutcome again = import_task::UndoLastImport(main_);
  EXPECT_FALSE(again.restored);
  EXPECT_TRUE(fs::exists(import_task::UndonePathOf(result.backup_path)));
}

TEST_F(BackupAndUndo, UndoAfterALaterChangeIsRefused) {
  const auto result = Update();
  ASSERT_EQ(result.end, import_task::UpdateEnd::kCompleted);
  {
    // Someone adds an instrument after the update.
    db::Database database = db::DBEngine().OpenDatabase(main_);
    db::Recordset instruments = database.OpenRecordset("Instruments");
    instruments.AddNew();
    instruments.Fields("Inst_Id").SetValue(std::string("LATER"));
    instruments.Update();
    instruments.Close();
    database.Close();
  }
  const std::string changed = Bytes(main_);
  const import_task::UndoOutcome undo = import_task::UndoLastImport(main_);
  EXPECT_FALSE(undo.restored);
  EXPECT_NE(undo.message.find("has changed since the last update"), std::string::npos)
      << undo.message;
  EXPECT_TRUE(Bytes(main_) == changed);

  // A file whose bytes are the update's but whose time is not counts as changed too: the
  // check cannot tell a touch from an edit that kept the size.
  const auto time = fs::last_write_time(main_);
  fs::last_write_time(main_, time + std::chrono::seconds(5));
  EXPECT_FALSE(import_task::UndoLastImport(main_).restored);
}

TEST_F(BackupAndUndo, UndoWhileTheFileIsOpenIsRefused) {
  const std::string before = Bytes(main_);
  ASSERT_EQ(Update().end, import_task::UpdateEnd::kCompleted);
  const std::string after = Bytes(main_);
  {
    db::Database writer = db::DBEngine().OpenDatabase(main_);
    const import_task::UndoOutcome undo = import_task::UndoLastImport(main_);
    EXPECT_FALSE(undo.restored);
    EXPECT_NE(undo.message.find("is in use"), std::string::npos) << undo.message;
    EXPECT_TRUE(Bytes(main_) == after);
    writer.Close();
  }
  EXPECT_TRUE(import_task::UndoLastImport(main_).restored);
  EXPECT_TRUE(Bytes(main_) == before);
}

TEST_F(BackupAndUndo, AFailedBackupStopsTheUpdateBeforeAnyWrite) {
  const std::string before = Bytes(main_);
  const auto time = fs::last_write_time(main_);
  // A folder that cannot exist: its parent is a file.
  std::ofstream(folder_ + "/not a folder") << "x";
  import_task::UpdateSafeguards safeguards;
  safeguards.backup_folder = folder_ + "/not a folder/backups";
  const auto result = Update(safeguards);

  EXPECT_EQ(result.end, import_task::UpdateEnd::kRefused);
  EXPECT_TRUE(result.backup_path.empty());
  ASSERT_EQ(prompter_.messages.size(), 1u);
  EXPECT_TRUE(
      prompter_.messages[0].text.starts_with(std::string(import_task::kBackupFailed) + "\r"))
      << prompter_.messages[0].text;
  EXPECT_GT(prompter_.messages[0].text.size(), std::string(import_task::kBackupFailed).size() + 1)
      << "the reason is shown";
  EXPECT_EQ(prompter_.messages[0].icon, platform::Icon::kExclamation);
  EXPECT_TRUE(Bytes(main_) == before);
  EXPECT_EQ(fs::last_write_time(main_), time);
  EXPECT_FALSE(fs::exists(folder_ + "/ImportLog.txt")) << "the update did not start";
  EXPECT_FALSE(fs::exists(folder_ + "/ImportReport.csv"));
  EXPECT_TRUE(window_.states.empty());
  EXPECT_FALSE(import_task::UndoLastImport(main_).restored) << "there is nothing to undo";
}

TEST_F(BackupAndUndo, OnlyTheNewestBackupsAreKeptInTheOrderTheyWereMade) {
  const tasks::LocalTime early{2024, 5, 1, 9, 0, 0};
  const tasks::LocalTime late{2024, 5, 1, 9, 0, 1};
  std::string first;
  // Eleven in one second: numbered (2) to (11), which must not sort as text ("(10)" < "(2)").
  for (int i = 0; i < 11; ++i) {
    const import_task::BackupMade made = import_task::BackupMainDatabase(main_, folder_, early);
    ASSERT_EQ(made.error, "");
    if (i == 0) {
      first = made.path;
      ASSERT_TRUE(import_task::WriteFingerprint(import_task::FingerprintPathOf(first),
                                                *import_task::FingerprintOf(main_)));
    }
  }
  const import_task::BackupMade last = import_task::BackupMainDatabase(main_, folder_, late);
  const std::vector<std::string> kept = import_task::BackupsOf(main_, folder_);
  ASSERT_EQ(kept.size(), static_cast<size_t>(import_task::kBackupsKept));
  EXPECT_EQ(fs::path(kept.front()).filename().string(),
            "Quorbase backup 2024-05-01 09-00-00 (8).mdb");
  EXPECT_EQ(fs::path(kept[3]).filename().string(), "Quorbase backup 2024-05-01 09-00-00 (11).mdb");
  EXPECT_EQ(kept.back(), last.path);
  EXPECT_FALSE(fs::exists(first));
  EXPECT_FALSE(fs::exists(import_task::FingerprintPathOf(first))) << "removed with its backup";
  // The newest backup has no fingerprint (no update ended after it): nothing is restored.
  const import_task::UndoOutcome undo = import_task::UndoLastImport(main_);
  EXPECT_FALSE(undo.restored);
  EXPECT_NE(undo.message.find("did not record"), std::string::npos) << undo.message;
}

TEST_F(BackupAndUndo, ThePreviewSaysWhatWouldBeWrittenAndWhy) {
  platform::testing::FakePrompter errors;
  const import_task::PreviewResult preview =
      import_task::PreviewUpdate({folder_ + app::kMainDatabaseName, onsite_}, errors);
  const std::string text = import_task::PreviewText(preview);
  for (const char* expected : {
           "  W1 ref 3: replaced\n"
           "    main certificate C-30: 2 (Cert_No +1; status D +1)\n"
           "    on-site certificate C-30: 4 (later Cal_Date +2; Cert_No +1; status D +1)\n",
           "  additional data W1 ref 3: rewritten\n",
           "  result line C-30 test 2: overwritten\n",
           "  result line C-30 test 3: appended\n",
           "Would show: Update Complete.\n0 new instruments copied\n1 new calibrations copied\n"
           "2 new results copied\n",
           "The main database was not changed",
       }) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
  }
  EXPECT_EQ(text.find("Log: Update Complete."), std::string::npos) << "the summary twice";
  EXPECT_TRUE(import_task::BackupsOf(main_, folder_).empty()) << "a preview makes no backup";
}

}  // namespace
}  // namespace import_test
