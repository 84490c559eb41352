// A copy must hold every table as it was (fields, indexes, every value, the autonumber counter),
// refuse before writing what our writer cannot reproduce, and never replace or leave behind a
// file it should not.
#include "jet/database_copy.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "jet/consistency_check.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/table_def_writer.h"
#include "jet/table_writer.h"
#include "support/fixtures.h"
#include "support/table_designs.h"

namespace jet {
namespace {

std::string Problems(Database& db) {
  std::string out;
  for (const auto& p : CheckDatabase(db)) out += p + "\n";
  return out;
}

std::vector<std::vector<Value>> Rows(Database& db, const std::string& table) {
  std::vector<std::vector<Value>> rows;
  const Table t = db.OpenTable(table);
  for (auto cursor = t.Scan(); cursor.Next();) rows.push_back(cursor.values());
  return rows;
}

// What a definition says of its fields and indexes, without numbers and pages.
std::string Shape(const TableDef& def) {
  std::string out;
  for (const ColumnDef& c : def.columns) {
    out += c.name + " " + ColumnTypeName(c.type) + " len " + std::to_string(c.length) + " flags " +
           std::to_string(c.flags) + "/" + std::to_string(c.ext_flags) + " p" +
           std::to_string(c.precision) + "s" + std::to_string(c.scale) + "\n";
  }
  for (const LogicalIndexDef& l : def.indexes) {
    const RealIndexDef& r = def.real_indexes.at(l.real_index);
    out += "index " + l.name + " type " + std::to_string(static_cast<int>(l.type)) + " flags " +
           std::to_string(r.flags) + ":";
    for (const IndexColumn& ic : r.columns) {
      out += " " + def.ColumnByNumber(ic.column_number)->name + (ic.ascending ? "+" : "-");
    }
    out += "\n";
  }
  return out;
}

int ErrorOf(const std::function<void()>& f, std::string* message = nullptr) {
  try {
    f();
  } catch (const Error& e) {
    if (message != nullptr) *message = e.description();
    return e.number();
  }
  return 0;
}

TableDesign EveryKindDesign() {
  using T = ColumnType;
  testing_support::DesignBuilder builder("Every Kind");
  testing_support::AddFixedSizeColumns(builder, /*with_long=*/false);
  auto add = [&](const char* name, T type) -> ColumnDesign& { return builder.Column(name, type); };
  TableDesign& layout = builder.design();
  add("Bin", T::kBinary).size = 40;
  ColumnDesign& fixed_bin = add("FixedBin", T::kBinary);
  fixed_bin.size = 6;
  fixed_bin.fixed_length = true;
  add("Name", T::kText).size = 80;
  ColumnDesign& code = add("Code", T::kText);
  code.size = 3;
  code.fixed_length = true;
  add("Wide", T::kText).compressed_unicode = false;
  add("Notes", T::kMemo);
  add("Link", T::kMemo).hyperlink = true;
  add("Blob", T::kOle);
  add("Rep", T::kGuid);
  ColumnDesign& dec = add("Dec", T::kNumeric);
  dec.precision = 20;
  dec.scale = 4;
  layout.indexes = {{"", {{"Id", true}}, true},
                    {"ByNameWhen", {{"Name", true}, {"When", false}}},
                    {"Codes", {{"Code", false}}, false, false, true},
                    {"Reps", {{"Rep", true}}, false, true},
                    {"Flags", {{"Flag", false}}, false, false, false, true}};
  return std::move(layout);
}

std::vector<Value> Row(int i) {
  std::vector<Value> r(18);
  r[1] = i % 2 == 0;
  if (i % 5 == 4) return r;  // Null wherever a field can be
  r[2] = static_cast<uint8_t>(i);
  r[3] = static_cast<int16_t>(-i * 100);
  r[4] = Currency{-123456789 * int64_t{i}};
  r[5] = 1.5f / static_cast<float>(i + 1);
  r[6] = -1e300 / (i + 1);
  r[7] = DateTime{-700.25 + i * 3000.5};
  r[8] = Bytes{0x00, static_cast<uint8_t>(i), 0xFF};
  r[9] = Bytes{1, 2, 3, 4, 5, 6};
  r[10] = "Grüße " + std::to_string(i % 4);
  r[11] = std::string(i % 3 == 0 ? "AB" : "XYZ");
  r[12] = std::string("Ωμέγα");
  r[13] = i == 2 ? std::string(70000, 'm') + "ü" : "short " + std::to_string(i);
  r[14] = std::string("site#http://example.org/" + std::to_string(i) + "#");
  Bytes blob(i == 3 ? 300000 : 10);
  for (size_t k = 0; k < blob.size(); ++k) blob[k] = static_cast<uint8_t>(k * 7 + i);
  r[15] = blob;
  Guid g;
  for (int k = 0; k < 16; ++k) g.bytes[k] = static_cast<uint8_t>(k * 16 + i);
  r[16] = g;
  Decimal d;
  d.negative = i % 2 == 1;
  d.precision = 20;
  d.scale = 4;
  d.low = 1234567890123ull * static_cast<uint64_t>(i + 1);
  r[17] = d;
  return r;
}

class DatabaseCopyTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = testing_support::TempDir();
    source_ = dir_ + "/source.mdb";
    target_ = dir_ + "/copy.mdb";
    CreateDatabase(source_);
  }
  std::string dir_, source_, target_;
};

