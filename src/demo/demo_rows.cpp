#include "demo/demo_rows.h"

namespace demo {
namespace {

jet::Value Maybe(const std::optional<std::string>& text) {
  return text ? jet::Value(*text) : jet::Value();
}

jet::Value Maybe(const std::optional<double>& number) {
  return number ? jet::Value(*number) : jet::Value();
}

jet::Value Date(const std::optional<double>& days) {
  return days ? jet::Value(jet::DateTime{*days}) : jet::Value();
}

}  // namespace

// Each list follows the column order of its table in demo_schema.cpp.

std::vector<jet::Value> ToValues(const InstrumentRow& row) {
  return {row.inst_id,
          Maybe(row.cust_name),
          Maybe(row.status),
          row.serial_no,
          row.description,
          row.manufacturer,
          row.model,
          Maybe(row.location),
          row.range_units,
          row.range_low,
          row.range_high,
          row.cal_interval,
          Date(row.due_date),
          jet::DateTime{row.date_received},
          jet::Currency{row.price_cents * 100},
          Maybe(row.notes)};
}

std::vector<jet::Value> ToValues(const CalibrationRow& row) {
  return {row.inst_id,         row.cal_ref,    Maybe(row.cert_no),  Date(row.cal_date),
          Date(row.test_time), row.technician, row.procedure,       row.temperature,
          row.humidity,        row.passed,     Maybe(row.adjusted), Maybe(row.remarks)};
}

std::vector<jet::Value> ToValues(const ResultRow& row) {
  return {row.cert_no,         row.test_no,      row.parameter,          row.nominal,
          Maybe(row.measured), Maybe(row.error), Maybe(row.uncertainty), row.tolerance,
          row.units,           row.in_tolerance};
}

std::vector<jet::Value> ToValues(const AdditionalDataRow& row) {
  return {row.inst_id,
          row.cal_ref,
          row.reference_std,
          row.std_cert_no,
          jet::DateTime{row.std_due_date},
          Maybe(row.pressure),
          Maybe(row.comment)};
}

}  // namespace demo
