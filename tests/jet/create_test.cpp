// New databases must have the structure the Jet engine gives its own, and new tables of every
// kind must be sound enough for every later write and every checker.
#include "jet/create.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "jet/consistency_check.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/error.h"
#include "jet/table_writer.h"
#include "support/fixtures.h"
#include "support/table_designs.h"

namespace jet {
namespace {

constexpr double kDate = 42329.94480324074;  // 2015-11-21 22:40:31

std::unique_ptr<Database> OpenImage(Bytes image) {
  return Database::Open(
      std::make_unique<PageFile>("created.mdb", std::move(image), OpenMode::kReadWrite));
}

// Problems and notes: the files here carry no deviation of Access's, so a note (a row count
// off by one) is our writer's fault.
std::string Problems(Database& db) {
  const CheckReport report = CheckDatabaseReport(db);
  std::string out;
  for (const auto& line : report.problems) out += line + "\n";
  for (const auto& line : report.notes) out += "note: " + line + "\n";
  return out;
}

std::vector<std::vector<Value>> Rows(Database& db, const std::string& table) {
  std::vector<std::vector<Value>> rows;
  const Table t = db.OpenTable(table);
  for (auto cursor = t.Scan(); cursor.Next();) rows.push_back(cursor.values());
  return rows;
}

// Rows as text; dates only to the day (Jet stamps its rows a moment after the header).
std::string Text(const std::vector<std::vector<Value>>& rows) {
  std::string out;
  for (const auto& row : rows) {
    for (const Value& v : row) {
      out += v.Is<DateTime>() ? DebugString(DateTime{std::floor(v.As<DateTime>().days)})
                              : DebugString(v);
      out += "|";
    }
    out += "\n";
  }
  return out;
}

// Everything a definition says about its columns and indexes, without page numbers.
std::string Shape(const TableDef& def) {
  std::string out = "type " + std::to_string(def.table_type) + " max " +
                    std::to_string(def.max_cols) + " var " + std::to_string(def.var_col_count) +
                    "\n";
  for (const ColumnDef& c : def.columns) {
    out += c.name + " " + ColumnTypeName(c.type) + " #" + std::to_string(c.number) + " v" +
           std::to_string(c.var_index) + " len " + std::to_string(c.length) + " flags " +
           std::to_string(c.flags) + "/" + std::to_string(c.ext_flags) + " sort " +
           std::to_string(c.sort_lcid) + "/" + std::to_string(c.sort_version) + " d" +
           std::to_string(c.descriptor_index);
    if (c.is_fixed()) out += " @" + std::to_string(c.fixed_offset);
    out += "\n";
  }
  for (const RealIndexDef& r : def.real_indexes) {
    out += "real " + std::to_string(r.number) + " flags " + std::to_string(r.flags) + ":";
    for (const IndexColumn& ic : r.columns) {
      out += " " + std::to_string(ic.column_number) + (ic.ascending ? "+" : "-");
    }
    out += "\n";
  }
  for (const LogicalIndexDef& l : def.indexes) {
    out += "index " + l.name + " #" + std::to_string(l.number) + " real " +
           std::to_string(l.real_index) + " type " + std::to_string(static_cast<int>(l.type)) +
           " cascade " + std::to_string(l.cascade_updates) + std::to_string(l.cascade_deletes) +
           "\n";
  }
  for (const LongValueMaps& m : def.long_value_maps) {
    out += "lv " + std::to_string(m.column_number) + "\n";
  }
  return out;
}

TEST(CreateDatabaseTest, HasTheStructureOfJetsOwnEmptyDatabase) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto ref = Database::Open(testing_support::AccessMadeFile("adox_jet4.mdb"));
  const Bytes image = CreateDatabaseImage(ref->header().creation_date);
  const Bytes jet =
      testing_support::ReadFileBytes(testing_support::AccessMadeFile("adox_jet4.mdb"));
  ASSERT_EQ(image.size(), jet.size());
  // Same pages in the same places: header, global map, four tdefs, the map page, seven index
  // roots, then the catalog's and the ACEs' rows.
  for (uint32_t p = 0; p < 16; ++p) {
    EXPECT_EQ(image[p * kPageSize], jet[p * kPageSize]) << "page " << p;
    EXPECT_EQ(U32(image.data() + p * kPageSize + 4), U32(jet.data() + p * kPageSize + 4))
        << "owner of page " << p;
  }
  // The header differs from Jet's only in its per-file value at 106.
  for (size_t i = 0; i < 160; ++i) {
    if (i < 106 || i >= 110) {
      EXPECT_EQ(image[i], jet[i]) << "header byte " << i;
    }
  }
  EXPECT_TRUE(std::equal(image.begin() + 3584, image.begin() + 4096, jet.begin() + 3584));

