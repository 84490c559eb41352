// Field values as the engine hands them out: a variant in which Null is a value of its own.
//
// Format: docs/format.md, values and text.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "jet/bytes.h"

namespace jet {

struct Null {
  friend bool operator==(Null, Null) { return true; }
};

// Currency: the value times 10,000, exactly as stored.
struct Currency {
  int64_t scaled = 0;
  friend bool operator==(const Currency&, const Currency&) = default;
};

// Date/time: days since 1899-12-30; the fraction is the time of day (always positive,
// also for days before the epoch), as Access stores it.
struct DateTime {
  double days = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Replication ID, in the byte order stored in the file (Windows GUID layout).
struct Guid {
  std::array<uint8_t, 16> bytes{};
  friend bool operator==(const Guid&, const Guid&) = default;
};

// Decimal: a 96..128-bit magnitude with a sign and a scale (digits after the point).
struct Decimal {
  bool negative = false;
  uint8_t precision = 18;
  uint8_t scale = 0;
  uint64_t high = 0;  // magnitude, upper 64 bits
  uint64_t low = 0;   // magnitude, lower 64 bits
  friend bool operator==(const Decimal&, const Decimal&) = default;
};

// Text and memo values are UTF-8 std::string; binary and OLE values are Bytes.
class Value {
 public:
  using Storage = std::variant<Null, bool, uint8_t, int16_t, int32_t, Currency, float, double,
                               DateTime, std::string, Bytes, Guid, Decimal>;

  Value() = default;
  template <typename T>
  requires std::is_constructible_v<Storage, T&&> Value(T&& v)
      : v_(std::forward<T>(v)) {}  // NOLINT(google-explicit-constructor)

  bool IsNull() const { return std::holds_alternative<Null>(v_); }
  template <typename T>
  bool Is() const {
    return std::holds_alternative<T>(v_);
  }
  template <typename T>
  const T& As() const {
    return std::get<T>(v_);
  }
  const Storage& storage() const { return v_; }

  friend bool operator==(const Value&, const Value&) = default;

 private:
  Storage v_;
};

// The value as text for diagnostics and exports (see ToCsvField in the tool for the CSV form).
std::string DebugString(const Value& v);

// Decimal text of a Decimal with its scale ("-12.50").
std::string DecimalToString(const Decimal& d);
// "YYYY-MM-DD HH:MM:SS", rounded to the second as Access shows it.
std::string DateTimeToString(DateTime d);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" as Access shows a replication ID.
std::string GuidToString(const Guid& g);
// Shortest decimal text that reads back to the same number.
std::string ShortestDecimal(double d);
std::string ShortestDecimal(float f);
// Currency as a plain decimal with up to four places, trailing zeros dropped ("12.5").
std::string CurrencyToString(Currency c);

}  // namespace jet
