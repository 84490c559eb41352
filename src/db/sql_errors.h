// The SQL layer's errors, with the numbers of the one catalogue (jet/error.h) and the texts
// Jet gives them, so that callers and the staff who look numbers up see what Access would
// show them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "jet/error.h"

namespace db {

using jet::kErrCharactersAfterEnd;
using jet::kErrInvalidBracketing;
using jet::kErrInvalidStatement;
using jet::kErrSelectMisspelled;
using jet::kErrSyntaxInExpression;
using jet::kErrSyntaxInFrom;
using jet::kErrTooFewParameters;
using jet::kErrTypeMismatch;

// The kinds of syntax error Jet tells apart in its 3075 message.
enum class SyntaxFault {
  kMissingOperator,  // "Syntax error (missing operator) in query expression '...'."
  kString,           // an unterminated quoted text
  kDate,             // an unterminated or impossible #date#
  kExtraParen,       // "Extra ) in query expression '...'."
  kMissingParen,     // "Missing ), ], or Item in query expression '...'."
  kGeneral,          // "Syntax error in query expression '...'."
  kPattern,          // a LIKE pattern that cannot be read
};

// Throws 3075 with Jet's description for `fault`, quoting the query expression it was found in.
[[noreturn]] void ThrowSyntax(SyntaxFault fault, std::string_view expression);
// Throws 3464, "Data type mismatch in criteria expression."
[[noreturn]] void ThrowTypeMismatch();

}  // namespace db

namespace db {

// Throws 3061 as Jet does for names it cannot resolve (it takes them for parameters), naming
// them so that the message is of use: "Too few parameters. Expected 1. Unknown name: 'Foo'."
[[noreturn]] void ThrowUnknownNames(const std::vector<std::string>& names);

}  // namespace db