  auto db = OpenImage(image);
  EXPECT_EQ(Problems(*db), "");
  EXPECT_EQ(db->header().code_page, 1252);
  EXPECT_TRUE(db->header().password.empty());
  EXPECT_TRUE(db->TableNames().empty());
  for (const char* table : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
    SCOPED_TRACE(table);
    const Table mine = db->OpenTable(table), theirs = ref->OpenTable(table);
    EXPECT_EQ(Shape(mine.def()), Shape(theirs.def()));
    EXPECT_EQ(mine.def().row_count, theirs.def().row_count);
    EXPECT_EQ(Text(Rows(*db, table)), Text(Rows(*ref, table)));
    for (size_t i = 0; i < mine.def().real_indexes.size(); ++i) {
      EXPECT_EQ(mine.def().real_indexes[i].unique_entry_count,
                theirs.def().real_indexes[i].unique_entry_count);
      EXPECT_EQ(mine.def().real_indexes[i].root_page, theirs.def().real_indexes[i].root_page);
      EXPECT_EQ(mine.def().real_indexes[i].usage_map, theirs.def().real_indexes[i].usage_map);
    }
    EXPECT_EQ(mine.def().owned_map, theirs.def().owned_map);
  }
}

TEST(CreateDatabaseTest, WritesANewFileAndNeverReplacesOne) {
  const std::string path = testing_support::TempDir() + "/new.mdb";
  CreateDatabase(path);
  {
    auto db = Database::Open(path);
    EXPECT_EQ(Problems(*db), "");
    EXPECT_NEAR(db->header().creation_date, NowAsOleDate(), 1.0 / 24);
  }
  const Bytes before = testing_support::ReadFileBytes(path);
  try {
    CreateDatabase(path);
    FAIL() << "an existing file was replaced";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrDatabaseExists);
  }
  EXPECT_EQ(testing_support::ReadFileBytes(path), before);
}

TableDesign EveryType() {
  testing_support::DesignBuilder builder("Every Type");
  testing_support::AddFixedSizeColumns(builder, /*with_long=*/true);
  auto column = [&](std::string name, ColumnType type) -> ColumnDesign& {
    return builder.Column(std::move(name), type);
  };
  TableDesign& layout = builder.design();
  column("Bin", ColumnType::kBinary).size = 20;
  column("Name", ColumnType::kText).size = 40;
  column("Ole", ColumnType::kOle);
  column("Notes", ColumnType::kMemo);
  column("Guid", ColumnType::kGuid).autonumber = true;
  ColumnDesign& dec = column("Dec", ColumnType::kNumeric);
  dec.precision = 12;
  dec.scale = 3;
  column("Plain", ColumnType::kText).compressed_unicode = false;
  layout.indexes = {
      {"", {{"Id", true}}, true, false, false, false},
      {"ByName", {{"Name", true}, {"When", false}}, false, false, false, false},
      {"UniqueLong", {{"Long", true}}, false, true, true, false},
      {"Required", {{"Short", false}}, false, false, false, true},
      {"ByDec", {{"Dec", true}, {"Guid", true}, {"Money", true}}, false, false, false, false},
  };
  return std::move(layout);
}

