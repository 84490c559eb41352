// Writing rows into copies of Access-made files: every change keeps the file consistent
// (the checker agrees), reads back exactly, and a refused change leaves the file untouched.
#include "jet/table_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <random>

#include "jet/consistency_check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "jet/error.h"
#include "support/fixtures.h"

namespace jet {
namespace {

using testing_support::AccessMadeFile;

std::unique_ptr<Database> OpenCopy(const std::string& fixture) {
  std::ifstream in(AccessMadeFile(fixture), std::ios::binary);
  Bytes image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return Database::Open(
      std::make_unique<PageFile>(fixture, std::move(image), OpenMode::kReadWrite));
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

std::map<RowLocator, std::vector<Value>> Rows(Database& db, const std::string& table) {
  std::map<RowLocator, std::vector<Value>> rows;
  Table t = db.OpenTable(table);
  for (auto cursor = t.Scan(); cursor.Next();) rows[cursor.locator()] = cursor.values();
  return rows;
}

int ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.number();
  }
  return 0;
}

// users: i_user_id (PK), c_user_login, c_user_pwd, c_user_session, c_user_name, i_user_flags,
// i_user_type, i_user_merch, c_flag_ (TEXT(1) fixed), d_stamp_; five text/date indexes.
std::vector<Value> User(int32_t id, const std::string& login, const std::string& name) {
  return {id,         login,      std::string("pw"), std::string("-1"), name,
          int32_t{1}, int32_t{2}, int32_t{-3},       std::string("N"),  DateTime{40000.5}};
}

class TableWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (testing_support::AccessMadeDir().empty()) GTEST_SKIP() << "shared fixtures absent";
  }
};

TEST_F(TableWriterTest, InsertsKeepIndexesMapsAndCountsConsistent) {
  auto db = OpenCopy("fixedTextTestV2000.mdb");
  TableWriter users(*db, "users");
  const RowLocator where = users.Insert(User(3, "Zoë", "Third User"));
  EXPECT_EQ(Problems(*db), "");
  EXPECT_EQ(db->OpenTable("users").ReadRow(where), User(3, "Zoë", "Third User"));
  EXPECT_EQ(users.def().row_count, 3u);

  // Enough rows to fill several data pages and split every index, text keys included.
  for (int32_t id = 10; id < 3000; ++id) {
    users.Insert(
        User(id, "login" + std::to_string(id * 7919 % 3001), "Name " + std::to_string(id)));
  }
  EXPECT_EQ(Problems(*db), "");
  EXPECT_EQ(Rows(*db, "users").size(), 2993u);
}

TEST_F(TableWriterTest, RefusedRowsLeaveTheFileUntouched) {
  auto db = OpenCopy("fixedTextTestV2000.mdb");
  TableWriter users(*db, "users");
  users.Insert(User(5, "five", "Five"));
  const Bytes before = db->file().image();
  EXPECT_EQ(ErrorOf([&] { users.Insert(User(5, "again", "Dup")); }), kErrDuplicateKey);
  EXPECT_EQ(ErrorOf([&] { users.Insert(User(6, std::string(33, 'x'), "Long")); }),
            kErrFieldTooSmall);
  EXPECT_EQ(ErrorOf([&] {
              users.Insert({Value(), std::string("a"), Value(), Value(), Value(), Value(), Value(),
                            Value(), Value(), Value()});
            }),
            kErrNullInIndex);
  auto wrong_type = User(7, "seven", "Seven");
  wrong_type[9] = std::string("not a date");
  EXPECT_EQ(ErrorOf([&] { users.Insert(wrong_type); }), kErrConversion);
  EXPECT_EQ(db->file().image(), before);
  EXPECT_EQ(users.def().row_count, 3u);
  EXPECT_EQ(Problems(*db), "");
}

