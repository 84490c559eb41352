#include "db/sql_parser.h"

#include <cctype>

#include "db/sql_errors.h"
#include "db/sql_lexer.h"
#include "db/sql_literals.h"
#include "jet/error.h"

namespace db {
namespace {

// Deeper nesting than this is refused rather than risking the stack on hostile input.
constexpr int kMaxDepth = 200;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

ExprPtr Make(ExprKind kind) {
  auto e = std::make_unique<Expr>();
  e->kind = kind;
  return e;
}

ExprPtr Binary(ExprKind kind, ExprPtr left, ExprPtr right) {
  ExprPtr e = Make(kind);
  e->args.reserve(2);  // one allocation, not one per operand
  e->args.push_back(std::move(left));
  e->args.push_back(std::move(right));
  return e;
}

[[noreturn]] void ThrowSelectMisspelled() {
  throw jet::Error(kErrSelectMisspelled,
                   "The SELECT statement includes a reserved word or an argument name that is "
                   "misspelled or missing, or the punctuation is incorrect.");
}

[[noreturn]] void ThrowFromClause() {
  throw jet::Error(kErrSyntaxInFrom, "Syntax error in FROM clause.");
}

class Parser {
 public:
  explicit Parser(std::string_view sql) : sql_(sql), lexed_(Tokenize(sql)), tokens_(lexed_.list) {
    // Messages quote an expression up to the end of the statement, not its closing semicolon.
    statement_end_ = sql_.size();
    for (const Token& t : tokens_) {
      if (t.kind == TokenKind::kSemicolon) {
        statement_end_ = t.begin;
        break;
      }
    }
  }

  SelectStatement Select() {
    SelectStatement out;
    if (!Peek().Is("SELECT")) {
      throw jet::Error(kErrInvalidStatement,
                       "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', "
                       "'SELECT', or 'UPDATE'.");
    }
    Next();
    if (Peek().Is("DISTINCT")) {
      out.distinct = true;
      Next();
    } else if (Peek().Is("ALL") || Peek().Is("DISTINCTROW")) {
      Next();  // on one table both mean every row
    }
    SelectList(out);
    if (!Peek().Is("FROM")) ThrowSelectMisspelled();
    Next();
    out.table = TableName();
    if (Peek().Is("WHERE")) {
      Next();
      context_begin_ = Peek().begin;
      const size_t where_begin = context_begin_;
      out.where = Condition();
      out.where_text = std::string(Trim(sql_.substr(where_begin, Peek().begin - where_begin)));
    } else if (Peek().kind != TokenKind::kSemicolon && Peek().kind != TokenKind::kEnd) {
      ThrowFromClause();
    }
    End();
    return out;
  }

  ExprPtr Criteria() {
    context_begin_ = 0;
    ExprPtr e = Condition();
    End();
    return e;
  }

 private:
  const Token& Peek(size_t ahead = 0) const {
    return tokens_[std::min(pos_ + ahead, tokens_.size() - 1)];
  }
  const Token& Next() {
    const Token& t = tokens_[pos_];
    if (pos_ + 1 < tokens_.size()) ++pos_;
    return t;
  }

  std::string_view Context() const {
    if (context_begin_ >= statement_end_) return {};
    return Trim(sql_.substr(context_begin_, statement_end_ - context_begin_));
  }
  [[noreturn]] void Fail(SyntaxFault fault) const { ThrowSyntax(fault, Context()); }
  [[noreturn]] void FailBracketing(const Token& t) const {
    throw jet::Error(kErrInvalidBracketing,
                     "Invalid bracketing of name '" + std::string(sql_.substr(t.begin)) + "'.");
  }

  // After the statement: an optional semicolon, then nothing.
  void End() {
    if (Peek().kind == TokenKind::kRightParen) Fail(SyntaxFault::kExtraParen);
    if (Peek().kind == TokenKind::kSemicolon) {
      Next();
      if (Peek().kind != TokenKind::kEnd) {
        throw jet::Error(kErrCharactersAfterEnd, "Characters found after end of SQL statement.");
      }
    }
    if (Peek().kind != TokenKind::kEnd) Fail(SyntaxFault::kMissingOperator);
  }

  bool IsNameToken(const Token& t) const {
    return t.kind == TokenKind::kName || (t.kind == TokenKind::kWord && !IsReservedWord(t.text));
  }

