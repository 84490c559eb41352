#include "app/init_database.h"

#include "app/program_values.h"
#include "db/dao.h"
#include "platform/files.h"

namespace app {

jet::Value ReadResultsPath(const std::string& path) {
  db::Database database = db::DBEngine().OpenDatabase(platform::NativePath(path));
  // A table recordset stands on the first record; with no record, reading the field fails
  // with the engine's "No current record".
  db::Recordset initialize = database.OpenRecordset(kInitTableName);
  jet::Value results_path = initialize.Fields(std::string_view(kResultsPathField)).Value();
  initialize.Close();
  database.Close();
  return results_path;
}

}  // namespace app
