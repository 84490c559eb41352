// The tables and fields of the results database that the tools name. Every other column is
// carried along by CopyFieldsByName without being named.
#pragma once

#include <string_view>

namespace db::schema {

// Tables.
inline constexpr std::string_view kInstruments = "Instruments";
inline constexpr std::string_view kCalibrations = "Calibrations";
inline constexpr std::string_view kResults = "Results";
inline constexpr std::string_view kAdditionalData = "Additional Data";

// Fields.
inline constexpr std::string_view kInstId = "Inst_Id";      // text; unique in Instruments
inline constexpr std::string_view kCustName = "Cust_Name";  // text, may be Null or blank
inline constexpr std::string_view kStatus = "Status";       // one letter
inline constexpr std::string_view kCalRef = "Cal_Ref";      // number; with Inst_Id, a calibration
inline constexpr std::string_view kCertNo = "Cert_No";      // text, may be Null or empty
inline constexpr std::string_view kCalDate = "Cal_Date";    // date
inline constexpr std::string_view kTestTime = "Test_Time";  // date/time
inline constexpr std::string_view kTestNo = "Test_No";      // number; with Cert_No, a result line

}  // namespace db::schema
