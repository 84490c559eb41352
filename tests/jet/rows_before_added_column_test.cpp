// Rows stored before a column was added to their table keep the column count they were
// written with, as Access leaves them: they read the later columns as Null (a Yes/No as No),
// are updated (written back at the table's full count) and deleted like any row, and the
// checker accepts them.
#include <gtest/gtest.h>

#include "jet/consistency_check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/table_def_writer.h"
#include "jet/table_writer.h"

namespace jet {
namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const auto& line : lines) out += line + "\n";
  return out;
}

ColumnDesign Column(std::string name, ColumnType type, uint16_t size = 0) {
  ColumnDesign c;
  c.name = std::move(name);
  c.type = type;
  c.size = size;
  return c;
}

struct Case {
  const char* what;
  TableDesign design;    // the table as it is now
  size_t first_columns;  // how many of its columns it had when its rows were stored
  std::vector<Value> (*old_row)(int i);
  std::vector<Value> (*as_read_now)(int32_t id, int i);  // what such a row reads as
  std::vector<Value> (*new_row)();                       // a row with values in the added columns
};

// All fixed at first (its rows have no variable-offset table), then a text, a Yes/No and a
// double added.
Case FixedOnlyAtFirst() {
  TableDesign t{"Parts",
                {Column("ID", ColumnType::kLong), Column("Qty", ColumnType::kLong),
                 Column("Name", ColumnType::kText, 40), Column("Done", ColumnType::kBoolean),
                 Column("Price", ColumnType::kDouble)},
                {}};
  t.columns[0].autonumber = true;
  t.indexes = {{"", {{"ID"}}, true}, {"Qty", {{"Qty"}}}};
  return {"fixed only at first",
          t,
          2,
          [](int i) {
            return std::vector<Value>{Value(), int32_t{10 * i}};
          },
          [](int32_t id, int i) {
            return std::vector<Value>{id, int32_t{10 * i}, Value(), false, Value()};
          },
          [] {
            return std::vector<Value>{Value(), int32_t{7}, "bolt", true, 2.5};
          }};
}

// Seven columns with a text among them (a one-byte null mask), then three more (two bytes):
// a text, a long and a Yes/No.
Case WithTextAtFirst() {
  TableDesign t{
      "Parts", {Column("ID", ColumnType::kLong), Column("Name", ColumnType::kText, 40)}, {}};
  for (const char* n : {"A1", "A2", "A3", "A4", "A5"}) {
    t.columns.push_back(Column(n, ColumnType::kInt));
  }
  t.columns.push_back(Column("Note", ColumnType::kText, 100));
  t.columns.push_back(Column("Qty", ColumnType::kLong));
  t.columns.push_back(Column("Done", ColumnType::kBoolean));
  t.columns[0].autonumber = true;
  t.indexes = {{"", {{"ID"}}, true}, {"Name", {{"Name"}}}};
  return {"with a text at first",
          t,
          7,
          [](int i) {
            return std::vector<Value>{Value(),    "part " + std::to_string(i),
                                      int16_t{1}, Value(),
                                      int16_t{3}, int16_t(i),
                                      int16_t{-5}};
          },
          [](int32_t id, int i) {
            return std::vector<Value>{id,          "part " + std::to_string(i),
                                      int16_t{1},  Value(),
                                      int16_t{3},  int16_t(i),
                                      int16_t{-5}, Value(),
                                      Value(),     false};
          },
          [] {
            return std::vector<Value>{Value(),    "nut",      int16_t{1}, int16_t{2}, int16_t{3},
                                      int16_t{4}, int16_t{5}, "a note",   int32_t{9}, true};
          }};
}

constexpr int kOldRows = 40;

// The case's table made with its first columns, holding kOldRows rows, then widened to its
// whole design through the definition writer, the way Access adds a column: new column
// numbers, the next variable-table indexes, fixed columns after the fixed area, no row
// rewritten.
std::unique_ptr<Database> MakeWidened(const Case& c) {
  auto db = Database::Open(std::make_unique<PageFile>("widened.mdb", CreateDatabaseImage(45000.0),
                                                      OpenMode::kReadWrite));
  TableDesign first = c.design;
  first.columns.resize(c.first_columns);
  CreateTable(*db, first);
  {
    TableWriter writer(*db, "Parts");
    for (int i = 0; i < kOldRows; ++i) writer.Insert(c.old_row(i));
  }
  const TableDef whole = BuildTableDef(c.design);
  TableDef& def = db->MutableTableDef(db->FindTable("Parts")->tdef_page());
  for (size_t k = c.first_columns; k < whole.columns.size(); ++k) {
    ColumnDef added = whole.columns[k];
    added.descriptor_index = static_cast<uint32_t>(k);
    def.columns.push_back(added);
  }
  def.max_cols = def.col_count = whole.max_cols;
  def.var_col_count = whole.var_col_count;
  PageFile::Operation op(db->file());
  WriteTableDef(db->file(), db->allocator(), def);
  op.Commit();
  db->ReloadTableDef(def.page);
  return db;
}

