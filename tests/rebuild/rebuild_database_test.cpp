// Rebuilds of results folders made with the engine: what arrives in the new file, what the log
// says, and what is refused before any file is touched.
#include "rebuild/rebuild_database.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "jet/database.h"
#include "support/lab_files.h"
#include "support/task_test_ui.h"

namespace rebuild {
namespace {

namespace fs = std::filesystem;
using tasks::testing::Lab;
using tasks::testing::LabWriter;
using tasks::testing::MdbExportLines;
using tasks::testing::Problems;
using tasks::testing::ReadFile;
using tasks::testing::Rows;
using tasks::testing::TestUi;
using Strings = std::vector<std::string>;

constexpr char kTime[] = "02/06/2009 14:05:09";

// Instruments of every kind of customer; a certificate repeated within I1 and shared by I1
// and I2; Null and empty certificates; two additional-data rows for one calibration; ids and
// certificates holding the double-quote character of the rebuild's statements.
void FillLaboratory(const std::string& main) {
  LabWriter(main)
      .Instrument("I1", "Lab A")
      .Instrument("I2", jet::Value())
      .Instrument("I3", "   ")
      .Instrument("I4\"Q", "O'Brien \"Q\"")
      .Calibration("I1", 1, "C1")
      .Calibration("I1", 2, "C2")
      .Calibration("I1", 3, "C1")
      .Calibration("I2", 1, "C1")
      .Calibration("I2", 2, jet::Value())
      .Calibration("I2", 3, "")
      .Calibration("I4\"Q", 1, "C4\"")
      .Result("C1", 1, 1.5)
      .Result("C1", 2, 2.5)
      .Result("C2", 1, 3.5)
      .Result("C4\"", 1, 4.5)
      .Result("C9", 1, 9.5)
      .Additional("I1", 1, "a1")
      .Additional("I1", 1, "a2")
      .Additional("I1", 3, "a3")
      .Additional("I2", 2, "b")
      .Additional("I4\"Q", 1, "q");
}

class RebuildTest : public ::testing::Test {
 protected:
  RebuildOutcome Run(const Lab& lab, const std::string& target) {
    RebuildRequest request;
    request.results_folder = lab.folder;
    request.main_database_path = lab.folder + "\\Quorbase.mdb";  // joined as the program joins
    request.target_path = target;
    request.log_path = lab.folder + "/export_log.txt";
    request.log_time = kTime;
    return RebuildDatabase(request, ui_.ui, seen_);
  }

  void ExpectSound(const std::string& path) {
    EXPECT_EQ(Problems(path), "");
    if (auto lines = MdbExportLines(path, "Instruments")) {
      EXPECT_EQ(lines->size(), Rows(path, "Instruments", {"Inst_Id"}).size());
    }
  }

