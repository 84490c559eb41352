// Our reader against two independent readers on every Access-made file: the same tables,
// and in every table the same rows, value by value.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>

#include "interop/typed_table.h"
#include "jet/database.h"
#include "support/fixtures.h"

namespace interop {
namespace {

class AccessMadeFileTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    REQUIRE_ACCESS_MADE_FIXTURES();
    REQUIRE_INDEPENDENT_READERS();
    db_ = jet::Database::Open(GetParam());
  }

  // The system tables (the catalog among them): type-1 catalog rows that are not user tables.
  std::vector<std::string> SystemTableNames() const {
    const std::vector<std::string> user = db_->TableNames();
    std::vector<std::string> names;
    for (const jet::CatalogEntry& entry : db_->catalog()) {
      if (entry.type == jet::kObjectTypeTable &&
          std::find(user.begin(), user.end(), entry.name) == user.end()) {
        names.push_back(entry.name);
      }
    }
    return names;
  }

  // Each table's rows against one reader's; one failure line per differing value.
  void CompareTables(const std::vector<std::string>& tables, Reader reader) {
    for (const std::string& table : tables) {
      SCOPED_TRACE(GetParam() + " table " + table);
      try {
        CompareTable(table, reader);
      } catch (const std::exception& e) {
        ADD_FAILURE() << e.what();
      }
    }
  }

  void CompareTable(const std::string& table, Reader reader) {
    const std::vector<jet::ColumnDef> columns = db_->OpenTable(table).columns();
    std::vector<size_t> undecoded;
    for (size_t i = 0; i < columns.size(); ++i) {
      if (!ReadersDecodeType(columns[i].type)) undecoded.push_back(i);
    }
    if (reader == Reader::kMdbReader && !undecoded.empty()) {
      std::cout << "[   NOTE   ] " << table << ": mdb-reader cannot read column type "
                << jet::ColumnTypeName(columns[undecoded[0]].type) << ", table not compared\n";
      return;
    }
    TypedTable ours = ReadWithOurEngine(*db_, table, reader);
    TypedTable theirs = reader == Reader::kMdbExport ? ReadWithMdbExport(GetParam(), table, columns)
                                                     : ReadWithMdbReader(GetParam(), table);
    ASSERT_EQ(ours.column_names, theirs.column_names);
    if (reader == Reader::kMdbReader) {
      EXPECT_EQ(ours.column_types, theirs.column_types);
    }
    // mdb-export prints columns of such types as Null: leave them out on both sides.
    for (size_t i : undecoded) {
      for (auto& row : ours.rows) row[i] = Cell();
      for (auto& row : theirs.rows) row[i] = Cell();
    }
    for (const std::string& message : CompareRows(ours, theirs)) ADD_FAILURE() << message;
  }

  std::unique_ptr<jet::Database> db_;
};

TEST_P(AccessMadeFileTest, ListsTheSameUserTablesAsBothReaders) {
  std::vector<std::string> ours = db_->TableNames();
  std::vector<std::string> mdb_tools = TableNamesFromMdbTools(GetParam());
  std::vector<std::string> mdb_reader = TableNamesFromMdbReader(GetParam());
  // Order is not part of either reader's promise; the set of names is.
  std::sort(ours.begin(), ours.end());
  std::sort(mdb_tools.begin(), mdb_tools.end());
  std::sort(mdb_reader.begin(), mdb_reader.end());
  EXPECT_EQ(ours, mdb_tools);
  EXPECT_EQ(ours, mdb_reader);
}

TEST_P(AccessMadeFileTest, EveryTableReadsAsMdbExportReadsIt) {
  CompareTables(db_->TableNames(), Reader::kMdbExport);
}

TEST_P(AccessMadeFileTest, EveryTableReadsAsMdbReaderReadsIt) {
  CompareTables(db_->TableNames(), Reader::kMdbReader);
}

// The system tables hold what user tables rarely do: long binary properties, deleted
// catalog rows, and rows Access rewrote in place.
TEST_P(AccessMadeFileTest, SystemTablesReadAsMdbExportReadsThem) {
  CompareTables(SystemTableNames(), Reader::kMdbExport);
}

TEST_P(AccessMadeFileTest, SystemTablesReadAsMdbReaderReadsThem) {
  CompareTables(SystemTableNames(), Reader::kMdbReader);
}

INSTANTIATE_TEST_SUITE_P(AccessMade, AccessMadeFileTest,
                         testing::ValuesIn(testing_support::AccessMadeFileParams()),
                         testing_support::AccessMadeTestName);

// The project file's OLE value spans several long-value pages; the reference bytes were
// saved beside it by the file's makers.
TEST(LongValueInteropTest, MultiPageOleValueEqualsTheReferenceBytes) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  std::ifstream in(testing_support::AccessMadeFile("test2BinData.dat"), std::ios::binary);
  ASSERT_TRUE(in) << "test2BinData.dat missing";
  const jet::Bytes expected((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_GT(expected.size(), 4096u) << "the reference value should not fit on one page";

  auto db = jet::Database::Open(testing_support::AccessMadeFile("test2V2000.mdb"));
  const jet::Table table = db->OpenTable("MSP_PROJECTS");
  const jet::ColumnDef* column = table.def().ColumnByName("RESERVED_BINARY_DATA");
  ASSERT_NE(column, nullptr);
  ASSERT_EQ(column->type, jet::ColumnType::kOle);
  const size_t index = static_cast<size_t>(column - table.columns().data());

  size_t values = 0;
  jet::Table::Cursor cursor = table.Scan();
  while (cursor.Next()) {
    const jet::Value& value = cursor.values().at(index);
    if (value.IsNull()) continue;
    ++values;
    ASSERT_TRUE(value.Is<jet::Bytes>());
    const jet::Bytes& actual = value.As<jet::Bytes>();
    ASSERT_EQ(actual.size(), expected.size());
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin());
    EXPECT_TRUE(diff.first == actual.end())
        << "first differing byte at offset " << (diff.first - actual.begin());
  }
  EXPECT_EQ(values, 1u);
}

}  // namespace
}  // namespace interop
