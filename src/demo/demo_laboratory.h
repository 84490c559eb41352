// The demo laboratory, made one instrument at a time: the instrument, its calibrations, the
// result lines of their certificates and their additional data. The same seed and size give
// the same laboratory, row for row, on every platform.
//
// Besides the ordinary run of records it holds the cases the tasks must handle: calibrations
// with a Null and with an empty certificate number, certificate numbers repeated within one
// instrument and across two, every status letter in both cases and a Null and an empty status,
// instruments without calibrations, calibrations without additional data and with two rows of
// it, certificates with two lines of one number, Null dates and readings, and memo notes from
// a few words to several pages. The first sixty instruments are arranged so that even a small
// demo holds every case.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "demo/demo_random.h"
#include "demo/demo_rows.h"

namespace demo {

struct InstrumentRecords {
  InstrumentRow instrument;
  std::vector<CalibrationRow> calibrations;
  std::vector<ResultRow> results;
  std::vector<AdditionalDataRow> additional_data;
};

// Instruments the benchmarks' large laboratory has; the default demo has 3,000.
inline constexpr int kDefaultInstruments = 3000;
inline constexpr int kLargeInstruments = 20000;
// Enough instruments for every special case to appear at least once.
inline constexpr int kInstrumentsForEveryCase = 60;

class LaboratoryGenerator {
 public:
  LaboratoryGenerator(int instruments, uint32_t seed);

  int total() const { return total_; }
  int made() const { return made_; }
  bool Done() const { return made_ >= total_; }
  InstrumentRecords Next();

 private:
  std::optional<std::string> PickStatus();
  std::optional<std::string> PickCustomer();
  std::string NextCertificate(double cal_date);
  void AddResults(InstrumentRecords& out, const std::string& cert_no, size_t kind, double span_low,
                  double span_high, bool duplicate_line);
  void AddAdditionalData(InstrumentRecords& out, const CalibrationRow& cal, int rows);
  std::optional<std::string> Notes();

  DemoRandom random_;
  int total_;
  int made_ = 0;
  int64_t certificates_ = 0;
  std::vector<std::optional<std::string>> forced_statuses_;
  std::vector<size_t> forced_customers_;
  std::vector<double> status_weights_;
  std::vector<std::optional<std::string>> statuses_;
  std::vector<double> customer_weights_;
  // A certificate number of an earlier instrument, for the odd one issued twice.
  std::string earlier_certificate_;
};

}  // namespace demo
