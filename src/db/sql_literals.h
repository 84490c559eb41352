// Literal values of Jet SQL: numbers and #dates#, and the same readings applied to text that
// is compared with a number.
#pragma once

#include <optional>
#include <string_view>

#include "jet/value.h"

namespace db {

// A number as written ("12", "1.50", ".5", "1E3", no sign): Long when it is a whole number that
// fits, an exact Decimal for other plain decimals of up to 28 digits, else Double. nullopt for
// text that is not a number.
std::optional<jet::Value> ReadNumber(std::string_view text);

// Text read as a number the way Jet converts text that is compared with a number: blanks
// around it and one leading sign allowed. nullopt when it is not a number.
std::optional<jet::Value> TextToNumber(std::string_view text);

// The inside of a #date# literal: "mm/dd/yyyy" (Jet reads a first part above 12 as the day),
// "m/d/yy" (years 00-29 are 2000-2029), "yyyy-mm-dd" or "yyyy/mm/dd", optionally followed by a
// time "hh:mm[:ss]" with an optional AM/PM; or a time alone. nullopt for an impossible date.
std::optional<jet::DateTime> ReadDate(std::string_view text);

// Decimal text ("-12.5", "1E3") as a double, whatever the process's locale; 0 for bad text.
double ParseDouble(std::string_view text);

// The date as Access stores it, from a calendar date and a time of day in seconds.
jet::DateTime MakeDateTime(int year, int month, int day, int seconds);

}  // namespace db