struct StoredRow {
  RowLocator where;
  std::vector<Value> values;
  unsigned column_count;  // the row's own
};

std::vector<StoredRow> Rows(Database& db) {
  std::vector<StoredRow> rows;
  Table t = db.OpenTable("Parts");
  for (auto cursor = t.Scan(); cursor.Next();) {
    rows.push_back({cursor.locator(), cursor.values(), U16(cursor.stored().data())});
  }
  return rows;
}

class RowsBeforeAddedColumnTest : public ::testing::TestWithParam<Case (*)()> {};

TEST_P(RowsBeforeAddedColumnTest, ReadAsNullAndAreCheckedClean) {
  const Case c = GetParam()();
  auto db = MakeWidened(c);
  const uint16_t full = db->OpenTable("Parts").def().max_cols;
  TableWriter(*db, "Parts").Insert(c.new_row());
  const std::vector<StoredRow> rows = Rows(*db);
  ASSERT_EQ(rows.size(), static_cast<size_t>(kOldRows + 1)) << c.what;
  for (int i = 0; i < kOldRows; ++i) {
    EXPECT_EQ(rows[i].column_count, c.first_columns) << c.what << ": not a row of before";
    EXPECT_EQ(rows[i].values, c.as_read_now(i + 1, i)) << c.what << " row " << i;
  }
  EXPECT_EQ(rows.back().column_count, full);
  std::vector<Value> fresh = c.new_row();
  fresh[0] = int32_t{kOldRows + 1};
  EXPECT_EQ(rows.back().values, fresh) << c.what;
  const CheckReport report = CheckDatabaseReport(*db);
  EXPECT_EQ(Joined(report.problems) + Joined(report.notes), "") << c.what;
}

// An update writes the row at the table's full column count, with the added columns' values;
// a delete removes it. Indexes, maps and counts stay in step, also for an index key changed.
TEST_P(RowsBeforeAddedColumnTest, AreUpdatedAtTheFullCountAndDeleted) {
  const Case c = GetParam()();
  auto db = MakeWidened(c);
  const uint16_t full = db->OpenTable("Parts").def().max_cols;
  std::vector<StoredRow> rows = Rows(*db);
  {
    TableWriter writer(*db, "Parts");
    std::vector<Value> changed = c.new_row();
    changed[0] = rows[3].values[0];
    writer.Update(rows[3].where, changed);
    std::vector<Value> same = rows[5].values;  // unchanged values, rewritten
    writer.Update(rows[5].where, same);
    writer.Delete(rows[8].where);
  }
  Table t = db->OpenTable("Parts");
  std::vector<Value> changed = c.new_row();
  changed[0] = rows[3].values[0];
  EXPECT_EQ(t.ReadRow(rows[3].where), changed) << c.what;
  EXPECT_EQ(t.ReadRow(rows[5].where), rows[5].values) << c.what;
  const std::vector<StoredRow> after = Rows(*db);
  ASSERT_EQ(after.size(), static_cast<size_t>(kOldRows - 1)) << c.what;
  for (const StoredRow& row : after) {
    const bool rewritten = row.where == rows[3].where || row.where == rows[5].where;
    EXPECT_EQ(row.column_count, rewritten ? full : c.first_columns) << c.what;
    EXPECT_FALSE(row.where == rows[8].where);
  }
  EXPECT_EQ(Joined(CheckDatabase(*db)), "") << c.what;
  EXPECT_EQ(Joined(CheckDatabaseReport(*db).notes), "") << c.what;
}

INSTANTIATE_TEST_SUITE_P(Tables, RowsBeforeAddedColumnTest,
                         ::testing::Values(&FixedOnlyAtFirst, &WithTextAtFirst),
                         [](const auto& info) {
                           return std::string(info.index == 0 ? "FixedOnlyAtFirst"
                                                              : "WithTextAtFirst");
                         });

}  // namespace
}  // namespace jet
