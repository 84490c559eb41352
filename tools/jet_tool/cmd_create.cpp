// jet-tool create FILE: a new empty database.
// jet-tool create-table FILE TABLE COLUMN... [--index INDEX]...: a new table in a database.
//
// A column is NAME:TYPE[(SIZE)][:FLAG,...]:
//   TYPE  BOOLEAN BYTE INT LONG MONEY FLOAT DOUBLE DATETIME GUID MEMO OLE, TEXT(characters,
//         default 255), BINARY(bytes, default 510), NUMERIC(precision[,scale], default 18,0)
//   FLAG  auto (LONG: numbered by the table; GUID: a new ID for each row),
//         nocompress (TEXT, MEMO: always two bytes a character)
// An index is NAME=COLUMN[-][,COLUMN[-]...][:FLAG,...]; a trailing "-" sorts that column
// descending; FLAG is primary, unique, ignorenulls or required.
// Example:
//   jet-tool create-table db.mdb People Id:LONG:auto Name:TEXT(50) Born:DATETIME
//       --index PrimaryKey=Id:primary --index ByName=Name,Born-
#include <iostream>

#include "jet/create.h"
#include "jet/database.h"
#include "jet_tool/command.h"

namespace jet_tool {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == separator) {
      parts.push_back(text.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

std::string Upper(std::string s) {
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

unsigned ParseSize(const std::string& text, const std::string& what) {
  if (text.empty() || text.size() > 5 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    throw UsageError{"bad size '" + text + "' in " + what};
  }
  return static_cast<unsigned>(std::stoul(text));
}

jet::ColumnDesign ParseColumn(const std::string& arg) {
  const std::vector<std::string> parts = Split(arg, ':');
  if (parts.size() < 2 || parts.size() > 3 || parts[0].empty()) {
    throw UsageError{"expected NAME:TYPE[(SIZE)][:FLAGS], not '" + arg + "'"};
  }
  jet::ColumnDesign layout;
  layout.name = parts[0];
  std::string type = Upper(parts[1]);
  std::vector<std::string> sizes;
  if (const size_t open = type.find('('); open != std::string::npos) {
    if (type.back() != ')') throw UsageError{"unclosed size in '" + arg + "'"};
    sizes = Split(type.substr(open + 1, type.size() - open - 2), ',');
    type.resize(open);
  }
  static const std::pair<const char*, jet::ColumnType> kTypes[] = {
      {"BOOLEAN", jet::ColumnType::kBoolean}, {"BYTE", jet::ColumnType::kByte},
      {"INT", jet::ColumnType::kInt},         {"LONG", jet::ColumnType::kLong},
      {"MONEY", jet::ColumnType::kMoney},     {"FLOAT", jet::ColumnType::kFloat},
      {"DOUBLE", jet::ColumnType::kDouble},   {"DATETIME", jet::ColumnType::kDateTime},
      {"BINARY", jet::ColumnType::kBinary},   {"TEXT", jet::ColumnType::kText},
      {"OLE", jet::ColumnType::kOle},         {"MEMO", jet::ColumnType::kMemo},
      {"GUID", jet::ColumnType::kGuid},       {"NUMERIC", jet::ColumnType::kNumeric}};
  bool known = false;
  for (const auto& [name, value] : kTypes) {
    if (type == name) {
      layout.type = value;
      known = true;
    }
  }
  if (!known) throw UsageError{"unknown type '" + parts[1] + "' in '" + arg + "'"};
  const bool sized = layout.type == jet::ColumnType::kText ||
                     layout.type == jet::ColumnType::kBinary ||
                     layout.type == jet::ColumnType::kNumeric;
  if (!sizes.empty() && !sized) throw UsageError{"type " + type + " takes no size"};
  if (layout.type == jet::ColumnType::kNumeric) {
    if (sizes.size() > 2) throw UsageError{"NUMERIC takes (precision[,scale])"};
    if (!sizes.empty())
      layout.precision = static_cast<uint8_t>(std::min(255u, ParseSize(sizes[0], arg)));
    if (sizes.size() == 2)
      layout.scale = static_cast<uint8_t>(std::min(255u, ParseSize(sizes[1], arg)));
  } else if (!sizes.empty()) {
    if (sizes.size() != 1) throw UsageError{"one size expected in '" + arg + "'"};
    const unsigned size = ParseSize(sizes[0], arg);
    if (size == 0) throw UsageError{"a size must be at least 1 in '" + arg + "'"};
    layout.size = static_cast<uint16_t>(std::min(65535u, size));
  }
  if (parts.size() == 3) {
    for (const std::string& flag : Split(parts[2], ',')) {
      const std::string f = Upper(flag);
      if (f == "AUTO") {
        layout.autonumber = true;
      } else if (f == "NOCOMPRESS") {
        layout.compressed_unicode = false;
      } else {
        throw UsageError{"unknown column flag '" + flag + "' (auto, nocompress)"};
      }
    }
  }
  return layout;
}

jet::IndexDesign ParseIndex(const std::string& arg) {
  const size_t equals = arg.find('=');
  if (equals == std::string::npos || equals == 0) {
    throw UsageError{"expected NAME=COLUMN[-],...[:FLAGS] after --index, not '" + arg + "'"};
  }
  jet::IndexDesign layout;
  layout.name = arg.substr(0, equals);
  std::string columns = arg.substr(equals + 1);
  if (const size_t colon = columns.rfind(':'); colon != std::string::npos) {
    for (const std::string& flag : Split(columns.substr(colon + 1), ',')) {
      const std::string f = Upper(flag);
      if (f == "PRIMARY") {
        layout.primary = true;
      } else if (f == "UNIQUE") {
        layout.unique = true;
      } else if (f == "IGNORENULLS") {
        layout.ignore_nulls = true;
      } else if (f == "REQUIRED") {
        layout.required = true;
      } else {
        throw UsageError{"unknown index flag '" + flag +
                         "' (primary, unique, ignorenulls, required)"};
      }
    }
    columns.resize(colon);
  }
  for (std::string column : Split(columns, ',')) {
    bool ascending = true;
    if (!column.empty() && (column.back() == '-' || column.back() == '+')) {
      ascending = column.back() == '+';
      column.pop_back();
    }
    if (column.empty()) throw UsageError{"empty column name in index '" + arg + "'"};
    layout.columns.push_back({column, ascending});
  }
  return layout;
}

int RunCreate(const std::vector<std::string>& args) {
  if (args.size() != 1) throw UsageError{"expected the new database's file name"};
  jet::CreateDatabase(args[0]);
  return 0;
}

int RunCreateTable(const std::vector<std::string>& args) {
  if (args.size() < 3) throw UsageError{"expected a database file, a table name and columns"};
  jet::TableDesign layout;
  layout.name = args[1];
  for (size_t i = 2; i < args.size(); ++i) {
    if (args[i] == "--index") {
      if (i + 1 == args.size()) throw UsageError{"--index needs NAME=COLUMNS[:FLAGS]"};
      layout.indexes.push_back(ParseIndex(args[++i]));
    } else if (args[i].rfind("--index=", 0) == 0) {
      layout.indexes.push_back(ParseIndex(args[i].substr(8)));
    } else {
      layout.columns.push_back(ParseColumn(args[i]));
    }
  }
  if (layout.columns.empty()) throw UsageError{"a table needs at least one column"};
  const auto db = jet::Database::Open(args[0], jet::OpenMode::kReadWrite);
  jet::CreateTable(*db, layout);
  return 0;
}

const RegisterCommand kRegisterCreate{
    {"create", "FILE", "writes a new empty database; never replaces an existing file", RunCreate}};

const RegisterCommand kRegisterCreateTable{
    {"create-table", "FILE TABLE NAME:TYPE[(SIZE)][:FLAGS]... [--index NAME=COL[-],...[:FLAGS]]...",
     "adds a table. TYPE: BOOLEAN BYTE INT LONG MONEY FLOAT DOUBLE DATETIME GUID MEMO OLE\n"
     "      TEXT(chars) BINARY(bytes) NUMERIC(precision,scale); column FLAGS: auto, nocompress;\n"
     "      index: COL- sorts descending; FLAGS: primary, unique, ignorenulls, required",
     RunCreateTable}};

}  // namespace
}  // namespace jet_tool
