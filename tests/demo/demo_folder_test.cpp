// `quorbase demo` and the demo folder: sound files that an independent reader reads, the
// initialisation database pointing at the results, every case the tasks must handle, the same
// laboratory for the same seed, and no laboratory replaced by accident.
#include "demo/demo_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "db/schema.h"
#include "demo/demo_schema.h"
#include "interop/csv_reader.h"
#include "interop/run_program.h"
#include "jet/consistency_check.h"
#include "jet/database.h"
#include "support/fixtures.h"

namespace demo {
namespace {

namespace fs = std::filesystem;
using jet::Value;

constexpr uint32_t kSeed = 7;

struct TableRows {
  std::vector<std::string> columns;
  std::vector<std::vector<Value>> rows;

  size_t Col(std::string_view name) const {
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i] == name) return i;
    }
    ADD_FAILURE() << "no column " << name;
    return 0;
  }
};

TableRows ReadTable(jet::Database& db, std::string_view name) {
  TableRows out;
  const jet::Table table = db.OpenTable(name);
  for (const jet::ColumnDef& c : table.columns()) out.columns.push_back(c.name);
  for (auto cursor = table.Scan(); cursor.Next();) out.rows.push_back(cursor.values());
  return out;
}

std::map<std::string, TableRows> ReadResultsTables(const std::string& path) {
  auto db = jet::Database::Open(path);
  std::map<std::string, TableRows> tables;
  for (const jet::TableDesign& layout : ResultsTableDesigns()) {
    tables[layout.name] = ReadTable(*db, layout.name);
  }
  return tables;
}

std::string Text(const Value& v) { return v.Is<std::string>() ? v.As<std::string>() : ""; }

std::string MakeFolder(const std::string& name, int instruments, uint32_t seed,
                       DemoCounts* counts = nullptr) {
  const std::string folder = testing_support::TempDir() + "/" + name;
  DemoFolderOptions options;
  options.folder = folder;
  options.instruments = instruments;
  options.seed = seed;
  const DemoCounts made = MakeDemoFolder(options);
  if (counts != nullptr) *counts = made;
  return folder;
}

class DemoFolderTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new std::string(MakeFolder("small", kInstrumentsForEveryCase, kSeed, &counts_));
    paths_ = new DemoFolderPaths(DemoPaths(*folder_));
    tables_ = new std::map<std::string, TableRows>(ReadResultsTables(paths_->main_database));
  }
  static void TearDownTestSuite() {
    delete tables_;
    delete paths_;
    delete folder_;
  }
  static const TableRows& Table(std::string_view name) { return tables_->at(std::string(name)); }

  static std::string* folder_;
  static DemoFolderPaths* paths_;
  static DemoCounts counts_;
  static std::map<std::string, TableRows>* tables_;
};

std::string* DemoFolderTest::folder_ = nullptr;
DemoFolderPaths* DemoFolderTest::paths_ = nullptr;
DemoCounts DemoFolderTest::counts_;
std::map<std::string, TableRows>* DemoFolderTest::tables_ = nullptr;

TEST_F(DemoFolderTest, EveryFilePassesTheConsistencyCheck) {
  for (const std::string& path :
       {paths_->init_database, paths_->empty_database, paths_->main_database}) {
    auto db = jet::Database::Open(path);
    EXPECT_EQ(jet::CheckDatabase(*db), std::vector<std::string>{}) << path;
  }
  // Nothing of the making is left behind: no temporary files, no journals.
  std::set<std::string> names;
  for (const auto& entry : fs::recursive_directory_iterator(*folder_)) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names, (std::set<std::string>{"Quorinit.MDB", "results", "Quorbase.mdb",
                                          "Empty_Quorbase.mdb"}));
}

