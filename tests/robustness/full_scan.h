// Reads everything a database offers, the way a damaged file is put to the test: every table
// in the catalog (user and system), every row, every value including long values, and the
// usage maps the tables point to. Shared by the damaged-file tests and the fuzz target.
#pragma once

#include <cstddef>
#include <functional>

#include "jet/database.h"
#include "jet/error.h"

namespace robustness {

struct ScanCounts {
  size_t tables = 0;
  size_t rows = 0;
  size_t values = 0;
  size_t errors = 0;
};

// Scans the whole database. A jet::Error stops only the table it came from (so that damage
// in one table still lets the others be read); each is handed to `on_error`. Any other
// exception propagates.
ScanCounts ScanEverything(jet::Database& db,
                          const std::function<void(const jet::Error&)>& on_error = {});

}  // namespace robustness
