// Results folders for the tests of the long commands, made with our engine: a main database
// "Quorbase.mdb" and an empty template "Empty_Quorbase.mdb" with the laboratory's four tables
// as demo::ResultsTableDesigns() declares them, and ways to read back what a command wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "db/dao.h"
#include "jet/value.h"

namespace tasks::testing {

struct LabOptions {
  // The template's Instruments table lacks the main database's Model column.
  bool template_has_model = true;
  // Width of the template's Cust_Name column; unset: as wide as the main database's.
  std::optional<uint16_t> template_cust_name_size = std::nullopt;
  // The main database's Results index (Cert_No, Test_No) is its primary key, as the
  // template's is; without it a result line may stand twice, which the template's key refuses.
  bool main_results_keyed = true;
};

struct Lab {
  std::string folder;
  std::string main_path;      // folder + "/Quorbase.mdb"
  std::string template_path;  // folder + "/Empty_Quorbase.mdb"
};

// A new results folder under the test's temporary folder, with both databases empty.
Lab MakeLab(const std::string& name, const LabOptions& options = {});

// Appends rows to a database through the data-access objects; closes it when done.
class LabWriter {
 public:
  explicit LabWriter(const std::string& path);
  ~LabWriter();
  LabWriter(const LabWriter&) = delete;
  LabWriter& operator=(const LabWriter&) = delete;

  LabWriter& Instrument(const std::string& inst_id, jet::Value customer,
                        const std::string& model = "Gauge");
  LabWriter& Calibration(const std::string& inst_id, int32_t cal_ref, jet::Value cert_no);
  // `measured` goes into Measured.
  LabWriter& Result(const std::string& cert_no, int32_t test_no, double measured);
  // `comment` goes into Comment.
  LabWriter& Additional(const std::string& inst_id, int32_t cal_ref, const std::string& comment);

 private:
  void Add(const std::string& table, const std::vector<std::pair<std::string, jet::Value>>& row);
  db::Database database_;
};

// Each row of `table` as its `fields` joined by "|" (Null as "<null>"), in the table's order.
std::vector<std::string> Rows(const std::string& path, const std::string& table,
                              const std::vector<std::string>& fields);
// The consistency checker's findings ("" when the file is sound).
std::string Problems(const std::string& path);
// The data lines mdb-export prints for `table` (header left out); nothing when mdb-export is
// not installed.
std::optional<std::vector<std::string>> MdbExportLines(const std::string& path,
                                                       const std::string& table);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace tasks::testing
