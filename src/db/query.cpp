#include "db/query.h"

#include <algorithm>
#include <functional>
#include <optional>

#include "db/column_names.h"
#include "db/sql_compare.h"
#include "db/sql_errors.h"
#include "db/sql_eval.h"
#include "jet/collation.h"
#include "jet/index_key.h"

namespace db {
namespace {

// One `column = constant` conjunct of the condition, with the constant in the column's type.
struct Equality {
  size_t position;  // in the row's values
  jet::Value key;
};

// The conjuncts of a condition's top-level AND chain.
void Conjuncts(const Expr& e, std::vector<const Expr*>& out) {
  if (e.kind == ExprKind::kAnd) {
    Conjuncts(*e.args[0], out);
    Conjuncts(*e.args[1], out);
  } else {
    out.push_back(&e);
  }
}

std::vector<Equality> Equalities(const Expr* where, const std::vector<jet::ColumnDef>& columns) {
  std::vector<Equality> out;
  if (where == nullptr) return out;
  std::vector<const Expr*> conjuncts;
  Conjuncts(*where, conjuncts);
  for (const Expr* c : conjuncts) {
    if (c->kind != ExprKind::kCompare || c->op != CompareOp::kEqual) continue;
    const Expr* column = c->args[0].get();
    const Expr* constant = c->args[1].get();
    if (column->kind != ExprKind::kColumn) std::swap(column, constant);
    if (column->kind != ExprKind::kColumn || constant->kind != ExprKind::kLiteral) continue;
    if (column->column_index < 0) continue;
    const size_t position = static_cast<size_t>(column->column_index);
    // A constant no value of the column can equal leaves the finding to a scan, which then
    // finds nothing (or reports the mismatch) exactly as Jet would.
    if (auto key = ExactColumnValue(columns[position], constant->value)) {
      out.push_back({position, std::move(*key)});
    }
  }
  return out;
}

const Equality* FindEquality(const std::vector<Equality>& eqs, size_t position) {
  for (const Equality& e : eqs) {
    if (e.position == position) return &e;
  }
  return nullptr;
}

std::optional<size_t> PositionOfNumber(const jet::TableDef& def, uint16_t number) {
  for (size_t i = 0; i < def.columns.size(); ++i) {
    if (def.columns[i].number == number) return i;
  }
  return std::nullopt;
}

struct IndexChoice {
  const jet::RealIndexDef* index = nullptr;
  std::vector<jet::Value> values;  // for the leading columns
};

// The index whose leading columns the equalities cover furthest; a whole, unique key wins ties.
IndexChoice ChooseIndex(const jet::TableDef& def, const std::vector<Equality>& eqs) {
  IndexChoice best;
  bool best_whole_unique = false;
  for (const jet::RealIndexDef& index : def.real_indexes) {
    std::vector<jet::Value> values;
    for (const jet::IndexColumn& ic : index.columns) {
      const auto position = PositionOfNumber(def, ic.column_number);
      if (!position) break;
      const jet::ColumnDef& column = def.columns[*position];
      if (ClassOf(column.type) == ValueClass::kText &&
          !jet::IsGeneralSortOrder(column.sort_lcid, column.sort_version)) {
        break;  // keys of another sort order cannot be built
      }
      const Equality* eq = FindEquality(eqs, *position);
      if (eq == nullptr) break;
      values.push_back(eq->key);
    }
    if (values.empty()) continue;
    const bool whole_unique = values.size() == index.columns.size() && index.is_unique();
    if (values.size() > best.values.size() ||
        (values.size() == best.values.size() && whole_unique && !best_whole_unique)) {
      best.index = &index;
      best.values = std::move(values);
      best_whole_unique = whole_unique;
    }
  }
  return best;
}

std::string IndexName(const jet::TableDef& def, const jet::RealIndexDef& index) {
  for (const jet::LogicalIndexDef& l : def.indexes) {
    if (l.real_index == index.number) return l.name;
  }
  // Appended rather than `"#" + std::to_string(...)`, which GCC 12 at -O3 flags with a false
  // -Wrestrict.
  std::string name = "#";
  name += std::to_string(index.number);
  return name;
}

std::vector<std::string> SelectedColumns(const SelectStatement& s, const jet::Table& table,
                                         bool names, QueryResult& result) {
  ResolvedColumns selected = ResolveSelected(s, table);
  if (names) {
    result.columns.reserve(selected.positions.size());
    for (size_t position : selected.positions)
      result.columns.push_back(table.columns()[position].name);
  }
  result.column_positions = std::move(selected.positions);
  return std::move(selected.unknown);
}

struct Match {
  jet::RowLocator row;
  std::vector<jet::Value> selected;
  std::vector<jet::Value> values;  // while the result is small enough to keep them
};

}  // namespace

const char* PlanName(Plan plan) {
  switch (plan) {
    case Plan::kScan:
      return "scan";
    case Plan::kIndex:
      return "index";
    case Plan::kHash:
      return "hash";
  }
  return "?";
}

Query::Query(std::string_view sql) : statement_(ParseSelect(sql)) {}

QueryResult Query::Run(jet::Database& db, QueryCache& cache, const QueryOptions& options) {
  return Run(db, db.OpenTable(statement_.table), cache, options);
}

QueryResult Query::Run(jet::Database& db, const jet::Table& table, QueryCache& cache,
                       const QueryOptions& options) {
  const jet::TableDef& def = table.def();
  QueryResult result;

  // Jet names every unknown name at once, counting them as parameters it expected.
  std::vector<std::string> unknown =
      SelectedColumns(statement_, table, options.column_names, result);
  Expr* where = statement_.where.get();
  if (where != nullptr) {
    for (std::string& name : BindExpr(*where, table.columns(), table.name())) {
      const bool seen = std::any_of(unknown.begin(), unknown.end(),
                                    [&](const std::string& u) { return jet::NamesEqual(u, name); });
      if (!seen) unknown.push_back(std::move(name));
    }
  }
  if (!unknown.empty()) ThrowUnknownNames(unknown);
  if (where != nullptr) CheckConstantTypes(*where, table.columns());

  std::vector<Match> matches;
  bool keep_values = true;
  // `owned` is `values` when the caller is done with them (a row read for this test alone).
  auto consider = [&](jet::RowLocator row, const std::vector<jet::Value>& values,
                      std::vector<jet::Value>* owned) {
    if (where != nullptr && !IsTrue(Evaluate(*where, values))) return;
    Match m{row, {}, {}};
    if (statement_.distinct) {
      for (size_t p : result.column_positions) m.selected.push_back(values[p]);
    }
    if (keep_values && matches.size() >= QueryResult::kKeptRowValues) {
      keep_values = false;
      for (Match& kept : matches) kept.values = {};
    }
    if (keep_values) {
      // Not one conditional expression: its operands' types differ in constness, which makes
      // it a const copy, copied again.
      if (owned != nullptr) {
        m.values = std::move(*owned);
      } else {
        m.values = values;
      }
    }
    matches.push_back(std::move(m));
  };
  // Rows found through a key come in key order; a scan would find them by (page, row).
  auto consider_located = [&](std::vector<jet::RowLocator> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    matches.reserve(std::min(rows.size(), QueryResult::kKeptRowValues + 1));
    for (const jet::RowLocator& row : rows) {
      std::vector<jet::Value> values = table.ReadRow(row);
      consider(row, values, &values);
    }
  };

  const std::vector<Equality> eqs = Equalities(where, table.columns());
  const IndexChoice choice = options.use_indexes ? ChooseIndex(def, eqs) : IndexChoice{};
  if (choice.index != nullptr) {
    result.plan = Plan::kIndex;
    result.plan_detail = IndexName(def, *choice.index);
    jet::IndexReader& reader = cache.Index(db.file(), table, choice.index->root_page);
    const jet::Bytes key = jet::EncodeLookupKey(*choice.index, def, choice.values);
    consider_located(choice.values.size() == choice.index->columns.size() ? reader.FindEqual(key)
                                                                          : reader.FindPrefix(key));
  } else if (options.use_hash && !eqs.empty()) {
    result.plan = Plan::kHash;
    result.plan_detail = table.columns()[eqs.front().position].name;
    consider_located(cache.HashLookup(table, eqs.front().position, eqs.front().key));
  } else {
    result.plan = Plan::kScan;
    for (auto cursor = table.Scan(); cursor.Next();) {
      consider(cursor.locator(), cursor.values(), nullptr);
    }
  }

  if (statement_.distinct) {
    auto order = [](const Match& a, const Match& b) {
      for (size_t i = 0; i < a.selected.size(); ++i) {
        const int c = SortCompare(a.selected[i], b.selected[i]);
        if (c != 0) return c;
      }
      return 0;
    };
    // Stable, so that of equal rows the first in physical order is the one kept.
    std::stable_sort(matches.begin(), matches.end(),
                     [&](const Match& a, const Match& b) { return order(a, b) < 0; });
    matches.erase(std::unique(matches.begin(), matches.end(),
                              [&](const Match& a, const Match& b) { return order(a, b) == 0; }),
                  matches.end());
  }
  result.rows.reserve(matches.size());
  for (const Match& m : matches) result.rows.push_back(m.row);
  if (keep_values) {
    result.values.reserve(matches.size());
    for (Match& m : matches) result.values.push_back(std::move(m.values));
  }
  return result;
}

}  // namespace db
