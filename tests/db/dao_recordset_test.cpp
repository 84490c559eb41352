// Recordsets on copies of Access-made files, against the DAO rules the tasks rely on:
// positions and EOF/BOF, PercentPosition before and after MoveLast, the edit buffer and its
// errors, Delete, FindFirst, bookmarks, and writes that reach the file and its indexes.
//
// indexTestV2000.mdb, Table1: id (primary key), otherfk1 (indexed), otherfk2, data, otherfk3;
// rows id 0..3 with otherfk1 0, 1, 1, 2 and data baz0, baz11, baz11-2, baz13.
#include <gtest/gtest.h>

#include <fstream>

#include "dao_test_support.h"

namespace db {
namespace {

using testing::Column;
using testing::CopyOf;
using testing::ErrorOf;
using testing::Problems;

class RecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_ACCESS_MADE_FIXTURES();
    path_ = CopyOf("indexTestV2000.mdb");
    db_ = DBEngine().OpenDatabase(path_);
  }
  void TearDown() override { db_.Close(); }

  std::string path_;
  Database db_;
};

TEST_F(RecordsetTest, WalksTablesAndStatementsInJetOrder) {
  Recordset table = db_.OpenRecordset("Table1");
  EXPECT_FALSE(table.Bof());
  EXPECT_EQ(Column(table, "id"), (std::vector<jet::Value>{0, 1, 2, 3}));
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(ErrorOf([&] { table.MoveNext(); }), 3021);
  EXPECT_EQ(ErrorOf([&] { table.Fields("id").Value(); }), 3021);

  Recordset query = db_.OpenRecordset("SELECT data, id FROM Table1 WHERE otherfk1 = 1");
  ASSERT_EQ(query.Fields().Count(), 2u);
  EXPECT_EQ(query.Fields(0).Name(), "data");
  EXPECT_EQ(Column(query, "ID"), (std::vector<jet::Value>{1, 2}));

  // A whole-table statement with named columns shows only those.
  Recordset some = db_.OpenRecordset("select [data] from [Table1]");
  EXPECT_EQ(some.Fields().Count(), 1u);
  EXPECT_EQ(some.Fields(0).Value(), jet::Value(std::string("baz0")));
}

TEST_F(RecordsetTest, EmptySetsAndMissingItemsFailWithJetNumbers) {
  Recordset rs = db_.OpenRecordset("SELECT * FROM Table1 WHERE id = 7");
  EXPECT_TRUE(rs.Eof());
  EXPECT_TRUE(rs.Bof());
  EXPECT_EQ(ErrorOf([&] { rs.MoveFirst(); }), 3021);
  EXPECT_EQ(ErrorOf([&] { rs.MoveLast(); }), 3021);
  EXPECT_EQ(ErrorOf([&] { rs.MoveNext(); }), 3021);
  EXPECT_EQ(ErrorOf([&] { rs.Edit(); }), 3021);
  EXPECT_EQ(ErrorOf([&] { rs.Delete(); }), 3021);
  EXPECT_TRUE(rs.Eof());

  EXPECT_EQ(ErrorOf([&] { rs.Fields("nosuch"); }), 3265);
  EXPECT_EQ(ErrorOf([&] { rs.Fields(5); }), 3265);
  EXPECT_EQ(ErrorOf([&] { db_.TableDefs("nosuch"); }), 3265);
  EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("nosuch"); }), 3078);
  EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("SELECT * FROM Table1 WHERE nosuch = 1"); }), 3061);
  EXPECT_EQ(ErrorOf([&] { DBEngine().Workspaces(1); }), 3265);
  EXPECT_EQ(db_.TableDefs("TABLE1").Name(), "Table1");
  EXPECT_EQ(db_.TableDefs("Table1").FieldCount(), 5u);

  // A whole table with no rows left.
  Recordset all = db_.OpenRecordset("Table3");
  while (!all.Eof()) {
    all.Delete();
    all.MoveNext();
  }
  Recordset again = db_.OpenRecordset("SELECT * FROM Table3");
  EXPECT_TRUE(again.Eof() && again.Bof());
  EXPECT_EQ(ErrorOf([&] { again.MoveLast(); }), 3021);
}

