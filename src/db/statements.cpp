#include "db/statements.h"

#include <vector>

#include "db/dao_errors.h"
#include "db/dao_recordset.h"
#include "jet/error.h"

namespace db {
namespace {

std::string Quoted(std::string_view text, char quote) {
  std::string out(1, quote);
  for (char c : text) {
    out += c;
    if (c == quote) out += quote;
  }
  out += quote;
  return out;
}

}  // namespace

std::string SingleQuoted(std::string_view text) { return Quoted(text, '\''); }
std::string DoubleQuoted(std::string_view text) { return Quoted(text, '"'); }

std::string PlainNumber(const jet::Value& number) {
  if (number.IsNull()) ThrowDao(kVbInvalidUseOfNull);
  if (number.Is<uint8_t>()) return std::to_string(number.As<uint8_t>());
  if (number.Is<int16_t>()) return std::to_string(number.As<int16_t>());
  if (number.Is<int32_t>()) return std::to_string(number.As<int32_t>());
  if (number.Is<bool>()) return number.As<bool>() ? "-1" : "0";  // True is -1
  if (number.Is<jet::Currency>()) return jet::CurrencyToString(number.As<jet::Currency>());
  if (number.Is<float>()) return jet::ShortestDecimal(number.As<float>());
  if (number.Is<double>()) return jet::ShortestDecimal(number.As<double>());
  if (number.Is<jet::Decimal>()) return jet::DecimalToString(number.As<jet::Decimal>());
  if (number.Is<std::string>()) return number.As<std::string>();
  // A value that is not a number where one is written.
  ThrowDao(jet::kVbTypeMismatch);
}

std::string BlankSignedNumber(const jet::Value& number) {
  std::string text = PlainNumber(number);
  if (text.empty() || text.front() != '-') text.insert(text.begin(), ' ');
  return text;
}

std::string ConcatText(const jet::Value& value) {
  if (value.Is<std::string>()) return value.As<std::string>();
  return PlainNumber(value);
}

std::string CustomerListSql() { return "SELECT DISTINCT Cust_Name FROM [Instruments]"; }

std::string CustomerSearchSql(std::string_view pattern) {
  return "SELECT DISTINCT Cust_Name FROM [Instruments] WHERE Cust_Name LIKE " +
         DoubleQuoted(pattern);
}

std::string ExportInstrumentsSql(std::string_view customer) {
  return "SELECT * from Instruments Where Cust_Name=" + SingleQuoted(customer);
}

std::string ExportCalibrationsSql(std::string_view inst_id) {
  return "SELECT * from Calibrations Where Inst_Id=" + SingleQuoted(inst_id);
}

std::string ExportResultsSql(std::string_view cert_no) {
  return "SELECT * from Results Where Cert_No=" + SingleQuoted(cert_no);
}

std::string ExportAdditionalDataSql(std::string_view inst_id) {
  return "SELECT * from [Additional Data] Where Inst_Id=" + SingleQuoted(inst_id);
}

std::string ImportInstrumentIdsSql() { return "SELECT Inst_Id from Instruments"; }

std::string ImportInstrumentIdSql(std::string_view inst_id) {
  return "SELECT Inst_Id from Instruments Where Inst_Id=" + SingleQuoted(inst_id);
}

std::string ImportInstrumentSql(std::string_view inst_id) {
  return "SELECT * from Instruments Where Inst_Id =" + SingleQuoted(inst_id);
}

std::string ImportCalibrationsSql() { return std::string("SELECT * from ") + "Calibrations"; }

std::string ImportCalibrationSql(std::string_view inst_id, const jet::Value& cal_ref) {
  return "SELECT * from [Calibrations] Where [Inst_Id] =" + SingleQuoted(inst_id) +
         " and [Cal_Ref] =" + PlainNumber(cal_ref);
}

std::string ImportCalibrationBareSql(std::string_view inst_id, const jet::Value& cal_ref) {
  return "SELECT * from [Calibrations] Where Inst_Id =" + SingleQuoted(inst_id) +
         " and  Cal_Ref =" + PlainNumber(cal_ref);
}

std::string ImportCalibrationInstrumentSql(std::string_view inst_id) {
  return "Select * from Instruments where Inst_Id=" + SingleQuoted(inst_id);
}

std::string ImportAdditionalDataSql(std::string_view inst_id, const jet::Value& cal_ref) {
  return "SELECT * from [Additional Data] Where Inst_Id=" + SingleQuoted(inst_id) +
         " and Cal_Ref=" + BlankSignedNumber(cal_ref);
}

std::string ImportAdditionalDataTableSql() { return "Select * from [Additional Data]"; }

std::string ImportAdditionalDataCriteria(std::string_view inst_id, const jet::Value& cal_ref) {
  return "Inst_Id=" + SingleQuoted(inst_id) + " AND Cal_ref=" + BlankSignedNumber(cal_ref);
}

std::string ImportResultsSql(std::string_view cert_no) {
  return "SELECT * from Results where Cert_No=" + SingleQuoted(cert_no);
}

std::string ImportResultsTableSql() { return "Select * from [Results]"; }

std::string ImportResultCriteria(std::string_view cert_no, const jet::Value& test_no) {
  return "Cert_No=" + SingleQuoted(cert_no) + " AND Test_No=" + BlankSignedNumber(test_no);
}

std::string RebuildInstrumentsSql() { return "SELECT * from Instruments"; }

std::string RebuildCalibrationsSql(std::string_view inst_id) {
  return "SELECT * from Calibrations Where Inst_Id=" + DoubleQuoted(inst_id);
}

std::string RebuildResultsSql(std::string_view cert_no) {
  return "SELECT * from Results Where Cert_No=" + DoubleQuoted(cert_no);
}

std::string RebuildAdditionalDataSql(std::string_view inst_id, const jet::Value& cal_ref) {
  return "SELECT * from [Additional Data] Where Inst_Id=" + DoubleQuoted(inst_id) +
         " AND Cal_Ref=" + PlainNumber(cal_ref);
}

void CopyFieldsByName(const Recordset& source, Recordset& target, bool edit) {
  if (edit) {
    target.Edit();
  } else {
    target.AddNew();
  }
  target.SetFieldsFrom(source);
  target.Update();
}

}  // namespace db
