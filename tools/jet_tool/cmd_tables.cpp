// jet-tool tables FILE: the user tables of a database, one name a line, in catalog order.
#include <iostream>

#include "jet/database.h"
#include "jet_tool/command.h"

namespace jet_tool {
namespace {

int RunTables(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError{"expected one database file"};
  const auto db = jet::Database::Open(args[0]);
  for (const std::string& name : db->TableNames()) std::cout << name << '\n';
  return 0;
}

const RegisterCommand kRegisterTables{
    {"tables", "FILE", "lists the user tables, one name a line", RunTables}};

}  // namespace
}  // namespace jet_tool
