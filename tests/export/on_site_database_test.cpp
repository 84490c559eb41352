// On-site databases made from results folders made with the engine: the chosen customers'
// rows in list order, the counts and texts, the checks, and the two failure rules.
#include "export/on_site_database.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/lab_files.h"
#include "support/task_test_ui.h"

namespace export_task {
namespace {

namespace fs = std::filesystem;
using platform::Answer;
using tasks::testing::Lab;
using tasks::testing::LabWriter;
using tasks::testing::MdbExportLines;
using tasks::testing::Problems;
using tasks::testing::ReadFile;
using tasks::testing::Rows;
using tasks::testing::TestUi;
using Strings = std::vector<std::string>;

// Lab A: two instruments, one with Null and empty certificates and three additional-data rows
// over two calibrations. Customers with an apostrophe, only blanks and non-Latin letters.
void FillLaboratory(const std::string& main) {
  LabWriter(main)
      .Instrument("I1", "Lab A")
      .Instrument("I2", "Lab A")
      .Instrument("I3", "O'Brien")
      .Instrument("I4", "   ")
      .Instrument("I5", "Zoë Ωmega Ltd")
      .Instrument("I6", "Lab B")
      .Instrument("I7", jet::Value())
      .Calibration("I1", 1, "C1")
      .Calibration("I1", 2, jet::Value())
      .Calibration("I1", 3, "")
      .Calibration("I2", 1, "C2")
      .Calibration("I3", 1, "C3")
      .Calibration("I4", 1, "C4")
      .Calibration("I5", 1, "C5")
      .Calibration("I6", 1, "C6")
      .Result("C1", 1, 1.5)
      .Result("C1", 2, 2.5)
      .Result("C2", 1, 3.5)
      .Result("C3", 1, 4.5)
      .Result("C4", 1, 5.5)
      .Result("C5", 1, 6.5)
      .Result("C5", 2, 6.75)
      .Result("C6", 1, 7.5)
      .Additional("I1", 1, "a1")
      .Additional("I1", 1, "a2")
      .Additional("I1", 2, "a3")
      .Additional("I3", 1, "o")
      .Additional("I6", 1, "b");
}

class OnSiteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lab_ = tasks::testing::MakeLab(::testing::UnitTest::GetInstance()->current_test_info()->name(),
                                   options_);
    FillLaboratory(lab_.main_path);
    target_ = lab_.folder + "/OnSite.mdb";
  }

  OnSiteOutcome Export(const Strings& customers) {
    OnSiteRequest request;
    request.customers = customers;
    request.target_path = target_;
    request.results_folder = lab_.folder;
    request.main_database_path = lab_.folder + "\\Quorbase.mdb";  // joined as the program joins
    return CreateOnSiteDatabase(request, ui_.ui);
  }

  void ExpectSound() {
    EXPECT_EQ(Problems(target_), "");
    const std::pair<const char*, const char*> tables[] = {{"Instruments", "Inst_Id"},
                                                          {"Calibrations", "Inst_Id"},
                                                          {"Results", "Cert_No"},
                                                          {"Additional Data", "Inst_Id"}};
    for (const auto& [table, field] : tables) {
      if (auto lines = MdbExportLines(target_, table)) {
        EXPECT_EQ(lines->size(), Rows(target_, table, {field}).size()) << table;
      }
    }
  }

  Strings Texts() const {
    Strings texts;
    for (const auto& box : ui_.prompter.messages) texts.push_back(box.text);
    return texts;
  }

  tasks::testing::LabOptions options_;
  Lab lab_;
  std::string target_;
  TestUi ui_;
};

