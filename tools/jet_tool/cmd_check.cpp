// jet-tool check FILE: proves the file's rows, indexes, usage maps and counters agree.
// Prints a line "note: ..." for each deviation Access itself leaves and tolerates, then "ok"
// (exit 0) or one line a problem (exit 1).
#include <iostream>

#include "jet/consistency_check.h"
#include "jet/database.h"
#include "jet_tool/command.h"

namespace jet_tool {
namespace {

int RunCheck(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError{"expected one database file"};
  const auto db = jet::Database::Open(args[0]);
  const jet::CheckReport report = jet::CheckDatabaseReport(*db);
  for (const std::string& line : report.notes) std::cout << "note: " << line << '\n';
  if (report.problems.empty()) {
    std::cout << "ok\n";
    return 0;
  }
  for (const std::string& line : report.problems) std::cout << line << '\n';
  return 1;
}

const RegisterCommand kRegisterCheck{
    {"check", "FILE",
     "checks rows against indexes, usage maps and counters; prints a note: line for each "
     "deviation Access leaves and tolerates, then ok or one line a problem",
     RunCheck}};

}  // namespace
}  // namespace jet_tool
