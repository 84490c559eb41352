// What a Database handle shares: its file, its name, and the recordsets opened on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/dao_database.h"

namespace db {

class OpenFile;
class RecordsetImpl;

class DatabaseImpl {
 public:
  DatabaseImpl(std::shared_ptr<OpenFile> file, std::string name)
      : file_(std::move(file)), name_(std::move(name)) {}

  OpenFile& file();
  const std::shared_ptr<OpenFile>& shared_file();
  const std::string& name() const { return name_; }
  bool open() const { return file_ != nullptr; }

  void Opened(const Recordset& rs);
  void Close();

 private:
  std::shared_ptr<OpenFile> file_;
  std::string name_;
  // Closed with the database; a recordset the caller let go of is gone already.
  std::vector<std::weak_ptr<RecordsetImpl>> recordsets_;
};

}  // namespace db
