// Query plans on the Access-made files: each plan is chosen where it should be and finds
// exactly the rows a plain scan finds, in the same order; DISTINCT sorts and folds as Jet does;
// unknown names and tables fail with Jet's numbers; the hash indexes are reused until
// invalidated.
#include "db/query.h"

#include <gtest/gtest.h>

#include <random>

#include "jet/error.h"
#include "support/fixtures.h"

namespace db {
namespace {

using testing_support::AccessMadeFile;

std::unique_ptr<jet::Database> Open(const char* name) {
  return jet::Database::Open(AccessMadeFile(name));
}

QueryResult RunSql(jet::Database& db, const std::string& sql, const QueryOptions& options = {}) {
  QueryCache cache;
  return Query(sql).Run(db, cache, options);
}

// The value of one column of each result row, as text.
std::vector<std::string> Column(jet::Database& db, const QueryResult& r, const std::string& sql,
                                size_t position) {
  jet::Table table = db.OpenTable(Query(sql).statement().table);
  std::vector<std::string> out;
  for (const jet::RowLocator& row : r.rows) {
    out.push_back(jet::DebugString(table.ReadRow(row).at(position)));
  }
  return out;
}

struct PlanCase {
  const char* file;
  const char* sql;
  Plan plan;
  const char* detail;
  size_t rows;
};

const PlanCase kPlanCases[] = {
    // Index on a LONG column; the rest of the condition checked on the rows found.
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE otherfk1 = 1", Plan::kIndex, "Table2Table1",
     2},
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE otherfk1 = 1 AND data LIKE '*-2'",
     Plan::kIndex, "Table2Table1", 1},
    {"indexTestV2000.mdb", "SELECT id FROM Table1 WHERE data = 'BAZ11' AND id = 1", Plan::kIndex,
     "PrimaryKey", 1},
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE id = 7", Plan::kIndex, "PrimaryKey", 0},
    {"indexTestV2000.mdb", "SELECT * FROM Table3 WHERE id = 12", Plan::kIndex, ".rC", 1},
    // No index on the column: a hash index; text matched through the collation.
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE data = 'BAZ11'", Plan::kHash, "data", 1},
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE otherfk3 = 0", Plan::kHash, "otherfk3", 4},
    {"indexTestV2000.mdb", "SELECT * FROM Table2 WHERE data='foo1 '", Plan::kHash, "data", 1},
    // Neither: a scan. A constant the column cannot hold finds nothing.
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE id > 1", Plan::kScan, "", 2},
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE otherfk1 = 1.5", Plan::kScan, "", 0},
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE otherfk1 = 1 OR id = 3", Plan::kScan, "", 3},
    {"indexTestV2000.mdb", "SELECT * FROM Table1 WHERE otherfk1 = Null", Plan::kScan, "", 0},
    {"indexTestV2000.mdb", "SELECT * FROM Table1", Plan::kScan, "", 4},
    // Text indexes, one of them ignoring Nulls.
    {"testIndexPropertiesV2000.mdb", "SELECT * FROM TableIgnoreNulls1 WHERE data = 'STUFF'",
     Plan::kIndex, "DataIndex", 1},
    {"testIndexPropertiesV2000.mdb", "SELECT row FROM TableIgnoreNulls1 WHERE data IS NULL",
     Plan::kScan, "", 4},
    {"testIndexPropertiesV2000.mdb", "SELECT * FROM TableUnique1_temp WHERE [row]='ROW7'",
     Plan::kIndex, "PrimaryKey", 1},
    // A two-column index, by its leading column and by both; rows come back in physical order
    // (row3 lies last in the table).
    {"testIndexPropertiesV2000.mdb",
     "SELECT * FROM TableIgnoreNulls2 WHERE data1='more' AND row LIKE 'row#'", Plan::kIndex,
     "DataIndex", 1},
    {"testIndexPropertiesV2000.mdb",
     "SELECT * FROM TableIgnoreNulls2 WHERE data1='Stuff' AND data2=13.0", Plan::kIndex,
     "DataIndex", 1},
    {"testIndexPropertiesV2000.mdb", "SELECT * FROM TableIgnoreNulls2 WHERE data2 < 0", Plan::kScan,
     "", 4},
    {"testIndexPropertiesV2000.mdb", "SELECT row FROM TableIgnoreNulls2 WHERE data2 = 0",
     Plan::kHash, "data2", 2},
    // Fixed-width text, dates and numbers in an index; a LONG without one.
    {"fixedTextTestV2000.mdb", "SELECT * FROM users WHERE c_user_login = 'ADMIN'", Plan::kIndex,
     "Users2_1_idx", 1},
    {"fixedTextTestV2000.mdb", "SELECT * FROM users WHERE c_flag_ = 'n'", Plan::kIndex,
     "Users2_8_idx", 2},
    {"fixedTextTestV2000.mdb", "SELECT * FROM users WHERE d_stamp_ = #11/05/2009 23:41:28#",
     Plan::kIndex, "Users2_9_idx", 1},
    {"fixedTextTestV2000.mdb", "SELECT * FROM users WHERE i_user_id = 2", Plan::kIndex,
     "Users2CID_0", 1},
    {"fixedTextTestV2000.mdb", "SELECT * FROM users WHERE i_user_type = 16408", Plan::kHash,
     "i_user_type", 1},
    {"fixedTextTestV2000.mdb", "SELECT * FROM users WHERE i_user_merch = -1", Plan::kHash,
     "i_user_merch", 1},
    // Every numeric type against constants of other types.
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE B = 'HIJKLMNOP'", Plan::kIndex, "B", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE A = 'a'", Plan::kIndex, "PrimaryKey", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE H = 3.5", Plan::kHash, "H", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE F = 444.555", Plan::kHash, "F", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE C = 2.0", Plan::kHash, "C", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE D = 222", Plan::kHash, "D", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE E = 333333333", Plan::kHash, "E", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE G = #1974-09-21#", Plan::kHash, "G", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE I = True", Plan::kScan, "", 1},
    {"testV2000.mdb", "SELECT * FROM Table1 WHERE H = 0 AND F = 0", Plan::kHash, "H", 1},
};