  void SelectList(SelectStatement& out) {
    if (Peek().kind == TokenKind::kStar) {
      Next();
      out.all_columns = true;
      return;
    }
    for (;;) {
      const Token& first = Peek();
      if (first.kind == TokenKind::kUnterminatedName) FailBracketing(first);
      if (first.kind == TokenKind::kWord && IsReservedWord(first.text)) ThrowSelectMisspelled();
      if (first.kind == TokenKind::kEnd) ThrowSelectMisspelled();
      // Messages about a select item quote it up to FROM, as Jet quotes the item.
      context_begin_ = first.begin;
      for (size_t i = pos_; i < tokens_.size(); ++i) {
        if (tokens_[i].Is("FROM")) {
          statement_end_ = tokens_[i].begin;
          break;
        }
      }
      if (!IsNameToken(first)) Fail(SyntaxFault::kMissingOperator);
      SelectColumn column;
      column.name = std::string(Next().text);
      if (Peek().kind == TokenKind::kDot) {
        Next();
        if (!IsNameToken(Peek())) Fail(SyntaxFault::kMissingOperator);
        column.qualifier = std::move(column.name);
        column.name = std::string(Next().text);
      }
      if (Trim(column.name).empty()) Fail(SyntaxFault::kMissingOperator);
      out.columns.push_back(std::move(column));
      if (Peek().kind == TokenKind::kComma) {
        Next();
        continue;
      }
      if (!Peek().Is("FROM") && Peek().kind != TokenKind::kEnd) {
        Fail(SyntaxFault::kMissingOperator);
      }
      break;
    }
    // Back to the whole statement for the WHERE clause's messages.
    statement_end_ = sql_.size();
    for (const Token& t : tokens_) {
      if (t.kind == TokenKind::kSemicolon) {
        statement_end_ = t.begin;
        break;
      }
    }
  }

  std::string TableName() {
    const Token& t = Peek();
    if (!IsNameToken(t) || Trim(t.text).empty()) ThrowFromClause();
    return std::string(Next().text);
  }

  struct DepthGuard {
    explicit DepthGuard(Parser& p) : parser(p) {
      if (++parser.depth_ > kMaxDepth) parser.Fail(SyntaxFault::kGeneral);
    }
    ~DepthGuard() { --parser.depth_; }
    Parser& parser;
  };

  ExprPtr Condition() {
    if (Peek().kind == TokenKind::kEnd || Peek().kind == TokenKind::kSemicolon) {
      Fail(SyntaxFault::kMissingOperator);
    }
    return Or();
  }

  ExprPtr Or() {
    DepthGuard guard(*this);
    ExprPtr left = And();
    while (Peek().Is("OR")) {
      Next();
      left = Binary(ExprKind::kOr, std::move(left), And());
    }
    return left;
  }

  ExprPtr And() {
    ExprPtr left = Not();
    while (Peek().Is("AND")) {
      Next();
      left = Binary(ExprKind::kAnd, std::move(left), Not());
    }
    return left;
  }

  ExprPtr Not() {
    DepthGuard guard(*this);
    if (Peek().Is("NOT")) {
      Next();
      ExprPtr e = Make(ExprKind::kNot);
      e->args.push_back(Not());
      return e;
    }
    return Predicate();
  }

  ExprPtr Predicate() {
    ExprPtr left = Unary();
    for (;;) {
      const Token& t = Peek();
      if (t.kind == TokenKind::kOperator) {
        CompareOp op;
        if (t.text == "=") {
          op = CompareOp::kEqual;
        } else if (t.text == "<>") {
          op = CompareOp::kNotEqual;
        } else if (t.text == "<") {
          op = CompareOp::kLess;
        } else if (t.text == ">") {
          op = CompareOp::kGreater;
        } else if (t.text == "<=") {
          op = CompareOp::kLessEqual;
        } else if (t.text == ">=") {
          op = CompareOp::kGreaterEqual;
        } else {
          Fail(SyntaxFault::kMissingOperator);  // != and the like are not Jet's
        }
        Next();
        left = Binary(ExprKind::kCompare, std::move(left), Unary());
        left->op = op;
      } else if (t.Is("IS")) {
        Next();
        ExprPtr e = Make(ExprKind::kIsNull);
        if (Peek().Is("NOT")) {
          Next();
          e->negated = true;
        }
        if (!Peek().Is("NULL")) Fail(SyntaxFault::kMissingOperator);
        Next();
        e->args.push_back(std::move(left));
        left = std::move(e);
      } else if (t.Is("LIKE") || (t.Is("NOT") && Peek(1).Is("LIKE"))) {
        const bool negated = t.Is("NOT");
        if (negated) Next();
        Next();
        left = Binary(ExprKind::kLike, std::move(left), Unary());
        left->negated = negated;
      } else {
        return left;
      }
    }
  }

