// One row of each results table as the generator makes it, and its values in the column order
// of the table (demo_schema.h). std::nullopt stands for Null.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "jet/value.h"

namespace demo {

struct InstrumentRow {
  std::string inst_id;
  std::optional<std::string> cust_name;
  std::optional<std::string> status;
  std::string serial_no;
  std::string description;
  std::string manufacturer;
  std::string model;
  std::optional<std::string> location;
  std::string range_units;
  double range_low = 0;
  double range_high = 0;
  int16_t cal_interval = 12;
  std::optional<double> due_date;  // days since 1899-12-30
  double date_received = 0;
  int64_t price_cents = 0;
  std::optional<std::string> notes;
};

struct CalibrationRow {
  std::string inst_id;
  int32_t cal_ref = 0;
  std::optional<std::string> cert_no;
  std::optional<double> cal_date;
  std::optional<double> test_time;
  std::string technician;
  std::string procedure;
  double temperature = 20;
  double humidity = 45;
  bool passed = true;
  std::optional<std::string> adjusted;
  std::optional<std::string> remarks;
};

struct ResultRow {
  std::string cert_no;
  int32_t test_no = 0;
  std::string parameter;
  double nominal = 0;
  std::optional<double> measured;
  std::optional<double> error;
  std::optional<double> uncertainty;
  double tolerance = 0;
  std::string units;
  bool in_tolerance = true;
};

struct AdditionalDataRow {
  std::string inst_id;
  int32_t cal_ref = 0;
  std::string reference_std;
  std::string std_cert_no;
  double std_due_date = 0;
  std::optional<double> pressure;
  std::optional<std::string> comment;
};

std::vector<jet::Value> ToValues(const InstrumentRow& row);
std::vector<jet::Value> ToValues(const CalibrationRow& row);
std::vector<jet::Value> ToValues(const ResultRow& row);
std::vector<jet::Value> ToValues(const AdditionalDataRow& row);

}  // namespace demo
