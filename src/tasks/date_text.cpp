#include "tasks/date_text.h"

#include <cstdio>
#include <ctime>

#include "jet/stamp_time.h"

namespace tasks {

LocalTime LocalNow() {
  const std::time_t now = jet::StampTime();
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &now);
#else
  localtime_r(&now, &parts);
#endif
  return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
          parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::string GeneralDateTime(const LocalTime& time) {
  char text[48];
  if (time.hour == 0 && time.minute == 0 && time.second == 0) {
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", time.day, time.month, time.year);
  } else {
    std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", time.day, time.month,
                  time.year, time.hour, time.minute, time.second);
  }
  return text;
}

std::string DayMonthYear(const LocalTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d-%02d-%04d", time.day, time.month, time.year);
  return text;
}

}  // namespace tasks
