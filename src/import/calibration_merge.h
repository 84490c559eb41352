// The calibration merge: each on-site calibration is added to the main database when it is
// new there, replaces the main version when the two differ and the scoring rule favours it,
// and is otherwise left out. A copied calibration brings its additional data and result
// lines. Failures end the merge until the first pair of versions is scored; from then on a
// failing step is skipped.
#pragma once

#include "db/dao.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "tasks/progress.h"

namespace import_task {

void ScanCalibrations(db::Database& MobileDB, db::Database& homeDB, ImportState& state,
                      ImportLog& log, tasks::Progress& progress);

}  // namespace import_task
