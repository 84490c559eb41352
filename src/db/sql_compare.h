// Comparing field values and constants as Jet compares them in criteria: text through the
// collation (case-insensitive), numbers by value across integer, floating, currency and
// decimal types, dates as numbers of days.
#pragma once

#include <optional>
#include <string>

#include "jet/table_def.h"
#include "jet/value.h"

namespace db {

enum class ValueClass { kNull, kText, kNumber, kDate, kBinary, kGuid };

ValueClass ClassOf(const jet::Value& v);
// The class of every value a column of this type holds (Null aside).
ValueClass ClassOf(jet::ColumnType type);

// <0, 0 or >0 for two non-null values. Text met with a number or a date is read as one when it
// can be; anything else that cannot be compared throws 3464 (type mismatch).
int CompareValues(const jet::Value& a, const jet::Value& b);

// The order SELECT DISTINCT sorts by: Null first, then CompareValues. Never throws for two
// values of one column.
int SortCompare(const jet::Value& a, const jet::Value& b);

// A value as text, for LIKE applied to a number or a date.
std::string ValueToText(const jet::Value& v);

// The constant `v` as a value of the column's type, when it stands for exactly the same value
// (5 for a LONG column, 2.5 for a CURRENCY one, 'abc' for a TEXT one); nullopt when no value of
// the column can equal it, or the type is one we do not key on. Used to look values up in
// indexes, whose keys are built from the column's own type.
std::optional<jet::Value> ExactColumnValue(const jet::ColumnDef& column, const jet::Value& v);

}  // namespace db
