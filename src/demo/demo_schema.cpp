#include "demo/demo_schema.h"

#include <string>

#include "db/schema.h"

namespace demo {
namespace {

using jet::ColumnType;

std::string Name(std::string_view name) { return std::string(name); }

jet::ColumnDesign Text(std::string name, uint16_t size) {
  return {.name = std::move(name), .type = ColumnType::kText, .size = size};
}

jet::ColumnDesign Of(std::string name, ColumnType type) {
  return {.name = std::move(name), .type = type};
}

}  // namespace

// The column order here is the order of the values in demo_rows.cpp.

jet::TableDesign InstrumentsDesign() {
  jet::TableDesign layout;
  layout.name = Name(db::schema::kInstruments);
  layout.columns = {
      Text(Name(db::schema::kInstId), kInstIdSize),
      Text(Name(db::schema::kCustName), 100),
      Text(Name(db::schema::kStatus), 1),
      Text("Serial_No", 30),
      Text("Description", 100),
      Text("Manufacturer", 50),
      Text("Model", 50),
      Text("Location", 50),
      Text("Range_Units", 20),
      Of("Range_Low", ColumnType::kDouble),
      Of("Range_High", ColumnType::kDouble),
      Of("Cal_Interval", ColumnType::kInt),  // months
      Of("Due_Date", ColumnType::kDateTime),
      Of("Date_Received", ColumnType::kDateTime),
      Of("Price", ColumnType::kMoney),
      Of("Notes", ColumnType::kMemo),
  };
  layout.indexes = {
      {.name = "PrimaryKey", .columns = {{Name(db::schema::kInstId)}}, .primary = true},
      // The customer lists and the export select instruments by customer.
      {.name = Name(db::schema::kCustName), .columns = {{Name(db::schema::kCustName)}}},
  };
  return layout;
}

jet::TableDesign CalibrationsDesign() {
  jet::TableDesign layout;
  layout.name = Name(db::schema::kCalibrations);
  layout.columns = {
      Text(Name(db::schema::kInstId), kInstIdSize),
      Of(Name(db::schema::kCalRef), ColumnType::kLong),
      Text(Name(db::schema::kCertNo), kCertNoSize),
      Of(Name(db::schema::kCalDate), ColumnType::kDateTime),
      Of(Name(db::schema::kTestTime), ColumnType::kDateTime),
      Text("Technician", 50),
      Text("Procedure", 30),
      Of("Temperature", ColumnType::kDouble),  // degrees Celsius
      Of("Humidity", ColumnType::kDouble),     // percent relative humidity
      Of("Passed", ColumnType::kBoolean),
      Text("Adjusted", 10),
      Of("Remarks", ColumnType::kMemo),
  };
  layout.indexes = {
      {.name = "PrimaryKey",
       .columns = {{Name(db::schema::kInstId)}, {Name(db::schema::kCalRef)}},
       .primary = true},
      {.name = Name(db::schema::kCertNo), .columns = {{Name(db::schema::kCertNo)}}},
  };
  return layout;
}

jet::TableDesign ResultsDesign() {
  jet::TableDesign layout;
  layout.name = Name(db::schema::kResults);
  layout.columns = {
      Text(Name(db::schema::kCertNo), kCertNoSize),
      Of(Name(db::schema::kTestNo), ColumnType::kLong),
      Text("Parameter", 50),
      Of("Nominal", ColumnType::kDouble),
      Of("Measured", ColumnType::kDouble),
      Of("Error", ColumnType::kDouble),
      Of("Uncertainty", ColumnType::kDouble),
      Of("Tolerance", ColumnType::kDouble),
      Text("Units", 20),
      Of("In_Tolerance", ColumnType::kBoolean),
  };
  // Not unique: a certificate can carry two lines of one number.
  layout.indexes = {
      {.name = "Cert_Test", .columns = {{Name(db::schema::kCertNo)}, {Name(db::schema::kTestNo)}}},
  };
  return layout;
}

jet::TableDesign AdditionalDataDesign() {
  jet::TableDesign layout;
  layout.name = Name(db::schema::kAdditionalData);
  layout.columns = {
      Text(Name(db::schema::kInstId), kInstIdSize),
      Of(Name(db::schema::kCalRef), ColumnType::kLong),
      Text("Reference_Std", 50),
      Text("Std_Cert_No", 30),
      Of("Std_Due_Date", ColumnType::kDateTime),
      Of("Pressure", ColumnType::kDouble),  // ambient, hPa
      Text("Comment", 255),
  };
  // Not unique: a calibration can have more than one row.
  layout.indexes = {
      {.name = "Inst_Cal", .columns = {{Name(db::schema::kInstId)}, {Name(db::schema::kCalRef)}}},
  };
  return layout;
}

std::vector<jet::TableDesign> ResultsTableDesigns() {
  return {InstrumentsDesign(), CalibrationsDesign(), ResultsDesign(), AdditionalDataDesign()};
}

jet::TableDesign InitializeDesign() {
  jet::TableDesign layout;
  layout.name = kInitializeTable;
  layout.columns = {Text(kResultsPathField, 255)};
  return layout;
}

void CreateResultsTables(jet::Database& db) {
  for (const jet::TableDesign& layout : ResultsTableDesigns()) jet::CreateTable(db, layout);
}

}  // namespace demo
