#include "db/data_control.h"

#include "db/dao_engine.h"

namespace db {

DataControl::~DataControl() {
  recordset_.Close();
  database_.Close();
}

void DataControl::SetDatabaseName(std::string path) {
  if (path == database_name_) return;
  // Pointing the control elsewhere lets the old file go.
  recordset_.Close();
  recordset_ = db::Recordset();
  database_.Close();
  database_ = db::Database();
  database_name_ = std::move(path);
}

void DataControl::Refresh() {
  recordset_.Close();
  recordset_ = db::Recordset();
  if (!database_.IsOpen()) database_ = DBEngine().OpenDatabase(database_name_);
  recordset_ = database_.OpenRecordset(record_source_);
}

}  // namespace db
