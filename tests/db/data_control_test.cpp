// The bound list's data control: refresh runs the record source on a connection the control
// keeps, which the export's own opening of the same file shares.
#include "db/data_control.h"

#include <gtest/gtest.h>

#include "dao_test_support.h"

namespace db {
namespace {

using testing::Column;
using testing::CopyOf;
using testing::ErrorOf;

TEST(DataControlTest, RefreshRunsTheSourceOnAConnectionItKeeps) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string path = CopyOf("indexTestV2000.mdb");
  DataControl data;
  EXPECT_EQ(data.Connect(), "Access 2000;");
  data.SetDatabaseName(path);
  data.SetRecordSource("SELECT DISTINCT data FROM Table1");
  data.Refresh();
  Recordset& rs = data.Recordset();
  rs.MoveNext();
  const RowBookmark selected = rs.Bookmark();
  EXPECT_EQ(Column(rs, "data").size(), 3u);
  rs.SetBookmark(selected);
  EXPECT_EQ(rs.Fields("data").Value(), jet::Value(std::string("baz11")));

  // An export opens the same file while the list holds it, and writes to it.
  Database export_db = DBEngine().OpenDatabase(path);
  Recordset table = export_db.OpenRecordset("Table1");
  table.Edit();
  table.Fields("data").SetValue(std::string("aaa"));
  table.Update();
  export_db.Close();

  data.SetRecordSource("SELECT DISTINCT data FROM Table1 WHERE data LIKE \"a*\"");
  data.Refresh();
  EXPECT_EQ(Column(data.Recordset(), "data"), (std::vector<jet::Value>{std::string("aaa")}));

  // A rejected source fails the refresh and leaves no recordset; the next one works.
  data.SetRecordSource("SELECT DISTINCT data FROM Table1 WHERE data LIKE \"a\"\"");
  EXPECT_EQ(ErrorOf([&] { data.Refresh(); }), 3075);
  EXPECT_EQ(ErrorOf([&] { data.Recordset().Eof(); }), 3420);
  data.SetRecordSource("SELECT DISTINCT data FROM Table1");
  data.Refresh();
  EXPECT_FALSE(data.Recordset().Eof());
}

TEST(DataControlTest, AMissingDatabaseFailsTheRefresh) {
  DataControl data;
  data.SetDatabaseName(testing_support::TempDir() + "/none.mdb");
  data.SetRecordSource("SELECT DISTINCT Cust_Name FROM [Instruments]");
  EXPECT_EQ(ErrorOf([&] { data.Refresh(); }), 3024);
}

}  // namespace
}  // namespace db