TEST_F(OnSiteTest, OneCustomerWithEverythingItOwns) {
  const OnSiteOutcome outcome = Export({"Lab A"});

  EXPECT_EQ(outcome.end, OnSiteEnd::kFinished);
  EXPECT_EQ(Rows(target_, "Instruments", {"Inst_Id", "Cust_Name"}),
            (Strings{"I1|Lab A", "I2|Lab A"}));
  EXPECT_EQ(Rows(target_, "Calibrations", {"Inst_Id", "Cal_Ref", "Cert_No"}),
            (Strings{"I1|1|C1", "I1|2|<null>", "I1|3|", "I2|1|C2"}));
  EXPECT_EQ(Rows(target_, "Results", {"Cert_No", "Test_No"}), (Strings{"C1|1", "C1|2", "C2|1"}));
  // Every additional-data row of the instrument, once, whatever calibration it belongs to.
  EXPECT_EQ(Rows(target_, "Additional Data", {"Inst_Id", "Cal_Ref", "Comment"}),
            (Strings{"I1|1|a1", "I1|1|a2", "I1|2|a3"}));
  ExpectSound();

  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  const platform::Message& done = ui_.prompter.messages[0];
  EXPECT_EQ(done.text, "Lab A : 2 instruments 4 calibrations 3 results \r");
  EXPECT_EQ(done.title, "On-site database created");
  EXPECT_EQ(done.icon, platform::Icon::kInformation);
  EXPECT_EQ(outcome.summary, done.text);

  EXPECT_EQ(ui_.progress.With("status:"),
            (Strings{"Finding records for Lab A  (1)", "Finding records for Lab A  (2)"}));
  EXPECT_EQ(ui_.progress.calls.front(), "caption:Export Progress");
  EXPECT_EQ(ui_.progress.calls[1], "task:Exporting Database");
  EXPECT_EQ(ui_.progress.calls.back(), "unload");
  EXPECT_EQ(ui_.window.states, (std::vector<bool>{true, false}));
}

TEST_F(OnSiteTest, SeveralCustomersInListOrderWithQuotesBlanksAndOtherScripts) {
  const OnSiteOutcome outcome = Export({"Zoë Ωmega Ltd", "O'Brien", "   ", "Lab B"});

  EXPECT_EQ(outcome.summary,
            "Zoë Ωmega Ltd : 1 instruments 1 calibrations 2 results \r"
            "O'Brien : 1 instruments 1 calibrations 1 results \r"
            "    : 1 instruments 1 calibrations 1 results \r"
            "Lab B : 1 instruments 1 calibrations 1 results \r");
  EXPECT_EQ(Rows(target_, "Instruments", {"Inst_Id"}), (Strings{"I5", "I3", "I4", "I6"}));
  EXPECT_EQ(Rows(target_, "Results", {"Cert_No", "Test_No"}),
            (Strings{"C5|1", "C5|2", "C3|1", "C4|1", "C6|1"}));
  EXPECT_EQ(Rows(target_, "Additional Data", {"Comment"}), (Strings{"o", "b"}));
  EXPECT_EQ(ui_.progress.With("status:").front(), "Finding records for Zoë Ωmega Ltd  (1)");
  ExpectSound();
}

TEST_F(OnSiteTest, CustomerWithoutInstrumentsGetsALineOfZeros) {
  const OnSiteOutcome outcome = Export({"Nobody", "Lab B"});
  EXPECT_EQ(outcome.end, OnSiteEnd::kFinished);
  EXPECT_EQ(outcome.summary,
            "Nobody : 0 instruments 0 calibrations 0 results \r"
            "Lab B : 1 instruments 1 calibrations 1 results \r");
  ExpectSound();
}

