// A copy of every Access-made file must hold every table as the file holds it: the same fields
// and indexes, the same rows as our reader and both independent readers see them, counters that
// continue, and a copy the checker passes. jet-tool's copy command must never replace a file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "interop/run_program.h"
#include "interop/typed_table.h"
#include "jet/consistency_check.h"
#include "jet/database.h"
#include "jet/database_copy.h"
#include "jet/error.h"
#include "jet/table_writer.h"
#include "support/fixtures.h"

namespace interop {
namespace {

std::string JetTool() { return (std::filesystem::path(QB_TOOLS_DIR) / "jet-tool").string(); }

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

// A table's fields as stored, and its indexes in name order (the copy lists them in its own
// order), relationship indexes counted as plain ones: the copy keeps no relationships.
struct Shape {
  std::vector<std::string> columns, indexes;
};

Shape ShapeOf(const jet::TableDef& def) {
  Shape out;
  for (const jet::ColumnDef& c : def.columns) {
    out.columns.push_back(c.name + " " + jet::ColumnTypeName(c.type) + " len " +
                          std::to_string(c.length) + " flags " + std::to_string(c.flags) + "/" +
                          std::to_string(c.ext_flags) + " p" + std::to_string(c.precision) + "s" +
                          std::to_string(c.scale));
  }
  constexpr uint8_t kMeaningfulFlags =
      jet::kIndexUnique | jet::kIndexIgnoreNulls | jet::kIndexRequired;
  for (const jet::LogicalIndexDef& x : def.indexes) {
    const jet::RealIndexDef& r = def.real_indexes.at(x.real_index);
    std::string line = x.name + (x.type == jet::LogicalIndexType::kPrimaryKey ? " primary" : "") +
                       " flags " + std::to_string(r.flags & kMeaningfulFlags) + ":";
    for (const jet::IndexColumn& c : r.columns) {
      line += " " + def.ColumnByNumber(c.column_number)->name + (c.ascending ? "+" : "-");
    }
    out.indexes.push_back(line);
  }
  std::sort(out.indexes.begin(), out.indexes.end());
  return out;
}

// The source's relationship indexes that share another index's keys (the referenced side's).
bool SharesKeys(const jet::TableDef& def, const jet::LogicalIndexDef& x) {
  return x.type == jet::LogicalIndexType::kForeignKey &&
         std::count_if(def.indexes.begin(), def.indexes.end(),
                       [&](const auto& other) { return other.real_index == x.real_index; }) > 1;
}

const jet::ColumnDef* AutoLongColumn(const jet::TableDef& def) {
  for (const jet::ColumnDef& c : def.columns) {
    if (c.is_auto_long()) return &c;
  }
  return nullptr;
}

class CopyOfAccessMadeFileTest : public testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    REQUIRE_ACCESS_MADE_FIXTURES();
    REQUIRE_INDEPENDENT_READERS();
    copy_path_ = testing_support::TempDir() + "/copy.mdb";
    jet::CopyDatabase(GetParam(), copy_path_);
    source_ = jet::Database::Open(GetParam());
    copy_ = jet::Database::Open(copy_path_);
  }

  // The table through one independent reader, in the source and in the copy.
  void CompareThroughReader(const std::string& table, Reader reader) {
    SCOPED_TRACE(reader == Reader::kMdbExport ? "mdb-export" : "mdb-reader");
    const jet::Table from = source_->OpenTable(table), to = copy_->OpenTable(table);
    if (reader == Reader::kMdbReader &&
        !std::all_of(from.columns().begin(), from.columns().end(),
                     [](const jet::ColumnDef& c) { return ReadersDecodeType(c.type); })) {
      return;  // mdb-reader refuses such tables (the copy refuses them before that)
    }
    const TypedTable theirs_source = reader == Reader::kMdbExport
                                         ? ReadWithMdbExport(GetParam(), table, from.columns())
                                         : ReadWithMdbReader(GetParam(), table);
    const TypedTable theirs_copy = reader == Reader::kMdbExport
                                       ? ReadWithMdbExport(copy_path_, table, to.columns())
                                       : ReadWithMdbReader(copy_path_, table);
    EXPECT_EQ(theirs_copy.column_types, theirs_source.column_types);
    for (const std::string& m : CompareRows(theirs_copy, theirs_source)) ADD_FAILURE() << m;
  }

  std::string copy_path_;
  std::unique_ptr<jet::Database> source_, copy_;
};

TEST_P(CopyOfAccessMadeFileTest, ChecksCleanAndListsTheSameTablesInEveryReader) {
  for (const std::string& problem : jet::CheckDatabase(*copy_)) ADD_FAILURE() << problem;
  const ProgramResult check = RunProgram({JetTool(), "check", copy_path_});
  EXPECT_EQ(check.exit_code, 0) << check.output;
  const std::vector<std::string> names = source_->TableNames();
  EXPECT_EQ(copy_->TableNames(), names);
  EXPECT_EQ(Sorted(TableNamesFromMdbTools(copy_path_)), Sorted(names));
  EXPECT_EQ(Sorted(TableNamesFromMdbReader(copy_path_)), Sorted(names));
}

