#include "db/statement_cache.h"

#include <cctype>

namespace db {
namespace {

// As the parser trims the condition it quotes.
std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// The text constants of `e`, left to right, as the parser made them from the quoted texts.
void TextConstants(const Expr& e, std::vector<const Expr*>& out) {
  if (e.kind == ExprKind::kLiteral && e.value.Is<std::string>()) out.push_back(&e);
  for (const ExprPtr& a : e.args) TextConstants(*a, out);
}

// A copy of `e` (unbound, as CloneExpr makes it) whose text constants, in the order
// TextConstants finds them, take the values handed out by `next`.
template <typename Next>
ExprPtr CloneWith(const Expr& e, Next& next) {
  auto out = std::make_unique<Expr>();
  out->kind = e.kind;
  if (e.kind == ExprKind::kLiteral && e.value.Is<std::string>()) {
    out->value = jet::Value(next());
  } else {
    out->value = e.value;
  }
  out->name = e.name;
  out->qualifier = e.qualifier;
  out->op = e.op;
  out->negated = e.negated;
  out->args.reserve(e.args.size());
  for (const ExprPtr& a : e.args) out->args.push_back(CloneWith(*a, next));
  return out;
}

}  // namespace

SelectStatement StatementCache::Parse(std::string_view sql) {
  if (!Shape(sql)) return ParseSelect(sql);
  if (auto it = kept_.find(shape_); it != kept_.end() && it->second.constants == constant_count_) {
    ++hits_;
    return FromKept(it->second, sql);
  }
  SelectStatement statement = ParseSelect(sql);
  Keep(statement, sql);
  return statement;
}

// The shape is the text with every quoted text emptied to its two quotes. Elsewhere quotes
// stand only inside [names] and #dates#, which are copied whole, so the shape tells where each
// constant was; semicolons are looked for the same way, as the lexer finds them.
bool StatementCache::Shape(std::string_view sql) {
  shape_.clear();
  constant_count_ = 0;
  statement_end_ = std::string_view::npos;
  size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"') {
      if (constant_count_ == constants_.size()) constants_.emplace_back();
      Constant& k = constants_[constant_count_];
      k.begin = i;
      k.value.clear();
      // A doubled quote inside stands for one quote character.
      size_t j = i + 1;
      bool closed = false;
      while (j < sql.size()) {
        if (sql[j] == c) {
          if (j + 1 < sql.size() && sql[j + 1] == c) {
            k.value.push_back(c);
            j += 2;
            continue;
          }
          closed = true;
          ++j;
          break;
        }
        k.value.push_back(sql[j++]);
      }
      if (!closed) return false;  // a parse error: raised by the parser
      ++constant_count_;
      shape_ += c;
      shape_ += c;
      i = j;
    } else if (c == '[' || c == '#') {
      const size_t close = sql.find(c == '[' ? ']' : '#', i + 1);
      if (close == std::string_view::npos) return false;
      shape_.append(sql.substr(i, close + 1 - i));
      i = close + 1;
    } else {
      if (c == ';' && statement_end_ == std::string_view::npos) statement_end_ = i;
      shape_ += c;
      ++i;
    }
  }
  if (statement_end_ == std::string_view::npos) statement_end_ = sql.size();
  return true;
}

SelectStatement StatementCache::FromKept(const Kept& kept, std::string_view sql) const {
  const SelectStatement& s = kept.statement;
  SelectStatement out;
  out.distinct = s.distinct;
  out.all_columns = s.all_columns;
  out.columns = s.columns;
  out.table = s.table;
  if (s.where != nullptr) {
    size_t k = 0;
    auto next = [&]() -> const std::string& { return constants_[k++].value; };
    out.where = CloneWith(*s.where, next);
    // The condition is quoted from its first token to the statement's end, as parsed; no
    // constant comes before it, so it starts where it did in the kept statement's text.
    const size_t begin = kept.where_begin;
    out.where_text = std::string(Trim(sql.substr(begin, statement_end_ - begin)));
  }
  return out;
}

void StatementCache::Keep(const SelectStatement& statement, std::string_view sql) {
  std::vector<const Expr*> found;
  if (statement.where != nullptr) TextConstants(*statement.where, found);
  if (found.size() != constant_count_) return;
  for (size_t k = 0; k < found.size(); ++k) {
    if (found[k]->value.As<std::string>() != constants_[k].value) return;
  }
  Kept kept;
  kept.constants = constant_count_;
  if (statement.where != nullptr) {
    // Where the quoted condition starts: it ends where the statement does, blanks aside.
    const std::string_view head = Trim(sql.substr(0, statement_end_));
    const size_t head_end = static_cast<size_t>(head.data() - sql.data()) + head.size();
    if (statement.where_text.size() > head_end) return;
    const size_t begin = head_end - statement.where_text.size();
    if (sql.substr(begin, statement.where_text.size()) != statement.where_text) return;
    if (constant_count_ > 0 && constants_[0].begin < begin) return;
    kept.where_begin = begin;
    kept.statement.where = CloneExpr(*statement.where);
  }
  kept.statement.distinct = statement.distinct;
  kept.statement.all_columns = statement.all_columns;
  kept.statement.columns = statement.columns;
  kept.statement.table = statement.table;
  if (kept_.size() >= kLimit) kept_.clear();
  kept_.emplace(shape_, std::move(kept));
}

}  // namespace db
