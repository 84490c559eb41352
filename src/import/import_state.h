// What one import update counts and flags while its merges run. The window reports it at the
// end; each update starts it afresh.
#pragma once

#include <cstdint>

#include "import/import_report.h"

namespace import_task {

// Counts are 32-bit: a large site visit brings tens of thousands of result lines, and a
// counter that failed at 32,768 would stop an import half-way for nothing.
struct ImportState {
  int32_t NewInstrumentCount = 0;
  int32_t NewCalibrationCount = 0;
  int32_t NewResultCount = 0;
  bool ProblemDetected = false;
  // Every calibration looked at and every row written, for the report.
  ImportReport report;

  void Reset() { *this = ImportState{}; }
};

// Adds one to a counter; past the largest count it fails with 6 ("Overflow") and leaves the
// counter as it was.
void CountOne(int32_t& counter);

}  // namespace import_task
