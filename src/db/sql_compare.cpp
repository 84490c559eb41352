#include "db/sql_compare.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "db/sql_errors.h"
#include "db/sql_literals.h"
#include "jet/collation.h"

namespace db {
namespace {

// A number for comparison: exact decimal digits where the type is exact (integers, currency,
// decimal), a double where it is not (single, double, dates).
struct Number {
  bool exact = true;
  bool negative = false;
  std::string whole;     // no leading zeros ("" for zero)
  std::string fraction;  // no trailing zeros
  std::string text;      // the exact number as decimal text
  double inexact = 0;
};

Number Exact(const std::string& text) {
  Number n;
  n.text = text;
  std::string_view s = text;
  if (!s.empty() && s[0] == '-') {
    n.negative = true;
    s.remove_prefix(1);
  }
  const size_t point = s.find('.');
  std::string_view whole = s.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? "" : s.substr(point + 1);
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  n.whole = whole;
  n.fraction = fraction;
  if (whole.empty() && fraction.empty()) n.negative = false;
  return n;
}

Number Inexact(double d) {
  Number n;
  n.exact = false;
  n.inexact = d;
  return n;
}

std::optional<Number> ToNumber(const jet::Value& v) {
  if (v.Is<bool>()) return Exact(v.As<bool>() ? "-1" : "0");  // Jet's True is -1
  if (v.Is<uint8_t>()) return Exact(std::to_string(v.As<uint8_t>()));
  if (v.Is<int16_t>()) return Exact(std::to_string(v.As<int16_t>()));
  if (v.Is<int32_t>()) return Exact(std::to_string(v.As<int32_t>()));
  if (v.Is<jet::Currency>()) return Exact(jet::CurrencyToString(v.As<jet::Currency>()));
  if (v.Is<jet::Decimal>()) return Exact(jet::DecimalToString(v.As<jet::Decimal>()));
  if (v.Is<float>()) return Inexact(v.As<float>());
  if (v.Is<double>()) return Inexact(v.As<double>());
  if (v.Is<jet::DateTime>()) return Inexact(v.As<jet::DateTime>().days);
  return std::nullopt;
}

double AsDouble(const Number& n) { return n.exact ? ParseDouble(n.text) : n.inexact; }

int CompareDoubles(double x, double y) {
  if (x < y) return -1;
  if (x > y) return 1;
  return 0;
}

int CompareMagnitude(const Number& a, const Number& b) {
  if (a.whole.size() != b.whole.size()) return a.whole.size() < b.whole.size() ? -1 : 1;
  if (const int c = a.whole.compare(b.whole); c != 0) return c < 0 ? -1 : 1;
  const int c = a.fraction.compare(b.fraction);
  return (c > 0) - (c < 0);
}

int CompareNumbers(const Number& a, const Number& b) {
  if (a.exact && b.exact) {
    if (a.negative != b.negative) return a.negative ? -1 : 1;
    const int m = CompareMagnitude(a, b);
    return a.negative ? -m : m;
  }
  return CompareDoubles(AsDouble(a), AsDouble(b));
}

// The integer types (and Yes/No, -1 or 0) as themselves: their decimal texts compare as they do.
std::optional<int64_t> SmallInteger(const jet::Value& v) {
  if (v.Is<int32_t>()) return v.As<int32_t>();
  if (v.Is<int16_t>()) return v.As<int16_t>();
  if (v.Is<uint8_t>()) return v.As<uint8_t>();
  if (v.Is<bool>()) return v.As<bool>() ? -1 : 0;
  return std::nullopt;
}

// Single, double and dates: compared as doubles.
std::optional<double> Floating(const jet::Value& v) {
  if (v.Is<double>()) return v.As<double>();
  if (v.Is<jet::DateTime>()) return v.As<jet::DateTime>().days;
  if (v.Is<float>()) return v.As<float>();
  return std::nullopt;
}

// CompareNumbers of two numbers' ToNumber, without writing their decimal texts where the types
// allow: two integers compare exactly, and an integer met with a floating value is the double
// its text reads as (every 32-bit integer is one exactly). Currency and decimal take the texts.
int CompareNumeric(const jet::Value& a, const jet::Value& b) {
  const std::optional<int64_t> ia = SmallInteger(a);
  const std::optional<int64_t> ib = SmallInteger(b);
  if (ia && ib) return (*ia > *ib) - (*ia < *ib);
  const std::optional<double> fa =
      ia ? std::optional<double>(static_cast<double>(*ia)) : Floating(a);
  const std::optional<double> fb =
      ib ? std::optional<double>(static_cast<double>(*ib)) : Floating(b);
  if (fa && fb) return CompareDoubles(*fa, *fb);
  return CompareNumbers(*ToNumber(a), *ToNumber(b));
}

// AsDouble of a number's ToNumber.
double NumericDouble(const jet::Value& v) {
  if (const std::optional<int64_t> i = SmallInteger(v)) return static_cast<double>(*i);
  if (const std::optional<double> f = Floating(v)) return *f;
  return AsDouble(*ToNumber(v));
}

int CompareBytes(const uint8_t* a, size_t na, const uint8_t* b, size_t nb) {
  const int c = std::memcmp(a, b, std::min(na, nb));
  if (c != 0) return c < 0 ? -1 : 1;
  return (na > nb) - (na < nb);
}

// Text met with a number or a date: read as a number, or as a date when the other side is one.
jet::Value TextAs(const std::string& text, ValueClass other) {
  if (auto n = TextToNumber(text)) return *n;
  if (other == ValueClass::kDate) {
    if (auto d = ReadDate(text)) return jet::Value(*d);
  }
  ThrowTypeMismatch();
}

}  // namespace

ValueClass ClassOf(const jet::Value& v) {
  if (v.IsNull()) return ValueClass::kNull;
  if (v.Is<std::string>()) return ValueClass::kText;
  if (v.Is<jet::DateTime>()) return ValueClass::kDate;
  if (v.Is<jet::Bytes>()) return ValueClass::kBinary;
  if (v.Is<jet::Guid>()) return ValueClass::kGuid;
  return ValueClass::kNumber;
}

ValueClass ClassOf(jet::ColumnType type) {
  switch (type) {
    case jet::ColumnType::kText:
    case jet::ColumnType::kMemo:
      return ValueClass::kText;
    case jet::ColumnType::kDateTime:
      return ValueClass::kDate;
    case jet::ColumnType::kBinary:
    case jet::ColumnType::kOle:
    case jet::ColumnType::kUnknown0D:
      return ValueClass::kBinary;
    case jet::ColumnType::kGuid:
      return ValueClass::kGuid;
    default:
      return ValueClass::kNumber;
  }
}

int CompareValues(const jet::Value& a, const jet::Value& b) {
  const ValueClass ca = ClassOf(a);
  const ValueClass cb = ClassOf(b);
  if (ca == ValueClass::kText && cb == ValueClass::kText) {
    const int c = jet::CompareText(a.As<std::string>(), b.As<std::string>());
    return (c > 0) - (c < 0);
  }
  const bool a_numeric = ca == ValueClass::kNumber || ca == ValueClass::kDate;
  const bool b_numeric = cb == ValueClass::kNumber || cb == ValueClass::kDate;
  if (a_numeric && cb == ValueClass::kText)
    return CompareValues(a, TextAs(b.As<std::string>(), ca));
  if (ca == ValueClass::kText && b_numeric)
    return CompareValues(TextAs(a.As<std::string>(), cb), b);
  if (a_numeric && b_numeric) return CompareNumeric(a, b);
  if (ca == ValueClass::kBinary && cb == ValueClass::kBinary) {
    const jet::Bytes& x = a.As<jet::Bytes>();
    const jet::Bytes& y = b.As<jet::Bytes>();
    return CompareBytes(x.data(), x.size(), y.data(), y.size());
  }
  if (ca == ValueClass::kGuid && cb == ValueClass::kGuid) {
    const auto& x = a.As<jet::Guid>().bytes;
    const auto& y = b.As<jet::Guid>().bytes;
    return CompareBytes(x.data(), x.size(), y.data(), y.size());
  }
  ThrowTypeMismatch();
}

int SortCompare(const jet::Value& a, const jet::Value& b) {
  if (a.IsNull() || b.IsNull()) return static_cast<int>(b.IsNull()) - static_cast<int>(a.IsNull());
  return CompareValues(a, b);
}

std::string ValueToText(const jet::Value& v) {
  if (v.Is<std::string>()) return v.As<std::string>();
  if (v.Is<bool>()) return v.As<bool>() ? "-1" : "0";
  if (v.Is<uint8_t>()) return std::to_string(v.As<uint8_t>());
  if (v.Is<int16_t>()) return std::to_string(v.As<int16_t>());
  if (v.Is<int32_t>()) return std::to_string(v.As<int32_t>());
  return jet::DebugString(v);
}

std::optional<jet::Value> ExactColumnValue(const jet::ColumnDef& column, const jet::Value& v) {
  if (v.IsNull()) return std::nullopt;
  const ValueClass cv = ClassOf(v);
  if (column.type == jet::ColumnType::kText || column.type == jet::ColumnType::kMemo) {
    if (cv != ValueClass::kText) return std::nullopt;
    return v;
  }
  if (cv != ValueClass::kNumber && cv != ValueClass::kDate) return std::nullopt;
  // The value rebuilt in the column's type must compare equal to the constant.
  auto check = [&](jet::Value candidate) -> std::optional<jet::Value> {
    if (CompareNumeric(candidate, v) != 0) return std::nullopt;
    return candidate;
  };
  const double d = NumericDouble(v);
  if (!std::isfinite(d)) return std::nullopt;
  switch (column.type) {
    case jet::ColumnType::kByte:
      if (d < 0 || d > 255) return std::nullopt;
      return check(jet::Value(static_cast<uint8_t>(std::llround(d))));
    case jet::ColumnType::kInt:
      if (d < -32768 || d > 32767) return std::nullopt;
      return check(jet::Value(static_cast<int16_t>(std::llround(d))));
    case jet::ColumnType::kLong:
      if (d < -2147483648.0 || d > 2147483647.0) return std::nullopt;
      return check(jet::Value(static_cast<int32_t>(std::llround(d))));
    case jet::ColumnType::kMoney:
      if (std::fabs(d) > 9.2e14) return std::nullopt;
      return check(jet::Value(jet::Currency{std::llround(d * 10000.0)}));
    case jet::ColumnType::kFloat:
      if (std::fabs(d) > std::numeric_limits<float>::max()) return std::nullopt;
      return check(jet::Value(static_cast<float>(d)));
    case jet::ColumnType::kDouble:
      return check(jet::Value(d));
    case jet::ColumnType::kDateTime:
      return check(jet::Value(jet::DateTime{d}));
    default:
      return std::nullopt;  // Yes/No, decimal and the rest are read by a scan
  }
}

}  // namespace db