TEST(CreateTableTest, DefinitionIsLaidOutAsAccessLaysItOut) {
  const TableDef def = BuildTableDef(EveryType());
  EXPECT_EQ(def.table_type, 0x4E);
  EXPECT_EQ(def.columns[0].flags, 0x07);  // fixed, updatable, autonumber
  EXPECT_EQ(def.columns[13].flags, 0x43);
  EXPECT_EQ(def.columns[10].flags, 0x02);
  EXPECT_EQ(def.columns[10].ext_flags, 0x01);
  EXPECT_EQ(def.columns[10].length, 80);
  EXPECT_EQ(def.columns[15].ext_flags, 0x00);
  // Fixed columns packed in column order, booleans taking no room.
  EXPECT_EQ(def.columns[2].fixed_offset, 4);
  EXPECT_EQ(def.columns[3].fixed_offset, 5);
  EXPECT_EQ(def.columns[14].fixed_offset, 4 + 1 + 2 + 4 + 8 + 4 + 8 + 8 + 16);
  // Long values after the other variable columns.
  EXPECT_EQ(def.columns[9].var_index, 0);
  EXPECT_EQ(def.columns[10].var_index, 1);
  EXPECT_EQ(def.columns[15].var_index, 2);
  EXPECT_EQ(def.columns[11].var_index, 3);
  EXPECT_EQ(def.columns[12].var_index, 4);
  // Logical indexes in name order; the primary key 0x89, every index 0x80.
  ASSERT_EQ(def.indexes.size(), 5u);
  EXPECT_EQ(def.indexes[0].name, "ByDec");
  EXPECT_EQ(def.indexes[2].name, "PrimaryKey");
  EXPECT_EQ(def.indexes[2].type, LogicalIndexType::kPrimaryKey);
  EXPECT_EQ(def.real_indexes[def.indexes[2].real_index].flags, 0x89);
  EXPECT_EQ(def.real_indexes[def.indexes[4].real_index].flags, 0x83);
  EXPECT_EQ(def.real_indexes[def.indexes[3].real_index].flags, 0x88);
  EXPECT_EQ(def.real_indexes[def.indexes[1].real_index].columns[1].ascending, false);
}

TEST(CreateTableTest, TablesOfEveryTypeAndIndexFillAndReadBack) {
  auto db = OpenImage(CreateDatabaseImage(kDate));
  CreateTable(*db, EveryType());
  TableDesign second;
  second.name = "Second";
  second.columns = {{"Key", ColumnType::kText, 10}, {"Memo", ColumnType::kMemo}};
  second.indexes = {{"PrimaryKey", {{"Key", true}}, true}};
  CreateTable(*db, second);
  EXPECT_EQ(db->TableNames(), (std::vector<std::string>{"Every Type", "Second"}));
  EXPECT_EQ(Problems(*db), "");

  std::vector<std::vector<Value>> written;
  {
    TableWriter writer(*db, "every type");
    const std::string long_memo(20000, 'm');
    const Bytes big_ole(70000, 0xAB);
    Decimal dec;
    dec.precision = 12;
    dec.scale = 3;
    dec.low = 123456789;
    dec.negative = true;
    for (int i = 0; i < 300; ++i) {
      std::vector<Value> row(16);
      row[1] = i % 2 == 0;
      row[2] = static_cast<uint8_t>(i);
      row[3] = static_cast<int16_t>(-i);
      row[4] = i % 7 == 0 ? Value() : Value(int32_t{i * 1000});
      row[5] = Currency{int64_t{i} * 12345};
      row[6] = static_cast<float>(i) / 4;
      row[7] = -1e300 * i;
      row[8] = DateTime{-700.25 + i};
      row[9] = Bytes{1, 2, static_cast<uint8_t>(i)};
      row[10] = i % 5 == 0 ? std::string() : "naïve " + std::to_string(i) + " Ωμέγα";
      row[11] = i % 50 == 0 ? Value(big_ole) : Value();
      row[12] = i % 40 == 0 ? Value(long_memo) : Value(std::string("short"));
      row[14] = dec;
      row[15] = std::string("plain");
      writer.Insert(row);
      row[0] = int32_t{i + 1};
      written.push_back(row);
    }
    TableWriter other(*db, "Second");
    other.Insert({std::string("a"), std::string(5000, 'x')});
    other.Insert({std::string("b"), Value()});
  }
  EXPECT_EQ(Problems(*db), "");

  // Read back from the bytes, as a fresh reader would.
  auto again = OpenImage(db->file().image());
  const auto rows = Rows(*again, "Every Type");
  ASSERT_EQ(rows.size(), written.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    for (size_t k = 0; k < 16; ++k) {
      if (k == 13) {
        EXPECT_TRUE(rows[i][k].Is<Guid>());  // a new replication ID for every row
        continue;
      }
      EXPECT_EQ(DebugString(rows[i][k]), DebugString(written[i][k])) << i << "," << k;
    }
  }
  EXPECT_EQ(Rows(*again, "Second").size(), 2u);
  EXPECT_EQ(again->OpenTable("Every Type").def().last_autonumber, 300u);
}