TEST(Query, EachPlanIsChosenWhereItShouldBeAndFindsWhatAScanFinds) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  for (const PlanCase& c : kPlanCases) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.sql);
    auto db = Open(c.file);
    const QueryResult planned = RunSql(*db, c.sql);
    EXPECT_EQ(planned.plan, c.plan) << PlanName(planned.plan);
    if (*c.detail != 0) {
      EXPECT_EQ(planned.plan_detail, c.detail);
    }
    EXPECT_EQ(planned.rows.size(), c.rows);
    const QueryResult hashed = RunSql(*db, c.sql, {.use_indexes = false, .use_hash = true});
    const QueryResult scanned = RunSql(*db, c.sql, {.use_indexes = false, .use_hash = false});
    EXPECT_EQ(scanned.plan, Plan::kScan);
    EXPECT_EQ(planned.rows, scanned.rows);
    EXPECT_EQ(hashed.rows, scanned.rows);
    EXPECT_EQ(planned.columns, scanned.columns);
  }
}

// Every equality on every column of every fixture table, with values taken from the table
// itself (and in another letter case for text), answered by each plan the same as by a scan.
TEST(Query, EqualityOnEveryColumnOfEveryFixtureAgreesWithAScan) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  size_t compared = 0, through_index = 0;
  for (const char* file : {"indexTestV2000.mdb", "testIndexPropertiesV2000.mdb",
                           "fixedTextTestV2000.mdb", "testV2000.mdb", "delTestV2000.mdb"}) {
    auto db = Open(file);
    for (const std::string& name : db->TableNames()) {
      jet::Table table = db->OpenTable(name);
      for (auto cursor = table.Scan(); cursor.Next();) {
        for (size_t i = 0; i < table.columns().size(); ++i) {
          const jet::Value& v = cursor.values()[i];
          std::string literal;
          if (v.Is<std::string>()) {
            std::string upper = v.As<std::string>();
            for (char& ch : upper)
              ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            if (upper.find('\'') != std::string::npos) continue;
            literal = "'" + upper + "'";
          } else if (v.Is<int32_t>() || v.Is<int16_t>() || v.Is<uint8_t>() || v.Is<double>() ||
                     v.Is<jet::Currency>()) {
            literal = jet::DebugString(v);
          } else if (v.Is<jet::DateTime>()) {
            literal = "#" + jet::DateTimeToString(v.As<jet::DateTime>()) + "#";
          } else {
            continue;
          }
          const std::string sql =
              "SELECT * FROM [" + name + "] WHERE [" + table.columns()[i].name + "] = " + literal;
          SCOPED_TRACE(std::string(file) + ": " + sql);
          const QueryResult planned = RunSql(*db, sql);
          const QueryResult hashed = RunSql(*db, sql, {.use_indexes = false});
          const QueryResult scanned = RunSql(*db, sql, {.use_indexes = false, .use_hash = false});
          EXPECT_FALSE(scanned.rows.empty());
          EXPECT_EQ(planned.rows, scanned.rows);
          EXPECT_EQ(hashed.rows, scanned.rows);
          ++compared;
          through_index += planned.plan == Plan::kIndex;
        }
      }
    }
  }
  EXPECT_GT(compared, 100u);
  EXPECT_GT(through_index, 20u);
}

