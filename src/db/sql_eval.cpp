#include "db/sql_eval.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "db/column_names.h"
#include "db/sql_compare.h"
#include "db/sql_errors.h"
#include "db/sql_like.h"
#include "db/sql_literals.h"
#include "jet/error.h"

namespace db {
namespace {

enum class Truth { kFalse, kTrue, kNull };

Truth ToTruth(const jet::Value& v) {
  if (v.IsNull()) return Truth::kNull;
  if (v.Is<bool>()) return v.As<bool>() ? Truth::kTrue : Truth::kFalse;
  // Any other value is True when it is not zero, as in Jet, where True is just -1.
  return CompareValues(v, jet::Value(int32_t{0})) != 0 ? Truth::kTrue : Truth::kFalse;
}

jet::Value FromTruth(Truth t) {
  if (t == Truth::kNull) return jet::Value();
  return jet::Value(t == Truth::kTrue);
}

jet::Value Negate(const jet::Value& v) {
  if (v.IsNull()) return v;
  if (v.Is<std::string>()) {
    auto n = TextToNumber(v.As<std::string>());
    if (!n) ThrowTypeMismatch();
    return Negate(*n);
  }
  if (v.Is<bool>()) return jet::Value(static_cast<int16_t>(v.As<bool>() ? 1 : 0));
  if (v.Is<uint8_t>()) return jet::Value(static_cast<int16_t>(-v.As<uint8_t>()));
  if (v.Is<int16_t>()) return jet::Value(static_cast<int32_t>(-v.As<int16_t>()));
  if (v.Is<int32_t>()) {
    const int32_t i = v.As<int32_t>();
    if (i == std::numeric_limits<int32_t>::min()) return jet::Value(-static_cast<double>(i));
    return jet::Value(static_cast<int32_t>(-i));
  }
  if (v.Is<float>()) return jet::Value(-v.As<float>());
  if (v.Is<double>()) return jet::Value(-v.As<double>());
  if (v.Is<jet::DateTime>()) return jet::Value(jet::DateTime{-v.As<jet::DateTime>().days});
  if (v.Is<jet::Currency>()) {
    const int64_t s = v.As<jet::Currency>().scaled;
    if (s == std::numeric_limits<int64_t>::min()) return jet::Value(-static_cast<double>(s));
    return jet::Value(jet::Currency{-s});
  }
  if (v.Is<jet::Decimal>()) {
    jet::Decimal d = v.As<jet::Decimal>();
    d.negative = !d.negative;
    return jet::Value(d);
  }
  ThrowTypeMismatch();
}

bool CompareResult(CompareOp op, int c) {
  switch (op) {
    case CompareOp::kEqual:
      return c == 0;
    case CompareOp::kNotEqual:
      return c != 0;
    case CompareOp::kLess:
      return c < 0;
    case CompareOp::kGreater:
      return c > 0;
    case CompareOp::kLessEqual:
      return c <= 0;
    case CompareOp::kGreaterEqual:
      return c >= 0;
  }
  return false;
}

void Bind(Expr& e, const std::vector<jet::ColumnDef>& columns, std::string_view table,
          std::vector<std::string>& unknown) {
  for (ExprPtr& a : e.args) Bind(*a, columns, table, unknown);
  if (e.kind == ExprKind::kColumn) {
    const std::optional<size_t> found = ResolveColumn(columns, table, e.qualifier, e.name);
    e.column_index = found ? static_cast<int>(*found) : -1;
    if (!found) {
      const std::string name = WrittenName(e.qualifier, e.name);
      const bool seen = std::any_of(unknown.begin(), unknown.end(),
                                    [&](const std::string& u) { return jet::NamesEqual(u, name); });
      if (!seen) unknown.push_back(name);
    }
  } else if (e.kind == ExprKind::kLike && e.args[1]->kind == ExprKind::kLiteral &&
             !e.args[1]->value.IsNull()) {
    e.pattern = std::make_shared<LikePattern>(ValueToText(e.args[1]->value));
  }
}

// Whether Jet converts a constant of class `constant` for a comparison with a column of class
// `column`: numbers and dates mix; text goes only with text.
bool ConstantFits(ValueClass column, ValueClass constant) {
  const auto numeric = [](ValueClass c) {
    return c == ValueClass::kNumber || c == ValueClass::kDate;
  };
  if (numeric(column)) return numeric(constant);
  return column == constant;
}

// The value of a constant or of a known column, where it is; null for anything else.
const jet::Value* InPlace(const Expr& e, const std::vector<jet::Value>& row) {
  if (e.kind == ExprKind::kLiteral) return &e.value;
  if (e.kind == ExprKind::kColumn && e.column_index >= 0 &&
      static_cast<size_t>(e.column_index) < row.size()) {
    return &row[static_cast<size_t>(e.column_index)];
  }
  return nullptr;
}

}  // namespace

std::vector<std::string> BindExpr(Expr& e, const std::vector<jet::ColumnDef>& columns,
                                  std::string_view table) {
  std::vector<std::string> unknown;
  Bind(e, columns, table, unknown);
  return unknown;
}

void CheckConstantTypes(const Expr& e, const std::vector<jet::ColumnDef>& columns) {
  for (const ExprPtr& a : e.args) CheckConstantTypes(*a, columns);
  if (e.kind != ExprKind::kCompare) return;
  const Expr* column = nullptr;
  const Expr* constant = nullptr;
  for (const ExprPtr& a : e.args) {
    if (a->kind == ExprKind::kColumn) column = a.get();
    if (a->kind == ExprKind::kLiteral) constant = a.get();
  }
  if (column == nullptr || constant == nullptr || constant->value.IsNull()) return;
  if (column->column_index < 0 || static_cast<size_t>(column->column_index) >= columns.size()) {
    return;
  }
  if (!ConstantFits(ClassOf(columns[column->column_index].type), ClassOf(constant->value))) {
    ThrowTypeMismatch();
  }
}

jet::Value Evaluate(const Expr& e, const std::vector<jet::Value>& row) {
  switch (e.kind) {
    case ExprKind::kLiteral:
      return e.value;
    case ExprKind::kColumn:
      if (e.column_index < 0 || static_cast<size_t>(e.column_index) >= row.size()) {
        ThrowUnknownNames({e.name});
      }
      return row[e.column_index];
    case ExprKind::kCompare: {
      // A column or a constant is compared where it is, not copied (a query tests every row).
      jet::Value computed_a;
      jet::Value computed_b;
      const jet::Value* a = InPlace(*e.args[0], row);
      if (a == nullptr) a = &(computed_a = Evaluate(*e.args[0], row));
      const jet::Value* b = InPlace(*e.args[1], row);
      if (b == nullptr) b = &(computed_b = Evaluate(*e.args[1], row));
      if (a->IsNull() || b->IsNull()) return jet::Value();
      return jet::Value(CompareResult(e.op, CompareValues(*a, *b)));
    }
    case ExprKind::kAnd: {
      const Truth a = ToTruth(Evaluate(*e.args[0], row));
      if (a == Truth::kFalse) return jet::Value(false);
      const Truth b = ToTruth(Evaluate(*e.args[1], row));
      if (b == Truth::kFalse) return jet::Value(false);
      return FromTruth(a == Truth::kTrue && b == Truth::kTrue ? Truth::kTrue : Truth::kNull);
    }
    case ExprKind::kOr: {
      const Truth a = ToTruth(Evaluate(*e.args[0], row));
      if (a == Truth::kTrue) return jet::Value(true);
      const Truth b = ToTruth(Evaluate(*e.args[1], row));
      if (b == Truth::kTrue) return jet::Value(true);
      return FromTruth(a == Truth::kFalse && b == Truth::kFalse ? Truth::kFalse : Truth::kNull);
    }
    case ExprKind::kNot: {
      const Truth a = ToTruth(Evaluate(*e.args[0], row));
      if (a == Truth::kNull) return jet::Value();
      return jet::Value(a == Truth::kFalse);
    }
    case ExprKind::kIsNull:
      return jet::Value(Evaluate(*e.args[0], row).IsNull() != e.negated);
    case ExprKind::kLike: {
      const jet::Value text = Evaluate(*e.args[0], row);
      if (text.IsNull()) return jet::Value();
      if (e.pattern) return jet::Value(e.pattern->Matches(ValueToText(text)) != e.negated);
      const jet::Value pattern = Evaluate(*e.args[1], row);
      if (pattern.IsNull()) return jet::Value();
      return jet::Value(LikePattern(ValueToText(pattern)).Matches(ValueToText(text)) != e.negated);
    }
    case ExprKind::kNegate:
      return Negate(Evaluate(*e.args[0], row));
  }
  return jet::Value();
}

bool IsTrue(const jet::Value& v) { return ToTruth(v) == Truth::kTrue; }

Condition::Condition(ExprPtr e, const jet::Table& table)
    : owned_(std::move(e)), expr_(owned_.get()) {
  const std::vector<std::string> unknown = BindExpr(*owned_, table.columns(), table.name());
  if (!unknown.empty()) ThrowUnknownNames(unknown);
  CheckConstantTypes(*owned_, table.columns());
}

}  // namespace db
