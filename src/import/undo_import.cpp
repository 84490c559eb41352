#include "import/undo_import.h"

#include <filesystem>

#include "import/file_in_use.h"
#include "import/main_backup.h"

namespace import_task {
namespace {

namespace fs = std::filesystem;

UndoOutcome Refused(std::string why) { return {false, "Nothing restored: " + std::move(why)}; }

// The newest backup not yet undone; empty when there is none.
std::string LastBackup(const std::string& main_path) {
  const std::vector<std::string> backups =
      BackupsOf(main_path, fs::path(main_path).parent_path().string());
  for (auto it = backups.rbegin(); it != backups.rend(); ++it) {
    std::error_code error;
    if (!fs::exists(UndonePathOf(*it), error)) return *it;
  }
  return "";
}

}  // namespace

UndoOutcome UndoLastImport(const std::string& main_path) {
  const std::string backup = LastBackup(main_path);
  if (backup.empty()) return Refused("no backup of " + main_path + " made by an update was found.");
  const auto recorded = ReadFingerprint(FingerprintPathOf(backup));
  if (!recorded) {
    return Refused("the update that made " + backup +
                   " did not record how it left the main database (it may not have ended); "
                   "restore that copy by hand if it is the right one.");
  }
  if (const std::string why = WhyInUse(main_path); !why.empty()) {
    return Refused(main_path + " is in use: " + why + ".");
  }
  const auto now = FingerprintOf(main_path);
  if (!now) return Refused(main_path + " cannot be read.");
  if (!(*now == *recorded)) {
    return Refused(main_path + " has changed since the last update ended (" +
                   (now->size != recorded->size           ? "its size"
                    : now->modified != recorded->modified ? "its modification time"
                                                          : "its contents") +
                   " differ); undoing it would lose that change.");
  }

  const std::string partial = main_path + ".restoring";
  std::error_code error;
  fs::copy_file(backup, partial, fs::copy_options::overwrite_existing, error);
  if (error || !SameBytes(backup, partial)) {
    fs::remove(partial, error);
    return Refused("the backup could not be copied beside the main database" +
                   (error ? " (" + error.message() + ")" : std::string()) + ".");
  }
  // One rename: the main database is the old or the restored file, never a mixture.
  fs::rename(partial, main_path, error);
  if (error) {
    const std::string why = error.message();
    fs::remove(partial, error);
    return Refused("the main database could not be replaced (" + why + ").");
  }
  fs::rename(FingerprintPathOf(backup), UndonePathOf(backup), error);
  return {true, "Restored " + main_path + " from " + backup +
                    ", as it was before the last update. The backup is kept."};
}

}  // namespace import_task