TEST_F(TableWriterTest, UpdatesInPlaceAndByRelocationAndDeletes) {
  auto db = OpenCopy("fixedTextTestV2000.mdb");
  TableWriter users(*db, "users");
  std::vector<RowLocator> rows;
  for (int32_t id = 100; id < 160; ++id) rows.push_back(users.Insert(User(id, "u", "n")));

  // A row that outgrows its full page moves, and keeps its locator.
  const auto grown = User(100, "renamed", std::string(200, 'g'));
  users.Update(rows[0], grown);
  EXPECT_EQ(db->OpenTable("users").ReadRow(rows[0]), grown);
  const auto shrunk = User(100, "short", "s");
  users.Update(rows[0], shrunk);
  EXPECT_EQ(db->OpenTable("users").ReadRow(rows[0]), shrunk);
  EXPECT_EQ(Problems(*db), "");

  EXPECT_EQ(ErrorOf([&] { users.Update(rows[1], User(100, "u", "n")); }), kErrDuplicateKey);
  users.Delete(rows[0]);
  users.Delete(rows[1]);
  EXPECT_EQ(ErrorOf([&] { users.Delete(rows[1]); }), kErrNoCurrentRecord);
  EXPECT_EQ(Rows(*db, "users").size(), 60u);
  EXPECT_EQ(Problems(*db), "");
}

TEST_F(TableWriterTest, LongValuesOfEverySizeReadBackAndAreFreed) {
  auto db = OpenCopy("fixedNumericTestV2000.mdb");
  TableWriter test(*db, "test");
  auto row = [](std::string memo) {
    Decimal d{false, 18, 0, 0, 42};
    return std::vector<Value>{std::move(memo), d, d, d, d, d, d};
  };
  std::vector<RowLocator> rows;
  for (size_t size : {0, 1, 64, 65, 2000, 4076, 4077, 9000, 30000}) {
    std::string memo;
    for (size_t i = 0; i < size; ++i) memo += static_cast<char>('a' + i % 26);
    rows.push_back(test.Insert(row(memo)));
    EXPECT_EQ(db->OpenTable("test").ReadRow(rows.back()), row(memo)) << size;
  }
  EXPECT_EQ(Problems(*db), "");
  test.Update(rows[5], row("short now"));
  test.Update(rows[1], row(std::string(5000, 'x')));
  test.Delete(rows[7]);
  EXPECT_EQ(db->OpenTable("test").ReadRow(rows[1]), row(std::string(5000, 'x')));
  EXPECT_EQ(Problems(*db), "");
}

// Random inserts, updates and deletes against an in-memory model.
TEST_F(TableWriterTest, RandomChangesAgreeWithAModel) {
  auto db = OpenCopy("fixedTextTestV2000.mdb");
  TableWriter users(*db, "users");
  std::map<RowLocator, std::vector<Value>> model = Rows(*db, "users");
  std::mt19937 random(20261208);
  int32_t next_id = 1000;
  for (int batch = 0; batch < 8; ++batch) {
    for (int step = 0; step < 250; ++step) {
      const int action = static_cast<int>(random() % 10);
      auto name = [&] {
        return std::string(random() % 60, static_cast<char>('A' + random() % 26));
      };
      if (action < 5 || model.empty()) {
        auto values = User(next_id++, "l" + std::to_string(random() % 500), name());
        model[users.Insert(values)] = values;
      } else {
        auto it = std::next(model.begin(), static_cast<long>(random() % model.size()));
        if (action < 8) {
          auto values = it->second;
          values[4] = name();
          values[1] = std::string("m") + std::to_string(random() % 50);
          users.Update(it->first, values);
          it->second = values;
        } else {
          users.Delete(it->first);
          model.erase(it);
        }
      }
    }
    ASSERT_EQ(Rows(*db, "users"), model) << "batch " << batch;
    ASSERT_EQ(Problems(*db), "") << "batch " << batch;
  }
}

