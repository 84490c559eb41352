#include "tasks/copy_walk.h"

#include "tasks/rule_steps.h"

namespace tasks {

void ShowWalkProgress(FailureRule& rule, TaskUi& ui, const std::string& status,
                      db::Recordset& walked) {
  rule.Run([&] { ui.progress.SetStatus(status); });
  rule.Run([&] { ui.progress.SetBar(walked.PercentPosition()); });
  rule.Run([&] { ui.progress.LetEventsRun(); });
}

int64_t CopyEveryRow(FailureRule& rule, db::Recordset& source, db::Recordset& target) {
  int64_t rows = 0;
  while (!AtEnd(rule, source)) {
    ++rows;
    CopyRow(rule, source, target);
    if (!MoveNext(rule, source)) break;
  }
  return rows;
}

int64_t CopyQueryRows(FailureRule& rule, db::Database& from, std::string_view statement,
                      db::Database& to, std::string_view table) {
  db::Recordset source;
  db::Recordset target;
  Open(rule, from, statement, source);
  Open(rule, to, table, target);
  const int64_t rows = CopyEveryRow(rule, source, target);
  Close(rule, source);
  Close(rule, target);
  return rows;
}

void FinishCopy(FailureRule& rule, TaskUi& ui, CopyDatabases& databases, db::Recordset& instruments,
                const platform::Message& done) {
  Close(rule, databases.new_instruments);
  Close(rule, instruments);
  Close(rule, databases.main);
  Close(rule, databases.target);
  rule.Run([&] { ui.progress.Unload(); });
  rule.Run([&] { ui.prompter.Show(done); });
  rule.Run([&] { ui.window.SetBusy(false); });
}

}  // namespace tasks