  ExprPtr Unary() {
    DepthGuard guard(*this);
    if (Peek().kind == TokenKind::kPlus) {
      Next();
      return Unary();
    }
    if (Peek().kind == TokenKind::kMinus) {
      Next();
      ExprPtr operand = Unary();
      if (operand->kind == ExprKind::kLiteral) {
        // Fold the sign into a number so that -5 is a constant like 5 (and usable as a key).
        jet::Value& v = operand->value;
        if (v.Is<int32_t>() && v.As<int32_t>() != INT32_MIN) {
          v = jet::Value(static_cast<int32_t>(-v.As<int32_t>()));
          return operand;
        }
        if (v.Is<double>()) {
          v = jet::Value(-v.As<double>());
          return operand;
        }
        if (v.Is<jet::Decimal>()) {
          jet::Decimal d = v.As<jet::Decimal>();
          d.negative = !d.negative;
          v = jet::Value(d);
          return operand;
        }
      }
      ExprPtr e = Make(ExprKind::kNegate);
      e->args.push_back(std::move(operand));
      return e;
    }
    return Primary();
  }

  ExprPtr Primary() {
    const Token& t = Peek();
    switch (t.kind) {
      case TokenKind::kNumber: {
        auto v = ReadNumber(t.text);
        if (!v) Fail(SyntaxFault::kMissingOperator);
        Next();
        ExprPtr e = Make(ExprKind::kLiteral);
        e->value = std::move(*v);
        return e;
      }
      case TokenKind::kString: {
        ExprPtr e = Make(ExprKind::kLiteral);
        e->value = jet::Value(std::string(Next().text));
        return e;
      }
      case TokenKind::kDate: {
        const auto d = ReadDate(t.text);
        if (!d) Fail(SyntaxFault::kDate);
        Next();
        ExprPtr e = Make(ExprKind::kLiteral);
        e->value = jet::Value(*d);
        return e;
      }
      case TokenKind::kUnterminatedString:
        Fail(SyntaxFault::kString);
      case TokenKind::kUnterminatedDate:
        Fail(SyntaxFault::kDate);
      case TokenKind::kUnterminatedName:
        FailBracketing(t);
      case TokenKind::kLeftParen: {
        Next();
        ExprPtr e = Or();
        if (Peek().kind != TokenKind::kRightParen) Fail(SyntaxFault::kMissingParen);
        Next();
        return e;
      }
      case TokenKind::kRightParen:
        Fail(SyntaxFault::kExtraParen);
      case TokenKind::kWord:
        if (t.Is("NULL") || t.Is("TRUE") || t.Is("FALSE")) {
          ExprPtr e = Make(ExprKind::kLiteral);
          if (!t.Is("NULL")) e->value = jet::Value(t.Is("TRUE"));
          Next();
          return e;
        }
        if (IsReservedWord(t.text)) Fail(SyntaxFault::kMissingOperator);
        return ColumnReference();
      case TokenKind::kName:
        if (Trim(t.text).empty()) Fail(SyntaxFault::kMissingOperator);
        return ColumnReference();
      default:
        Fail(SyntaxFault::kMissingOperator);
    }
  }

  ExprPtr ColumnReference() {
    ExprPtr e = Make(ExprKind::kColumn);
    e->name = std::string(Next().text);
    if (Peek().kind == TokenKind::kDot) {
      Next();
      if (!IsNameToken(Peek())) Fail(SyntaxFault::kMissingOperator);
      e->qualifier = std::move(e->name);
      e->name = std::string(Next().text);
    }
    return e;
  }

  std::string_view sql_;
  Tokens lexed_;
  const std::vector<Token>& tokens_;
  size_t pos_ = 0;
  size_t context_begin_ = 0;
  size_t statement_end_ = 0;
  int depth_ = 0;
};

}  // namespace

SelectStatement ParseSelect(std::string_view sql) { return Parser(sql).Select(); }

ExprPtr ParseCriteria(std::string_view criteria) { return Parser(criteria).Criteria(); }

ExprPtr CloneExpr(const Expr& e) {
  auto out = std::make_unique<Expr>();
  out->kind = e.kind;
  out->value = e.value;
  out->name = e.name;
  out->qualifier = e.qualifier;
  out->op = e.op;
  out->negated = e.negated;
  for (const ExprPtr& a : e.args) out->args.push_back(CloneExpr(*a));
  return out;
}

}  // namespace db