TEST(Query, DistinctSortsByTheCollationWithNullFirstAndFoldsCase) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = Open("testIndexPropertiesV2000.mdb");
  const std::string sql = "SELECT DISTINCT data FROM TableIgnoreNulls1";
  const QueryResult r = RunSql(*db, sql);
  EXPECT_EQ(Column(*db, r, sql, 1),
            (std::vector<std::string>{"Null", "\"another row\"", "\"lots of stuff\"", "\"more\"",
                                      "\"some\"", "\"still more rows\"", "\"stuff\""}));
  EXPECT_EQ(r.columns, std::vector<std::string>{"data"});

  auto idx = Open("indexTestV2000.mdb");
  // Equal values keep the first row in physical order; the index plan sorts the same way.
  const std::string by_fk = "SELECT DISTINCT otherfk2, otherfk1 FROM Table1 WHERE otherfk1 = 1";
  const QueryResult fk = RunSql(*idx, by_fk);
  EXPECT_EQ(fk.plan, Plan::kIndex);
  EXPECT_EQ(Column(*idx, fk, by_fk, 0), std::vector<std::string>{"1"});
  const std::string all = "SELECT DISTINCT otherfk2 FROM Table1";
  EXPECT_EQ(Column(*idx, RunSql(*idx, all), all, 2), (std::vector<std::string>{"10", "11", "13"}));
  const std::string text = "SELECT DISTINCT data FROM Table3 WHERE data LIKE 'BAR1[13]'";
  EXPECT_EQ(Column(*idx, RunSql(*idx, text), text, 1),
            (std::vector<std::string>{"\"bar11\"", "\"bar13\""}));
}

