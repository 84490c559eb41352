// Small helpers shared by the benchmarks: timing, and a table of many rows to measure on.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace bench {

class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()) {}
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

// A copy of the Access-made indexTestV2000.mdb in a temporary folder whose Table1 (LONG
// primary key and three LONG indexes, a TEXT column) holds `rows` rows: id 0..rows-1.
// Prints how long the inserts took. Returns the path.
std::string MakeLargeTable(uint32_t rows);

}  // namespace bench
