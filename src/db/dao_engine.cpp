#include "db/dao_engine.h"

#include <filesystem>

#include "db/dao_database_impl.h"
#include "db/dao_errors.h"
#include "db/dao_file.h"
#include "jet/native_path.h"

namespace db {

Database Workspace::OpenDatabase(const std::string& given_path, jet::OpenMode mode) {
  const std::string path = jet::NativePath(given_path);
  std::erase_if(files_, [](const auto& f) { return f.expired(); });
  std::shared_ptr<OpenFile> file;
  for (const auto& weak : files_) {
    auto open = weak.lock();
    std::error_code error;
    // The same file under another spelling (relative, other case on Windows, a link).
    if (open && (open->writable() || mode == jet::OpenMode::kReadOnly) &&
        std::filesystem::equivalent(jet::U8Path(path), jet::U8Path(open->path()), error) &&
        !error) {
      file = std::move(open);
      break;
    }
  }
  if (!file) {
    file = std::make_shared<OpenFile>(path, mode);
    files_.push_back(file);
  }
  return Database(std::make_shared<DatabaseImpl>(std::move(file), given_path));
}

Workspace& Engine::Workspaces(int index) {
  if (index != 0) ThrowDao(kErrItemNotFound);
  return default_workspace_;
}

Engine& DBEngine() {
  static Engine engine;
  return engine;
}

}  // namespace db
