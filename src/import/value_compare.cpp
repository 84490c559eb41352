#include "import/value_compare.h"

#include <cstdio>
#include <string_view>

#include "db/sql_compare.h"
#include "db/statements.h"
#include "jet/error.h"
#include "jet/value_convert.h"

namespace import_task {
namespace {

[[noreturn]] void ThrowTypeMismatch() { jet::ThrowStandard(jet::kVbTypeMismatch); }

// Days from 1899-12-30 to the given day of the proleptic Gregorian calendar.
double DaysOf(int year, int month, int day) {
  const int y = year - (month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int mp = (month + 9) % 12;
  const int doy = (153 * mp + 2) / 5 + day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long days_from_1970 = static_cast<long>(era) * 146097 + doe - 719468;
  return static_cast<double>(days_from_1970 + 25569);
}

bool ValidDay(int year, int month, int day) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  if (day > kDays[month - 1]) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return !(month == 2 && day == 29 && !leap);
}

double ParseDateText(const std::string& text) {
  int a = 0, b = 0, c = 0, hh = 0, mm = 0, ss = 0;
  char s1 = 0, s2 = 0;
  int used = 0;
  if (std::sscanf(text.c_str(), " %d%c%d%c%d%n", &a, &s1, &b, &s2, &c, &used) < 5 || s1 != s2 ||
      (s1 != '-' && s1 != '/')) {
    ThrowTypeMismatch();
  }
  int year = a, month = b, day = c;
  if (a < 100) year = c, month = b, day = a;  // dd/mm/yyyy, the laboratory's order
  if (!ValidDay(year, month, day)) ThrowTypeMismatch();
  double days = DaysOf(year, month, day);
  std::string_view rest(text.c_str() + used);
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
  if (!rest.empty()) {
    const std::string time(rest);
    int time_used = 0;
    const int got =
        std::sscanf(time.c_str(), "%d:%d%n:%d%n", &hh, &mm, &time_used, &ss, &time_used);
    if (got < 2 || static_cast<size_t>(time_used) != time.size() || hh > 23 || mm > 59 || ss > 59 ||
        hh < 0 || mm < 0 || ss < 0) {
      ThrowTypeMismatch();
    }
    days += (hh * 3600 + mm * 60 + ss) / 86400.0;
  }
  return days;
}

}  // namespace

bool Unequal(const jet::Value& a, const jet::Value& b) {
  const db::ValueClass ca = db::ClassOf(a);
  const db::ValueClass cb = db::ClassOf(b);
  if (ca == db::ValueClass::kText && cb == db::ValueClass::kText) {
    return a.As<std::string>() != b.As<std::string>();
  }
  if (ca == db::ValueClass::kBinary || cb == db::ValueClass::kBinary ||
      ca == db::ValueClass::kGuid || cb == db::ValueClass::kGuid) {
    if (ca != cb) ThrowTypeMismatch();
    return a != b;
  }
  try {
    return db::CompareValues(a, b) != 0;
  } catch (const jet::Error&) {
    // Text that is no number met with a number: in program code that is a type mismatch.
    ThrowTypeMismatch();
  }
}

bool VersionsDiffer(const jet::Value& a, const jet::Value& b) {
  if (a.IsNull() || b.IsNull()) return a.IsNull() != b.IsNull();
  return Unequal(a, b);
}

bool LinesDiffer(const jet::Value& a, const jet::Value& b) {
  if (a.IsNull() || b.IsNull()) return false;
  return Unequal(a, b);
}

double AsDate(const jet::Value& value) {
  if (value.IsNull()) jet::ThrowStandard(jet::kVbInvalidUseOfNull);
  if (value.Is<jet::DateTime>()) return value.As<jet::DateTime>().days;
  if (value.Is<std::string>()) return ParseDateText(value.As<std::string>());
  if (db::ClassOf(value) == db::ValueClass::kNumber) {
    if (const auto days = jet::AsDouble(value)) return *days;
  }
  ThrowTypeMismatch();
}

std::string CaptionText(const jet::Value& value) {
  if (value.IsNull()) return "";
  return db::ConcatText(value);
}

}  // namespace import_task
