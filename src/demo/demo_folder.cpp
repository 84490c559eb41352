#include "demo/demo_folder.h"

#include <filesystem>
#include <vector>

#include "demo/demo_schema.h"
#include "jet/database.h"
#include "jet/rollback_journal.h"
#include "jet/table_writer.h"

namespace demo {
namespace fs = std::filesystem;

namespace {

constexpr char kPartialSuffix[] = ".partial";

std::string Utf8(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text) {
  return fs::path(std::u8string(text.begin(), text.end()));
}

// A fresh database at `path` + ".partial", left over ones (and their journals) removed first.
std::string StartPartial(const std::string& path) {
  const std::string partial = path + kPartialSuffix;
  fs::remove(FromUtf8(partial));
  fs::remove(FromUtf8(jet::RollbackJournalPath(partial)));
  jet::CreateDatabase(partial);
  return partial;
}

void FinishPartial(const std::string& partial, const std::string& path) {
  fs::rename(FromUtf8(partial), FromUtf8(path));
}

std::string MakeEmptyDatabase(const std::string& path) {
  const std::string partial = StartPartial(path);
  auto db = jet::Database::Open(partial, jet::OpenMode::kReadWrite);
  CreateResultsTables(*db);
  return partial;
}

std::string MakeInitDatabase(const std::string& path, const std::string& results_folder) {
  const std::string partial = StartPartial(path);
  auto db = jet::Database::Open(partial, jet::OpenMode::kReadWrite);
  jet::CreateTable(*db, InitializeDesign());
  jet::TableWriter(*db, kInitializeTable).Insert({results_folder});
  return partial;
}

}  // namespace

DemoFolderPaths DemoPaths(const std::string& folder) {
  const fs::path base = fs::absolute(FromUtf8(folder)).lexically_normal();
  // "demo/" and "demo" give the same paths.
  const fs::path root = base.has_filename() ? base : base.parent_path();
  const fs::path results = root / kResultsFolder;
  return {.init_database = Utf8(root / kInitDatabaseFile),
          .results_folder = Utf8(results),
          .main_database = Utf8(results / kMainDatabaseFile),
          .empty_database = Utf8(results / kEmptyDatabaseFile)};
}

DemoCounts MakeDemoFolder(const DemoFolderOptions& options) {
  const DemoFolderPaths paths = DemoPaths(options.folder);
  const fs::path main_path = FromUtf8(paths.main_database);
  if (!options.force && fs::exists(main_path) && fs::file_size(main_path) > 0) {
    throw DemoRefused(paths.main_database +
                      " already exists and holds data; use --force to replace it");
  }
  fs::create_directories(FromUtf8(paths.results_folder));

  std::vector<std::pair<std::string, std::string>> made;  // partial, final
  made.emplace_back(MakeEmptyDatabase(paths.empty_database), paths.empty_database);
  made.emplace_back(MakeInitDatabase(paths.init_database, paths.results_folder),
                    paths.init_database);

  const std::string main_partial = StartPartial(paths.main_database);
  DemoCounts counts;
  {
    auto db = jet::Database::Open(main_partial, jet::OpenMode::kReadWrite);
    CreateResultsTables(*db);
    counts = WriteLaboratory(*db, options.instruments, options.seed, options.progress);
  }
  made.emplace_back(main_partial, paths.main_database);

  for (const auto& [partial, path] : made) FinishPartial(partial, path);
  return counts;
}

}  // namespace demo
