// A demo results folder, laid out as a laboratory's installation is:
//
//   FOLDER/Quorinit.MDB                 table INITIALIZE, RESULTS_PATH = absolute FOLDER/results
//   FOLDER/results/Quorbase.mdb         the laboratory's results
//   FOLDER/results/Empty_Quorbase.mdb   the same tables without rows
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "demo/demo_laboratory.h"
#include "demo/demo_writer.h"

namespace demo {

inline constexpr char kInitDatabaseFile[] = "Quorinit.MDB";
inline constexpr char kResultsFolder[] = "results";
inline constexpr char kMainDatabaseFile[] = "Quorbase.mdb";
inline constexpr char kEmptyDatabaseFile[] = "Empty_Quorbase.mdb";

struct DemoFolderPaths {
  std::string init_database;
  std::string results_folder;  // absolute, as RESULTS_PATH holds it
  std::string main_database;
  std::string empty_database;
};

// Where the files of a demo folder lie; `folder` may be relative.
DemoFolderPaths DemoPaths(const std::string& folder);

struct DemoFolderOptions {
  std::string folder;
  int instruments = kDefaultInstruments;
  uint32_t seed = 1;
  // Replace a results database that already holds data.
  bool force = false;
  DemoProgress progress;
};

// A refusal that leaves every file as it was (an existing laboratory without `force`).
class DemoRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Makes the demo folder. Each database is built under a temporary name and put in place only
// when complete, so an interrupted run never leaves a half-made laboratory that a second run
// would then refuse to replace. Throws DemoRefused, the engine's errors, and
// std::filesystem::filesystem_error.
DemoCounts MakeDemoFolder(const DemoFolderOptions& options);

}  // namespace demo
