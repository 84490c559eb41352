// Evaluating a parsed condition on a table's rows, with Jet's three-valued logic: a comparison
// with Null is Null (unknown), NOT Null is Null, False AND Null is False, True OR Null is True,
// and a row is kept only where the whole condition is True.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/sql_parser.h"
#include "jet/table.h"
#include "jet/value.h"

namespace db {

// Resolves the column names of `e` against the columns of table `table` (names compared as Jet
// compares them; a qualifier must name the table) and compiles constant LIKE patterns. Returns
// the names it could not resolve, each once, in order of appearance.
std::vector<std::string> BindExpr(Expr& e, const std::vector<jet::ColumnDef>& columns,
                                  std::string_view table);

// Refuses, with 3464, a comparison of a column with a constant Jet will not convert to the
// column's type (a text column with 5, a number column with '5'), as Jet does when it compiles
// the query, before any row is read. Call after BindExpr.
void CheckConstantTypes(const Expr& e, const std::vector<jet::ColumnDef>& columns);

// The value of a bound expression on a row (values in the table's column order). Comparisons,
// LIKE, IS NULL and the logical operators give a bool, or Null when unknown.
jet::Value Evaluate(const Expr& e, const std::vector<jet::Value>& row);

// A condition's value as the WHERE clause takes it: True keeps the row; False and Null do not.
bool IsTrue(const jet::Value& v);

// A condition bound to one table, ready to test rows (WHERE clauses, FindFirst criteria).
class Condition {
 public:
  // Binds and checks `e`; throws 3061 naming unknown names and 3464 for constant mismatches.
  Condition(ExprPtr e, const jet::Table& table);
  // An expression its owner has bound and checked already (a query's condition after it ran);
  // it must outlive the condition.
  explicit Condition(const Expr& bound) : expr_(&bound) {}
  bool Matches(const std::vector<jet::Value>& row) const { return IsTrue(Evaluate(*expr_, row)); }
  const Expr& expr() const { return *expr_; }

 private:
  ExprPtr owned_;
  const Expr* expr_;
};

}  // namespace db