TEST(CreateTableTest, CatalogStaysSoundOverManyTables) {
  auto db = OpenImage(CreateDatabaseImage(kDate));
  for (int i = 0; i < 40; ++i) {
    TableDesign layout;
    layout.name = "T" + std::to_string(39 - i);
    layout.columns = {{"A", ColumnType::kLong}, {"B", ColumnType::kText, 20}};
    // Enough long-value columns that one table's map rows need a second map page.
    if (i == 0) {
      for (int k = 0; k < 40; ++k)
        layout.columns.push_back({"M" + std::to_string(k), ColumnType::kMemo});
    }
    layout.indexes = {{"", {{"A", true}}, true}};
    CreateTable(*db, layout);
  }
  EXPECT_EQ(db->TableNames().size(), 40u);
  EXPECT_EQ(Problems(*db), "");
  // Every table got the ACEs of the "Tables" container's identities, with full access.
  const auto aces = Rows(*db, "MSysACEs");
  int for_tables = 0;
  for (const auto& ace : aces) {
    if (ace[0] == Value(int32_t{static_cast<int32_t>(db->FindTable("T7")->tdef_page())})) {
      EXPECT_EQ(ace[2], Value(int32_t{1048575}));
      EXPECT_EQ(ace[3], Value(false));
      ++for_tables;
    }
  }
  EXPECT_EQ(for_tables, 3);
  {
    TableWriter writer(*db, "T39");
    std::vector<Value> row(42);
    row[0] = int32_t{1};
    row[2] = std::string(3000, 'q');
    writer.Insert(row);
  }
  EXPECT_EQ(Problems(*db), "");
}

TEST(CreateTableTest, RefusalsWriteNothing) {
  auto db = OpenImage(CreateDatabaseImage(kDate));
  TableDesign ok;
  ok.name = "Existing";
  ok.columns = {{"A", ColumnType::kLong}};
  CreateTable(*db, ok);
  const Bytes before = db->file().image();

  auto expect_error = [&](const TableDesign& layout, int number) {
    try {
      CreateTable(*db, layout);
      ADD_FAILURE() << "accepted table " << layout.name;
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), number) << e.description();
    }
    EXPECT_EQ(db->file().image(), before);
  };
  TableDesign layout = ok;
  layout.name = "EXISTING";
  expect_error(layout, kErrTableExists);
  layout.name = "Bad.Name";
  expect_error(layout, kErrInvalidName);
  layout.name = "New";
  layout.columns = {{"A", ColumnType::kLong}, {"a", ColumnType::kText}};
  expect_error(layout, kErrFieldDefinedTwice);
  layout.columns = {{"A", ColumnType::kText, 256}};
  expect_error(layout, kErrInvalidFieldDefinition);
  layout.columns = {{"A", ColumnType::kUnknown0D}};
  expect_error(layout, kErrInvalidFieldType);
  layout.columns = {{"A", ColumnType::kLong}, {"B", ColumnType::kLong}};
  layout.indexes = {{"", {{"C", true}}}};
  expect_error(layout, kErrItemNotFound);
  layout.indexes = {{"P1", {{"A", true}}, true}, {"P2", {{"B", true}}, true}};
  expect_error(layout, kErrPrimaryKeyExists);
  layout.indexes = {{"X", {{"A", true}}}, {"x", {{"B", true}}}};
  expect_error(layout, kErrIndexExists);
  EXPECT_EQ(db->TableNames(), std::vector<std::string>{"Existing"});
}

}  // namespace
}  // namespace jet
