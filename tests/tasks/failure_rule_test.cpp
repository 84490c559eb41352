// The one failure rule with its policies, and the walks and copies run under it.
#include "tasks/failure_rule.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

#include "support/lab_files.h"
#include "support/task_test_ui.h"
#include "tasks/rule_steps.h"
#include "tasks/runtime_errors.h"

namespace tasks {
namespace {

using platform::Answer;

TEST(FailureRuleTest, SkipsFailuresWhileActiveAndPassesThemOnOtherwise) {
  FailureRule rule;
  int after = 0;
  EXPECT_FALSE(rule.Run([] { throw jet::Error(3022, "duplicate"); }));
  EXPECT_TRUE(rule.Run([&] { ++after; }));
  EXPECT_EQ(after, 1);
  EXPECT_EQ(rule.skipped(), 1u);

  rule.SetPolicy(OnFailure::kPassUp);
  try {
    rule.Run([] { throw jet::Error(3078, "no table"); });
    FAIL() << "an inactive rule must let the failure through";
  } catch (const jet::Error& error) {
    EXPECT_EQ(error.number(), 3078);
  }
}

TEST(FailureRuleTest, AFullDatabaseIsNeverSkippedSinceEveryLaterRowWouldFailToo) {
  FailureRule rule(OnFailure::kSkip);
  try {
    rule.Run([] { throw jet::Error(jet::kErrDatabaseFull, "Database has reached maximum size."); });
    FAIL() << "the skip rule must let a full database through";
  } catch (const jet::Error& error) {
    EXPECT_EQ(error.number(), jet::kErrDatabaseFull);
  }
  EXPECT_EQ(rule.skipped(), 0u);
}

TEST(FailureRuleTest, LockedTableAsksRetryOrCancel) {
  testing::TestUi ui;
  FailureRule rule(OnFailure::kSkip, &ui.prompter);
  int attempts = 0;
  auto locked_twice = [&] {
    if (++attempts <= 2)
      throw jet::Error(jet::kErrTableLocked, "Table 'Results' is exclusively locked");
  };
  ui.prompter.answers = {Answer::kRetry, Answer::kRetry};
  EXPECT_TRUE(rule.Run(locked_twice));
  EXPECT_EQ(attempts, 3);
  ASSERT_EQ(ui.prompter.messages.size(), 2u);
  const platform::Message& box = ui.prompter.messages[0];
  EXPECT_EQ(box.text, "Table 'Results' is exclusively locked");
  EXPECT_EQ(box.buttons, platform::Buttons::kRetryCancel);
  EXPECT_EQ(box.icon, platform::Icon::kNone);
  EXPECT_EQ(box.title, "");

  attempts = 0;
  ui.prompter.answers = {Answer::kCancel};
  EXPECT_FALSE(rule.Run(locked_twice));
  EXPECT_EQ(attempts, 1);
  EXPECT_EQ(rule.skipped(), 1u);

  // Other errors are never asked about.
  EXPECT_FALSE(rule.Run([] { throw jet::Error(3022, "duplicate"); }));
  EXPECT_EQ(ui.prompter.messages.size(), 3u);

  // Without a prompter (the on-site export), 3261 is skipped like any other failure.
  FailureRule quiet;
  EXPECT_FALSE(quiet.Run([] { throw jet::Error(jet::kErrTableLocked, "locked"); }));
}

TEST(FailureRuleTest, AskToResumeGoesOnAfterYesAndStopsAtNo) {
  testing::TestUi ui;
  FailureRule ask(OnFailure::kAskToResume, &ui.prompter);
  std::vector<int> ran;
  ui.prompter.answers = {Answer::kYes, Answer::kNo};
  const bool completed = ask.RunEach({
      [&] { ran.push_back(1); },
      [&] { throw jet::Error(3022, "The changes were not successful"); },
      [&] { ran.push_back(3); },
      [&] { throw jet::Error(3265, "Item not found in this collection."); },
      [&] { ran.push_back(5); },
  });
  EXPECT_FALSE(completed);
  EXPECT_TRUE(ask.stopped());
  EXPECT_EQ(ran, (std::vector<int>{1, 3}));
  ASSERT_EQ(ui.prompter.messages.size(), 2u);
  EXPECT_EQ(ui.prompter.messages[0].text,
            "Error: The changes were not successful\rResume Processing?");
  EXPECT_EQ(ui.prompter.messages[0].buttons, platform::Buttons::kYesNo);
  EXPECT_EQ(ui.prompter.messages[0].icon, platform::Icon::kNone);
}

TEST(FailureRuleTest, OnlyEngineErrorsAreHandled) {
  // A fault of the program is no failure of a step: no policy swallows it.
  testing::TestUi ui;
  for (FailureRule rule : {FailureRule(OnFailure::kSkip), FailureRule(OnFailure::kPassUp),
                           FailureRule(OnFailure::kAskToResume, &ui.prompter)}) {
    EXPECT_THROW(rule.Run([] { throw std::logic_error("a bug"); }), std::logic_error);
    EXPECT_THROW(SkipFailures({[] { throw std::bad_alloc(); }}), std::bad_alloc);
  }
  EXPECT_TRUE(ui.prompter.messages.empty());
  // The tasks' own runtime errors travel as engine errors, so the rule handles them.
  FailureRule skip;
  EXPECT_FALSE(skip.Run([] { ThrowRuntimeError(kVbFileNotFound); }));
  try {
    ThrowRuntimeError(kVbPathFileAccess);
  } catch (const jet::Error& error) {
    EXPECT_EQ(error.number(), 75);
    EXPECT_EQ(error.description(), "Path/File access error");
  }
}

TEST(RuleStepsTest, WalkOfARecordsetThatNeverOpenedEnds) {
  FailureRule rule;
  db::Recordset never_opened;
  EXPECT_TRUE(AtEnd(rule, never_opened));
  EXPECT_FALSE(MoveNext(rule, never_opened));

  db::Database no_database;
  db::Recordset rs;
  Open(rule, no_database, "SELECT * from Instruments", rs);
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_TRUE(AtEnd(rule, rs));
}

TEST(RuleStepsTest, CopyRowUnderTheRuleLeavesOutMissingFieldsAndSkipsRefusedRows) {
  const testing::Lab lab = testing::MakeLab("copy_row", {.template_has_model = false});
  testing::LabWriter(lab.main_path).Instrument("I1", "Lab A", "Caliper").Instrument("I2", "Lab B");
  db::Database main = db::DBEngine().OpenDatabase(lab.main_path);
  db::Database target = db::DBEngine().OpenDatabase(lab.template_path);
  db::Recordset source = main.OpenRecordset("Instruments");
  db::Recordset to = target.OpenRecordset("Instruments");

  // Inactive: the copy rule itself, which refuses a row with a field the target lacks.
  FailureRule stop(OnFailure::kPassUp);
  EXPECT_THROW(CopyRow(stop, source, to), jet::Error);

  FailureRule rule;
  CopyRow(rule, source, to);  // Model left out, row written
  EXPECT_EQ(rule.skipped(), 1u);
  CopyRow(rule, source, to);  // duplicate key: not written
  source.MoveNext();
  CopyRow(rule, source, to);  // the refused row's buffer does not leak into this one
  to.Close();
  source.Close();
  main.Close();
  target.Close();

  EXPECT_EQ(testing::Rows(lab.template_path, "Instruments", {"Inst_Id", "Cust_Name"}),
            (std::vector<std::string>{"I1|Lab A", "I2|Lab B"}));
  EXPECT_EQ(testing::Problems(lab.template_path), "");
}

}  // namespace
}  // namespace tasks
