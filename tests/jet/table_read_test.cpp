// Reading tables of Access-made files: names, definitions, rows in scan order and by locator.
#include <gtest/gtest.h>

#include <algorithm>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/usage_map.h"
#include "support/fixtures.h"

namespace jet {
namespace {

using testing_support::AccessMadeFile;

std::vector<std::vector<Value>> AllRows(Table& table) {
  std::vector<std::vector<Value>> rows;
  for (auto cursor = table.Scan(); cursor.Next();) rows.push_back(cursor.values());
  return rows;
}

std::vector<std::string> Column(const std::vector<std::vector<Value>>& rows, size_t i) {
  std::vector<std::string> out;
  for (const auto& r : rows) out.push_back(DebugString(r[i]));
  return out;
}

TEST(TableReadTest, ListsUserTablesAndFindsThemCaseInsensitively) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = Database::Open(AccessMadeFile("indexTestV2000.mdb"));
  EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"Table1", "Table2", "Table3"}));
  EXPECT_EQ(db->OpenTable("tABLE2").name(), "Table2");
  // System tables open by name too, but are not listed.
  EXPECT_EQ(db->OpenTable("msysobjects").name(), "MSysObjects");
  try {
    db->OpenTable("Table 9");
    FAIL();
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrTableNotFound);
  }
  auto empty = Database::Open(AccessMadeFile("empty.mdb"));
  EXPECT_TRUE(empty->TableNames().empty());
  // A damaged catalog row may name page 0 (the header) as a table's definition.
  try {
    ReadTableDef(db->file(), 0);
    FAIL() << "page 0 read as a table definition";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrCorrupt);
  }
}

TEST(TableReadTest, EveryRowReadsBackThroughItsLocator) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  for (const auto& path : testing_support::ReadableAccessMadeFiles()) {
    auto db = Database::Open(path);
    for (const auto& entry : db->catalog()) {
      if (entry.type != kObjectTypeTable) continue;
      SCOPED_TRACE(path + " " + entry.name);
      auto table = db->OpenTable(entry.name);
      std::vector<RowLocator> seen;
      uint32_t rows = 0;
      for (auto cursor = table.Scan(); cursor.Next(); ++rows) {
        EXPECT_EQ(table.ReadRow(cursor.locator()), cursor.values());
        seen.push_back(cursor.locator());
      }
      std::sort(seen.begin(), seen.end());
      EXPECT_EQ(std::adjacent_find(seen.begin(), seen.end()), seen.end()) << "a row read twice";
      // Access keeps the count of user tables exact; the system tables' counts may be stale.
      if ((entry.flags & kSystemObjectFlags) == 0) {
        EXPECT_EQ(rows, table.def().row_count);
      }
    }
  }
}

TEST(TableReadTest, RelocatedDeletedAndDroppedColumnsReadAsAccessLeftThem) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = Database::Open(AccessMadeFile("indexTestV2000.mdb"));
  auto table1 = db->OpenTable("Table1");
  // One of these rows was relocated by Access; a deleted column left a gap in the numbers.
  const auto rows = AllRows(table1);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(Column(rows, 3),
            (std::vector<std::string>{"\"baz0\"", "\"baz11\"", "\"baz11-2\"", "\"baz13\""}));
  std::vector<uint16_t> numbers;
  for (const auto& c : table1.columns()) numbers.push_back(c.number);
  EXPECT_LT(numbers.size(), table1.def().max_cols);
  EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));

  auto del = Database::Open(AccessMadeFile("delTestV2000.mdb"));
  auto table = del->OpenTable("Table");
  EXPECT_EQ(Column(AllRows(table), 0), (std::vector<std::string>{"\"z\"", "\"v\""}));
}

TEST(TableReadTest, DecodesMultiPageDefinitionsAndFixedLengthColumns) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = Database::Open(AccessMadeFile("test2V2000.mdb"));
  auto projects = db->OpenTable("MSP_PROJECTS");
  EXPECT_EQ(projects.def().pages.size(), 2u);
  EXPECT_EQ(projects.columns().size(), 74u);
  EXPECT_EQ(projects.def().long_value_maps.size(), 10u);

  auto fixed = Database::Open(AccessMadeFile("fixedTextTestV2000.mdb"));
  auto users = fixed->OpenTable("users");
  const ColumnDef* flag = users.def().ColumnByName("c_flag_");
  ASSERT_NE(flag, nullptr);
  EXPECT_TRUE(flag->is_fixed());
  EXPECT_EQ(flag->type, ColumnType::kText);
  const auto rows = AllRows(users);
  const size_t i = static_cast<size_t>(flag - users.columns().data());
  EXPECT_EQ(Column(rows, i), (std::vector<std::string>{"\"N\"", "\"N\""}));
  EXPECT_EQ(DebugString(rows[0][users.def().ColumnByName("d_stamp_") - users.columns().data()]),
            "2009-11-05 23:41:28");

  auto numeric = Database::Open(AccessMadeFile("fixedNumericTestV2000.mdb"));
  auto test = numeric->OpenTable("test");
  const auto values = AllRows(test).at(0);
  EXPECT_EQ(DebugString(values[5]), "-1");
  EXPECT_EQ(test.columns()[5].precision, 18);
}

TEST(TableReadTest, ReadsTheGlobalMapOfInlineAndLongRows) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto empty = Database::Open(AccessMadeFile("empty.mdb"));
  const UsageMap map = UsageMap::Read(empty->file(), kGlobalUsageMap);
  EXPECT_EQ(map.kind(), kUsageMapInline);
  EXPECT_EQ(map.span(), 512u);
  for (uint32_t p = 0; p < 24; ++p) EXPECT_FALSE(map.Test(p)) << p;   // in use
  for (uint32_t p = 24; p < 512; ++p) EXPECT_TRUE(map.Test(p)) << p;  // free, past the end

  auto big = Database::Open(AccessMadeFile("testV2000.mdb"));
  EXPECT_EQ(UsageMap::Read(big->file(), kGlobalUsageMap).span(), 768u);
}

}  // namespace
}  // namespace jet
