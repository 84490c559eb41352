// The engine object and its default workspace, through which every database is opened.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/dao_database.h"
#include "jet/page_file.h"

namespace db {

class OpenFile;

class Workspace {
 public:
  // Opens an existing database shared, read-write unless `mode` says read-only (DAO's ReadOnly
  // argument). The engine's errors pass through: 3024 for a missing file, 3343 for one that is
  // not a database, 3045 when another program holds it for writing (read-only opens stay
  // possible then). A file already open in this process is shared, not opened again, where the
  // open file allows what is asked: a read-only open reads through a writer of ours.
  Database OpenDatabase(const std::string& path, jet::OpenMode mode = jet::OpenMode::kReadWrite);

 private:
  std::vector<std::weak_ptr<OpenFile>> files_;
};

class Engine {
 public:
  // The default workspace is the only one: 3265 for any other index.
  Workspace& Workspaces(int index);
  Database OpenDatabase(const std::string& path, jet::OpenMode mode = jet::OpenMode::kReadWrite) {
    return Workspaces(0).OpenDatabase(path, mode);
  }

 private:
  Workspace default_workspace_;
};

// The engine, created on first use and kept to the end of the program.
Engine& DBEngine();

}  // namespace db