TEST_F(OnSiteTest, ChecksInOrderTouchNothing) {
  const std::string main_bytes = ReadFile(lab_.main_path);
  Export({});
  target_ = "";
  Export({"Lab A"});
  for (const std::string& main :
       {lab_.main_path, lab_.folder + "/quorbase.MDB", lab_.folder + "\\.\\Quorbase.mdb"}) {
    target_ = main;
    EXPECT_EQ(Export({"Lab A"}).end, OnSiteEnd::kRefused);
  }
  target_ = "";
  Export({});  // the list is checked first

  EXPECT_EQ(Texts(),
            (Strings{"Please select at least one customer", "Please select a file name",
                     "Don't overwrite the main database", "Don't overwrite the main database",
                     "Don't overwrite the main database", "Please select at least one customer"}));
  EXPECT_EQ(ui_.prompter.messages[0].icon, platform::Icon::kNone);
  EXPECT_EQ(ui_.prompter.messages[0].title, "");
  EXPECT_EQ(ui_.prompter.messages[1].icon, platform::Icon::kExclamation);
  EXPECT_EQ(ReadFile(lab_.main_path), main_bytes);
  EXPECT_TRUE(ui_.window.states.empty());
  EXPECT_TRUE(ui_.progress.calls.empty());
}

TEST_F(OnSiteTest, ExistingTargetIsKeptOnNoAndReplacedOnYes) {
  tasks::testing::WriteFile(target_, "keep me");
  ui_.prompter.answers = {Answer::kNo};
  EXPECT_EQ(Export({"Lab B"}).end, OnSiteEnd::kDeclined);
  EXPECT_EQ(ReadFile(target_), "keep me");

  fs::remove(target_);
  Export({"Lab B"});  // a real database now
  ui_.prompter.answers = {Answer::kYes};
  const OnSiteOutcome outcome = Export({"Lab A"});
  EXPECT_EQ(outcome.end, OnSiteEnd::kFinished);
  const platform::Message& question = ui_.prompter.messages.at(2);
  EXPECT_EQ(question.text, target_ + " already exists. Overwrite?");
  EXPECT_EQ(question.title, "Create Mobile Database");
  EXPECT_EQ(question.buttons, platform::Buttons::kYesNo);
  EXPECT_EQ(question.icon, platform::Icon::kExclamation);
  // A fresh template: Lab B's rows from the previous export are gone.
  EXPECT_EQ(Rows(target_, "Instruments", {"Inst_Id"}), (Strings{"I1", "I2"}));
  ExpectSound();
}

TEST_F(OnSiteTest, CustomerTwiceAfterReplacingIsWalkedTwiceAndStoredOnce) {
  Export({"Lab B"});
  ui_.prompter.answers = {Answer::kYes};
  const OnSiteOutcome outcome = Export({"Lab A", "Lab A"});
  EXPECT_EQ(outcome.end, OnSiteEnd::kFinished);
  EXPECT_GT(outcome.failures_skipped, 0u);  // the second walk's duplicate keys
  EXPECT_EQ(outcome.summary,
            "Lab A : 2 instruments 4 calibrations 3 results \r"
            "Lab A : 2 instruments 4 calibrations 3 results \r");
  EXPECT_EQ(Rows(target_, "Instruments", {"Inst_Id"}), (Strings{"I1", "I2"}));
  EXPECT_EQ(Rows(target_, "Results", {"Cert_No"}).size(), 3u);
  ExpectSound();
}

TEST_F(OnSiteTest, FailureOnANewTargetStopsAndLeavesThePartlyWrittenFile) {
  // The second walk of Lab B offers rows the template's keys refuse.
  const OnSiteOutcome outcome = Export({"Lab A", "Lab B", "Lab B"});

  EXPECT_EQ(outcome.end, OnSiteEnd::kStopped);
  ASSERT_TRUE(outcome.failure.has_value());
  EXPECT_EQ(outcome.failure->number(), 3022);
  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  const platform::Message& stopped = ui_.prompter.messages[0];
  EXPECT_EQ(stopped.text, StoppedText(*outcome.failure, target_, true));
  EXPECT_NE(stopped.text.find("Error 3022: "), std::string::npos);
  EXPECT_NE(stopped.text.find(target_ + " has been left in place"), std::string::npos);
  EXPECT_EQ(stopped.icon, platform::Icon::kExclamation);
  // Back to idle: progress window unloaded, pointer and button restored.
  EXPECT_EQ(ui_.progress.calls.back(), "unload");
  EXPECT_EQ(ui_.window.states, (std::vector<bool>{true, false}));
  // What was written before the failure stays, in a sound file.
  EXPECT_EQ(Rows(target_, "Instruments", {"Inst_Id"}), (Strings{"I1", "I2", "I6"}));
  ExpectSound();
}

