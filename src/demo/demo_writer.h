// Writes the demo laboratory into a database that has the results tables.
#pragma once

#include <cstdint>
#include <functional>

namespace jet {
class Database;
}

namespace demo {

struct DemoCounts {
  int64_t instruments = 0;
  int64_t calibrations = 0;
  int64_t results = 0;
  int64_t additional_data = 0;
  int64_t rows() const { return instruments + calibrations + results + additional_data; }
};

// Called after each instrument with its records written: instruments done so far, of total.
using DemoProgress = std::function<void(const DemoCounts& done, int total)>;

// Adds `instruments` instruments of the laboratory of `seed`, with their records, to the
// results tables of `db` (opened for writing; see CreateResultsTables). Throws the engine's
// errors.
DemoCounts WriteLaboratory(jet::Database& db, int instruments, uint32_t seed,
                           const DemoProgress& progress = nullptr);

}  // namespace demo
