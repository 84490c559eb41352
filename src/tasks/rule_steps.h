// The steps of a long command's walks and copies, each run under the command's failure rule.
//
// A walk whose end test or move fails ends: its recordset may never have opened (the database
// did not open, a statement was rejected), and a loop that skipped a failing test or move
// would run its body on the same row for ever.
#pragma once

#include <string>
#include <string_view>

#include "db/dao.h"
#include "db/statements.h"
#include "tasks/failure_rule.h"

namespace tasks {

// The walk's end test: true at EOF, and when the test itself fails.
bool AtEnd(FailureRule& rule, db::Recordset& rs);
// Moves to the next row; false when the move failed, which must end the walk.
bool MoveNext(FailureRule& rule, db::Recordset& rs);

// Opens `source` on `database`. `rs` is emptied first, so that a statement or table that
// fails to open leaves its scope without rows instead of with an earlier scope's recordset.
void Open(FailureRule& rule, db::Database& database, std::string_view source, db::Recordset& rs);
// Opens a walked query with MoveLast and MoveFirst, so that PercentPosition is exact.
void OpenCounted(FailureRule& rule, db::Database& database, std::string_view source,
                 db::Recordset& rs);
void Close(FailureRule& rule, db::Recordset& rs);
void Close(FailureRule& rule, db::Database& database);

// Copies the source's current row into `target` by field name. While the rule passes failures up
// this is CopyFieldsByName itself. While it handles them each step of the copy runs under it: a
// field the target lacks is left out and the row is still written; a row whose Update fails is not
// written (its pending row is dropped by the next AddNew).
void CopyRow(FailureRule& rule, const db::Recordset& source, db::Recordset& target);

// A field's value as text for a statement or a log; Null fails (94) as concatenation does.
std::string FieldText(const db::Recordset& rs, std::string_view field);
// True when the field holds a value other than Null and the empty text.
bool HasText(const db::Recordset& rs, std::string_view field);

}  // namespace tasks
