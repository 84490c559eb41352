// quorbase undo-import RESULTS_FOLDER: puts RESULTS_FOLDER\Quorbase.mdb back as it was before
// the last import, from the backup that import made, when nobody has changed or opened it since.
// Prints what it did or why it did nothing; exit status 1 when nothing was restored.
#include <iostream>
#include <string>

#include "app/program_values.h"
#include "import/undo_import.h"
#include "platform/files.h"
#include "quorbase/command.h"

namespace quorbase_tool {
namespace {

int RunUndoImport(const std::vector<std::string>& args) {
  if (args.size() != 1 || args[0].starts_with("--")) {
    throw UsageError{"undo-import needs RESULTS_FOLDER"};
  }
  const import_task::UndoOutcome outcome =
      import_task::UndoLastImport(platform::NativePath(args[0] + app::kMainDatabaseName));
  (outcome.restored ? std::cout : std::cerr) << outcome.message << "\n";
  return outcome.restored ? 0 : 1;
}

const RegisterCommand kRegister({
    .name = "undo-import",
    .usage = "RESULTS_FOLDER",
    .summary = "put RESULTS_FOLDER\\Quorbase.mdb back as it was before the last import, if "
               "nobody changed it since and nobody has it open",
    .run = RunUndoImport,
});

}  // namespace
}  // namespace quorbase_tool
