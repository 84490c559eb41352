// Finishing the copy of one calibration: its additional-data row and its result lines. Neither
// procedure handles failures: the first failing step ends it and the calibration merge decides
// what that means.
#pragma once

#include "db/dao.h"
#include "import/import_state.h"
#include "jet/value.h"

namespace import_task {

// Adds the calibration's first on-site additional-data row to the main database, or
// overwrites the main row found for the calibration with it. Nothing is counted; the row
// written goes into the state's report.
void FindAdditional(db::Database& MobileDB, db::Database& homeDB, const jet::Value& Inst_Id,
                    const jet::Value& Cal_Ref, ImportState& state);

// Brings the certificate's on-site result lines over. A calibration new to the main database
// (`NewCalEntry`) has every line appended; one that replaced the main version is merged line by
// line, matched by Test_No: unchanged lines are left alone, changed ones overwritten in place,
// missing ones appended. Each line written counts once. A Null certificate has no lines.
void FindResults(db::Database& MobileDB, db::Database& homeDB, const jet::Value& Cert_No,
                 bool NewCalEntry, ImportState& state);

}  // namespace import_task
