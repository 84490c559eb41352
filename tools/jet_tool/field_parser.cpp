#include "jet_tool/field_parser.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "jet/error.h"

namespace jet_tool {
namespace {

[[noreturn]] void Refuse(const jet::ColumnDef& column, std::string_view text) {
  throw jet::Error(jet::kErrConversion, "Data type conversion error: '" + std::string(text) +
                                            "' is not a " + jet::ColumnTypeName(column.type) +
                                            " value for the field '" + column.name + "'.");
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::optional<int64_t> ParseInteger(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  int64_t v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

// An exact decimal: sign, digits of the magnitude (at most 28), and the count after the point.
struct DecimalText {
  bool negative = false;
  std::string digits;
  int scale = 0;
};

std::optional<DecimalText> ParseDecimalText(std::string_view s) {
  DecimalText d;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    d.negative = s.front() == '-';
    s.remove_prefix(1);
  }
  bool point = false, any = false;
  for (char c : s) {
    if (c == '.' && !point) {
      point = true;
    } else if (c >= '0' && c <= '9') {
      any = true;
      if (!(d.digits.empty() && c == '0')) d.digits += c;
      if (point) ++d.scale;
    } else {
      return std::nullopt;
    }
  }
  if (!any) return std::nullopt;
  // Leading zeros were dropped; keep the digits after the point that the scale counts.
  while (static_cast<int>(d.digits.size()) < d.scale) d.digits.insert(d.digits.begin(), '0');
  return d;
}

// hi:lo = hi:lo * 10 + digit; false on overflow of 128 bits.
bool MultiplyAdd(uint64_t& hi, uint64_t& lo, unsigned digit) {
  const uint64_t low_part = (lo & 0xFFFFFFFFu) * 10 + digit;
  const uint64_t high_part = (lo >> 32) * 10 + (low_part >> 32);
  const uint64_t carry = high_part >> 32;
  if (hi > (std::numeric_limits<uint64_t>::max() - carry) / 10) return false;
  hi = hi * 10 + carry;
  lo = (high_part << 32) | (low_part & 0xFFFFFFFFu);
  return true;
}

std::optional<int64_t> DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  if (m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  static const unsigned kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (d > kDays[m - 1] || (m == 2 && d == 29 && !leap)) return std::nullopt;
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

std::optional<jet::DateTime> ParseDate(std::string_view s) {
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
  auto number = [&](size_t& pos, size_t width, unsigned& out) {
    if (pos + width > s.size()) return false;
    out = 0;
    for (size_t i = 0; i < width; ++i) {
      const char c = s[pos + i];
      if (c < '0' || c > '9') return false;
      out = out * 10 + static_cast<unsigned>(c - '0');
    }
    pos += width;
    return true;
  };
  auto sep = [&](size_t& pos, char c) { return pos < s.size() && s[pos++] == c; };
  size_t pos = 0;
  if (!number(pos, 4, y) || !sep(pos, '-') || !number(pos, 2, mo) || !sep(pos, '-') ||
      !number(pos, 2, d)) {
    return std::nullopt;
  }
  if (pos < s.size()) {
    if (!(sep(pos, ' ') || (s[pos - 1] == 'T')) || !number(pos, 2, h) || !sep(pos, ':') ||
        !number(pos, 2, mi)) {
      return std::nullopt;
    }
    if (pos < s.size() && (!sep(pos, ':') || !number(pos, 2, sec))) return std::nullopt;
    if (pos != s.size() || h > 23 || mi > 59 || sec > 59) return std::nullopt;
  }
  const auto day = DaysFromCivil(y, mo, d);
  const auto epoch = DaysFromCivil(1899, 12, 30);
  if (!day || y < 100) return std::nullopt;
  const int64_t days = *day - *epoch;
  const double time = (h * 3600.0 + mi * 60.0 + sec) / 86400.0;
  // Before 1899-12-30 the day counts down while the time of day still counts up.
  return jet::DateTime{days < 0 ? static_cast<double>(days) - time
                                : static_cast<double>(days) + time};
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<jet::Bytes> ParseHex(std::string_view s) {
  if (s.size() % 2 != 0) return std::nullopt;
  jet::Bytes out;
  for (size_t i = 0; i < s.size(); i += 2) {
    const int a = HexDigit(s[i]), b = HexDigit(s[i + 1]);
    if (a < 0 || b < 0) return std::nullopt;
    out.push_back(static_cast<uint8_t>(a * 16 + b));
  }
  return out;
}

std::optional<jet::Guid> ParseGuid(std::string_view s) {
  if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
  if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') {
    return std::nullopt;
  }
  std::string hex;
  for (char c : s) {
    if (c != '-') hex += c;
  }
  const auto bytes = ParseHex(hex);
  if (!bytes) return std::nullopt;
  // Shown as text: the first three groups most significant first; stored little-endian.
  static const int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  jet::Guid g;
  for (int i = 0; i < 16; ++i) g.bytes[kOrder[i]] = (*bytes)[i];
  return g;
}

template <typename T>
std::optional<T> ParseFloat(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  T v{};
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

}  // namespace

std::vector<std::vector<CsvText>> ParseCsv(std::string_view text) {
  std::vector<std::vector<CsvText>> records;
  std::vector<CsvText> record;
  CsvText field;
  size_t i = 0;
  bool field_started = false;
  auto end_field = [&] {
    record.push_back(std::move(field));
    field = CsvText{};
    field_started = false;
  };
  auto end_record = [&] {
    end_field();
    records.push_back(std::move(record));
    record.clear();
  };
  while (i < text.size()) {
    const char c = text[i];
    if (c == '"' && !field_started) {
      field.quoted = true;
      field_started = true;
      ++i;
      for (;;) {
        if (i >= text.size()) {
          throw jet::Error(jet::kErrConversion,
                           "Data type conversion error: a quoted CSV field is never closed.");
        }
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field.text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        field.text += text[i++];
      }
    } else if (c == ',') {
      end_field();
      ++i;
    } else if (c == '\r' || c == '\n') {
      end_record();
      i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    } else {
      field.text += c;
      field_started = true;
      ++i;
    }
  }
  if (field_started || !record.empty()) end_record();
  return records;
}

jet::Value ParseField(const jet::ColumnDef& column, const CsvText& field) {
  using jet::ColumnType;
  const std::string& s = field.text;
  if (s.empty() && !field.quoted) return {};
  switch (column.type) {
    case ColumnType::kText:
    case ColumnType::kMemo:
      return s;
    case ColumnType::kBinary:
    case ColumnType::kOle:
      if (const auto b = ParseHex(s)) return *b;
      break;
    case ColumnType::kBoolean: {
      const std::string l = Lower(s);
      if (l == "1" || l == "-1" || l == "true" || l == "yes") return true;
      if (l == "0" || l == "false" || l == "no") return false;
      break;
    }
    case ColumnType::kByte:
      if (const auto v = ParseInteger(s); v && *v >= 0 && *v <= 255) {
        return static_cast<uint8_t>(*v);
      }
      break;
    case ColumnType::kInt:
      if (const auto v = ParseInteger(s); v && *v >= INT16_MIN && *v <= INT16_MAX) {
        return static_cast<int16_t>(*v);
      }
      break;
    case ColumnType::kLong:
      if (const auto v = ParseInteger(s); v && *v >= INT32_MIN && *v <= INT32_MAX) {
        return static_cast<int32_t>(*v);
      }
      break;
    case ColumnType::kMoney: {
      const auto d = ParseDecimalText(s);
      if (!d || d->scale > 4) break;
      int64_t scaled = 0;
      bool ok = d->digits.size() <= 19;
      for (char c : d->digits) {
        if (!ok || scaled > (INT64_MAX - (c - '0')) / 10) {
          ok = false;
          break;
        }
        scaled = scaled * 10 + (c - '0');
      }
      for (int k = d->scale; ok && k < 4; ++k) {
        if (scaled > INT64_MAX / 10) ok = false;
        scaled *= 10;
      }
      if (ok) return jet::Currency{d->negative ? -scaled : scaled};
      break;
    }
    case ColumnType::kFloat:
      if (const auto v = ParseFloat<float>(s)) return *v;
      break;
    case ColumnType::kDouble:
      if (const auto v = ParseFloat<double>(s)) return *v;
      break;
    case ColumnType::kDateTime:
      if (const auto v = ParseDate(s)) return *v;
      break;
    case ColumnType::kGuid:
      if (const auto v = ParseGuid(s)) return *v;
      break;
    case ColumnType::kNumeric: {
      const auto d = ParseDecimalText(s);
      if (!d || d->digits.size() > 28) break;
      jet::Decimal dec;
      dec.negative = d->negative;
      dec.precision = column.precision;
      dec.scale = static_cast<uint8_t>(d->scale);
      bool ok = true;
      for (char c : d->digits) ok = ok && MultiplyAdd(dec.high, dec.low, c - '0');
      if (ok) return dec;
      break;
    }
    default:
      break;
  }
  Refuse(column, s);
}

}  // namespace jet_tool