TEST_F(DatabaseCopyTest, HoldsEveryFieldIndexValueAndTheCounterOfEveryTable) {
  {
    auto db = Database::Open(source_, OpenMode::kReadWrite);
    CreateTable(*db, EveryKindDesign());
    TableDesign empty;
    empty.name = "Nothing Yet";
    empty.columns = {{"A", ColumnType::kText, 10}};
    CreateTable(*db, empty);
    TableWriter writer(*db, "Every Kind");
    std::vector<RowLocator> rows;
    for (int i = 0; i < 12; ++i) rows.push_back(writer.Insert(Row(i)));
    // Gaps, and the last numbers given and taken back: the counter stands ahead of every row.
    writer.Delete(rows[5]);
    writer.Delete(rows[10]);
    writer.Delete(rows[11]);
  }
  std::vector<CopiedTable> heard;
  const CopySummary summary =
      CopyDatabase(source_, target_, [&](const CopiedTable& t) { heard.push_back(t); });
  EXPECT_EQ(summary.tables, 2u);
  EXPECT_EQ(summary.rows, 9u);
  EXPECT_TRUE(summary.notes.empty());
  ASSERT_EQ(heard.size(), 2u);
  EXPECT_EQ(heard[0].name, "Every Kind");
  EXPECT_EQ(heard[0].rows, 9u);
  EXPECT_EQ(heard[1].name, "Nothing Yet");
  EXPECT_EQ(heard[1].number, 2u);
  EXPECT_EQ(heard[1].count, 2u);

  auto source = Database::Open(source_);
  auto copy = Database::Open(target_, OpenMode::kReadWrite);
  EXPECT_EQ(Problems(*copy), "");
  EXPECT_EQ(copy->TableNames(), source->TableNames());
  for (const std::string& name : source->TableNames()) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Shape(copy->OpenTable(name).def()), Shape(source->OpenTable(name).def()));
    EXPECT_TRUE(Rows(*copy, name) == Rows(*source, name));
  }
  EXPECT_EQ(copy->OpenTable("Every Kind").def().last_autonumber, 12u);
  TableWriter writer(*copy, "Every Kind");
  const RowLocator added = writer.Insert(Row(5));  // its replication ID left with its row
  EXPECT_EQ(copy->OpenTable("Every Kind").ReadRow(added)[0], Value(int32_t{13}));
  EXPECT_EQ(Problems(*copy), "");
}

TEST_F(DatabaseCopyTest, NeverWritesOverAnExistingFile) {
  CreateDatabase(target_);
  const auto before = testing_support::ReadFileBytes(target_);
  EXPECT_EQ(ErrorOf([&] { CopyDatabase(source_, target_); }), kErrDatabaseExists);
  EXPECT_EQ(testing_support::ReadFileBytes(target_), before);
  // Not even over its own source.
  EXPECT_EQ(ErrorOf([&] { CopyDatabase(source_, source_); }), kErrDatabaseExists);
}