TEST_F(RecordsetTest, PercentPositionIsRelativeToKnownRowsUntilMoveLast) {
  for (const char* source : {"Table1", "SELECT * FROM Table1 WHERE otherfk3 = 0"}) {
    SCOPED_TRACE(source);
    Recordset rs = db_.OpenRecordset(source);
    EXPECT_FLOAT_EQ(rs.PercentPosition(), 0);
    rs.MoveNext();
    EXPECT_FLOAT_EQ(rs.PercentPosition(), 50);  // the second of two rows known
    rs.MoveLast();
    EXPECT_EQ(rs.RecordCount(), 4u);
    EXPECT_FLOAT_EQ(rs.PercentPosition(), 75);
    rs.MoveFirst();
    std::vector<float> percents;
    for (; !rs.Eof(); rs.MoveNext()) percents.push_back(rs.PercentPosition());
    EXPECT_EQ(percents, (std::vector<float>{0, 25, 50, 75}));
  }
  // After a search the place is counted when asked.
  Recordset rs = db_.OpenRecordset("Select * from [Table1]");
  rs.FindFirst("id = 2");
  rs.MoveLast();
  rs.FindFirst("id = 2");
  EXPECT_FLOAT_EQ(rs.PercentPosition(), 50);
}

TEST_F(RecordsetTest, ValuesAreSetOnlyBetweenAddNewOrEditAndUpdate) {
  Recordset rs = db_.OpenRecordset("SELECT * FROM Table2 WHERE id = 1");
  EXPECT_EQ(ErrorOf([&] { rs.Fields("data").SetValue(std::string("x")); }), 3020);
  EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3020);
  EXPECT_EQ(ErrorOf([&] { rs.CancelUpdate(); }), 3020);

  rs.Edit();
  rs.Fields("data").SetValue(std::string("changed"));
  EXPECT_EQ(rs.Fields("data").Value(), jet::Value(std::string("changed")));
  rs.CancelUpdate();
  EXPECT_EQ(rs.Fields("data").Value(), jet::Value(std::string("foo1")));

  // Another recordset on the row sees the change once it is written.
  Recordset other = db_.OpenRecordset("Table2");
  other.MoveNext();
  EXPECT_EQ(other.Fields("data").Value(), jet::Value(std::string("foo1")));
  rs.Edit();
  rs.Fields("data").SetValue(std::string("changed"));
  rs.Update();
  EXPECT_EQ(other.Fields("data").Value(), jet::Value(std::string("changed")));
  EXPECT_EQ(ErrorOf([&] { rs.Fields("data").SetValue(jet::Null{}); }), 3020);
}

TEST_F(RecordsetTest, AStatementShowsRowsAsWrittenAfterItRan) {
  // The statement's rows were read when it ran; writes made since, through any recordset on
  // the file, show in the rows it has not read yet and in the one it stands on.
  Recordset query = db_.OpenRecordset("SELECT * FROM Table1 WHERE otherfk1 = 1");
  Recordset query_again = db_.OpenRecordset("SELECT * FROM Table1 WHERE otherfk1 = 1");
  Recordset writer = db_.OpenRecordset("SELECT * FROM Table1 WHERE id = 2");
  writer.Edit();
  writer.Fields("data").SetValue(std::string("written"));
  writer.Update();
  EXPECT_EQ(Column(query, "data"),
            (std::vector<jet::Value>{std::string("baz11"), std::string("written")}));

  EXPECT_EQ(query_again.Fields("data").Value(), jet::Value(std::string("baz11")));
  Recordset deleter = db_.OpenRecordset("SELECT * FROM Table1 WHERE id = 1");
  deleter.Delete();
  EXPECT_EQ(ErrorOf([&] { query_again.Fields("data").Value(); }), 3167);
  query_again.MoveNext();
  query_again.Edit();  // an edit starts from the row as it is now
  EXPECT_EQ(query_again.Fields("data").Value(), jet::Value(std::string("written")));
}

