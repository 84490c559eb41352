#include "jet/value_convert.h"

#include <cmath>

namespace jet {
namespace {

using Words = std::array<uint32_t, 4>;

// Multiplies by a small factor; false on overflow past 128 bits.
bool MultiplySmall(Words& m, uint32_t factor) {
  uint64_t carry = 0;
  for (int i = 3; i >= 0; --i) {
    const uint64_t product = static_cast<uint64_t>(m[i]) * factor + carry;
    m[i] = static_cast<uint32_t>(product);
    carry = product >> 32;
  }
  return carry == 0;
}

// Divides by a small divisor, returning the remainder.
uint32_t DivideSmall(Words& m, uint32_t divisor) {
  uint64_t remainder = 0;
  for (auto& word : m) {
    const uint64_t current = (remainder << 32) | word;
    word = static_cast<uint32_t>(current / divisor);
    remainder = current % divisor;
  }
  return static_cast<uint32_t>(remainder);
}

// Adds one; false on overflow past 128 bits.
bool Increment(Words& m) {
  for (int i = 3; i >= 0; --i) {
    if (++m[i] != 0) return true;
  }
  return false;
}

}  // namespace

std::optional<int64_t> AsInteger(const Value& v) {
  if (v.Is<uint8_t>()) return v.As<uint8_t>();
  if (v.Is<int16_t>()) return v.As<int16_t>();
  if (v.Is<int32_t>()) return v.As<int32_t>();
  if (v.Is<bool>()) return v.As<bool>() ? -1 : 0;  // Jet's True is -1
  if (v.Is<double>() || v.Is<float>()) {
    const double d = v.Is<double>() ? v.As<double>() : v.As<float>();
    if (std::trunc(d) == d && std::fabs(d) < 9.2e18) return static_cast<int64_t>(d);
  }
  return std::nullopt;
}

std::optional<double> AsDouble(const Value& v) {
  if (v.Is<double>()) return v.As<double>();
  if (v.Is<float>()) return v.As<float>();
  if (v.Is<DateTime>()) return v.As<DateTime>().days;
  if (v.Is<Currency>()) return static_cast<double>(v.As<Currency>().scaled) / 10000.0;
  if (auto i = AsInteger(v)) return static_cast<double>(*i);
  return std::nullopt;
}

std::optional<ScaledDecimal> DecimalAtScale(const Value& v, uint8_t scale) {
  Decimal d;
  if (v.Is<Decimal>()) {
    d = v.As<Decimal>();
  } else if (auto i = AsInteger(v)) {
    d.negative = *i < 0;
    d.scale = 0;
    d.low = d.negative ? ~static_cast<uint64_t>(*i) + 1 : static_cast<uint64_t>(*i);
  } else {
    return std::nullopt;
  }
  Words m = {static_cast<uint32_t>(d.high >> 32), static_cast<uint32_t>(d.high),
             static_cast<uint32_t>(d.low >> 32), static_cast<uint32_t>(d.low)};
  for (int s = d.scale; s < scale; ++s) {
    if (!MultiplySmall(m, 10)) return std::nullopt;
  }
  for (int s = d.scale; s > scale; --s) {
    const uint32_t digit = DivideSmall(m, 10);
    if (s == scale + 1 && digit >= 5 && !Increment(m)) return std::nullopt;
  }
  const bool zero = m[0] == 0 && m[1] == 0 && m[2] == 0 && m[3] == 0;
  return ScaledDecimal{d.negative && !zero, m};
}

}  // namespace jet
