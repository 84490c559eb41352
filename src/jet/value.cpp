#include "jet/value.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace jet {
namespace {

// Proleptic Gregorian date from a day count relative to 1970-01-01.
void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
}

constexpr int64_t kDaysFrom1899To1970 = 25569;

}  // namespace

std::string ShortestDecimal(double d) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, d);
  return std::string(buf, res.ptr);
}

std::string ShortestDecimal(float f) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, f);
  return std::string(buf, res.ptr);
}

std::string CurrencyToString(Currency c) {
  const bool negative = c.scaled < 0;
  // Work in unsigned so that INT64_MIN does not overflow.
  const uint64_t magnitude =
      negative ? ~static_cast<uint64_t>(c.scaled) + 1 : static_cast<uint64_t>(c.scaled);
  std::string s = std::to_string(magnitude / 10000);
  uint64_t frac = magnitude % 10000;
  if (frac != 0) {
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04u", static_cast<unsigned>(frac));
    std::string f(digits);
    while (!f.empty() && f.back() == '0') f.pop_back();
    s += "." + f;
  }
  return negative ? "-" + s : s;
}

std::string DateTimeToString(DateTime dt) {
  if (!std::isfinite(dt.days) || std::fabs(dt.days) > 1e8) return "#invalid date#";
  const double whole = std::trunc(dt.days);
  int64_t day = static_cast<int64_t>(whole);
  int64_t seconds = std::llround(std::fabs(dt.days - whole) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  int64_t y;
  unsigned m, d;
  CivilFromDays(day - kDaysFrom1899To1970, y, m, d);
  char buf[128];  // room for any int64 fields, so the compiler can prove nothing is cut
  std::snprintf(buf, sizeof buf, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(y),
                m, d, static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60));
  return buf;
}

std::string GuidToString(const Guid& g) {
  const auto& b = g.bytes;
  char buf[40];
  std::snprintf(buf, sizeof buf,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13],
                b[14], b[15]);
  return buf;
}

std::string DecimalToString(const Decimal& dec) {
  // Repeated division of the 128-bit magnitude by 10, in 32-bit limbs for portability.
  uint32_t limbs[4] = {static_cast<uint32_t>(dec.high >> 32), static_cast<uint32_t>(dec.high),
                       static_cast<uint32_t>(dec.low >> 32), static_cast<uint32_t>(dec.low)};
  std::string digits;
  for (;;) {
    bool zero = true;
    uint64_t rem = 0;
    for (uint32_t& limb : limbs) {
      const uint64_t cur = (rem << 32) | limb;
      limb = static_cast<uint32_t>(cur / 10);
      rem = cur % 10;
      if (limb != 0) zero = false;
    }
    digits.insert(digits.begin(), static_cast<char>('0' + rem));
    if (zero) break;
  }
  if (dec.scale > 0) {
    if (digits.size() <= dec.scale) digits.insert(0, dec.scale - digits.size() + 1, '0');
    digits.insert(digits.end() - dec.scale, '.');
  }
  const bool is_zero = dec.high == 0 && dec.low == 0;
  return (dec.negative && !is_zero) ? "-" + digits : digits;
}

std::string DebugString(const Value& v) {
  struct Visitor {
    std::string operator()(Null) const { return "Null"; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(uint8_t x) const { return std::to_string(x); }
    std::string operator()(int16_t x) const { return std::to_string(x); }
    std::string operator()(int32_t x) const { return std::to_string(x); }
    std::string operator()(Currency c) const { return CurrencyToString(c); }
    std::string operator()(float f) const { return ShortestDecimal(f); }
    std::string operator()(double d) const { return ShortestDecimal(d); }
    std::string operator()(DateTime d) const { return DateTimeToString(d); }
    std::string operator()(const std::string& s) const { return "\"" + s + "\""; }
    std::string operator()(const Bytes& b) const {
      static const char* kHex = "0123456789ABCDEF";
      std::string out = "0x";
      for (uint8_t c : b) {
        out += kHex[c >> 4];
        out += kHex[c & 15];
      }
      return out;
    }
    std::string operator()(const Guid& g) const { return GuidToString(g); }
    std::string operator()(const Decimal& d) const { return DecimalToString(d); }
  };
  return std::visit(Visitor{}, v.storage());
}

}  // namespace jet
