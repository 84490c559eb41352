// The statement texts character for character, quotes doubled inside values, and the copy rule
// between two files.
#include "db/statements.h"

#include <gtest/gtest.h>

#include "dao_test_support.h"

namespace db {
namespace {

using testing::Column;
using testing::CopyOf;
using testing::ErrorOf;
using testing::Problems;

TEST(StatementsTest, GiveTheExactTexts) {
  const jet::Value five = int32_t{5};
  const jet::Value minus = int16_t{-3};
  EXPECT_EQ(CustomerListSql(), "SELECT DISTINCT Cust_Name FROM [Instruments]");
  EXPECT_EQ(CustomerSearchSql("Velmo*"),
            "SELECT DISTINCT Cust_Name FROM [Instruments] WHERE Cust_Name LIKE \"Velmo*\"");
  EXPECT_EQ(ExportInstrumentsSql("Acme"), "SELECT * from Instruments Where Cust_Name='Acme'");
  EXPECT_EQ(ExportCalibrationsSql("I1"), "SELECT * from Calibrations Where Inst_Id='I1'");
  EXPECT_EQ(ExportResultsSql("C1"), "SELECT * from Results Where Cert_No='C1'");
  EXPECT_EQ(ExportAdditionalDataSql("I1"), "SELECT * from [Additional Data] Where Inst_Id='I1'");
  EXPECT_EQ(ImportInstrumentIdsSql(), "SELECT Inst_Id from Instruments");
  EXPECT_EQ(ImportInstrumentIdSql("I1"), "SELECT Inst_Id from Instruments Where Inst_Id='I1'");
  EXPECT_EQ(ImportInstrumentSql("I1"), "SELECT * from Instruments Where Inst_Id ='I1'");
  EXPECT_EQ(ImportCalibrationsSql(), "SELECT * from Calibrations");
  EXPECT_EQ(ImportCalibrationSql("I1", five),
            "SELECT * from [Calibrations] Where [Inst_Id] ='I1' and [Cal_Ref] =5");
  EXPECT_EQ(ImportCalibrationBareSql("I1", five),
            "SELECT * from [Calibrations] Where Inst_Id ='I1' and  Cal_Ref =5");
  EXPECT_EQ(ImportCalibrationInstrumentSql("I1"), "Select * from Instruments where Inst_Id='I1'");
  EXPECT_EQ(ImportAdditionalDataSql("I1", five),
            "SELECT * from [Additional Data] Where Inst_Id='I1' and Cal_Ref= 5");
  EXPECT_EQ(ImportAdditionalDataSql("I1", minus),
            "SELECT * from [Additional Data] Where Inst_Id='I1' and Cal_Ref=-3");
  EXPECT_EQ(ImportAdditionalDataTableSql(), "Select * from [Additional Data]");
  EXPECT_EQ(ImportAdditionalDataCriteria("I1", jet::Value(uint8_t{0})),
            "Inst_Id='I1' AND Cal_ref= 0");
  EXPECT_EQ(ImportResultsSql("C1"), "SELECT * from Results where Cert_No='C1'");
  EXPECT_EQ(ImportResultsTableSql(), "Select * from [Results]");
  EXPECT_EQ(ImportResultCriteria("C1", jet::Value(12.5)), "Cert_No='C1' AND Test_No= 12.5");
  EXPECT_EQ(RebuildInstrumentsSql(), "SELECT * from Instruments");
  EXPECT_EQ(RebuildCalibrationsSql("I1"), "SELECT * from Calibrations Where Inst_Id=\"I1\"");
  EXPECT_EQ(RebuildResultsSql("C1"), "SELECT * from Results Where Cert_No=\"C1\"");
  EXPECT_EQ(RebuildAdditionalDataSql("I1", five),
            "SELECT * from [Additional Data] Where Inst_Id=\"I1\" AND Cal_Ref=5");
}

TEST(StatementsTest, DoubleTheQuoteInsideValuesAndRefuseNullNumbers) {
  EXPECT_EQ(ExportInstrumentsSql("O'Brien"),
            "SELECT * from Instruments Where Cust_Name='O''Brien'");
  EXPECT_EQ(CustomerSearchSql("6\" gauge*"),
            "SELECT DISTINCT Cust_Name FROM [Instruments] WHERE Cust_Name LIKE \"6\"\" gauge*\"");
  EXPECT_EQ(RebuildResultsSql("a'b\"c"), "SELECT * from Results Where Cert_No=\"a'b\"\"c\"");
  EXPECT_EQ(ErrorOf([] { ImportResultCriteria("C1", jet::Value()); }), 94);
  EXPECT_EQ(ConcatText(jet::Value(int32_t{42})), "42");
  EXPECT_EQ(ErrorOf([] { ConcatText(jet::Value()); }), 94);
}

TEST(StatementsTest, DoubledQuotesSelectTheRowsThatHoldThem) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  Database db = DBEngine().OpenDatabase(CopyOf("indexTestV2000.mdb"));
  Recordset rs = db.OpenRecordset("Table2");
  rs.Edit();
  rs.Fields("data").SetValue(std::string("O'Brien \"6\""));
  rs.Update();
  Recordset single =
      db.OpenRecordset("SELECT id FROM Table2 WHERE data=" + SingleQuoted("O'Brien \"6\""));
  EXPECT_EQ(Column(single, "id"), (std::vector<jet::Value>{0}));
  Recordset twice =
      db.OpenRecordset("SELECT id FROM Table2 WHERE data=" + DoubleQuoted("O'Brien \"6\""));
  EXPECT_EQ(Column(twice, "id"), (std::vector<jet::Value>{0}));
  db.Close();
}

// testIndexPropertiesV2000.mdb: TableIgnoreNulls1 (row primary key, data with Nulls) and
// TableIgnoreNulls2 (row, data1, data2).
TEST(CopyFieldsByNameTest, CopiesEveryNamesakeBetweenFilesNullsIncluded) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string source_path = CopyOf("testIndexPropertiesV2000.mdb");
  const std::string target_path = CopyOf("testIndexPropertiesV2000.mdb");
  Database source_db = DBEngine().OpenDatabase(source_path);
  Database target_db = DBEngine().OpenDatabase(target_path);

