// Parser: the statements the tools build, with their quoting and spacing variants, read to the
// same tree; malformed texts fail with Jet's numbers and quote the offending expression; random
// token soup never does anything but throw jet::Error.
#include "db/sql_parser.h"

#include <gtest/gtest.h>

#include <random>

#include "jet/error.h"

namespace db {
namespace {

std::string Describe(const Expr& e);

std::string DescribeValue(const jet::Value& v) {
  if (v.IsNull()) return "Null";
  if (v.Is<std::string>()) return "'" + v.As<std::string>() + "'";
  if (v.Is<bool>()) return v.As<bool>() ? "True" : "False";
  if (v.Is<jet::DateTime>()) return "#" + jet::DateTimeToString(v.As<jet::DateTime>()) + "#";
  return jet::DebugString(v);
}

std::string Describe(const Expr& e) {
  static const char* kOps[] = {"=", "<>", "<", ">", "<=", ">="};
  switch (e.kind) {
    case ExprKind::kLiteral:
      return DescribeValue(e.value);
    case ExprKind::kColumn:
      return e.qualifier.empty() ? e.name : e.qualifier + "." + e.name;
    case ExprKind::kCompare:
      return "(" + std::string(kOps[static_cast<int>(e.op)]) + " " + Describe(*e.args[0]) + " " +
             Describe(*e.args[1]) + ")";
    case ExprKind::kAnd:
      return "(and " + Describe(*e.args[0]) + " " + Describe(*e.args[1]) + ")";
    case ExprKind::kOr:
      return "(or " + Describe(*e.args[0]) + " " + Describe(*e.args[1]) + ")";
    case ExprKind::kNot:
      return "(not " + Describe(*e.args[0]) + ")";
    case ExprKind::kIsNull:
      return std::string(e.negated ? "(notnull " : "(null ") + Describe(*e.args[0]) + ")";
    case ExprKind::kLike:
      return std::string(e.negated ? "(notlike " : "(like ") + Describe(*e.args[0]) + " " +
             Describe(*e.args[1]) + ")";
    case ExprKind::kNegate:
      return "(- " + Describe(*e.args[0]) + ")";
  }
  return "?";
}

std::string Describe(const SelectStatement& s) {
  std::string out = s.distinct ? "DISTINCT " : "";
  if (s.all_columns) out += "*";
  for (size_t i = 0; i < s.columns.size(); ++i) {
    out += (i ? "," : "") + (s.columns[i].qualifier.empty() ? "" : s.columns[i].qualifier + ".") +
           s.columns[i].name;
  }
  out += " FROM " + s.table;
  if (s.where) out += " WHERE " + Describe(*s.where);
  return out;
}

struct Good {
  const char* sql;
  const char* tree;
};

// The statements the laboratory tools send, with ordinary values, and the tricky spellings.
const Good kGood[] = {
    {"SELECT DISTINCT Cust_Name FROM [Instruments]", "DISTINCT Cust_Name FROM Instruments"},
    {"SELECT DISTINCT Cust_Name FROM [Instruments] WHERE Cust_Name LIKE \"Velmo*\"",
     "DISTINCT Cust_Name FROM Instruments WHERE (like Cust_Name 'Velmo*')"},
    {"SELECT * from Instruments Where Cust_Name='Acme Ltd'",
     "* FROM Instruments WHERE (= Cust_Name 'Acme Ltd')"},
    {"SELECT * from Calibrations Where Inst_Id='T-100'",
     "* FROM Calibrations WHERE (= Inst_Id 'T-100')"},
    {"SELECT * from Results Where Cert_No='C2009/15'",
     "* FROM Results WHERE (= Cert_No 'C2009/15')"},
    {"SELECT * from [Additional Data] Where Inst_Id='T-100'",
     "* FROM Additional Data WHERE (= Inst_Id 'T-100')"},
    {"SELECT Inst_Id from Instruments", "Inst_Id FROM Instruments"},
    {"SELECT Inst_Id from Instruments Where Inst_Id='T-100'",
     "Inst_Id FROM Instruments WHERE (= Inst_Id 'T-100')"},
    {"SELECT * from Instruments Where Inst_Id ='T-100'",
     "* FROM Instruments WHERE (= Inst_Id 'T-100')"},
    {"SELECT * from Calibrations", "* FROM Calibrations"},
    {"SELECT * from [Calibrations] Where [Inst_Id] ='T-100' and [Cal_Ref] =3",
     "* FROM Calibrations WHERE (and (= Inst_Id 'T-100') (= Cal_Ref 3))"},
    {"SELECT * from [Calibrations] Where Inst_Id ='T-100' and  Cal_Ref =3",
     "* FROM Calibrations WHERE (and (= Inst_Id 'T-100') (= Cal_Ref 3))"},
    {"Select * from Instruments where Inst_Id='T-100'",
     "* FROM Instruments WHERE (= Inst_Id 'T-100')"},
    {"SELECT * from [Additional Data] Where Inst_Id='T-100' and Cal_Ref= 0",
     "* FROM Additional Data WHERE (and (= Inst_Id 'T-100') (= Cal_Ref 0))"},
    {"SELECT * from Results where Cert_No='C1'", "* FROM Results WHERE (= Cert_No 'C1')"},
    {"Select * from [Results]", "* FROM Results"},
    {"SELECT * from Calibrations Where Inst_Id=\"T-100\"",
     "* FROM Calibrations WHERE (= Inst_Id 'T-100')"},
    {"SELECT * from [Additional Data] Where Inst_Id=\"T-100\" AND Cal_Ref=12",
     "* FROM Additional Data WHERE (and (= Inst_Id 'T-100') (= Cal_Ref 12))"},
    // Quotes doubled inside either kind of quote; the other quote needs no doubling.
    {"SELECT * FROM t WHERE a='O''Brien'", "* FROM t WHERE (= a 'O'Brien')"},
    {"SELECT * FROM t WHERE a=\"say \"\"hi\"\"\"", "* FROM t WHERE (= a 'say \"hi\"')"},
    {"SELECT * FROM t WHERE a=\"O'Brien\"", "* FROM t WHERE (= a 'O'Brien')"},
    {"SELECT * FROM t WHERE a=''", "* FROM t WHERE (= a '')"},
    // Keywords in any case, names bracketed or qualified.
    {"sElEcT dIsTiNcT [Cust Name], b FrOm [My Table] wHeRe [Cust Name] iS nOt NuLl",
     "DISTINCT Cust Name,b FROM My Table WHERE (notnull Cust Name)"},
    {"SELECT t.a, [t].[b] FROM t WHERE [t].a = 1", "t.a,t.b FROM t WHERE (= t.a 1)"},
    {"SELECT * FROM t;", "* FROM t"},
    {"SELECT ALL * FROM t", "* FROM t"},
    // Numbers: a leading blank, signs, fractions, exponents.
    {"SELECT * FROM t WHERE n= 5", "* FROM t WHERE (= n 5)"},
    {"SELECT * FROM t WHERE n=-5", "* FROM t WHERE (= n -5)"},
    {"SELECT * FROM t WHERE n = - 2.50", "* FROM t WHERE (= n -2.50)"},
    {"SELECT * FROM t WHERE n=.5", "* FROM t WHERE (= n 0.5)"},
    {"SELECT * FROM t WHERE n=1E3", "* FROM t WHERE (= n 1000)"},
    {"SELECT * FROM t WHERE n=3000000000", "* FROM t WHERE (= n 3000000000)"},
    {"SELECT * FROM t WHERE n=-n", "* FROM t WHERE (= n (- n))"},
    // Dates in both orders, with times, two-digit years, a day-first date Jet accepts.
    {"SELECT * FROM t WHERE d=#12/31/2009#", "* FROM t WHERE (= d #2009-12-31 00:00:00#)"},
    {"SELECT * FROM t WHERE d=#2009-06-02 14:05:09#", "* FROM t WHERE (= d #2009-06-02 14:05:09#)"},
    {"SELECT * FROM t WHERE d=#6/2/09 2:05 PM#", "* FROM t WHERE (= d #2009-06-02 14:05:00#)"},
    {"SELECT * FROM t WHERE d=#25/12/1999#", "* FROM t WHERE (= d #1999-12-25 00:00:00#)"},
    {"SELECT * FROM t WHERE d<#1/1/1899#", "* FROM t WHERE (< d #1899-01-01 00:00:00#)"},
    // Null, True and False, precedence of NOT over AND over OR, parentheses, LIKE forms.
    {"SELECT * FROM t WHERE a = Null OR b <> NULL", "* FROM t WHERE (or (= a Null) (<> b Null))"},
    {"SELECT * FROM t WHERE a=1 OR b=2 AND NOT c=3",
     "* FROM t WHERE (or (= a 1) (and (= b 2) (not (= c 3))))"},
    {"SELECT * FROM t WHERE (a=1 OR b=2) AND c IS NULL",
     "* FROM t WHERE (and (or (= a 1) (= b 2)) (null c))"},
    {"SELECT * FROM t WHERE a>=1 AND a<=2 AND a<3 AND a>0 AND f=True",
     "* FROM t WHERE (and (and (and (and (>= a 1) (<= a 2)) (< a 3)) (> a 0)) (= f True))"},
    {"SELECT * FROM t WHERE a NOT LIKE '[!a-z]#?*'", "* FROM t WHERE (notlike a '[!a-z]#?*')"},
    {"SELECT * FROM t WHERE NOT a LIKE 'x'", "* FROM t WHERE (not (like a 'x'))"},
};

TEST(SqlParser, ReadsTheStatementsTheToolsBuildAndTheirVariants) {
  for (const Good& g : kGood) {
    SCOPED_TRACE(g.sql);
    try {
      EXPECT_EQ(Describe(ParseSelect(g.sql)), g.tree);
    } catch (const jet::Error& e) {
      ADD_FAILURE() << e.number() << " " << e.what();
    }
  }
}

TEST(SqlParser, CriteriaOfFindFirst) {
  EXPECT_EQ(Describe(*ParseCriteria("Inst_Id='T-1' AND Cal_ref= 4")),
            "(and (= Inst_Id 'T-1') (= Cal_ref 4))");
  EXPECT_EQ(Describe(*ParseCriteria("Cert_No='C1' AND Test_No=-1")),
            "(and (= Cert_No 'C1') (= Test_No -1))");
}

struct Bad {
  const char* sql;
  int number;
  const char* in_message;  // a part of the description
};

const Bad kBad[] = {
    // A value holding the statement's own quote: the statement is rejected, naming the clause.
    {"SELECT * from Instruments Where Cust_Name='O'Brien'", 3075,
     "Syntax error (missing operator) in query expression 'Cust_Name='O'Brien''."},
    {"SELECT DISTINCT Cust_Name FROM [Instruments] WHERE Cust_Name LIKE \"a\"b\"", 3075,
     "query expression 'Cust_Name LIKE \"a\"b\"'"},
    {"SELECT * FROM t WHERE a = 'abc", 3075, "Syntax error in string in query expression"},
    {"SELECT * FROM t WHERE d = #13/45/2009#", 3075, "Syntax error in date"},
    {"SELECT * FROM t WHERE d = #2/30/2009#", 3075, "Syntax error in date"},
    {"SELECT * FROM t WHERE d = #1/1/2009", 3075, "Syntax error in date"},
    {"SELECT * FROM t WHERE (a = 1", 3075, "Missing ), ], or Item in query expression '(a = 1'"},
    {"SELECT * FROM t WHERE a = 1)", 3075, "Extra ) in query expression 'a = 1)'"},
    {"SELECT * FROM t WHERE a = 1;", 0, ""},
    {"SELECT * FROM t WHERE", 3075, "missing operator"},
    {"SELECT * FROM t WHERE a =", 3075, "'a ='"},
    {"SELECT * FROM t WHERE a != 1", 3075, "missing operator"},
    {"SELECT * FROM t WHERE a = 1 b = 2", 3075, "'a = 1 b = 2'"},
    {"SELECT * FROM t WHERE a IS 1", 3075, "missing operator"},
    {"SELECT * FROM t WHERE a AND", 3075, "missing operator"},
    {"SELECT * FROM t WHERE [a = 1", 3126, "Invalid bracketing of name '[a = 1'"},
    {"SELECT * FROM Additional Data", 3131, "Syntax error in FROM clause."},
    {"SELECT * FROM", 3131, "FROM clause"},
    {"SELECT * FROM [Additional Data", 3131, "FROM clause"},
    {"SELECT * FROM t ORDER a", 3131, "FROM clause"},
    {"SELECT FROM t", 3141, "reserved word"},
    {"SELECT * t", 3141, "reserved word"},
    {"SELECT", 3141, "reserved word"},
    {"SELECT a b FROM t", 3075, "query expression 'a b'"},
    {"SELECT a, FROM t", 3141, "reserved word"},
    {"SELECT * FROM t; SELECT * FROM u", 3142, "Characters found after end of SQL statement."},
    {"UPDATE t SET a = 1", 3129, "Invalid SQL statement"},
    {"", 3129, "Invalid SQL statement"},
};

TEST(SqlParser, MalformedStatementsFailWithJetNumbers) {
  for (const Bad& b : kBad) {
    SCOPED_TRACE(b.sql);
    try {
      ParseSelect(b.sql);
      EXPECT_EQ(b.number, 0) << "parsed";
    } catch (const jet::Error& e) {
      EXPECT_EQ(e.number(), b.number) << e.what();
      EXPECT_NE(std::string(e.what()).find(b.in_message), std::string::npos) << e.what();
    }
  }
}

TEST(SqlParser, DeepNestingIsRefusedNotOverflowed) {
  std::string sql = "SELECT * FROM t WHERE " + std::string(100000, '(') + "a=1";
  EXPECT_THROW(ParseSelect(sql), jet::Error);
  sql = "SELECT * FROM t WHERE " + std::string(100000, '-') + "1 = a";
  EXPECT_THROW(ParseSelect(sql), jet::Error);
  std::string nots = "SELECT * FROM t WHERE ";
  for (int i = 0; i < 50000; ++i) nots += "NOT ";
  EXPECT_THROW(ParseSelect(nots + "a"), jet::Error);
}

// Random sequences of the subset's tokens (and some junk): parsing either succeeds or throws
// jet::Error; nothing else escapes and nothing crashes.
TEST(SqlParser, RandomTokenSequencesOnlyEverThrowJetErrors) {
  static const char* kTokens[] = {"SELECT", "DISTINCT",   "*",
                                  "FROM",   "WHERE",      "AND",
                                  "OR",     "NOT",        "IS",
                                  "NULL",   "LIKE",       "(",
                                  ")",      "=",          "<>",
                                  "<=",     ">=",         "<",
                                  ">",      ",",          ";",
                                  ".",      "-",          "+",
                                  "a",      "[b c]",      "[",
                                  "]",      "'x'",        "'",
                                  "\"y\"",  "\"",         "#1/2/2009#",
                                  "#",      "#99/99/99#", "12",
                                  "1.5",    "1E999",      "99999999999999999999999999999999",
                                  "True",   "t",          "!",
                                  "?",      "é",          "\xff",
                                  "''''",   "[]"};
  std::mt19937 rng(20090602);
  std::uniform_int_distribution<size_t> pick(0, std::size(kTokens) - 1);
  std::uniform_int_distribution<int> length(0, 14);
  int parsed = 0;
  for (int i = 0; i < 30000; ++i) {
    std::string sql = i % 3 == 0 ? "" : "SELECT * FROM t WHERE";
    const int n = length(rng);
    for (int k = 0; k < n; ++k) {
      sql += (rng() % 4 == 0) ? "" : " ";
      sql += kTokens[pick(rng)];
    }
    for (const bool criteria : {false, true}) {
      try {
        if (criteria) {
          ParseCriteria(sql);
        } else {
          ParseSelect(sql);
          ++parsed;
        }
      } catch (const jet::Error&) {
      } catch (const std::exception& e) {
        FAIL() << "non-Jet exception for [" << sql << "]: " << e.what();
      }
    }
  }
  EXPECT_GT(parsed, 0);
}

}  // namespace
}  // namespace db
