// What the on-site export and the rebuild do alike once their copy has started (StartCopy):
// each instrument's progress, the copy of every row a query finds, and the ending. Each step
// runs under the command's failure rule, as every step of those commands does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/dao.h"
#include "tasks/copy_start.h"
#include "tasks/failure_rule.h"
#include "tasks/task_ui.h"

namespace tasks {

// Shows `status` and the walk's position in `walked`, then lets the window system run once,
// so that the window repaints and its clicks are handled during the copy.
void ShowWalkProgress(FailureRule& rule, TaskUi& ui, const std::string& status,
                      db::Recordset& walked);

// Copies every row from the current one of `source` into `target` by field name. Returns the
// rows walked, copied or, under a handling rule, skipped.
int64_t CopyEveryRow(FailureRule& rule, db::Recordset& source, db::Recordset& target);

// Opens `statement` on `from` and table `table` on `to`, copies every row the statement finds
// and closes both. Returns the rows walked.
int64_t CopyQueryRows(FailureRule& rule, db::Database& from, std::string_view statement,
                      db::Database& to, std::string_view table);

// The ending: closes the instruments' walk, the target's Instruments and both databases,
// unloads the progress window, shows `done` and gives the window back to the user.
void FinishCopy(FailureRule& rule, TaskUi& ui, CopyDatabases& databases, db::Recordset& instruments,
                const platform::Message& done);

}  // namespace tasks