// The same against a table of our own making with every kind of index and long values of every
// size: autonumber key, unique text, descending date, two-column, memo and OLE columns.
TEST(TableWriterModelTest, RandomChangesWithLongValuesAgreeWithAModel) {
  auto db = Database::Open(
      std::make_unique<PageFile>("made.mdb", CreateDatabaseImage(), OpenMode::kReadWrite));
  TableDesign layout;
  layout.name = "Things";
  ColumnDesign id{"Id", ColumnType::kLong};
  id.autonumber = true;
  layout.columns = {id,
                    {"Code", ColumnType::kText, 30},
                    {"Seen", ColumnType::kDateTime},
                    {"Group", ColumnType::kInt},
                    {"Notes", ColumnType::kMemo},
                    {"Blob", ColumnType::kOle}};
  IndexDesign primary{"PrimaryKey", {{"Id"}}};
  primary.primary = true;
  IndexDesign code{"Code", {{"Code"}}};
  code.unique = true;
  code.ignore_nulls = true;
  layout.indexes = {
      primary, code, {"Seen", {{"Seen", false}}}, {"GroupCode", {{"Group"}, {"Code"}}}};
  CreateTable(*db, layout);

  TableWriter things(*db, "Things");
  std::map<RowLocator, std::vector<Value>> model;
  std::mt19937 random(77);
  int next_code = 0;
  auto long_text = [&] { return std::string(random() % 3 ? random() % 80 : random() % 9000, 'n'); };
  auto blob = [&] { return Bytes(random() % 2 ? random() % 60 : random() % 12000, 0xB7); };
  auto values = [&](Value key) {
    return std::vector<Value>{key,
                              std::string("code-") + std::to_string(next_code++),
                              DateTime{40000.0 + random() % 1000 / 7.0},
                              static_cast<int16_t>(random() % 5),
                              long_text(),
                              blob()};
  };
  for (int batch = 0; batch < 6; ++batch) {
    for (int step = 0; step < 150; ++step) {
      const int action = static_cast<int>(random() % 10);
      if (action < 5 || model.empty()) {
        auto row = values(Value());
        const RowLocator where = things.Insert(row);
        model[where] = db->OpenTable("Things").ReadRow(where);  // with its autonumber
        EXPECT_EQ(model[where][1], row[1]);
      } else {
        auto it = std::next(model.begin(), static_cast<long>(random() % model.size()));
        if (action < 8) {
          auto row = values(it->second[0]);
          things.Update(it->first, row);
          it->second = row;
        } else {
          things.Delete(it->first);
          model.erase(it);
        }
      }
    }
    ASSERT_EQ(Rows(*db, "Things"), model) << "batch " << batch;
    ASSERT_EQ(Problems(*db), "") << "batch " << batch;
  }
  // A duplicate in the unique text index is refused.
  auto duplicate = values(Value());
  duplicate[1] = model.begin()->second[1];
  EXPECT_EQ(ErrorOf([&] { things.Insert(duplicate); }), kErrDuplicateKey);
}

// Access leaves stale counts in its files (3 counted, 2 held). Writing carries the count
// forward by one a row, as Jet does, never recounts, and never wraps a count of 0 round.
TEST(TableWriterStaleCountTest, InsertsAndDeletesCarryAStaleCountForward) {
  auto db = Database::Open(
      std::make_unique<PageFile>("stale.mdb", CreateDatabaseImage(), OpenMode::kReadWrite));
  CreateTable(*db, {"Items", {{"Name", ColumnType::kText, 20}}, {{"Name", {{"Name"}}}}});
  TableWriter items(*db, "Items");
  const RowLocator first = items.Insert({std::string("a")});
  items.Insert({std::string("b")});
  const uint32_t tdef_page = items.def().page;
  const auto set_stored_count = [&](uint32_t count) {
    PageFile::Operation op(db->file());
    PutU32(db->file().MutablePart(tdef_page, 16, 20) + 16, count);
    op.Commit();
    db->ReloadTableDef(tdef_page);
  };
  const auto stored_count = [&] { return U32(db->file().Page(tdef_page) + 16); };

  set_stored_count(3);
  items.Insert({std::string("c")});
  EXPECT_EQ(stored_count(), 4u);
  const CheckReport report = CheckDatabaseReport(*db);
  EXPECT_EQ(report.problems, std::vector<std::string>{});
  EXPECT_EQ(report.notes, std::vector<std::string>{
                              "table 'Items': its definition counts 4 rows, the table holds 3 (a "
                              "stale count, as Access leaves them)"});

  set_stored_count(0);
  items.Delete(first);
  EXPECT_EQ(stored_count(), 0u);
  EXPECT_EQ(Rows(*db, "Items").size(), 2u);
  EXPECT_EQ(CheckDatabase(*db), std::vector<std::string>{});
}

}  // namespace
}  // namespace jet
