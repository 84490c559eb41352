#include "tasks/lab_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "jet/consistency_check.h"
#include "jet/create.h"
#include "jet/database.h"
#include "support/fixtures.h"

namespace tasks::testing {
namespace {

using jet::ColumnType;

jet::TableDesign Keyed(jet::TableDesign table, std::vector<std::string> key, bool keyed) {
  if (!keyed) return table;
  jet::IndexDesign index;
  index.primary = true;
  for (auto& column : key) index.columns.push_back({column});
  table.indexes.push_back(index);
  return table;
}

void MakeDatabase(const std::string& path, bool is_template, const LabOptions& options) {
  jet::CreateDatabase(path);
  auto database = jet::Database::Open(path, jet::OpenMode::kReadWrite);
  const bool keyed = !is_template || options.template_keyed;
  jet::TableDesign instruments{"Instruments",
                               {{"Inst_Id", ColumnType::kText, 20},
                                {"Cust_Name", ColumnType::kText,
                                 is_template ? options.template_cust_name_size : uint16_t{50}},
                                {"Status", ColumnType::kText, 1}},
                               {}};
  if (!is_template || options.template_has_model) {
    instruments.columns.push_back({"Model", ColumnType::kText, 30});
  }
  jet::CreateTable(*database, Keyed(instruments, {"Inst_Id"}, keyed));
  jet::CreateTable(*database, Keyed({"Calibrations",
                                     {{"Inst_Id", ColumnType::kText, 20},
                                      {"Cal_Ref", ColumnType::kLong},
                                      {"Cert_No", ColumnType::kText, 20},
                                      {"Cal_Date", ColumnType::kDateTime},
                                      {"Test_Time", ColumnType::kDateTime}},
                                     {}},
                                    {"Inst_Id", "Cal_Ref"}, keyed));
  jet::CreateTable(*database,
                   Keyed({"Results",
                          {{"Cert_No", ColumnType::kText, 20},
                           {"Test_No", ColumnType::kLong},
                           {"Reading", ColumnType::kDouble}},
                          {}},
                         {"Cert_No", "Test_No"}, is_template ? keyed : options.main_results_keyed));
  jet::TableDesign additional{"Additional Data",
                              {{"Inst_Id", ColumnType::kText, 20},
                               {"Cal_Ref", ColumnType::kLong},
                               {"Note", ColumnType::kText, 50}},
                              {}};
  jet::IndexDesign by_instrument;
  by_instrument.name = "Inst_Id";
  by_instrument.columns.push_back({"Inst_Id"});
  additional.indexes.push_back(by_instrument);
  jet::CreateTable(*database, additional);
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

LabWriter& LabWriter::Result(const std::string& cert_no, int32_t test_no, double reading) {
  Add("Results", {{"Cert_No", cert_no}, {"Test_No", test_no}, {"Reading", reading}});
  return *this;
}

LabWriter& LabWriter::Additional(const std::string& inst_id, int32_t cal_ref,
                                 const std::string& note) {
  Add("Additional Data", {{"Inst_Id", inst_id}, {"Cal_Ref", cal_ref}, {"Note", note}});
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
