// The instrument merge: every on-site instrument whose Inst_Id the main database lacks is
// copied into it. Instruments the main database has are never compared or changed. It has no
// failure handling of its own: any failure ends it and goes to the update's error prompt.
#pragma once

#include "db/dao.h"
#include "import/import_state.h"

namespace import_task {

void ScanInstruments(db::Database& MobileDB, db::Database& homeDB, ImportState& state);

}  // namespace import_task
