// Small helpers shared by the benchmarks: timing, and a table of many rows to measure on.
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

namespace bench {

class Stopwatch {
 public:
  Stopwatch() : start_(std::chrono::steady_clock::now()), cpu_start_(std::clock()) {}
  double Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }
  // Processor time of this process: steadier than wall time on a busy machine.
  double CpuSeconds() const {
    return static_cast<double>(std::clock() - cpu_start_) / CLOCKS_PER_SEC;
  }

 private:
  std::chrono::steady_clock::time_point start_;
  std::clock_t cpu_start_;
};

// A copy of the Access-made indexTestV2000.mdb in a temporary folder whose Table1 (LONG
// primary key and three LONG indexes, a TEXT column) holds `rows` rows: id 0..rows-1.
// Prints how long the inserts took. Returns the path.
std::string MakeLargeTable(uint32_t rows);

}  // namespace bench
