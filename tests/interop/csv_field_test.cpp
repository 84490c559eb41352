// The CSV field rules other tools rely on: Null and empty text must stay apart, and text
// must survive quotes and line breaks.
#include <gtest/gtest.h>

#include "interop/csv_reader.h"
#include "jet_tool/csv.h"

namespace jet_tool {
namespace {

TEST(CsvFieldTest, NullIsBareAndEveryTextIsQuoted) {
  EXPECT_EQ(CsvField(jet::Value()), "");
  EXPECT_EQ(CsvField(jet::Value(std::string())), "\"\"");
  EXPECT_EQ(CsvField(jet::Value(std::string("12"))), "\"12\"");
  EXPECT_EQ(CsvField(jet::Value(true)), "1");
  EXPECT_EQ(CsvField(jet::Value(false)), "0");
  EXPECT_EQ(CsvField(jet::Value(jet::Bytes{0x00, 0xAB, 0x0F})), "00AB0F");
  EXPECT_EQ(CsvField(jet::Value(jet::Bytes{})), "\"\"");
  EXPECT_EQ(CsvField(jet::Value(0.1)), "0.1");
  EXPECT_EQ(CsvField(jet::Value(0.1f)), "0.1");
}

TEST(CsvFieldTest, QuotesAndLineBreaksRoundTripThroughAReader) {
  const std::string memo = "say \"hi\",\r\nthen \"\" leave\n";
  const std::string record =
      CsvRecord({CsvName("a,b"), CsvField(jet::Value(memo)), CsvField(jet::Value())});
  ASSERT_EQ(record.substr(record.size() - 2), "\r\n");
  const interop::CsvDocument doc = interop::ParseCsv(record);
  ASSERT_EQ(doc.rows.size(), 1u);
  ASSERT_EQ(doc.rows[0].size(), 3u);
  EXPECT_EQ(doc.rows[0][0].text, "a,b");
  EXPECT_EQ(doc.rows[0][1].text, memo);
  EXPECT_FALSE(doc.rows[0][2].quoted);
  EXPECT_EQ(CsvName("plain"), "plain");
}

}  // namespace
}  // namespace jet_tool