  Recordset target = target_db.OpenRecordset("TableIgnoreNulls1");
  for (; !target.Eof(); target.MoveNext()) target.Delete();
  Recordset source = source_db.OpenRecordset("SELECT * FROM TableIgnoreNulls1");
  for (; !source.Eof(); source.MoveNext()) CopyFieldsByName(source, target);

  source.MoveFirst();
  Recordset copied = target_db.OpenRecordset("SELECT * FROM TableIgnoreNulls1");
  for (; !source.Eof(); source.MoveNext(), copied.MoveNext()) {
    ASSERT_FALSE(copied.Eof());
    EXPECT_EQ(copied.Fields("row").Value(), source.Fields("row").Value());
    EXPECT_EQ(copied.Fields("data").Value(), source.Fields("data").Value());
  }
  EXPECT_TRUE(copied.Eof());

  // Edit: the current target row takes the source's values.
  source.FindFirst("row = 'row2'");
  copied.FindFirst("row = 'row2'");
  copied.Edit();
  copied.Fields("data").SetValue(jet::Null{});
  copied.Update();
  CopyFieldsByName(source, copied, true);
  EXPECT_EQ(copied.Fields("data").Value(), jet::Value(std::string("more")));
  // Onto another row, the key would be there twice.
  copied.FindFirst("row = 'row0'");
  EXPECT_EQ(ErrorOf([&] { CopyFieldsByName(source, copied, true); }), 3022);
  copied.CancelUpdate();

  // A source field without a namesake in the target: nothing is written.
  Recordset narrow = target_db.OpenRecordset("SELECT row, data FROM TableIgnoreNulls1");
  Recordset wide = source_db.OpenRecordset("TableIgnoreNulls2");
  EXPECT_EQ(ErrorOf([&] { CopyFieldsByName(wide, narrow); }), 3265);
  narrow.CancelUpdate();
  narrow.MoveLast();
  EXPECT_EQ(narrow.RecordCount(), 10u);

  source_db.Close();
  target_db.Close();
  EXPECT_EQ(Problems(target_path), "");
}

// The field mapping a target keeps between rows follows a source whose fields come in another
// order, and the copy fails outside AddNew or Edit as SetValue does.
TEST(CopyFieldsByNameTest, FollowsSourcesOfOneTableInAnotherOrder) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  Database db = DBEngine().OpenDatabase(CopyOf("testIndexPropertiesV2000.mdb"));
  Recordset target = db.OpenRecordset("TableIgnoreNulls2");
  Recordset ordered = db.OpenRecordset("SELECT row, data1 FROM TableIgnoreNulls2");
  Recordset reversed = db.OpenRecordset("SELECT data1, row FROM TableIgnoreNulls2");
  reversed.MoveNext();
  for (Recordset* source : {&ordered, &reversed, &ordered}) {
    target.AddNew();
    target.SetFieldsFrom(*source);
    EXPECT_EQ(target.Fields("row").Value(), source->Fields("row").Value());
    EXPECT_EQ(target.Fields("data1").Value(), source->Fields("data1").Value());
    EXPECT_TRUE(target.Fields("data2").Value().IsNull());
    target.CancelUpdate();
  }
  EXPECT_EQ(ErrorOf([&] { target.SetFieldsFrom(ordered); }), 3020);
  db.Close();
}

}  // namespace
}  // namespace db