TEST_F(RecordsetTest, IndexedStatementsFindTheRowsWrittenSinceTheIndexWasFirstRead) {
  // The index readers outlive the writes (they follow each page's version): lookups between
  // inserts that split the index's pages, and after deletes, see the index as it is now.
  const auto count = [&](int otherfk1) {
    Recordset rs =
        db_.OpenRecordset("SELECT id FROM Table1 WHERE otherfk1 = " + std::to_string(otherfk1));
    return Column(rs, "id").size();
  };
  EXPECT_EQ(count(1), 2u);
  Recordset table = db_.OpenRecordset("Table1");
  size_t ones_added = 0, threes_added = 0;
  for (int id = 4; id < 1504; ++id) {
    table.AddNew();
    table.Fields("id").SetValue(id);
    table.Fields("otherfk1").SetValue(id % 7);
    table.Update();
    ones_added += id % 7 == 1;
    threes_added += id % 7 == 3;
    if (id % 100 == 0) {
      EXPECT_EQ(count(1), 2 + ones_added) << id;
      EXPECT_EQ(count(9), 0u);
    }
  }
  Recordset ones = db_.OpenRecordset("SELECT * FROM Table1 WHERE otherfk1 = 1");
  for (; !ones.Eof(); ones.MoveNext()) ones.Delete();
  EXPECT_EQ(count(1), 0u);
  EXPECT_EQ(count(3), threes_added);
  table.Close();
  ones.Close();
  db_.Close();
  EXPECT_EQ(Problems(path_), "");
}

TEST_F(RecordsetTest, AddNewOnAStatementAppendsToItsTable) {
  Recordset rs = db_.OpenRecordset("SELECT * FROM Table2 WHERE id = 1");
  rs.AddNew();
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value());  // a new row starts Null
  rs.Fields("id").SetValue(int32_t{7});
  rs.Fields("data").SetValue(std::string("seven"));
  rs.Update();
  // The row current before AddNew stays current; the new one joins the end of the set.
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value(1));
  rs.MoveNext();
  EXPECT_EQ(rs.Fields("data").Value(), jet::Value(std::string("seven")));

  // Found again through the primary key: the query state was renewed after the write.
  Recordset found = db_.OpenRecordset("SELECT * FROM Table2 WHERE id = 7");
  ASSERT_FALSE(found.Eof());
  EXPECT_EQ(found.Fields("data").Value(), jet::Value(std::string("seven")));
  Recordset whole = db_.OpenRecordset("Table2");
  whole.MoveLast();
  EXPECT_EQ(whole.RecordCount(), 4u);
  db_.Close();
  EXPECT_EQ(Problems(path_), "");
}

// The tasks open a whole table only to append to it; the set's first row is found later, and
// must be the one it would have been at opening: the first stored row, or none when the table
// was empty then.
TEST_F(RecordsetTest, AppendingToAFreshTableSetKeepsItsStartingPosition) {
  const auto append = [](Recordset& rs, int32_t id) {
    rs.AddNew();
    rs.Fields("id").SetValue(id);
    rs.Fields("data").SetValue(std::string("new") + std::to_string(id));
    rs.Update();
  };
  Recordset table = db_.OpenRecordset("Table1");
  append(table, 10);
  append(table, 11);
  EXPECT_FALSE(table.Bof());
  EXPECT_EQ(table.Fields("id").Value(), jet::Value(0));
  EXPECT_EQ(Column(table, "id"), (std::vector<jet::Value>{0, 1, 2, 3, 10, 11}));

  Recordset all = db_.OpenRecordset("Table1");
  while (!all.Eof()) {
    all.Delete();
    all.MoveNext();
  }
  Recordset empty = db_.OpenRecordset("Table1");
  append(empty, 20);
  append(empty, 21);
  EXPECT_TRUE(empty.Eof());
  EXPECT_TRUE(empty.Bof());
  empty.MoveFirst();
  EXPECT_EQ(Column(empty, "id"), (std::vector<jet::Value>{20, 21}));
  db_.Close();
  EXPECT_EQ(Problems(path_), "");
}

