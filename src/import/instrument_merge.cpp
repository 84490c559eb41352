#include "import/instrument_merge.h"

#include <string>

#include "db/schema.h"
#include "db/statements.h"
#include "jet/error.h"

namespace import_task {

void ScanInstruments(db::Database& MobileDB, db::Database& homeDB, ImportState& state) {
  db::Recordset onsite = MobileDB.OpenRecordset(db::ImportInstrumentIdsSql());
  // An on-site file without instruments fails here, before any calibration is looked at.
  onsite.MoveFirst();
  db::Recordset lookup;
  while (!onsite.Eof()) {
    const std::string inst_id = db::ConcatText(onsite.Fields(db::schema::kInstId).Value());
    lookup = homeDB.OpenRecordset(db::ImportInstrumentIdSql(inst_id));
    if (lookup.Eof()) {
      // Counted before the copy, so an instrument whose copy fails is counted too.
      CountOne(state.NewInstrumentCount);
      db::Recordset source = MobileDB.OpenRecordset(db::ImportInstrumentSql(inst_id));
      db::Recordset target = homeDB.OpenRecordset(db::schema::kInstruments);
      try {
        db::CopyFieldsByName(source, target);
      } catch (const jet::Error&) {
        // The half-made row is not saved.
        target.Close();
        throw;
      }
      target.Close();
      state.report.rows.push_back(InstrumentRow(inst_id));
    }
    onsite.MoveNext();
  }
  onsite.Close();
  if (lookup.IsOpen()) lookup.Close();
}

}  // namespace import_task
