// The Jet SQL subset the laboratory's tools use, parsed into a small tree:
//   SELECT [DISTINCT] * | column [, column...] FROM table [WHERE condition] [;]
// and WHERE-style criteria on their own (for FindFirst). Names are bare or [bracketed];
// keywords in any case. A text that cannot be parsed throws jet::Error with the number Jet
// gives the same fault (see sql_errors.h).
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/value.h"

namespace db {

class LikePattern;

enum class ExprKind {
  kLiteral,  // value
  kColumn,   // name (and qualifier, when written Table.Column)
  kCompare,  // args[0] op args[1]
  kAnd,      // args[0] AND args[1]
  kOr,       // args[0] OR args[1]
  kNot,      // NOT args[0]
  kIsNull,   // args[0] IS [NOT] NULL (negated for NOT)
  kLike,     // args[0] [NOT] LIKE args[1] (negated for NOT)
  kNegate,   // -args[0]
};

enum class CompareOp { kEqual, kNotEqual, kLess, kGreater, kLessEqual, kGreaterEqual };

struct Expr {
  ExprKind kind = ExprKind::kLiteral;
  jet::Value value;
  std::string name;
  std::string qualifier;
  CompareOp op = CompareOp::kEqual;
  bool negated = false;
  std::vector<std::unique_ptr<Expr>> args;

  // Filled when the expression is bound to a table (sql_eval.h): the column's position in the
  // row's values, and the compiled pattern of a LIKE whose pattern is a constant.
  int column_index = -1;
  std::shared_ptr<const LikePattern> pattern;
};
using ExprPtr = std::unique_ptr<Expr>;

struct SelectColumn {
  std::string name;
  std::string qualifier;  // "Instruments" in Instruments.Inst_Id; empty when not written
};

struct SelectStatement {
  bool distinct = false;
  bool all_columns = false;           // SELECT *
  std::vector<SelectColumn> columns;  // empty for SELECT *
  std::string table;
  ExprPtr where;           // nullptr without a WHERE clause
  std::string where_text;  // the condition as written, for messages
};

SelectStatement ParseSelect(std::string_view sql);

// A condition written like a WHERE clause, without the keyword (the criteria of FindFirst).
ExprPtr ParseCriteria(std::string_view criteria);

// A deep copy, without the bound positions.
ExprPtr CloneExpr(const Expr& e);

}  // namespace db
