// Kept parses: whatever the constants, the cache answers a text exactly as the parser does
// (tree, quoted condition, error), and statements alike but for their quoted texts are parsed
// once.
#include "db/statement_cache.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>

#include "jet/error.h"

namespace db {
namespace {

void ExpectSameExpr(const Expr& a, const Expr& b) {
  EXPECT_EQ(a.kind, b.kind);
  EXPECT_EQ(a.value, b.value);
  EXPECT_EQ(a.value.Is<std::string>(), b.value.Is<std::string>());
  EXPECT_EQ(a.name, b.name);
  EXPECT_EQ(a.qualifier, b.qualifier);
  EXPECT_EQ(a.op, b.op);
  EXPECT_EQ(a.negated, b.negated);
  EXPECT_EQ(a.column_index, -1);
  EXPECT_EQ(a.pattern, nullptr);
  ASSERT_EQ(a.args.size(), b.args.size());
  for (size_t i = 0; i < a.args.size(); ++i) ExpectSameExpr(*a.args[i], *b.args[i]);
}

struct Outcome {
  std::optional<SelectStatement> statement;
  int error = 0;
  std::string message;
};

template <typename Parse>
Outcome Run(Parse parse) {
  Outcome out;
  try {
    out.statement = parse();
  } catch (const jet::Error& e) {
    out.error = e.number();
    out.message = e.what();
  }
  return out;
}

// Parses `sql` through `cache` and on its own, and expects the same outcome.
void ExpectAsParsed(StatementCache& cache, const std::string& sql) {
  SCOPED_TRACE(sql);
  const Outcome cached = Run([&] { return cache.Parse(sql); });
  const Outcome parsed = Run([&] { return ParseSelect(sql); });
  EXPECT_EQ(cached.error, parsed.error);
  EXPECT_EQ(cached.message, parsed.message);
  ASSERT_EQ(cached.statement.has_value(), parsed.statement.has_value());
  if (!parsed.statement) return;
  const SelectStatement& c = *cached.statement;
  const SelectStatement& p = *parsed.statement;
  EXPECT_EQ(c.distinct, p.distinct);
  EXPECT_EQ(c.all_columns, p.all_columns);
  ASSERT_EQ(c.columns.size(), p.columns.size());
  for (size_t i = 0; i < c.columns.size(); ++i) {
    EXPECT_EQ(c.columns[i].name, p.columns[i].name);
    EXPECT_EQ(c.columns[i].qualifier, p.columns[i].qualifier);
  }
  EXPECT_EQ(c.table, p.table);
  EXPECT_EQ(c.where_text, p.where_text);
  ASSERT_EQ(c.where == nullptr, p.where == nullptr);
  if (p.where) ExpectSameExpr(*c.where, *p.where);
}

// `shape` with each '@' replaced by the next of `constants`, quoted with `quote`.
std::string Fill(std::string_view shape, const std::vector<std::string>& constants, char quote) {
  std::string out;
  size_t next = 0;
  for (char c : shape) {
    if (c != '@') {
      out += c;
      continue;
    }
    out += quote;
    for (char k : constants.at(next % constants.size())) {
      out += k;
      if (k == quote) out += quote;
    }
    out += quote;
    ++next;
  }
  return out;
}

TEST(StatementCache, AnswersEveryConstantOfAShapeAsTheParserDoes) {
  const char* kShapes[] = {
      "SELECT * from Results Where Cert_No=@",
      "SELECT * from [Additional Data] Where Inst_Id=@ AND Cal_Ref=12",
      "SELECT * from [Additional Data] Where Inst_Id=@ AND Cal_Ref=-3",
      "select Inst_Id, [Cust Name] FROM Instruments  WHERE  Inst_Id = @ ;  ",
      "SELECT * FROM [it's] WHERE @ = a AND (b LIKE @ OR NOT c = @)",
      "SELECT * FROM t WHERE d = #1/2/2009# AND [x'y] = @ AND e = -@",
      "SELECT * FROM t WHERE a = @;",
      "SELECT DISTINCT a FROM t WHERE a = @ OR a = @ OR a = @",
      "SELECT * FROM t",
      "SELECT * FROM t;",
  };
  const std::vector<std::vector<std::string>> kConstants = {
      {"C1"},
      {"a much longer constant than the first, with blanks"},
      {""},
      {"O'Brien", "say \"hi\"", "x"},
      {"; ] [ # #", "--", "WHERE"},
      {"é", "", "1"},
  };
  StatementCache cache;
  for (const char* shape : kShapes) {
    for (const auto& constants : kConstants) {
      for (char quote : {'\'', '"'}) ExpectAsParsed(cache, Fill(shape, constants, quote));
    }
  }
  // One kept statement per shape and quote character (the two without constants are one),
  // found again for every other text.
  const size_t kept = (std::size(kShapes) - 2) * 2 + 2;
  EXPECT_EQ(cache.kept(), kept);
  EXPECT_EQ(cache.hits(), std::size(kShapes) * kConstants.size() * 2 - kept);
}

TEST(StatementCache, FailingTextsAreNeverKept) {
  StatementCache cache;
  for (int round = 0; round < 2; ++round) {
    ExpectAsParsed(cache, "SELECT * from Instruments Where Cust_Name='O'Brien'");
    ExpectAsParsed(cache, "SELECT * FROM t WHERE a = 'abc");
    ExpectAsParsed(cache, "SELECT * FROM t WHERE [a = 'b'");
    ExpectAsParsed(cache, "SELECT * FROM t WHERE d = #'#");
    ExpectAsParsed(cache, "SELECT 'a' FROM t WHERE b = 'c'");
    ExpectAsParsed(cache, "SELECT * FROM 'a' WHERE b = 'c'");
    ExpectAsParsed(cache, "SELECT * FROM t WHERE a = 'x'; SELECT 'y'");
  }
  EXPECT_EQ(cache.kept(), 0u);
}

// Random token sequences, each parsed with two sets of constants, give what the parser gives.
TEST(StatementCache, RandomTextsGiveWhatTheParserGives) {
  static const char* kTokens[] = {
      "SELECT", "DISTINCT", "*", "FROM", "WHERE", "AND", "OR", "NOT",      "IS",
      "NULL",   "LIKE",     "(", ")",    "=",     "<>",  "<",  ",",        ";",
      ".",      "-",        "a", "[b]",  "[",     "]",   "'",  "\"",       "#1/2/2009#",
      "#",      "12",       "t", "@",    "@",     "@",   "@",  "[x'y\"z]", "''''"};
  static const char* kConstants[] = {"", "x", "O'Brien", "say \"hi\"", "; [ ] #", "long text"};
  std::mt19937 rng(20091210);
  std::uniform_int_distribution<size_t> token(0, std::size(kTokens) - 1);
  std::uniform_int_distribution<size_t> constant(0, std::size(kConstants) - 1);
  std::uniform_int_distribution<int> length(0, 10);
  StatementCache cache;
  for (int i = 0; i < 4000; ++i) {
    std::string shape = i % 4 == 0 ? "SELECT * FROM t" : "SELECT * FROM t WHERE";
    const int n = length(rng);
    for (int k = 0; k < n; ++k) {
      shape += (rng() % 4 == 0) ? "" : " ";
      shape += kTokens[token(rng)];
    }
    if (rng() % 3 == 0) shape += " ; ";
    const char quote = rng() % 2 == 0 ? '\'' : '"';
    for (int variant = 0; variant < 2; ++variant) {
      std::vector<std::string> constants;
      for (int k = 0; k < 3; ++k) constants.emplace_back(kConstants[constant(rng)]);
      ExpectAsParsed(cache, Fill(shape, constants, quote));
    }
    if (HasFailure()) break;
  }
  EXPECT_GT(cache.hits(), 0u);
}

}  // namespace
}  // namespace db