  TestUi ui_;
  SeenList seen_;
};

TEST_F(RebuildTest, CopiesEveryInstrumentAndSkipsRepeatedCertificatesPerInstrument) {
  const Lab lab = tasks::testing::MakeLab("rebuild_all");
  FillLaboratory(lab.main_path);
  const std::string target = lab.folder + "/New.mdb";

  const RebuildOutcome outcome = Run(lab, target);

  EXPECT_EQ(outcome.end, RebuildEnd::kFinished);
  EXPECT_EQ(outcome.instruments, 4);
  EXPECT_EQ(
      Rows(target, "Instruments", {"Inst_Id", "Cust_Name", "Model"}),
      (Strings{"I1|Lab A|Gauge", "I2|<null>|Gauge", "I3|   |Gauge", "I4\"Q|O'Brien \"Q\"|Gauge"}));
  // I1's second C1 is not copied; the same certificate on I2 is.
  EXPECT_EQ(Rows(target, "Calibrations", {"Inst_Id", "Cal_Ref", "Cert_No"}),
            (Strings{"I1|1|C1", "I1|2|C2", "I2|1|C1", "I2|2|<null>", "I2|3|", "I4\"Q|1|C4\""}));
  // I2's copy of C1's results duplicates the template's key and is skipped.
  EXPECT_EQ(Rows(target, "Results", {"Cert_No", "Test_No", "Measured"}),
            (Strings{"C1|1|1.5", "C1|2|2.5", "C2|1|3.5", "C4\"|1|4.5"}));
  // Only the first row of a calibration's additional data; none for the skipped calibration.
  EXPECT_EQ(Rows(target, "Additional Data", {"Inst_Id", "Cal_Ref", "Comment"}),
            (Strings{"I1|1|a1", "I2|2|b", "I4\"Q|1|q"}));
  ExpectSound(target);

  EXPECT_EQ(ReadFile(lab.folder + "/export_log.txt"),
            "Export Log02/06/2009 14:05:09\r\n"
            "Copying Lab A I1+... Done\r\n"
            "Copying  I2.+.. Done\r\n"
            "Copying     I3 Done\r\n"
            "Copying O'Brien \"Q\" I4\"Q+. Done\r\n");

  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  const platform::Message& done = ui_.prompter.messages[0];
  EXPECT_EQ(done.text, "4 instruments copied.");
  EXPECT_EQ(done.title, "New database created");
  EXPECT_EQ(done.icon, platform::Icon::kInformation);
  EXPECT_EQ(done.buttons, platform::Buttons::kOk);

  EXPECT_EQ(ui_.progress.With("status:"), (Strings{"Finding records (1)", "Finding records (2)",
                                                   "Finding records (3)", "Finding records (4)"}));
  EXPECT_EQ(ui_.progress.calls.front(), "caption:Export Progress");
  EXPECT_EQ(ui_.progress.calls[1], "task:Exporting Database");
  EXPECT_EQ(ui_.progress.calls.back(), "unload");
  EXPECT_EQ(ui_.progress.With("bar:"), (Strings{"0", "25", "50", "75"}));
  EXPECT_EQ(ui_.window.states, (std::vector<bool>{true, false}));
}

TEST_F(RebuildTest, RowsTheNewFileRefusesAreSkippedAndEverythingElseArrives) {
  // The template lacks Model, takes customer names of 5 characters at most, and keys its
  // results; the main database holds one result line twice.
  const Lab lab = tasks::testing::MakeLab(
      "rebuild_refused",
      {.template_has_model = false, .template_cust_name_size = 5, .main_results_keyed = false});
  FillLaboratory(lab.main_path);
  LabWriter(lab.main_path).Result("C2", 1, 3.75);
  const std::string target = lab.folder + "/New.mdb";

  const RebuildOutcome outcome = Run(lab, target);

  EXPECT_EQ(outcome.instruments, 4);
  EXPECT_GT(outcome.failures_skipped, 0u);
  // Model is left out of every row; the customer "O'Brien "Q"" is too long, so that row is
  // not written, but its calibration, result and additional data still are.
  EXPECT_EQ(Rows(target, "Instruments", {"Inst_Id", "Cust_Name"}),
            (Strings{"I1|Lab A", "I2|<null>", "I3|   "}));
  EXPECT_EQ(Rows(target, "Calibrations", {"Inst_Id"}).size(), 6u);
  EXPECT_EQ(Rows(target, "Results", {"Cert_No", "Test_No", "Measured"}),
            (Strings{"C1|1|1.5", "C1|2|2.5", "C2|1|3.5", "C4\"|1|4.5"}));
  EXPECT_EQ(Rows(target, "Additional Data", {"Comment"}), (Strings{"a1", "b", "q"}));
  ExpectSound(target);
  // Failures are neither shown nor logged.
  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  EXPECT_EQ(ui_.prompter.messages[0].text, "4 instruments copied.");
  EXPECT_EQ(ReadFile(lab.folder + "/export_log.txt").find("rror"), std::string::npos);
}

TEST_F(RebuildTest, EmptyInstrumentsTableGivesHeaderOnlyAndZero) {
  const Lab lab = tasks::testing::MakeLab("rebuild_empty");
  const std::string target = lab.folder + "/New.mdb";
  const RebuildOutcome outcome = Run(lab, target);
  EXPECT_EQ(outcome.instruments, 0);
  EXPECT_EQ(ReadFile(lab.folder + "/export_log.txt"), "Export Log02/06/2009 14:05:09\r\n");
  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  EXPECT_EQ(ui_.prompter.messages[0].text, "0 instruments copied.");
  ExpectSound(target);
}

TEST_F(RebuildTest, MissingMainDatabaseStopsWithItsPathInsteadOfReportingZeroCopied) {
  const Lab lab = tasks::testing::MakeLab("rebuild_no_main");
  fs::remove(lab.main_path);
  const std::string target = lab.folder + "/New.mdb";
  const RebuildOutcome outcome = Run(lab, target);
  EXPECT_EQ(outcome.end, RebuildEnd::kStopped);
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(outcome.failure->number(), 3024);
  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  const platform::Message& stopped = ui_.prompter.messages[0];
  EXPECT_TRUE(stopped.text.starts_with("Error 3024: ")) << stopped.text;
  EXPECT_NE(stopped.text.find("Quorbase.mdb"), std::string::npos) << stopped.text;
  EXPECT_NE(stopped.text.find("The rebuild has stopped. No database was written."),
            std::string::npos)
      << stopped.text;
  EXPECT_EQ(stopped.icon, platform::Icon::kExclamation);
  EXPECT_FALSE(fs::exists(target));
  EXPECT_EQ(ui_.window.states, (std::vector<bool>{true, false}));
}

TEST_F(RebuildTest, TargetFolderThatDoesNotExistStopsWithThePathAndTheReason) {
  const Lab lab = tasks::testing::MakeLab("rebuild_no_folder");
  LabWriter(lab.main_path).Instrument("I1", "Lab A");
  const std::string target = lab.folder + "/not there/New.mdb";
  const RebuildOutcome outcome = Run(lab, target);
  EXPECT_EQ(outcome.end, RebuildEnd::kStopped);
  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  const std::string& text = ui_.prompter.messages[0].text;
  EXPECT_TRUE(text.starts_with("Error 75: Cannot create '" + target + "' from the template '"))
      << text;
  EXPECT_NE(text.find("No database was written."), std::string::npos) << text;
  EXPECT_EQ(text.find("instruments copied"), std::string::npos) << text;
  EXPECT_EQ(ui_.progress.calls.back(), "unload");
  EXPECT_EQ(ui_.window.states, (std::vector<bool>{true, false}));
}

TEST_F(RebuildTest, MainDatabaseAnotherWriterHoldsIsStillReadAndCopied) {
  const Lab lab = tasks::testing::MakeLab("rebuild_main_in_use");
  LabWriter(lab.main_path).Instrument("I1", "Lab A").Instrument("I2", "Lab B");
  const std::string main_bytes = ReadFile(lab.main_path);
  const auto writer = jet::Database::Open(lab.main_path, jet::OpenMode::kReadWrite);
  const std::string target = lab.folder + "/New.mdb";
  const RebuildOutcome outcome = Run(lab, target);
  EXPECT_EQ(outcome.end, RebuildEnd::kFinished);
  EXPECT_EQ(outcome.instruments, 2);
  EXPECT_EQ(ui_.prompter.messages.back().text, "2 instruments copied.");
  EXPECT_EQ(Rows(target, "Instruments", {"Inst_Id"}), (Strings{"I1", "I2"}));
  EXPECT_EQ(ReadFile(lab.main_path), main_bytes) << "the rebuild never writes the main database";
}

TEST_F(RebuildTest, ExistingTargetThatCannotBeDeletedEndsWithFileErrorAndIsKept) {
  const Lab lab = tasks::testing::MakeLab("rebuild_keep_target");
  LabWriter(lab.main_path).Instrument("I1", "Lab A");
  const std::string target = lab.folder + "/New.mdb";
  Run(lab, target);
  const std::string before = ReadFile(target);
  {
    // Another writer of ours has the file open.
    const auto writer = jet::Database::Open(target, jet::OpenMode::kReadWrite);
    ui_.prompter.messages.clear();
    ui_.window.states.clear();
    ui_.prompter.answers = {platform::Answer::kYes};
    EXPECT_EQ(Run(lab, target).end, RebuildEnd::kDeleteFailed);
  }
  ASSERT_EQ(ui_.prompter.messages.size(), 2u);
  const platform::Message& refusal = ui_.prompter.messages[1];
  EXPECT_EQ(refusal.text, "File Error: Could not use '" + target +
                              "'; file already in use: another of our programs has it open for "
                              "writing. Nothing was changed.");
  EXPECT_EQ(ReadFile(target), before);
  EXPECT_EQ(ui_.window.states, (std::vector<bool>{false}));
}

TEST_F(RebuildTest, RunTwiceRewritesTheLogAndReplacesTheFileOnYes) {
  const Lab lab = tasks::testing::MakeLab("rebuild_twice");
  LabWriter(lab.main_path).Instrument("I1", "Lab A");
  const std::string target = lab.folder + "/New.mdb";
  Run(lab, target);
  ui_.prompter.answers = {platform::Answer::kYes};
  const RebuildOutcome again = Run(lab, target);

  EXPECT_EQ(again.instruments, 1);
  ASSERT_EQ(ui_.prompter.messages.size(), 3u);
  const platform::Message& question = ui_.prompter.messages[1];
  EXPECT_EQ(question.text, target + " already exists. Overwrite?");
  EXPECT_EQ(question.title, "Create Mobile Database");
  EXPECT_EQ(question.buttons, platform::Buttons::kYesNo);
  EXPECT_EQ(question.icon, platform::Icon::kExclamation);
  // A fresh copy of the template received the rows again: one instrument, not a duplicate.
  EXPECT_EQ(Rows(target, "Instruments", {"Inst_Id"}), (Strings{"I1"}));
  EXPECT_EQ(ReadFile(lab.folder + "/export_log.txt"),
            "Export Log02/06/2009 14:05:09\r\nCopying Lab A I1 Done\r\n");
  ExpectSound(target);
}

TEST_F(RebuildTest, ChecksRefuseAndTouchNothing) {
  const Lab lab = tasks::testing::MakeLab("rebuild_checks");
  LabWriter(lab.main_path).Instrument("I1", "Lab A");
  const std::string main_bytes = ReadFile(lab.main_path);
  const std::string existing = lab.folder + "/Existing.mdb";
  tasks::testing::WriteFile(existing, "keep me");
#ifdef _WIN32
  // MinGW's standard library makes no symbolic links (Windows grants them to administrators
  // only): there the other name for the main database is a hard link.
  fs::create_hard_link(lab.main_path, lab.folder + "/link.mdb");
#else
  fs::create_symlink(lab.main_path, lab.folder + "/link.mdb");
#endif

  ui_.prompter.answers = {platform::Answer::kNo};
  EXPECT_EQ(Run(lab, existing).end, RebuildEnd::kDeclined);
  EXPECT_EQ(Run(lab, "").end, RebuildEnd::kRefused);
  for (const std::string& main :
       {lab.main_path, lab.folder + "/QUORBASE.mdb", lab.folder + "\\sub\\..\\Quorbase.mdb",
        lab.folder + "/link.mdb"}) {
    EXPECT_EQ(Run(lab, main).end, RebuildEnd::kRefused) << main;
  }

  Strings texts;
  for (const auto& box : ui_.prompter.messages) texts.push_back(box.text);
  EXPECT_EQ(texts,
            (Strings{existing + " already exists. Overwrite?", "Please select a file name",
                     "Don't overwrite the main database", "Don't overwrite the main database",
                     "Don't overwrite the main database", "Don't overwrite the main database"}));
  EXPECT_EQ(ReadFile(existing), "keep me");
  EXPECT_EQ(ReadFile(lab.main_path), main_bytes);
  EXPECT_FALSE(fs::exists(lab.folder + "/export_log.txt"));
  EXPECT_TRUE(ui_.window.states.empty());
  EXPECT_TRUE(ui_.progress.calls.empty());
}

}  // namespace
}  // namespace rebuild
