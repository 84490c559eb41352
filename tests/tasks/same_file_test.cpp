// The refusal of the main database as a target, however its path is spelled.
#include "tasks/same_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/files.h"
#include "support/fixtures.h"
#include "support/lab_files.h"
#include "support/task_test_ui.h"
#include "tasks/target_checks.h"

namespace tasks {
namespace {

namespace fs = std::filesystem;

class SameFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = testing_support::TempDir() + "/same_file";
    fs::create_directories(folder_ + "/sub");
    main_ = folder_ + "/Quorbase.mdb";
    testing::WriteFile(main_, "main");
  }
  std::string folder_;
  std::string main_;
};

TEST_F(SameFileTest, EverySpellingOfTheMainDatabaseIsTheMainDatabase) {
  fs::create_hard_link(main_, folder_ + "/hard.mdb");
  std::vector<std::string> spellings = {
      main_,
      folder_ + "/QUORBASE.MDB",
      folder_ + "/quorbase.mdb",
      folder_ + "\\Quorbase.mdb",
      folder_ + "//Quorbase.mdb",
      folder_ + "/sub/../Quorbase.mdb",
      folder_ + "/./Quorbase.mdb",
      folder_ + "/hard.mdb",
  };
#ifndef _WIN32
  // MinGW's standard library makes no symbolic links (Windows grants them to administrators
  // only), so these spellings are tried where links are made freely.
  fs::create_symlink(main_, folder_ + "/link.mdb");
  fs::create_directory_symlink(folder_, folder_ + "/sub/up");
  spellings.push_back(folder_ + "/link.mdb");
  spellings.push_back(folder_ + "/sub/up/Quorbase.mdb");
#endif
  for (const std::string& spelling : spellings) {
    EXPECT_TRUE(NamesSameFile(spelling, main_)) << spelling;
  }

  const std::string here = platform::CurrentFolder();
  ASSERT_TRUE(platform::SetCurrentFolder(folder_ + "/sub"));
  EXPECT_TRUE(NamesSameFile("../Quorbase.mdb", main_));
  EXPECT_TRUE(NamesSameFile("..\\quorbase.mdb", main_));
  EXPECT_FALSE(NamesSameFile("Quorbase.mdb", main_));
  platform::SetCurrentFolder(here);
}

TEST_F(SameFileTest, OtherFilesAreNot) {
  testing::WriteFile(folder_ + "/copy.mdb", "main");
  EXPECT_FALSE(NamesSameFile(folder_ + "/copy.mdb", main_));
  EXPECT_FALSE(NamesSameFile(folder_ + "/sub/Quorbase.mdb", main_));
  EXPECT_FALSE(NamesSameFile(folder_ + "/Quorbase.mdb.bak", main_));
  EXPECT_FALSE(NamesSameFile("", main_));
  EXPECT_FALSE(NamesSameFile(std::string("bad\0path", 8), main_));
}

TEST_F(SameFileTest, ChecksRefuseBeforeAnyQuestion) {
  testing::TestUi ui;
  EXPECT_EQ(CheckTarget(ui.prompter, "", main_), TargetCheck::kRefused);
  EXPECT_EQ(CheckTarget(ui.prompter, folder_ + "/sub/../QUORBASE.mdb", main_),
            TargetCheck::kRefused);
  ASSERT_EQ(ui.prompter.messages.size(), 2u);
  EXPECT_EQ(ui.prompter.messages[0].text, "Please select a file name");
  EXPECT_EQ(ui.prompter.messages[1].text, "Don't overwrite the main database");
  for (const auto& box : ui.prompter.messages) {
    EXPECT_EQ(box.buttons, platform::Buttons::kOk);
    EXPECT_EQ(box.icon, platform::Icon::kExclamation);
    EXPECT_EQ(box.title, "");
  }
  EXPECT_EQ(testing::ReadFile(main_), "main");
}

// Replacing the template would delete it, then copy nothing onto the target.
TEST_F(SameFileTest, TheTemplateBesideTheMainDatabaseIsRefusedToo) {
  testing::WriteFile(folder_ + "/Empty_Quorbase.mdb", "template");
  testing::TestUi ui;
  EXPECT_EQ(CheckTarget(ui.prompter, folder_ + "\\empty_quorbase.MDB", main_),
            TargetCheck::kRefused);
  ASSERT_EQ(ui.prompter.messages.size(), 1u);
  EXPECT_EQ(ui.prompter.messages[0].text, "Don't overwrite the empty template database");
  EXPECT_EQ(testing::ReadFile(folder_ + "/Empty_Quorbase.mdb"), "template");
  EXPECT_EQ(CheckTarget(ui.prompter, folder_ + "/sub/Empty_Quorbase.mdb", main_),
            TargetCheck::kNew);
}

}  // namespace
}  // namespace tasks
