#include "import/results_merge.h"

#include <string>

#include "db/schema.h"
#include "db/statements.h"
#include "import/value_compare.h"
#include "jet/error.h"

namespace import_task {
namespace {

// True when some field of the on-site line differs from its namesake in the main line; Null on
// either side counts as equal.
bool LineChanged(const db::Recordset& onsite, const db::Recordset& main) {
  const db::Fields fields = onsite.Fields();
  const db::Fields main_fields = main.Fields();
  for (size_t i = 0; i < fields.Count(); ++i) {
    const db::Field field = fields.Item(i);
    if (LinesDiffer(field.Value(), main_fields.Item(field.Name()).Value())) return true;
  }
  return false;
}

void RecordLine(ImportState& state, const std::string& cert_no, const db::Recordset& onsite,
                bool overwritten) {
  std::string test_no;
  try {
    test_no = CaptionText(onsite.Fields(db::schema::kTestNo).Value());
  } catch (const jet::Error&) {
    // A line without Test_No is still written; the report shows it without one.
  }
  state.report.rows.push_back(ResultRow(cert_no, test_no, overwritten));
}

}  // namespace

void FindAdditional(db::Database& MobileDB, db::Database& homeDB, const jet::Value& Inst_Id,
                    const jet::Value& Cal_Ref, ImportState& state) {
  const std::string inst_id = db::ConcatText(Inst_Id);
  db::Recordset onsite = MobileDB.OpenRecordset(db::ImportAdditionalDataSql(inst_id, Cal_Ref));
  if (onsite.Eof()) return;
  db::Recordset main = homeDB.OpenRecordset(db::ImportAdditionalDataTableSql());
  main.FindFirst(db::ImportAdditionalDataCriteria(inst_id, Cal_Ref));
  // Only the first on-site row is merged, and a found main row is overwritten unseen.
  const bool found = !main.Eof();
  db::CopyFieldsByName(onsite, main, /*edit=*/found);
  main.Close();
  state.report.rows.push_back(AdditionalDataRow(inst_id, CaptionText(Cal_Ref), found));
}

void FindResults(db::Database& MobileDB, db::Database& homeDB, const jet::Value& Cert_No,
                 bool NewCalEntry, ImportState& state) {
  if (Cert_No.IsNull()) return;
  const std::string cert_no = db::ConcatText(Cert_No);
  db::Recordset onsite = MobileDB.OpenRecordset(db::ImportResultsSql(cert_no));
  db::Recordset main = homeDB.OpenRecordset(db::ImportResultsTableSql());
  while (!onsite.Eof()) {
    if (NewCalEntry) {
      // The calibration was not in the main database: its lines are appended unseen.
      CountOne(state.NewResultCount);
      db::CopyFieldsByName(onsite, main);
      RecordLine(state, cert_no, onsite, /*overwritten=*/false);
    } else {
      main.FindFirst(db::ImportResultCriteria(cert_no, onsite.Fields(db::schema::kTestNo).Value()));
      const bool found = !main.Eof();
      if (!found || LineChanged(onsite, main)) {
        CountOne(state.NewResultCount);
        db::CopyFieldsByName(onsite, main, /*edit=*/found);
        RecordLine(state, cert_no, onsite, found);
      }
    }
    onsite.MoveNext();
  }
  onsite.Close();
  main.Close();
}

}  // namespace import_task