TEST_F(DemoFolderTest, InitDatabasePointsAtTheResultsFolder) {
  auto db = jet::Database::Open(paths_->init_database);
  const TableRows init = ReadTable(*db, kInitializeTable);
  ASSERT_EQ(init.rows.size(), 1u);
  const std::string results_path = Text(init.rows[0][init.Col(kResultsPathField)]);
  EXPECT_TRUE(fs::path(results_path).is_absolute()) << results_path;
  EXPECT_TRUE(fs::equivalent(results_path, fs::path(*folder_) / "results")) << results_path;
  EXPECT_TRUE(fs::exists(fs::path(results_path) / "Quorbase.mdb"));
  EXPECT_TRUE(fs::exists(fs::path(results_path) / "Empty_Quorbase.mdb"));
}

TEST_F(DemoFolderTest, EmptyDatabaseHasTheSameTablesWithoutRows) {
  const auto empty = ReadResultsTables(paths_->empty_database);
  for (const auto& [name, rows] : empty) {
    EXPECT_TRUE(rows.rows.empty()) << name;
    EXPECT_EQ(rows.columns, Table(name).columns) << name;
  }
  auto main_db = jet::Database::Open(paths_->main_database);
  auto empty_db = jet::Database::Open(paths_->empty_database);
  EXPECT_EQ(empty_db->TableNames(), main_db->TableNames());
}

TEST_F(DemoFolderTest, MdbExportReadsEveryRowAndTheCustomerNames) {
  if (std::string why = interop::WhyNotRunnable("mdb-export"); !why.empty()) GTEST_SKIP() << why;
  const std::map<std::string, int64_t> expected = {
      {std::string(db::schema::kInstruments), counts_.instruments},
      {std::string(db::schema::kCalibrations), counts_.calibrations},
      {std::string(db::schema::kResults), counts_.results},
      {std::string(db::schema::kAdditionalData), counts_.additional_data}};
  for (const auto& [table, count] : expected) {
    const interop::ProgramResult run =
        interop::RunProgram({"mdb-export", paths_->main_database, table});
    ASSERT_EQ(run.exit_code, 0) << table;
    const interop::CsvDocument csv = interop::ParseCsv(run.output);
    EXPECT_EQ(static_cast<int64_t>(csv.rows.size()) - 1, count) << table;
    EXPECT_EQ(static_cast<int64_t>(Table(table).rows.size()), count) << table;
  }
  // Names in every script, apostrophes, the blank and the Null customer come out as written.
  const interop::ProgramResult run =
      interop::RunProgram({"mdb-export", paths_->main_database, "Instruments"});
  const interop::CsvDocument csv = interop::ParseCsv(run.output);
  const TableRows& instruments = Table(db::schema::kInstruments);
  const size_t cust = instruments.Col(db::schema::kCustName);
  ASSERT_EQ(csv.rows.size(), instruments.rows.size() + 1);
  for (size_t i = 0; i < instruments.rows.size(); ++i) {
    const Value& ours = instruments.rows[i][cust];
    const interop::CsvCell& theirs = csv.rows[i + 1][cust];
    EXPECT_EQ(theirs.quoted, !ours.IsNull()) << i;
    EXPECT_EQ(theirs.text, Text(ours)) << i;
  }
}

TEST_F(DemoFolderTest, HoldsTheCustomersAndStatusesTheTasksMustHandle) {
  const TableRows& instruments = Table(db::schema::kInstruments);
  std::set<std::optional<std::string>> customers, statuses;
  size_t longest_note = 0;
  for (const auto& row : instruments.rows) {
    const Value& cust = row[instruments.Col(db::schema::kCustName)];
    const Value& status = row[instruments.Col(db::schema::kStatus)];
    customers.insert(cust.IsNull() ? std::nullopt : std::optional(Text(cust)));
    statuses.insert(status.IsNull() ? std::nullopt : std::optional(Text(status)));
    longest_note = std::max(longest_note, Text(row[instruments.Col("Notes")]).size());
  }
  for (const char* name : {"O'Brien & Sons", " ", "Ελληνικά Εργαστήρια Μετρήσεων Α.Ε.",
                           "Завод Электроприбор", "東京精密計測株式会社", "Müller & Söhne GmbH"}) {
    EXPECT_TRUE(customers.count(name)) << name;
  }
  EXPECT_TRUE(customers.count(std::nullopt));
  EXPECT_GE(customers.size(), 40u);
  for (char c = 'A'; c <= 'Z'; ++c) {
    EXPECT_TRUE(statuses.count(std::string(1, c))) << c;
    EXPECT_TRUE(statuses.count(std::string(1, static_cast<char>(c - 'A' + 'a')))) << c;
  }
  EXPECT_TRUE(statuses.count(std::nullopt));
  EXPECT_TRUE(statuses.count(std::string()));
  // A note long enough to need long-value pages of its own.
  EXPECT_GT(longest_note, 4096u);
}

