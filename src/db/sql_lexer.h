// Splitting a Jet SQL text into tokens. The lexer never fails: a quoted text, #date# or
// [name] that does not end becomes a token of its own kind, and the parser reports it with the
// query expression it belongs to, as Jet does.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace db {

enum class TokenKind {
  kWord,      // a bare name or a keyword
  kName,      // a [bracketed name]; text is the name without brackets
  kString,    // 'text' or "text"; text is the value, doubled quotes made single
  kNumber,    // 12, 1.5, .5, 1E3; text as written
  kDate,      // #...#; text is what lies between the # signs
  kOperator,  // = <> < > <= >= (also != and =< =>, which Jet does not know; the parser refuses)
  kComma,
  kLeftParen,
  kRightParen,
  kStar,
  kDot,
  kPlus,
  kMinus,
  kSemicolon,
  kOther,               // any other character
  kUnterminatedString,  // a quote with no closing quote
  kUnterminatedDate,    // a # with no closing #
  kUnterminatedName,    // a [ with no closing ]
  kEnd,
};

// A token's text lies in the statement, or (a quoted text with doubled quotes) in its Tokens;
// it lives as long as both.
struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string_view text;
  size_t begin = 0;  // offset in the statement
  size_t end = 0;    // one past the last character

  // True for a kWord equal to `keyword` (ASCII, upper case) in any letter case.
  bool Is(std::string_view keyword) const;
};

struct Tokens {
  std::vector<Token> list;           // always ending with one kEnd token
  std::deque<std::string> unquoted;  // the texts of quoted texts that held doubled quotes
};

// The tokens of `sql`.
Tokens Tokenize(std::string_view sql);

// Words that cannot stand bare as names in the statements we read.
bool IsReservedWord(std::string_view word);

}  // namespace db
