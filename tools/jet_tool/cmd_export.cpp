// jet-tool export FILE TABLE: a table as CSV (RFC 4180), rows in the order a scan returns them.
#include <iostream>

#include "jet/database.h"
#include "jet_tool/command.h"
#include "jet_tool/csv.h"

namespace jet_tool {
namespace {

int RunExport(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected a database file and a table name"};
  const auto db = jet::Database::Open(args[0]);
  // The Table must outlive its cursor, which points back at it.
  const jet::Table table = db->OpenTable(args[1]);

  std::vector<std::string> fields;
  for (const jet::ColumnDef& column : table.columns()) fields.push_back(CsvName(column.name));
  std::cout << CsvRecord(fields);

  jet::Table::Cursor cursor = table.Scan();
  while (cursor.Next()) {
    fields.clear();
    for (const jet::Value& value : cursor.values()) fields.push_back(CsvField(value));
    std::cout << CsvRecord(fields);
  }
  std::cout.flush();
  return std::cout ? 0 : 1;
}

const RegisterCommand kRegisterExport{{"export", "FILE TABLE",
                                       "writes a table as CSV: a header line, then one line a row",
                                       RunExport}};

}  // namespace
}  // namespace jet_tool
