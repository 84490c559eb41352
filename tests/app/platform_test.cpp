// The platform layer: backslash joins at the file-system boundary, the ordinary-file test,
// file operations reporting their failures, the timed wait, program commands, and how
// message texts and filters reach Qt.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "init_files.h"
#include "platform/clock.h"
#include "platform/display_text.h"
#include "platform/files.h"
#include "platform/launcher.h"
#include "platform/qt_prompter.h"
#include "platform/test_doubles.h"

namespace platform {
namespace {

void Touch(const std::string& path, const std::string& text = "x") {
  std::ofstream(NativePath(path)) << text;
}

TEST(PathTest, BackslashJoinsWorkOnEverySystem) {
#ifdef _WIN32
  EXPECT_EQ(NativePath("D:\\Data\\Quorbase.mdb"), "D:\\Data\\Quorbase.mdb");
#else
  EXPECT_EQ(NativePath(std::string("D:\\Data") + "\\Quorbase.mdb"), "D:/Data/Quorbase.mdb");
  EXPECT_EQ(NativePath(std::string("/srv/lab") + "\\Quorbase.mdb"), "/srv/lab/Quorbase.mdb");
#endif
  // A folder written with a trailing separator gives a doubled one, which still resolves.
  const std::string folder = app::testing::NewFolder("join");
  Touch(folder + "\\Quorbase.mdb");
  EXPECT_TRUE(FileExists(folder + "\\Quorbase.mdb"));
  EXPECT_TRUE(FileExists(folder + "\\" + "\\Quorbase.mdb"));
}

TEST(FileTest, OnlyOrdinaryFilesExist) {
  const std::string folder = app::testing::NewFolder("exists");
  Touch(folder + "\\plain.mdb");
  std::filesystem::create_directory(NativePath(folder + "\\sub.mdb"));
  EXPECT_TRUE(FileExists(folder + "\\plain.mdb"));
  EXPECT_FALSE(FileExists(folder + "\\sub.mdb"));
  EXPECT_FALSE(FileExists(folder + "\\missing.mdb"));
  EXPECT_FALSE(FileExists(""));
#ifndef _WIN32
  Touch(folder + "\\.hidden.mdb");
  EXPECT_FALSE(FileExists(folder + "\\.hidden.mdb"));
#endif
}

TEST(FileTest, CopyReplacesDeleteRemovesAndFailuresAreDescribed) {
  const std::string folder = app::testing::NewFolder("copy");
  Touch(folder + "\\from.mdb", "new");
  Touch(folder + "\\to.mdb", "old contents");
  EXPECT_EQ(CopyFileOver(folder + "\\from.mdb", folder + "\\to.mdb"), "");
  std::ifstream copied(NativePath(folder + "\\to.mdb"));
  std::string text;
  std::getline(copied, text);
  EXPECT_EQ(text, "new");

  EXPECT_EQ(RemoveFile(folder + "\\to.mdb"), "");
  EXPECT_FALSE(FileExists(folder + "\\to.mdb"));
  EXPECT_NE(RemoveFile(folder + "\\to.mdb"), "");
  EXPECT_NE(CopyFileOver(folder + "\\missing.mdb", folder + "\\x.mdb"), "");
}

TEST(FileTest, CurrentFolderChangesOnlyToExistingFolders) {
  app::testing::CurrentFolderGuard guard;
  const std::string folder = app::testing::NewFolder("current");
  ASSERT_TRUE(SetCurrentFolder(folder));
  EXPECT_EQ(std::filesystem::path(CurrentFolder()), std::filesystem::path(folder));
  EXPECT_FALSE(SetCurrentFolder(folder + "\\absent"));
  EXPECT_EQ(std::filesystem::path(CurrentFolder()), std::filesystem::path(folder));
  EXPECT_FALSE(SetCurrentFolder(""));
}

TEST(ClockTest, WaitEndsOnlyAfterMoreThanTheGivenTime) {
  testing::FakeClock clock(86399.5, 0.5);  // a start just before midnight changes nothing
  WaitSeconds(clock, 2);
  EXPECT_GT(clock.elapsed(), 2.0);
  EXPECT_LE(clock.elapsed(), 3.0);

  SystemClock real;
  const double start = real.Now();
  WaitSeconds(real, 0.05);
  EXPECT_GT(real.Now() - start, 0.05);
}

TEST(LauncherTest, CommandsForTheFileBrowserAndTheTextEditor) {
#if defined(_WIN32)
  EXPECT_EQ(BrowseFolderCommand("D:\\Data"), (Command{"explorer.exe", {"D:\\Data"}}));
  EXPECT_EQ(EditTextFileCommand("ImportLog.txt"), (Command{"notepad.exe", {"ImportLog.txt"}}));
#elif defined(__APPLE__)
  EXPECT_EQ(BrowseFolderCommand("/srv/lab"), (Command{"open", {"/srv/lab"}}));
  EXPECT_EQ(EditTextFileCommand("ImportLog.txt"), (Command{"open", {"-t", "ImportLog.txt"}}));
#else
  EXPECT_EQ(BrowseFolderCommand("/srv/lab\\results"), (Command{"xdg-open", {"/srv/lab/results"}}));
  EXPECT_EQ(EditTextFileCommand("ImportLog.txt"), (Command{"xdg-open", {"ImportLog.txt"}}));
#endif
}

TEST(DisplayTextTest, CarriageReturnsBecomeLineBreaks) {
  EXPECT_EQ(DisplayText("Error: x\rResume Processing?"), "Error: x\nResume Processing?");
  EXPECT_EQ(DisplayText("a\r\rb"), "a\n\nb");
  EXPECT_EQ(DisplayText("a\r\nb"), "a\nb");
  EXPECT_EQ(DisplayText("Müller's"), QString::fromUtf8("Müller's"));
}

TEST(FileFilterTest, LaboratoryFiltersBecomeQtFilters) {
  EXPECT_EQ(QtFileFilter("Database Files (*.mdb)|*.mdb"), "Database Files (*.mdb)");
  EXPECT_EQ(QtFileFilter("Databases|*.mdb;*.accdb|All|*.*"),
            "Databases (*.mdb *.accdb);;All (*.*)");
}

}  // namespace
}  // namespace platform
