// Numeric conversions shared by the row encoder and the index key encoder, so that a row and
// its index keys always agree on the value stored.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "jet/value.h"

namespace jet {

// An integer value (BYTE, INT, LONG, Yes/No as Jet's -1/0, or a float without fraction).
std::optional<int64_t> AsInteger(const Value& v);
// Any numeric or date value as a double.
std::optional<double> AsDouble(const Value& v);

// A decimal's magnitude as four 32-bit words, most significant first, with its sign; zero is
// never negative.
struct ScaledDecimal {
  bool negative = false;
  std::array<uint32_t, 4> words{};
};
// The value (a Decimal or an integer) at `scale` fraction digits, extra digits rounded half
// away from zero as Jet rounds what it stores; nullopt for other values or past 128 bits.
std::optional<ScaledDecimal> DecimalAtScale(const Value& v, uint8_t scale);

}  // namespace jet
