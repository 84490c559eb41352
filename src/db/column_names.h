// How a statement's column names find the table's columns, the one way every part of the SQL
// subset resolves them: names compare as Jet compares them, and a qualifier must name the table.
// The selected columns, the condition's columns and a recordset over a statement all resolve
// here, so that a name one of them accepts none of the others refuses.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "db/sql_parser.h"
#include "jet/table.h"

namespace db {

// The position of the column `qualifier.name` (qualifier may be empty) among `columns` of the
// table named `table`; nothing when no column answers to it.
std::optional<size_t> ResolveColumn(const std::vector<jet::ColumnDef>& columns,
                                    std::string_view table, std::string_view qualifier,
                                    std::string_view name);

// The name as the statement wrote it, as Jet's message for an unknown name shows it.
std::string WrittenName(std::string_view qualifier, std::string_view name);

struct ResolvedColumns {
  std::vector<size_t> positions;     // of the resolved columns, in the statement's order
  std::vector<std::string> unknown;  // the names no column answers to, as written
};

// The statement's selected columns on `table`: every column for SELECT *.
ResolvedColumns ResolveSelected(const SelectStatement& statement, const jet::Table& table);

}  // namespace db
