// How the merges compare and read field values in program code (as opposed to inside SQL):
// text exactly and case-sensitively, numbers and dates by value.
#pragma once

#include <string>

#include "jet/value.h"

namespace import_task {

// True when two non-Null values are unequal. Text against text is compared exactly; numbers
// and dates by value; text against a number is read as a number, and fails with 13 ("Type
// mismatch") when it cannot be.
bool Unequal(const jet::Value& a, const jet::Value& b);

// The calibration merge's rule: a pair differs when exactly one value is Null, or both are set
// and unequal.
bool VersionsDiffer(const jet::Value& a, const jet::Value& b);

// The results merge's rule: a pair in which either value is Null counts as equal.
bool LinesDiffer(const jet::Value& a, const jet::Value& b);

// The value as a date (days since 1899-12-30): dates and numbers as they are, text in the
// forms "yyyy-mm-dd" and "dd/mm/yyyy" (or with "-"), each optionally followed by a blank and
// "hh:mm" or "hh:mm:ss". Anything else fails with 13 ("Type mismatch"); Null with 94.
double AsDate(const jet::Value& value);

// The value as text is joined to a caption: Null gives nothing.
std::string CaptionText(const jet::Value& value);

}  // namespace import_task