TEST(Query, UnknownNamesAndTablesFailAsInJet) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = Open("indexTestV2000.mdb");
  auto error_of = [&](const std::string& sql) -> std::pair<int, std::string> {
    try {
      RunSql(*db, sql);
    } catch (const jet::Error& e) {
      return {e.number(), e.what()};
    }
    return {0, ""};
  };
  auto [n1, m1] = error_of("SELECT * FROM Nowhere");
  EXPECT_EQ(n1, 3078);
  auto [n2, m2] = error_of("SELECT idd FROM Table1");
  EXPECT_EQ(n2, 3061);
  EXPECT_NE(m2.find("Expected 1."), std::string::npos) << m2;
  EXPECT_NE(m2.find("'idd'"), std::string::npos) << m2;
  auto [n3, m3] = error_of("SELECT x FROM Table1 WHERE y = 1 AND x = 2 AND Table2.id = 1");
  EXPECT_EQ(n3, 3061);
  EXPECT_NE(m3.find("Expected 3."), std::string::npos) << m3;
  EXPECT_NE(m3.find("'Table2.id'"), std::string::npos) << m3;
  EXPECT_EQ(error_of("SELECT * FROM Table1 WHERE id = '1'").first, 3464);
  EXPECT_EQ(error_of("SELECT * FROM Table1 WHERE data = 1").first, 3464);
  EXPECT_EQ(error_of("SELECT [Table1].[id] FROM [TABLE1] WHERE table1.ID=1").first, 0);
}

TEST(Query, HashIndexesAreBuiltOnceAndRebuiltAfterInvalidation) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = Open("indexTestV2000.mdb");
  QueryCache cache;
  for (const char* value : {"'baz0'", "'baz13'", "'none'"}) {
    Query q(std::string("SELECT * FROM Table1 WHERE data = ") + value);
    EXPECT_EQ(q.Run(*db, cache).plan, Plan::kHash);
  }
  EXPECT_EQ(cache.hash_builds(), 1u);
  Query other("SELECT * FROM Table1 WHERE otherfk3 = 0");
  other.Run(*db, cache);
  EXPECT_EQ(cache.hash_builds(), 2u);
  cache.Invalidate(db->OpenTable("Table2"));  // another table: nothing to rebuild
  Query("SELECT * FROM Table1 WHERE data = 'baz0'").Run(*db, cache);
  EXPECT_EQ(cache.hash_builds(), 2u);
  cache.Invalidate(db->OpenTable("Table1"));
  const QueryResult again = Query("SELECT * FROM Table1 WHERE data = 'baz0'").Run(*db, cache);
  EXPECT_EQ(cache.hash_builds(), 3u);
  EXPECT_EQ(again.rows.size(), 1u);
}

// Random conditions over a real table: every plan agrees with the scan, and nothing but
// jet::Error ever escapes.
TEST(Query, RandomConditionsAgreeAcrossPlansAndNeverCrash) {
  REQUIRE_ACCESS_MADE_FIXTURES();
  auto db = Open("indexTestV2000.mdb");
  static const char* kTokens[] = {
      "id",      "otherfk1", "data",    "otherfk3",   "=",    "<>",   "<",    ">=", "AND", "OR",
      "NOT",     "IS",       "NULL",    "LIKE",       "(",    ")",    "1",    "0",  "-1",  "2.5",
      "'baz11'", "'BAZ*'",   "'[!a]*'", "#1/1/2000#", "True", "Null", "nope", "'1'"};
  std::mt19937 rng(3464);
  std::uniform_int_distribution<size_t> pick(0, std::size(kTokens) - 1);
  QueryCache cache;
  int ran = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string sql = "SELECT * FROM Table1 WHERE";
    const int n = 1 + static_cast<int>(rng() % 9);
    for (int k = 0; k < n; ++k) sql += std::string(" ") + kTokens[pick(rng)];
    try {
      Query planned(sql);
      const QueryResult a = planned.Run(*db, cache);
      const QueryResult b = Query(sql).Run(*db, cache, {.use_indexes = false, .use_hash = false});
      EXPECT_EQ(a.rows, b.rows) << sql;
      ++ran;
    } catch (const jet::Error&) {
    } catch (const std::exception& e) {
      FAIL() << "non-Jet exception for [" << sql << "]: " << e.what();
    }
  }
  EXPECT_GT(ran, 50);
}

}  // namespace
}  // namespace db
