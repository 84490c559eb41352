// An open database, as the task code sees it: recordsets over its tables and statements, and
// its table definitions.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/dao_recordset.h"
#include "jet/table_def.h"

namespace db {

class OpenFile;

// A table's definition: its name and columns in column-number order.
class TableDef {
 public:
  const std::string& Name() const { return name_; }
  const jet::TableDef& def() const { return *def_; }
  size_t FieldCount() const { return def_->columns.size(); }

 private:
  friend class Database;
  TableDef(std::shared_ptr<OpenFile> file, std::string name, const jet::TableDef& def)
      : file_(std::move(file)), name_(std::move(name)), def_(&def) {}
  std::shared_ptr<OpenFile> file_;  // keeps the definition alive
  std::string name_;
  const jet::TableDef* def_;
};

class DatabaseImpl;

// A handle: copies share one open database, as object variables do.
class Database {
 public:
  Database() = default;  // no database: every operation fails with 3420

  // A table name gives the whole table; a SELECT text gives its rows (see dao_recordset.h).
  // Both are updatable but for SELECT DISTINCT. 3078 for an unknown table; the SQL layer's
  // errors for a rejected statement.
  Recordset OpenRecordset(std::string_view source);
  // 3265 when there is no such table.
  TableDef TableDefs(std::string_view name);
  // The file's path as it was opened.
  const std::string& Name() const;
  // Closes the database and every recordset opened on it; the file itself closes when no
  // other Database object holds it.
  void Close();
  bool IsOpen() const;

 private:
  friend class Workspace;
  explicit Database(std::shared_ptr<DatabaseImpl> impl) : impl_(std::move(impl)) {}
  DatabaseImpl& impl() const;

  std::shared_ptr<DatabaseImpl> impl_;
};

}  // namespace db
