// jet-tool copy [--quiet] SRC DST: a new database DST holding every user table of SRC (columns,
// indexes, rows, autonumber counters), written by our own engine. Prints "N tables, M rows" when
// done; on standard error a line per table as it is copied (unless --quiet: copies of large
// files take a while, scripts and tests want silence) and a "note:" line for each thing the copy
// does differently from the source.
#include <iostream>

#include "jet/database_copy.h"
#include "jet_tool/command.h"

namespace jet_tool {
namespace {

int RunCopy(const std::vector<std::string>& args) {
  std::vector<std::string> files;
  bool quiet = false;
  for (const std::string& arg : args) {
    if (arg == "--quiet" || arg == "-q") {
      quiet = true;
    } else if (!arg.empty() && arg[0] == '-') {
      throw UsageError{"unknown option '" + arg + "'"};
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 2) throw UsageError{"expected a source database and a new file's name"};

  const auto report = [&](const jet::CopiedTable& table) {
    if (quiet) return;
    std::cerr << "copied " << table.number << "/" << table.count << " " << table.name << ": "
              << table.rows << (table.rows == 1 ? " row\n" : " rows\n");
  };
  const jet::CopySummary summary = jet::CopyDatabase(files[0], files[1], report);
  for (const std::string& note : summary.notes) std::cerr << "note: " << note << '\n';
  std::cout << summary.tables << (summary.tables == 1 ? " table, " : " tables, ") << summary.rows
            << (summary.rows == 1 ? " row\n" : " rows\n");
  return 0;
}

const RegisterCommand kRegisterCopy{
    {"copy", "[--quiet] SRC DST",
     "writes a new database DST with every user table of SRC: columns, indexes, rows and "
     "autonumber counters (never over an existing file)",
     RunCopy}};

}  // namespace
}  // namespace jet_tool
