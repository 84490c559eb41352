#include "demo/demo_dates.h"

#include <cmath>

namespace demo {
namespace {

// 1899-12-30 counted from 1970-01-01.
constexpr long kOleEpochFromUnix = -25569;

// Days from 1970-01-01 of a civil date: the era-based count (400-year eras of 146097 days,
// years starting in March so that the leap day falls last).
long UnixDays(int year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const long era = (year >= 0 ? year : year - 399) / 400;
  const long year_of_era = year - era * 400;
  const long day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const long day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

}  // namespace

double DaysFromCivil(int year, int month, int day) {
  return static_cast<double>(UnixDays(year, month, day) - kOleEpochFromUnix);
}

int YearOfDays(double days) {
  const long unix_days = static_cast<long>(std::floor(days)) + kOleEpochFromUnix + 719468;
  const long era = (unix_days >= 0 ? unix_days : unix_days - 146096) / 146097;
  const long day_of_era = unix_days - era * 146097;
  const long year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const long day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const long month_index = (5 * day_of_year + 2) / 153;  // 0 = March
  return static_cast<int>(year_of_era + era * 400 + (month_index >= 10 ? 1 : 0));
}

}  // namespace demo
