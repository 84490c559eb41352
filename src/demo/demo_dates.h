// Calendar dates as Access stores them: days since 1899-12-30, the fraction the time of day.
#pragma once

namespace demo {

// The day `year`-`month`-`day` (proleptic Gregorian) as a whole number of days.
double DaysFromCivil(int year, int month, int day);
// The year of a day.
int YearOfDays(double days);

}  // namespace demo