TEST_F(RecordsetTest, ARefusedUpdateKeepsTheBufferForTheCaller) {
  Recordset rs = db_.OpenRecordset("Table2");
  rs.AddNew();
  rs.Fields("id").SetValue(int32_t{1});  // the primary key holds 1 already
  rs.Fields("data").SetValue(std::string("dup"));
  EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3022);
  EXPECT_EQ(rs.Fields("data").Value(), jet::Value(std::string("dup")));
  rs.Fields("id").SetValue(int32_t{9});
  rs.Update();

  rs.AddNew();
  rs.Fields("id").SetValue(int32_t{10});
  rs.Fields("data").SetValue(std::string(60, 'x'));  // TEXT(50)
  EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3163);
  rs.CancelUpdate();
  EXPECT_EQ(ErrorOf([&] { rs.Update(); }), 3020);

  Recordset check = db_.OpenRecordset("SELECT data FROM Table2 WHERE id >= 9");
  EXPECT_EQ(Column(check, "data"), (std::vector<jet::Value>{std::string("dup")}));
  db_.Close();
  EXPECT_EQ(Problems(path_), "");
}

TEST_F(RecordsetTest, DeleteLeavesNoCurrentRowUntilAMove) {
  Recordset rs = db_.OpenRecordset("SELECT * FROM Table1 WHERE otherfk1 = 1");
  rs.Delete();
  EXPECT_EQ(ErrorOf([&] { rs.Fields("id").Value(); }), 3167);
  EXPECT_EQ(ErrorOf([&] { rs.Delete(); }), 3167);
  EXPECT_EQ(ErrorOf([&] { rs.Edit(); }), 3167);
  rs.MoveNext();
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value(2));
  rs.MoveFirst();  // the deleted row is no longer in the set
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value(2));

  // A row deleted through one recordset reads as deleted through another.
  Recordset table = db_.OpenRecordset("Table1");
  table.MoveNext();  // id 1 is gone
  EXPECT_EQ(table.Fields("id").Value(), jet::Value(2));
  rs.Delete();
  EXPECT_EQ(ErrorOf([&] { table.Fields("id").Value(); }), 3167);
  table.MoveFirst();
  EXPECT_EQ(Column(table, "id"), (std::vector<jet::Value>{0, 3}));
  db_.Close();
  EXPECT_EQ(Problems(path_), "");
}