TEST_F(DatabaseCopyTest, ATableItCannotReproduceStopsTheCopyBeforeAFileIsMade) {
  {
    auto db = Database::Open(source_, OpenMode::kReadWrite);
    CreateTable(*db, EveryKindDesign());
    // A column flag no writer of ours sets (0x10 marks system tables' columns).
    TableDef& def = db->MutableTableDef(db->FindTable("Every Kind")->tdef_page());
    def.columns[3].flags |= 0x10;
    PageFile::Operation op(db->file());
    WriteTableDef(db->file(), db->allocator(), def);
    op.Commit();
  }
  std::string message;
  EXPECT_EQ(ErrorOf([&] { CopyDatabase(source_, target_); }, &message), kErrUnsupported);
  EXPECT_NE(message.find("'Every Kind'"), std::string::npos) << message;
  EXPECT_NE(message.find("'Short'"), std::string::npos) << message;
  EXPECT_FALSE(std::filesystem::exists(target_));
}

TEST(DatabaseCopyPlanTest, RefusesWhatTheWriterCannotReproduceNamingTableAndField) {
  const TableDef base = BuildTableDef(EveryKindDesign());
  struct Case {
    const char* what;
    std::function<void(TableDef&)> spoil;
    const char* named;
  };
  const std::vector<Case> cases{
      {"a type Access 2000 does not write",
       [](TableDef& d) { d.columns[2].type = ColumnType::kUnknown0D; }, "'Tiny'"},
      {"an unknown column flag", [](TableDef& d) { d.columns[4].flags |= 0x20; }, "'Money'"},
      {"a calculated field", [](TableDef& d) { d.columns[10].ext_flags |= 0xC0; }, "'Name'"},
      {"a fixed-length memo", [](TableDef& d) { d.columns[13].flags |= kColumnFixed; }, "'Notes'"},
      {"an autonumber that is no LONG", [](TableDef& d) { d.columns[3].flags |= kColumnAutoLong; },
       "'Short'"},
      {"an unknown index flag", [](TableDef& d) { d.real_indexes[0].flags |= 0x04; }, "index"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TableDef def = base;
    c.spoil(def);
    std::string message;
    EXPECT_EQ(ErrorOf([&] { PlanTableCopy("Spoilt", def); }, &message), kErrUnsupported);
    EXPECT_NE(message.find("'Spoilt'"), std::string::npos) << message;
    EXPECT_NE(message.find(c.named), std::string::npos) << message;
  }
}

TEST(DatabaseCopyPlanTest, RelationshipIndexesBecomePlainOrGoWhenTheyRepeatAnother) {
  TableDesign layout;
  layout.name = "Orders";
  layout.columns = {{"Id", ColumnType::kLong}, {"Customer", ColumnType::kLong}};
  layout.indexes = {{"PrimaryKey", {{"Id", true}}, true},
                    {"CustomersOrders", {{"Customer", true}}}};
  TableDef def = BuildTableDef(layout);
  // As Access keeps them: the referencing side's own B-tree, and the referenced side's index
  // sharing the primary key's.
  def.indexes[0].type = LogicalIndexType::kForeignKey;
  LogicalIndexDef referenced = def.indexes[1];
  referenced.name = ".rC";
  referenced.type = LogicalIndexType::kForeignKey;
  def.indexes.push_back(referenced);
  const TableCopyPlan plan = PlanTableCopy("Orders", def);
  ASSERT_EQ(plan.design.indexes.size(), 2u);
  EXPECT_EQ(plan.design.indexes[0].name, "CustomersOrders");
  EXPECT_FALSE(plan.design.indexes[0].primary);
  EXPECT_EQ(plan.design.indexes[1].name, "PrimaryKey");
  EXPECT_TRUE(plan.design.indexes[1].primary);
  ASSERT_EQ(plan.notes.size(), 2u);
  EXPECT_NE(plan.notes[0].find("'CustomersOrders' copied as a plain index"), std::string::npos);
  EXPECT_NE(plan.notes[1].find("'.rC' left out"), std::string::npos);
}

TEST(DatabaseCopyFixtureTest, APasswordProtectedSourceIsRefusedAndNothingIsWritten) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  const std::string target = testing_support::TempDir() + "/copy.mdb";
  EXPECT_EQ(ErrorOf([&] {
              CopyDatabase(testing_support::AccessMadeFile("V2000_with-password.mdb"), target);
            }),
            kErrNotValidPassword);
  EXPECT_FALSE(std::filesystem::exists(target));
}

}  // namespace
}  // namespace jet
