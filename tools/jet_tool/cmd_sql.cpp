// jet-tool sql FILE STATEMENT: runs a SELECT through the data-access layer, as the tasks run
// theirs, and writes the rows as `jet-tool export` does: a header line, then one line a row.
#include <iostream>

#include "db/dao.h"
#include "db/sql_parser.h"
#include "jet_tool/command.h"
#include "jet_tool/csv.h"

namespace jet_tool {
namespace {

int RunSql(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected a database file and a SELECT statement"};
  // Anything but a SELECT is refused with the parser's own error, not taken for a table name.
  db::ParseSelect(args[1]);
  db::Database database = db::DBEngine().OpenDatabase(args[0]);
  db::Recordset rs = database.OpenRecordset(args[1]);
  const db::Fields fields = rs.Fields();

  std::vector<std::string> line;
  for (size_t i = 0; i < fields.Count(); ++i) line.push_back(CsvName(fields.Item(i).Name()));
  std::cout << CsvRecord(line);
  for (; !rs.Eof(); rs.MoveNext()) {
    line.clear();
    for (size_t i = 0; i < fields.Count(); ++i) line.push_back(CsvField(fields.Item(i).Value()));
    std::cout << CsvRecord(line);
  }
  rs.Close();
  database.Close();
  std::cout.flush();
  return std::cout ? 0 : 1;
}

const RegisterCommand kRegisterSql{
    {"sql", "FILE STATEMENT",
     "runs a SELECT and writes its rows as CSV: a header line, then one line a row", RunSql}};

}  // namespace
}  // namespace jet_tool
