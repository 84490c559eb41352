// Table designs built column by column, for the engine's and the interop tests' tables of
// every kind of field.
#pragma once

#include <string>

#include "jet/create.h"

namespace testing_support {

// Adds columns to a design; each column's options are set on what Column returns.
class DesignBuilder {
 public:
  explicit DesignBuilder(std::string table_name) { design_.name = std::move(table_name); }

  jet::ColumnDesign& Column(std::string name, jet::ColumnType type);
  jet::TableDesign& design() { return design_; }

 private:
  jet::TableDesign design_;
};

// The fixed-size columns a table of every kind begins with, in this order: Id (LONG
// autonumber), Flag (BOOLEAN), Tiny (BYTE), Short (INT), Long (LONG, when `with_long`), Money
// (MONEY), Single (FLOAT), Double (DOUBLE), When (DATETIME).
void AddFixedSizeColumns(DesignBuilder& builder, bool with_long);

}  // namespace testing_support