TEST_F(DemoFolderTest, HoldsTheCertificateCasesTheTasksMustHandle) {
  const TableRows& cals = Table(db::schema::kCalibrations);
  const TableRows& results = Table(db::schema::kResults);
  const TableRows& additional = Table(db::schema::kAdditionalData);
  const TableRows& instruments = Table(db::schema::kInstruments);
  const size_t inst = cals.Col(db::schema::kInstId), ref = cals.Col(db::schema::kCalRef),
               cert = cals.Col(db::schema::kCertNo);

  int null_certs = 0, empty_certs = 0, repeated_within = 0;
  std::map<std::string, std::set<std::string>> instruments_of_cert;
  std::map<std::string, int> uses_in_instrument;  // "inst|cert"
  std::set<std::string> calibrated;
  bool null_date = false, null_time = false;
  for (const auto& row : cals.rows) {
    calibrated.insert(Text(row[inst]));
    null_date |= row[cals.Col(db::schema::kCalDate)].IsNull();
    null_time |= row[cals.Col(db::schema::kTestTime)].IsNull();
    if (row[cert].IsNull()) {
      ++null_certs;
    } else if (Text(row[cert]).empty()) {
      ++empty_certs;
    } else {
      instruments_of_cert[Text(row[cert])].insert(Text(row[inst]));
      if (++uses_in_instrument[Text(row[inst]) + "|" + Text(row[cert])] == 2) ++repeated_within;
    }
  }
  EXPECT_GT(null_certs, 0);
  EXPECT_GT(empty_certs, 0);
  EXPECT_GT(repeated_within, 0);
  EXPECT_TRUE(null_date);
  EXPECT_TRUE(null_time);
  EXPECT_TRUE(std::any_of(instruments_of_cert.begin(), instruments_of_cert.end(),
                          [](const auto& e) { return e.second.size() > 1; }))
      << "no certificate number on two instruments";
  EXPECT_LT(calibrated.size(), instruments.rows.size()) << "no instrument without calibrations";

  // Result lines hang off certificates that exist, and some certificate repeats a line number.
  std::map<std::pair<std::string, int32_t>, int> lines;
  for (const auto& row : results.rows) {
    const std::string c = Text(row[results.Col(db::schema::kCertNo)]);
    EXPECT_TRUE(instruments_of_cert.count(c)) << c;
    ++lines[{c, row[results.Col(db::schema::kTestNo)].As<int32_t>()}];
  }
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const auto& e) { return e.second > 1; }));

  // Additional data belongs to calibrations; most have it, some have none, one has two rows.
  std::set<std::pair<std::string, int32_t>> cal_keys;
  for (const auto& row : cals.rows) cal_keys.insert({Text(row[inst]), row[ref].As<int32_t>()});
  std::map<std::pair<std::string, int32_t>, int> rows_of_cal;
  for (const auto& row : additional.rows) {
    const std::pair<std::string, int32_t> key{
        Text(row[additional.Col(db::schema::kInstId)]),
        row[additional.Col(db::schema::kCalRef)].As<int32_t>()};
    EXPECT_TRUE(cal_keys.count(key)) << key.first << " " << key.second;
    ++rows_of_cal[key];
  }
  EXPECT_GT(rows_of_cal.size(), cal_keys.size() * 3 / 4);
  EXPECT_LT(rows_of_cal.size(), cal_keys.size());
  EXPECT_TRUE(std::any_of(rows_of_cal.begin(), rows_of_cal.end(),
                          [](const auto& e) { return e.second == 2; }));
}

