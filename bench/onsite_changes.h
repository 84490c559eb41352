// The changes the import benchmarks make to an on-site file before importing it, so that the
// scoring rule lets some on-site versions win and keeps the main version of others (every fifth
// calibration: a later Cal_Date, a later Test_Time, an earlier Cal_Date, another Cert_No, other
// Remarks, in turn; the first result line of every fifth changed one remeasured).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct Changes {
  int64_t calibrations = 0;
  int64_t later_date = 0;
  int64_t later_time = 0;
  int64_t earlier_date = 0;
  int64_t other_certificate = 0;
  int64_t remarks = 0;
  int64_t result_lines = 0;  // remeasured with a later date
};

// Edits every fifth calibration of the on-site file through the data layer.
Changes ChangeOnSiteCalibrations(const std::string& onsite_path);

// Every tenth customer name of the Jet file's instruments, in the order SELECT DISTINCT gives.
std::vector<std::string> EveryTenthCustomerOf(const std::string& jet_path);

}  // namespace bench