TEST_F(RecordsetTest, FindFirstStandsOnTheFirstMatchOrAtEof) {
  Recordset rs = db_.OpenRecordset("Select * from [Table1]");
  rs.FindFirst("otherfk1=1 AND data='BAZ11-2'");  // text compared as Jet compares it
  ASSERT_FALSE(rs.Eof());
  EXPECT_FALSE(rs.NoMatch());
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value(2));
  rs.MoveNext();  // the search's row is a place to walk on from
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value(3));

  rs.FindFirst("otherfk1 = 5");
  EXPECT_TRUE(rs.Eof());
  EXPECT_TRUE(rs.NoMatch());
  EXPECT_EQ(ErrorOf([&] { rs.FindFirst("nosuch = 1"); }), 3061);
  EXPECT_EQ(ErrorOf([&] { rs.FindFirst("data = 'O'Brien'"); }), 3075);

  // A row added through the recordset comes after the rows that were there.
  rs.AddNew();
  rs.Fields("id").SetValue(int32_t{10});
  rs.Fields("otherfk1").SetValue(int32_t{1});
  rs.Update();
  rs.FindFirst("otherfk1 = 1");
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value(1));
  rs.FindFirst("otherfk1 = 1 AND id > 2");
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value(10));
  // The added row is tested with the criteria as the query bound them (a LIKE's pattern too).
  rs.AddNew();
  rs.Fields("id").SetValue(int32_t{11});
  rs.Fields("data").SetValue(std::string("Zed's row"));
  rs.Update();
  rs.FindFirst("data LIKE 'zed''s*'");
  EXPECT_EQ(rs.Fields("id").Value(), jet::Value(11));

  // The same on the rows of a statement.
  Recordset some = db_.OpenRecordset("SELECT * FROM Table1 WHERE otherfk3 = 0");
  some.FindFirst("data LIKE 'baz1*'");
  EXPECT_EQ(some.Fields("id").Value(), jet::Value(1));
  some.FindFirst("data = 'none'");
  EXPECT_TRUE(some.Eof() && some.NoMatch());

  // Faulty criteria fail before any row is tested, also where there is none to test.
  Recordset none = db_.OpenRecordset("SELECT * FROM Table1 WHERE otherfk1 = 99");
  EXPECT_EQ(ErrorOf([&] { none.FindFirst("nosuch = 1"); }), 3061);
  EXPECT_EQ(ErrorOf([&] { none.FindFirst("data = 5"); }), 3464);
  EXPECT_EQ(ErrorOf([&] { rs.FindFirst("data = 5"); }), 3464);
}

TEST_F(RecordsetTest, BookmarksReturnToTheirRow) {
  for (const char* source : {"Table1", "SELECT DISTINCT data FROM Table1"}) {
    SCOPED_TRACE(source);
    Recordset rs = db_.OpenRecordset(source);
    rs.MoveNext();
    rs.MoveNext();
    const RowBookmark mark = rs.Bookmark();
    const jet::Value data = rs.Fields("data").Value();
    rs.MoveLast();
    rs.SetBookmark(mark);
    EXPECT_EQ(rs.Fields("data").Value(), data);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields("data").Value(), jet::Value(std::string("baz13")));
  }
  Recordset rs = db_.OpenRecordset("SELECT * FROM Table1 WHERE id = 0");
  EXPECT_EQ(ErrorOf([&] { rs.SetBookmark(RowBookmark{{9999, 0}}); }), 3159);
  // A DISTINCT statement has no single row to write to.
  Recordset distinct = db_.OpenRecordset("SELECT DISTINCT data FROM Table1");
  EXPECT_EQ(ErrorOf([&] { distinct.AddNew(); }), 3027);
}

TEST_F(RecordsetTest, ClosingTheDatabaseClosesItsRecordsets) {
  Recordset rs = db_.OpenRecordset("Table1");
  Database same = DBEngine().OpenDatabase(path_);  // one file, shared in the process
  Recordset other = same.OpenRecordset("Table2");
  db_.Close();
  EXPECT_EQ(ErrorOf([&] { rs.Eof(); }), 3420);
  EXPECT_EQ(ErrorOf([&] { db_.OpenRecordset("Table1"); }), 3420);
  EXPECT_FALSE(other.Eof());  // the other Database object still has the file
  other.Edit();
  other.Fields("data").SetValue(std::string("still open"));
  other.Update();
  same.Close();
}

TEST(DatabaseOpenTest, FailsWithTheEnginesNumbers) {
  const std::string dir = testing_support::TempDir();
  EXPECT_EQ(ErrorOf([&] { DBEngine().OpenDatabase(dir + "/missing.mdb"); }), 3024);
  { std::ofstream(dir + "/text.mdb") << std::string(8192, 'x'); }
  EXPECT_EQ(ErrorOf([&] { DBEngine().OpenDatabase(dir + "/text.mdb"); }), 3343);
}

}  // namespace
}  // namespace db
