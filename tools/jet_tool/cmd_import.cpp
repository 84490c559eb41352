// jet-tool import FILE TABLE CSV: appends the rows of a CSV file in `jet-tool export`'s format
// (a header line of column names, then one record a row; an unquoted empty field is Null).
// Columns the CSV leaves out are Null (autonumbers are numbered). Each row is added on its
// own: a row the table refuses stops the import with its number and the engine's error, and
// the rows before it stay.
#include <fstream>
#include <iostream>
#include <sstream>

#include "jet/database.h"
#include "jet/error.h"
#include "jet/native_path.h"
#include "jet/table_writer.h"
#include "jet_tool/command.h"
#include "jet_tool/field_parser.h"

namespace jet_tool {
namespace {

int RunImport(const std::vector<std::string>& args) {
  if (args.size() != 3) throw UsageError{"expected a database file, a table name and a CSV file"};
  std::ifstream in(jet::U8Path(args[2]), std::ios::binary);
  if (!in) {
    std::cerr << "jet-tool import: cannot read '" << args[2] << "'\n";
    return 1;
  }
  std::stringstream buffer;
  buffer << in.rdbuf();
  std::string text = buffer.str();
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // a byte-order mark
  const auto records = ParseCsv(text);
  if (records.empty()) {
    std::cerr << "jet-tool import: '" << args[2] << "' has no header line\n";
    return 1;
  }

  const auto db = jet::Database::Open(args[0], jet::OpenMode::kReadWrite);
  jet::TableWriter writer(*db, args[1]);
  const auto& columns = writer.def().columns;
  std::vector<size_t> target;  // per CSV field: the column it fills
  for (const CsvText& name : records[0]) {
    const jet::ColumnDef* column = writer.def().ColumnByName(name.text);
    if (column == nullptr) {
      throw jet::Error(jet::kErrFieldNotFound,
                       "The table '" + writer.name() + "' has no field '" + name.text + "'.");
    }
    const auto index = static_cast<size_t>(column - columns.data());
    for (size_t seen : target) {
      if (seen == index) {
        throw jet::Error(jet::kErrFieldNotFound,
                         "The field '" + name.text + "' appears twice in the CSV header.");
      }
    }
    target.push_back(index);
  }

  size_t added = 0;
  for (size_t r = 1; r < records.size(); ++r) {
    const auto& record = records[r];
    // A blank last line is no record.
    if (record.size() == 1 && record[0].text.empty() && !record[0].quoted && target.size() != 1) {
      continue;
    }
    try {
      if (record.size() != target.size()) {
        throw jet::Error(jet::kErrConversion, "Data type conversion error: the record has " +
                                                  std::to_string(record.size()) +
                                                  " fields, the header " +
                                                  std::to_string(target.size()) + ".");
      }
      std::vector<jet::Value> values(columns.size());
      for (size_t f = 0; f < record.size(); ++f) {
        values[target[f]] = ParseField(columns[target[f]], record[f]);
      }
      writer.Insert(std::move(values));
      ++added;
    } catch (const jet::Error& e) {
      std::cout << added << '\n';
      std::cerr << "jet-tool import: row " << r << " was refused: error " << e.number() << ": "
                << e.description() << "\n";
      return 1;
    }
  }
  std::cout << added << '\n';
  return 0;
}

const RegisterCommand kRegisterImport{
    {"import", "FILE TABLE CSV",
     "appends the rows of a CSV file in export's format; prints the number of rows added",
     RunImport}};

}  // namespace
}  // namespace jet_tool