TEST_P(CopyOfAccessMadeFileTest, EveryTableHasTheSourcesFieldsIndexesAndRowsInEveryReader) {
  for (const std::string& name : source_->TableNames()) {
    SCOPED_TRACE(GetParam() + " table " + name);
    const jet::Table from = source_->OpenTable(name), to = copy_->OpenTable(name);
    // Every field as the source stores it; every index but the relationship indexes that
    // repeat another's keys.
    const Shape want = ShapeOf(from.def()), got = ShapeOf(to.def());
    EXPECT_EQ(got.columns, want.columns);
    size_t repeating = 0;
    for (const jet::LogicalIndexDef& x : from.def().indexes) repeating += SharesKeys(from.def(), x);
    EXPECT_EQ(got.indexes.size() + repeating, want.indexes.size());
    for (const std::string& index : got.indexes) {
      EXPECT_TRUE(std::find(want.indexes.begin(), want.indexes.end(), index) != want.indexes.end())
          << "the copy's index " << index << " is not the source's";
    }
    // Our reader: every value the same, in the same order.
    auto a = from.Scan(), b = to.Scan();
    size_t rows = 0;
    for (; a.Next(); ++rows) {
      ASSERT_TRUE(b.Next()) << "the copy ends after " << rows << " rows";
      for (size_t k = 0; k < a.values().size(); ++k) {
        EXPECT_TRUE(a.values()[k] == b.values()[k])
            << "row " << rows << " field " << from.columns()[k].name << ": source "
            << jet::DebugString(a.values()[k]) << ", copy " << jet::DebugString(b.values()[k]);
      }
    }
    EXPECT_FALSE(b.Next()) << "the copy has more than the source's " << rows << " rows";
    EXPECT_EQ(to.def().row_count, rows);
    CompareThroughReader(name, Reader::kMdbExport);
    CompareThroughReader(name, Reader::kMdbReader);
  }
}

TEST_P(CopyOfAccessMadeFileTest, AutonumbersContinueWhereTheSourcesStood) {
  copy_.reset();
  auto copy = jet::Database::Open(copy_path_, jet::OpenMode::kReadWrite);
  for (const std::string& name : source_->TableNames()) {
    const jet::TableDef& def = source_->OpenTable(name).def();
    const jet::ColumnDef* counted = AutoLongColumn(def);
    if (counted == nullptr) continue;
    SCOPED_TRACE(name);
    jet::TableWriter writer(*copy, name);
    EXPECT_EQ(writer.def().last_autonumber, def.last_autonumber);
    const auto index = static_cast<size_t>(counted - def.columns.data());
    const jet::RowLocator added = writer.Insert(std::vector<jet::Value>(def.columns.size()));
    EXPECT_EQ(copy->OpenTable(name).ReadRow(added)[index],
              jet::Value(static_cast<int32_t>(def.last_autonumber + 1)));
  }
  for (const std::string& problem : jet::CheckDatabase(*copy)) ADD_FAILURE() << problem;
}

INSTANTIATE_TEST_SUITE_P(AccessMade, CopyOfAccessMadeFileTest,
                         testing::ValuesIn(testing_support::AccessMadeFileParams()),
                         testing_support::AccessMadeTestName);

TEST(CopyCommandTest, CopiesQuietlyAndNeverOverAFile) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string dir = testing_support::TempDir();
  const std::string source = testing_support::AccessMadeFile("testIndexPropertiesV2000.mdb");
  const ProgramResult copied = RunProgram({JetTool(), "copy", "--quiet", source, dir + "/a.mdb"});
  EXPECT_EQ(copied.exit_code, 0);
  EXPECT_EQ(copied.output, "6 tables, 42 rows\n");
  const auto before = testing_support::ReadFileBytes(dir + "/a.mdb");
  EXPECT_EQ(RunProgram({JetTool(), "copy", "--quiet", source, dir + "/a.mdb"}).exit_code, 1);
  EXPECT_EQ(testing_support::ReadFileBytes(dir + "/a.mdb"), before);
  EXPECT_EQ(RunProgram({JetTool(), "copy", source}).exit_code, 2);
  EXPECT_EQ(RunProgram({JetTool(), "copy", "--fast", source, dir + "/b.mdb"}).exit_code, 2);
  const std::string locked = testing_support::AccessMadeFile("V2000_with-password.mdb");
  EXPECT_EQ(RunProgram({JetTool(), "copy", "-q", locked, dir + "/c.mdb"}).exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(dir + "/b.mdb"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/c.mdb"));
}

}  // namespace
}  // namespace interop
