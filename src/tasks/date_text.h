// Dates as the laboratory's programs write them.
#pragma once

#include <string>

namespace tasks {

struct LocalTime {
  int year = 1899;
  int month = 12;  // 1..12
  int day = 30;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The computer's local date and time now.
LocalTime LocalNow();

// The general date-time form of the laboratory's Windows settings: "02/06/2009 14:05:09"
// (day, month, four-digit year; 24-hour time). Midnight shows the date alone, as the general
// form does.
std::string GeneralDateTime(const LocalTime& time);

// "02-06-2009": day, month and four-digit year with leading zeros, joined by hyphens.
std::string DayMonthYear(const LocalTime& time);

}  // namespace tasks
