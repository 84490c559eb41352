// Opening databases by the paths the laboratory writes.
#include <gtest/gtest.h>

#include "dao_test_support.h"

namespace db {
namespace {

TEST(DaoOpenTest, BackslashJoinedPathsOpenOnEverySystem) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string path = testing::CopyOf("indexTestV2000.mdb");
  const std::string folder = std::filesystem::path(path).parent_path().string();
  Database database = DBEngine().Workspaces(0).OpenDatabase(folder + "\\indexTestV2000.mdb");
  Recordset rs = database.OpenRecordset("Table2");
  EXPECT_FALSE(rs.Eof());
  // The same file by its other spelling is the same open file, not a second writer.
  Database again = DBEngine().Workspaces(0).OpenDatabase(path);
  EXPECT_FALSE(again.OpenRecordset("Table2").Eof());
  EXPECT_EQ(
      testing::ErrorOf([&] { DBEngine().Workspaces(0).OpenDatabase(folder + "\\missing.mdb"); }),
      jet::kErrFileNotFound);
}

}  // namespace
}  // namespace db
