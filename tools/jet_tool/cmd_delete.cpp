// jet-tool delete FILE TABLE COLUMN VALUE: deletes the rows whose COLUMN equals VALUE, all or
// none of them. VALUE is read as a CSV field of export's format: '' is Null, '""' the empty
// text; text compares without regard to case, as Jet compares it.
#include <iostream>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/table_writer.h"
#include "jet_tool/command.h"
#include "jet_tool/field_parser.h"

namespace jet_tool {
namespace {

bool Matches(const jet::Value& stored, const jet::Value& wanted) {
  if (stored.Is<std::string>() && wanted.Is<std::string>()) {
    return jet::NamesEqual(stored.As<std::string>(), wanted.As<std::string>());
  }
  return stored == wanted;
}

int RunDelete(const std::vector<std::string>& args) {
  if (args.size() != 4) throw UsageError{"expected a database file, a table, a column and a value"};
  const auto db = jet::Database::Open(args[0], jet::OpenMode::kReadWrite);
  jet::TableWriter writer(*db, args[1]);
  const jet::ColumnDef* column = writer.def().ColumnByName(args[2]);
  if (column == nullptr) {
    throw jet::Error(jet::kErrItemNotFound,
                     "The table '" + writer.name() + "' has no field '" + args[2] + "'.");
  }
  const auto index = static_cast<size_t>(column - writer.def().columns.data());
  // Bare text is taken as it is (commas included); quotes only matter at the start.
  CsvText field{args[3], false};
  if (!args[3].empty() && args[3].front() == '"') {
    const auto parsed = ParseCsv(args[3]);
    if (parsed.size() != 1 || parsed[0].size() != 1) throw UsageError{"bad quoted VALUE"};
    field = parsed[0][0];
  }
  const jet::Value wanted = ParseField(*column, field);

  std::vector<jet::RowLocator> doomed;
  {
    const jet::Table table = db->OpenTable(args[1]);
    for (auto cursor = table.Scan(); cursor.Next();) {
      if (Matches(cursor.values()[index], wanted)) doomed.push_back(cursor.locator());
    }
  }
  jet::PageFile::Operation op(db->file());
  for (const jet::RowLocator& where : doomed) writer.Delete(where);
  op.Commit();
  std::cout << doomed.size() << '\n';
  return 0;
}

const RegisterCommand kRegisterDelete{
    {"delete", "FILE TABLE COLUMN VALUE",
     "deletes the rows whose COLUMN equals VALUE ('' = Null); prints how many", RunDelete}};

}  // namespace
}  // namespace jet_tool
