// jet-tool schema FILE TABLE: a table's columns and indexes as aligned, readable text.
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "jet/database.h"
#include "jet_tool/command.h"

namespace jet_tool {
namespace {

using Grid = std::vector<std::vector<std::string>>;

// Left-aligned columns two spaces apart; the last cell of a line is not padded.
void PrintGrid(const Grid& grid) {
  std::vector<size_t> widths;
  for (const auto& line : grid) {
    if (widths.size() < line.size()) widths.resize(line.size(), 0);
    for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
  }
  for (const auto& line : grid) {
    std::string text = " ";
    for (size_t i = 0; i < line.size(); ++i) {
      text += ' ';
      text += line[i];
      if (i + 1 < line.size()) text.append(widths[i] - line[i].size() + 1, ' ');
    }
    std::cout << text << '\n';
  }
}

std::string Join(const std::vector<std::string>& parts, const char* separator) {
  std::string out;
  for (const std::string& part : parts) {
    if (!out.empty()) out += separator;
    out += part;
  }
  return out;
}

std::string Hex(unsigned value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%02X", value);
  return buf;
}

// TEXT shows its length in characters, NUMERIC its precision and scale, as Access does.
std::string TypeText(const jet::ColumnDef& column) {
  std::string name = jet::ColumnTypeName(column.type);
  if (column.type == jet::ColumnType::kText)
    return name + "(" + std::to_string(column.length / 2) + ")";
  if (column.type == jet::ColumnType::kNumeric) {
    return name + "(" + std::to_string(column.precision) + "," + std::to_string(column.scale) + ")";
  }
  return name;
}

std::string ColumnFlags(const jet::ColumnDef& column) {
  std::vector<std::string> names;
  names.push_back(column.is_fixed() ? "fixed" : "variable");
  if (column.is_auto_long()) names.push_back("autonumber");
  if (column.is_auto_guid()) names.push_back("auto-guid");
  if ((column.flags & jet::kColumnHyperlink) != 0) names.push_back("hyperlink");
  if (column.is_compressed_unicode()) names.push_back("compressed-unicode");
  // The raw bytes too: they carry bits we do not name (nullability among them).
  return Join(names, ",") + " (" + Hex(column.flags) + "/" + Hex(column.ext_flags) + ")";
}

std::string IndexKind(const jet::LogicalIndexDef& index, const jet::RealIndexDef* real) {
  std::vector<std::string> names;
  switch (index.type) {
    case jet::LogicalIndexType::kPrimaryKey:
      names.push_back("primary");
      break;
    case jet::LogicalIndexType::kForeignKey:
      names.push_back("foreign");
      break;
    case jet::LogicalIndexType::kNormal:
      break;
  }
  if (real != nullptr) {
    if (real->is_unique()) names.push_back("unique");
    if (real->ignores_nulls()) names.push_back("ignore-nulls");
    if (real->is_required()) names.push_back("required");
  }
  return names.empty() ? "normal" : Join(names, ",");
}

std::string IndexColumns(const jet::TableDef& def, const jet::RealIndexDef* real) {
  if (real == nullptr) return "?";
  std::vector<std::string> parts;
  for (const jet::IndexColumn& c : real->columns) {
    const jet::ColumnDef* column = def.ColumnByNumber(c.column_number);
    const std::string name =
        column != nullptr ? column->name : "#" + std::to_string(c.column_number);
    parts.push_back(name + (c.ascending ? " asc" : " desc"));
  }
  return Join(parts, ", ");
}

int RunSchema(const std::vector<std::string>& args) {
  if (args.size() != 2) throw UsageError{"expected a database file and a table name"};
  const auto db = jet::Database::Open(args[0]);
  const jet::Table table = db->OpenTable(args[1]);
  const jet::TableDef& def = table.def();

  std::cout << "table " << table.name() << ": " << def.columns.size() << " columns, "
            << def.row_count << " rows, definition on page " << def.page << "\n\ncolumns:\n";
  Grid columns{{"#", "name", "type", "size", "flags"}};
  for (const jet::ColumnDef& c : def.columns) {
    columns.push_back(
        {std::to_string(c.number), c.name, TypeText(c), std::to_string(c.length), ColumnFlags(c)});
  }
  PrintGrid(columns);

  std::cout << "\nindexes:\n";
  if (def.indexes.empty()) {
    std::cout << "  (none)\n";
    return 0;
  }
  Grid indexes{{"name", "kind", "real", "columns"}};
  for (const jet::LogicalIndexDef& index : def.indexes) {
    const auto it = std::find_if(def.real_indexes.begin(), def.real_indexes.end(),
                                 [&](const auto& r) { return r.number == index.real_index; });
    const jet::RealIndexDef* real = it != def.real_indexes.end() ? &*it : nullptr;
    indexes.push_back({index.name, IndexKind(index, real), std::to_string(index.real_index),
                       IndexColumns(def, real)});
  }
  PrintGrid(indexes);
  return 0;
}

const RegisterCommand kRegisterSchema{
    {"schema", "FILE TABLE", "shows a table's columns and indexes", RunSchema}};

}  // namespace
}  // namespace jet_tool
