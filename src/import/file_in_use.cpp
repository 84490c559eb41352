#include "import/file_in_use.h"

#include <filesystem>
#include <memory>

#include "jet/file_lock.h"
#include "jet/rollback_journal.h"

namespace import_task {

std::string WhyInUse(const std::string& path) {
  if (std::string foreign = jet::ForeignUseOf(path); !foreign.empty()) return foreign;
  std::unique_ptr<jet::FileLock> lock;
  if (jet::FileLock::TryAcquire(path, jet::FileLock::Mode::kExclusive, lock) ==
      jet::FileLock::Result::kHeldElsewhere) {
    return "another of our programs has it open for writing";
  }
  std::error_code error;
  if (std::filesystem::exists(jet::RollbackJournalPath(path), error)) {
    return "its journal '" + jet::RollbackJournalPath(path) + "' is beside it";
  }
  return "";
}

}  // namespace import_task
