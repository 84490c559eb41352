// The data control behind a bound customer list: a database name, a record source, and the
// recordset a refresh gives. The database stays open while the control lives, so the list keeps
// its own connection to the main database; a later refresh on the same name reuses it.
#pragma once

#include <string>

#include "db/dao_database.h"
#include "db/dao_recordset.h"

namespace db {

class DataControl {
 public:
  DataControl() = default;
  ~DataControl();
  DataControl(const DataControl&) = delete;
  DataControl& operator=(const DataControl&) = delete;

  // The connect text naming the file type; kept for the window's properties, it changes
  // nothing here (every file is an Access 2000 one).
  const std::string& Connect() const { return connect_; }
  void SetConnect(std::string connect) { connect_ = std::move(connect); }

  const std::string& DatabaseName() const { return database_name_; }
  void SetDatabaseName(std::string path);
  const std::string& RecordSource() const { return record_source_; }
  void SetRecordSource(std::string source) { record_source_ = std::move(source); }

  // Opens the database when not open yet, closes the previous recordset and opens the record
  // source. Errors pass through; the control then has no recordset, and the database, when it
  // opened, stays open for the next refresh.
  void Refresh();

  // The recordset of the last successful refresh; with none, every operation on it fails.
  db::Recordset& Recordset() { return recordset_; }
  db::Database& Database() { return database_; }

 private:
  std::string connect_ = "Access 2000;";
  std::string database_name_;
  std::string record_source_;
  db::Database database_;
  db::Recordset recordset_;
};

}  // namespace db
