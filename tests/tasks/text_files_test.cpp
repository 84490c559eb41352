// The texts the commands write to the laboratory's files.
#include <gtest/gtest.h>

#include "jet/error.h"
#include "support/fixtures.h"
#include "support/lab_files.h"
#include "tasks/ansi_text.h"
#include "tasks/date_text.h"

namespace tasks {
namespace {

TEST(AnsiTextTest, WritesCodePage1252) {
  EXPECT_EQ(ToAnsi("Zoë €5 – “Q”"),
            "Zo\xEB \x80"
            "5 \x96 \x93Q\x94");
  EXPECT_EQ(ToAnsi("Ωmega 😀"), "?mega ?");

  const std::string path = testing_support::TempDir() + "/ansi.txt";
  AppendAnsi(path, "first\r\n", true);
  AppendAnsi(path, "é");
  EXPECT_EQ(testing::ReadFile(path), "first\r\n\xE9");
  AppendAnsi(path, "again", true);
  EXPECT_EQ(testing::ReadFile(path), "again");
  EXPECT_THROW(AppendAnsi(testing_support::TempDir() + "/no/such/folder/x.txt", "x"), jet::Error);
}

TEST(DateTextTest, GeneralAndFileNameForms) {
  EXPECT_EQ(GeneralDateTime({2009, 6, 2, 14, 5, 9}), "02/06/2009 14:05:09");
  EXPECT_EQ(GeneralDateTime({2009, 6, 2, 0, 0, 0}), "02/06/2009");
  EXPECT_EQ(DayMonthYear({2009, 6, 2}), "02-06-2009");
}

}  // namespace
}  // namespace tasks
