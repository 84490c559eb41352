#include "tasks/target_checks.h"

#include "jet/file_lock.h"
#include "platform/files.h"
#include "tasks/runtime_errors.h"
#include "tasks/same_file.h"

namespace tasks {
namespace {

// The folder part of a path written either way (D:\Data\Quorbase.mdb or /srv/lab/Quorbase.mdb).
std::string_view FolderOf(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string_view::npos ? std::string_view(".") : path.substr(0, slash);
}

}  // namespace

TargetCheck CheckTarget(platform::Prompter& prompter, std::string_view target,
                        std::string_view main_database) {
  using platform::Buttons;
  using platform::Icon;
  if (target.empty()) {
    prompter.Show({kAskFileNameText, Buttons::kOk, Icon::kExclamation, ""});
    return TargetCheck::kRefused;
  }
  if (NamesSameFile(target, main_database)) {
    prompter.Show({kMainDatabaseText, Buttons::kOk, Icon::kExclamation, ""});
    return TargetCheck::kRefused;
  }
  if (NamesSameFile(target, TemplatePath(FolderOf(main_database)))) {
    prompter.Show({kTemplateText, Buttons::kOk, Icon::kExclamation, ""});
    return TargetCheck::kRefused;
  }
  if (!platform::FileExists(target)) return TargetCheck::kNew;
  const platform::Answer answer =
      prompter.Show({std::string(target) + kOverwriteSuffix, Buttons::kYesNo, Icon::kExclamation,
                     kOverwriteTitle});
  return answer == platform::Answer::kYes ? TargetCheck::kReplace : TargetCheck::kDeclined;
}

namespace {

[[noreturn]] void ThrowFileError(std::string_view path, const std::string& description) {
  if (!platform::FileExists(path)) ThrowRuntimeError(kVbFileNotFound);
  ThrowRuntimeError(kVbPathFileAccess, description);
}

}  // namespace

void DeleteTarget(std::string_view target) {
  // Held while deleting, so that none of our writers opens the file in between.
  const auto lock = jet::LockForReplacing(platform::NativePath(target));
  const std::string failure = platform::RemoveFile(target);
  if (!failure.empty()) {
    ThrowFileError(target, "Cannot delete '" + std::string(target) + "': " + failure);
  }
}

void CopyTemplate(std::string_view results_folder, std::string_view target) {
  const std::string from = TemplatePath(results_folder);
  if (!platform::FileExists(from)) {
    ThrowRuntimeError(kVbFileNotFound, "File not found: '" + from + "'");
  }
  // A file already there (one the existence check does not see, or one that appeared since) is
  // copied over in place: never one that another writer holds. The lock is let go before the
  // copy, which on Windows opens the file without sharing it.
  jet::LockForReplacing(platform::NativePath(target));
  const std::string failure = platform::CopyFileOver(from, target);
  if (!failure.empty()) {
    ThrowRuntimeError(kVbPathFileAccess, "Cannot create '" + std::string(target) +
                                             "' from the template '" + from + "': " + failure);
  }
}

std::string TemplatePath(std::string_view results_folder) {
  return std::string(results_folder) + kTemplateName;
}

}  // namespace tasks
