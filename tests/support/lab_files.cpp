#include "support/lab_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "db/schema.h"
#include "demo/demo_schema.h"
#include "jet/consistency_check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "support/fixtures.h"

namespace tasks::testing {
namespace {

void RemoveColumn(jet::TableDesign& table, std::string_view name) {
  std::erase_if(table.columns, [&](const jet::ColumnDesign& c) { return c.name == name; });
}

jet::ColumnDesign& Column(jet::TableDesign& table, std::string_view name) {
  for (jet::ColumnDesign& column : table.columns) {
    if (column.name == name) return column;
  }
  throw std::logic_error("the laboratory's design has no column " + std::string(name));
}

void MakeDatabase(const std::string& path, bool is_template, const LabOptions& options) {
  jet::CreateDatabase(path);
  auto database = jet::Database::Open(path, jet::OpenMode::kReadWrite);
  jet::TableDesign instruments = demo::InstrumentsDesign();
  if (is_template) {
    if (!options.template_has_model) RemoveColumn(instruments, "Model");
    if (options.template_cust_name_size) {
      Column(instruments, db::schema::kCustName).size = *options.template_cust_name_size;
    }
  }
  // The laboratory's Results index lets a certificate carry a test number twice; the tests'
  // template refuses that, so that a row the target refuses can be seen to be skipped.
  jet::TableDesign results = demo::ResultsDesign();
  if (is_template || options.main_results_keyed) {
    for (jet::IndexDesign& index : results.indexes) index.primary = true;
  }
  for (const jet::TableDesign& table :
       {instruments, demo::CalibrationsDesign(), results, demo::AdditionalDataDesign()}) {
    jet::CreateTable(*database, table);
  }
}

std::string Text(const jet::Value& value) {
  if (value.IsNull()) return "<null>";
  if (value.Is<std::string>()) return value.As<std::string>();
  if (value.Is<int32_t>()) return std::to_string(value.As<int32_t>());
  if (value.Is<double>()) return jet::ShortestDecimal(value.As<double>());
  return jet::DebugString(value);
}

}  // namespace

Lab MakeLab(const std::string& name, const LabOptions& options) {
  Lab lab;
  lab.folder = testing_support::TempDir() + "/" + name;
  std::filesystem::create_directories(lab.folder);
  lab.main_path = lab.folder + "/Quorbase.mdb";
  lab.template_path = lab.folder + "/Empty_Quorbase.mdb";
  MakeDatabase(lab.main_path, false, options);
  MakeDatabase(lab.template_path, true, options);
  return lab;
}

LabWriter::LabWriter(const std::string& path) : database_(db::DBEngine().OpenDatabase(path)) {}

LabWriter::~LabWriter() { database_.Close(); }

void LabWriter::Add(const std::string& table,
                    const std::vector<std::pair<std::string, jet::Value>>& row) {
  db::Recordset rs = database_.OpenRecordset(table);
  rs.AddNew();
  for (const auto& [field, value] : row) rs.Fields(field).SetValue(value);
  rs.Update();
  rs.Close();
}

LabWriter& LabWriter::Instrument(const std::string& inst_id, jet::Value customer,
                                 const std::string& model) {
  Add("Instruments",
      {{"Inst_Id", inst_id}, {"Cust_Name", customer}, {"Status", "A"}, {"Model", model}});
  return *this;
}

LabWriter& LabWriter::Calibration(const std::string& inst_id, int32_t cal_ref, jet::Value cert_no) {
  Add("Calibrations", {{"Inst_Id", inst_id},
                       {"Cal_Ref", cal_ref},
                       {"Cert_No", cert_no},
                       {"Cal_Date", jet::DateTime{39966}},
                       {"Test_Time", jet::DateTime{39966.5}}});
  return *this;
}

LabWriter& LabWriter::Result(const std::string& cert_no, int32_t test_no, double measured) {
  Add("Results", {{"Cert_No", cert_no}, {"Test_No", test_no}, {"Measured", measured}});
  return *this;
}

LabWriter& LabWriter::Additional(const std::string& inst_id, int32_t cal_ref,
                                 const std::string& comment) {
  Add("Additional Data", {{"Inst_Id", inst_id}, {"Cal_Ref", cal_ref}, {"Comment", comment}});
  return *this;
}

std::vector<std::string> Rows(const std::string& path, const std::string& table,
                              const std::vector<std::string>& fields) {
  db::Database database = db::DBEngine().OpenDatabase(path);
  db::Recordset rs = database.OpenRecordset(table);
  std::vector<std::string> rows;
  for (; !rs.Eof(); rs.MoveNext()) {
    std::string row;
    for (size_t i = 0; i < fields.size(); ++i) {
      if (i > 0) row += "|";
      row += Text(rs.Fields(fields[i]).Value());
    }
    rows.push_back(row);
  }
  rs.Close();
  database.Close();
  return rows;
}

std::string Problems(const std::string& path) {
  auto database = jet::Database::Open(path);
  std::string out;
  for (const std::string& line : jet::CheckDatabase(*database)) out += line + "\n";
  return out;
}

std::optional<std::vector<std::string>> MdbExportLines(const std::string& path,
                                                       const std::string& table) {
  if (std::system("command -v mdb-export >/dev/null 2>&1") != 0) return std::nullopt;
  const std::string command = "mdb-export -H '" + path + "' '" + table + "' 2>/dev/null";
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return std::nullopt;
  std::string output;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
  if (pclose(pipe) != 0) return std::vector<std::string>{"<mdb-export failed>"};
  std::vector<std::string> lines;
  std::istringstream in(output);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

}  // namespace tasks::testing
