#include "support/table_designs.h"

namespace testing_support {

jet::ColumnDesign& DesignBuilder::Column(std::string name, jet::ColumnType type) {
  jet::ColumnDesign& column = design_.columns.emplace_back();
  column.name = std::move(name);
  column.type = type;
  return column;
}

void AddFixedSizeColumns(DesignBuilder& builder, bool with_long) {
  using T = jet::ColumnType;
  builder.Column("Id", T::kLong).autonumber = true;
  builder.Column("Flag", T::kBoolean);
  builder.Column("Tiny", T::kByte);
  builder.Column("Short", T::kInt);
  if (with_long) builder.Column("Long", T::kLong);
  builder.Column("Money", T::kMoney);
  builder.Column("Single", T::kFloat);
  builder.Column("Double", T::kDouble);
  builder.Column("When", T::kDateTime);
}

}  // namespace testing_support
