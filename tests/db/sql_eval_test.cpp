// Evaluating conditions on rows: three-valued logic with Null, case-insensitive text, numbers
// compared by value across types, dates, and type mismatches refused with 3464.
#include "db/sql_eval.h"

#include <gtest/gtest.h>

#include "db/sql_literals.h"
#include "jet/error.h"

namespace db {
namespace {

jet::ColumnDef Column(const char* name, jet::ColumnType type) {
  jet::ColumnDef c;
  c.name = name;
  c.type = type;
  c.sort_lcid = 1033;
  return c;
}

const std::vector<jet::ColumnDef> kColumns = {
    Column("Name", jet::ColumnType::kText),     Column("Nothing", jet::ColumnType::kText),
    Column("Byte", jet::ColumnType::kByte),     Column("Int", jet::ColumnType::kInt),
    Column("Long", jet::ColumnType::kLong),     Column("Money", jet::ColumnType::kMoney),
    Column("Single", jet::ColumnType::kFloat),  Column("Double", jet::ColumnType::kDouble),
    Column("When", jet::ColumnType::kDateTime), Column("Flag", jet::ColumnType::kBoolean),
    Column("Dec", jet::ColumnType::kNumeric),   Column("Digits", jet::ColumnType::kText),
};

std::vector<jet::Value> Row() {
  jet::Decimal dec;
  dec.scale = 2;
  dec.low = 250;  // 2.50
  return {jet::Value(std::string("Velmo Ltd")),
          jet::Value(),
          jet::Value(uint8_t{7}),
          jet::Value(int16_t{-3}),
          jet::Value(int32_t{100000}),
          jet::Value(jet::Currency{25000}),
          jet::Value(0.5f),
          jet::Value(2.5),
          jet::Value(MakeDateTime(2009, 6, 2, 14 * 3600)),
          jet::Value(true),
          jet::Value(dec),
          jet::Value(std::string("12"))};
}

// "T", "F" or "N" (Null) for the condition on Row(); "E<number>" for an error.
std::string Outcome(const std::string& criteria) {
  try {
    ExprPtr e = ParseCriteria(criteria);
    const auto unknown = BindExpr(*e, kColumns, "t");
    if (!unknown.empty()) return "unknown " + unknown.front();
    CheckConstantTypes(*e, kColumns);
    const jet::Value v = Evaluate(*e, Row());
    if (v.IsNull()) return "N";
    return IsTrue(v) ? "T" : "F";
  } catch (const jet::Error& e) {
    return "E" + std::to_string(e.number());
  }
}

struct Case {
  const char* criteria;
  const char* outcome;
};

TEST(SqlEval, NullMakesComparisonsUnknownAndLogicIsThreeValued) {
  const Case cases[] = {
      {"Nothing = 'x'", "N"},
      {"Nothing = Null", "N"},
      {"Name = Null", "N"},
      {"Name <> Null", "N"},
      {"Nothing IS NULL", "T"},
      {"Name IS NOT NULL", "T"},
      {"NOT (Nothing = 'x')", "N"},
      {"Nothing = 'x' OR Name = 'velmo ltd'", "T"},
      {"Nothing = 'x' OR Name = 'nope'", "N"},
      {"Nothing = 'x' AND Name = 'nope'", "F"},
      {"Nothing = 'x' AND Name = 'velmo ltd'", "N"},
      {"Nothing LIKE '*'", "N"},
      {"Nothing", "N"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.criteria), c.outcome) << c.criteria;
}

TEST(SqlEval, TextComparesThroughTheCollation) {
  const Case cases[] = {
      {"Name = 'VELMO LTD'", "T"}, {"Name = 'velmo ltd   '", "T"}, {"Name <> 'Velmo'", "T"},
      {"Name > 'velmo'", "T"},     {"Name < 'Wx'", "T"},           {"Name LIKE 'velmo*'", "T"},
      {"Name NOT LIKE 'v*'", "F"}, {"Name LIKE 'Velmo Lt?'", "T"}, {"Name = 'Velmo  Ltd'", "F"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.criteria), c.outcome) << c.criteria;
}

TEST(SqlEval, NumbersCompareByValueAcrossTypes) {
  const Case cases[] = {
      {"Money = 2.5", "T"},
      {"Money = 2.50", "T"},
      {"Money = Double", "T"},
      {"Double = Dec", "T"},
      {"Dec = 2.5", "T"},
      {"Dec = 5/2", "E3075"},
      {"Byte = 7", "T"},
      {"Byte = 7.0", "T"},
      {"Byte = 7.01", "F"},
      {"Int = -3", "T"},
      {"Int < Byte", "T"},
      {"Long = 1E5", "T"},
      {"Long > 99999.5", "T"},
      {"Long = 3000000000", "F"},
      {"Single = 0.5", "T"},
      {"Flag = True", "T"},
      {"Flag = -1", "T"},
      {"Flag = 1", "F"},
      {"Flag", "T"},
      {"-Int = 3", "T"},
      {"Money = 2.5000000000000000000001", "F"},
      // Integers, Yes/No, singles, doubles and dates met with one another, column to column.
      {"Byte > Int", "T"},
      {"Flag > Int", "T"},
      {"Flag < Byte", "T"},
      {"Long > Byte", "T"},
      {"Single < Double", "T"},
      {"Single < Byte", "T"},
      {"Int < Single", "T"},
      {"When < Long", "T"},
      {"When > Double", "T"},
      {"Long = 100000.0", "T"},
      {"Long < 1E300", "T"},
      {"Single = 0.50", "T"},
      {"Money > Single", "T"},
      {"Dec > Single", "T"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.criteria), c.outcome) << c.criteria;
}

TEST(SqlEval, DatesCompareAsPointsInTime) {
  const Case cases[] = {
      {"When = #6/2/2009 14:00#", "T"}, {"When = #2009-06-02 2:00 PM#", "T"},
      {"When > #2009-06-02#", "T"},     {"When < #2009-06-03#", "T"},
      {"When = #6/2/2009#", "F"},       {"When > 39965", "T"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.criteria), c.outcome) << c.criteria;
}

TEST(SqlEval, TextAgainstNumbersConvertsOnlyWhereJetDoes) {
  const Case cases[] = {
      // A column compared with a constant of the wrong kind is refused before any row is read.
      {"Name = 5", "E3464"},
      {"Long = '5'", "E3464"},
      {"When = 'x'", "E3464"},
      {"Digits = 12", "E3464"},
      // Between two columns, or two constants, text that reads as a number is converted.
      {"Digits < Long", "T"},
      {"'5' = 5", "T"},
      {"Name = Long", "E3464"},
      // LIKE reads numbers as text.
      {"Long LIKE '1*'", "T"},
      {"Name LIKE '[abc'", "E3075"},
  };
  for (const Case& c : cases) EXPECT_EQ(Outcome(c.criteria), c.outcome) << c.criteria;
}

TEST(SqlEval, NamesResolveCaseInsensitivelyAndQualifiersMustNameTheTable) {
  EXPECT_EQ(Outcome("name = 'velmo ltd'"), "T");
  EXPECT_EQ(Outcome("[t].[NAME] = 'velmo ltd'"), "T");
  EXPECT_EQ(Outcome("u.Name = 'x'"), "unknown u.Name");
  EXPECT_EQ(Outcome("Nmae = 'x'"), "unknown Nmae");
}

}  // namespace
}  // namespace db
