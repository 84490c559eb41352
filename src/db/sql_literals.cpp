#include "db/sql_literals.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace db {
namespace {

constexpr size_t kMaxDecimalDigits = 28;

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Multiplies the 128-bit magnitude by 10 and adds a digit; the caller keeps it under 28 digits.
void MulAddDigit(jet::Decimal& d, int digit) {
  const uint64_t low_low = (d.low & 0xFFFFFFFFu) * 10 + static_cast<uint64_t>(digit);
  const uint64_t low_high = (d.low >> 32) * 10 + (low_low >> 32);
  d.low = (low_high << 32) | (low_low & 0xFFFFFFFFu);
  d.high = d.high * 10 + (low_high >> 32);
}

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil-days algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && IsLeap(y)) ? 29 : kDays[m - 1];
}

std::optional<int> SmallNumber(std::string_view s) {
  s = Trim(s);
  if (!AllDigits(s) || s.size() > 4) return std::nullopt;
  return std::atoi(std::string(s).c_str());
}

// "hh:mm[:ss] [AM|PM]" as seconds since midnight.
std::optional<int> ReadTime(std::string_view s) {
  s = Trim(s);
  int half_day = -1;  // -1 none, 0 AM, 1 PM
  if (s.size() >= 2) {
    const std::string tail = {static_cast<char>(std::toupper(s[s.size() - 2])),
                              static_cast<char>(std::toupper(s.back()))};
    if (tail == "AM" || tail == "PM") {
      half_day = tail == "PM" ? 1 : 0;
      s = Trim(s.substr(0, s.size() - 2));
    }
  }
  int parts[3] = {0, 0, 0};
  int count = 0;
  while (count < 3) {
    const size_t colon = s.find(':');
    const auto part = SmallNumber(s.substr(0, colon));
    if (!part) return std::nullopt;
    parts[count++] = *part;
    if (colon == std::string_view::npos) break;
    s = s.substr(colon + 1);
  }
  if (count < 2 && half_day < 0) return std::nullopt;  // a lone number is not a time
  int hour = parts[0];
  if (half_day >= 0) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + 12 * half_day;
  }
  if (hour > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return hour * 3600 + parts[1] * 60 + parts[2];
}

std::optional<jet::DateTime> ReadCalendarDate(std::string_view s, int seconds) {
  const char sep = s.find('-') != std::string_view::npos ? '-' : '/';
  int parts[3];
  std::string_view fields[3];
  for (int i = 0; i < 3; ++i) {
    const size_t at = s.find(sep);
    if ((i < 2) != (at != std::string_view::npos)) return std::nullopt;
    fields[i] = s.substr(0, at);
    const auto n = SmallNumber(fields[i]);
    if (!n) return std::nullopt;
    parts[i] = *n;
    if (at != std::string_view::npos) s = s.substr(at + 1);
  }
  int year, month, day;
  if (Trim(fields[0]).size() == 4) {  // yyyy-mm-dd, yyyy/mm/dd
    year = parts[0];
    month = parts[1];
    day = parts[2];
  } else {
    if (sep == '-') return std::nullopt;
    month = parts[0];
    day = parts[1];
    year = parts[2];
    if (month > 12 && day <= 12) std::swap(month, day);
    if (Trim(fields[2]).size() <= 2) year += year < 30 ? 2000 : 1900;
  }
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return MakeDateTime(year, month, day, seconds);
}

}  // namespace

double ParseDouble(std::string_view text) {
  // from_chars, unlike strtod, does not follow the locale a window system may have set.
  if (!text.empty() && text[0] == '+') text.remove_prefix(1);
  double d = 0;
  const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (ec == std::errc::result_out_of_range) {
    const bool tiny =
        text.find("e-") != std::string_view::npos || text.find("E-") != std::string_view::npos;
    const bool negative = !text.empty() && text[0] == '-';
    if (tiny) return 0.0;
    return negative ? -HUGE_VAL : HUGE_VAL;
  }
  return d;
}

std::optional<jet::Value> ReadNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const size_t exponent = text.find_first_of("eE");
  const std::string_view mantissa = text.substr(0, exponent);
  const size_t point = mantissa.find('.');
  const std::string_view whole = mantissa.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
  if (!whole.empty() && !AllDigits(whole)) return std::nullopt;
  if (!fraction.empty() && !AllDigits(fraction)) return std::nullopt;
  if (whole.empty() && fraction.empty()) return std::nullopt;
  if (exponent != std::string_view::npos) {
    std::string_view e = text.substr(exponent + 1);
    if (!e.empty() && (e[0] == '+' || e[0] == '-')) e.remove_prefix(1);
    if (!AllDigits(e)) return std::nullopt;
    return jet::Value(ParseDouble(text));
  }
  std::string digits = std::string(whole) + std::string(fraction);
  const size_t first = digits.find_first_not_of('0');
  digits = first == std::string::npos ? "0" : digits.substr(first);
  if (fraction.empty() && digits.size() <= 10) {
    const int64_t v = std::strtoll(digits.c_str(), nullptr, 10);
    if (v <= INT32_MAX) return jet::Value(static_cast<int32_t>(v));
  }
  if (digits.size() > kMaxDecimalDigits || fraction.size() > kMaxDecimalDigits) {
    return jet::Value(ParseDouble(text));
  }
  jet::Decimal d;
  d.precision = static_cast<uint8_t>(kMaxDecimalDigits);
  d.scale = static_cast<uint8_t>(fraction.size());
  for (char c : digits) MulAddDigit(d, c - '0');
  return jet::Value(d);
}

std::optional<jet::Value> TextToNumber(std::string_view text) {
  text = Trim(text);
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text = Trim(text.substr(1));
  }
  auto v = ReadNumber(text);
  if (!v || !negative) return v;
  if (v->Is<int32_t>()) return jet::Value(static_cast<int32_t>(-v->As<int32_t>()));
  if (v->Is<double>()) return jet::Value(-v->As<double>());
  jet::Decimal d = v->As<jet::Decimal>();
  d.negative = true;
  return jet::Value(d);
}

jet::DateTime MakeDateTime(int year, int month, int day, int seconds) {
  static const int64_t kEpoch = DaysFromCivil(1899, 12, 30);
  const double days = static_cast<double>(DaysFromCivil(year, month, day) - kEpoch);
  const double fraction = seconds / 86400.0;
  // Before the epoch Access keeps the time positive: -1.25 is 1899-12-29 06:00.
  return jet::DateTime{days < 0 ? days - fraction : days + fraction};
}

std::optional<jet::DateTime> ReadDate(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  const size_t space = text.find(' ');
  std::string_view date_part = text.substr(0, space);
  if (date_part.find(':') != std::string_view::npos) {  // a time alone is a time on day 0
    const auto seconds = ReadTime(text);
    if (!seconds) return std::nullopt;
    return jet::DateTime{*seconds / 86400.0};
  }
  int seconds = 0;
  if (space != std::string_view::npos) {
    const auto time = ReadTime(text.substr(space + 1));
    if (!time) return std::nullopt;
    seconds = *time;
  }
  return ReadCalendarDate(date_part, seconds);
}

}  // namespace db