TEST_F(OnSiteTest, MissingTemplateStopsBeforeAnyFileIsWritten) {
  fs::remove(lab_.template_path);
  const OnSiteOutcome outcome = Export({"Lab A"});
  EXPECT_EQ(outcome.end, OnSiteEnd::kStopped);
  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  EXPECT_EQ(ui_.prompter.messages[0].text, "Error 53: File not found: '" + lab_.folder +
                                               "\\Empty_Quorbase.mdb'\r\rThe export has "
                                               "stopped. No database was written.");
  EXPECT_FALSE(fs::exists(target_));
  EXPECT_EQ(ui_.window.states, (std::vector<bool>{true, false}));
}

TEST_F(OnSiteTest, MainDatabaseMissingAfterReplacingStopsInsteadOfASummaryOfZeros) {
  Export({"Lab A"});
  fs::remove(lab_.main_path);
  ui_.prompter.messages.clear();
  ui_.prompter.answers = {Answer::kYes};
  const OnSiteOutcome outcome = Export({"Lab A"});
  EXPECT_EQ(outcome.end, OnSiteEnd::kStopped);
  ASSERT_EQ(ui_.prompter.messages.size(), 2u);  // the overwrite question, then the error
  const platform::Message& stopped = ui_.prompter.messages[1];
  EXPECT_TRUE(stopped.text.starts_with("Error 3024: ")) << stopped.text;
  EXPECT_NE(stopped.text.find("Quorbase.mdb"), std::string::npos) << stopped.text;
  EXPECT_NE(stopped.title, kDoneTitle);
  EXPECT_TRUE(outcome.summary.empty());
}

TEST_F(OnSiteTest, TargetFolderThatDoesNotExistStopsNamingThePath) {
  target_ = lab_.folder + "/not there/OnSite.mdb";
  const OnSiteOutcome outcome = Export({"Lab A"});
  EXPECT_EQ(outcome.end, OnSiteEnd::kStopped);
  ASSERT_EQ(ui_.prompter.messages.size(), 1u);
  EXPECT_TRUE(ui_.prompter.messages[0].text.starts_with("Error 75: Cannot create '" + target_ +
                                                        "' from the template '"))
      << ui_.prompter.messages[0].text;
}

class OnSiteNarrowTemplateTest : public OnSiteTest {
 protected:
  OnSiteNarrowTemplateTest() { options_.template_has_model = false; }
};

TEST_F(OnSiteNarrowTemplateTest, MissingColumnStopsANewExportButIsLeftOutAfterReplacing) {
  EXPECT_EQ(Export({"Lab A"}).end, OnSiteEnd::kStopped);
  EXPECT_NE(ui_.prompter.messages.back().text.find("Error 3265: "), std::string::npos);
  EXPECT_TRUE(Rows(target_, "Instruments", {"Inst_Id"}).empty());
  ExpectSound();

  ui_.prompter.answers = {Answer::kYes};
  const OnSiteOutcome replaced = Export({"Lab A"});
  EXPECT_EQ(replaced.end, OnSiteEnd::kFinished);
  EXPECT_EQ(replaced.summary, "Lab A : 2 instruments 4 calibrations 3 results \r");
  EXPECT_EQ(Rows(target_, "Instruments", {"Inst_Id", "Cust_Name"}),
            (Strings{"I1|Lab A", "I2|Lab A"}));
  ExpectSound();
}

TEST(OnSiteTextTest, DefaultTargetPathNamesTheDay) {
  EXPECT_EQ(DefaultTargetPath("D:\\Data", {2009, 6, 2}),
            "D:\\Data\\Quorbase On-Site Export 02-06-2009.mdb");
}

}  // namespace
}  // namespace export_task
