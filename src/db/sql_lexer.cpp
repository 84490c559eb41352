#include "db/sql_lexer.h"

#include <array>

namespace db {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Names take letters, digits and underscores; bytes of multi-byte UTF-8 letters count too.
bool IsNameChar(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_' || u >= 0x80;
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualsUpper(std::string_view word, std::string_view upper) {
  if (word.size() != upper.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    if (Upper(word[i]) != upper[i]) return false;
  }
  return true;
}

// Length of a number starting at `i` (digits, optional fraction, optional exponent).
size_t NumberLength(std::string_view s, size_t i) {
  const size_t start = i;
  while (i < s.size() && IsDigit(s[i])) ++i;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && IsDigit(s[i])) ++i;
  }
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    size_t j = i + 1;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
    if (j < s.size() && IsDigit(s[j])) {
      i = j;
      while (i < s.size() && IsDigit(s[i])) ++i;
    }
  }
  return i - start;
}

}  // namespace

bool Token::Is(std::string_view keyword) const {
  return kind == TokenKind::kWord && EqualsUpper(text, keyword);
}

bool IsReservedWord(std::string_view word) {
  static constexpr std::array<std::string_view, 18> kReserved = {
      "SELECT", "DISTINCT", "DISTINCTROW", "ALL",  "FROM",  "WHERE", "AND",   "OR",    "NOT",
      "IS",     "NULL",     "LIKE",        "TRUE", "FALSE", "ORDER", "GROUP", "UNION", "AS"};
  for (std::string_view r : kReserved) {
    if (EqualsUpper(word, r)) return true;
  }
  return false;
}

Tokens Tokenize(std::string_view sql) {
  Tokens tokens;
  std::vector<Token>& out = tokens.list;
  out.reserve(sql.size() / 4 + 4);  // statements average a token every five or six characters
  size_t i = 0;
  auto emit = [&](TokenKind kind, size_t begin, size_t end, std::string_view text) {
    out.push_back(Token{kind, text, begin, end});
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (IsSpace(c)) {
      ++i;
      continue;
    }
    const size_t begin = i;
    if (c == '\'' || c == '"') {
      // A doubled quote inside stands for one quote character. Without one, the text is the
      // statement's own characters between the quotes.
      size_t j = i + 1;
      bool closed = false;
      bool doubled = false;
      while (j < sql.size()) {
        if (sql[j] == c) {
          if (j + 1 < sql.size() && sql[j + 1] == c) {
            doubled = true;
            j += 2;
            continue;
          }
          closed = true;
          break;
        }
        ++j;
      }
      std::string_view text = sql.substr(i + 1, j - i - 1);
      if (doubled) {
        std::string value;
        for (size_t k = 0; k < text.size(); ++k) {
          value.push_back(text[k]);
          if (text[k] == c) ++k;  // the second of a doubled pair
        }
        text = tokens.unquoted.emplace_back(std::move(value));
      }
      if (closed) ++j;
      emit(closed ? TokenKind::kString : TokenKind::kUnterminatedString, begin, j, text);
      i = j;
    } else if (c == '[') {
      const size_t close = sql.find(']', i + 1);
      if (close == std::string_view::npos) {
        emit(TokenKind::kUnterminatedName, begin, sql.size(), sql.substr(i + 1));
        i = sql.size();
      } else {
        emit(TokenKind::kName, begin, close + 1, sql.substr(i + 1, close - i - 1));
        i = close + 1;
      }
    } else if (c == '#') {
      const size_t close = sql.find('#', i + 1);
      if (close == std::string_view::npos) {
        emit(TokenKind::kUnterminatedDate, begin, sql.size(), sql.substr(i + 1));
        i = sql.size();
      } else {
        emit(TokenKind::kDate, begin, close + 1, sql.substr(i + 1, close - i - 1));
        i = close + 1;
      }
    } else if (IsDigit(c) || (c == '.' && i + 1 < sql.size() && IsDigit(sql[i + 1]) &&
                              (out.empty() || (out.back().kind != TokenKind::kWord &&
                                               out.back().kind != TokenKind::kName)))) {
      const size_t n = NumberLength(sql, i);
      emit(TokenKind::kNumber, begin, i + n, sql.substr(i, n));
      i += n;
    } else if (IsNameChar(c)) {
      size_t j = i;
      while (j < sql.size() && IsNameChar(sql[j])) ++j;
      emit(TokenKind::kWord, begin, j, sql.substr(i, j - i));
      i = j;
    } else if (c == '<' || c == '>' || c == '=' || c == '!') {
      size_t n = 1;
      if (i + 1 < sql.size()) {
        const char d = sql[i + 1];
        if ((c == '<' && (d == '>' || d == '=')) || (c == '>' && d == '=') ||
            (c == '!' && d == '=') || (c == '=' && (d == '<' || d == '>'))) {
          n = 2;
        }
      }
      const TokenKind kind = (c == '!' && n == 1) ? TokenKind::kOther : TokenKind::kOperator;
      emit(kind, begin, i + n, sql.substr(i, n));
      i += n;
    } else {
      TokenKind kind = TokenKind::kOther;
      switch (c) {
        case ',':
          kind = TokenKind::kComma;
          break;
        case '(':
          kind = TokenKind::kLeftParen;
          break;
        case ')':
          kind = TokenKind::kRightParen;
          break;
        case '*':
          kind = TokenKind::kStar;
          break;
        case '.':
          kind = TokenKind::kDot;
          break;
        case '+':
          kind = TokenKind::kPlus;
          break;
        case '-':
          kind = TokenKind::kMinus;
          break;
        case ';':
          kind = TokenKind::kSemicolon;
          break;
        default:
          break;
      }
      emit(kind, begin, i + 1, sql.substr(i, 1));
      ++i;
    }
  }
  out.push_back(Token{TokenKind::kEnd, {}, sql.size(), sql.size()});
  return tokens;
}

}  // namespace db
