#include "db/sql_errors.h"

#include "jet/error.h"

namespace db {

void ThrowSyntax(SyntaxFault fault, std::string_view expression) {
  const std::string quoted = "query expression '" + std::string(expression) + "'.";
  std::string text;
  switch (fault) {
    case SyntaxFault::kMissingOperator:
      text = "Syntax error (missing operator) in " + quoted;
      break;
    case SyntaxFault::kString:
      text = "Syntax error in string in " + quoted;
      break;
    case SyntaxFault::kDate:
      text = "Syntax error in date in " + quoted;
      break;
    case SyntaxFault::kExtraParen:
      text = "Extra ) in " + quoted;
      break;
    case SyntaxFault::kMissingParen:
      text = "Missing ), ], or Item in " + quoted;
      break;
    case SyntaxFault::kGeneral:
      text = "Syntax error in " + quoted;
      break;
    case SyntaxFault::kPattern:
      text = "Invalid pattern string in " + quoted;
      break;
  }
  throw jet::Error(kErrSyntaxInExpression, text);
}

void ThrowTypeMismatch() { jet::ThrowStandard(kErrTypeMismatch); }

}  // namespace db

namespace db {

void ThrowUnknownNames(const std::vector<std::string>& names) {
  std::string text =
      "Too few parameters. Expected " + std::to_string(names.size()) + ". Unknown name";
  text += names.size() == 1 ? ": " : "s: ";
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += ", ";
    text += "'" + names[i] + "'";
  }
  throw jet::Error(kErrTooFewParameters, text + ".");
}

}  // namespace db
