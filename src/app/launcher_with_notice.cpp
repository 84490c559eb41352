#include "app/launcher_with_notice.h"

#include "platform/display_text.h"
#include "platform/files.h"

namespace app {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "D:\..." and "\\server\..." on Windows, "/..." elsewhere; "\..." counts everywhere, a
// backslash being a separator on every system the programs run on.
bool IsAbsolute(std::string_view path) {
  if (!path.empty() && IsSeparator(path.front())) return true;
  return path.size() >= 3 && path[1] == ':' && IsSeparator(path[2]);
}

}  // namespace

std::string LogNotShownText(std::string_view log_path) {
  return std::string("No program was found to show the log file. It is here:") + platform::kCr +
         platform::kCr + std::string(log_path);
}

std::string FolderNotShownText(std::string_view folder) {
  return std::string("No file browser was found to show the database folder. It is here:") +
         platform::kCr + platform::kCr + std::string(folder);
}

std::string PathToShow(std::string_view path, std::string_view current_folder) {
  std::string whole(path);
  if (!IsAbsolute(path) && !current_folder.empty()) {
    whole = std::string(current_folder);
    if (!IsSeparator(whole.back())) whole += '/';
    whole += path;
  }
  return platform::NativePath(whole);
}

bool LauncherWithNotice::BrowseFolder(std::string_view folder) {
  if (launcher_.BrowseFolder(folder)) return true;
  platform::Inform(prompter_, FolderNotShownText(PathToShow(folder, platform::CurrentFolder())));
  return true;
}

bool LauncherWithNotice::EditTextFile(std::string_view file) {
  if (launcher_.EditTextFile(file)) return true;
  platform::Inform(prompter_, LogNotShownText(PathToShow(file, platform::CurrentFolder())));
  return true;
}

}  // namespace app
