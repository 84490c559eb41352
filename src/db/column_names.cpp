#include "db/column_names.h"

namespace db {

std::optional<size_t> ResolveColumn(const std::vector<jet::ColumnDef>& columns,
                                    std::string_view table, std::string_view qualifier,
                                    std::string_view name) {
  if (!qualifier.empty() && !jet::NamesEqual(qualifier, table)) return std::nullopt;
  // The exact spelling first, as a recordset finds its fields: names are unique under Jet's
  // comparison, so an exact match is the only match.
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].name == name) return i;
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    if (jet::NamesEqual(columns[i].name, name)) return i;
  }
  return std::nullopt;
}

std::string WrittenName(std::string_view qualifier, std::string_view name) {
  std::string written;
  if (!qualifier.empty()) {
    written = qualifier;
    written += '.';
  }
  written += name;
  return written;
}

ResolvedColumns ResolveSelected(const SelectStatement& statement, const jet::Table& table) {
  ResolvedColumns selected;
  const std::vector<jet::ColumnDef>& columns = table.columns();
  if (statement.all_columns) {
    selected.positions.resize(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) selected.positions[i] = i;
    return selected;
  }
  for (const SelectColumn& c : statement.columns) {
    if (const std::optional<size_t> found =
            ResolveColumn(columns, table.name(), c.qualifier, c.name)) {
      selected.positions.push_back(*found);
    } else {
      selected.unknown.push_back(WrittenName(c.qualifier, c.name));
    }
  }
  return selected;
}

}  // namespace db
