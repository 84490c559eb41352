// Initialisation databases made with our engine, as the laboratory's installer leaves them:
// table INITIALIZE with a text field RESULTS_PATH.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace app::testing {

// One RESULTS_PATH per record, in order; nullopt is a Null field.
using InitRecords = std::vector<std::optional<std::string>>;

// Writes `folder`/Quorinit.MDB holding INITIALIZE with the given records.
std::string MakeInitDatabase(const std::string& folder, const InitRecords& records);
// Quorinit.MDB without table INITIALIZE (a database, but not the right one).
std::string MakeInitDatabaseWithoutTable(const std::string& folder);
// Quorinit.MDB whose INITIALIZE has a record but no RESULTS_PATH field.
std::string MakeInitDatabaseWithoutField(const std::string& folder);
// A file named Quorinit.MDB that is not a database.
std::string MakeNonDatabase(const std::string& folder);

// A fresh empty folder.
std::string NewFolder(const std::string& name);

// Keeps the process's current folder across a test that changes it.
class CurrentFolderGuard {
 public:
  CurrentFolderGuard();
  ~CurrentFolderGuard();

 private:
  std::string saved_;
};

}  // namespace app::testing
