// The SQL texts the tools run, built piece for piece. Their mixed keyword case, brackets and
// blanks are kept exactly (tests compare the texts character for character): Jet reads every
// spelling alike, and one fixed text per statement is easier to find in a trace.
//
// One change: a quote character inside a text value is doubled, which Jet reads back as the
// character itself, so that a customer called O'Brien or an instrument id holding a double
// quote selects its rows instead of making the statement fail.
//
// Numbers are variants as read from a field: an integer, or a fractional number written in its
// shortest decimal form. A Null number fails as concatenating Null does (94); so does one that
// is not a number.
#pragma once

#include <string>
#include <string_view>

#include "jet/value.h"

namespace db {

class Recordset;

// ---- value pieces

// `text` between single quotes, inner single quotes doubled.
std::string SingleQuoted(std::string_view text);
// `text` between double-quote characters, inner ones doubled.
std::string DoubleQuoted(std::string_view text);
// The number as plain decimal text: "5", "-5".
std::string PlainNumber(const jet::Value& number);
// The number with one blank before it when zero or more: " 5", "-5".
std::string BlankSignedNumber(const jet::Value& number);
// A field value as concatenation turns it into text: text as it is, numbers in decimal;
// Null fails with 94 ("Invalid use of Null").
std::string ConcatText(const jet::Value& value);

// ---- customer lists (export and rebuild windows)

std::string CustomerListSql();
// Customers whose name is LIKE `pattern` (* and ? wildcards).
std::string CustomerSearchSql(std::string_view pattern);

// ---- export to an on-site database

std::string ExportInstrumentsSql(std::string_view customer);
std::string ExportCalibrationsSql(std::string_view inst_id);
std::string ExportResultsSql(std::string_view cert_no);
std::string ExportAdditionalDataSql(std::string_view inst_id);

// ---- import: instruments

std::string ImportInstrumentIdsSql();
std::string ImportInstrumentIdSql(std::string_view inst_id);
std::string ImportInstrumentSql(std::string_view inst_id);

// ---- import: calibrations

std::string ImportCalibrationsSql();
// The bracketed form, used to find the main database's version of a calibration.
std::string ImportCalibrationSql(std::string_view inst_id, const jet::Value& cal_ref);
// The bare form, with its two blanks before Cal_Ref.
std::string ImportCalibrationBareSql(std::string_view inst_id, const jet::Value& cal_ref);
std::string ImportCalibrationInstrumentSql(std::string_view inst_id);

// ---- import: additional data and results

std::string ImportAdditionalDataSql(std::string_view inst_id, const jet::Value& cal_ref);
std::string ImportAdditionalDataTableSql();
// FindFirst criteria on ImportAdditionalDataTableSql().
std::string ImportAdditionalDataCriteria(std::string_view inst_id, const jet::Value& cal_ref);
std::string ImportResultsSql(std::string_view cert_no);
std::string ImportResultsTableSql();
// FindFirst criteria on ImportResultsTableSql().
std::string ImportResultCriteria(std::string_view cert_no, const jet::Value& test_no);

// ---- rebuild

std::string RebuildInstrumentsSql();
std::string RebuildCalibrationsSql(std::string_view inst_id);
std::string RebuildResultsSql(std::string_view cert_no);
std::string RebuildAdditionalDataSql(std::string_view inst_id, const jet::Value& cal_ref);

// ---- copying a row

// Copies a row by field name: starts a row in `target` (AddNew, or Edit of its current row),
// sets, for each field of `source` in order, the target field of the same name to the source
// value (Null included), and updates the target. A source field without a namesake in the
// target fails with 3265 before anything is written (the AddNew or Edit stays pending, as after
// any failed step); target fields without a namesake keep what a new row gets. Errors of Update
// pass through.
void CopyFieldsByName(const Recordset& source, Recordset& target, bool edit = false);

}  // namespace db
