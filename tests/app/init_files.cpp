#include "init_files.h"

#include <filesystem>
#include <fstream>

#include "db/dao.h"
#include "jet/create.h"
#include "jet/database.h"
#include "platform/files.h"
#include "support/fixtures.h"

namespace app::testing {
namespace {

std::string InitPath(const std::string& folder) { return folder + "/Quorinit.MDB"; }

void CreateWithTable(const std::string& path, const jet::TableDesign& layout) {
  jet::CreateDatabase(path);
  auto database = jet::Database::Open(path, jet::OpenMode::kReadWrite);
  jet::CreateTable(*database, layout);
}

jet::TableDesign InitializeTable(bool with_results_path) {
  jet::TableDesign layout{"INITIALIZE", {{"ID", jet::ColumnType::kLong}}, {}};
  if (with_results_path) layout.columns.push_back({"RESULTS_PATH", jet::ColumnType::kText, 255});
  layout.columns.push_back({"LAB_NAME", jet::ColumnType::kText, 50});
  return layout;
}

}  // namespace

std::string MakeInitDatabase(const std::string& folder, const InitRecords& records) {
  const std::string path = InitPath(folder);
  CreateWithTable(path, InitializeTable(true));
  db::Database database = db::DBEngine().OpenDatabase(path);
  db::Recordset table = database.OpenRecordset("INITIALIZE");
  int id = 0;
  for (const auto& results_path : records) {
    table.AddNew();
    table.Fields("ID").SetValue(int32_t{++id});
    table.Fields("RESULTS_PATH").SetValue(results_path ? jet::Value(*results_path) : jet::Value());
    table.Fields("LAB_NAME").SetValue(std::string("Calibration Lab"));
    table.Update();
  }
  table.Close();
  database.Close();
  return path;
}

std::string MakeInitDatabaseWithoutTable(const std::string& folder) {
  const std::string path = InitPath(folder);
  CreateWithTable(path, {"SETTINGS", {{"RESULTS_PATH", jet::ColumnType::kText, 255}}, {}});
  return path;
}

std::string MakeInitDatabaseWithoutField(const std::string& folder) {
  const std::string path = InitPath(folder);
  CreateWithTable(path, InitializeTable(false));
  db::Database database = db::DBEngine().OpenDatabase(path);
  db::Recordset table = database.OpenRecordset("INITIALIZE");
  table.AddNew();
  table.Fields("ID").SetValue(int32_t{1});
  table.Update();
  table.Close();
  database.Close();
  return path;
}

std::string MakeNonDatabase(const std::string& folder) {
  const std::string path = InitPath(folder);
  std::ofstream(path, std::ios::binary) << std::string(4096, 'x');
  return path;
}

std::string NewFolder(const std::string& name) {
  const std::string folder = testing_support::TempDir() + "/" + name;
  std::filesystem::create_directories(folder);
  return folder;
}

CurrentFolderGuard::CurrentFolderGuard() : saved_(platform::CurrentFolder()) {}
CurrentFolderGuard::~CurrentFolderGuard() { platform::SetCurrentFolder(saved_); }

}  // namespace app::testing