TEST(DemoFolderSeedTest, SameSeedSameLaboratoryOtherSeedAnother) {
  const auto first = ReadResultsTables(DemoPaths(MakeFolder("seed-a", 30, 42)).main_database);
  const auto again = ReadResultsTables(DemoPaths(MakeFolder("seed-b", 30, 42)).main_database);
  const auto other = ReadResultsTables(DemoPaths(MakeFolder("seed-c", 30, 43)).main_database);
  for (const auto& [name, rows] : first) {
    EXPECT_EQ(rows.rows, again.at(name).rows) << name;
    EXPECT_NE(rows.rows, other.at(name).rows) << name;
  }
}

// Runs the built tool.
interop::ProgramResult Quorbase(const std::vector<std::string>& args) {
  std::vector<std::string> argv = {QB_QUORBASE, "demo"};
  argv.insert(argv.end(), args.begin(), args.end());
  return interop::RunProgram(argv);
}

std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(QuorbaseDemoTest, ReplacesALaboratoryOnlyWhenForced) {
  const std::string folder = testing_support::TempDir() + "/tool";
  const DemoFolderPaths paths = DemoPaths(folder);
  ASSERT_EQ(Quorbase({folder, "--instruments", "12", "--seed", "5"}).exit_code, 0);
  const std::string made = FileBytes(paths.main_database);
  ASSERT_FALSE(made.empty());

  // A second run must not wipe the laboratory: refused, every file untouched.
  const std::string init = FileBytes(paths.init_database);
  EXPECT_EQ(Quorbase({folder, "--instruments", "3", "--seed", "6"}).exit_code, 1);
  EXPECT_EQ(FileBytes(paths.main_database), made);
  EXPECT_EQ(FileBytes(paths.init_database), init);

  ASSERT_EQ(Quorbase({folder, "--instruments", "3", "--seed", "6", "--force"}).exit_code, 0);
  auto db = jet::Database::Open(paths.main_database);
  EXPECT_EQ(ReadTable(*db, db::schema::kInstruments).rows.size(), 3u);
  EXPECT_EQ(jet::CheckDatabase(*db), std::vector<std::string>{});
}

TEST(QuorbaseDemoTest, AnEmptyResultsFileIsNotALaboratory) {
  // A zero-byte Quorbase.mdb (an aborted copy, a placeholder) holds nothing worth keeping.
  const std::string folder = testing_support::TempDir() + "/placeholder";
  const DemoFolderPaths paths = DemoPaths(folder);
  fs::create_directories(paths.results_folder);
  std::ofstream(paths.main_database).close();
  ASSERT_EQ(Quorbase({folder, "--instruments", "2"}).exit_code, 0);
  auto db = jet::Database::Open(paths.main_database);
  EXPECT_EQ(ReadTable(*db, db::schema::kInstruments).rows.size(), 2u);
}

TEST(QuorbaseDemoTest, RefusesBadArguments) {
  EXPECT_EQ(Quorbase({}).exit_code, 2);
  EXPECT_EQ(Quorbase({"a", "b"}).exit_code, 2);
  EXPECT_EQ(Quorbase({"a", "--instruments"}).exit_code, 2);
  EXPECT_EQ(Quorbase({"a", "--instruments", "-5"}).exit_code, 2);
  EXPECT_EQ(Quorbase({"a", "--seed", "x"}).exit_code, 2);
  EXPECT_EQ(Quorbase({"a", "--colour"}).exit_code, 2);
  EXPECT_FALSE(fs::exists("a"));
}

}  // namespace
}  // namespace demo
